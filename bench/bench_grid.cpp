// The board grid with 100,000 jobs of 37 columns, against a bare query loop
// that reads the same rows into strings (the floor any fill stands on).
//
//   BM_BaselineQueryLoop  the query loop alone
//   BM_GridFill           the same strings joined by tabs into the grid, then
//                         formatted, fitted (sampled) and painted once
//   BM_BoardLinesOnly     the board's own text work (board::BoardReader:
//                         dates, stamps, drying days) with no grid
//   BM_BoardFill          the board's fill: its lines, row and status colours,
//                         drying alert, formatting, fitting, first paint
//   BM_BoardLinesWithDryingLog  BM_BoardLinesOnly with the drying log's
//                         summary (one statement for every job) and its alert
//   BM_BoardFillWithDryingLog   BM_BoardFill with the same, tooltips kept
//   BM_DryingSummaries    that summary statement alone
//   BM_GridScrollAndPaint jump to a far row of the filled board and repaint
//   BM_GridSortByDate     a click on the "Start Date" header
//
// Prints each case's median and, at the end, the medians as multiples of the
// baseline with the resident memory the filled grid added, and the drying
// log cases against the same cases without it. Every open job (5,000) has a
// drying log of 4 rooms, 4 points and 10 days of readings.
#include "base/Clock.h"
#include "base/Colors.h"
#include "board/BoardLines.h"
#include "data/BulkLoad.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "drying/DryingLog.h"
#include "settings/Company.h"
#include "widgets/GridWidget.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QApplication>
#include <QHash>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kJobs = 100000;
constexpr int kCols = board::kColumnCount;

// Set up by main() before any case runs.
data::Connection *g_db = nullptr;
int g_dryingLimit = 0;

double residentMiB()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    long size = 0, resident = 0;
    const int read = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return read == 2 ? double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

data::Rows runSelect()
{
    return board::selectJobs(*g_db, board::Filter {}, board::JobColumns::Board);
}

QString headerLine()
{
    return board::headers().join(u'\t');
}

void formatBoard(GridWidget &grid)
{
    for (int c = 0; c < kCols; ++c)
        grid.setColAlignmentCenter(c);
    grid.setColHidden(board::ColFlash);
    grid.setColFormat(board::ColBilledAmount, QStringLiteral("$#,##0.00"));
    grid.setColFormat(board::ColHours, QStringLiteral("#,##0.00"));
    for (int c : board::kDateColumns)
        grid.setColDataType(c, GridWidget::DataType::Date);
    for (int c : board::kBooleanColumns)
        grid.setColDataType(c, GridWidget::DataType::Boolean);
    grid.autoSize(0, kCols - 1);
    grid.setFixedRows(1);
    grid.setFixedCols(0);
    grid.redraw();
}

const board::DryingLogOptions kWithDryingLog { .summaries = true, .alertFromLog = true };

// Fills the grid the way the board does: header, one tab-separated line per
// job, job-type row colour, status colour, drying alert (and, as the board
// screen does, the drying log's tooltips by job).
void fillBoard(GridWidget &grid, const board::DryingLogOptions &drying = {})
{
    grid.setCols(kCols);
    grid.setRows(0);
    grid.addItem(headerLine());
    formatBoard(grid);

    board::BoardReader reader(*g_db, board::Filter {}, Clock::today(), g_dryingLimit, drying);
    board::BoardLine line;
    QHash<qint64, QString> tips;
    int row = 1;
    while (reader.next(line)) {
        grid.addItem(line.text);
        if (!line.dryingTip.isEmpty())
            tips.insert(QStringView(line.text).left(line.text.indexOf(u'\t')).toLongLong(), line.dryingTip);
        if (line.rowColour)
            grid.setCellBackColor(row, 0, row, kCols - 1, *line.rowColour);
        if (line.dryingAlert)
            grid.setCellBackColor(row, board::ColDryingDays, Colors::kRed);
        grid.setCellBackColor(row, board::ColStatus, line.statusColour);
        ++row;
    }
    formatBoard(grid);
    // Ready to look at: laid out and painted once.
    QApplication::processEvents();
    grid.viewport()->repaint();
}

// The bare cost of the grid: the baseline's strings joined by tabs, added,
// formatted and painted.
void fillPlain(GridWidget &grid)
{
    grid.setCols(kCols);
    grid.setRows(0);
    grid.addItem(headerLine());
    data::Rows query = runSelect();
    QString line;
    while (query.next()) {
        line = query.value(0).toString();
        for (int c = 1; c < kCols; ++c) {
            line += u'\t';
            line += query.value(c).toString();
        }
        grid.addItem(line);
    }
    formatBoard(grid);
    QApplication::processEvents();
    grid.viewport()->repaint();
}

std::unique_ptr<GridWidget> newGrid()
{
    auto grid = std::make_unique<GridWidget>();
    grid->resize(1400, 900);
    grid->show();
    QApplication::processEvents();
    return grid;
}

void BM_BaselineQueryLoop(benchmark::State &state)
{
    qint64 rows = 0;
    qint64 chars = 0;
    for (auto _ : state) {
        data::Rows query = runSelect();
        rows = 0;
        chars = 0;
        while (query.next()) {
            for (int c = 0; c < kCols; ++c) {
                const QString text = query.value(c).toString();
                chars += text.size();
                benchmark::DoNotOptimize(text.constData());
            }
            ++rows;
        }
    }
    state.counters["rows"] = double(rows);
    state.counters["text_MiB"] = double(chars) * 2 / (1024.0 * 1024.0);
}

template <typename Fill> void measureFill(benchmark::State &state, Fill fill)
{
    double delta = 0;
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = newGrid();
        malloc_trim(0);
        const double before = residentMiB();
        state.ResumeTiming();

        fill(*grid);

        state.PauseTiming();
        delta = residentMiB() - before;
        rows = grid->rows() - 1;
        grid.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["rss_delta_MiB"] = delta;
}

// The board's own text work without a grid: what BM_BoardFill spends
// outside the grid.
void BM_BoardLinesOnly(benchmark::State &state)
{
    const QDate today = Clock::today();
    board::BoardLine line;
    for (auto _ : state) {
        board::BoardReader reader(*g_db, board::Filter {}, today, g_dryingLimit);
        while (reader.next(line))
            benchmark::DoNotOptimize(line.text.constData());
    }
}

void BM_BoardLinesWithDryingLog(benchmark::State &state)
{
    const QDate today = Clock::today();
    board::BoardLine line;
    int tips = 0;
    for (auto _ : state) {
        board::BoardReader reader(*g_db, board::Filter {}, today, g_dryingLimit, kWithDryingLog);
        tips = 0;
        while (reader.next(line)) {
            benchmark::DoNotOptimize(line.text.constData());
            tips += line.dryingTip.isEmpty() ? 0 : 1;
        }
    }
    state.counters["tips"] = tips;
}

// The drying log's one statement alone.
void BM_DryingSummaries(benchmark::State &state)
{
    qsizetype jobs = 0;
    for (auto _ : state)
        jobs = drying::loadSummaries(*g_db).size();
    state.counters["jobs"] = double(jobs);
}

void BM_BoardFillWithDryingLog(benchmark::State &state)
{
    measureFill(state, [](GridWidget &grid) { fillBoard(grid, kWithDryingLog); });
}

void BM_GridFill(benchmark::State &state)
{
    measureFill(state, fillPlain);
}

// As the board fills it: dates and stamps as text, row and status colours,
// the drying alert.
void BM_BoardFill(benchmark::State &state)
{
    measureFill(state, [](GridWidget &grid) { fillBoard(grid); });
}

// One filled board for the cases that work on it; main() drops it while the
// application still exists.
std::unique_ptr<GridWidget> g_board;

GridWidget &filledBoard()
{
    if (!g_board) {
        g_board = newGrid();
        fillBoard(*g_board);
    }
    return *g_board;
}

// Moving through a filled board: jump to a far row and paint the view.
void BM_GridScrollAndPaint(benchmark::State &state)
{
    GridWidget &grid = filledBoard();
    int row = 1;
    for (auto _ : state) {
        row = (row + 37813) % (grid.rows() - 1) + 1;
        grid.setRow(row);
        grid.viewport()->repaint();
    }
    state.counters["rows"] = grid.rows() - 1;
}

// A click on the "Start Date" header: 100,000 dates parsed and sorted.
void BM_GridSortByDate(benchmark::State &state)
{
    GridWidget &grid = filledBoard();
    Qt::SortOrder order = Qt::AscendingOrder;
    for (auto _ : state) {
        grid.gridModel()->sort(board::ColStartDate, order);
        grid.viewport()->repaint();
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    }
}

BENCHMARK(BM_BaselineQueryLoop)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardLinesOnly)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardLinesWithDryingLog)->Apply(medianOf<5, 1>);
BENCHMARK(BM_DryingSummaries)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardFillWithDryingLog)->Apply(medianOf<5, 1>);
BENCHMARK(BM_GridFill)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardFill)->Apply(medianOf<5, 1>);
BENCHMARK(BM_GridScrollAndPaint)->Apply(medianOf<3, 50>);
BENCHMARK(BM_GridSortByDate)->Apply(medianOf<3, 2>);

// After the usual table, the medians against the baseline.
void printSummary(const Medians &medians)
{
    const auto base = medians.find("BM_BaselineQueryLoop");
    if (base == medians.end() || base->second.real <= 0 || base->second.cpu <= 0)
        return;
    std::printf("\nMedians against the baseline (bare query loop over %d jobs x %d columns):\n", kJobs, kCols);
    std::printf("  %-28s %12s %8s %12s %8s %14s\n", "case", "real ms", "ratio", "cpu ms", "ratio", "resident MiB");
    double text = 0;
    for (const auto &[name, m] : medians) {
        std::printf("  %-28s %12.2f %8.2f %12.2f %8.2f", name.c_str(), m.real, m.real / base->second.real, m.cpu,
            m.cpu / base->second.cpu);
        if (const double memory = m.counter("rss_delta_MiB"); memory >= 0)
            std::printf(" %14.1f", memory);
        std::printf("\n");
        text = m.counter("text_MiB", text);
    }
    std::printf("  (ratios of the per-iteration medians; the baseline's cell text is %.1f MiB as UTF-16)\n", text);
    std::printf("\nThe drying log's summary and alert against the same case without it:\n");
    for (const auto &[with, without] : { std::pair { "BM_BoardLinesWithDryingLog", "BM_BoardLinesOnly" },
             std::pair { "BM_BoardFillWithDryingLog", "BM_BoardFill" } }) {
        const auto a = medians.find(with);
        const auto b = medians.find(without);
        if (a != medians.end() && b != medians.end() && b->second.real > 0 && b->second.cpu > 0)
            std::printf("  %-28s real %9.2f / %9.2f ms = %.3f, cpu %9.2f / %9.2f ms = %.3f\n", with, a->second.real,
                b->second.real, a->second.real / b->second.real, a->second.cpu, b->second.cpu,
                a->second.cpu / b->second.cpu);
    }
}

// A drying log for every open job: 4 rooms (two affected), 2 points in each
// affected room, 10 days of readings; every value bound.
void seedDryingLogs(data::Connection &db)
{
    const QDate today = Clock::today();
    data::Transaction transaction(db);
    data::Rows jobs = db.exec(QStringLiteral("SELECT ID FROM WIP WHERE Status <> ?"), { QStringLiteral("Closed") });
    QList<qint64> ids;
    while (jobs.next())
        ids << jobs.value(0).toLongLong();
    data::BulkLoad air(db, QStringLiteral("DryingAtmosphere"),
        { QStringLiteral("RoomID"), QStringLiteral("TakenAt"), QStringLiteral("Temperature"),
            QStringLiteral("Humidity") });
    data::BulkLoad values(db, QStringLiteral("MoistureReading"),
        { QStringLiteral("PointID"), QStringLiteral("TakenAt"), QStringLiteral("Value") });
    for (qint64 id : ids) {
        for (int r = 0; r < 4; ++r) {
            const qint64 room = db.insertRow(QStringLiteral("DryingRoom"),
                { { QStringLiteral("WIPID"), id }, { QStringLiteral("Name"), QStringLiteral("Room %1").arg(r) },
                    { QStringLiteral("Affected"), r < 2 }, { QStringLiteral("Outside"), r == 3 } });
            for (int day = 0; day < 10; ++day)
                air.add({ room, QDateTime(today.addDays(day - 9), QTime(9, 0)), 78.0, 60.0 - day });
            for (int p = 0; r < 2 && p < 2; ++p) {
                const qint64 point = db.insertRow(QStringLiteral("MoisturePoint"),
                    { { QStringLiteral("RoomID"), room }, { QStringLiteral("Material"), QStringLiteral("Drywall") },
                        { QStringLiteral("DryGoal"), 12.0 } });
                for (int day = 0; day < 10; ++day)
                    values.add({ point, today.addDays(day - 9).startOfDay(), 30.0 - (id % 3 + 1) * day });
            }
        }
    }
    air.finish();
    values.finish();
    transaction.commit();
}

} // namespace

int main(int argc, char **argv)
{
    benchdata::headless(true);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    data::Connection db;
    try {
        data::DemoOptions options;
        options.jobs = kJobs;
        options.bookingsPerJob = 0;
        if (!benchdata::openDemo(db, dir.path(), options))
            seedDryingLogs(db);
        if (const std::optional<CompanyRow> company = Company::load(db))
            g_dryingLimit = company->dryingDays;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot build the bench database: %s\n", e.what());
        return 1;
    }
    g_db = &db;

    runBenchmarks(argc, argv, printSummary);
    g_board.reset();
    return 0;
}
