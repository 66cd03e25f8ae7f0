#pragma once

#include <QDateTime>
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

// What an employee may do, as the database says at this moment.
struct Rights
{
    bool found = false; // false: no employee row has the ID
    bool active = false; // Inactive is false (NULL counts as inactive, as at login)
    QString username;
    QString userType;
    bool admin = false; // of the type "Admin" (exact case): holds every permission
    bool held = false; // holds the permission asked (an Admin holds them all)
    // Whether the employee may still work under a login made earlier.
    bool canWork() const { return found && active && !username.trimmed().isEmpty(); }
};

// The employee's standing and whether they hold the named permission (none
// asked when `permission` is empty), in one statement: every check of a
// right reads it afresh, so that a change by another user counts at once.
// Throws data::DbError.
Rights currentRights(data::Connection &db, qint64 userId, const QString &permission = {});

// Looks up an active employee by user name and password. A name that no
// active employee has costs a password check all the same, so the time of
// the answer does not tell which names exist. Both are trimmed;
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
// The counts live in the database (LoginFailure), so that neither a restart
// nor another PC starts them afresh; this run's own count is kept as well
// and the larger one holds, so that a database that cannot be read or
// written (not yet upgraded, an outage) never lifts the wait. Nothing here
// throws.
class Throttle
{
public:
    explicit Throttle(data::Connection &db)
        : m_db(db)
    {
    }
    int failures(const QString &username) const;
    int delayBeforeCheck(const QString &username) const { return delayAfterFailures(failures(username)); }
    // Milliseconds still to wait at `now` before the next attempt counts:
    // the delay after the failures so far, from the last failure as the
    // database has it (a server cannot hold a request for the whole wait).
    // 0 when none is due or the time of the last failure is not known.
    qint64 waitLeft(const QString &username, const QDateTime &now) const;
    void failed(const QString &username);
    void succeeded(const QString &username);
    // Forgets this run's counts; the database keeps its own.
    void clear() { m_failures.clear(); }

private:
    static QString key(const QString &username);
    data::Connection &m_db;
    QHash<QString, int> m_failures;
};

} // namespace Login
