// The whole database copied from SQLite into PostgreSQL (jobtracker-admin
// copy), against psql's \copy loading the same rows from CSV files.
//
//   BM_CopyIntoPostgres   copyDatabase() from the seeded SQLite file into a
//                         new, empty PostgreSQL database: its tables created,
//                         every row loaded, identities moved on, every table
//                         read back and checksummed, committed
//   BM_PsqlCopyBaseline   one psql run of \copy per table from CSV files of
//                         the same rows into a new database that has the
//                         tables already, in one transaction
//
// Needs a PostgreSQL server: JT_BENCH_PG_PORT (user postgres, trust) and psql
// on the PATH or in the server's bin folder (JT_BENCH_PSQL). JT_BENCH_JOBS
// sets the size (10 bookings a job; 100,000 jobs when unset).
#include "data/Copy.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {

QString g_port;
QString g_psql;
QString g_sqlite;
QString g_csvDir;
int g_jobs = 0;

// Drops and creates the database `name` on the server; its connection string.
QString freshDatabase(const QString &name)
{
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(QStringLiteral("127.0.0.1"));
        admin.setPort(g_port.toInt());
        admin.setDatabaseName(QStringLiteral("postgres"));
        admin.setUserName(QStringLiteral("postgres"));
        if (!admin.open())
            throw std::runtime_error("no PostgreSQL server on JT_BENCH_PG_PORT");
        QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    return QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=%1;Database=%2;User ID=postgres").arg(g_port, name);
}

// A CSV field: quoted, quotes doubled; NULL is the unquoted empty field.
QByteArray csvField(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    QString text;
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("t") : QStringLiteral("f");
        break;
    case QMetaType::Double:
        text = QString::number(value.toDouble(), 'g', 17);
        break;
    case QMetaType::QDateTime:
        text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        break;
    default:
        text = value.toString();
    }
    return '"' + text.toUtf8().replace('"', "\"\"") + '"';
}

// The source's tables as CSV files, and the psql script that loads them.
void writeCsv(data::Connection &source)
{
    QFile script(QDir(g_csvDir).filePath(QStringLiteral("load.sql")));
    if (!script.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the psql script");
    script.write("BEGIN;\n");
    for (const QString &table : data::copiedTables()) {
        QStringList columns;
        const QSqlRecord record = source.exec(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(table)).record();
        for (int i = 0; i < record.count(); ++i) {
            if (record.fieldName(i) != data::rowVersionColumn())
                columns << record.fieldName(i);
        }
        const QString path = QDir(g_csvDir).filePath(table + QStringLiteral(".csv"));
        QFile csv(path);
        if (!csv.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write a CSV file");
        data::Rows rows = source.exec(QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u','), table));
        QByteArray line;
        while (rows.next()) {
            line.clear();
            for (int i = 0; i < columns.size(); ++i) {
                if (i > 0)
                    line += ',';
                // As SQLite keeps them: booleans as 0 and 1, date-times as
                // ISO text, both of which the server reads.
                line += csvField(rows.value(i));
            }
            line += '\n';
            csv.write(line);
        }
        script.write(QStringLiteral("\\copy %1 (%2) FROM '%3' CSV\n").arg(table, columns.join(u','), path).toUtf8());
    }
    script.write("COMMIT;\n");
}

void BM_CopyIntoPostgres(benchmark::State &state)
{
    data::Connection source;
    source.open(QStringLiteral("Provider=SQLite;Data Source=%1").arg(g_sqlite), {});
    for (auto _ : state) {
        state.PauseTiming();
        data::Connection target;
        target.open(freshDatabase(QStringLiteral("jt_bench_copy")), {});
        state.ResumeTiming();
        const data::CopyResult result = data::copyDatabase(source, target);
        if (!result.committed)
            state.SkipWithError("the copy differs from the source");
    }
    state.counters["jobs"] = g_jobs;
}

void BM_PsqlCopyBaseline(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        {
            data::Connection target;
            target.open(freshDatabase(QStringLiteral("jt_bench_psql")), {});
            data::createSchema(target);
            for (const QString &table : data::copiedTables())
                target.exec(QStringLiteral("DELETE FROM %1").arg(table));
        }
        state.ResumeTiming();
        QProcess psql;
        psql.start(g_psql,
            { QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                QStringLiteral("127.0.0.1"), QStringLiteral("-p"), g_port, QStringLiteral("-U"),
                QStringLiteral("postgres"), QStringLiteral("-d"), QStringLiteral("jt_bench_psql"), QStringLiteral("-f"),
                QDir(g_csvDir).filePath(QStringLiteral("load.sql")) });
        if (!psql.waitForFinished(-1) || psql.exitCode() != 0)
            state.SkipWithError(psql.readAllStandardError().constData());
    }
    state.counters["jobs"] = g_jobs;
    // The load is done by psql and the server: this process's CPU time says
    // nothing of it. psql's peak as the kernel counts it includes the pages of
    // this process it was forked from.
    rusage children {};
    getrusage(RUSAGE_CHILDREN, &children);
    state.counters["child_peak_MiB"] = double(children.ru_maxrss) / 1024.0;
}

BENCHMARK(BM_CopyIntoPostgres)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_PsqlCopyBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

void printSummary(const Medians &medians)
{
    const auto copy = medians.find("BM_CopyIntoPostgres");
    const auto base = medians.find("BM_PsqlCopyBaseline");
    if (copy == medians.end() || base == medians.end() || base->second.real <= 0)
        return;
    std::printf("\n%d jobs, %d bookings: copy %.0f ms, psql \\copy %.0f ms, ratio %.2f\n", g_jobs, g_jobs * 10,
        copy->second.real, base->second.real, copy->second.real / base->second.real);
}

} // namespace

int main(int argc, char **argv)
{
    benchdata::headless(true);
    QCoreApplication app(argc, argv);
    g_port = qEnvironmentVariable("JT_BENCH_PG_PORT");
    if (g_port.isEmpty()) {
        std::fprintf(stderr, "bench_copy needs a PostgreSQL server: set JT_BENCH_PG_PORT\n");
        return 0;
    }
    g_psql = qEnvironmentVariable("JT_BENCH_PSQL", QStringLiteral("psql"));
    g_jobs = benchdata::jobs();
    QTemporaryDir dir;
    g_sqlite = dir.filePath(QStringLiteral("source.db"));
    g_csvDir = dir.path();
    try {
        data::Connection source;
        source.open(QStringLiteral("Provider=SQLite;Data Source=%1").arg(g_sqlite), {}, data::OpenOptions { true });
        data::createSchema(source);
        data::DemoOptions options;
        options.jobs = g_jobs;
        options.bookingsPerJob = 10;
        data::seedDemo(source, options);
        writeCsv(source);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot build the bench database: %s\n", e.what());
        return 1;
    }
    runBenchmarks(argc, argv, printSummary);
    return 0;
}
