// The employee-time lists against 1,000,000 bookings: the time manager's
// Refresh for one employee over the month up to now, and the labour tab of a
// job with 500 bookings. Each is paired with a baseline that runs the same
// statement with the same values and only reads every column of every row as
// text, so the ratio is the screens' own cost (lines, grid, fitting).
//
// Before the runs it prints both statements' query plans. JT_BENCH_DB names
// another database to run on (an ADO-style connection string, say
// "Provider=PostgreSQL;Host=127.0.0.1;Port=5432;Database=bench;User ID=postgres"
// for an empty database); the default is a temporary SQLite file.
// JT_BENCH_JOBS sets the number of jobs, ten bookings each (default 100000).
// The newest job gets bookings up to 500 (on a database seeded elsewhere too).
#include "base/Clock.h"
#include "data/BulkLoad.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "shell/AppContext.h"
#include "staff/TimeLines.h"
#include "staff/ui/TimeGrid.h"
#include "staff/ui/frmTimeNavigator.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/WipLabor.h"
#include "wip/ui/frmWIPEntry.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int kJobBookings = 500;

data::Connection *g_db = nullptr;
AppContext *g_context = nullptr;
qint64 g_employee = 0;
qint64 g_job = 0;
QDateTime g_from, g_to;
int g_monthRows = 0;

// Reads every column of every row as text: the floor a list stands on.
qint64 drain(data::Rows &query)
{
    qint64 chars = 0;
    const int columns = query.record().count();
    while (query.next()) {
        for (int c = 0; c < columns; ++c)
            chars += query.value(c).toString().size();
    }
    return chars;
}

void BM_TimeManagerRefresh(benchmark::State &state)
{
    frmTimeNavigator screen(*g_context);
    screen.open();
    auto *employee = screen.findChild<QComboBox *>(QStringLiteral("cmbEmployee"));
    employee->setCurrentIndex(employee->findText(QStringLiteral("Whitfield, Karen")));
    screen.findChild<QDateTimeEdit *>(QStringLiteral("dtStart"))->setDateTime(g_from);
    screen.findChild<QDateTimeEdit *>(QStringLiteral("dtEnd"))->setDateTime(g_to);
    auto *grid = screen.findChild<GridWidget *>(QStringLiteral("vsfgTime"));
    for (auto _ : state) {
        screen.RefreshGrid();
        benchmark::DoNotOptimize(grid->rows());
    }
    if (grid->rows() != g_monthRows + 1 || !Messages::shown().isEmpty())
        state.SkipWithError("the grid does not hold the month's bookings");
    state.counters["rows"] = grid->rows() - 1;
}

void BM_TimeManagerRefreshBaseline(benchmark::State &state)
{
    for (auto _ : state) {
        data::Rows query = g_db->exec(staff::employeeBookingsSql(), { g_employee, g_from, g_to });
        benchmark::DoNotOptimize(drain(query));
    }
}

void BM_LaborTab(benchmark::State &state)
{
    frmWIPEntry screen(*g_context);
    screen.open();
    screen.LoadWIP(QString::number(g_job));
    auto *grid = screen.findChild<GridWidget *>(QStringLiteral("vsfgTime"));
    for (auto _ : state) {
        screen.LoadTime();
        benchmark::DoNotOptimize(grid->rows());
    }
    if (grid->rows() != kJobBookings + 1 || !Messages::shown().isEmpty())
        state.SkipWithError("the labour tab does not hold the job's bookings");
    state.counters["rows"] = grid->rows() - 1;
}

void BM_LaborTabBaseline(benchmark::State &state)
{
    for (auto _ : state) {
        data::Rows query = g_db->exec(wip::laborSql(), { g_job });
        benchmark::DoNotOptimize(drain(query));
    }
}

// The two halves of the labour tab: its lines alone, and the grid alone
// (header, rows, formatting and fitting) from lines read once.
void BM_LaborLinesOnly(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(wip::loadLabor(*g_db, g_job).totalHours);
}

void BM_LaborGridOnly(benchmark::State &state)
{
    GridWidget grid;
    const QList<staff::TimeLine> lines = wip::loadLabor(*g_db, g_job).lines;
    for (auto _ : state) {
        TimeGrid::fill(&grid, QStringLiteral("Employee"), lines);
        benchmark::DoNotOptimize(grid.rows());
    }
}

// After the usual table, each case's medians against its baseline's.
void printSummary(const Medians &medians)
{
    std::printf("\nMedians against the bare query loop over the same rows (ms):\n");
    std::printf(
        "  %-24s %10s %10s %7s %10s %10s %7s\n", "case", "real", "baseline", "ratio", "cpu", "baseline", "ratio");
    for (const auto &[name, m] : medians) {
        const auto base = medians.find(name + "Baseline");
        if (base == medians.end() || base->second.real <= 0 || base->second.cpu <= 0)
            continue;
        std::printf("  %-24s %10.3f %10.3f %7.2f %10.3f %10.3f %7.2f\n", name.c_str(), m.real, base->second.real,
            m.real / base->second.real, m.cpu, base->second.cpu, m.cpu / base->second.cpu);
    }
}

void printPlan(data::Connection &db, const QString &title, const QString &sql, const QVariantList &params)
{
    std::fprintf(stderr, "plan of %s:\n", qPrintable(title));
    if (db.dialect().kind() == data::DbKind::SQLite) {
        data::Rows plan = db.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, params);
        while (plan.next())
            std::fprintf(stderr, "  %s\n", qPrintable(plan.value(3).toString()));
        return;
    }
    // PostgreSQL prepares no EXPLAIN: the bench's own values (IDs and
    // date-times it made itself) go in as literals.
    QString text = sql;
    for (const QVariant &value : params) {
        const QString literal = value.typeId() == QMetaType::QDateTime
            ? QStringLiteral("TIMESTAMP '%1'").arg(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            : QString::number(value.toLongLong());
        text.replace(text.indexOf(u'?'), 1, literal);
    }
    QSqlQuery plan(db.handle());
    if (!plan.exec(QStringLiteral("EXPLAIN ANALYZE ") + text))
        throw data::DbError::from(plan.lastError(), text);
    while (plan.next())
        std::fprintf(stderr, "  %s\n", qPrintable(plan.value(0).toString()));
}

// One open job with a long history: the newest, with bookings up to 500.
void addJobHistory(data::Connection &db)
{
    const qint64 job = db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP")).toLongLong();
    data::Transaction transaction(db);
    data::BulkLoad bookings(db, QStringLiteral("EmployeeTime"),
        { QStringLiteral("EmployeeID"), QStringLiteral("WIPID"), QStringLiteral("TranDate"), QStringLiteral("Hours"),
            QStringLiteral("Notes"), QStringLiteral("EnteredBy"), QStringLiteral("EnteredDate"),
            QStringLiteral("EditedBy"), QStringLiteral("EditedDate") });
    data::Rows workers = db.exec(QStringLiteral("SELECT ID FROM Employee ORDER BY ID"));
    QList<qint64> ids;
    while (workers.next())
        ids << workers.value(0).toLongLong();
    const qint64 existing
        = db.scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime WHERE WIPID = ?"), { job }).toLongLong();
    for (qint64 b = existing; b < kJobBookings; ++b) {
        const QDateTime day(Clock::today().addDays(-b / 3), QTime(0, 0));
        bookings.add({ ids.at(b % ids.size()), job, day, 0.25 * double(1 + b % 32),
            QStringLiteral("Water extraction, moved contents"), QStringLiteral("bench"), day, QStringLiteral("bench"),
            day });
    }
    bookings.finish();
    transaction.commit();
}

// The demo data, ten bookings a job.
void seed(data::Connection &db, int jobs)
{
    data::createSchema(db);
    QElapsedTimer timer;
    timer.start();
    data::DemoOptions options;
    options.jobs = jobs;
    options.bookingsPerJob = 10;
    options.today = Clock::today();
    data::seedDemo(db, options);
    addJobHistory(db);
    if (db.dialect().kind() == data::DbKind::PostgreSQL)
        db.execScript(QStringLiteral("ANALYZE"));
    std::fprintf(stderr, "seeded %d jobs in %.1f s\n", jobs, double(timer.elapsed()) / 1000.0);
}

} // namespace

BENCHMARK(BM_TimeManagerRefresh)->Apply(medianOf<7, 10>);
BENCHMARK(BM_TimeManagerRefreshBaseline)->Apply(medianOf<7, 10>);
BENCHMARK(BM_LaborTab)->Apply(medianOf<7, 20>);
BENCHMARK(BM_LaborLinesOnly)->Apply(medianOf<7, 20>);
BENCHMARK(BM_LaborGridOnly)->Apply(medianOf<7, 20>);
BENCHMARK(BM_LaborTabBaseline)->Apply(medianOf<7, 20>);

int main(int argc, char **argv)
{
    benchdata::headless(false);
    QApplication app(argc, argv);
    Messages::setRecording(true);

    QTemporaryDir dir;
    const int jobs = benchdata::jobs();
    const QString connection
        = qEnvironmentVariable("JT_BENCH_DB", QStringLiteral("Provider=SQLite;Data Source=bench.db"));
    data::Connection db;
    AppContext context(db);
    try {
        db.open(connection, dir.path(), { true });
        // A database seeded by an earlier run (JT_BENCH_DB) is used as it is,
        // but for the one job's history.
        const bool seeded = data::hasTable(db, QStringLiteral("EmployeeTime"))
            && db.scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toLongLong() >= qint64(jobs) * 10;
        if (!seeded)
            seed(db, jobs);
        else
            addJobHistory(db);
        g_job = db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP")).toLongLong();
        const qint64 total = db.scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toLongLong();
        std::fprintf(stderr, "%lld bookings\n", static_cast<long long>(total));

        context.setUser({ 1, QStringLiteral("bench"), QStringLiteral("Admin") });
        context.LoadCompanySettings();
        g_db = &db;
        g_context = &context;
        g_employee
            = db.scalar(QStringLiteral("SELECT ID FROM Employee WHERE Username = ?"), { QStringLiteral("kwhitfield") })
                  .toLongLong();
        g_to = Clock::now();
        g_from = g_to.addMonths(-1);
        g_monthRows = int(staff::employeeBookings(db, g_employee, g_from, g_to).size());
        std::fprintf(
            stderr, "the month holds %d bookings of the employee; the job holds %d\n", g_monthRows, kJobBookings);
        printPlan(db, QStringLiteral("the time manager's Refresh"), staff::employeeBookingsSql(),
            { g_employee, g_from, g_to });
        printPlan(db, QStringLiteral("the labour tab"), wip::laborSql(), { g_job });
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }

    runBenchmarks(argc, argv, printSummary);
    return 0;
}
