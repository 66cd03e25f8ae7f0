// The board report of 10,000 jobs (with their bookings) written as PDF,
// against the board query's bare loop over the same jobs.
//
//   BM_BoardQueryLoop    the board's query with the report's columns, every
//                        value read as text (the floor any report stands on)
//   BM_BoardReportBuild  the report's query read into its document (cells,
//                        formats, tints)
//   BM_BoardReportPdf    the same, laid out and written to a PDF file
//   BM_WorkOrderPdf      one work order with ten time lines, to PDF
//   BM_EmptyPdf          an empty page written as PDF (the floor of any PDF)
//
// Prints each case's median and its ratio to the baseline, then the peak
// memory that writing the PDF adds for a quarter of the rows and for all of
// them: what the pages add is the difference.
//
// JT_BENCH_DB names an already seeded database to run on instead; the board
// report then lists its open jobs (the board's "Active Only", as it opens).
#include "base/Clock.h"
#include "board/BoardQuery.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "reports/ReportRenderer.h"
#include "reports/Reports.h"
#include "settings/Company.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fstream>
#include <malloc.h>
#include <map>
#include <string>

namespace {

constexpr int kJobs = 10000;

data::Connection *g_db = nullptr;
QString g_dir;
reports::RunTexts g_texts;
board::Filter g_filter;
qint64 g_workOrder = 2;

// kB of a line of /proc/self/status ("VmRSS", "VmHWM").
double statusMiB(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
    }
    return 0;
}

// Starts the peak anew at the current resident size (Linux 4.0 and later).
void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

reports::Document boardDocument()
{
    return reports::boardReport(*g_db, g_filter, g_texts, Clock::today());
}

void BM_BoardQueryLoop(benchmark::State &state)
{
    qint64 rows = 0;
    for (auto _ : state) {
        data::Rows query = board::selectJobs(*g_db, g_filter, board::JobColumns::Report);
        const int columns = query.record().count();
        rows = 0;
        while (query.next()) {
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(query.value(c).toString());
            ++rows;
        }
    }
    state.counters["rows"] = double(rows);
}

void BM_BoardReportBuild(benchmark::State &state)
{
    for (auto _ : state) {
        reports::Document document = boardDocument();
        benchmark::DoNotOptimize(document);
    }
}

void BM_BoardReportPdf(benchmark::State &state)
{
    const QString file = QDir(g_dir).filePath(QStringLiteral("board.pdf"));
    int pages = 0;
    for (auto _ : state)
        pages = reports::writePdf(boardDocument(), file);
    state.counters["pages"] = pages;
    state.counters["pdf_MiB"] = double(QFileInfo(file).size()) / (1024.0 * 1024.0);
}

void BM_WorkOrderPdf(benchmark::State &state)
{
    const QString file = QDir(g_dir).filePath(QStringLiteral("wo.pdf"));
    for (auto _ : state)
        reports::writePdf(reports::workOrder(*g_db, g_workOrder, g_texts, Clock::today()), file);
}

void BM_EmptyPdf(benchmark::State &state)
{
    const QString file = QDir(g_dir).filePath(QStringLiteral("empty.pdf"));
    for (auto _ : state) {
        QPdfWriter writer(file);
        QPainter painter(&writer);
        painter.end();
    }
}

BENCHMARK(BM_BoardQueryLoop)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardReportBuild)->Apply(medianOf<5, 1>);
BENCHMARK(BM_BoardReportPdf)->Apply(medianOf<5, 1>);
BENCHMARK(BM_WorkOrderPdf)->Apply(medianOf<3, 5>);
BENCHMARK(BM_EmptyPdf)->Apply(medianOf<3, 5>);

// After the usual table, the medians against the baseline.
void printSummary(const Medians &medians)
{
    const auto base = medians.find("BM_BoardQueryLoop");
    if (base == medians.end() || base->second.real <= 0)
        return;
    std::printf(
        "\nMedians against the baseline (the board query's bare loop over %.0f jobs):\n", base->second.counter("rows"));
    for (const auto &[name, m] : medians)
        std::printf("  %-22s %10.1f ms %8.2fx\n", name.c_str(), m.real, m.real / base->second.real);
}

// The memory that laying out and writing the PDF adds on top of the
// document, for the first `rows` rows of the board.
void reportMemory(const reports::Document &full, std::size_t rows)
{
    reports::Document document = full;
    auto &table = std::get<reports::Table>(document.blocks.front());
    table.rows.resize(std::min(rows, table.rows.size()));
    resetPeak();
    const double before = statusMiB("VmRSS");
    const int pages = reports::writePdf(document, QDir(g_dir).filePath(QStringLiteral("memory.pdf")));
    std::printf("  %6zu rows, %4d pages: writing the PDF peaked %6.1f MiB above the document\n", table.rows.size(),
        pages, statusMiB("VmHWM") - before);
}

} // namespace

int main(int argc, char **argv)
{
    benchdata::headless(true);
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = dir.path();
    data::Connection db;
    bool shared = false;
    try {
        data::DemoOptions options;
        options.jobs = kJobs;
        options.bookingsPerJob = 10;
        shared = benchdata::openDemo(db, dir.path(), options);
        if (shared) {
            g_filter.activeOnly = true;
            // An open job in the middle of the open ones.
            g_workOrder = db.scalar(QStringLiteral("SELECT MIN(ID) FROM WIP WHERE Status <> ? AND ID > ?"),
                                {
                                    QStringLiteral("Closed"),
                                    db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP")).toLongLong() * 99 / 100,
                                })
                              .toLongLong();
        }
        g_texts = reports::runTexts(Company::load(db).value_or(CompanyRow {}), QStringLiteral("bench"), Clock::now());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot build the bench database: %s\n", e.what());
        return 1;
    }
    g_db = &db;
    runBenchmarks(argc, argv, printSummary);
    // scripts/bench measures each case's peak itself.
    if (shared)
        return 0;

    std::printf("\nMemory (resident, MiB):\n");
    resetPeak();
    const double empty = statusMiB("VmRSS");
    const reports::Document full = boardDocument();
    malloc_trim(0);
    const std::size_t jobs = std::get<reports::Table>(full.blocks.front()).rows.size();
    std::printf("  the document of %zu jobs holds %.1f MiB\n", jobs, statusMiB("VmRSS") - empty);
    for (std::size_t rows : { jobs / 4, jobs })
        reportMemory(full, rows);
    return 0;
}
