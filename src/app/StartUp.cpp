#include "app/StartUp.h"

#include "app/Screens.h"
#include "base/Config.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
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

QString versionText(const std::optional<int> &stored)
{
    return stored ? QStringLiteral("is at schema version %1").arg(*stored)
                  : QStringLiteral("is an older installation's (it stores no schema version)");
}

// What an upgrade would change, for the question that offers it.
QString upgradeOffer(const data::SchemaCheck &check, const std::optional<int> &stored)
{
    QString text = QStringLiteral("The job database %1; this program works with version %2.")
                       .arg(versionText(stored))
                       .arg(data::kSchemaVersion);
    if (!check.toBeAdded.isEmpty())
        text += QStringLiteral("\n\nThe upgrade adds:\n") + check.toBeAdded.join(u'\n');
    if (!check.narrow.isEmpty())
        text += QStringLiteral("\n\nThe upgrade widens:\n") + check.narrow.join(u'\n');
    return text + QStringLiteral("\n\nUpgrade the database now? It is best backed up first; No leaves it as it is.");
}

// Whether the program can work on the database: it has the whole data model
// and, after the offer to upgrade it has been taken, all of the program's
// own. False: a message has said why not. The widths of its text columns are
// read here, once a run. Throws DbError.
bool databaseReady(data::Connection &db)
{
    std::optional<data::DeclaredWidths> widths = data::readDeclaredWidths(db);
    const data::SchemaCheck check = data::checkSchema(db, widths);
    if (!check.missing.isEmpty()) {
        startUpFailed(QStringLiteral("The job database could not be opened.\n\nIt lacks what every job database "
                                     "has: %1.")
                          .arg(check.missing.join(QStringLiteral(", "))));
        return false;
    }
    const std::optional<int> stored = data::storedSchemaVersion(db);
    if (data::upgradeWouldChange(check, stored)) {
        const auto answer
            = Messages::show(nullptr, upgradeOffer(check, stored), QStringLiteral("Upgrade the Job Database"),
                Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            startUpFailed(QStringLiteral("The job database was left as it was. Job Tracker starts on it once it "
                                         "is upgraded: run\n\n    jobtracker-admin upgrade\n\nor start Job "
                                         "Tracker again and answer Yes."));
            return false;
        }
        try {
            const WaitCursor wait;
            data::upgradeSchema(db, data::UpgradeCommits::AtTheEnd);
        } catch (const data::DbError &e) {
            startUpFailed((db.dialect().transactionalSchemaChanges()
                                  ? QStringLiteral("The job database could not be upgraded; it was left as it was.")
                                  : QStringLiteral("The job database could not be upgraded; the steps done before "
                                                   "the failure were kept, and jobtracker-admin upgrade carries on "
                                                   "from there."))
                + QStringLiteral("\n\n") + e.message());
            return false;
        }
        widths = data::readDeclaredWidths(db);
    }
    data::useDeclaredWidths(std::move(widths));
    return true;
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
        if (!databaseReady(program->db))
            return failed();
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
        mdi->openFirstSetup();
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
