// backends: sqlite postgres odbc
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "settings/Company.h"
#include "base/Passwords.h"
#include "shell/AppContext.h"
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
        QCOMPARE(data::checkSchema(testdb::connection()), QStringList());
        const auto tables = data::expectedTables();
        QCOMPARE(tables.value(QStringLiteral("WIP")).size(), 45);
        QVERIFY(tables.value(QStringLiteral("EmployeeTime")).contains(QStringLiteral("TranDate")));
    }

    void checkNamesWhatIsMissing()
    {
        JT_FRESH_DB(db);
        testdb::execScript(QStringLiteral("DROP TABLE WIPContractors"));
        testdb::execScript(QStringLiteral("ALTER TABLE Company DROP COLUMN DryingDays"));
        const QStringList missing = data::checkSchema(testdb::connection());
        QVERIFY2(missing.contains(QStringLiteral("table WIPContractors")), qPrintable(missing.join(u',')));
        QVERIFY(missing.contains(QStringLiteral("column Company.DryingDays")));
        QCOMPARE(missing.size(), 2);
    }

    void lookupRowsArePresent()
    {
        JT_FRESH_DB(db);
        for (const char *name : { "Fire", "Water", "Work Order" })
            QVERIFY(
                testdb::scalar(QStringLiteral("SELECT ID FROM WIPJobType WHERE Name = ?"), { QString::fromLatin1(name) })
                    .isValid());
        for (const char *name : { "Drying", "Closed" })
            QVERIFY(testdb::scalar(
                QStringLiteral("SELECT ColorCode FROM WIPStatus WHERE Name = ?"), { QString::fromLatin1(name) })
                        .isValid());
        for (const char *name : { "Company Info", "Employee Entry/Edit", "Quickbooks Sync", "WIPs Entry/Edit",
                 "WIPs Navigator", "Employee Time Manager", "Employee Time Entry/Edit", "Delete Employee Time" })
            QVERIFY2(
                testdb::scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { QString::fromLatin1(name) })
                    .isValid(),
                name);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM State")).toInt(), 51);
        QVERIFY(testdb::scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = 'Admin'")).isValid());
    }

    // Quotes, dates, booleans and doubles survive a round trip on every backend.
    void valuesRoundTrip()
    {
        JT_FRESH_DB(db);
        const QDateTime start(QDate(2026, 3, 30), QTime(14, 25, 10));
        const qint64 id = testdb::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QStringLiteral("O'Brien; DROP TABLE WIP --") },
                { QStringLiteral("StartDate"), start }, { QStringLiteral("CheckDryingDays"), true },
                { QStringLiteral("Billed"), false }, { QStringLiteral("AmountBilled"), 1234.56 } });
        QVERIFY(id > 0);
        QSqlQuery q = testdb::exec(
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
        const qint64 blank = testdb::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QString() }, { QStringLiteral("Rep"), QVariant() },
                { QStringLiteral("StartDate"), QDateTime() } });
        QSqlQuery b = testdb::exec(QStringLiteral("SELECT Customer, Rep, StartDate FROM WIP WHERE ID = ?"), { blank });
        QVERIFY(b.next());
        QVERIFY(!b.value(0).isNull());
        QCOMPARE(b.value(0).toString(), QString());
        QVERIFY(b.value(1).isNull());
        QVERIFY(b.value(2).isNull());
        const qint64 second
            = testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Next") } });
        QCOMPARE(second, blank + 1);
    }

    void transactionRollsBackOnError()
    {
        JT_FRESH_DB(db);
        try {
            data::Transaction t(testdb::connection());
            testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Half") } });
            testdb::exec(QStringLiteral("INSERT INTO NoSuchTable (X) VALUES (?)"), { 1 });
            t.commit();
            QFAIL("the bad statement did not throw");
        } catch (const data::DbError &e) {
            QVERIFY(!e.description().isEmpty());
            QVERIFY(!e.number().isEmpty());
        }
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 0);
        // The connection stays usable after the failure.
        testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Whole") } });
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 1);
    }

    // A transaction inside another is a savepoint: a real server error in it
    // (which aborts the whole transaction on PostgreSQL) undoes only its own
    // work; what the outer one did before and after is committed together.
    void nestedTransactionRollsBackAlone()
    {
        JT_FRESH_DB(db);
        data::Connection &c = testdb::connection();
        const auto customers = [] {
            QStringList names;
            QSqlQuery q = testdb::exec(QStringLiteral("SELECT Customer FROM WIP ORDER BY ID"));
            while (q.next())
                names << q.value(0).toString();
            return names;
        };
        {
            data::Transaction outer(c);
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Before") } });
            try {
                data::Transaction inner(c);
                c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Inner") } });
                c.exec(QStringLiteral("INSERT INTO NoSuchTable (X) VALUES (?)"), { 1 });
                inner.commit();
                QFAIL("the bad statement did not throw");
            } catch (const data::DbError &) {
            }
            {
                data::Transaction kept(c);
                c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Kept") } });
                kept.commit();
            }
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("After") } });
            outer.commit();
        }
        QCOMPARE(customers(), (QStringList { QStringLiteral("Before"), QStringLiteral("Kept"), QStringLiteral("After") }));
        {
            // An inner commit is undone with the outer rollback.
            data::Transaction outer(c);
            data::Transaction inner(c);
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Gone") } });
            inner.commit();
        }
        QCOMPARE(customers().size(), 3);
    }

    void loginProceduresWriteTheLog()
    {
        JT_FRESH_DB(db);
        testdb::logIn(7, QStringLiteral("someone"));
        testdb::context().CallEmployeeLogin();
        testdb::context().CallEmployeeLogoff();
        QSqlQuery q = testdb::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
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
        data::seedDemo(testdb::connection(), options);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 300);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toInt(), 900);
        QVERIFY(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP WHERE Status = 'Drying' AND CheckDryingDays = ?"),
                    { true })
                    .toInt()
            > 0);
        QVERIFY(testdb::scalar(QStringLiteral("SELECT COUNT(DISTINCT JobType) FROM WIP")).toInt() >= 6);
        QVERIFY(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIPContractors WHERE Contractor = ?"),
                    { QStringLiteral("O'Brien Plumbing") })
                    .toInt()
            > 0);
        QVERIFY(Company::load(testdb::connection()).has_value());
        // Same seed, same jobs: the customer of job 42 does not depend on the run.
        const QString customer = testdb::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID = 42")).toString();
        QVERIFY(!customer.isEmpty());
        // New rows continue after the seeded IDs.
        const qint64 next
            = testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("After") } });
        QCOMPARE(next, 301);
        const QVariant login
            = testdb::scalar(QStringLiteral("SELECT Password FROM Employee WHERE Username = 'kwhitfield'"));
        QVERIFY(Passwords::isHash(login.toString()));
        QVERIFY(Passwords::verify(login.toString(), QStringLiteral("password")));
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
