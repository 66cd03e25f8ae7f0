// backends: sqlite postgres odbc
#include "data/Database.h"
#include "shell/Clock.h"
#include "shell/GuiMain.h"
#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

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
    QStringLiteral("mnuWIPStatusEntry"), QStringLiteral("mnuEmployeeEntry") };

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

// Stands in for a screen that a menu entry opens; counts how often one is made.
void wireStandIns(MDI &mdi, int *made)
{
    for (const QString &entry : kScreenEntries) {
        mdi.setEntryScreen(entry, QStringLiteral("screen_") + entry, [entry, made] {
            ++*made;
            auto *screen = new QWidget;
            screen->setObjectName(QStringLiteral("screen_") + entry);
            return screen;
        });
    }
}

QList<QPair<int, QString>> employeeLog()
{
    QList<QPair<int, QString>> rows;
    QSqlQuery q = data::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
    while (q.next())
        rows.append({ q.value(0).toInt(), q.value(1).toString() });
    return rows;
}

bool isMessageA(const Messages::Shown &shown)
{
    return shown.text == u"You do not have permission to view this record." && shown.title == u"Invalid Permission"
        && shown.icon == Messages::Icon::Exclamation && shown.buttons == QMessageBox::Ok;
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

    void cleanup() { SetShutDownHook({}); }

    void menu_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("menu"); // empty: on the menu bar
        QTest::addColumn<bool>("beforeLogin");
        QTest::newRow("File") << "File"
                              << "File"
                              << "" << true;
        QTest::newRow("Setup") << "CompanyInfo"
                               << "Setup"
                               << "File" << false;
        QTest::newRow("Exit") << "Exit"
                              << "Exit"
                              << "File" << true;
        QTest::newRow("WIPs") << "mnuWIPS"
                              << "WIPs"
                              << "" << false;
        QTest::newRow("WIPs Navigator") << "mnuWIPsBoard"
                                        << "WIPs Navigator"
                                        << "mnuWIPS" << false;
        QTest::newRow("WIP Entry/Edit") << "mnuWIPEntry"
                                        << "WIP Entry/Edit"
                                        << "mnuWIPS" << false;
        QTest::newRow("QuickBooks") << "mnuQB"
                                    << "QuickBooks"
                                    << "" << false;
        QTest::newRow("QuickBooks Sync") << "mnuQBSync"
                                         << "QuickBooks Sync"
                                         << "mnuQB" << false;
        QTest::newRow("Employee Time") << "mnuEmployeeTime"
                                       << "Employee Time"
                                       << "" << false;
        QTest::newRow("Time Navigator") << "mnuTimeNavigator"
                                        << "Time Navigator"
                                        << "mnuEmployeeTime" << false;
        QTest::newRow("Time Entry") << "mnuTimeEntry"
                                    << "Time Entry"
                                    << "mnuEmployeeTime" << false;
        QTest::newRow("Administrative") << "mnuAdmin"
                                        << "Administrative"
                                        << "" << false;
        QTest::newRow("WIP Status") << "mnuWIPStatusEntry"
                                    << "WIP Status Entry/Edit"
                                    << "mnuAdmin" << false;
        QTest::newRow("Employees") << "mnuEmployeeEntry"
                                   << "Employee Entry/Edit"
                                   << "mnuAdmin" << false;
        QTest::newRow("Reports") << "mnuReports"
                                 << "Reports"
                                 << "" << false;
        QTest::newRow("Help") << "Help"
                              << "Help"
                              << "" << false;
        QTest::newRow("About") << "About"
                               << "About"
                               << "Help" << false;
    }

    void menu()
    {
        QFETCH(QString, entry);
        QFETCH(QString, caption);
        QFETCH(QString, menu);
        QFETCH(bool, beforeLogin);
        MDI mdi;
        mdi.show();
        mdi.lockForLogin();
        auto *action = mdi.findChild<QAction *>(entry);
        QVERIFY(action);
        QCOMPARE(action->text().remove(u'&'), caption);
        const QList<QAction *> siblings
            = menu.isEmpty() ? mdi.menuBar()->actions() : mdi.findChild<QMenu *>(menu)->actions();
        QVERIFY(siblings.contains(action));
        QCOMPARE(action->isEnabled(), beforeLogin);
        QVERIFY(!mdi.statusBar()->isEnabled());

        mdi.unlockAfterLogin(QStringLiteral("KWhitfield"));
        QVERIFY(action->isEnabled());
        QVERIFY(mdi.statusBar()->isEnabled());
    }

    void menuOrder()
    {
        MDI mdi;
        QStringList top;
        for (QAction *action : mdi.menuBar()->actions())
            top << action->objectName();
        QCOMPARE(top,
            (QStringList { QStringLiteral("File"), QStringLiteral("mnuWIPS"), QStringLiteral("mnuQB"),
                QStringLiteral("mnuEmployeeTime"), QStringLiteral("mnuAdmin"), QStringLiteral("mnuReports"),
                QStringLiteral("Help") }));
        QCOMPARE(mdi.windowTitle(), QStringLiteral("Varnholt of Brackwell"));
        QVERIFY(!mdi.findChild<QAction *>(QStringLiteral("mnuReports"))->menu());
    }

    // The whole road: start-up, login through the screen, then File > Exit
    // or the close box; the logoff is recorded exactly once.
    void startLoginAndLeave_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("File > Exit") << false;
        QTest::newRow("close box") << true;
    }

    void startLoginAndLeave()
    {
        QFETCH(bool, closeBox);
        JT_FRESH_DB(db);
        TestDb::addCompany();
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));

        QPointer<MDI> mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QCOMPARE(openScreens(*mdi), QStringList { QStringLiteral("frmLogin") });
        QVERIFY(!mdi->findChild<QAction *>(QStringLiteral("CompanyInfo"))->isEnabled());
        QVERIFY(!choose(mdi, QStringLiteral("mnuWIPEntry")));

        QWidget *login = mdi->findScreen(QStringLiteral("frmLogin"));
        QTest::keyClicks(login->findChild<QLineEdit *>(QStringLiteral("txtUsername")), QStringLiteral("kwhitfield"));
        QTest::keyClicks(login->findChild<QLineEdit *>(QStringLiteral("txtPassword")), QStringLiteral("Secret 1"));
        QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("btnLogin")), Qt::LeftButton);
        QTRY_COMPARE(openScreens(*mdi), QStringList());
        QCOMPARE(mdi->findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), QStringLiteral("KWhitfield"));
        QVERIFY(choose(mdi, QStringLiteral("About")));

        if (closeBox)
            mdi->close();
        else
            QVERIFY(choose(mdi, QStringLiteral("Exit")));
        QTRY_VERIFY(mdi.isNull());
        QVERIFY(!data::IsOpen());
        QVERIFY(!MainWindow());

        db.reopen();
        QCOMPARE(employeeLog(),
            (QList<QPair<int, QString>> { { id, QStringLiteral("Login") }, { id, QStringLiteral("Logoff") } }));
    }

    void exitBeforeLoginLogsNothing()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        QPointer<MDI> mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QVERIFY(choose(mdi, QStringLiteral("Exit")));
        QTRY_VERIFY(mdi.isNull());
        db.reopen();
        QCOMPARE(employeeLog().size(), 0);
    }

    void permissions_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("userType");
        QTest::addColumn<QStringList>("grants");
        QTest::addColumn<bool>("opens");

        const QString user = QStringLiteral("User");
        QTest::newRow("WIP entry granted") << "mnuWIPEntry" << user << QStringList { "WIPs Entry/Edit" } << true;
        QTest::newRow("WIP entry, other grant") << "mnuWIPEntry" << user << QStringList { "WIPs Navigator" } << false;
        QTest::newRow("navigator granted") << "mnuWIPsBoard" << user << QStringList { "WIPs Navigator" } << true;
        QTest::newRow("navigator refused") << "mnuWIPsBoard" << user << QStringList {} << false;
        QTest::newRow("QuickBooks granted") << "mnuQBSync" << user << QStringList { "Quickbooks Sync" } << true;
        QTest::newRow("employees granted")
            << "mnuEmployeeEntry" << user << QStringList { "Employee Entry/Edit" } << true;
        QTest::newRow("employees refused") << "mnuEmployeeEntry" << user << QStringList { "Company Info" } << false;
        QTest::newRow("statuses need Company Info")
            << "mnuWIPStatusEntry" << user << QStringList { "Company Info" } << true;
        QTest::newRow("statuses refused")
            << "mnuWIPStatusEntry" << user << QStringList { "Employee Entry/Edit" } << false;
        QTest::newRow("setup refused") << "CompanyInfo" << user << QStringList { "WIPs Entry/Edit" } << false;
        for (const char *entry : { "mnuTimeEntry", "mnuTimeNavigator" }) {
            QTest::addRow("%s with entry/edit only", entry)
                << entry << user << QStringList { "Employee Time Entry/Edit" } << true;
            QTest::addRow("%s with manager only", entry)
                << entry << user << QStringList { "Employee Time Manager" } << true;
            QTest::addRow("%s with neither", entry) << entry << user << QStringList { "Delete Employee Time" } << false;
        }
        for (const QString &entry : kScreenEntries) {
            QTest::addRow("Admin: %s", qPrintable(entry)) << entry << "Admin" << QStringList {} << true;
            QTest::addRow("admin in lower case: %s", qPrintable(entry)) << entry << "admin" << QStringList {} << false;
        }
    }

    void permissions()
    {
        QFETCH(QString, entry);
        QFETCH(QString, userType);
        QFETCH(QStringList, grants);
        QFETCH(bool, opens);
        JT_FRESH_DB(db);
        data::exec(QStringLiteral("INSERT INTO EmployeeType (Name) VALUES ('admin')"));
        const int id = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"), userType);
        for (const QString &permission : grants)
            TestDb::grant(id, permission);
        gUserID = static_cast<qint16>(id);
        gUsername = QStringLiteral("kw");
        gUserType = userType;

        MDI mdi;
        int made = 0;
        wireStandIns(mdi, &made);
        mdi.show();
        mdi.unlockAfterLogin(gUsername);
        QVERIFY(choose(&mdi, entry));

        if (opens) {
            QCOMPARE(Messages::shown().size(), 0);
            QCOMPARE(openScreens(mdi), QStringList { QStringLiteral("screen_") + entry });
        } else {
            QCOMPARE(Messages::shown().size(), 1);
            QVERIFY(isMessageA(Messages::shown().first()));
            QCOMPARE(openScreens(mdi), QStringList());
            QCOMPARE(made, 0);
        }
    }

    // Choosing an entry whose screen is open neither reloads it nor opens a
    // second copy, and it is not brought to the front either.
    void screensAreSingleInstance()
    {
        JT_FRESH_DB(db);
        gUserType = QStringLiteral("Admin");
        MDI mdi;
        int made = 0;
        wireStandIns(mdi, &made);
        mdi.show();
        mdi.unlockAfterLogin(QStringLiteral("boss"));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QWidget *first = mdi.findScreen(QStringLiteral("screen_mnuWIPEntry"));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPsBoard")));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QVERIFY(choose(&mdi, QStringLiteral("About")));
        QVERIFY(choose(&mdi, QStringLiteral("About")));
        QCOMPARE(made, 2);
        QCOMPARE(mdi.findScreen(QStringLiteral("screen_mnuWIPEntry")), first);
        QCOMPARE(openScreens(mdi).size(), 3);
        QCOMPARE(openScreens(mdi).count(QStringLiteral("frmAbout")), 1);
        QCOMPARE(Messages::shown().size(), 0);
        // Screens open at the top left of the client area.
        QCOMPARE(first->parentWidget()->pos(), QPoint(0, 0));
    }

    void reportsDoesNothing()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"));
        gUserID = static_cast<qint16>(id);
        gUserType = QStringLiteral("User");
        MDI mdi;
        mdi.show();
        mdi.lockForLogin();
        QVERIFY(!choose(&mdi, QStringLiteral("mnuReports")));
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        QVERIFY(choose(&mdi, QStringLiteral("mnuReports")));
        QCOMPARE(openScreens(mdi), QStringList());
        QCOMPARE(Messages::shown().size(), 0);
    }

    // A database error in the permission check is reported; nothing opens
    // and the window stays usable.
    void permissionCheckFails()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"));
        TestDb::grant(id, QStringLiteral("WIPs Entry/Edit"));
        gUserID = static_cast<qint16>(id);
        gUserType = QStringLiteral("User");
        MDI mdi;
        int made = 0;
        wireStandIns(mdi, &made);
        mdi.show();
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        data::failNextStatementContaining(QStringLiteral("UserPermission"));
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().text.startsWith(QStringLiteral("Error 50000: ")));
        QCOMPARE(openScreens(mdi), QStringList());
        QVERIFY(choose(&mdi, QStringLiteral("mnuWIPEntry")));
        QCOMPARE(openScreens(mdi), QStringList { QStringLiteral("screen_mnuWIPEntry") });
    }

    void logoStaysCentredBelowScreens()
    {
        MDI mdi;
        mdi.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mdi));
        auto *logo = mdi.findChild<QWidget *>(QStringLiteral("frmMDIBackgroundImage"));
        QVERIFY(logo);
        QVERIFY(logo->isVisible());
        QCOMPARE(logo->size(), QSize(371, 96));
        for (const QSize size : { QSize(800, 600), QSize(1200, 900), QSize(640, 480) }) {
            mdi.resize(size);
            const QRect client = mdi.area()->viewport()->rect();
            QTRY_VERIFY((logo->geometry().center() - client.center()).manhattanLength() <= 2);
        }
        gUserType = QStringLiteral("Admin");
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
        MDI mdi;
        QCOMPARE(mdi.findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), QString());
        QCOMPARE(mdi.findChild<QLabel *>(QStringLiteral("StatusBar1Time"))->text(),
            QLocale().toString(fixed.time(), QLocale::ShortFormat));
        QCOMPARE(mdi.findChild<QLabel *>(QStringLiteral("StatusBar1Date"))->text(),
            QLocale().toString(fixed.date(), QLocale::ShortFormat));
        Clock::setNow(fixed.addDays(1));
        QTRY_COMPARE(mdi.findChild<QLabel *>(QStringLiteral("StatusBar1Date"))->text(),
            QLocale().toString(fixed.date().addDays(1), QLocale::ShortFormat));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
