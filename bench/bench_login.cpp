// The cost of one login: the employee lookup alone (what a plain-text
// comparison in SQL cost) against the whole check with the Argon2id hash,
// and a name nobody has against a known name with a wrong password: the two
// must take the same time, or the answer tells which names exist.
#include "base/Passwords.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "shell/Login.h"

#include "MedianReporter.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Database
{
    QTemporaryDir dir;
    data::Connection db;
    Database()
    {
        data::OpenOptions options;
        options.createSqliteFile = true;
        db.open(QStringLiteral("Provider=SQLite;Data Source=bench.db"), dir.path(), options);
        data::createSchema(db);
        // A staff of 200 logins, the one that logs in among them.
        for (int i = 0; i < 200; ++i) {
            db.insertRow(QStringLiteral("Employee"),
                { { QStringLiteral("Inactive"), false },
                    { QStringLiteral("Username"), QStringLiteral("user%1").arg(i) },
                    { QStringLiteral("Password"),
                        i == 100 ? Passwords::hash(QStringLiteral("Secret 1"))
                                 : QStringLiteral("$argon2id$placeholder") } });
        }
    }
};

data::Connection &database()
{
    static Database database;
    return database.db;
}

void BM_LookupOnly(benchmark::State &state)
{
    data::Connection &db = database();
    const QString sql = QStringLiteral("SELECT Employee.ID,EmployeeType.Name AS UserType,Employee.Username,"
                                       "Employee.Password FROM Employee LEFT JOIN EmployeeType"
                                       " ON Employee.UserTypeID=EmployeeType.ID WHERE ")
        + db.dialect().equalsIgnoreCase(QStringLiteral("Employee.Username"), QStringLiteral("?"))
        + QStringLiteral(" AND Employee.Inactive <> ? ORDER BY Employee.ID");
    for (auto _ : state) {
        data::Rows q = db.exec(sql, { QStringLiteral("USER100"), true });
        benchmark::DoNotOptimize(q.next());
    }
}
BENCHMARK(BM_LookupOnly)->Unit(benchmark::kMillisecond);

void BM_Authenticate(benchmark::State &state)
{
    data::Connection &db = database();
    for (auto _ : state)
        benchmark::DoNotOptimize(Login::authenticate(db, QStringLiteral("USER100"), QStringLiteral("Secret 1")));
}
BENCHMARK(BM_Authenticate)->Unit(benchmark::kMillisecond);

void BM_WrongPassword(benchmark::State &state)
{
    data::Connection &db = database();
    for (auto _ : state)
        benchmark::DoNotOptimize(Login::authenticate(db, QStringLiteral("USER100"), QStringLiteral("wrong")));
}
BENCHMARK(BM_WrongPassword)->Unit(benchmark::kMillisecond);

void BM_UnknownName(benchmark::State &state)
{
    data::Connection &db = database();
    for (auto _ : state)
        benchmark::DoNotOptimize(Login::authenticate(db, QStringLiteral("nobody"), QStringLiteral("wrong")));
}
BENCHMARK(BM_UnknownName)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
