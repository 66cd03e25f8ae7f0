// The cost of one login: the employee lookup alone (what a plain-text
// comparison in SQL cost) against the whole check with the Argon2id hash.
#include "data/Database.h"
#include "data/Schema.h"
#include "shell/Login.h"
#include "base/Passwords.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Database
{
    QTemporaryDir dir;
    Database()
    {
        data::OpenOptions options;
        options.createSqliteFile = true;
        data::OpenConnection(QStringLiteral("Provider=SQLite;Data Source=bench.db"), dir.path(), options);
        data::createSchema();
        // A staff of 200 logins, the one that logs in among them.
        for (int i = 0; i < 200; ++i) {
            data::insertRow(QStringLiteral("Employee"),
                { { QStringLiteral("Inactive"), false },
                    { QStringLiteral("Username"), QStringLiteral("user%1").arg(i) },
                    { QStringLiteral("Password"),
                        i == 100 ? Passwords::hash(QStringLiteral("Secret 1"))
                                 : QStringLiteral("$argon2id$placeholder") } });
        }
    }
    ~Database() { data::CloseConnection(); }
};

Database &database()
{
    static Database db;
    return db;
}

void BM_LookupOnly(benchmark::State &state)
{
    database();
    const QString sql = QStringLiteral("SELECT Employee.ID,EmployeeType.Name AS UserType,Employee.Username,"
                                       "Employee.Password FROM Employee LEFT JOIN EmployeeType"
                                       " ON Employee.UserTypeID=EmployeeType.ID WHERE ")
        + data::dialect().equalsIgnoreCase(QStringLiteral("Employee.Username"), QStringLiteral("?"))
        + QStringLiteral(" AND Employee.Inactive <> ?");
    for (auto _ : state) {
        QSqlQuery q = data::exec(sql, { QStringLiteral("USER100"), true });
        benchmark::DoNotOptimize(q.next());
    }
}
BENCHMARK(BM_LookupOnly)->Unit(benchmark::kMillisecond);

void BM_Authenticate(benchmark::State &state)
{
    database();
    for (auto _ : state)
        benchmark::DoNotOptimize(Login::authenticate(QStringLiteral("USER100"), QStringLiteral("Secret 1")));
}
BENCHMARK(BM_Authenticate)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
