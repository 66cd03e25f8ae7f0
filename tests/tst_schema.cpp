// backends: sqlite postgres odbc
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "settings/Company.h"
#include "shell/Passwords.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

#include <QSqlQuery>
#include <QTest>

class TestSchema : public QObject
{
    Q_OBJECT
private slots:
    void createdSchemaPassesCheck()
    {
        JT_FRESH_DB(db);
        QCOMPARE(data::checkSchema(), QStringList());
        const auto tables = data::expectedTables();
        QCOMPARE(tables.value(QStringLiteral("WIP")).size(), 45);
        QVERIFY(tables.value(QStringLiteral("EmployeeTime")).contains(QStringLiteral("TranDate")));
    }

    void checkNamesWhatIsMissing()
    {
        JT_FRESH_DB(db);
        data::execScript(QStringLiteral("DROP TABLE WIPContractors"));
        data::execScript(QStringLiteral("ALTER TABLE Company DROP COLUMN DryingDays"));
        const QStringList missing = data::checkSchema();
        QVERIFY2(missing.contains(QStringLiteral("table WIPContractors")), qPrintable(missing.join(u',')));
        QVERIFY(missing.contains(QStringLiteral("column Company.DryingDays")));
        QCOMPARE(missing.size(), 2);
    }

    void lookupRowsArePresent()
    {
        JT_FRESH_DB(db);
        for (const char *name : { "Fire", "Water", "Work Order" })
            QVERIFY(
                data::scalar(QStringLiteral("SELECT ID FROM WIPJobType WHERE Name = ?"), { QString::fromLatin1(name) })
                    .isValid());
        for (const char *name : { "Drying", "Closed" })
            QVERIFY(data::scalar(
                QStringLiteral("SELECT ColorCode FROM WIPStatus WHERE Name = ?"), { QString::fromLatin1(name) })
                        .isValid());
        for (const char *name : { "Company Info", "Employee Entry/Edit", "Quickbooks Sync", "WIPs Entry/Edit",
                 "WIPs Navigator", "Employee Time Manager", "Employee Time Entry/Edit", "Delete Employee Time" })
            QVERIFY2(
                data::scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { QString::fromLatin1(name) })
                    .isValid(),
                name);
        QCOMPARE(data::scalar(QStringLiteral("SELECT COUNT(*) FROM State")).toInt(), 51);
        QVERIFY(data::scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = 'Admin'")).isValid());
    }

    // Quotes, dates, booleans and doubles survive a round trip on every backend.
    void valuesRoundTrip()
    {
        JT_FRESH_DB(db);
        const QDateTime start(QDate(2026, 3, 30), QTime(14, 25, 10));
        const qint64 id = data::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QStringLiteral("O'Brien; DROP TABLE WIP --") },
                { QStringLiteral("StartDate"), start }, { QStringLiteral("CheckDryingDays"), true },
                { QStringLiteral("Billed"), false }, { QStringLiteral("AmountBilled"), 1234.56 } });
        QVERIFY(id > 0);
        QSqlQuery q = data::exec(
            QStringLiteral(
                "SELECT Customer, StartDate, CheckDryingDays, Billed, AmountBilled, Photos FROM WIP WHERE ID = ?"),
            { id });
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("O'Brien; DROP TABLE WIP --"));
        QCOMPARE(q.value(1).toDateTime(), start);
        QCOMPARE(q.value(2).toBool(), true);
        QCOMPARE(q.value(3).toBool(), false);
        QCOMPARE(q.value(4).toDouble(), 1234.56);
        QVERIFY(q.value(5).isNull());
        // An untouched text is written as "", never NULL; an invalid QVariant is NULL.
        const qint64 blank = data::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QString() }, { QStringLiteral("Rep"), QVariant() },
                { QStringLiteral("StartDate"), QDateTime() } });
        QSqlQuery b = data::exec(QStringLiteral("SELECT Customer, Rep, StartDate FROM WIP WHERE ID = ?"), { blank });
        QVERIFY(b.next());
        QVERIFY(!b.value(0).isNull());
        QCOMPARE(b.value(0).toString(), QString());
        QVERIFY(b.value(1).isNull());
        QVERIFY(b.value(2).isNull());
        const qint64 second
            = data::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Next") } });
        QCOMPARE(second, blank + 1);
    }

    void transactionRollsBackOnError()
    {
        JT_FRESH_DB(db);
        try {
            data::Transaction t;
            data::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Half") } });
            data::exec(QStringLiteral("INSERT INTO NoSuchTable (X) VALUES (?)"), { 1 });
            t.commit();
            QFAIL("the bad statement did not throw");
        } catch (const data::DbError &e) {
            QVERIFY(!e.description().isEmpty());
            QVERIFY(!e.number().isEmpty());
        }
        QCOMPARE(data::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 0);
        // The connection stays usable after the failure.
        data::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Whole") } });
        QCOMPARE(data::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 1);
    }

    void loginProceduresWriteTheLog()
    {
        JT_FRESH_DB(db);
        gUserID = 7;
        CallEmployeeLogin();
        CallEmployeeLogoff();
        QSqlQuery q = data::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 7);
        QCOMPARE(q.value(1).toString(), QStringLiteral("Login"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("Logoff"));
        QVERIFY(!q.next());
    }

    void demoDataIsDeterministicAndComplete()
    {
        JT_FRESH_DB(db);
        data::DemoOptions options;
        options.jobs = 300;
        options.bookingsPerJob = 3;
        options.today = QDate(2026, 12, 7);
        data::seedDemo(options);
        QCOMPARE(data::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 300);
        QCOMPARE(data::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toInt(), 900);
        QVERIFY(data::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP WHERE Status = 'Drying' AND CheckDryingDays = ?"),
                    { true })
                    .toInt()
            > 0);
        QVERIFY(data::scalar(QStringLiteral("SELECT COUNT(DISTINCT JobType) FROM WIP")).toInt() >= 6);
        QVERIFY(data::scalar(QStringLiteral("SELECT COUNT(*) FROM WIPContractors WHERE Contractor = ?"),
                    { QStringLiteral("O'Brien Plumbing") })
                    .toInt()
            > 0);
        QVERIFY(Company::load().has_value());
        // Same seed, same jobs: the customer of job 42 does not depend on the run.
        const QString customer = data::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID = 42")).toString();
        QVERIFY(!customer.isEmpty());
        // New rows continue after the seeded IDs.
        const qint64 next
            = data::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("After") } });
        QCOMPARE(next, 301);
        const QVariant login
            = data::scalar(QStringLiteral("SELECT Password FROM Employee WHERE Username = 'kwhitfield'"));
        QVERIFY(Passwords::isHash(login.toString()));
        QVERIFY(Passwords::verify(login.toString(), QStringLiteral("password")));
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
