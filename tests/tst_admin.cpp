// backends: sqlite postgres odbc
#include "data/Database.h"
#include "data/Schema.h"
#include "base/Passwords.h"
#include "support/TestDb.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>

// The command-line tool, run as a separate process on a fresh database.
class TestAdmin : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode;
        QString out;
        QString err;
    };

    static Result run(const TestDb &db, QStringList args, const QByteArray &input = {})
    {
        QProcess process;
        args.prepend(db.folder() + QStringLiteral("/config.txt"));
        args.prepend(QStringLiteral("--config"));
        process.start(QStringLiteral(JT_ADMIN_PATH), args);
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000))
            return { -1, {}, QStringLiteral("timed out") };
        return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()) };
    }

private slots:
    void initCreatesSchemaAndAdministrator()
    {
        TestDb db;
        if (!db.create(false))
            QSKIP(qPrintable(db.skipReason()));
        testdb::connection().close();
        const Result init = run(db, { QStringLiteral("init"), QStringLiteral("--password"), QStringLiteral("s3cret") });
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        const Result check = run(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, 0);
        db.reopen();
        QSqlQuery q = testdb::exec(
            QStringLiteral("SELECT Employee.Username, Employee.Password, EmployeeType.Name "
                           "FROM Employee LEFT JOIN EmployeeType ON Employee.UserTypeID = EmployeeType.ID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("admin"));
        QVERIFY(Passwords::isHash(q.value(1).toString()));
        QVERIFY(Passwords::verify(q.value(1).toString(), QStringLiteral("s3cret")));
        QCOMPARE(q.value(2).toString(), QStringLiteral("Admin"));
        testdb::connection().close();
        // A second init refuses to touch an existing schema.
        const Result again = run(db, { QStringLiteral("init"), QStringLiteral("--password"), QStringLiteral("x") });
        QCOMPARE(again.exitCode, 1);
        QVERIFY(again.err.contains(QStringLiteral("already")));
    }

    void initPromptsForThePassword()
    {
        TestDb db;
        if (!db.create(false))
            QSKIP(qPrintable(db.skipReason()));
        testdb::connection().close();
        const Result init
            = run(db, { QStringLiteral("init"), QStringLiteral("--username"), QStringLiteral("boss") }, "typed-in\n");
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        db.reopen();
        const QString stored
            = testdb::scalar(QStringLiteral("SELECT Password FROM Employee WHERE Username = 'boss'")).toString();
        QVERIFY(Passwords::verify(stored, QStringLiteral("typed-in")));
    }

    void seedsAndChecks()
    {
        JT_FRESH_DB(db);
        testdb::connection().close();
        const Result seed = run(db, { QStringLiteral("seed-demo"), QStringLiteral("--jobs"), QStringLiteral("120") });
        QVERIFY2(seed.exitCode == 0, qPrintable(seed.err));
        db.reopen();
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 120);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toInt(), 1200);
        testdb::execScript(QStringLiteral("ALTER TABLE WIP DROP COLUMN QBID"));
        testdb::connection().close();
        const Result check = run(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, 1);
        QVERIFY(check.out.contains(QStringLiteral("missing column WIP.QBID")));
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList {} << QStringLiteral("exactly one command");
        QTest::newRow("unknown command") << QStringList { QStringLiteral("drop") } << QStringLiteral("unknown command");
        QTest::newRow("jobs not a number") << QStringList { QStringLiteral("seed-demo"), QStringLiteral("--jobs"),
            QStringLiteral("many") } << QStringLiteral("--jobs");
        QTest::newRow("negative jobs") << QStringList { QStringLiteral("seed-demo"), QStringLiteral("--jobs"),
            QStringLiteral("-5") } << QStringLiteral("--jobs");
        QTest::newRow("empty password") << QStringList { QStringLiteral("init"), QStringLiteral("--password"),
            QStringLiteral("  ") } << QStringLiteral("password");
        QTest::newRow("unknown option") << QStringList { QStringLiteral("check"), QStringLiteral("--frobnicate") }
                                        << QStringLiteral("frobnicate");
    }
    void refusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        TestDb db;
        if (!db.create(false))
            QSKIP(qPrintable(db.skipReason()));
        testdb::connection().close();
        const Result result = run(db, args);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        db.reopen();
        // Nothing was created.
        QVERIFY(data::checkSchema(testdb::connection()).contains(QStringLiteral("table WIP")));
    }

    void refusesMissingConfig()
    {
        QProcess process;
        process.start(QStringLiteral(JT_ADMIN_PATH),
            { QStringLiteral("--config"), QStringLiteral("/nonexistent/config.txt"), QStringLiteral("check") });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("config.txt")));
    }
};

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
