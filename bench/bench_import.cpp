// The customer import's search over a customer file of 10,000 customers,
// against the baseline of a bare libmdb read of the same table (every row
// fetched into the same nine bound columns, nothing converted or sorted).
// JT_BENCH_CUSTOMERS names a customer file (password KVZ) to search instead
// of the one written here.
#include <glib.h>

#include <mdbtools.h>

#include "support/JetFile.h"
#include "wip/CustomerFile.h"

#include "MedianReporter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kCustomers = 10000;

// A deterministic list: a quarter without a company, some NULLs.
QList<jetfile::Customer> customers()
{
    const QStringList firsts { "John", "Ann", "Maria", "Tom", "Lee", "Grace", "Omar", "Ruth", "Ivan", "Chen" };
    const QStringList lasts { "Smith", "Jones", "Garcia", "Baker", "Nguyen", "Miller", "Okafor", "Larsen", "Rossi",
        "Brown", "Kowalski", "Haddad", "Silva" };
    const QStringList companies { "Acme", "Blacksmith Co", "Riverside Dental", "Oak Hill Church", "Summit Realty",
        "Lakeview Apartments", "North Star Diner" };
    QList<jetfile::Customer> list;
    quint32 seed = 12345;
    const auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(n));
    };
    for (int i = 1; i <= kCustomers; ++i) {
        const QVariant company = next(4) == 0
            ? QVariant()
            : QVariant(companies[next(int(companies.size()))] + QStringLiteral(" %1").arg(next(50)));
        list << jetfile::Customer { i, firsts[next(int(firsts.size()))], lasts[next(int(lasts.size()))], company,
            QStringLiteral("%1 %2 St").arg(1 + next(9000)).arg(lasts[next(int(lasts.size()))]),
            QStringLiteral("Springfield"), next(10) ? QVariant(QStringLiteral("IL")) : QVariant(),
            QStringLiteral("627%1").arg(next(100), 2, 10, QLatin1Char('0')),
            QStringLiteral("555-%1").arg(next(10000), 4, 10, QLatin1Char('0')) };
    }
    return list;
}

const QString &customerFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        if (const QString given = qEnvironmentVariable("JT_BENCH_CUSTOMERS"); !given.isEmpty())
            return given;
        const QString file = dir.filePath(QStringLiteral("customers.mdb"));
        const QString problem = jetfile::writeChecked(file, { jetfile::customerTable(customers()) });
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            std::exit(1);
        }
        return file;
    }();
    return path;
}

wip::CustomerDirectory &directory()
{
    static const auto open = wip::openCustomerFile({ customerFile(), QStringLiteral("KVZ") });
    return *open;
}

void BM_BareLibmdbRead(benchmark::State &state)
{
    MdbHandle *mdb = mdb_open(QFile::encodeName(customerFile()).constData(), MDB_NOFLAGS);
    mdb_read_catalog(mdb, MDB_TABLE);
    char name[] = "tblCustomers";
    MdbTableDef *table = mdb_read_table_by_name(mdb, name, MDB_TABLE);
    mdb_read_columns(table);
    std::array<std::vector<char>, 9> values;
    for (unsigned i = 0; i < values.size(); ++i) {
        values[i].assign(mdb->bind_size + 1, '\0');
        mdb_bind_column(table, int(i) + 1, values[i].data(), nullptr);
    }
    for (auto _ : state) {
        int rows = 0;
        mdb_rewind_table(table);
        while (mdb_fetch_row(table))
            ++rows;
        benchmark::DoNotOptimize(rows);
    }
    mdb_free_tabledef(table);
    mdb_close(mdb);
}
BENCHMARK(BM_BareLibmdbRead)->Unit(benchmark::kMillisecond);

// An empty search: all 10,000 listed, in order.
void BM_SearchEveryone(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(directory().search(QString()).size());
}
BENCHMARK(BM_SearchEveryone)->Unit(benchmark::kMillisecond);

// A typical search: a few letters of a name.
void BM_SearchText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(directory().search(QStringLiteral("smi")).size());
}
BENCHMARK(BM_SearchText)->Unit(benchmark::kMillisecond);

// Showing a pick: one customer by ID, from the middle of the file.
void BM_FindOne(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(directory().find(kCustomers / 2).has_value());
}
BENCHMARK(BM_FindOne)->Unit(benchmark::kMillisecond);

// Opening the screen: the header and password check, then the whole table
// read by the reader program through libmdb and handed over on its output.
void BM_OpenFile(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(wip::openCustomerFile({ customerFile(), QStringLiteral("KVZ") }));
}
BENCHMARK(BM_OpenFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    wip::setCustomerReaderPath(QStringLiteral(JT_CUSTOMER_READER_PATH));
    return runBenchmarks(argc, argv);
}
