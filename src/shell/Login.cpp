#include "shell/Login.h"

#include "base/Clock.h"
#include "base/Passwords.h"
#include "data/Database.h"
#include "data/RowMap.h"

#include <algorithm>
#include <limits>

namespace Login {

namespace {

    constexpr int kFreeAttempts = 5;
    constexpr int kFirstDelayMs = 1000;
    constexpr int kLongestDelayMs = 30000;
    // LoginFailure.UserKey's width.
    constexpr int kKeyLength = 50;

    struct Candidate
    {
        qint64 id = 0;
        QString username;
        QString userType;
        QString stored;
    };

    // Only the password changes, and only if nobody has changed it since it was
    // read; the login itself does not depend on the rewrite having happened.
    //
    // A failed rewrite (a narrower Password column in an older database, no
    // UPDATE right) leaves the row as it was and never fails the login; it is
    // tried again at the next one.
    void replacePlainPassword(data::Connection &db, qint64 id, const QString &stored, const QString &password)
    {
        try {
            data::Transaction transaction(db);
            db.exec(QStringLiteral("UPDATE Employee SET Password = ? WHERE ID = ? AND Password = ?"),
                { Passwords::hash(password), id, stored });
            transaction.commit();
        } catch (const std::exception &e) {
            qWarning("The password of employee %lld was not rewritten as a hash: %s", id, e.what());
        }
    }

} // namespace

Rights currentRights(data::Connection &db, qint64 userId, const QString &permission)
{
    // The grant is counted by a subquery, so that one row comes back however
    // many grants (or none) there are.
    data::Rows q
        = db.exec(QStringLiteral("SELECT Employee.Inactive, Employee.Username, EmployeeType.Name AS UserType,"
                                 " (SELECT COUNT(*) FROM UserPermission JOIN Permission"
                                 " ON UserPermission.PermissionID = Permission.ID"
                                 " WHERE UserPermission.UserID = Employee.ID AND Permission.Name = ?) AS Granted"
                                 " FROM Employee LEFT JOIN EmployeeType ON Employee.UserTypeID = EmployeeType.ID"
                                 " WHERE Employee.ID = ?"),
            { permission, userId });
    return data::one(q, [&](const data::Row &row) {
        Rights rights;
        rights.found = true;
        rights.active = !row.isNull("Inactive") && !row["Inactive"].toBool();
        rights.username = row["Username"].toString();
        rights.userType = row["UserType"].toString();
        rights.admin = rights.userType == QLatin1String("Admin");
        rights.held = rights.admin || (!permission.isEmpty() && row["Granted"].toLongLong() > 0);
        return rights;
    }).value_or(Rights {});
}

std::optional<User> authenticate(data::Connection &db, const QString &username, const QString &password)
{
    const QString name = username.trimmed();
    const QString typed = password.trimmed();
    // Employees without a login have an empty user name; blanks never match them.
    if (name.isEmpty() || typed.isEmpty())
        return std::nullopt;

    // All candidates are read before any is verified, so that a rewrite does
    // not run while the result set is still open.
    QList<Candidate> candidates;
    {
        data::Rows q = db.exec(
            QStringLiteral("SELECT Employee.ID,EmployeeType.Name AS UserType,Employee.Username,Employee.Password"
                           " FROM Employee LEFT JOIN EmployeeType ON Employee.UserTypeID=EmployeeType.ID"
                           " WHERE ")
                + db.dialect().equalsIgnoreCase(QStringLiteral("Employee.Username"), QStringLiteral("?"))
                + QStringLiteral(" AND Employee.Inactive <> ? ORDER BY Employee.ID"),
            { name, true });
        while (q.next()) {
            candidates.append(
                { q.value(0).toLongLong(), q.value(2).toString(), q.value(1).toString(), q.value(3).toString() });
        }
    }

    if (candidates.isEmpty())
        Passwords::verifyNothing(typed);
    for (const Candidate &candidate : std::as_const(candidates)) {
        // gUserID is 16-bit; a larger ID would alias another employee.
        if (candidate.id <= 0 || candidate.id > std::numeric_limits<qint16>::max())
            continue;
        if (!Passwords::verify(candidate.stored, typed))
            continue;
        if (!Passwords::isHash(candidate.stored))
            replacePlainPassword(db, candidate.id, candidate.stored, typed);
        return User { static_cast<qint16>(candidate.id), candidate.username, candidate.userType };
    }
    return std::nullopt;
}

int delayAfterFailures(int failures)
{
    if (failures < kFreeAttempts)
        return 0;
    const int doublings = std::min(failures - kFreeAttempts, 5);
    return std::min(kFirstDelayMs << doublings, kLongestDelayMs);
}

QString Throttle::key(const QString &username)
{
    return username.trimmed().toCaseFolded().left(kKeyLength);
}

int Throttle::failures(const QString &username) const
{
    int stored = 0;
    try {
        stored = m_db.scalar(QStringLiteral("SELECT Failures FROM LoginFailure WHERE UserKey = ?"), { key(username) })
                     .toInt();
    } catch (const std::exception &e) {
        qWarning("Failed logins could not be read: %s", e.what());
    }
    return std::max(stored, m_failures.value(key(username), 0));
}

qint64 Throttle::waitLeft(const QString &username, const QDateTime &now) const
{
    const int delay = delayBeforeCheck(username);
    if (delay == 0)
        return 0;
    QDateTime last;
    try {
        last = m_db.scalar(QStringLiteral("SELECT LastFailedAt FROM LoginFailure WHERE UserKey = ?"), { key(username) })
                   .toDateTime();
    } catch (const std::exception &e) {
        qWarning("Failed logins could not be read: %s", e.what());
        return delay;
    }
    if (!last.isValid())
        return 0;
    return std::clamp<qint64>(delay - last.msecsTo(now), 0, delay);
}

void Throttle::failed(const QString &username)
{
    const QString name = key(username);
    ++m_failures[name];
    try {
        data::Transaction transaction(m_db);
        const QVariantList row { Clock::now(), name };
        const int updated = m_db.exec(QStringLiteral("UPDATE LoginFailure SET Failures = Failures + 1, LastFailedAt = ?"
                                                     " WHERE UserKey = ?"),
                                    row)
                                .numRowsAffected();
        if (updated == 0) {
            m_db.exec(QStringLiteral("INSERT INTO LoginFailure (UserKey, Failures, LastFailedAt) VALUES (?, ?, ?)"),
                { name, m_failures.value(name), Clock::now() });
        }
        transaction.commit();
    } catch (const std::exception &e) {
        qWarning("A failed login could not be recorded: %s", e.what());
    }
}

void Throttle::succeeded(const QString &username)
{
    const QString name = key(username);
    m_failures.remove(name);
    try {
        data::Transaction transaction(m_db);
        m_db.exec(QStringLiteral("DELETE FROM LoginFailure WHERE UserKey = ?"), { name });
        transaction.commit();
    } catch (const std::exception &e) {
        qWarning("The failed logins of a user could not be cleared: %s", e.what());
    }
}

} // namespace Login
