#pragma once

#include <QString>

class AppContext;
class QWidget;

namespace Backups {
class SessionMark;
}

// The backups as the main window offers them: on demand, on exit, the
// reminder at login and the line that says when the last one was made.
namespace BackupUi {

// File > "Back Up Now…": the user chooses a new file and the whole database
// is backed up into it, with a progress dialog. Says how it went. Only an
// administrator comes here: the menu entry asks Permissions::administrators.
void backUpNow(QWidget *parent, AppContext &context);

// On exit: backs the embedded database up into its backups folder when a
// user worked in this run, no other program is using the database (`mark`)
// and none was made today; keeps the company's "Backups to keep". A failure
// is shown and the exit goes on; the database is never touched by it.
void backUpOnExit(QWidget *parent, AppContext &context, const Backups::SessionMark *mark);

// After login: the reminder when the job database has had no backup for a
// week, to a user who may make one, where the program makes the backups,
// at most once a day (Backups::remindUser).
void remindAtLogin(QWidget *parent, AppContext &context);

// "Last backup: <when>" or "No backup has been made of this database."; an
// unreadable log says so instead.
QString lastBackupText(AppContext &context);

} // namespace BackupUi
