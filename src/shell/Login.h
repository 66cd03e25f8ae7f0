#pragma once

#include <QHash>
#include <QString>
#include <optional>

namespace data {
class Connection;
}

// Who may log in, and how often they may try.
namespace Login {

// The employee a login identifies, as stored in the database.
struct User
{
    qint16 id = 0;
    QString username;
    QString userType;
};

// Looks up an active employee by user name and password. Both are trimmed;
// the user name matches regardless of case, the password must verify against
// the stored hash. A row that still holds its password as plain text is
// accepted when it matches and the password is rewritten as a hash on the
// spot (a rewrite that fails is left for the next login). An employee whose Inactive is set or NULL never matches.
// Throws data::DbError.
std::optional<User> authenticate(data::Connection &db, const QString &username, const QString &password);

// Milliseconds to wait before checking an attempt that follows `failures`
// failed ones in a row: none for the first five, then 1 s doubling up to 30 s.
int delayAfterFailures(int failures);

// Failed attempts in a row, per user name (trimmed, any case). Unknown user
// names count as well, so the delay tells nothing about which names exist.
class Throttle
{
public:
    int failures(const QString &username) const;
    int delayBeforeCheck(const QString &username) const { return delayAfterFailures(failures(username)); }
    void failed(const QString &username);
    void succeeded(const QString &username);
    void clear() { m_failures.clear(); }

private:
    static QString key(const QString &username);
    QHash<QString, int> m_failures;
};

} // namespace Login
