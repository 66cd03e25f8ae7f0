#include "base/Passwords.h"

#include <sodium.h>
#include <stdexcept>

namespace Passwords {

namespace {

    void ensureSodium()
    {
        static const bool ready = sodium_init() >= 0;
        if (!ready)
            throw std::runtime_error("libsodium could not be initialised");
    }

} // namespace

QString hash(const QString &password)
{
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return QString::fromLatin1(out);
}

int hashLength()
{
    // The buffer's size holds the terminating NUL as well.
    return crypto_pwhash_STRBYTES - 1;
}

bool isHash(const QString &stored)
{
    return stored.startsWith(QLatin1String("$argon2id$")) || stored.startsWith(QLatin1String("$argon2i$"));
}

bool verify(const QString &stored, const QString &password)
{
    if (!isHash(stored))
        return !stored.isEmpty() && stored == password;
    ensureSodium();
    const QByteArray hashed = stored.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(hashed.constData(), utf8.constData(), static_cast<unsigned long long>(utf8.size()))
        == 0;
}

void verifyNothing(const QString &password)
{
    // The parameters hash() uses, a zero salt and a zero hash: the same work
    // as checking a stored password, and a result that is thrown away.
    static const QString dummy = QStringLiteral("$argon2id$v=19$m=%1,t=%2,p=1$%3$%4")
                                     .arg(crypto_pwhash_MEMLIMIT_INTERACTIVE / 1024)
                                     .arg(crypto_pwhash_OPSLIMIT_INTERACTIVE)
                                     .arg(QString(22, u'A'), QString(43, u'A'));
    verify(dummy, password);
}

} // namespace Passwords
