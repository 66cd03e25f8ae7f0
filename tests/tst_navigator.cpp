// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Colors.h"
#include "base/Formats.h"
#include "board/BoardCsv.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "data/BulkLoad.h"
#include "data/Database.h"
#include "drying/DryingLog.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));
constexpr int kLimit = 7;
constexpr quint32 kFire = 0xC0C0FF;
constexpr quint32 kNormal = Colors::kWindowBackground;

QDateTime daysAgo(int days)
{
    return QDateTime(kNow.date().addDays(-days), QTime(0, 0));
}

// A WIP row with the required fields; `fields` adds or overrides columns.
qint64 addWip(const QString &customer, data::Fields fields = {})
{
    const data::Fields defaults { { "Customer", customer }, { "JobType", "Water" }, { "Status", "Open" },
        { "StartDate", daysAgo(1) }, { "AmountBilled", 0.0 }, { "InvoiceID", "" }, { "QBID", "" } };
    for (const auto &field : defaults) {
        if (std::none_of(fields.begin(), fields.end(), [&](const auto &f) { return f.first == field.first; }))
            fields << field;
    }
    return testdb::insertRow("WIP", fields);
}

} // namespace

class TestNavigator : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<frmWIPNavigator> m_screen;

    frmWIPNavigator *open()
    {
        m_screen = std::make_unique<frmWIPNavigator>(testdb::context());
        if (!m_screen->open())
            qFatal("the navigator did not open");
        m_screen->show();
        return m_screen.get();
    }
    template <typename T = QWidget> T *child(const char *name) const { return findControl<T>(m_screen.get(), name); }
    GridWidget *grid() const { return child<GridWidget>("vsfgWIP"); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void refresh(bool activeOnly = false)
    {
        child<QCheckBox>("chkActive")->setChecked(activeOnly);
        click("btnRefresh");
    }
    QStringList column(int col) const
    {
        QStringList texts;
        for (int row = 1; row < grid()->rows(); ++row)
            texts << grid()->textMatrix(row, col);
        return texts;
    }
    // The grid row of a job.
    int rowOf(qint64 id) const { return int(column(board::ColId).indexOf(QString::number(id))) + 1; }
    void tick() { QMetaObject::invokeMethod(m_screen.get(), "tmrDryingDays_Timer"); }

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        testdb::setDryingDays(kLimit);
    }
    void cleanup()
    {
        m_screen.reset();
        m_db.reset();
    }

    // Lists filled, the board empty until the first Refresh (ticks change
    // nothing); the controls make the board's filter; Clear puts them back
    // and leaves the board as it is until the next Refresh.
    void filtersAndClear()
    {
        const qint64 closed = addWip("Abbott", { { "Status", "Closed" } });
        const qint64 fire = addWip("Abbott", { { "JobType", "Fire" }, { "StartDate", daysAgo(3) } });
        const qint64 brien = addWip("O'Brien", { { "StartDate", daysAgo(20) } });
        const qint64 none = addWip("Cole", { { "Status", QVariant() } });
        open();
        auto *type = child<QComboBox>("cmbType");
        QCOMPARE(type->count(), 6);
        QCOMPARE(type->itemText(0), QStringLiteral("Fire"));
        QCOMPARE(child<QComboBox>("cmbStatus")->itemText(0), QStringLiteral("Closed"));
        QCOMPARE(child<QTimer>("tmrDryingDays")->interval(), 1000);
        QVERIFY(child<QTimer>("tmrDryingDays")->isActive());
        tick();
        QCOMPARE(grid()->rows(), 0);

        refresh(false);
        auto ids = [](std::initializer_list<qint64> list) {
            QStringList texts;
            for (const qint64 id : list)
                texts << QString::number(id);
            return texts;
        };
        QCOMPARE(column(board::ColId), ids({ fire, closed, none, brien }));
        type->setCurrentText("Water");
        child<QComboBox>("cmbStatus")->setCurrentText("Open");
        child<QLineEdit>("txtSearch")->setText("o'b");
        child<QCheckBox>("chkDate")->setChecked(true);
        child<QDateEdit>("dtStart")->setDate(kNow.date().addDays(-30));
        refresh(true);
        QCOMPARE(column(board::ColId), ids({ brien }));

        click("btnClear");
        QCOMPARE(column(board::ColId), ids({ brien }));
        const board::Filter cleared = m_screen->filter();
        QVERIFY(cleared.jobType.isEmpty() && cleared.status.isEmpty() && cleared.search.isEmpty());
        QVERIFY(!cleared.useDates && cleared.activeOnly);
        QCOMPARE(cleared.startFrom, kNow.date());
        QCOMPARE(cleared.startTo, kNow.date());
        click("btnRefresh");
        QCOMPARE(column(board::ColId), ids({ fire, brien }));
    }

    // Row colour by job type, then the status colour over it; a status
    // without a row or without a colour shows the window background.
    void colours_data()
    {
        columns<QString, QString, quint32, quint32>({ "type", "status", "row", "statusCell" });
        row("fire", "Fire", "Open", kFire, quint32(16777215));
        row("water", "Water", "Waiting On Adjuster", quint32(0xFFFFC0), quint32(0xC0C0FF));
        row("work order", "Work Order", "Drying", quint32(0xC0FFFF), quint32(8454143));
        row("other type", "Mold", "Open", kNormal, quint32(16777215));
        row("lower-case type", "fire", "Open", kNormal, quint32(16777215));
        row("status without a row", "Fire", "Archived", kFire, kNormal);
        row("status without a colour", "Fire", "Blank", kFire, kNormal);
    }
    void colours()
    {
        QFETCH(QString, type);
        QFETCH(QString, status);
        testdb::insertRow("WIPStatus", { { "Name", "Blank" }, { "ColorCode", QVariant() } });
        addWip("Hue", { { "JobType", type }, { "Status", status } });
        open();
        refresh();
        QCOMPARE(grid()->rows(), 2);
        QTEST(grid()->cellBackColor(1, board::ColCustomer), "row");
        QTEST(grid()->cellBackColor(1, board::ColFlash), "row");
        QTEST(grid()->cellBackColor(1, board::ColStatus), "statusCell");
    }

    // A "Drying" job watched for exactly the limit does not alert; one day
    // more does, and its cell blinks between red and the row's own colour,
    // also after a sort. No start date: no count, no alert.
    void dryingAlert_data()
    {
        columns<QString, QVariant, bool, QString, bool, quint32>(
            { "type", "start", "watched", "days", "alert", "rowColour" });
        row("exactly the limit", "Fire", QVariant(daysAgo(kLimit)), true, "7", false, kFire);
        row("fire, a day more", "Fire", QVariant(daysAgo(kLimit + 1)), true, "8", true, kFire);
        row("other type, a day more", "Mold", QVariant(daysAgo(kLimit + 1)), true, "8", true, kNormal);
        row("not watched", "Fire", QVariant(daysAgo(30)), false, "", false, kFire);
        row("watched, no start date", "Fire", QVariant(), true, "", false, kFire);
    }
    void dryingAlert()
    {
        QFETCH(QString, type);
        QFETCH(QVariant, start);
        QFETCH(bool, watched);
        QFETCH(bool, alert);
        QFETCH(quint32, rowColour);
        const qint64 id = addWip("Dry",
            { { "JobType", type }, { "Status", "Drying" }, { "StartDate", start }, { "CheckDryingDays", watched } });
        const qint64 calm = addWip("Calm", { { "JobType", type } });
        open();
        refresh();
        const int row = rowOf(id);
        QTEST(grid()->textMatrix(row, board::ColDryingDays), "days");
        QCOMPARE(grid()->textMatrix(row, board::ColFlash), alert ? QStringLiteral("True") : QStringLiteral("False"));
        QVERIFY(grid()->colHidden(board::ColFlash));
        QList<quint32> seen;
        for (int i = 0; i < 3; ++i) {
            seen << grid()->cellBackColor(row, board::ColDryingDays);
            tick();
        }
        const QList<quint32> expected = alert ? QList<quint32> { Colors::kRed, rowColour, Colors::kRed }
                                              : QList<quint32> { rowColour, rowColour, rowColour };
        QCOMPARE(seen, expected);
        QCOMPARE(grid()->cellBackColor(rowOf(calm), board::ColDryingDays), rowColour);

        // A header click moves the job up; the flash goes with it.
        grid()->gridModel()->sort(board::ColCustomer, Qt::DescendingOrder);
        QCOMPARE(rowOf(id), 1);
        tick();
        QCOMPARE(grid()->cellBackColor(1, board::ColDryingDays), alert ? Colors::kRed : rowColour);
        QCOMPARE(grid()->cellBackColor(2, board::ColDryingDays), rowColour);
    }

    // The drying-days cell's tooltip sums up the job's drying log; with the
    // company's "Alert from the drying log" a job dry at every point stops
    // flashing.
    void dryingLogTooltipAndAlert()
    {
        const qint64 id = addWip(
            "Dry", { { "Status", "Drying" }, { "StartDate", daysAgo(kLimit + 3) }, { "CheckDryingDays", true } });
        addWip("Another");
        const qint64 room = std::get<qint64>(drying::addRoom(testdb::connection(), id, "Bath", true));
        const qint64 point = std::get<qint64>(
            drying::savePoint(testdb::connection(), { .roomId = room, .material = "Drywall", .dryGoal = 12 }));
        drying::saveMoistureReading(testdb::connection(), point, kNow.date().addDays(-2), 11, {}, { "kw", kNow });
        open();
        refresh();
        QCOMPARE(grid()->textMatrix(rowOf(id), board::ColFlash), QString("True"));
        const QString tip = "1 of 1 points at goal, last reading 2 days ago";
        grid()->gridModel()->sort(board::ColCustomer, Qt::DescendingOrder);
        QCOMPARE(m_screen->dryingTip(rowOf(id)), tip);
        QCOMPARE(m_screen->dryingTip(rowOf(id) == 1 ? 2 : 1), QString());

        const QRect cell = grid()->visualRect(grid()->gridModel()->indexOf(rowOf(id), board::ColDryingDays));
        QHelpEvent help(QEvent::ToolTip, cell.center(), grid()->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(grid()->viewport(), &help);
        QCOMPARE(QToolTip::text(), tip);

        CompanyRow company = testdb::context().company();
        company.dryingLogAlert = true;
        testdb::context().setCompany(company);
        refresh();
        QCOMPARE(grid()->textMatrix(rowOf(id), board::ColFlash), QString("False"));
        for (int i = 0; i < 2; ++i) {
            QVERIFY(grid()->cellBackColor(rowOf(id), board::ColDryingDays) != Colors::kRed);
            tick();
        }
    }

    // A double-click on a line opens that job in the entry screen, in front.
    void activatingALineOpensTheJob()
    {
        const int admin = TestDb::addEmployee("boss", "pw", "Admin");
        testdb::logIn(admin, "boss", "Admin");
        addWip("First");
        const qint64 second = addWip("Second", { { "Rep", "Rita" } });
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.unlockAfterLogin("boss");
        mdi.findChild<QAction *>("mnuWIPEntry")->trigger();
        mdi.findChild<QAction *>("mnuWIPsBoard")->trigger();
        auto *navigator = qobject_cast<frmWIPNavigator *>(mdi.findScreen("frmWIPNavigator"));
        QVERIFY(navigator);
        QCOMPARE(mdi.area()->activeSubWindow()->widget(), navigator);
        auto *board = navigator->findChild<GridWidget *>("vsfgWIP");
        navigator->findChild<QCheckBox *>("chkActive")->setChecked(false);
        navigator->findChild<QPushButton *>("btnRefresh")->click();
        QVERIFY(board->setRow(2));
        // As a user double-clicks: press, release, double-click, release.
        const QPoint line = board->visualRect(board->currentIndex()).center();
        QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(board->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseRelease(board->viewport(), Qt::LeftButton, {}, line);
        auto *entry = qobject_cast<frmWIPEntry *>(mdi.findScreen("frmWIPEntry"));
        QVERIFY(entry);
        QCOMPARE(mdi.area()->activeSubWindow()->widget(), entry);
        QCOMPARE(entry->findChild<QLabel *>("lblID")->text(), QString::number(second));
        QCOMPARE(entry->findChild<QComboBox *>("cmbRep")->currentText(), QStringLiteral("Rita"));
        QVERIFY(Messages::shown().isEmpty());

        // Print shows the board report of the filters in the report viewer, in front.
        navigator->findChild<QPushButton *>("btnPrint")->click();
        QWidget *viewer = mdi.findScreen("Viewer");
        QVERIFY(viewer);
        QCOMPARE(mdi.area()->activeSubWindow()->widget(), viewer);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
    }

    // The row counter has no 16-bit limit; the window paints part-way, under
    // the hourglass, with the first lines in.
    void moreThan32767Jobs()
    {
        constexpr int kJobs = 32800;
        {
            data::Transaction t(testdb::connection());
            data::BulkLoad insert(testdb::connection(), "WIP", { "Customer", "JobType", "Status", "StartDate" });
            for (int i = 0; i < kJobs; ++i)
                insert.add({ QStringLiteral("Job %1").arg(i, 5, 10, QChar(u'0')), "Fire", "Open", daysAgo(2) });
            insert.finish();
            t.commit();
        }
        open();
        // Paints with part of the lines in, and the hourglass then.
        struct PaintSpy : QObject
        {
            GridWidget *grid = nullptr;
            int partWay = 0;
            bool hourglass = true;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint && grid->rows() > 1 && grid->rows() <= kJobs) {
                    ++partWay;
                    const QCursor *cursor = QApplication::overrideCursor();
                    hourglass = hourglass && cursor && cursor->shape() == Qt::WaitCursor;
                }
                return false;
            }
        } spy;
        spy.grid = grid();
        grid()->viewport()->installEventFilter(&spy);
        refresh();
        QCOMPARE(grid()->rows() - 1, kJobs);
        QCOMPARE(grid()->textMatrix(kJobs, board::ColCustomer), QStringLiteral("Job %1").arg(kJobs - 1));
        QVERIFY(spy.partWay > 0 && spy.hourglass);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The board as it stands, sorted by the user, in a file a spreadsheet
    // opens: the visible columns, names with a comma, quote and accent as
    // typed, ISO dates, plain amounts, the summed hours (0 without bookings).
    void exportsCsv()
    {
        const QString name = QStringLiteral("Müller, \"Mack\" & Søns");
        const QDateTime entered(QDate(2026, 3, 2), QTime(9, 5, 7));
        const qint64 first = addWip(name,
            { { "StartDate", QDateTime(QDate(2026, 3, 1), QTime(0, 0)) }, { "AmountBilled", 1234.5 },
                { "Notes", "line one\nline two" }, { "EnteredBy", "kw" }, { "EnteredDate", entered },
                { "Billed", true } });
        const qint64 second = addWip("Adams", { { "Notes", "=1+1" } });
        for (double hours : { 1.5, 2.25 })
            testdb::exec("INSERT INTO EmployeeTime (EmployeeID, WIPID, Hours) VALUES (1, ?, ?)", { second, hours });
        open();
        refresh();
        grid()->gridModel()->sort(board::ColCustomer, Qt::DescendingOrder);

        QTemporaryDir dir;
        const QString path = dir.filePath("board.csv");
        click("btnExport");
        QVERIFY(!QFile::exists(path)); // no file chosen: nothing written
        Messages::setNextFileName(path);
        click("btnExport");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rows.size(), 3);
        QStringList headers = board::headers();
        headers.removeLast();
        QCOMPARE(rows[0], headers);
        auto fields = [](const QStringList &row) {
            QStringList picked;
            for (int col : { board::ColId, board::ColCustomer, board::ColStartDate, board::ColBilledAmount,
                     board::ColHours, board::ColBilled, board::ColNotes, board::ColEntered })
                picked << row.value(col);
            return picked;
        };
        QCOMPARE(rows[1].size(), board::kColumnCount - 1);
        QCOMPARE(fields(rows[1]),
            (QStringList { QString::number(first), name, "2026-03-01", "1234.5", "0", "True", "line one\nline two",
                "kw - 2026-03-02 09:05:07" }));
        QCOMPARE(fields(rows[2]).mid(4, 3), (QStringList { "3.75", "False", "'=1+1" }));
        // On screen the same date is the short date, the stamp the general form.
        QCOMPARE(grid()->gridModel()->displayText(1, board::ColStartDate), Formats::date(QDate(2026, 3, 1)));
        QCOMPARE(grid()->textMatrix(1, board::ColEntered), "kw - " + Formats::dateTime(entered));
        QCOMPARE(grid()->gridModel()->displayText(1, board::ColHours), QStringLiteral("0.00"));
        QVERIFY(Messages::shown().isEmpty());
    }

    // A text cell a spreadsheet might run as a formula goes behind an
    // apostrophe, whatever text column it is in; the program's own numbers
    // stay numbers.
    void csvFormulaGuard_data()
    {
        const QString when = u" - "_qs + Formats::dateTime(QDateTime(QDate(2026, 3, 2), QTime(9, 5, 7)));
        columns<board::Column, QString, QString>({ "column", "cell", "written" });
        row("equals", board::ColCustomer, "=1+1", "'=1+1");
        row("plus", board::ColNotes, "+1", "'+1");
        row("minus", board::ColNotes, "-2+3", "'-2+3");
        row("at", board::ColCustomer, "@SUM(A1)", "'@SUM(A1)");
        row("tab", board::ColNotes, "\t=1+1", "'\t=1+1");
        row("carriage return", board::ColNotes, "\r=1+1", "'\r=1+1");
        row("stamp's name", board::ColEntered, "=HYPERLINK(\"x\")" + when, "'=HYPERLINK(\"x\") - 2026-03-02 09:05:07");
        row("edit stamp's name", board::ColEdited, "@x" + when, "'@x - 2026-03-02 09:05:07");
        row("plain text", board::ColCustomer, "Adams", "Adams");
        row("negative amount", board::ColBilledAmount, "-12.5", "-12.5");
    }
    void csvFormulaGuard()
    {
        QFETCH(board::Column, column);
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(board::csvCell(column, cell), written);
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
