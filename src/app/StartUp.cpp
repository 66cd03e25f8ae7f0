#include "app/StartUp.h"

#include "app/Screens.h"
#include "base/Config.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/SingleInstance.h"
#include "shell/ui/MDI.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

// What one run owns: the connection of the user-interface thread and the
// context handed to every screen.
struct Program
{
    data::Connection db;
    AppContext context { db };
};

std::unique_ptr<Program> g_program;
QPointer<MDI> g_mainWindow;
// The window of the last run, until it is really deleted (after a shut-down
// it is deleted later, and its screens still hold the run's context).
QPointer<MDI> g_lastWindow;

// Makes `program` the current run's; the one it replaces goes once nothing
// uses it any more.
void adopt(std::unique_ptr<Program> program)
{
    if (g_program && g_lastWindow) {
        Program *old = g_program.release();
        QObject::connect(g_lastWindow.data(), &QObject::destroyed, [old] { delete old; });
    }
    g_program = std::move(program);
}

void startUpFailed(const QString &what)
{
    Messages::show(nullptr, what, QStringLiteral("Job Tracker Cannot Start"), Messages::Icon::Critical);
}

} // namespace

MDI *MainWindow()
{
    return g_mainWindow;
}

AppContext *ProgramContext()
{
    return g_program ? &g_program->context : nullptr;
}

MDI *StartUp(const QString &folder)
{
    auto program = std::make_unique<Program>();
    AppContext &ctx = program->context;
    // A failed start leaves a run that is open as it was.
    const auto failed = [&] {
        program->db.close();
        if (!g_mainWindow)
            adopt(std::move(program));
        return nullptr;
    };
    bool hasCompany = false;
    try {
        ctx.config = readConfigFile(QDir(folder).filePath(QStringLiteral("config.txt")));
        program->db.open(ctx.config.connectionString, folder);
        hasCompany = ctx.LoadCompanySettings();
    } catch (const ConfigError &e) {
        startUpFailed(QString::fromStdString(e.what()));
        return failed();
    } catch (const data::DbError &e) {
        startUpFailed(QStringLiteral("The job database could not be opened.\n\n") + e.message());
        return failed();
    }

    if (!SingleInstance::acquire()) {
        Messages::show(nullptr, QStringLiteral("This application is already running."),
            QStringLiteral("Application Already Running"));
        return failed();
    }
    adopt(std::move(program));

    auto *mdi = new MDI(ctx, screenRegistry());
    mdi->setAttribute(Qt::WA_DeleteOnClose);
    g_mainWindow = mdi;
    g_lastWindow = mdi;
    ctx.setShutDownHook([] {
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
        mdi->openScreen(QStringLiteral("frmCompanyInfo"));
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
    const QString folder = findConfigFolder();
    if (folder.isEmpty()) {
        const QStringList looked = configFolders();
        startUpFailed(QStringLiteral("No config.txt was found. The program looks for it beside itself (%1) and "
                                     "in your configuration folder (%2).")
                          .arg(QDir::toNativeSeparators(looked.value(0)), QDir::toNativeSeparators(looked.value(1))));
        return 1;
    }
    if (!StartUp(folder))
        return 1;
    // The start-up benchmark times the program up to its login screen.
    if (qEnvironmentVariableIsSet("JT_EXIT_AT_LOGIN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int result = app.exec();
    delete g_mainWindow.data();
    g_program.reset();
    return result;
}
