#pragma once

#include <QString>

// Files and folders that hold every job and the password hashes (the SQLite
// database, its backups) are their owner's alone from the moment they exist:
// made with the owner-only mode, whatever the umask, never made first and
// narrowed after (another local user who opens a file in between keeps it).
namespace PrivateFiles {

// Creates `path` as a new, empty file that only its owner may read and write
// (0600). Fails when anything is there already, a symbolic link included,
// and on any other error; `error` then says why.
bool createFile(const QString &path, QString *error = nullptr);

// Makes the folder `path` (its parents as they come) that only its owner may
// enter (0700). A folder there already that belongs to this user and lets
// others in is narrowed to that; one of another user is left as it is.
// False when there is no folder at `path` afterwards.
bool makeFolder(const QString &path);

} // namespace PrivateFiles
