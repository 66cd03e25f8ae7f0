// backends: postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "shell/ui/frmLogin.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <exception>
#include <memory>
#include <unistd.h>

Q_DECLARE_METATYPE(data::DbKind)

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));
const QString kLostTitle = QStringLiteral("Database Connection Lost");

// A PostgreSQL server of this test's own on a free loopback port: it is
// stopped and started under the program, which the shared server of the
// suite must never be.
class OwnServer
{
public:
    ~OwnServer()
    {
        if (!m_port.isEmpty())
            stop("immediate");
    }

    // Empty when running, else why not.
    QString start()
    {
        if (m_bin.isEmpty()) {
            QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            std::sort(versions.begin(), versions.end(), [](auto &a, auto &b) { return a.toInt() < b.toInt(); });
            if (versions.isEmpty() || !QFile::exists(QString("/usr/lib/postgresql/%1/bin/pg_ctl").arg(versions.last())))
                return "PostgreSQL's server programs are not installed";
            m_bin = QString("/usr/lib/postgresql/%1/bin/").arg(versions.last());
            if (!m_dir.isValid())
                return "no temporary folder";
            // The server runs as postgres when the test runs as root.
            QFile::setPermissions(m_dir.path(),
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                    | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
            QDir(m_dir.path()).mkdir("pg");
            if (isRoot())
                QProcess::execute("chown", { "postgres", data() });
            // A password, as for the suite's server: any local user can
            // reach the port.
            m_password = QUuid::createUuid().toByteArray(QUuid::Id128);
            QFile pwfile(m_dir.path() + "/password");
            if (!pwfile.open(QIODevice::WriteOnly) || !pwfile.setPermissions(QFileDevice::ReadOwner)
                || pwfile.write(m_password + '\n') < 0)
                return "no password file";
            pwfile.close();
            if (isRoot())
                QProcess::execute("chown", { "postgres", pwfile.fileName() });
            const QString out = pg("initdb",
                { "-D", data(), "-U", "postgres", "-A", "scram-sha-256", "--pwfile", pwfile.fileName(), "--no-sync",
                    "-E", "UTF8", "--locale=C.UTF-8" });
            QFile::remove(pwfile.fileName());
            if (!out.isEmpty())
                return out;
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost))
                return "no free port";
            m_port = QString::number(probe.serverPort());
        }
        return pg("pg_ctl",
            { "-D", data(), "-w", "-t", "30", "-l", data() + "/log", "-o",
                QString("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(m_port, data()), "start" });
    }

    // mode: "fast" (sessions told and ended) or "immediate" (killed).
    QString stop(const QString &mode) { return pg("pg_ctl", { "-D", data(), "-w", "-m", mode, "stop" }); }

    QString port() const { return m_port; }
    QByteArray password() const { return m_password; }
    // Stops the server and removes its files, destructors or not.
    void discard()
    {
        stop("immediate");
        m_dir.remove();
    }

private:
    static bool isRoot() { return ::geteuid() == 0; }
    QString data() const { return m_dir.path() + "/pg"; }

    // Empty on success, else the program's output.
    QString pg(const QString &program, const QStringList &args)
    {
        QProcess process;
        if (isRoot())
            process.start("runuser", QStringList { "-u", "postgres", "--", m_bin + program } + args);
        else
            process.start(m_bin + program, args);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return program + " failed: " + QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }

    QString m_bin;
    QTemporaryDir m_dir;
    QString m_port;
    QByteArray m_password;
};

OwnServer *g_server = nullptr;

// Builds the message expected for a lost connection.
QString lost(const char *whatItMeans = "")
{
    return QStringLiteral("The connection to the database was lost.%1 Try again when the database can be reached.")
        .arg(QString::fromLatin1(whatItMeans));
}
const char *const kNotSaved = " Nothing was saved; your changes are still on the screen.";

QStringList titles()
{
    QStringList list;
    for (const Messages::Shown &shown : Messages::shown())
        list << shown.title + ": " + shown.text;
    return list;
}

} // namespace

class TestOutage : public QObject
{
    Q_OBJECT

    OwnServer m_server;
    QString m_serverProblem;
    std::unique_ptr<TestDb> m_db;
    QString m_handleName;

    void stopServer(const QString &mode)
    {
        const QString problem = m_server.stop(mode);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    void startServer()
    {
        const QString problem = m_server.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    // After an outage: still the run's one connection, on the same handle.
    void expectSameConnection()
    {
        QCOMPARE(&testdb::context().db(), &m_db->connection());
        QCOMPARE(m_db->connection().handle().connectionName(), m_handleName);
        QVERIFY(m_db->connection().isOpen());
    }
    // Stops the server, presses `button`: the one message, no hourglass left.
    void pressDuringOutage(const QString &mode, QWidget *button, const QString &message)
    {
        stopServer(mode);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(titles(), QStringList { kLostTitle + ": " + message });
        QVERIFY(!QApplication::overrideCursor());
    }
    // Starts the server again and presses `button`: no message this time.
    void pressAfterOutage(QWidget *button)
    {
        Messages::clearShown();
        startServer();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(titles(), QStringList {});
    }

    static void modes()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("fast") << QStringLiteral("fast");
        QTest::newRow("immediate") << QStringLiteral("immediate");
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("JT_TEST_BACKEND") == u"sqlite")
            return;
        // A test that ends the program must not leave its server behind.
        g_server = &m_server;
        std::set_terminate([] {
            if (g_server)
                g_server->discard();
            std::abort();
        });
        m_serverProblem = m_server.start();
        if (m_serverProblem.isEmpty()) {
            qputenv("JT_TEST_PG_PORT", m_server.port().toLatin1());
            qputenv("JT_TEST_PG_PASSWORD", m_server.password());
        }
    }

    void init()
    {
        if (!m_serverProblem.isEmpty()) {
            if (qEnvironmentVariableIsSet("JT_REQUIRE_SERVER"))
                QFAIL(qPrintable(m_serverProblem));
            QSKIP(qPrintable(m_serverProblem));
        }
        if (QTest::currentTestFunction() == QByteArrayLiteral("connectionLostIsRecognised"))
            return;
        JT_FRESH_DB_IN(m_db);
        m_handleName = m_db->connection().handle().connectionName();
        Clock::setNow(kNow);
        testdb::logIn(0, "alice");
        testdb::setDryingDays(7);
    }
    void cleanupTestCase() { g_server = nullptr; }
    void cleanup()
    {
        // The database is dropped on the server, which must be up for it.
        if (m_db)
            m_server.start();
        m_db.reset();
    }

    // The data layer: a transaction whose connection goes is not retried,
    // and its Transaction objects unwind without touching the dead handle.
    // A COMMIT without an answer is "may not have been saved", never
    // success or a plain failure.
    void lostTransactionIsNeverRetried_data() { modes(); }
    void lostTransactionIsNeverRetried()
    {
        QFETCH(QString, mode);
        data::Connection &db = m_db->connection();
        const QString insert = QStringLiteral("INSERT INTO WIPStatus (Name, ColorCode) VALUES (?, ?)");
        const int before = testdb::scalar("SELECT COUNT(*) FROM WIPStatus").toInt();

        // In the middle of the work: the statement fails, nothing is tried again.
        try {
            data::Transaction outer(db);
            db.exec(insert, { "Outer", "1" });
            data::Transaction inner(db);
            db.exec(insert, { "Inner", "2" });
            stopServer(mode);
            db.exec(insert, { "Lost", "3" });
            QFAIL("a statement on a stopped server succeeded");
        } catch (const data::ConnectionLostError &e) {
            QCOMPARE(e.outcome(), data::ConnectionLostError::Outcome::NotSaved);
            QVERIFY(!e.detail().isEmpty());
        }
        startServer();
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIPStatus").toInt(), before);

        // At the commit: the outcome is unknown to the program.
        try {
            data::Transaction transaction(db);
            db.exec(insert, { "Committed?", "4" });
            stopServer(mode);
            transaction.commit();
            QFAIL("a commit on a stopped server succeeded");
        } catch (const data::ConnectionLostError &e) {
            QCOMPARE(e.outcome(), data::ConnectionLostError::Outcome::Unknown);
            QVERIFY(QString(e.what()).contains("may not have been saved"));
        }
        // Down, a new transaction cannot begin; nothing throws on the way out.
        QVERIFY_THROWS_EXCEPTION(data::ConnectionLostError, data::Transaction { db });
        startServer();
        {
            data::Transaction transaction(db);
            db.exec(insert, { "After", "5" });
            transaction.commit();
        }
        QCOMPARE(
            testdb::scalar("SELECT COUNT(*) FROM WIPStatus WHERE Name IN ('Outer','Inner','Lost','After')").toInt(), 1);
        expectSameConnection();
    }

    // A list whose reading is cut off by the server going away says so: the
    // rows already read are never taken for the whole list.
    void listReadCutOffIsConnectionLost_data() { modes(); }
    void listReadCutOffIsConnectionLost()
    {
        QFETCH(QString, mode);
        if (m_db->backend() == u"odbc")
            QSKIP("the ODBC driver reads the whole answer before handing over its first row");
        data::Connection &db = m_db->connection();
        const int jobs = 300000;
        db.exec(QStringLiteral("INSERT INTO WIP (Customer, JobType, Status) SELECT 'Customer ' || g || repeat('x', "
                               "200), 'Water', 'Open' FROM generate_series(1, ?) g"),
            { jobs });
        data::Rows rows = db.exec(QStringLiteral("SELECT ID, Customer FROM WIP ORDER BY Customer, ID"));
        int read = 0;
        try {
            while (rows.next()) {
                if (++read == 1000)
                    stopServer(mode);
            }
            QFAIL(qPrintable(
                QStringLiteral("the list came out short without an error: %1 of %2 rows").arg(read).arg(jobs)));
        } catch (const data::ConnectionLostError &e) {
            QCOMPARE(e.outcome(), data::ConnectionLostError::Outcome::Read);
            QVERIFY(read < jobs);
        }
        startServer();
        QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), jobs);
    }

    // A connection that died while nobody used it is only found out by the
    // next statement; a read and a transaction's BEGIN are then run on a
    // new connection without troubling the user. A write on its own is not:
    // it may have been carried out.
    void serverRestartedWhileIdle_data() { modes(); }
    void serverRestartedWhileIdle()
    {
        QFETCH(QString, mode);
        data::Connection &db = m_db->connection();
        stopServer(mode);
        startServer();
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIP").toInt(), 0);

        stopServer(mode);
        startServer();
        {
            data::Transaction transaction(db);
            db.exec("INSERT INTO WIPStatus (Name, ColorCode) VALUES (?, ?)", { "Idle", "1" });
            transaction.commit();
        }
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIPStatus WHERE Name = 'Idle'").toInt(), 1);

        // A write on its own runs again only if the server never got it.
        stopServer(mode);
        startServer();
        int lostOnce = 0;
        try {
            db.callUserProcedure("EmployeeLogin", 7, kNow);
        } catch (const data::ConnectionLostError &e) {
            QCOMPARE(e.outcome(), data::ConnectionLostError::Outcome::Unknown);
            lostOnce = 1;
        }
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM EmployeeLog WHERE UserID = 7").toInt(), 1 - lostOnce);
        expectSameConnection();
    }

    // What each driver says when the connection is gone, and some of what it
    // says when only the statement failed.
    void connectionLostIsRecognised_data()
    {
        columns<data::DbKind, int, QString, QString, bool>({ "kind", "type", "code", "text", "lost" });
        const auto add = [](const char *tag, data::DbKind kind, const char *code, const char *text, bool lost,
                             int type = QSqlError::StatementError) {
            QTest::newRow(tag) << kind << type << QString(code) << QString(text) << lost;
        };
        const auto pg = data::DbKind::PostgreSQL, ms = data::DbKind::SqlServer, lite = data::DbKind::SQLite;
        add("pg admin shutdown", pg, "57P01", "terminating connection", true);
        add("pg cannot connect now", pg, "57P03", "the database system is starting up", true);
        add("pg connection failure", pg, "08006", "", true);
        add("pg closed, no state", pg, "", "server closed the connection unexpectedly\n\tThis probably means", true);
        add("pg reconnect refused", pg, "", "Connection refused", true, QSqlError::ConnectionError);
        add("psqlodbc lost", pg, "35", "FATAL: terminating connection;\nThe connection has been lost", true);
        add("pg unique", pg, "23505", "duplicate key value violates unique constraint", false);
        add("pg serialization", pg, "40001", "could not serialize access", false);
        add("pg query canceled", pg, "57014", "canceling statement due to statement timeout", false);
        add("odbc syntax", pg, "1", "ERROR: syntax error at or near \"FORM\"", false);
        add("mssql link failure", ms, "0", "[Microsoft][ODBC Driver 18 for SQL Server]Communication link failure",
            true);
        add("mssql tcp reset", ms, "10054",
            "TCP Provider: An existing connection was forcibly closed by the remote host.", true);
        add("mssql deadlock", ms, "1205", "Transaction (Process ID 52) was deadlocked", false);
        add("sqlite locked", lite, "5", "database is locked", false);
        add("sqlite failed step", lite, "1", "Unable to fetch row", false, QSqlError::ConnectionError);
        add("sqlite, server words", lite, "08006", "server closed the connection unexpectedly", false);
    }
    void connectionLostIsRecognised()
    {
        QFETCH(data::DbKind, kind);
        QFETCH(int, type);
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(bool, lost);
        QCOMPARE(
            data::Dialect(kind).connectionLost(QSqlError("driver text", text, QSqlError::ErrorType(type), code)), lost);
    }

    // frmWIPEntry: the save fails with the message, the WIP stays on the
    // screen as typed, and saving again once the server is back stores it.
    void wipSaveDuringOutage_data() { modes(); }
    void wipSaveDuringOutage()
    {
        QFETCH(QString, mode);
        frmWIPEntry screen(testdb::context());
        QVERIFY(screen.open());
        screen.show();
        findControl<QComboBox>(&screen, "cmbCustomer")->setEditText("Ostrander");
        auto *type = findControl<QComboBox>(&screen, "cmbType");
        type->setCurrentIndex(type->findText("Fire"));
        auto *status = findControl<QComboBox>(&screen, "cmbStatus");
        status->setCurrentIndex(status->findText("Open"));
        findControl<QLineEdit>(&screen, "txtAddress")->setText("4 Quarry Lane");

        auto *save = findControl<QPushButton>(&screen, "btnSave");
        pressDuringOutage(mode, save, lost(kNotSaved));
        QCOMPARE(findControl<QComboBox>(&screen, "cmbCustomer")->currentText(), "Ostrander");
        QCOMPARE(findControl<QLineEdit>(&screen, "txtAddress")->text(), "4 Quarry Lane");
        QCOMPARE(type->currentText(), "Fire");
        QCOMPARE(findControl<QLabel>(&screen, "lblID")->text(), "");
        pressAfterOutage(save);
        QCOMPARE(testdb::scalar("SELECT Address FROM WIP WHERE Customer = 'Ostrander'").toString(), "4 Quarry Lane");
        QVERIFY(!findControl<QLabel>(&screen, "lblID")->text().isEmpty());
        expectSameConnection();
    }

    // The board's Refresh: the message, the filters as the user set them,
    // and the next Refresh after the outage shows the jobs.
    void boardRefreshDuringOutage_data() { modes(); }
    void boardRefreshDuringOutage()
    {
        QFETCH(QString, mode);
        testdb::insertRow("WIP",
            { { "Customer", "Ostrander" }, { "JobType", "Water" }, { "Status", "Open" },
                { "StartDate", kNow.addDays(-1) }, { "AmountBilled", 0.0 }, { "InvoiceID", "" }, { "QBID", "" } });
        frmWIPNavigator screen(testdb::context());
        QVERIFY(screen.open());
        screen.show();
        auto *grid = findControl<GridWidget>(&screen, "vsfgWIP");
        findControl<QLineEdit>(&screen, "txtSearch")->setText("Ostr");
        findControl<QCheckBox>(&screen, "chkActive")->setChecked(false);
        auto *refresh = findControl<QPushButton>(&screen, "btnRefresh");
        QTest::mouseClick(refresh, Qt::LeftButton);
        QCOMPARE(grid->rows(), 2);

        pressDuringOutage(mode, refresh, lost());
        QCOMPARE(findControl<QLineEdit>(&screen, "txtSearch")->text(), "Ostr");
        QVERIFY(!findControl<QCheckBox>(&screen, "chkActive")->isChecked());
        pressAfterOutage(refresh);
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->textMatrix(1, board::ColCustomer), "Ostrander");
        expectSameConnection();
    }

    // The login: the message, not a refusal (what was typed stays, and no
    // failed attempt is counted); the next OK logs in.
    void loginDuringOutage_data() { modes(); }
    void loginDuringOutage()
    {
        QFETCH(QString, mode);
        TestDb::addEmployee("kwhit", "Secret 1");
        testdb::context().clearUser();
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.lockForLogin();
        mdi.openLogin();
        auto *form = qobject_cast<frmLogin *>(mdi.findScreen("frmLogin"));
        QVERIFY(form);
        QTest::keyClicks(findControl<QLineEdit>(form, "txtUsername"), "kwhit");
        QTest::keyClicks(findControl<QLineEdit>(form, "txtPassword"), "Secret 1");

        auto *login = findControl<QPushButton>(form, "btnLogin");
        pressDuringOutage(mode, login, lost());
        QCOMPARE(findControl<QLineEdit>(form, "txtUsername")->text(), "kwhit");
        QCOMPARE(findControl<QLineEdit>(form, "txtPassword")->text(), "Secret 1");
        QVERIFY(!testdb::context().isLoggedIn());
        QCOMPARE(testdb::context().loginThrottle().failures("kwhit"), 0);
        pressAfterOutage(login);
        QCOMPARE(testdb::context().Username(), "kwhit");
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM EmployeeLog WHERE Action = 'Login'").toInt(), 1);
        expectSameConnection();
    }
};

QTEST_MAIN(TestOutage)
#include "tst_outage.moc"
