// The WIP entry screen against a large job database: opening it with every
// list filled, and a save followed by the reload of lists and record. Each is
// paired with a baseline that makes the same core calls the screen makes
// (wip::loadWipLists, saveWip, updateWipLists, loadWip, loadContractors) with
// no controls to fill, so the ratio is the screen's own cost.
//
// JT_BENCH_JOBS sets the number of jobs (default 100000); JT_BENCH_DB names an
// already seeded database to run on instead (its WIP in the middle is saved).
// The save with the job history's triggers is paired with the same save with
// them dropped for the case (made again after it), which is their cost.
#include "base/Clock.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "shell/AppContext.h"
#include "widgets/Messages.h"
#include "wip/WipLists.h"
#include "wip/WipRecord.h"
#include "wip/ui/frmWIPEntry.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {

// Set up by main() before any case runs.
data::Connection *g_db = nullptr;
AppContext *g_context = nullptr;
qint64 g_wipId = 0;

// Items in every list, so that nothing read goes unused.
qsizetype itemCount(const wip::WipLists &lists)
{
    qsizetype count = 0;
    for (const QStringList *list : { &lists.wipLabels, &lists.wipIds, &lists.statuses, &lists.states, &lists.jobTypes,
             &lists.software, &lists.payments, &lists.typesOfService, &lists.customers, &lists.reps, &lists.insurances,
             &lists.agents, &lists.adjusters, &lists.adjustersUpdated, &lists.subcontractors })
        count += list->size();
    return count;
}

void BM_OpenScreen(benchmark::State &state)
{
    for (auto _ : state) {
        auto screen = std::make_unique<frmWIPEntry>(*g_context);
        if (!screen->open()) {
            state.SkipWithError("the screen did not open");
            break;
        }
        benchmark::DoNotOptimize(screen->findChild<QComboBox *>(QStringLiteral("cmbWIP"))->count());
    }
}

void BM_OpenScreenBaseline(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(itemCount(wip::loadWipLists(*g_db)));
}

void BM_SaveAndReload(benchmark::State &state)
{
    frmWIPEntry screen(*g_context);
    if (!screen.open()) {
        state.SkipWithError("the screen did not open");
        return;
    }
    screen.LoadWIP(QString::number(g_wipId));
    auto *city = screen.findChild<QLineEdit *>(QStringLiteral("txtCity"));
    auto *save = screen.findChild<QPushButton *>(QStringLiteral("btnSave"));
    int round = 0;
    for (auto _ : state) {
        city->setText(QStringLiteral("Brackwell %1").arg(++round % 2));
        save->click();
    }
    if (!Messages::shown().isEmpty()
        || screen.findChild<QLabel *>(QStringLiteral("lblID"))->text().toLongLong() != g_wipId)
        state.SkipWithError("the save did not go through");
}

// What the screen's save runs underneath: the row and its subcontractors
// written in one transaction, the lists the save can have changed brought
// up to date, the record and its subcontractors read back.
void BM_SaveAndReloadBaseline(benchmark::State &state)
{
    std::optional<wip::WipRecord> record = wip::loadWip(*g_db, g_wipId);
    if (!record) {
        state.SkipWithError("the WIP is missing");
        return;
    }
    const QStringList contractors = wip::loadContractors(*g_db, g_wipId);
    wip::WipLists lists = wip::loadWipLists(*g_db);
    int round = 0;
    for (auto _ : state) {
        wip::SavedWip saved { *record, *record, contractors, contractors };
        saved.after.city = QStringLiteral("Brackwell %1").arg(++round % 2);
        const qint64 id = wip::saveWip(*g_db, saved.after, contractors, g_context->stamp(), contractors);
        qsizetype items = wip::updateWipLists(*g_db, lists, saved).size() + itemCount(lists);
        std::optional<wip::WipRecord> reloaded = wip::loadWip(*g_db, id);
        items += wip::loadContractors(*g_db, id).size();
        benchmark::DoNotOptimize(items);
        // The next save goes from what was read back, as the screen's does
        // (a save from a stale read is refused).
        if (!reloaded) {
            state.SkipWithError("the WIP is gone");
            break;
        }
        record = std::move(reloaded);
    }
}

// A job's save as the office makes it, its status moved on each time, so
// the history's triggers write a row for each field and the status's date:
// with the triggers, and (the baseline) with them dropped for the case.
void saveStatusChanges(benchmark::State &state)
{
    std::optional<wip::WipRecord> record = wip::loadWip(*g_db, g_wipId);
    if (!record) {
        state.SkipWithError("the WIP is missing");
        return;
    }
    const QStringList contractors = wip::loadContractors(*g_db, g_wipId);
    int round = 0;
    for (auto _ : state) {
        ++round;
        record->status = round % 2 ? QStringLiteral("Drying") : QStringLiteral("In Progress");
        record->city = QStringLiteral("Brackwell %1").arg(round % 2);
        wip::saveWip(*g_db, *record, contractors, g_context->stamp(), contractors);
        state.PauseTiming();
        record = wip::loadWip(*g_db, g_wipId);
        state.ResumeTiming();
        if (!record) {
            state.SkipWithError("the WIP is gone");
            break;
        }
    }
}

void BM_SaveWithHistory(benchmark::State &state)
{
    saveStatusChanges(state);
}

void BM_SaveWithoutHistory(benchmark::State &state)
{
    const QStringList again = data::dropHistoryTriggers(*g_db);
    saveStatusChanges(state);
    for (const QString &statement : again)
        g_db->execScript(statement);
}

// After the usual table, each screen case against its baseline.
void printSummary(const Medians &medians)
{
    std::printf("\nMedians against the baseline (the same core calls without the screen):\n");
    std::printf(
        "  %-20s %12s %12s %8s %12s %12s %8s\n", "case", "real ms", "base ms", "ratio", "cpu ms", "base ms", "ratio");
    for (const char *name : { "BM_OpenScreen", "BM_SaveAndReload" }) {
        const auto screen = medians.find(name);
        const auto base = medians.find(std::string(name) + "Baseline");
        if (screen == medians.end() || base == medians.end() || base->second.real <= 0 || base->second.cpu <= 0)
            continue;
        const Median &s = screen->second;
        const Median &b = base->second;
        std::printf("  %-20s %12.2f %12.2f %8.2f %12.2f %12.2f %8.2f\n", name, s.real, b.real, s.real / b.real, s.cpu,
            b.cpu, s.cpu / b.cpu);
    }
}

} // namespace

BENCHMARK(BM_OpenScreen)->Apply(medianOf<5, 3>);
BENCHMARK(BM_OpenScreenBaseline)->Apply(medianOf<5, 3>);
BENCHMARK(BM_SaveAndReload)->Apply(medianOf<5, 3>);
BENCHMARK(BM_SaveAndReloadBaseline)->Apply(medianOf<5, 3>);
BENCHMARK(BM_SaveWithHistory)->Apply(medianOf<7, 40>);
BENCHMARK(BM_SaveWithoutHistory)->Apply(medianOf<7, 40>);

int main(int argc, char **argv)
{
    benchdata::headless(false);
    QApplication app(argc, argv);
    Messages::setRecording(true);

    QTemporaryDir dir;
    data::Connection db;
    AppContext context(db);
    try {
        data::DemoOptions options;
        options.jobs = benchdata::jobs();
        options.today = Clock::today();
        QElapsedTimer timer;
        timer.start();
        if (!benchdata::openDemo(db, dir.path(), options))
            std::fprintf(stderr, "seeded %d jobs in %.1f s\n", options.jobs, double(timer.elapsed()) / 1000.0);
        context.LoadCompanySettings();
        const qint64 middle = db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP")).toLongLong() / 2;
        g_wipId = db.scalar(QStringLiteral("SELECT MIN(WIPID) FROM WIPContractors WHERE WIPID > ?"), { middle })
                      .toLongLong();
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    Login::User user;
    user.username = QStringLiteral("bench");
    context.setUser(user);
    g_db = &db;
    g_context = &context;

    runBenchmarks(argc, argv, printSummary);
    return 0;
}
