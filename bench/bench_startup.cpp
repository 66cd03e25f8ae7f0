// Start-up to the login screen: the program started as a process that leaves
// as soon as its login screen is up (JT_EXIT_AT_LOGIN), timed from the start
// of the process to its end, against the least a Qt Widgets program takes to
// show an empty dialog and leave the same way. child_peak_MiB is the largest
// resident size a started process reached.
//
// The program runs from a copy beside a config.txt of its own, on a small
// demo database seeded here, or on JT_BENCH_DB (a connection string) as it is.
#include "BenchData.h"
#include "MedianReporter.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

QString g_program;

// Starts the program, waits for it; false when it failed.
bool runOnce(const QByteArray &path, double &peakMiB)
{
    char *argv[] = { const_cast<char *>(path.constData()), nullptr };
    pid_t pid = 0;
    if (posix_spawn(&pid, path.constData(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    peakMiB = std::max(peakMiB, double(usage.ru_maxrss) / 1024.0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void measure(benchmark::State &state, const QString &program)
{
    const QByteArray path = QFile::encodeName(program);
    double peak = 0;
    for (auto _ : state) {
        if (!runOnce(path, peak)) {
            state.SkipWithError("the program did not start and leave cleanly");
            return;
        }
    }
    state.counters["child_peak_MiB"] = peak;
}

void BM_StartUpToLogin(benchmark::State &state)
{
    measure(state, g_program);
}

void BM_StartUpToLoginBaseline(benchmark::State &state)
{
    measure(state, QStringLiteral(JT_EMPTY_DIALOG));
}

BENCHMARK(BM_StartUpToLogin)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_StartUpToLoginBaseline)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qputenv("JT_EXIT_AT_LOGIN", "1");
    benchdata::headless(false);
    QTemporaryDir dir;
    // Its own lock folder: a copy the developer runs meanwhile does not count.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QString connection = benchdata::sharedDb();
    try {
        if (connection.isEmpty()) {
            connection = QStringLiteral("Provider=SQLite;Data Source=%1").arg(dir.filePath(QStringLiteral("bench.db")));
            data::Connection db;
            db.open(connection, {}, data::OpenOptions { true });
            data::createSchema(db);
            data::addAdministrator(db, QStringLiteral("admin"), QStringLiteral("admin"));
            data::seedDemo(db, data::DemoOptions {});
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot build the bench database: %s\n", e.what());
        return 1;
    }
    const QString customers = qEnvironmentVariable("JT_BENCH_CUSTOMERS", QStringLiteral("customers.mdb"));
    QFile config(dir.filePath(QStringLiteral("config.txt")));
    if (!config.open(QIODevice::WriteOnly)
        || config.write(QStringLiteral("\"Job Tracker\"\nDatabase,\"%1\"\nCustomerDatabase,\"%2\"\n")
                            .arg(connection, customers)
                            .toUtf8())
            < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(config.fileName()));
        return 1;
    }
    config.close();
    // The program reads the config.txt beside itself.
    g_program = dir.filePath(QStringLiteral("jobtracker"));
    if (!QFile::copy(QStringLiteral(JT_PROGRAM), g_program)) {
        std::fprintf(stderr, "cannot copy %s\n", JT_PROGRAM);
        return 1;
    }

    return runBenchmarks(argc, argv);
}
