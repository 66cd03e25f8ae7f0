// backends: sqlite postgres odbc
#include "base/Clock.h"
#include "base/Colors.h"
#include "board/BoardLines.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "data/Database.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "wip/WipRecord.h"
#include "wip/ui/frmWIPEntry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <limits>
#include <memory>

namespace {

constexpr int kNone = std::numeric_limits<int>::min();

QDateTime daysAgo(int days)
{
    return days == kNone ? QDateTime() : QDateTime(Clock::today().addDays(-days), QTime(0, 0));
}

// The job's history as stored, oldest first: "who|field|was|now".
QStringList history(data::Connection &db, qint64 id)
{
    data::Rows rows = db.exec(
        QStringLiteral("SELECT ChangedBy, Field, Was, Now FROM WIPHistory WHERE WIPID = ? ORDER BY ID"), { id });
    QStringList lines;
    while (rows.next())
        lines << QStringList { rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
            rows.value(3).toString() }
                     .join(u'|');
    return lines;
}

// The board's lines as "ID|days in status|alert".
QStringList boardLines(const board::Filter &filter)
{
    board::BoardReader reader(testdb::connection(), filter, Clock::today(), 7);
    board::BoardLine line;
    QStringList lines;
    while (reader.next(line)) {
        const QStringList cells = line.text.split(u'\t');
        lines << QStringLiteral("%1|%2|%3")
                     .arg(cells.at(board::ColId), cells.at(board::ColDaysInStatus))
                     .arg(line.statusAlert);
    }
    return lines;
}

// Smith's job, started 20 days ago, saved through the core by the user.
qint64 saveJob(const QString &jobType, const QString &status, const QStringList &contractors)
{
    wip::WipRecord record;
    record.customer = QStringLiteral("Smith");
    record.jobType = jobType;
    record.status = status;
    record.startDate = record.itelDate = record.adjusterUpdatedDate = Clock::today().addDays(-20);
    return wip::saveWip(testdb::connection(), record, contractors, testdb::context().stamp());
}

void click(QWidget *screen, const char *button)
{
    QTest::mouseClick(findControl<QPushButton>(screen, button), Qt::LeftButton);
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(QDateTime(QDate::currentDate(), QTime(10, 0)));
        testdb::logIn(1, "admin", "Admin");
    }
    void cleanup() { m_db.reset(); }

    // Saves through the entry screen are kept with the user's name, each
    // changed field once (the subcontractor added alone, not the list); a
    // save that changes nothing adds nothing. The History tab is read when
    // it is shown, newest first, with the screen's captions.
    void entryScreenSavesAreKept()
    {
        const qint64 id = saveJob(QStringLiteral("Water"), QStringLiteral("Open"), { QStringLiteral("Acme") });

        frmWIPEntry screen(testdb::context());
        QVERIFY(screen.open());
        screen.show();
        screen.LoadWIP(QString::number(id));
        auto *grid = findControl<GridWidget>(&screen, "vsfgHistory");
        QCOMPARE(grid->rows(), 0);
        auto *status = findControl<QComboBox>(&screen, "cmbStatus");
        status->setCurrentIndex(status->findText(QStringLiteral("Drying")));
        findControl<QCheckBox>(&screen, "chkBilled")->setChecked(true);
        findControl<QComboBox>(&screen, "cmbSubcontractor")->setEditText(QStringLiteral("Baker"));
        click(&screen, "btnAddSubcontractor");
        click(&screen, "btnSave");
        QCOMPARE(shownMessages(), QStringList());
        const QStringList saved = history(testdb::connection(), id);
        click(&screen, "btnSave");
        QCOMPARE(history(testdb::connection(), id), saved);

        findControl<QTabWidget>(&screen, "SSTab1")->setCurrentWidget(findControl<QWidget>(&screen, "tabHistory"));
        QStringList shown;
        for (int row = 0; row < grid->rows(); ++row) {
            QStringList cells;
            for (int col = 1; col < 5; ++col)
                cells << grid->textMatrix(row, col);
            shown << cells.join(u'|');
            QVERIFY(row == 0 || !grid->textMatrix(row, 0).isEmpty());
        }
        // The fields of one save come in no particular order among themselves.
        std::sort(shown.begin() + 2, shown.begin() + 4);
        QCOMPARE(shown,
            (QStringList { "Who|Field|Was|Now", "admin|Subcontractor||Baker", "admin|Billed|No|Yes",
                "admin|Status|Open|Drying", "admin|Subcontractor||Acme", "admin|Job||Created" }));
        QCOMPARE(grid->textMatrix(0, 0), QStringLiteral("When"));
    }

    // Plain SQL from another program is kept too, named by its database
    // login: dates, flags and numbers as the screen shows them, the stamps
    // left out, subcontractors added and removed, the job deleted.
    void outsideWritesAreKept()
    {
        data::Connection other;
        other.open(m_db->connectionString(), m_db->folder());
        const QString login = other.dialect().kind() == data::DbKind::SQLite
            ? QString()
            : other.scalar(QStringLiteral("SELECT session_user")).toString() + u' ';
        const QString who = login
            + (login.isEmpty() ? QStringLiteral("outside the program") : QStringLiteral("(outside the program)"));
        const qint64 id = other.insertRow(QStringLiteral("WIP"),
            { { "Customer", "Smith" }, { "Status", "Open" }, { "StartDate", QDateTime(QDate(2026, 3, 1), QTime(0, 0)) },
                { "Billed", false }, { "AmountBilled", 0.0 }, { "Rugs", 2.5 } });
        other.exec(QStringLiteral("UPDATE WIP SET Status = ?, StartDate = ?, Billed = ?, AmountBilled = ?, Rugs = ?, "
                                  "EditedBy = ?, EditedDate = ? WHERE ID = ?"),
            { "Closed", QDateTime(QDate(2026, 3, 12), QTime(0, 0)), true, 1234.5, 3.0, "script", Clock::now(), id });
        other.exec(QStringLiteral("UPDATE WIP SET EditedBy = ? WHERE ID = ?"), { "again", id });
        other.exec(QStringLiteral("INSERT INTO WIPContractors (WIPID, Contractor) VALUES (?, ?)"), { id, "Acme" });
        other.exec(QStringLiteral("DELETE FROM WIPContractors WHERE WIPID = ?"), { id });
        other.exec(QStringLiteral("DELETE FROM WIP WHERE ID = ?"), { id });
        QStringList expected;
        for (const char *line :
            { "Job||Created", "Status|Open|Closed", "StartDate|03/01/2026|03/12/2026", "Rugs|2.5|3", "Billed|No|Yes",
                "AmountBilled|0|1234.5", "Contractor||Acme", "Contractor|Acme|", "Job|Smith|Deleted" })
            expected << who + u'|' + QLatin1String(line);
        // The fields of one statement come in no particular order.
        QStringList kept = history(testdb::connection(), id);
        std::sort(kept.begin() + 1, kept.begin() + 6);
        std::sort(expected.begin() + 1, expected.begin() + 6);
        QCOMPARE(kept, expected);
    }

    // Days in the status count from its last change, else from the start
    // date, else from the entry; past the status's alert the line alerts,
    // and the stalled filter lists it (and no job of a status without one).
    void daysInStatus_data()
    {
        columns<int, int, int, int, QString, bool>({ "start", "entered", "changed", "alert", "shown", "stalled" });
        row("from the start date", 12, 30, kNone, 10, QStringLiteral("12"), true);
        row("at the alert", 10, 30, kNone, 10, QStringLiteral("10"), false);
        row("from the status change", 40, 40, 3, 10, QStringLiteral("3"), false);
        row("changed long ago", 2, 2, 11, 10, QStringLiteral("11"), true);
        row("no start date", kNone, 15, kNone, 10, QStringLiteral("15"), true);
        row("status without alert", 40, 40, kNone, kNone, QStringLiteral("40"), false);
        row("starts later", -5, 1, kNone, 0, QStringLiteral("0"), false);
        row("nothing to count from", kNone, kNone, kNone, 0, QString(), false);
    }
    void daysInStatus()
    {
        QFETCH(int, start);
        QFETCH(int, entered);
        QFETCH(int, changed);
        QFETCH(int, alert);
        QFETCH(QString, shown);
        QFETCH(bool, stalled);
        testdb::exec(QStringLiteral("UPDATE WIPStatus SET AlertDays = ? WHERE Name = 'Waiting On Adjuster'"),
            { alert == kNone ? QVariant(QMetaType(QMetaType::Int)) : QVariant(alert) });
        auto date = [](int days) {
            const QDateTime when = daysAgo(days);
            return when.isValid() ? QVariant(when) : QVariant(QMetaType(QMetaType::QDateTime));
        };
        const qint64 id = testdb::insertRow(QStringLiteral("WIP"),
            { { "Customer", "Abbott" }, { "JobType", "Water" }, { "Status", "Waiting On Adjuster" },
                { "StartDate", date(start) }, { "EnteredDate", date(entered) } });
        if (changed != kNone)
            testdb::exec(QStringLiteral("UPDATE WIP SET StatusSince = ? WHERE ID = ?"), { daysAgo(changed), id });
        const qint64 calm = testdb::insertRow(QStringLiteral("WIP"),
            { { "Customer", "Zed" }, { "JobType", "Water" }, { "Status", "Open" }, { "StartDate", daysAgo(400) } });
        const QString line = QStringLiteral("%1|%2|%3").arg(id).arg(shown).arg(stalled);
        QCOMPARE(boardLines({}), (QStringList { line, QStringLiteral("%1|400|0").arg(calm) }));
        board::Filter filter;
        filter.stalledOnly = true;
        filter.today = Clock::today();
        QCOMPARE(boardLines(filter), stalled ? QStringList { line } : QStringList());
    }

    // On the board: a job long in a status with an alert is listed by
    // "Stalled only", its days bold on red; its status changed, it counts
    // from the change and is stalled no more.
    void boardAcrossAStatusChange()
    {
        const qint64 id = saveJob(QStringLiteral("Fire"), QStringLiteral("Estimate"), {});

        frmWIPNavigator screen(testdb::context());
        QVERIFY(screen.open());
        screen.show();
        auto *grid = findControl<GridWidget>(&screen, "vsfgWIP");
        findControl<QCheckBox>(&screen, "chkStalled")->setChecked(true);
        click(&screen, "btnRefresh");
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->textMatrix(0, board::ColDaysInStatus), QStringLiteral("Days in Status"));
        QCOMPARE(grid->textMatrix(1, board::ColDaysInStatus), QStringLiteral("20"));
        QVERIFY(grid->cellFontBold(1, board::ColDaysInStatus));
        QCOMPARE(grid->cellBackColor(1, board::ColDaysInStatus), Colors::kRed);

        std::optional<wip::WipRecord> loaded = wip::loadWip(testdb::connection(), id);
        QVERIFY(loaded);
        loaded->status = QStringLiteral("Drying");
        wip::saveWip(testdb::connection(), *loaded, {}, testdb::context().stamp(), QStringList());
        click(&screen, "btnRefresh");
        QCOMPARE(grid->rows(), 1);
        findControl<QCheckBox>(&screen, "chkStalled")->setChecked(false);
        click(&screen, "btnRefresh");
        QCOMPARE(grid->textMatrix(1, board::ColDaysInStatus), QStringLiteral("0"));
        QVERIFY(!grid->cellFontBold(1, board::ColDaysInStatus));
        QCOMPARE(
            history(testdb::connection(), id), (QStringList { "admin|Job||Created", "admin|Status|Estimate|Drying" }));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
