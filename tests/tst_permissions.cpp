// backends: sqlite
#include "app/Screens.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
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
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kRefused = QStringLiteral("Invalid Permission: You do not have permission to view this record. (!)");

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
    // Admin, then the user below takes over the window.
    void everyWayAsksThePermission_data()
    {
        columns<QString, QStringList, QString, bool, bool>({ "way", "held", "target", "refused", "opens" });
        const QString entry = QStringLiteral("WIPs Entry/Edit"), board = QStringLiteral("WIPs Navigator");
        const QString time = QStringLiteral("Employee Time Entry/Edit"),
                      manager = QStringLiteral("Employee Time Manager");
        const auto add = [](const char *tag, const char *way, const QStringList &held, const char *target, bool refused,
                             bool opens) {
            row(tag, QString::fromLatin1(way), held, QString::fromLatin1(target), refused, opens);
        };
        add("menu", "menu", { entry }, "frmWIPEntry", false, true);
        add("menu refused", "menu", { board }, "frmWIPEntry", true, false);
        add("board double-click", "board double-click", { board, entry }, "frmWIPEntry", false, true);
        add("board double-click refused", "board double-click", { board }, "frmWIPEntry", true, false);
        add("board context menu", "board context menu", { board, entry }, "frmDryingLog", false, true);
        add("board context menu refused", "board context menu", { board }, "frmDryingLog", true, false);
        add("board print", "board print", { board }, "Viewer", false, true);
        add("board print refused", "board print", { entry }, "Viewer", true, false);
        add("labour tab, manager", "labour tab", { entry, manager }, "frmTimeEntry", false, true);
        // Opens, but another employee's booking is not shown.
        add("labour tab, own hours only", "labour tab", { entry, time }, "frmTimeEntry", true, true);
        add("labour tab refused", "labour tab", { entry }, "frmTimeEntry", true, false);
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
        // A refused import gives the entry screen its input back.
        if (jobScreen)
            QCOMPARE(jobScreen->isEnabled(), way != u"import button" || refused);
    }
};

QTEST_MAIN(TestPermissions)
#include "tst_permissions.moc"
