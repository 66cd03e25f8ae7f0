#pragma once

#include <QString>

// Employee passwords are kept as salted Argon2id hashes (libsodium's
// crypto_pwhash_str format, "$argon2id$..."). A row written by an older
// installation may still hold the password itself; verify() accepts it and
// the login rewrites it as a hash.
namespace Passwords {

QString hash(const QString &password);
bool isHash(const QString &stored);
// True when password matches what is stored (a hash, or a legacy plain text).
bool verify(const QString &stored, const QString &password);

} // namespace Passwords
