#pragma once

#include <QString>

// Employee passwords are kept as salted Argon2id hashes (libsodium's
// crypto_pwhash_str format, "$argon2id$..."). A row written by an older
// installation may still hold the password itself; verify() accepts it and
// the login rewrites it as a hash.
namespace Passwords {

QString hash(const QString &password);
// The longest text hash() may return: the width a column needs to hold one.
int hashLength();
bool isHash(const QString &stored);
// True when password matches what is stored (a hash, or a legacy plain text).
bool verify(const QString &stored, const QString &password);
// Spends the time verify() takes on a hash, against one that nothing matches:
// for a login whose user name has no stored password at all.
void verifyNothing(const QString &password);

} // namespace Passwords
