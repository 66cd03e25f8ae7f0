// The WIP entry screen against a large job database: opening it with every
// list filled, and a save followed by the reload of lists and record. Each is
// paired with a baseline that runs the same statements over the same rows and
// only reads the values, so the ratio is the screen's own cost.
//
// JT_BENCH_JOBS sets the number of jobs (default 100000).
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "base/Clock.h"
#include "widgets/Messages.h"
#include "shell/modMain.h"
#include "wip/ui/frmWIPEntry.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

qint64 g_wipId = 0;

const char *const kListQueries[] = {
    "SELECT ID,Customer FROM WIP ORDER BY Customer,ID",
    "SELECT ID,Name FROM WIPStatus ORDER BY Name",
    "SELECT State FROM State ORDER BY State",
    "SELECT ID,Name FROM WIPJobType ORDER BY Name",
    "SELECT ID,Name FROM WIPSoftware ORDER BY Name",
    "SELECT ID,Name FROM WIPPayment ORDER BY Name",
    "SELECT ID,Name FROM WIPTypeOfService ORDER BY Name",
    "SELECT DISTINCT Customer FROM WIP ORDER BY Customer",
    "SELECT DISTINCT Rep FROM WIP ORDER BY Rep",
    "SELECT DISTINCT Insurance FROM WIP ORDER BY Insurance",
    "SELECT DISTINCT Agent FROM WIP ORDER BY Agent",
    "SELECT DISTINCT Adjuster FROM WIP ORDER BY Adjuster",
    "SELECT DISTINCT AdjusterUpdatedBy FROM WIP ORDER BY AdjusterUpdatedBy",
    "SELECT DISTINCT Contractor FROM WIPContractors ORDER BY Contractor",
};

// Reads every row of a query, every column as text.
qint64 drain(QSqlQuery &query)
{
    qint64 chars = 0;
    const int columns = query.record().count();
    while (query.next()) {
        for (int c = 0; c < columns; ++c)
            chars += query.value(c).toString().size();
    }
    return chars;
}

qint64 bareLists()
{
    qint64 chars = 0;
    for (const char *sql : kListQueries) {
        QSqlQuery query = data::exec(QString::fromLatin1(sql));
        chars += drain(query);
    }
    return chars;
}

void BM_OpenScreen(benchmark::State &state)
{
    for (auto _ : state) {
        auto screen = std::make_unique<frmWIPEntry>();
        benchmark::DoNotOptimize(screen->findChild<QComboBox *>(QStringLiteral("cmbWIP"))->count());
    }
}

void BM_OpenScreenBaseline(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(bareLists());
}

void BM_SaveAndReload(benchmark::State &state)
{
    frmWIPEntry screen;
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

// The same statements bare: the row update and subcontractor rewrite in one
// transaction, the fourteen lists, the record and its subcontractors.
void BM_SaveAndReloadBaseline(benchmark::State &state)
{
    QSqlQuery row = data::exec(QStringLiteral("SELECT * FROM WIP WHERE ID=?"), { g_wipId });
    row.next();
    const QSqlRecord record = row.record();
    QStringList sets;
    QVariantList values;
    for (int c = 0; c < record.count(); ++c) {
        if (record.fieldName(c).compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0)
            continue;
        sets << record.fieldName(c) + QStringLiteral("=?");
        values << row.value(c);
    }
    values << g_wipId;
    const QString update = QStringLiteral("UPDATE WIP SET %1 WHERE ID=?").arg(sets.join(u','));
    const QStringList contractors = [] {
        QSqlQuery q = data::exec(QStringLiteral("SELECT Contractor FROM WIPContractors WHERE WIPID=?"), { g_wipId });
        QStringList names;
        while (q.next())
            names << q.value(0).toString();
        return names;
    }();
    for (auto _ : state) {
        {
            data::Transaction transaction;
            data::exec(update, values);
            data::exec(QStringLiteral("DELETE FROM WIPContractors WHERE WIPID=?"), { g_wipId });
            data::Statement insert(QStringLiteral("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?)"));
            for (const QString &name : contractors)
                insert.run({ g_wipId, name });
            transaction.commit();
        }
        qint64 chars = bareLists();
        QSqlQuery load = data::exec(
            QStringLiteral("SELECT WIP.*, (SELECT SUM(Hours) FROM EmployeeTime WHERE EmployeeTime.WIPID=WIP.ID), "
                           "(SELECT MIN(ColorCode) FROM WIPStatus WHERE WIPStatus.Name=WIP.Status) "
                           "FROM WIP WHERE WIP.ID=?"),
            { g_wipId });
        chars += drain(load);
        QSqlQuery subs = data::exec(
            QStringLiteral("SELECT Contractor FROM WIPContractors WHERE WIPID=? ORDER BY Contractor"), { g_wipId });
        chars += drain(subs);
        benchmark::DoNotOptimize(chars);
    }
}

} // namespace

BENCHMARK(BM_OpenScreen)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenScreenBaseline)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveAndReload)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveAndReloadBaseline)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Messages::setRecording(true);

    QTemporaryDir dir;
    const int jobs
        = qEnvironmentVariableIsSet("JT_BENCH_JOBS") ? qEnvironmentVariableIntValue("JT_BENCH_JOBS") : 100000;
    try {
        data::OpenConnection(QStringLiteral("Provider=SQLite;Data Source=bench.db"), dir.path(), { true });
        data::createSchema();
        QElapsedTimer timer;
        timer.start();
        data::DemoOptions options;
        options.jobs = jobs;
        options.today = Clock::today();
        data::seedDemo(options);
        std::fprintf(stderr, "seeded %d jobs in %.1f s\n", jobs, double(timer.elapsed()) / 1000.0);
        LoadCompanySettings();
        g_wipId = data::scalar(QStringLiteral("SELECT MIN(WIPID) FROM WIPContractors WHERE WIPID > ?"), { jobs / 2 })
                      .toLongLong();
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    gUsername = QStringLiteral("bench");

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    data::CloseConnection();
    return 0;
}
