// backends: sqlite postgres odbc
#include "base/Formats.h"
#include "board/BoardLines.h"
#include "board/BoardQuery.h"
#include "data/Database.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(board::Filter)
using Cells = QMap<int, QString>;

namespace {

struct Job
{
    const char *customer;
    const char *type;
    const char *status; // nullptr: NULL
    QDateTime start; // invalid: NULL
};

QDateTime at(int month, int day, int hour = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, 0));
}

// Jobs numbered from 1 in this order; the board lists them by customer, type
// and start date whatever the collation.
const QList<Job> &jobs()
{
    static const QList<Job> list = {
        { "Abbott", "Fire", "Drying", at(3, 1) }, // 1
        { "Abbott", "Fire", "Open", at(2, 1) }, // 2
        { "Abbott", "Water", "Closed", at(3, 10) }, // 3
        { "Baker O'Brien", "Water", "Open", at(3, 15) }, // 4
        { "Cole 100% Pure", "Mold", nullptr, at(3, 20) }, // 5
        { "Dunn A_B", "Work Order", "Estimate", at(3, 30) }, // 6
        { "Evans AxB", "Fire", "Estimate", at(3, 30, 10) }, // 7
        { "Ford [x]!", "Storm", "Open", QDateTime() }, // 8
        { "GARCIA", "Water", "Open", at(3, 5) }, // 9
    };
    return list;
}

const QDate kToday(2026, 3, 30);

board::Filter dates(board::Filter filter, QDate from, QDate to)
{
    filter.useDates = true;
    filter.startFrom = from;
    filter.startTo = to;
    return filter;
}

} // namespace

class TestBoard : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    QList<qint64> m_ids; // by job number - 1

    QList<int> selected(const board::Filter &filter, board::JobColumns columns)
    {
        QList<int> numbers;
        data::Rows query = board::selectJobs(testdb::connection(), filter, columns);
        while (query.next()) {
            // Jobs of the line tests are not numbered.
            const qsizetype index = m_ids.indexOf(query.value(0).toLongLong());
            if (index >= 0)
                numbers << int(index) + 1;
        }
        return numbers;
    }

private slots:
    void initTestCase()
    {
        JT_FRESH_DB_IN(m_db);
        for (const Job &job : jobs()) {
            m_ids << testdb::insertRow("WIP",
                { { "Customer", QString::fromUtf8(job.customer) }, { "JobType", QString::fromUtf8(job.type) },
                    { "Status", job.status ? QVariant(QString::fromUtf8(job.status)) : QVariant() },
                    { "StartDate", job.start.isValid() ? QVariant(job.start) : QVariant() }, { "AmountBilled", 0.0 },
                    { "InvoiceID", "" }, { "QBID", "" } });
        }
        for (double hours : { 1.5, 2.25 })
            testdb::exec("INSERT INTO EmployeeTime (EmployeeID, WIPID, Hours) VALUES (1, ?, ?)", { m_ids[0], hours });
    }

    void cleanupTestCase() { m_db.reset(); }

    // Every value bound: quotes, LIKE's own characters and letter case in the
    // search; the start-date bounds; "Active Only" and a NULL status.
    void selection_data()
    {
        columns<board::Filter, QList<int>>({ "filter", "expected" });
        const QDate first(2026, 3, 1), last(2026, 3, 30);
        row("everything, closed included", board::Filter {}, QList<int> { 2, 1, 3, 4, 5, 6, 7, 8, 9 });
        row("active only hides closed and no status", board::Filter { .activeOnly = true },
            QList<int> { 2, 1, 4, 6, 7, 8, 9 });
        row("type", board::Filter { .jobType = "Fire" }, QList<int> { 2, 1, 7 });
        row("status", board::Filter { .status = "Open" }, QList<int> { 2, 4, 8, 9 });
        row("quote, other case", board::Filter { .search = "o'brien" }, QList<int> { 4 });
        row("upper case finds all", board::Filter { .search = "ABBOTT" }, QList<int> { 2, 1, 3 });
        row("lower case finds upper", board::Filter { .search = "garcia" }, QList<int> { 9 });
        row("percent is literal", board::Filter { .search = "%" }, QList<int> { 5 });
        row("underscore is literal", board::Filter { .search = "A_B" }, QList<int> { 6 });
        row("brackets and escape character", board::Filter { .search = "[x]!" }, QList<int> { 8 });
        row("dates: from midnight of the first to midnight of the last", dates({}, first, last),
            QList<int> { 1, 3, 4, 5, 6, 9 });
        row("all together", dates(board::Filter { .jobType = "Water", .activeOnly = true }, first, last),
            QList<int> { 4, 9 });
        row("nothing matches", board::Filter { .jobType = "Fire", .search = "Baker" }, QList<int> {});
    }

    void selection()
    {
        QFETCH(board::Filter, filter);
        QFETCH(QList<int>, expected);
        QCOMPARE(selected(filter, board::JobColumns::Report), expected);
        QCOMPARE(selected(filter, board::JobColumns::Board), expected);
        // The first jobs alone (a screenful, read ahead of the whole board)
        // are the whole board's first lines, hours and all.
        if (testdb::connection().dialect().kind() == data::DbKind::SqlServer)
            return;
        board::Filter first = filter;
        first.firstJobs = 2;
        QCOMPARE(selected(first, board::JobColumns::Board), expected.mid(0, 2));
        QStringList whole, ahead;
        for (auto [lines, from] : { std::pair { &whole, filter }, std::pair { &ahead, first } }) {
            board::BoardReader reader(testdb::connection(), from, kToday, 7);
            board::BoardLine line;
            while (reader.next(line) && lines->size() < 2)
                *lines << line.text;
        }
        QCOMPARE(ahead, whole);
    }

    // The hours are the sum of the job's bookings, 0 without any; the
    // report's fields are there by name.
    void hoursAndReportFields()
    {
        data::Rows query = board::selectJobs(testdb::connection(), board::Filter { .jobType = "Fire" });
        QList<double> hours;
        while (query.next()) {
            QVERIFY(query.record().indexOf("Cos") >= 0 && query.record().indexOf("QBID") >= 0);
            hours << query.value("TotalTime").toDouble();
        }
        QCOMPARE(hours, (QList<double> { 0, 3.75, 0 }));
    }

    // What each kind of value becomes on the board, read packed (on SQLite and PostgreSQL)
    // and column by column alike; a value holding the packing's separator and
    // escape characters too.
    void lines_data()
    {
        columns<data::Fields, Cells>({ "fields", "cells" });
        const QDateTime entered(kToday, QTime(10, 15, 7));
        row("text, numbers, flags",
            data::Fields { { "Rep", "Tab\tin rep" }, { "Rugs", 3.0 }, { "CarpetCleanRooms", 2.5 },
                { "AmountBilled", 1234.5 }, { "RugsCleaned", true }, { "Itel", false },
                { "Notes", "two\nlines \x1f b \x1e\x1d" } },
            Cells { { board::ColRep, "Tab in rep" }, { board::ColRugs, "3" }, { board::ColCarpetCleanRooms, "2.5" },
                { board::ColBilledAmount, "1234.5" }, { board::ColHours, "0" }, { board::ColRugsCleaned, "True" },
                { board::ColItel, "False" }, { board::ColPhotos, "False" },
                { board::ColNotes, "two\nlines \x1f b \x1e\x1d" } });
        row("dates and stamps",
            data::Fields { { "StartDate", QDateTime(kToday, QTime(0, 0)) },
                { "ItelDate", QDateTime(QDate(2026, 3, 2), QTime(10, 15, 30)) }, { "EnteredBy", "kw" },
                { "EnteredDate", entered } },
            Cells { { board::ColStartDate, "2026-03-30" }, { board::ColItelSent, "2026-03-02T10:15:30" },
                { board::ColAdjusterUpdatedDate, "" }, { board::ColEntered, "kw - " + Formats::dateTime(entered) },
                { board::ColEdited, " - " } });
    }

    void lines()
    {
        QFETCH(data::Fields, fields);
        QFETCH(Cells, cells);
        const QString customer = QStringLiteral("Line %1").arg(QTest::currentDataTag());
        fields << QPair<QString, QVariant>("Customer", customer);
        testdb::insertRow("WIP", fields);

        QStringList texts;
        for (const auto source : { board::BoardReader::Source::Fastest, board::BoardReader::Source::Columns }) {
            board::BoardReader reader(testdb::connection(), board::Filter { .search = customer }, kToday, 7, source);
            board::BoardLine line;
            QVERIFY(reader.next(line));
            texts << line.text;
            const QStringList shown = line.text.split(u'\t');
            QCOMPARE(shown.size(), board::kColumnCount);
            for (auto it = cells.cbegin(); it != cells.cend(); ++it)
                QCOMPARE(shown[it.key()], it.value());
            QVERIFY(!reader.next(line));
        }
        QCOMPARE(texts[0], texts[1]);
    }
};

QTEST_GUILESS_MAIN(TestBoard)
#include "tst_board.moc"
