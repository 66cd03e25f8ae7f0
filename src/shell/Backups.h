#pragma once

#include "data/Copy.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace data {
class Connection;
}

// The program's own backups: the embedded database backed up into the
// "backups" folder beside it when the last program using it exits (at most
// once a day), a backup on demand of any database, and when the last one
// was made.
namespace Backups {

// A job database whose last backup is older than this is pointed out at login.
inline constexpr int kReminderDays = 7;
// A running program refreshes its mark this often...
inline constexpr int kTouchMinutes = 5;
// ...and a mark older than this is one left by a program that ended without
// removing it (a crash, a PC switched off).
inline constexpr int kStaleMinutes = 30;

// The SQLite file the connection works on; empty for a server database.
QString embeddedFile(data::Connection &db);

// A mark in a folder beside the embedded database saying that this program
// is using it, so that the program exiting last knows it is the last. Made
// when constructed (a folder that cannot be written only means no mark),
// removed when destroyed.
class SessionMark
{
public:
    explicit SessionMark(const QString &databaseFile);
    ~SessionMark();
    SessionMark(const SessionMark &) = delete;
    SessionMark &operator=(const SessionMark &) = delete;

    // Refreshes the mark's time (every kTouchMinutes).
    void touch();
    // Whether another program, on this PC or another, is using the database:
    // a fresh mark other than this one whose program, when on this PC, still
    // runs. Marks of ended programs on this PC, and any older than a day,
    // are cleared on the way.
    bool othersPresent() const;

    // The folder of the marks of `databaseFile`.
    static QString folderFor(const QString &databaseFile);

private:
    QString m_path;
};

// When the newest backup of the database was made: the newest logged in it
// or, for the embedded database, found in its backups folder. Invalid when
// there is none. Throws data::DbError.
QDateTime lastBackupAt(data::Connection &db);

// Whether an automatic backup is due at `now`: none yet today.
bool dueOnExit(const QDateTime &last, const QDateTime &now);

// Whether the login reminder is due: the database holds jobs and has had no
// backup for more than kReminderDays. Throws data::DbError.
bool reminderDue(data::Connection &db, const QDateTime &last, const QDateTime &now);

// Whether the program makes the database's backups, and so reminds of them:
// the company's "The program makes the backups", which when never set
// (NULL) means yes for the embedded database and no for a server, whose
// backups the server's own tools make.
bool programMakesBackups(const std::optional<bool> &setting, bool embedded);

// When the user was last shown the reminder; invalid when never. Throws
// data::DbError.
QDateTime lastReminded(data::Connection &db, qint64 employeeId);
// Notes that the user was shown the reminder at `when`. Throws
// data::DbError.
void noteReminded(data::Connection &db, qint64 employeeId, const QDateTime &when);
// Whether the user is to be reminded at `now`: he may make a backup, the
// program makes the backups, he was not reminded yet that day (wherever he
// logged in) and reminderDue() says so. Throws data::DbError.
bool remindUser(data::Connection &db, bool mayBackUp, const std::optional<bool> &setting, qint64 employeeId,
    const QDateTime &last, const QDateTime &now);

// The reminder's text for a last backup (invalid: never).
QString reminderText(const QDateTime &last);

// Backs the database up into `file` (a new file) and logs it in the
// database, stamped `when` by `who`. Throws data::DbError when no backup was
// written; a log that cannot be written is only a warning.
data::CopyResult backUpTo(data::Connection &db, const QString &file, const QDateTime &when, const QString &who,
    bool automatic, const std::function<void(const data::CopyProgress &)> &progress = {});

// The automatic backup of the embedded database: a new file in its backups
// folder (made when missing), then all but the `keep` newest deleted. Returns
// the file written. Throws data::DbError.
QString backUpAutomatically(data::Connection &db, int keep, const QDateTime &when, const QString &who,
    const std::function<void(const data::CopyProgress &)> &progress = {});

} // namespace Backups
