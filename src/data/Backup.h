#pragma once

#include "data/Copy.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace data {

class Connection;

// A backup is the whole database copied (Copy.h) into one new SQLite file,
// read as one snapshot while others go on working.

// The name of a backup made at `when`: "jobs-2026-03-30-101530.backup.db".
QString backupFileName(const QDateTime &when);

// Writes the backup of `db` into `file`, which must not exist yet. The copy
// goes into "<file>.part" and takes the final name only once complete and
// checked: a backup that fails leaves no file that looks whole. Throws
// DbError.
CopyResult backUp(Connection &db, const QString &file, const std::function<void(const CopyProgress &)> &progress = {});

// Why `file` is not a backup this program can restore (not a SQLite
// database, not a job database, from a newer program, damaged, or holding
// what foreignSchemaProblem() refuses): empty when it is one. The file is
// opened as a foreign one (OpenOptions::foreignFile).
QString backupProblem(const QString &file);

// What a SQLite file from outside holds that no job database does, and that
// could run its own expressions while the file is read: a view, a trigger
// other than the program's own, a virtual table or one not in the data model
// (a table it lacks is no problem: an older database has fewer), a
// generated column, an index on an expression or on part of a table other
// than the program's own. Empty when there is none, and for a server
// database. Reads only the file's schema, never a row. Throws DbError.
QString foreignSchemaProblem(Connection &db);

// Loads a backup into `target` (copyDatabase() with the backup as source)
// after backupProblem() found nothing wrong with it. Throws DbError,
// TargetNotEmptyError.
CopyResult restore(const QString &file, Connection &target, const CopyOptions &options = {},
    const std::function<void(const CopyProgress &)> &progress = {});

// Notes in `db` that a backup of it was made into `file` at `when` by `who`
// (a user name, or the admin tool's "jobtracker-admin"). One row of
// BackupLog, which Backups::lastBackupAt() reads. Throws DbError.
void logBackup(Connection &db, const QDateTime &when, const QString &file, const QString &who, bool automatic);

// The automatic backups of the SQLite database `databaseFile`: the folder
// "backups" beside it.
QString backupFolder(const QString &databaseFile);
// The backups in a folder, newest first (by the time in their names).
QStringList backupsIn(const QString &folder);
// When a backup named by backupFileName() was made; invalid for another name.
QDateTime backupMadeAt(const QString &file);
// Deletes all but the `keep` newest backups of the folder.
void keepNewest(const QString &folder, int keep);

} // namespace data
