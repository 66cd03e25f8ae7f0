#include "shell/modMain.h"

#include "data/Database.h"
#include "settings/Company.h"
#include "shell/Config.h"
#include "shell/Login.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QSqlQuery>

QString gConnectionString;
QString gCustomerDatabasePath;
qint16 gUserID = 0;
QString gUsername;
QString gUserType;
QString gCompanyName;
QString gCompanyAddress1;
QString gCompanyAddress2;
QString gCompanyCity;
QString gCompanyState;
QString gCompanyZip;
QString gCompanyPhone;
QString gCompanyFax;
QString gCompanyEmail;
QString gCompanyWebsite;
double gKeyPressDelay = 0;
QString gQBItemName;
QString gQBItemDescription;
double gQBItemAmount = 0;
qint32 gDryingDays = 0;

namespace {
std::function<void()> g_shutDownHook;
}

void ReadConfig(const QString &folder)
{
    const ConfigValues values = readConfigFile(QDir(folder).filePath(QStringLiteral("config.txt")));
    gConnectionString = values.connectionString;
    gCustomerDatabasePath = values.customerDatabasePath;
}

bool LoadCompanySettings()
{
    const auto row = Company::load();
    if (!row)
        return false;
    gCompanyName = row->name;
    gCompanyAddress1 = row->address1;
    gCompanyAddress2 = row->address2;
    gCompanyCity = row->city;
    gCompanyState = row->state;
    gCompanyZip = row->zip;
    gCompanyPhone = row->phone;
    gCompanyFax = row->fax;
    gCompanyEmail = row->email;
    gCompanyWebsite = row->website;
    gKeyPressDelay = row->keyPressDelay;
    gQBItemName = row->qbItemName;
    gQBItemDescription = row->qbItemDescription;
    gQBItemAmount = row->qbItemAmount;
    gDryingDays = row->dryingDays;
    return true;
}

double SafeNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return 0;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    return ok ? value : 0;
}

void CallEmployeeLogin()
{
    data::callUserProcedure(QStringLiteral("EmployeeLogin"), gUserID);
}

void CallEmployeeLogoff()
{
    data::callUserProcedure(QStringLiteral("EmployeeLogoff"), gUserID);
}

void SetShutDownHook(std::function<void()> hook)
{
    g_shutDownHook = std::move(hook);
}

void ShutDown()
{
    if (!gUsername.isEmpty()) {
        try {
            CallEmployeeLogoff();
        } catch (const data::DbError &e) {
            // The program is ending either way; the log row is all that is lost.
            qWarning("Logoff was not recorded: %s", qPrintable(e.message()));
        }
    }
    data::CloseConnection();
    if (g_shutDownHook)
        g_shutDownHook();
    else
        QCoreApplication::exit(0);
}

void ResetProgramValues()
{
    gConnectionString.clear();
    gCustomerDatabasePath.clear();
    gUserID = 0;
    gUsername.clear();
    gUserType.clear();
    gCompanyName.clear();
    gCompanyAddress1.clear();
    gCompanyAddress2.clear();
    gCompanyCity.clear();
    gCompanyState.clear();
    gCompanyZip.clear();
    gCompanyPhone.clear();
    gCompanyFax.clear();
    gCompanyEmail.clear();
    gCompanyWebsite.clear();
    gKeyPressDelay = 0;
    gQBItemName.clear();
    gQBItemDescription.clear();
    gQBItemAmount = 0;
    gDryingDays = 0;
    Login::throttle().clear();
}

bool HasPermission(const QString &name)
{
    if (gUserType == QLatin1String("Admin"))
        return true;
    const QVariant id = data::scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { name });
    const qint64 permissionId = id.isValid() ? id.toLongLong() : 0;
    QSqlQuery grant
        = data::exec(QStringLiteral("SELECT UserID FROM UserPermission WHERE UserID = ? AND PermissionID = ?"),
            { static_cast<qint64>(gUserID), permissionId });
    return grant.next();
}
