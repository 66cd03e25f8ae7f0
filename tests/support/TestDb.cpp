#include "support/TestDb.h"

#include "app/StartUp.h"
#include "base/Clock.h"
#include "base/Passwords.h"
#include "data/Database.h"
#include "data/References.h"
#include "data/Schema.h"
#include "shell/AppContext.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Messages.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {

// Test programs run side by side under ctest -j; each gets a runtime folder of
// its own, so the program's single-instance lock of one does not refuse the
// start-up of another.
struct PrivateRuntimeFolder
{
    QTemporaryDir dir { QDir::tempPath() + QStringLiteral("/jt-runtime-XXXXXX") };
    PrivateRuntimeFolder()
    {
        if (dir.isValid()) {
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
        }
    }
};
const PrivateRuntimeFolder g_runtimeFolder;

TestDb *g_current = nullptr;

QString pgPort()
{
    return qEnvironmentVariable("JT_TEST_PG_PORT");
}

// scripts/test's server asks for a password; a server that trusts its
// users takes any.
QString pgPassword()
{
    return qEnvironmentVariable("JT_TEST_PG_PASSWORD");
}

// Runs one statement on the server's maintenance database.
bool onServer(const QString &sql, QString *error)
{
    const QString name = QStringLiteral("jt-admin-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        admin.setHostName(QStringLiteral("127.0.0.1"));
        admin.setPort(pgPort().toInt());
        admin.setDatabaseName(QStringLiteral("postgres"));
        admin.setUserName(QStringLiteral("postgres"));
        admin.setPassword(pgPassword());
        if (admin.open()) {
            QSqlQuery q(admin);
            ok = q.exec(sql);
            if (!ok && error)
                *error = q.lastError().text();
            admin.close();
        } else if (error) {
            *error = admin.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

TestDb::TestDb()
    : m_backend(qEnvironmentVariable("JT_TEST_BACKEND", QStringLiteral("sqlite")))
{
    g_current = this;
    resetTestState();
}

TestDb::~TestDb()
{
    m_db.close();
    dropServerDatabase();
    if (g_current == this)
        g_current = nullptr;
    resetTestState();
}

TestDb *TestDb::current()
{
    return g_current;
}

void TestDb::dropServerDatabase()
{
    if (m_serverDatabase.isEmpty())
        return;
    onServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_serverDatabase), nullptr);
    m_serverDatabase.clear();
}

bool TestDb::create(bool withSchema)
{
    if (m_backend == u"sqlite") {
        m_connectionString = QStringLiteral("Provider=SQLite;Data Source=jobs.db");
    } else if (m_backend == u"postgres" || m_backend == u"odbc") {
        if (pgPort().isEmpty()) {
            m_skipReason = QStringLiteral("JT_TEST_PG_PORT is not set: no PostgreSQL server for this run");
            return false;
        }
        m_serverDatabase = QStringLiteral("jt_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        QString error;
        if (!onServer(QStringLiteral("CREATE DATABASE %1").arg(m_serverDatabase), &error)) {
            m_skipReason = QStringLiteral("Cannot create a test database: ") + error;
            m_serverDatabase.clear();
            return false;
        }
        if (m_backend == u"postgres")
            m_connectionString
                = QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=%1;Database=%2;User ID=postgres;Password=%3")
                      .arg(pgPort(), m_serverDatabase, pgPassword());
        else
            m_connectionString = QStringLiteral(
                "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=%2;Uid=postgres;Pwd=%3;")
                                     .arg(pgPort(), m_serverDatabase, pgPassword());
    } else {
        m_skipReason = QStringLiteral("Unknown JT_TEST_BACKEND ") + m_backend;
        return false;
    }
    writeConfig(QStringLiteral("\"Job Tracker\"\nDatabase,\"%1\"\nCustomers,customers.mdb\n").arg(m_connectionString));
    try {
        data::OpenOptions options;
        options.createSqliteFile = true;
        m_db.open(m_connectionString, folder(), options);
        if (withSchema)
            data::createSchema(m_db);
    } catch (const data::DbError &e) {
        m_skipReason = QStringLiteral("Cannot open the test database: ") + e.message();
        return false;
    }
    return true;
}

void TestDb::reopen()
{
    m_db.open(m_connectionString, folder());
}

void TestDb::writeConfig(const QString &text) const
{
    QFile file(m_dir.filePath(QStringLiteral("config.txt")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
}

int TestDb::addEmployee(const QString &username, const QString &password, const QString &type, bool inactive)
{
    const QVariant typeId = testdb::scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = ?"), { type });
    return static_cast<int>(testdb::insertRow(QStringLiteral("Employee"),
        { { QStringLiteral("FirstName"), username }, { QStringLiteral("LastName"), QStringLiteral("Tester") },
            { QStringLiteral("Inactive"), inactive }, { QStringLiteral("UserTypeID"), typeId },
            { QStringLiteral("Username"), username }, { QStringLiteral("Password"), Passwords::hash(password) } }));
}

void TestDb::grant(int employeeId, const QString &permission)
{
    const QVariant permissionId
        = testdb::scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { permission });
    testdb::exec(QStringLiteral("INSERT INTO UserPermission (UserID, PermissionID) VALUES (?, ?)"),
        { employeeId, permissionId });
}

void TestDb::addCompany(int dryingDays, double keyPressDelay)
{
    testdb::insertRow(QStringLiteral("Company"),
        { { QStringLiteral("Name"), QStringLiteral("Varnholt of Brackwell") },
            { QStringLiteral("Address1"), QStringLiteral("12 Mill Road") }, { QStringLiteral("Address2"), QString() },
            { QStringLiteral("City"), QStringLiteral("Brackwell") }, { QStringLiteral("State"), QStringLiteral("OH") },
            { QStringLiteral("Zip"), QStringLiteral("44101") },
            { QStringLiteral("Phone"), QStringLiteral("(216) 555-0100") },
            { QStringLiteral("Fax"), QStringLiteral("(216) 555-0101") },
            { QStringLiteral("Email"), QStringLiteral("office@example.com") },
            { QStringLiteral("Website"), QStringLiteral("www.example.com") },
            { QStringLiteral("KeyPressDelay"), keyPressDelay },
            { QStringLiteral("QBItemName"), QStringLiteral("Restoration") },
            { QStringLiteral("QBItemDescription"), QStringLiteral("Restoration services") },
            { QStringLiteral("QBItemAmount"), 0.0 }, { QStringLiteral("DryingDays"), dryingDays } });
}

void resetTestState()
{
    if (g_current) {
        AppContext &ctx = g_current->context();
        ctx.clearUser();
        ctx.setCompany({});
        ctx.loginThrottle().clear();
        ctx.setShutDownHook({});
    }
    Clock::setNow({});
    ResetKeySearch();
    Messages::setRecording(true);
}

namespace testdb {

// A test that reaches for the database without one is a test bug: say so in
// every build, not only where asserts are on.
TestDb &current()
{
    if (!g_current)
        qFatal("testdb: no TestDb is alive (declare JT_FRESH_DB first)");
    return *g_current;
}

data::Connection &connection()
{
    return current().connection();
}

AppContext &context()
{
    if (MainWindow() && ProgramContext())
        return *ProgramContext();
    return current().context();
}

data::Rows exec(const QString &sql, const QVariantList &params)
{
    return connection().exec(sql, params);
}

QVariant scalar(const QString &sql, const QVariantList &params)
{
    return connection().scalar(sql, params);
}

qint64 insertRow(const QString &table, const data::Fields &fields)
{
    return connection().insertRow(table, fields);
}

void execScript(const QString &sql)
{
    connection().execScript(sql);
}

void logIn(qint64 id, const QString &username, const QString &userType)
{
    // Rights are read from the database at every check: the session's
    // employee must stand there, active, with a user name and of the type
    // given. The row with this ID is used when it has this name or none,
    // else the row with this name, else one is added (without a password:
    // nobody logs in as it).
    // The connection of the running program, when one was started.
    data::Connection &db = context().db();
    qint64 employee = 0;
    const QVariant named = db.scalar(QStringLiteral("SELECT Username FROM Employee WHERE ID = ?"), { id });
    if (named.isValid() && (named.toString().isEmpty() || named.toString() == username)) {
        employee = id;
        db.exec(QStringLiteral("UPDATE Employee SET Username = ? WHERE ID = ?"), { username, id });
    } else if (const QVariant found
               = db.scalar(QStringLiteral("SELECT ID FROM Employee WHERE Username = ?"), { username });
               found.isValid() && !found.isNull()) {
        employee = found.toLongLong();
    }
    const QString type = userType.isEmpty() ? QStringLiteral("User") : userType;
    const QVariant typeId = db.scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = ?"), { type });
    if (employee == 0) {
        employee = db.insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("FirstName"), username }, { QStringLiteral("LastName"), QStringLiteral("Session") },
                { QStringLiteral("Inactive"), false }, { QStringLiteral("UserTypeID"), typeId },
                { QStringLiteral("Username"), username }, { QStringLiteral("Password"), QString() } });
    } else if (!userType.isEmpty()) {
        db.exec(QStringLiteral("UPDATE Employee SET Inactive = ?, UserTypeID = ? WHERE ID = ?"),
            { false, typeId, employee });
    } else {
        db.exec(QStringLiteral("UPDATE Employee SET Inactive = ? WHERE ID = ?"), { false, employee });
    }
    context().setUser({ static_cast<qint16>(employee), username, userType });
}

void setKeyPressDelay(double seconds)
{
    CompanyRow row = context().company();
    row.keyPressDelay = seconds;
    context().setCompany(row);
}

void setDryingDays(int days)
{
    CompanyRow row = context().company();
    row.dryingDays = days;
    context().setCompany(row);
}

void dropAdditions(bool keepVersionTable)
{
    const auto tables = data::expectedTables();
    // The row versions' triggers are additions too, and SQLite drops no
    // column a trigger uses.
    for (auto it = tables.begin(); it != tables.end(); ++it)
        execScript(connection().dialect().dropTrigger(QStringLiteral("TR_%1_RowVersion").arg(it.key()), it.key()));
    data::dropHistoryTriggers(connection());
    // A table goes before those its foreign keys point at.
    QStringList children;
    for (const data::Reference &reference : data::references()) {
        if (reference.constrained())
            children.prepend(QLatin1String(reference.table));
    }
    children.removeDuplicates();
    for (const QString &table : std::as_const(children)) {
        if (tables.value(table).addition)
            execScript(QStringLiteral("DROP TABLE %1").arg(table));
    }
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (children.contains(it.key()))
            continue;
        if (it->addition) {
            if (!keepVersionTable || it.key() != u"SchemaVersion")
                execScript(QStringLiteral("DROP TABLE %1").arg(it.key()));
            continue;
        }
        for (const QString &column : it->addedColumns)
            execScript(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(it.key(), column));
    }
}

} // namespace testdb
