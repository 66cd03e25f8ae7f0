#include "shell/AppContext.h"

#include "base/Clock.h"
#include "data/Database.h"

#include <QCoreApplication>

AppContext::AppContext(data::Connection &db)
    : m_db(db)
    , m_throttle(db)
{
}

bool AppContext::HasPermission(const QString &name) const
{
    if (m_user.userType == QLatin1String("Admin"))
        return true;
    const QVariant id = m_db.scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { name });
    const qint64 permissionId = id.isValid() ? id.toLongLong() : 0;
    data::Rows grant
        = m_db.exec(QStringLiteral("SELECT UserID FROM UserPermission WHERE UserID = ? AND PermissionID = ?"),
            { static_cast<qint64>(m_user.id), permissionId });
    return grant.next();
}

data::Stamp AppContext::stamp() const
{
    return { m_user.username, Clock::now() };
}

bool AppContext::LoadCompanySettings()
{
    const std::optional<CompanyRow> row = Company::load(m_db);
    if (!row)
        return false;
    m_company = *row;
    return true;
}

void AppContext::CallEmployeeLogin()
{
    m_db.callUserProcedure(QStringLiteral("EmployeeLogin"), m_user.id, Clock::now());
}

void AppContext::CallEmployeeLogoff()
{
    m_db.callUserProcedure(QStringLiteral("EmployeeLogoff"), m_user.id, Clock::now());
}

void AppContext::ShutDown()
{
    if (isLoggedIn()) {
        try {
            CallEmployeeLogoff();
        } catch (const std::exception &e) {
            // The program is ending either way; the log row is all that is lost.
            qWarning("Logoff was not recorded: %s", e.what());
        }
    }
    m_db.close();
    if (m_shutDownHook)
        m_shutDownHook();
    else
        QCoreApplication::exit(0);
}
