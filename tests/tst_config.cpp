#include "base/Config.h"
#include "data/ConnectionString.h"
#include "data/Dialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using data::DbKind;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    // An installed program has no config.txt beside it: the user's
    // configuration folder is next; neither gives no folder at all.
    void findsConfigBesideProgramThenInConfigFolder()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));
        QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
        const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QCOMPARE(configFolders(), (QStringList { QCoreApplication::applicationDirPath(), userFolder }));
        QVERIFY(!QFile::exists(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("config.txt"))));
        QDir(userFolder).removeRecursively();
        QCOMPARE(findConfigFolder(), QString());
        QVERIFY(QDir().mkpath(userFolder));
        QFile file(QDir(userFolder).filePath(QStringLiteral("config.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(findConfigFolder(), userFolder);
        QDir(userFolder).removeRecursively();
    }

    void splitsFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("three lines") << QStringLiteral("Heading\nDB,Provider=SQLite;Data Source=a.db\nCust,C:\\c.mdb\n")
                                     << QStringList { "Heading", "DB", "Provider=SQLite;Data Source=a.db", "Cust",
                                            "C:\\c.mdb" };
        QTest::newRow("quoted comma") << QStringLiteral(
            "\"Head, with comma\"\nDB,\"Driver={X};Server=a,1433;Uid=u\"\nCust,\"c.mdb\"")
                                      << QStringList { "Head, with comma", "DB", "Driver={X};Server=a,1433;Uid=u",
                                             "Cust", "c.mdb" };
        QTest::newRow("leading blanks, CRLF") << QStringLiteral("H\r\n  DB,   conn\r\n\tCust,  path\r\n")
                                              << QStringList { "H", "DB", "conn", "Cust", "path" };
        QTest::newRow("all on one line") << QStringLiteral("H,DB,conn,Cust,path")
                                         << QStringList { "H", "DB", "conn", "Cust", "path" };
        QTest::newRow("short") << QStringLiteral("H\nDB,conn\n") << QStringList { "H", "DB", "conn" };
    }
    void splitsFields()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(splitConfigFields(text), fields);
    }

    void readsFileAndRefusesShortOrMissing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config.txt"));
        QVERIFY_THROWS_EXCEPTION(ConfigError, readConfigFile(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\"Job Tracker\"\nDatabase,\"Provider=SQLOLEDB;Data Source=SRV\\SQL,1433;Initial Catalog=Jobs\"\n");
        file.close();
        try {
            readConfigFile(path);
            QFAIL("a file of three fields was accepted");
        } catch (const ConfigError &e) {
            QVERIFY(QString::fromStdString(e.what()).contains(QStringLiteral("3 of its 5")));
        }
        QVERIFY(file.open(QIODevice::Append));
        file.write("Customers,\\\\server\\share\\cust.mdb\n");
        file.close();
        const ConfigValues values = readConfigFile(path);
        QCOMPARE(values.connectionString,
            QStringLiteral("Provider=SQLOLEDB;Data Source=SRV\\SQL,1433;Initial Catalog=Jobs"));
        QCOMPARE(values.customerDatabasePath, QStringLiteral("\\\\server\\share\\cust.mdb"));
    }

    void mapsSqlite()
    {
        const auto spec = data::mapConnectionString(
            QStringLiteral("Provider=SQLite;Data Source=jobs/jobtracker.db"), QStringLiteral("/opt/jt"));
        QCOMPARE(spec.driver, QStringLiteral("QSQLITE"));
        QCOMPARE(spec.kind, DbKind::SQLite);
        QCOMPARE(spec.databaseName, QStringLiteral("/opt/jt/jobs/jobtracker.db"));
        const auto absolute = data::mapConnectionString(
            QStringLiteral("Provider=SQLite;Data Source=/var/jt.db"), QStringLiteral("/opt/jt"));
        QCOMPARE(absolute.databaseName, QStringLiteral("/var/jt.db"));
        QVERIFY(absolute.options.contains(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000")));
    }

    // Keepalives and time-outs on every PostgreSQL connection, so that a
    // server gone without a word cannot hold a query for good; the string's
    // own values win, and only as whole numbers (QPSQL passes the options to
    // libpq as they stand).
    void mapsPostgres_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("options"); // empty: refused
        const QString defaults = QStringLiteral("connect_timeout=10;keepalives=1;keepalives_idle=30;"
                                                "keepalives_interval=10;keepalives_count=3;tcp_user_timeout=60000");
        QTest::newRow("defaults") << QString() << defaults;
        QTest::newRow("the string's own kept")
            << QStringLiteral(";Connect Timeout=3;keepalives_idle= 120;TCP_USER_TIMEOUT=0;Keepalives=0")
            << QStringLiteral("connect_timeout=3;keepalives=0;keepalives_idle=120;keepalives_interval=10;"
                              "keepalives_count=3;tcp_user_timeout=0");
        QTest::newRow("Npgsql's Timeout") << QStringLiteral(";Timeout=5") << u"connect_timeout=5"_qs + defaults.mid(18);
        QTest::newRow("a further parameter smuggled in")
            << QStringLiteral(";keepalives_idle='30 sslmode=disable'") << QString();
        QTest::newRow("port not a number") << QStringLiteral(";Port=abc") << QString();
    }

    void mapsPostgres()
    {
        QFETCH(QString, extra);
        QFETCH(QString, options);
        const QString text
            = QStringLiteral(
                  "Provider=PostgreSQL;Host=db.local;Port=5433;Database=jobs;User ID=office;Password=\"p;w=d\"")
            + extra;
        if (options.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, data::mapConnectionString(text));
            return;
        }
        const auto spec = data::mapConnectionString(text);
        QCOMPARE(spec.driver, QStringLiteral("QPSQL"));
        QCOMPARE(spec.kind, DbKind::PostgreSQL);
        QCOMPARE(spec.host, QStringLiteral("db.local"));
        QCOMPARE(spec.port, 5433);
        QCOMPARE(spec.databaseName, QStringLiteral("jobs"));
        QCOMPARE(spec.user, QStringLiteral("office"));
        QCOMPARE(spec.password, QStringLiteral("p;w=d"));
        QCOMPARE(spec.options, options);
    }

    void mapsSqlServerToFreeTds()
    {
        const auto spec = data::mapConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=s3cret;Initial "
                           "Catalog=VOB;Data Source=OFFICE\\SQLEXPRESS"));
        QCOMPARE(spec.driver, QStringLiteral("QODBC"));
        QCOMPARE(spec.kind, DbKind::SqlServer);
        QCOMPARE(spec.databaseName,
            QStringLiteral("Driver={FreeTDS};Server=OFFICE;Instance=SQLEXPRESS;Database=VOB;UID=sa;PWD=s3cret;"
                           "TDS_Version=7.4;ClientCharset=UTF-8;"));
        QVERIFY(spec.options.contains(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10")));
        const auto withPort = data::mapConnectionString(QStringLiteral(
            "Provider=SQLOLEDB;Data Source=10.0.0.5,1500;Initial Catalog=Jobs;User ID=u;Password=\"a;b\""));
        QVERIFY(withPort.databaseName.startsWith(
            QStringLiteral("Driver={FreeTDS};Server=10.0.0.5;Port=1500;Database=Jobs;UID=u;PWD={a;b};")));
        // A value that starts with a quote is braced: unbraced, a reader of
        // the string takes it as quoted and runs on into the next parts.
        const auto quoted
            = data::mapConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=s;User ID=u;Password=\"'pw\""));
        QVERIFY(quoted.databaseName.contains(QStringLiteral(";PWD={'pw};")));
    }

    void passesOdbcThrough()
    {
        const auto pg = data::mapConnectionString(
            QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=j;Uid=u;Pwd=p;"));
        QCOMPARE(pg.driver, QStringLiteral("QODBC"));
        QCOMPARE(pg.kind, DbKind::PostgreSQL);
        QCOMPARE(pg.databaseName,
            QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=j;Uid=u;Pwd=p;"));
        const auto ms
            = data::mapConnectionString(QStringLiteral("Driver={ODBC Driver 18 for SQL Server};Server=s;Database=d;"));
        QCOMPARE(ms.kind, DbKind::SqlServer);
        // Only the ADO Provider part goes, never text inside a braced value
        // (it once cut "Pwd={a;provider=b}" to "Pwd={a;").
        QCOMPARE(data::mapConnectionString(
                     QStringLiteral("Provider=MSDASQL;Driver={FreeTDS};Server=s;Pwd={a;provider=b}}c};Provider=x"))
                     .databaseName,
            QStringLiteral("Driver={FreeTDS};Server=s;Pwd={a;provider=b}}c};"));
        QCOMPARE(data::parseConnectionString(QStringLiteral("Driver={x}};y};Uid=u")).value(QStringLiteral("uid")),
            QStringLiteral("u"));
    }

    // Refused, and the message never repeats the string's text: a stray ';'
    // may cut a password, whose pieces then look like parts of their own.
    void refusesNonsense_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("secret"); // never in the message
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("unknown provider")
            << QStringLiteral("Provider=Oracle;Data Source=x") << QStringLiteral("Oracle");
        QTest::newRow("just text") << QStringLiteral("just text") << QStringLiteral("just");
        QTest::newRow("password's end a part without '='")
            << QStringLiteral("Provider=PostgreSQL;Database=j;Password=ab;Hush-42;Port=5432") << QStringLiteral("Hush");
        QTest::newRow("password's end taken for a provider")
            << QStringLiteral("Data Source=x;Password=ab;Provider=Hush-42") << QStringLiteral("Hush");
    }
    void refusesNonsense()
    {
        QFETCH(QString, text);
        QFETCH(QString, secret);
        try {
            data::mapConnectionString(text);
            QFAIL("accepted");
        } catch (const std::invalid_argument &error) {
            const QString message = QString::fromStdString(error.what());
            QVERIFY2(secret.isEmpty() || !message.contains(secret, Qt::CaseInsensitive), qPrintable(message));
        }
    }

    void dialectsDiffer()
    {
        const data::Dialect ms(DbKind::SqlServer), pg(DbKind::PostgreSQL), lite(DbKind::SQLite);
        QCOMPARE(ms.selectTop(1, QStringLiteral("*"), QStringLiteral("Company")),
            QStringLiteral("SELECT TOP 1 * FROM Company"));
        QCOMPARE(pg.selectTop(1, QStringLiteral("*"), QStringLiteral("Company")),
            QStringLiteral("SELECT * FROM Company LIMIT 1"));
        QCOMPARE(ms.isNull(QStringLiteral("SUM(Hours)"), QStringLiteral("0")), QStringLiteral("ISNULL(SUM(Hours),0)"));
        QCOMPARE(
            lite.isNull(QStringLiteral("SUM(Hours)"), QStringLiteral("0")), QStringLiteral("COALESCE(SUM(Hours),0)"));
        QCOMPARE(
            ms.concat({ QStringLiteral("Customer"), QStringLiteral("' - '") }), QStringLiteral("Customer + ' - '"));
        QCOMPARE(
            pg.concat({ QStringLiteral("Customer"), QStringLiteral("' - '") }), QStringLiteral("Customer || ' - '"));
        // SQL Server refuses OUTPUT INSERTED on tables with triggers.
        QCOMPARE(ms.insertReturningId(QStringLiteral("WIP"), { QStringLiteral("Customer") }),
            QStringLiteral("SET NOCOUNT ON; INSERT INTO WIP (Customer) VALUES (?); "
                           "SELECT CAST(SCOPE_IDENTITY() AS BIGINT) AS ID"));
        QCOMPARE(pg.insertReturningId(QStringLiteral("WIP"), { QStringLiteral("Customer") }),
            QStringLiteral("INSERT INTO WIP (Customer) VALUES (?) RETURNING ID"));
        QCOMPARE(ms.callProcedure(QStringLiteral("EmployeeLogin"), QStringLiteral("@UserID")),
            QStringLiteral("EXEC EmployeeLogin @UserID = ?"));
        QVERIFY(lite.callProcedure(QStringLiteral("EmployeeLogin"), QStringLiteral("@UserID")).isEmpty());
        QCOMPARE(ms.daysBetween(QStringLiteral("StartDate"), QStringLiteral("?")),
            QStringLiteral("DATEDIFF(day, StartDate, ?)"));
    }

    // The SQL Server script cannot run here; keep it in step with the others.
    void sqlServerScriptDeclaresWhatOthersDo()
    {
        QFile ms(QStringLiteral(":/schema/sqlserver.sql"));
        QFile pg(QStringLiteral(":/schema/postgresql.sql"));
        QVERIFY(ms.open(QIODevice::ReadOnly) && pg.open(QIODevice::ReadOnly));
        const QString msText = QString::fromUtf8(ms.readAll());
        const QString pgText = QString::fromUtf8(pg.readAll());
        static const QRegularExpression table(
            QStringLiteral(R"(CREATE TABLE (\w+) \(\n(.*?)\n\))"), QRegularExpression::DotMatchesEverythingOption);
        auto columnsOf = [](const QString &text) {
            QMap<QString, QStringList> result;
            auto it = table.globalMatch(text);
            while (it.hasNext()) {
                const auto m = it.next();
                QStringList columns;
                for (const QString &line : m.captured(2).split(u'\n'))
                    columns << line.trimmed().section(u' ', 0, 0);
                result.insert(m.captured(1), columns);
            }
            return result;
        };
        QCOMPARE(columnsOf(msText), columnsOf(pgText));
        QVERIFY(msText.contains(QStringLiteral("CREATE PROCEDURE EmployeeLogin @UserID BIGINT")));
        QVERIFY(msText.contains(QStringLiteral("CREATE PROCEDURE EmployeeLogoff @UserID BIGINT")));
        QVERIFY(msText.contains(QStringLiteral("ID INT IDENTITY(1,1) PRIMARY KEY")));
        QVERIFY(!msText.contains(QStringLiteral("LIMIT")));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
