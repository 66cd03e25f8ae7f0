// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Colors.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "data/Database.h"
#include "data/DemoData.h"
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
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));
constexpr int kLimit = 7;
constexpr quint32 kFire = 0xC0C0FF;
constexpr quint32 kWater = 0xFFFFC0;
constexpr quint32 kWorkOrder = 0xC0FFFF;
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

// The fields of a CSV text: quoted fields may hold commas, quotes and line
// breaks.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
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
    template <typename T = QWidget> T *child(const char *name) const
    {
        T *widget = m_screen->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
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
        m_db = std::make_unique<TestDb>();
        if (!m_db->create()) {
            if (qEnvironmentVariableIsSet("JT_REQUIRE_SERVER"))
                QFAIL(qPrintable(m_db->skipReason()));
            QSKIP(qPrintable(m_db->skipReason()));
        }
        Clock::setNow(kNow);
        testdb::setDryingDays(kLimit);
    }
    void cleanup()
    {
        m_screen.reset();
        m_db.reset();
    }

    // Lists filled, filters at their start, the flash timer running, and
    // the board empty until the first Refresh.
    void opensWithAnEmptyBoard()
    {
        addWip("Abbott", { { "Status", "Drying" }, { "CheckDryingDays", true }, { "StartDate", daysAgo(30) } });
        open();
        QCOMPARE(grid()->rows(), 0);
        auto items = [this](const char *name) {
            QStringList list;
            for (int i = 0; i < child<QComboBox>(name)->count(); ++i)
                list << child<QComboBox>(name)->itemText(i);
            return list;
        };
        QCOMPARE(items("cmbType"), (QStringList { "Fire", "Mold", "Smoke", "Storm", "Water", "Work Order" }));
        QCOMPARE(items("cmbStatus").first(), QStringLiteral("Closed"));
        QCOMPARE(child<QComboBox>("cmbType")->currentText(), QString());
        QCOMPARE(child<QDateEdit>("dtStart")->date(), kNow.date());
        QCOMPARE(child<QDateEdit>("dtStop")->date(), kNow.date());
        QVERIFY(child<QCheckBox>("chkActive")->isChecked());
        QVERIFY(!child<QCheckBox>("chkDate")->isChecked());
        auto *timer = child<QTimer>("tmrDryingDays");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        tick();
        QCOMPARE(grid()->rows(), 0);
    }

    // The controls make the board's filter; Clear puts them back without
    // touching the board until the next Refresh.
    void filtersAndClear()
    {
        const qint64 closed = addWip("Abbott", { { "Status", "Closed" } });
        const qint64 fire = addWip("Abbott", { { "JobType", "Fire" }, { "StartDate", daysAgo(3) } });
        const qint64 brien = addWip("O'Brien", { { "StartDate", daysAgo(20) } });
        const qint64 none = addWip("Cole", { { "Status", QVariant() } });
        open();
        refresh(false);
        QCOMPARE(column(board::ColId),
            (QStringList {
                QString::number(fire), QString::number(closed), QString::number(none), QString::number(brien) }));
        QCOMPARE(grid()->textMatrix(0, board::ColCustomer), QStringLiteral("Customer"));

        child<QComboBox>("cmbType")->setCurrentText("Water");
        child<QComboBox>("cmbStatus")->setCurrentText("Open");
        child<QLineEdit>("txtSearch")->setText("o'b");
        child<QCheckBox>("chkDate")->setChecked(true);
        child<QDateEdit>("dtStart")->setDate(kNow.date().addDays(-30));
        refresh(true);
        QCOMPARE(column(board::ColId), QStringList { QString::number(brien) });
        const board::Filter shown = m_screen->filter();
        QCOMPARE(shown.jobType, QStringLiteral("Water"));
        QCOMPARE(shown.startFrom, kNow.date().addDays(-30));

        click("btnClear");
        QCOMPARE(column(board::ColId), QStringList { QString::number(brien) });
        QCOMPARE(child<QComboBox>("cmbType")->currentIndex(), -1);
        QCOMPARE(child<QComboBox>("cmbStatus")->currentText(), QString());
        QCOMPARE(child<QLineEdit>("txtSearch")->text(), QString());
        QCOMPARE(child<QDateEdit>("dtStart")->date(), kNow.date());
        QVERIFY(!child<QCheckBox>("chkDate")->isChecked());
        QVERIFY(child<QCheckBox>("chkActive")->isChecked());
        click("btnRefresh");
        QCOMPARE(column(board::ColId), (QStringList { QString::number(fire), QString::number(brien) }));

        click("btnPrint");
        QCOMPARE(shownMessages(), QStringList { "Print: The board report is not available yet." });
    }

    // Row colour by job type, then the status colour over it; a status
    // without a row or without a colour shows the window background.
    void colours_data()
    {
        columns<QString, QString, quint32, quint32>({ "type", "status", "row", "statusCell" });
        row("fire", "Fire", "Open", kFire, quint32(16777215));
        row("water", "Water", "Waiting On Adjuster", kWater, quint32(0xC0C0FF));
        row("work order", "Work Order", "Drying", kWorkOrder, quint32(8454143));
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
    // more does, and its cell blinks between red and the row's own colour.
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
    }

    // The flash follows its job when a header click sorts the board.
    void flashFollowsSort()
    {
        const qint64 dry = addWip("Aaron",
            { { "JobType", "Fire" }, { "Status", "Drying" }, { "StartDate", daysAgo(kLimit + 2) },
                { "CheckDryingDays", true } });
        addWip("Zed", { { "JobType", "Fire" } });
        open();
        refresh();
        QCOMPARE(rowOf(dry), 1);
        grid()->gridModel()->sort(board::ColCustomer, Qt::DescendingOrder);
        QCOMPARE(rowOf(dry), 2);
        QCOMPARE(grid()->cellBackColor(2, board::ColDryingDays), Colors::kRed);
        tick();
        QCOMPARE(grid()->cellBackColor(2, board::ColDryingDays), kFire);
        QCOMPARE(grid()->cellBackColor(1, board::ColDryingDays), kFire);
        tick();
        QCOMPARE(grid()->cellBackColor(2, board::ColDryingDays), Colors::kRed);
        QCOMPARE(grid()->cellBackColor(1, board::ColDryingDays), kFire);
    }

    void hours()
    {
        const qint64 idle = addWip("Idle");
        const qint64 busy = addWip("Busy");
        for (double hours : { 1.5, 2.25 })
            testdb::exec("INSERT INTO EmployeeTime (EmployeeID, WIPID, Hours) VALUES (1, ?, ?)", { busy, hours });
        open();
        refresh();
        QCOMPARE(grid()->textMatrix(rowOf(idle), board::ColHours), QStringLiteral("0"));
        QCOMPARE(grid()->gridModel()->displayText(rowOf(idle), board::ColHours), QStringLiteral("0.00"));
        QCOMPARE(grid()->gridModel()->displayText(rowOf(busy), board::ColHours), QStringLiteral("3.75"));
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
    }

    // The row counter has no 16-bit limit; the window paints part-way, under
    // the hourglass, with the first lines in.
    void moreThan32767Jobs()
    {
        constexpr int kJobs = 32800;
        {
            data::Transaction t(testdb::connection());
            data::BulkInserter insert(testdb::connection(), "WIP", { "Customer", "JobType", "Status", "StartDate" });
            for (int i = 0; i < kJobs; ++i)
                insert.add({ QStringLiteral("Job %1").arg(i, 5, 10, QChar(u'0')), "Fire", "Open", daysAgo(2) });
            insert.flush();
            t.commit();
        }
        open();
        int paintsPartWay = 0;
        bool hourglass = true;
        struct Spy : QObject
        {
            std::function<void()> onPaint;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    onPaint();
                return false;
            }
        } spy;
        spy.onPaint = [&] {
            const int rows = grid()->rows();
            if (rows > 1 && rows <= kJobs) {
                ++paintsPartWay;
                hourglass = hourglass && QApplication::overrideCursor()
                    && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            }
        };
        grid()->viewport()->installEventFilter(&spy);
        refresh();
        QCOMPARE(grid()->rows() - 1, kJobs);
        QCOMPARE(grid()->textMatrix(kJobs, board::ColCustomer), QStringLiteral("Job %1").arg(kJobs - 1));
        QVERIFY(paintsPartWay > 0);
        QVERIFY(hourglass);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The board as it stands, sorted by the user, in a file a spreadsheet
    // opens: the visible columns, names with a comma, quote and accent as
    // typed, ISO dates, plain amounts.
    void exportsCsv()
    {
        const QString name = QStringLiteral("Müller, \"Mack\" & Søns");
        const QDateTime entered(QDate(2026, 3, 2), QTime(9, 5, 7));
        const qint64 first = addWip(name,
            { { "StartDate", QDateTime(QDate(2026, 3, 1), QTime(0, 0)) }, { "AmountBilled", 1234.5 },
                { "Notes", "line one\nline two" }, { "EnteredBy", "kw" }, { "EnteredDate", entered },
                { "Billed", true } });
        const qint64 second = addWip("Adams", { { "Notes", "=1+1" } });
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
        const QStringList mine = rows[1];
        QCOMPARE(mine.size(), board::kColumnCount - 1);
        QCOMPARE(mine[board::ColId], QString::number(first));
        QCOMPARE(mine[board::ColCustomer], name);
        QCOMPARE(mine[board::ColStartDate], QStringLiteral("2026-03-01"));
        QCOMPARE(mine[board::ColBilledAmount], QStringLiteral("1234.5"));
        QCOMPARE(mine[board::ColHours], QStringLiteral("0"));
        QCOMPARE(mine[board::ColBilled], QStringLiteral("True"));
        QCOMPARE(mine[board::ColNotes], QStringLiteral("line one\nline two"));
        QCOMPARE(mine[board::ColEntered], QStringLiteral("kw - 2026-03-02 09:05:07"));
        QCOMPARE(rows[2][board::ColId], QString::number(second));
        QCOMPARE(rows[2][board::ColNotes], QStringLiteral("'=1+1"));
        QVERIFY(Messages::shown().isEmpty());
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
