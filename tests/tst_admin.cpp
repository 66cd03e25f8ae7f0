// backends: sqlite postgres odbc
#include "base/Passwords.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "field/Certificate.h"
#include "shell/Backups.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <fcntl.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// An empty database (no schema): skipped without a server, but failed when
// the run requires one, as JT_FRESH_DB does.
#define JT_EMPTY_DB(name)                                                                                              \
    TestDb name;                                                                                                       \
    JT_CREATE_OR_SKIP(name, false)

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
        return runOn(db.folder() + QStringLiteral("/config.txt"), args, input);
    }

    static Result runOn(const QString &config, QStringList args, const QByteArray &input = {})
    {
        QProcess process;
        args.prepend(config);
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

    // Runs the tool with the test's own connection closed, then reopens it.
    static Result runClosed(TestDb &db, const QStringList &args)
    {
        db.connection().close();
        const Result result = run(db, args);
        db.reopen();
        return result;
    }

    // The version rows and what check finds: what an upgrade may change.
    static QString schemaState()
    {
        QStringList versions;
        if (data::hasTable(testdb::connection(), QStringLiteral("SchemaVersion"))) {
            data::Rows q = testdb::exec(QStringLiteral("SELECT Version FROM SchemaVersion"));
            while (q.next())
                versions << q.value(0).toString();
        } else {
            versions << QStringLiteral("no table");
        }
        const data::SchemaCheck check = data::checkSchema(testdb::connection());
        return QStringLiteral("versions %1; missing %2; to be added %3")
            .arg(versions.join(u','), check.missing.join(u','), check.toBeAdded.join(u','));
    }

    // A config.txt in `folder` naming the database of `connection`.
    static QString writeConfig(const QString &folder, const QString &connection)
    {
        const QString path = QDir(folder).filePath(QStringLiteral("config.txt"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(
                QStringLiteral("\"Job Tracker\"\nDatabase,\"%1\"\nCustomers,customers.mdb\n").arg(connection).toUtf8());
        return path;
    }

    static int modeOf(const QString &path)
    {
        struct stat status;
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
    }

    // A database as an older installation has it: the data model without the
    // program's version table.
    static void makeOlderInstallation() { testdb::execScript(QStringLiteral("DROP TABLE SchemaVersion")); }

private slots:
    void initCreatesSchemaAndAdministrator()
    {
        JT_EMPTY_DB(db);
        testdb::connection().close();
        const Result init = run(db, { QStringLiteral("init"), QStringLiteral("--password"), QStringLiteral("s3cret") });
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        const Result check = run(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, 0);
        db.reopen();
        data::Rows q = testdb::exec(
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

    // From a pipe the password is read as it comes; typed at a terminal it
    // is not shown, and the terminal echoes again afterwards.
    void initPromptsForThePassword_data()
    {
        columns<bool>({ "terminal" });
        row("pipe", false);
        row("terminal", true);
    }
    void initPromptsForThePassword()
    {
        QFETCH(bool, terminal);
        JT_EMPTY_DB(db);
        testdb::connection().close();
        const QStringList args { QStringLiteral("init"), QStringLiteral("--username"), QStringLiteral("boss") };
        if (!terminal) {
            const Result init = run(db, args, "typed-in\n");
            QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        } else {
            const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
            QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
            const QByteArray slave = ::ptsname(master);
            QProcess process;
            process.setChildProcessModifier([slave] { ::dup2(::open(slave.constData(), O_RDWR), STDIN_FILENO); });
            process.start(
                QStringLiteral(JT_ADMIN_PATH), QStringList { "--config", db.folder() + "/config.txt" } + args);
            // Typed once echo is off: turning it off drops earlier typing.
            termios mode {};
            QTRY_VERIFY_WITH_TIMEOUT(::tcgetattr(master, &mode) == 0 && !(mode.c_lflag & ECHO), 30000);
            QCOMPARE(::write(master, "typed-in\n", 9), 9);
            QVERIFY(process.waitForFinished(120000));
            QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
            char shown[256] {};
            QVERIFY(::read(master, shown, sizeof shown - 1) > 0); // the line's end, echoed
            QVERIFY2(!QByteArray(shown).contains("typed-in"), shown);
            QVERIFY(::tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO));
            ::close(master);
        }
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
        // The equipment register, and on the drying jobs one unit moved
        // between rooms: its next placement starts when the first ends.
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM Equipment")).toInt(), 40);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EquipmentPlacement P JOIN EquipmentPlacement Q "
                                               "ON Q.EquipmentID = P.EquipmentID AND Q.PlacedAt = P.RemovedAt"))
                     .toInt(),
            1);
        // A database with jobs is not seeded again unless forced: a wrong
        // --config must not plant made-up logins in a live database.
        testdb::connection().close();
        const Result again = run(db, { QStringLiteral("seed-demo"), QStringLiteral("--jobs"), QStringLiteral("5") });
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains(QStringLiteral("--force")), qPrintable(again.err));
        QCOMPARE(run(db,
                     { QStringLiteral("seed-demo"), QStringLiteral("--jobs"), QStringLiteral("5"),
                         QStringLiteral("--force") })
                     .exitCode,
            0);
        db.reopen();
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 125);
        // Another program's database, without the history's triggers.
        data::dropHistoryTriggers(testdb::connection());
        testdb::execScript(QStringLiteral("ALTER TABLE WIP DROP COLUMN QBID"));
        testdb::connection().close();
        const Result check = run(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, 1);
        QVERIFY(check.out.contains(QStringLiteral("missing column WIP.QBID")));
    }

    // check lists the rows that point at a row that is gone, each with what
    // upgrade does with them.
    void checkReportsOrphans()
    {
        JT_FRESH_DB(db);
        const qint64 gone = testdb::insertRow("WIP", { { "Customer", "Gone" } });
        const qint64 booking = testdb::insertRow("EmployeeTime", { { "WIPID", gone } });
        testdb::exec("DELETE FROM WIP WHERE ID = ?", { gone });
        const Result check = runClosed(db, { "check" });
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(check.out.contains(QString("orphan rows: EmployeeTime.WIPID -> WIP: 1 row (ID %1) (kept: no key "
                                            "holds this reference)")
                                        .arg(booking)),
            qPrintable(check.out));
    }

    // An older database, with or without the version table, is fine for
    // check and brought up to date by upgrade, rows and all; a second upgrade
    // finds nothing to do and changes nothing.
    void upgradesAnOlderDatabase_data()
    {
        QTest::addColumn<bool>("versionTable");
        QTest::addColumn<QString>("checkSays");
        QTest::addColumn<QString>("upgradeSays");
        QTest::newRow("no version table") << false << QStringLiteral("to be added by upgrade: table SchemaVersion")
                                          << QStringLiteral("version 2: created table SchemaVersion");
        QTest::newRow("version 1 stored")
            << true << QStringLiteral("schema version 1.") << QStringLiteral("version 2: nothing was missing");
    }
    void upgradesAnOlderDatabase()
    {
        QFETCH(bool, versionTable);
        QFETCH(QString, checkSays);
        QFETCH(QString, upgradeSays);
        JT_FRESH_DB(db);
        if (versionTable)
            testdb::exec(QStringLiteral("UPDATE SchemaVersion SET Version = ?"), { 1 });
        else
            makeOlderInstallation();
        const qint64 job
            = testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("O'Hara") } });

        const Result check = runClosed(db, { QStringLiteral("check") });
        QVERIFY2(check.exitCode == 0, qPrintable(check.err));
        QVERIFY2(check.out.contains(checkSays), qPrintable(check.out));
        QVERIFY(check.out.contains(QStringLiteral("Run upgrade")));
        QVERIFY(!check.out.contains(QStringLiteral("missing")));

        const Result upgrade = runClosed(db, { QStringLiteral("upgrade") });
        QVERIFY2(upgrade.exitCode == 0, qPrintable(upgrade.err));
        QVERIFY2(upgrade.out.contains(upgradeSays), qPrintable(upgrade.out));
        QVERIFY(upgrade.out.contains(QStringLiteral("from schema version 1 to %1").arg(data::kSchemaVersion)));
        const QString upgraded = schemaState();
        QCOMPARE(upgraded, QStringLiteral("versions %1; missing ; to be added ").arg(data::kSchemaVersion));
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID = ?"), { job }).toString(),
            QStringLiteral("O'Hara"));

        const Result again = runClosed(db, { QStringLiteral("upgrade") });
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
        QVERIFY2(again.out.contains(QStringLiteral("nothing to do")), qPrintable(again.out));
        QVERIFY(!again.out.contains(QStringLiteral("version 2:")));
        QCOMPARE(schemaState(), upgraded);
        const Result checkAfter = runClosed(db, { QStringLiteral("check") });
        QCOMPARE(checkAfter.exitCode, 0);
        QVERIFY2(!checkAfter.out.contains(QStringLiteral("upgrade")), qPrintable(checkAfter.out));
    }

    // What upgrade cannot mend it leaves alone: a database without a table
    // or column of the data model (check fails on it too) and one a newer
    // program has upgraded.
    void refusesWhatUpgradeCannotMend_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("checkExit");
        QTest::addColumn<QString>("checkSays");
        QTest::addColumn<QString>("upgradeSays");
        QTest::newRow("required column") << QStringLiteral("column") << 1
                                         << QStringLiteral("missing column Company.QBItemAmount")
                                         << QStringLiteral("Company.QBItemAmount");
        QTest::newRow("required table") << QStringLiteral("table") << 1
                                        << QStringLiteral("missing table WIPContractors")
                                        << QStringLiteral("table WIPContractors");
        QTest::newRow("newer version") << QStringLiteral("newer") << 0 << QStringLiteral("newer than this program")
                                       << QStringLiteral("newer than this program");
    }
    void refusesWhatUpgradeCannotMend()
    {
        QFETCH(QString, damage);
        QFETCH(int, checkExit);
        QFETCH(QString, checkSays);
        QFETCH(QString, upgradeSays);
        JT_FRESH_DB(db);
        if (damage == u"column") {
            // Company as an installation without the column made it.
            QString create = data::createTableStatement(testdb::connection().dialect(), QStringLiteral("Company"));
            create.remove(QRegularExpression(QStringLiteral(R"(\n\s*QBItemAmount [^\n]*)")));
            QVERIFY(!create.contains(QStringLiteral("QBItemAmount")));
            testdb::execScript(QStringLiteral("DROP TABLE Company"));
            testdb::execScript(create);
            makeOlderInstallation();
        } else if (damage == u"table") {
            testdb::execScript(QStringLiteral("DROP TABLE WIPContractors"));
            makeOlderInstallation();
        } else {
            testdb::exec(QStringLiteral("UPDATE SchemaVersion SET Version = ?"), { data::kSchemaVersion + 1 });
        }
        const QString before = schemaState();

        const Result check = runClosed(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, checkExit);
        QVERIFY2(check.out.contains(checkSays), qPrintable(check.out));
        if (damage != u"newer")
            QVERIFY2(check.out.contains(QStringLiteral("to be added by upgrade: table SchemaVersion")),
                qPrintable(check.out));

        const Result upgrade = runClosed(db, { QStringLiteral("upgrade") });
        QCOMPARE(upgrade.exitCode, 1);
        QVERIFY2(upgrade.err.contains(upgradeSays), qPrintable(upgrade.err));
        QCOMPARE(schemaState(), before);
    }

    // A text column narrower than the program needs is named by check and
    // widened to the script's width by upgrade; until then the length checks
    // keep to the width the database has. A password column that holds a
    // hash is wide enough, however much wider the script makes it.
    void widensNarrowColumns_data()
    {
        columns<QString, QString, int, QString, int>({ "table", "column", "width", "checkSays", "widenedTo" });
        row("password too narrow for a hash", QStringLiteral("Employee"), QStringLiteral("Password"), 60,
            QStringLiteral("to be widened by upgrade: column Employee.Password holds 60 characters, needs 127"), 255);
        row("password holds a hash", QStringLiteral("Employee"), QStringLiteral("Password"), 127, QString(), 127);
        row("another text column", QStringLiteral("WIP"), QStringLiteral("Customer"), 40,
            QStringLiteral("to be widened by upgrade: column WIP.Customer holds 40 characters, needs 250"), 250);
    }
    void widensNarrowColumns()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(int, width);
        QFETCH(QString, checkSays);
        QFETCH(int, widenedTo);
        JT_FRESH_DB(db);
        data::Connection &c = testdb::connection();
        if (c.dialect().kind() == data::DbKind::SQLite)
            QSKIP("SQLite keeps no column widths: no column is ever narrow");
        c.execScript(c.dialect().resizeTextColumn(table, column, width, true));
        data::useDeclaredWidths(data::readDeclaredWidths(c));
        const int checkedAgainst = data::textWidth(table, column);
        data::useDeclaredWidths(std::nullopt);
        QCOMPARE(checkedAgainst, width);

        const Result check = runClosed(db, { QStringLiteral("check") });
        QCOMPARE(check.exitCode, 0);
        if (checkSays.isEmpty()) {
            QVERIFY2(!check.out.contains(QStringLiteral("upgrade")), qPrintable(check.out));
        } else {
            QVERIFY2(check.out.contains(checkSays), qPrintable(check.out));
            QVERIFY2(check.out.contains(QStringLiteral("Run upgrade to widen")), qPrintable(check.out));
        }

        const Result upgrade = runClosed(db, { QStringLiteral("upgrade") });
        QVERIFY2(upgrade.exitCode == 0, qPrintable(upgrade.err));
        const QString says = widenedTo == width
            ? QStringLiteral("nothing to do")
            : QStringLiteral("widened column %1.%2 from %3 to %4 characters\nThe database stays at schema version %5.")
                  .arg(table, column)
                  .arg(width)
                  .arg(widenedTo)
                  .arg(data::kSchemaVersion);
        QVERIFY2(upgrade.out.contains(says), qPrintable(upgrade.out));
        const std::optional<data::DeclaredWidths> widths = data::readDeclaredWidths(testdb::connection());
        QVERIFY(widths);
        QCOMPARE(widths->value(table.toLower() + u'.' + column.toLower()).width, widenedTo);
        QCOMPARE(data::checkSchema(testdb::connection()).narrow, QStringList());
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
        QTest::newRow("option of another command") << QStringList { QStringLiteral("backup"), QStringLiteral("--jobs"),
            QStringLiteral("3") } << QStringLiteral("backup does not take --jobs");
        QTest::newRow("both spellings of one option") << QStringList { QStringLiteral("restore"),
            QStringLiteral("--file"), QStringLiteral("a.db"), QStringLiteral("--from"), QStringLiteral("b.db") }
                                                      << QStringLiteral("two spellings");
        QTest::newRow("copy without a target") << QStringList { QStringLiteral("copy") } << QStringLiteral("--target");
    }
    void refusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        JT_EMPTY_DB(db);
        testdb::connection().close();
        const Result result = run(db, args);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        db.reopen();
        // Nothing was created.
        QVERIFY(data::checkSchema(testdb::connection()).missing.contains(QStringLiteral("table WIP")));
    }

    // Every SQLite file the tool or the program makes (all through one
    // open()) is its owner's alone, 0600 and its journal too, although the
    // umask would let everyone read it; so is the backups folder (0700), one
    // there already narrowed. A refused restore leaves no file behind.
    void filesArePrivate_data()
    {
        columns<QString, int>({ "made", "mode" }); // the file's mode; -1: no file
        row("restore into a new file", "restore", 0600);
        row("restore refused", "restore of no backup", -1);
        row("automatic backup", "automatic", 0600);
        row("automatic backup, folder there already", "automatic, 0755 folder", 0600);
    }
    void filesArePrivate()
    {
        QFETCH(QString, made);
        QFETCH(int, mode);
        JT_FRESH_DB(db);
        if (db.backend() != u"sqlite")
            QSKIP("The files are those of SQLite, whatever the backend.");
        const mode_t umaskBefore = ::umask(022);
        const auto restoreUmask = qScopeGuard([&] { ::umask(umaskBefore); });
        QTemporaryDir out;
        const QString config = writeConfig(out.path(), "Provider=SQLite;Data Source=new.db");
        QString file = out.filePath("new.db");
        const QString backup = out.filePath("jobs.backup.db");
        Result result { 0, {}, {} };
        if (made.startsWith(u"restore")) {
            if (made == u"restore")
                QVERIFY(data::backUp(testdb::connection(), backup).committed);
            else
                QVERIFY(QFile(backup).open(QIODevice::WriteOnly)); // an empty file: no job database
            result = runOn(config, { "restore", made == u"restore" ? "--file" : "--from", backup }); // both spellings
        } else {
            const QString folder = data::backupFolder(Backups::embeddedFile(testdb::connection()));
            if (made.contains(u"0755"))
                QVERIFY(QDir().mkdir(folder, QFileDevice::Permissions(0x7755))); // rwxr-xr-x
            QStringList journals; // the journals of the file, while it is written
            file = Backups::backUpAutomatically(
                testdb::connection(), 3, QDateTime::currentDateTime(), "kw", [&](const data::CopyProgress &) {
                    for (const QString &journal : QDir(folder).entryList({ "*-journal" }))
                        journals << QString::number(modeOf(QDir(folder).filePath(journal)), 8);
                });
            QVERIFY(!journals.isEmpty());
            QCOMPARE(journals.filter("600"), journals);
            QCOMPARE(modeOf(folder), 0700);
        }
        QVERIFY2(result.exitCode == (mode < 0 ? 1 : 0), qPrintable(result.err));
        QCOMPARE(modeOf(file), mode);
        QCOMPARE(QDir(out.path()).entryList({ "*-journal", "*.part" }), QStringList());
    }

    // copy --to the database itself, written another way, is refused at once
    // (it would wait for good on its own locks); the database is as it was.
    void copyOntoItselfRefused_data()
    {
        columns<QString, QString>({ "backend", "how" });
        row("SQLite through a link", "sqlite", "link");
        row("PostgreSQL through its socket folder and a slash", "postgres", "socket");
        row("ODBC as localhost", "odbc", "localhost");
    }
    void copyOntoItselfRefused()
    {
        QFETCH(QString, backend);
        QFETCH(QString, how);
        JT_FRESH_DB(db);
        if (db.backend() != backend)
            QSKIP("A way of naming another backend's database.");
        testdb::insertRow("WIP", { { "Customer", "Hale, Dora" } });
        QTemporaryDir other;
        QString connection = db.connectionString();
        if (how == u"link") {
            QVERIFY(QFile::link(db.folder(), other.filePath("link")));
            connection = QStringLiteral("Provider=SQLite;Data Source=%1").arg(other.filePath("link/jobs.db"));
        } else if (how == u"localhost") {
            connection.replace("127.0.0.1", "localhost");
        } else {
            const QString sockets = testdb::scalar("SELECT current_setting('unix_socket_directories')").toString();
            connection.replace("127.0.0.1", sockets.section(u',', 0, 0).trimmed() + u'/');
        }
        QVERIFY(connection != db.connectionString());
        const QString config = writeConfig(other.path(), connection);
        const Result result = runClosed(db, { "copy", "--to", config, "--replace" });
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("same database"), qPrintable(result.err));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIP").toInt(), 1);
    }

    // field-certificate needs no database: a certificate for the name given
    // (an address as an address) and the machine itself, that OpenSSL reads
    // back, signed by its key (owner-only), valid 825 days, with the
    // fingerprint printed. Never over a file there already, nor for a name
    // that would smuggle in other names.
    void makesFieldCertificate_data()
    {
        columns<QString, QStringList, QString>({ "name", "altNames", "refusal" });
        row("host name", QStringLiteral("office-pc.lan"),
            QStringList { "DNS:office-pc.lan", "DNS:localhost", "IP:127.0.0.1" }, QString());
        row("IP address", QStringLiteral("192.168.1.20"),
            QStringList { "DNS:localhost", "IP:192.168.1.20", "IP:127.0.0.1" }, QString());
        row("key there already", QStringLiteral("office-pc"), QStringList(), QStringLiteral("is there already"));
        row("names smuggled in", QStringLiteral("office-pc,DNS:bank.example"), QStringList(),
            QStringLiteral("no host name"));
        row("no name", QString(), QStringList(), QStringLiteral("--name"));
    }
    void makesFieldCertificate()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, altNames);
        QFETCH(QString, refusal);
        if (qEnvironmentVariable("JT_TEST_BACKEND") != u"sqlite")
            QSKIP("No database involved: once is enough.");
        QTemporaryDir dir;
        const QString out = dir.filePath("certs");
        const QString crt = out + "/field.crt", key = out + "/field.key";
        if (refusal.contains(u"already")) {
            QVERIFY(QDir().mkpath(out));
            QFile planted(key);
            QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write("trusted") == 7);
        }
        QStringList args { "field-certificate", "--out", out };
        if (!name.isEmpty())
            args << "--name" << name;
        const Result result = runOn("/nonexistent/config.txt", args);
        if (!refusal.isEmpty()) {
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.contains(refusal), qPrintable(result.err));
            QVERIFY(!QFile::exists(crt));
            if (refusal.contains(u"already")) {
                QFile planted(key);
                QVERIFY(planted.open(QIODevice::ReadOnly));
                QCOMPARE(planted.readAll(), QByteArray("trusted"));
            }
            return;
        }
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(modeOf(key), 0600);

        FILE *file = std::fopen(QFile::encodeName(crt).constData(), "r");
        QVERIFY(file);
        X509 *cert = PEM_read_X509(file, nullptr, nullptr, nullptr);
        std::fclose(file);
        QVERIFY(cert);
        const auto freeCert = qScopeGuard([&] { X509_free(cert); });
        file = std::fopen(QFile::encodeName(key).constData(), "r");
        QVERIFY(file);
        EVP_PKEY *pkey = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
        std::fclose(file);
        QVERIFY(pkey);
        const auto freeKey = qScopeGuard([&] { EVP_PKEY_free(pkey); });
        QCOMPARE(X509_check_private_key(cert, pkey), 1);
        QCOMPARE(X509_verify(cert, pkey), 1); // self-signed
        QCOMPARE(EVP_PKEY_get_bits(pkey), 256);
        int days = 0, seconds = 0;
        QVERIFY(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(cert), X509_get0_notAfter(cert)));
        QCOMPARE(days, 825);

        QStringList found;
        auto *names = static_cast<GENERAL_NAMES *>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
        QVERIFY(names);
        for (int i = 0; i < sk_GENERAL_NAME_num(names); ++i) {
            const GENERAL_NAME *entry = sk_GENERAL_NAME_value(names, i);
            const ASN1_STRING *value = entry->type == GEN_DNS ? entry->d.dNSName : entry->d.iPAddress;
            const QByteArray bytes(
                reinterpret_cast<const char *>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value));
            if (entry->type == GEN_DNS)
                found << "DNS:" + QString::fromLatin1(bytes);
            else if (entry->type == GEN_IPADD && bytes.size() == 4)
                found << "IP:" + QHostAddress(qFromBigEndian<quint32>(bytes.constData())).toString();
        }
        GENERAL_NAMES_free(names);
        QCOMPARE(found, altNames);
        char common[256] {};
        X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common, sizeof common);
        QCOMPARE(QString::fromLatin1(common), name);

        unsigned char digest[32];
        unsigned int size = 0;
        QVERIFY(X509_digest(cert, EVP_sha256(), digest, &size) && size == 32);
        const QString fingerprint
            = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), 32).toHex(':').toUpper());
        QVERIFY2(result.out.contains("SHA-256 fingerprint: " + fingerprint + "\n"), qPrintable(result.out));
        QVERIFY2(result.out.contains(crt) && result.out.contains(key), qPrintable(result.out));
        const auto read = field::fingerprintOf(crt);
        QCOMPARE(read.index(), std::size_t(0));
        QCOMPARE(std::get<0>(read), fingerprint);
        QCOMPARE(field::fingerprintOf(key).index(), std::size_t(1)); // a key is no certificate

        // Asked again, it keeps the certificate the phones trust now.
        const Result again = runOn("/nonexistent/config.txt", args);
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(std::get<0>(field::fingerprintOf(crt)), fingerprint);
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
