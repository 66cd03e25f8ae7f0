#include "shell/AppContext.h"

#include "base/Clock.h"
#include "base/Permissions.h"
#include "data/Database.h"

#include <QCoreApplication>

AppContext::AppContext(data::Connection &db)
    : m_db(db)
    , m_throttle(db)
{
}

void AppContext::setUser(const Login::User &user)
{
    m_user = user;
    m_sessionLost = false;
    m_db.setHistoryUser(user.username);
}

void AppContext::clearUser()
{
    m_user = {};
    try {
        m_db.setHistoryUser({});
    } catch (const data::DbError &) {
        // A session that cannot be told goes with its connection; nobody
        // writes on it before the next login names its user.
    }
}

bool AppContext::HasPermission(const QString &name)
{
    if (!isLoggedIn() || m_sessionLost)
        return false;
    const bool adminOnly = name == Permissions::administrators;
    const Login::Rights rights = Login::currentRights(m_db, m_user.id, adminOnly ? QString() : name);
    if (!rights.canWork()) {
        m_sessionLost = true;
        if (m_sessionLostHook)
            m_sessionLostHook();
        return false;
    }
    m_user.username = rights.username;
    m_user.userType = rights.userType;
    // An empty name asks only whether the user may still work.
    return adminOnly ? rights.admin : name.isEmpty() || rights.held;
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
