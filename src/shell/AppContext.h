#pragma once

#include "base/Config.h"
#include "settings/Company.h"
#include "shell/Login.h"

#include <QDateTime>
#include <functional>

namespace data {
class Connection;
struct Stamp;
} // namespace data

// The state of one run of the program, in one object: where the data lives,
// who is logged in with what rights, and the company settings in force. The
// program makes one at start-up and hands it to the main window, which hands
// it to every screen it opens. Core functions never read it: they take the
// values they need as arguments.
class AppContext
{
public:
    explicit AppContext(data::Connection &db);
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    // The connection of the user-interface thread.
    data::Connection &db() const { return m_db; }

    // config.txt as read at start-up: the connection string and the customer
    // file's path.
    ConfigValues config;

    // ---- the logged-in user (ID 0 and an empty name before login)
    const Login::User &user() const { return m_user; }
    qint16 UserID() const { return m_user.id; }
    const QString &Username() const { return m_user.username; }
    // The type as read at the last check of a right: for showing, never for
    // deciding (ask HasPermission).
    const QString &UserType() const { return m_user.userType; }
    bool isLoggedIn() const { return !m_user.username.isEmpty(); }
    // The connection names the user to the job history's triggers; setUser
    // throws data::DbError when it cannot.
    void setUser(const Login::User &user);
    void clearUser();

    // Failed logins in a row per user name.
    Login::Throttle &loginThrottle() { return m_throttle; }

    // Whether the logged-in user holds the named permission, as the database
    // says now (one statement each time): a right taken away, or given, by
    // another user counts at the next check. A user of type "Admin" (exact
    // case) holds every permission. A user whose row is gone, who is
    // inactive or has no user name any more holds nothing: the session is
    // lost, and the hook the main window installs (telling the user and
    // returning to the login) runs once. The session follows the employee's
    // ID: a new user name is taken over for the status line and the stamps.
    // Nobody holds anything before login; Permissions::administrators only
    // a user of the type "Admin". Throws data::DbError.
    bool HasPermission(const QString &name);
    // Whether a check found the logged-in user's login no longer valid.
    bool sessionLost() const { return m_sessionLost; }
    void setSessionLostHook(std::function<void()> hook) { m_sessionLostHook = std::move(hook); }

    // The who-and-when of a save by the logged-in user, now.
    data::Stamp stamp() const;

    // ---- the company settings in force
    const CompanyRow &company() const { return m_company; }
    // (Re)reads the company row. Returns false, leaving the values as they
    // are, when the Company table has no row. Throws data::DbError.
    bool LoadCompanySettings();
    // Puts values in force without reading them (tests, and a screen that
    // has just saved them).
    void setCompany(const CompanyRow &row) { m_company = row; }

    // ---- the end of the run
    // EmployeeLogin / EmployeeLogoff with the user's ID. Throw data::DbError.
    void CallEmployeeLogin();
    void CallEmployeeLogoff();
    // Ends the user's work: logs off a logged-in user, closes the connection
    // and hands over to the end-of-program hook (the start-up installs one
    // that closes every window and quits).
    void ShutDown();
    void setShutDownHook(std::function<void()> hook) { m_shutDownHook = std::move(hook); }

private:
    data::Connection &m_db;
    Login::User m_user;
    Login::Throttle m_throttle;
    CompanyRow m_company;
    std::function<void()> m_shutDownHook;
    std::function<void()> m_sessionLostHook;
    bool m_sessionLost = false;
};
