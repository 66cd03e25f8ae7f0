// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "app/StartUp.h"
#include "base/Clock.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/SingleInstance.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"
#include "widgets/Screen.h"
#include "widgets/ScreenRegistry.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QStringList kScreenEntries { QStringLiteral("mnuWIPsBoard"), QStringLiteral("mnuWIPEntry"),
    QStringLiteral("mnuQBSync"), QStringLiteral("mnuTimeNavigator"), QStringLiteral("mnuTimeEntry"),
    QStringLiteral("mnuWIPStatusEntry"), QStringLiteral("mnuEmployeeEntry"), QStringLiteral("mnuEquipment") };

const QString kRefused = QStringLiteral("Invalid Permission: You do not have permission to view this record. (!)");

// Chooses a menu entry the way a user can: it must exist and be enabled.
bool choose(QMainWindow *window, const QString &entry)
{
    auto *action = window->findChild<QAction *>(entry);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

QStringList openScreens(const MDI &mdi)
{
    QStringList names;
    for (QMdiSubWindow *sub : mdi.area()->subWindowList()) {
        if (sub->widget())
            names << sub->widget()->objectName();
    }
    return names;
}

// The main window after a login as an employee of the given type holding the
// given permissions. Each screen entry opens a stand-in screen
// "screen_<entry>"; `made` counts how many were made.
// The program's own registry, with its menu entries and permissions, but a
// stand-in screen behind each screen entry.
QList<ScreenEntry> standIns(int &made)
{
    QList<ScreenEntry> entries;
    for (ScreenEntry entry : screenRegistry().entries()) {
        if (kScreenEntries.contains(entry.menuEntry)) {
            const QString name = QStringLiteral("screen_") + entry.menuEntry;
            entry.screenName = name;
            entry.create = [&made, name](AppContext &context) -> Screen * {
                ++made;
                return new Screen(context, name, name);
            };
        }
        entries << entry;
    }
    return entries;
}

struct LoggedIn
{
    int made = 0;
    ScreenRegistry screens { standIns(made) };
    MDI mdi { testdb::context(), screens };

    explicit LoggedIn(const QString &userType, const QStringList &grants = {})
    {
        const int id = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"), userType);
        for (const QString &permission : grants)
            TestDb::grant(id, permission);
        testdb::logIn(id, QStringLiteral("kw"), userType);
        mdi.show();
        mdi.unlockAfterLogin(testdb::context().Username());
    }
};

// A user of type "User" holding one permission (none when empty).
void permissionRow(const QByteArray &name, const QString &entry, const QString &grant, bool opens)
{
    QTest::newRow(name.constData()) << entry << QStringLiteral("User")
                                    << (grant.isEmpty() ? QStringList() : QStringList { grant }) << opens;
}

void menuRow(const char *entry, const QString &caption, const QString &menu, int position, bool beforeLogin)
{
    QTest::newRow(entry) << QString::fromLatin1(entry) << caption << menu << position << beforeLogin;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private:
    // StartUp takes the one-copy lock in the runtime folder; each run of this
    // test gets its own, so the backends can run side by side.
    QTemporaryDir m_runtime;

private slots:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void init() { resetTestState(); }

    void cleanup()
    {
        // Ends a run that StartUp began, should a failed check have left it open.
        if (MainWindow())
            testdb::context().ShutDown();
        SingleInstance::release();
    }

    // Where each entry sits (menu and position) and what it reads; before
    // login only File and File > Exit are enabled (and the status bar is not),
    // after it all. Reports is an entry of its own, without a menu.
    void menu_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("menu"); // empty: on the menu bar
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("beforeLogin");
        menuRow("File", "File", "", 0, true);
        menuRow("CompanyInfo", "Setup", "File", 0, false);
        menuRow("mnuBackUpNow", "Back Up Now…", "File", 1, false);
        menuRow("mnuFieldPage", "Field Page…", "File", 2, false);
        menuRow("Exit", "Exit", "File", 3, true);
        menuRow("mnuWIPS", "WIPs", "", 1, false);
        menuRow("mnuWIPsBoard", "WIPs Navigator", "mnuWIPS", 0, false);
        menuRow("mnuWIPEntry", "WIP Entry/Edit", "mnuWIPS", 1, false);
        menuRow("mnuQB", "QuickBooks", "", 2, false);
        menuRow("mnuQBSync", "QuickBooks Sync", "mnuQB", 0, false);
        menuRow("mnuEmployeeTime", "Employee Time", "", 3, false);
        menuRow("mnuTimeNavigator", "Time Navigator", "mnuEmployeeTime", 0, false);
        menuRow("mnuTimeEntry", "Time Entry", "mnuEmployeeTime", 1, false);
        menuRow("mnuAdmin", "Administrative", "", 4, false);
        menuRow("mnuWIPStatusEntry", "WIP Status Entry/Edit", "mnuAdmin", 0, false);
        menuRow("mnuEmployeeEntry", "Employee Entry/Edit", "mnuAdmin", 1, false);
        menuRow("mnuEquipment", "Equipment", "mnuAdmin", 2, false);
        menuRow("mnuReports", "Reports", "", 5, false);
        menuRow("Help", "Help", "", 6, false);
        menuRow("About", "About", "Help", 0, false);
    }

    void menu()
    {
        QFETCH(QString, entry);
        QFETCH(QString, caption);
        QFETCH(QString, menu);
        QFETCH(int, position);
        QFETCH(bool, beforeLogin);
        // No database: the window alone.
        data::Connection db;
        AppContext context(db);
        MDI mdi(context, screenRegistry());
        mdi.show();
        mdi.lockForLogin();
        auto *action = mdi.findChild<QAction *>(entry);
        QVERIFY(action);
        QCOMPARE(action->text().remove(u'&'), caption);
        const QList<QAction *> siblings
            = menu.isEmpty() ? mdi.menuBar()->actions() : mdi.findChild<QMenu *>(menu)->actions();
        QCOMPARE(siblings.indexOf(action), position);
        QCOMPARE(mdi.menuBar()->actions().size(), 7);
        if (entry == u"mnuReports")
            QVERIFY(!action->menu());
        QCOMPARE(action->isEnabled(), beforeLogin);
        QVERIFY(!mdi.statusBar()->isEnabled());

        mdi.unlockAfterLogin(QStringLiteral("KWhitfield"));
        QVERIFY(action->isEnabled());
        QVERIFY(mdi.statusBar()->isEnabled());
    }

    // The whole road: start-up, login through the screen, then File > Exit or
    // the close box; the login and the logoff are each recorded once, and
    // nothing at all when the user leaves before logging in.
    void startLoginAndLeave_data()
    {
        QTest::addColumn<bool>("login");
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("File > Exit") << true << false;
        QTest::newRow("close box") << true << true;
        QTest::newRow("File > Exit before login") << false << false;
    }

    void startLoginAndLeave()
    {
        QFETCH(bool, login);
        QFETCH(bool, closeBox);
        JT_FRESH_DB(db);
        TestDb::addCompany();
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));

        QPointer<MDI> mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QCOMPARE(openScreens(*mdi), QStringList { QStringLiteral("frmLogin") });
        QVERIFY(!choose(mdi, QStringLiteral("CompanyInfo")));
        QVERIFY(!choose(mdi, QStringLiteral("mnuWIPEntry")));
        if (login) {
            QWidget *screen = mdi->findScreen(QStringLiteral("frmLogin"));
            QTest::keyClicks(
                screen->findChild<QLineEdit *>(QStringLiteral("txtUsername")), QStringLiteral("kwhitfield"));
            QTest::keyClicks(screen->findChild<QLineEdit *>(QStringLiteral("txtPassword")), QStringLiteral("Secret 1"));
            QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("btnLogin")), Qt::LeftButton);
            QTRY_COMPARE(openScreens(*mdi), QStringList());
            QCOMPARE(
                mdi->findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), QStringLiteral("KWhitfield"));
            QVERIFY(choose(mdi, QStringLiteral("About")));
        }

        if (closeBox)
            mdi->close();
        else
            QVERIFY(choose(mdi, QStringLiteral("Exit")));
        QTRY_VERIFY(mdi.isNull());
        QVERIFY(!ProgramContext()->db().isOpen());
        QVERIFY(!MainWindow());

        db.reopen();
        QCOMPARE(employeeLog(),
            login ? (QList<LogRow> { { id, QStringLiteral("Login") }, { id, QStringLiteral("Logoff") } })
                  : QList<LogRow>());
    }

    // Closing the window, by its close box or File > Exit, asks every screen
    // before closing any: Cancel on the time entry's unsaved changes keeps
    // the window and all its screens, the typed hours too; No closes them
    // all, asking once.
    void closingAsksScreensFirst_data()
    {
        columns<bool, QMessageBox::StandardButton, bool>({ "byExit", "answer", "closes" });
        row("close box, Cancel", false, QMessageBox::Cancel, false);
        row("File > Exit, Cancel", true, QMessageBox::Cancel, false);
        row("close box, No", false, QMessageBox::No, true);
        row("File > Exit, No", true, QMessageBox::No, true);
    }
    void closingAsksScreensFirst()
    {
        QFETCH(bool, byExit);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        JT_FRESH_DB(db);
        testdb::logIn(0, QStringLiteral("clerk"), QStringLiteral("Admin"));
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.unlockAfterLogin(QStringLiteral("clerk"));
        // Opened first, so closed first were the screens closed one by one.
        QVERIFY(choose(&mdi, QStringLiteral("About")));
        QVERIFY(choose(&mdi, QStringLiteral("mnuTimeEntry")));
        QPointer<QLineEdit> hours = findControl<QLineEdit>(mdi.findScreen(QStringLiteral("frmTimeEntry")), "txtHours");
        hours->setText(QStringLiteral("6"));

        Messages::setNextAnswer(answer);
        if (byExit)
            QVERIFY(choose(&mdi, QStringLiteral("Exit")));
        else
            mdi.close();
        QCOMPARE(shownMessages(),
            QStringList {
                QStringLiteral("Employee Time Entry: Do you want to save the changes to this time entry? (buttons)") });
        QCOMPARE(mdi.isVisible(), !closes);
        QCOMPARE(testdb::context().db().isOpen(), !closes);
        QTRY_COMPARE(openScreens(mdi),
            (closes ? QStringList() : QStringList { QStringLiteral("frmAbout"), QStringLiteral("frmTimeEntry") }));
        if (!closes)
            QCOMPARE(hours->text(), QStringLiteral("6"));
    }

    void permissions_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("userType");
        QTest::addColumn<QStringList>("grants");
        QTest::addColumn<bool>("opens");

        permissionRow("WIP entry granted", "mnuWIPEntry", "WIPs Entry/Edit", true);
        permissionRow("WIP entry, other grant", "mnuWIPEntry", "WIPs Navigator", false);
        permissionRow("navigator granted", "mnuWIPsBoard", "WIPs Navigator", true);
        permissionRow("navigator refused", "mnuWIPsBoard", "", false);
        permissionRow("QuickBooks granted", "mnuQBSync", "Quickbooks Sync", true);
        permissionRow("employees granted", "mnuEmployeeEntry", "Employee Entry/Edit", true);
        permissionRow("employees refused", "mnuEmployeeEntry", "Company Info", false);
        permissionRow("equipment granted", "mnuEquipment", "Equipment", true);
        permissionRow("equipment refused", "mnuEquipment", "WIPs Entry/Edit", false);
        permissionRow("statuses need Company Info", "mnuWIPStatusEntry", "Company Info", true);
        permissionRow("statuses refused", "mnuWIPStatusEntry", "Employee Entry/Edit", false);
        permissionRow("setup refused", "CompanyInfo", "WIPs Entry/Edit", false);
        permissionRow("field page for anyone", "mnuFieldPage", "", true);
        for (const char *entry : { "mnuTimeEntry", "mnuTimeNavigator" }) {
            permissionRow(QByteArray(entry) + " with entry/edit only", entry, "Employee Time Entry/Edit", true);
            permissionRow(QByteArray(entry) + " with manager only", entry, "Employee Time Manager", true);
            permissionRow(QByteArray(entry) + " with neither", entry, "Delete Employee Time", false);
        }
        for (const QString &entry : kScreenEntries) {
            QTest::addRow("Admin: %s", qPrintable(entry)) << entry << "Admin" << QStringList {} << true;
            QTest::addRow("admin in lower case: %s", qPrintable(entry)) << entry << "admin" << QStringList {} << false;
        }
    }

    // A refused entry shows message A and makes no screen at all.
    void permissions()
    {
        QFETCH(QString, entry);
        QFETCH(QString, userType);
        QFETCH(QStringList, grants);
        QFETCH(bool, opens);
        JT_FRESH_DB(db);
        testdb::exec(QStringLiteral("INSERT INTO EmployeeType (Name) VALUES ('admin')"));
        LoggedIn w(userType, grants);
        QVERIFY(choose(&w.mdi, entry));
        QCOMPARE(shownMessages(), opens ? QStringList() : QStringList { kRefused });
        QCOMPARE(openScreens(w.mdi), opens ? QStringList { QStringLiteral("screen_") + entry } : QStringList());
        QCOMPARE(w.made, opens ? 1 : 0);
    }

    // Choosing an entry whose screen is open neither reloads it nor opens a
    // second copy. About asks no permission; Reports does nothing at all.
    void screensAreSingleInstance()
    {
        JT_FRESH_DB(db);
        LoggedIn w(QStringLiteral("User"), { QStringLiteral("WIPs Entry/Edit"), QStringLiteral("WIPs Navigator") });
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuWIPEntry")));
        QWidget *first = w.mdi.findScreen(QStringLiteral("screen_mnuWIPEntry"));
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuWIPsBoard")));
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuWIPEntry")));
        QVERIFY(choose(&w.mdi, QStringLiteral("About")));
        QVERIFY(choose(&w.mdi, QStringLiteral("About")));
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuReports")));
        QCOMPARE(w.made, 2);
        QCOMPARE(w.mdi.findScreen(QStringLiteral("screen_mnuWIPEntry")), first);
        QCOMPARE(openScreens(w.mdi),
            (QStringList { QStringLiteral("screen_mnuWIPEntry"), QStringLiteral("screen_mnuWIPsBoard"),
                QStringLiteral("frmAbout") }));
        QCOMPARE(shownMessages(), QStringList());
        // Screens open at the top left of the client area.
        QCOMPARE(first->parentWidget()->pos(), QPoint(0, 0));
    }

    // A database error in the permission check is reported; nothing opens
    // and the window stays usable.
    void permissionCheckFails()
    {
        JT_FRESH_DB(db);
        LoggedIn w(QStringLiteral("User"), { QStringLiteral("WIPs Entry/Edit") });
        data::failNextStatementContaining(QStringLiteral("UserPermission"));
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(shownMessages(), QStringList { QStringLiteral("Database Error: Error 50000: Injected failure") });
        QCOMPARE(openScreens(w.mdi), QStringList());
        QVERIFY(choose(&w.mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(openScreens(w.mdi), QStringList { QStringLiteral("screen_mnuWIPEntry") });
    }

    // A screen whose loading fails, with a database error or any other
    // exception (a library call, a conversion), is reported and not opened;
    // nothing escapes into the event loop and the next try opens it.
    void screenThatFailsToLoadIsNotOpened()
    {
        JT_FRESH_DB(db);
        struct Failing : Screen
        {
            int *failures;
            Failing(AppContext &context, int *left)
                : Screen(context, QStringLiteral("frmFailing"), QStringLiteral("Failing"))
                , failures(left)
            {
            }
            void load() override
            {
                if (*failures == 2) {
                    --*failures;
                    throw data::DbError(QStringLiteral("42"), QStringLiteral("no table"));
                }
                if (*failures == 1) {
                    --*failures;
                    throw std::runtime_error("out of memory in the hash");
                }
            }
        };
        int failures = 2;
        const ScreenRegistry screens { { QStringLiteral("mnuWIPEntry"), {}, QStringLiteral("frmFailing"),
            [&failures](AppContext &context) -> Screen * { return new Failing(context, &failures); } } };
        MDI mdi(testdb::context(), screens);
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(shownMessages(),
            (QStringList { QStringLiteral("Database Error: Error 42: no table"),
                QStringLiteral("Error: The operation failed: out of memory in the hash") }));
        QCOMPARE(openScreens(mdi), QStringList());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(openScreens(mdi), QStringList { QStringLiteral("frmFailing") });
    }

    void logoStaysCentredBelowScreens()
    {
        // No database: the window alone.
        data::Connection db;
        AppContext context(db);
        MDI mdi(context, screenRegistry());
        mdi.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mdi));
        auto *logo = mdi.findChild<QWidget *>(QStringLiteral("frmMDIBackgroundImage"));
        QVERIFY(logo && logo->isVisible());
        QCOMPARE(logo->size(), QSize(371, 96));
        for (const QSize size : { QSize(800, 600), QSize(1200, 900), QSize(640, 480) }) {
            mdi.resize(size);
            const QRect client = mdi.area()->viewport()->rect();
            QTRY_VERIFY((logo->geometry().center() - client.center()).manhattanLength() <= 2);
        }
        mdi.unlockAfterLogin(QStringLiteral("boss"));
        QVERIFY(choose(&mdi, QStringLiteral("About")));
        const QObjectList stack = mdi.area()->viewport()->children();
        QVERIFY(stack.indexOf(logo) < stack.indexOf(mdi.findScreen(QStringLiteral("frmAbout"))->parentWidget()));
        QCOMPARE(mdi.area()->subWindowList().size(), 1);
    }

    void statusBarShowsTimeAndDate()
    {
        const QDateTime fixed(QDate(2011, 3, 30), QTime(12, 56));
        Clock::setNow(fixed);
        // No database: the window alone.
        data::Connection db;
        AppContext context(db);
        MDI mdi(context, screenRegistry());
        auto panel = [&](const char *name) { return mdi.findChild<QLabel *>(QString::fromLatin1(name))->text(); };
        QCOMPARE(panel("StatusBar1Panel1"), QString());
        QCOMPARE(panel("StatusBar1Time"), QLocale().toString(fixed.time(), QLocale::ShortFormat));
        QCOMPARE(panel("StatusBar1Date"), QLocale().toString(fixed.date(), QLocale::ShortFormat));
        Clock::setNow(fixed.addDays(1));
        QTRY_COMPARE(panel("StatusBar1Date"), QLocale().toString(fixed.date().addDays(1), QLocale::ShortFormat));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
