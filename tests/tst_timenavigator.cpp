// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Formats.h"
#include "data/Upgrade.h"
#include "shell/ui/MDI.h"
#include "staff/ui/frmTimeNavigator.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

qint64 addEmployee(const QString &first, const QString &last, bool inactive = false)
{
    return testdb::insertRow("Employee", { { "FirstName", first }, { "LastName", last }, { "Inactive", inactive } });
}

qint64 addBooking(qint64 employee, qint64 wip, const QDateTime &when, double hours)
{
    return testdb::insertRow("EmployeeTime",
        { { "EmployeeID", employee }, { "WIPID", wip }, { "TranDate", when }, { "Hours", hours }, { "Notes", "n" },
            { "EnteredBy", "carol" }, { "EnteredDate", QDateTime(when.date(), QTime(0, 0)) } });
}

} // namespace

class TestTimeNavigator : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QWidget *m_screen = nullptr;
    qint64 m_ann = 0, m_bob = 0;

    void open()
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        QApplication::setActiveWindow(m_mdi.get());
        m_screen = m_mdi->showScreen("frmTimeNavigator");
        QVERIFY(m_screen);
    }
    QComboBox *employees() { return m_screen->findChild<QComboBox *>("cmbEmployee"); }
    GridWidget *grid() { return m_screen->findChild<GridWidget *>("vsfgTime"); }
    void refresh() { QTest::mouseClick(m_screen->findChild<QPushButton *>("btnRefresh"), Qt::LeftButton); }
    // The shown rows below the header: date, WIP, hours (as displayed).
    QStringList rows()
    {
        QStringList lines;
        for (int r = 1; r < grid()->rows(); ++r)
            lines << QStringList { grid()->gridModel()->displayText(r, 1), grid()->textMatrix(r, 2),
                grid()->gridModel()->displayText(r, 3) }
                         .join(" | ");
        return lines;
    }

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        m_bob = addEmployee("Bob", "Young");
        m_ann = TestDb::addEmployee("ann", "pw");
        addEmployee("Old", "Timer", true);
    }
    void cleanup()
    {
        m_mdi.reset();
        m_db.reset();
    }

    // The manager picks among every active employee; anybody else sees only
    // themselves, and still picks before Refresh. A fresh screen shows the
    // header only, over the month up to now.
    void employeesFollowThePermission_data()
    {
        columns<QString, QStringList>({ "grant", "listed" });
        row("manager", "Employee Time Manager", QStringList { "Tester, ann", "Young, Bob" });
        row("entry only", "Employee Time Entry/Edit", QStringList { "Tester, ann" });
    }
    void employeesFollowThePermission()
    {
        QFETCH(QString, grant);
        QFETCH(QStringList, listed);
        TestDb::grant(int(m_ann), grant);
        testdb::logIn(m_ann, "ann", "User");
        open();
        QStringList names;
        for (int i = 0; i < employees()->count(); ++i)
            names << employees()->itemText(i);
        QCOMPARE(names, listed);
        QCOMPARE(employees()->currentIndex(), -1);
        QCOMPARE(grid()->rows(), 1);
        QCOMPARE(grid()->textMatrix(0, 2), "WIP");
        QCOMPARE(m_screen->findChild<QDateTimeEdit *>("dtStart")->dateTime(), kNow.addMonths(-1));
        QCOMPARE(m_screen->findChild<QDateTimeEdit *>("dtEnd")->dateTime(), kNow);
        refresh();
        QCOMPARE(shownMessages(), QStringList { "No Employee Selected: You must select and employee." });
    }

    // Bookings within the bounds, time of day included, oldest first; a
    // deleted job leaves its cell empty; other employees' rows stay out.
    // Activating a line opens that booking in the time entry screen, in front.
    void refreshListsTheRangeInOrder()
    {
        testdb::logIn(1, "admin", "Admin");
        const qint64 hale = testdb::insertRow("WIP", { { "Customer", "Hale" }, { "Status", "Open" } });
        const qint64 gone = testdb::insertRow("WIP", { { "Customer", "Gone" }, { "Status", "Open" } });
        testdb::exec("DELETE FROM WIP WHERE ID = ?", { gone });
        addBooking(m_bob, hale, kNow.addDays(-3), 7.5);
        const qint64 second = addBooking(m_bob, gone, kNow.addDays(-10), 2);
        addBooking(m_bob, hale, kNow.addMonths(-1), 1); // on the first bound
        addBooking(m_bob, hale, kNow.addMonths(-1).addSecs(-1), 9);
        addBooking(m_bob, hale, kNow.addSecs(3600), 9); // later today
        addBooking(m_ann, hale, kNow.addDays(-1), 4);
        open();
        employees()->setCurrentIndex(employees()->findText("Young, Bob"));
        refresh();
        const QString job = QStringLiteral(" | Hale - %1 | ").arg(hale);
        QCOMPARE(rows(),
            (QStringList { Formats::dateTime(kNow.addMonths(-1)) + job + "1.00",
                Formats::dateTime(kNow.addDays(-10)) + " |  | 2.00",
                Formats::dateTime(kNow.addDays(-3)) + job + "7.50" }));
        QCOMPARE(grid()->textMatrix(0, 3), "Hours");
        QVERIFY(grid()->colHidden(0));
        QCOMPARE(grid()->columnWidth(4), grid()->twipsToPixels(5000));

        m_screen->findChild<QDateTimeEdit *>("dtEnd")->setDateTime(kNow.addDays(1));
        refresh();
        QCOMPARE(grid()->rows(), 5);
        QVERIFY(shownMessages().isEmpty());

        QVERIFY(grid()->setRow(2));
        QTest::keyClick(grid(), Qt::Key_Return);
        QWidget *entry = m_mdi->findScreen("frmTimeEntry");
        QVERIFY(entry);
        QCOMPARE(entry->findChild<QLabel *>("lblID")->text(), QString::number(second));
        QCOMPARE(m_mdi->area()->activeSubWindow()->widget(), entry);
    }

    // An older database gets the indexes the time lists read by.
    void upgradeAddsTheTimeIndexes()
    {
        for (const char *index : { "IX_EmployeeTime_WIPID", "IX_EmployeeTime_Employee_TranDate" })
            testdb::execScript(QStringLiteral("DROP INDEX %1").arg(QString::fromLatin1(index)));
        testdb::exec("UPDATE SchemaVersion SET Version = ?", { 2 });
        const data::UpgradeResult result = data::upgradeSchema(testdb::connection());
        // Later steps follow; this one is the first.
        QCOMPARE(result.done.value(0),
            QStringLiteral("version 3: created index IX_EmployeeTime_WIPID, "
                           "created index IX_EmployeeTime_Employee_TranDate"));
    }
};

QTEST_MAIN(TestTimeNavigator)
#include "tst_timenavigator.moc"
