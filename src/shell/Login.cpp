#include "shell/Login.h"

#include "base/Passwords.h"
#include "data/Database.h"

#include <algorithm>
#include <limits>

namespace Login {

namespace {

    constexpr int kFreeAttempts = 5;
    constexpr int kFirstDelayMs = 1000;
    constexpr int kLongestDelayMs = 30000;

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
    return username.trimmed().toCaseFolded();
}

int Throttle::failures(const QString &username) const
{
    return m_failures.value(key(username), 0);
}

void Throttle::failed(const QString &username)
{
    ++m_failures[key(username)];
}

void Throttle::succeeded(const QString &username)
{
    m_failures.remove(key(username));
}

} // namespace Login
