#pragma once

#include "data/Database.h"
#include "shell/AppContext.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh job database for one test, on the backend that JT_TEST_BACKEND
// names: "sqlite" (a temporary file), "postgres" (a new database on the
// server at 127.0.0.1:$JT_TEST_PG_PORT with the password
// $JT_TEST_PG_PASSWORD, if any, through QPSQL) or "odbc" (the same
// kind of database reached through QODBC and the PostgreSQL ODBC driver).
//
// create() makes the database with the full schema and lookup rows, writes a
// config.txt naming it into folder(), and leaves the test's own connection
// open on it (testdb::connection()), with a context on that connection
// (testdb::context()) for screens made without a start-up.
class TestDb
{
public:
    TestDb();
    ~TestDb();

    // Returns false (after QSKIP/QFAIL bookkeeping is left to the caller)
    // when the backend cannot be reached; see skipReason().
    bool create(bool withSchema = true);
    QString skipReason() const { return m_skipReason; }

    QString backend() const { return m_backend; }
    QString folder() const { return m_dir.path(); }
    QString connectionString() const { return m_connectionString; }

    // Reopens the test's connection on this database (after a test closed it).
    void reopen();

    data::Connection &connection() { return m_db; }
    AppContext &context() { return m_context; }
    // The TestDb of the running test, or nullptr.
    static TestDb *current();
    // Writes a config.txt with the given text into folder().
    void writeConfig(const QString &text) const;

    // Adds an employee and returns its ID. The password is stored as a hash.
    static int addEmployee(const QString &username, const QString &password,
        const QString &type = QStringLiteral("User"), bool inactive = false);
    static void grant(int employeeId, const QString &permission);
    static void addCompany(int dryingDays = 7, double keyPressDelay = 1);

private:
    void dropServerDatabase();

    data::Connection m_db;
    AppContext m_context { m_db };
    QString m_backend;
    QTemporaryDir m_dir;
    QString m_connectionString;
    QString m_serverDatabase;
    QString m_skipReason;
};

// Creates `db` (with or without the schema), or ends the test: skipped when
// the backend cannot be reached, failed when the run requires a server.
#define JT_CREATE_OR_SKIP(db, withSchema)                                                                              \
    if (!(db).create(withSchema)) {                                                                                    \
        if (qEnvironmentVariableIsSet("JT_REQUIRE_SERVER"))                                                            \
            QFAIL(qPrintable((db).skipReason()));                                                                      \
        QSKIP(qPrintable((db).skipReason()));                                                                          \
    }

// At the start of a test that needs a database: declares TestDb `name`.
#define JT_FRESH_DB(name)                                                                                              \
    TestDb name;                                                                                                       \
    JT_CREATE_OR_SKIP(name, true)

// In init(): makes `member` (a std::unique_ptr<TestDb>) a fresh database.
#define JT_FRESH_DB_IN(member)                                                                                         \
    member = std::make_unique<TestDb>();                                                                               \
    JT_CREATE_OR_SKIP(*member, true)

// Resets the context, the fixed clock and the message recorder.
void resetTestState();

// The running test's database, reached without passing the TestDb around.
namespace testdb {
data::Connection &connection();
// The context of the program run that StartUp() began, while its main window
// is open; otherwise the TestDb's own context.
AppContext &context();
data::Rows exec(const QString &sql, const QVariantList &params = {});
QVariant scalar(const QString &sql, const QVariantList &params = {});
qint64 insertRow(const QString &table, const data::Fields &fields);
void execScript(const QString &sql);
// The logged-in user of context(): the employee with this ID and user name,
// else the one with this user name, else a new one; made active and given
// the type (when one is named), since every check reads the rights from the
// database.
void logIn(qint64 id, const QString &username, const QString &userType = QString());
// Company values of context() put in force directly.
void setKeyPressDelay(double seconds);
void setDryingDays(int days);
// Drops every table and column the schema scripts mark as the program's own
// addition, as an older installation's database lacks them; the version
// table stays when `keepVersionTable`.
void dropAdditions(bool keepVersionTable = false);
} // namespace testdb
