#include "shell/GuiMain.h"

#include "data/Database.h"
#include "shell/Config.h"
#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/SingleInstance.h"
#include "shell/modMain.h"

#include <QApplication>
#include <QMdiArea>
#include <QPointer>

namespace {

QPointer<MDI> g_mainWindow;

void startUpFailed(const QString &what)
{
    Messages::show(nullptr, what, QStringLiteral("Job Tracker Cannot Start"), Messages::Icon::Critical);
}

} // namespace

MDI *MainWindow()
{
    return g_mainWindow;
}

MDI *StartUp(const QString &folder)
{
    bool hasCompany = false;
    try {
        ReadConfig(folder);
        data::OpenConnection(gConnectionString, folder);
        hasCompany = LoadCompanySettings();
    } catch (const ConfigError &e) {
        startUpFailed(QString::fromStdString(e.what()));
        return nullptr;
    } catch (const data::DbError &e) {
        data::CloseConnection();
        startUpFailed(QStringLiteral("The job database could not be opened.\n\n") + e.message());
        return nullptr;
    }

    if (!SingleInstance::acquire()) {
        data::CloseConnection();
        Messages::show(nullptr, QStringLiteral("This application is already running."),
            QStringLiteral("Application Already Running"));
        return nullptr;
    }

    auto *mdi = new MDI;
    mdi->setAttribute(Qt::WA_DeleteOnClose);
    g_mainWindow = mdi;
    SetShutDownHook([] {
        if (g_mainWindow) {
            MDI *window = g_mainWindow;
            g_mainWindow = nullptr;
            window->area()->closeAllSubWindows();
            window->deleteLater();
        }
        SingleInstance::release();
        QCoreApplication::exit(0);
    });
    mdi->show();
    mdi->lockForLogin();
    if (!hasCompany)
        mdi->openCompanyInfo();
    mdi->openLogin();
    return mdi;
}

int Main(int argc, char *argv[])
{
    // The program takes nothing from its command line, not even Qt's own
    // options: only the program name is passed on.
    int programNameOnly = argc > 0 ? 1 : 0;
    QApplication app(programNameOnly, argv);
    QApplication::setApplicationName(QStringLiteral("Job Tracker"));
    QApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));
    if (!StartUp(QCoreApplication::applicationDirPath()))
        return 1;
    return app.exec();
}
