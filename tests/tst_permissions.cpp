// backends: sqlite
#include "app/Screens.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "photos/ui/PhotoPanel.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "staff/ui/frmTimeEntry.h"
#include "support/JetFile.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "wip/CustomerFile.h"
#include "wip/ui/frmWIPEntry.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kRefused = QStringLiteral("Invalid Permission: You do not have permission to view this record. (!)");
const QString kReadOnly
    = QStringLiteral("Invalid Permission: Read only: you do not have permission to change this record. (!)");
const QString kNotSaved = QStringLiteral("Invalid Permission: You do not have permission to change this record. (!)");
const QString kLoggedOff = QStringLiteral(
    "Logged Off: Your login is no longer valid: your account has been made inactive or removed. Every screen "
    "closes without saving; log in again to go on. (!)");

QStringList openScreens(const MDI &mdi)
{
    QStringList names;
    for (QMdiSubWindow *sub : mdi.area()->subWindowList())
        names << sub->widget()->objectName();
    return names;
}

// Makes the grid's row with this text in `column` the current one.
void pickRow(GridWidget *grid, int column, const QString &text)
{
    for (int r = grid->fixedRows(); r < grid->rows(); ++r) {
        if (grid->textMatrix(r, column) == text)
            grid->setRow(r);
    }
}

} // namespace

class TestPermissions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        wip::setCustomerReaderPath(QStringLiteral(JT_CUSTOMER_READER_PATH));
        const QString problem = jetfile::writeChecked(m_dir.filePath(QStringLiteral("customers.mdb")),
            { jetfile::customerTable({ { 1, "John", "Smith", "", "12 Elm St", "Springfield", "IL", "62701", "" } }) },
            { 1, QStringLiteral("KVZ") });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Every way a screen opens asks that screen's permission, whatever the
    // screen that opens it: the screen the way starts from is opened by an
    // Admin, then the user below takes over the window. A job opened from
    // the board and a booking opened from a time list (the labour tab's and
    // the time manager's are one) open for a user without their permission
    // read-only: Save and New disabled, a line saying why, and a save that
    // comes through anyway refused.
    void everyWayAsksThePermission_data()
    {
        columns<QString, QStringList, QString, bool, bool, bool>(
            { "way", "held", "target", "refused", "opens", "readOnly" });
        const QString entry = QStringLiteral("WIPs Entry/Edit"), board = QStringLiteral("WIPs Navigator");
        const QString time = QStringLiteral("Employee Time Entry/Edit"),
                      manager = QStringLiteral("Employee Time Manager");
        const auto add = [](const char *tag, const char *way, const QStringList &held, const char *target, bool refused,
                             bool opens, bool readOnly = false) {
            row(tag, QString::fromLatin1(way), held, QString::fromLatin1(target), refused, opens, readOnly);
        };
        add("menu", "menu", { entry }, "frmWIPEntry", false, true);
        add("menu refused", "menu", { board }, "frmWIPEntry", true, false);
        add("board double-click", "board double-click", { board, entry }, "frmWIPEntry", false, true);
        add("board double-click, read-only", "board double-click", { board }, "frmWIPEntry", false, true, true);
        add("board context menu", "board context menu", { board, entry }, "frmDryingLog", false, true);
        add("board context menu refused", "board context menu", { board }, "frmDryingLog", true, false);
        add("board print", "board print", { board }, "Viewer", false, true);
        add("board print refused", "board print", { entry }, "Viewer", true, false);
        add("labour tab, manager", "labour tab", { entry, manager }, "frmTimeEntry", false, true);
        // Anyone who books time sees and books every employee's hours.
        add("labour tab, time entry", "labour tab", { entry, time }, "frmTimeEntry", false, true);
        add("labour tab, read-only", "labour tab", { entry }, "frmTimeEntry", false, true, true);
        add("drying log button", "drying log button", { entry }, "frmDryingLog", false, true);
        add("drying log button refused", "drying log button", {}, "frmDryingLog", true, false);
        add("import button", "import button", { entry }, "frmImport", false, true);
        add("import button refused", "import button", {}, "frmImport", true, false);
        add("work order", "work order", { entry }, "Viewer", false, true);
        add("work order refused", "work order", { board }, "Viewer", true, false);
    }
    void everyWayAsksThePermission()
    {
        QFETCH(QString, way);
        QFETCH(QStringList, held);
        QFETCH(QString, target);
        QFETCH(bool, refused);
        QFETCH(bool, opens);
        QFETCH(bool, readOnly);
        JT_FRESH_DB(db);
        TestDb::addCompany();
        AppContext &context = testdb::context();
        context.config.folder = m_dir.path();
        context.config.customerDatabasePath = QStringLiteral("customers.mdb");
        const int admin = TestDb::addEmployee(QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("Admin"));
        const int other = TestDb::addEmployee(QStringLiteral("pat"), QStringLiteral("pw"));
        const int user = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"));
        for (const QString &permission : held)
            TestDb::grant(user, permission);
        const qint64 wip = testdb::insertRow("WIP",
            { { "Customer", "Pat Lee" }, { "JobType", "Water" }, { "Status", "Drying" },
                { "StartDate", QDateTime(QDate(2026, 3, 1), QTime(0, 0)) }, { "AmountBilled", 0.0 },
                { "InvoiceID", "" }, { "QBID", "" } });
        const qint64 booking = testdb::insertRow("EmployeeTime",
            { { "EmployeeID", other }, { "WIPID", wip }, { "TranDate", QDateTime(QDate(2026, 3, 2), QTime(8, 0)) },
                { "Hours", 4.0 } });

        MDI mdi(context, screenRegistry());
        mdi.show();
        testdb::logIn(admin, QStringLiteral("boss"), QStringLiteral("Admin"));
        mdi.unlockAfterLogin(QStringLiteral("boss"));
        frmWIPNavigator *navigator = nullptr;
        frmWIPEntry *jobScreen = nullptr;
        if (way.startsWith(u"board")) {
            navigator = qobject_cast<frmWIPNavigator *>(mdi.showScreen(QStringLiteral("frmWIPNavigator")));
            QVERIFY(navigator);
            navigator->LoadWIPs();
            pickRow(findControl<GridWidget>(navigator, "vsfgWIP"), board::ColId, QString::number(wip));
        } else if (way != u"menu") {
            jobScreen = qobject_cast<frmWIPEntry *>(mdi.showScreen(QStringLiteral("frmWIPEntry")));
            QVERIFY(jobScreen);
            jobScreen->LoadWIP(QString::number(wip));
            pickRow(findControl<GridWidget>(jobScreen, "vsfgTime"), 0, QString::number(booking));
        }
        testdb::logIn(user, QStringLiteral("kw"), QStringLiteral("User"));
        Messages::clearShown();

        if (way == u"menu")
            mdi.findChild<QAction *>(QStringLiteral("mnuWIPEntry"))->trigger();
        else if (way == u"board double-click")
            emit findControl<GridWidget>(navigator, "vsfgWIP")->rowActivated();
        else if (way == u"board context menu")
            findControl<QAction>(navigator, "mnuDryingLog")->trigger();
        else if (way == u"board print")
            findControl<QPushButton>(navigator, "btnPrint")->click();
        else if (way == u"labour tab")
            emit findControl<GridWidget>(jobScreen, "vsfgTime")->rowActivated();
        else if (way == u"drying log button")
            findControl<QPushButton>(jobScreen, "btnDryingLog")->click();
        else if (way == u"import button")
            findControl<QPushButton>(jobScreen, "btnImport")->click();
        else
            findControl<QPushButton>(jobScreen, "btnPrint")->click();

        QCOMPARE(shownMessages(), refused ? QStringList { kRefused } : QStringList());
        QCOMPARE(openScreens(mdi).contains(target), opens);
        if (auto *time = qobject_cast<frmTimeEntry *>(mdi.findScreen(QStringLiteral("frmTimeEntry"))))
            QCOMPARE(time->record().id, refused ? 0 : booking);
        if (QWidget *screen = mdi.findScreen(target);
            screen && (target == u"frmWIPEntry" || target == u"frmTimeEntry")) {
            QCOMPARE(screen->findChild<QLabel *>(QStringLiteral("lblReadOnly")) != nullptr, readOnly);
            auto *save = findControl<QPushButton>(screen, "btnSave");
            QCOMPARE(save->isEnabled(), !readOnly);
            if (QPushButton *fresh = screen->findChild<QPushButton *>(QStringLiteral("btnNew")))
                QCOMPARE(fresh->isEnabled(), !readOnly);
            if (readOnly) {
                // A save that reaches the screen all the same writes nothing.
                Messages::clearShown();
                save->setEnabled(true);
                save->click();
                QCOMPARE(shownMessages(), QStringList { kReadOnly });
                QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP WHERE EditedBy IS NOT NULL")).toInt()
                        + testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime WHERE EditedBy IS NOT NULL"))
                              .toInt(),
                    0);
            }
        }
        // A refused import gives the entry screen its input back.
        if (jobScreen)
            QCOMPARE(jobScreen->isEnabled(), way != u"import button" || refused);
    }

    // Rights are read as they stand at each check: an Admin made a plain
    // user by another is refused the next screen, the next save and the next
    // backup; one made
    // inactive, or whose row is gone, is told so and returned to the login,
    // every screen closed.
    void rightsAsTheyStand_data()
    {
        columns<QString, QString, QStringList>({ "change", "act", "messages" });
        row("demoted, opens", "demoted", "open", QStringList { kRefused });
        row("demoted, saves", "demoted", "save", QStringList { kNotSaved });
        row("made inactive, opens", "inactive", "open", QStringList { kLoggedOff });
        row("made inactive, saves", "inactive", "save", QStringList { kLoggedOff });
        row("row gone, saves", "gone", "save", QStringList { kLoggedOff });
        row("login blanked, opens", "no username", "open", QStringList { kLoggedOff });
        row("demoted, adds a photo", "demoted", "photo", QStringList { kNotSaved });
        // Backing up is for administrators, asked at the same gate.
        row("demoted, backs up", "demoted", "backup",
            QStringList {
                QStringLiteral("Invalid Permission: Only an administrator can back up the job database. (!)") });
        row("made inactive, backs up", "inactive", "backup", QStringList { kLoggedOff });
    }
    void rightsAsTheyStand()
    {
        QFETCH(QString, change);
        QFETCH(QString, act);
        QFETCH(QStringList, messages);
        JT_FRESH_DB(db);
        AppContext &context = testdb::context();
        const int boss = TestDb::addEmployee(QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("Admin"));
        TestDb::addEmployee(QStringLiteral("second"), QStringLiteral("pw"), QStringLiteral("Admin"));
        MDI mdi(context, screenRegistry());
        mdi.show();
        testdb::logIn(boss, QStringLiteral("boss"), QStringLiteral("Admin"));
        mdi.unlockAfterLogin(QStringLiteral("boss"));
        // The photos are written by a panel of the job's screen, not its Save.
        const QString screen = act == u"photo" ? QStringLiteral("frmWIPEntry") : QStringLiteral("frmEmployeeEntry");
        auto *opened = mdi.showScreen(screen);
        QVERIFY(opened);
        const qint64 job = testdb::insertRow("WIP", { { "Customer", "Smith" } });
        if (act == u"photo")
            qobject_cast<frmWIPEntry *>(opened)->LoadWIP(QString::number(job));
        Messages::clearShown();

        if (change == u"demoted")
            testdb::exec(QStringLiteral("UPDATE Employee SET UserTypeID = (SELECT ID FROM EmployeeType WHERE Name = ?)"
                                        " WHERE ID = ?"),
                { QStringLiteral("User"), boss });
        else if (change == u"inactive")
            testdb::exec(QStringLiteral("UPDATE Employee SET Inactive = ? WHERE ID = ?"), { true, boss });
        else if (change == u"gone")
            testdb::exec(QStringLiteral("DELETE FROM Employee WHERE ID = ?"), { boss });
        else
            testdb::exec(QStringLiteral("UPDATE Employee SET Username = ? WHERE ID = ?"), { QString(), boss });

        if (act == u"open")
            mdi.findChild<QAction *>(QStringLiteral("mnuWIPEntry"))->trigger();
        else if (act == u"backup")
            mdi.findChild<QAction *>(QStringLiteral("mnuBackUpNow"))->trigger();
        else if (act == u"photo")
            opened->findChild<PhotoPanel *>()->addFiles({ QStringLiteral("site.png") });
        else
            findControl<QPushButton>(opened, "btnSave")->click();
        QCOMPARE(shownMessages(), messages);
        QCOMPARE(Messages::dialogs(), QStringList()); // no file asked for a backup
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM JobFile")).toInt(), 0);
        if (act == u"open")
            QVERIFY(!mdi.findScreen(QStringLiteral("frmWIPEntry")));
        const bool loggedOff = messages == QStringList { kLoggedOff };
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(openScreens(mdi), loggedOff ? QStringList { QStringLiteral("frmLogin") } : QStringList { screen });
        QCOMPARE(context.isLoggedIn(), !loggedOff);
        QCOMPARE(mdi.findChild<QAction *>(QStringLiteral("mnuWIPEntry"))->isEnabled(), !loggedOff);
    }

    // The company setup opened before any login (no company row yet) stays
    // at login only for a user who may change the company's settings.
    void firstSetupClosesAtLogin_data()
    {
        columns<bool>({ "companyInfo" }); // held, so the setup stays
        row("without Company Info", false);
        row("with Company Info", true);
    }
    void firstSetupClosesAtLogin()
    {
        QFETCH(bool, companyInfo);
        JT_FRESH_DB(db);
        const int user = TestDb::addEmployee(QStringLiteral("kw"), QStringLiteral("pw"));
        if (companyInfo)
            TestDb::grant(user, QStringLiteral("Company Info"));
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.lockForLogin();
        QVERIFY(mdi.openFirstSetup());
        testdb::logIn(user, QStringLiteral("kw"), QStringLiteral("User"));
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(openScreens(mdi).contains(QStringLiteral("frmCompanyInfo")), companyInfo);
    }
};

QTEST_MAIN(TestPermissions)
#include "tst_permissions.moc"
