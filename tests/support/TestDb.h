#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh job database for one test, on the backend that JT_TEST_BACKEND
// names: "sqlite" (a temporary file), "postgres" (a new database on the
// server at 127.0.0.1:$JT_TEST_PG_PORT, through QPSQL) or "odbc" (the same
// kind of database reached through QODBC and the PostgreSQL ODBC driver).
//
// create() makes the database with the full schema and lookup rows, writes a
// config.txt naming it into folder(), and leaves gConnection open on it.
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

    // Reopens gConnection on this database (after a test closed it).
    void reopen();
    // Writes a config.txt with the given text into folder().
    void writeConfig(const QString &text) const;

    // Adds an employee and returns its ID. The password is stored as a hash.
    static int addEmployee(const QString &username, const QString &password,
        const QString &type = QStringLiteral("User"), bool inactive = false);
    static void grant(int employeeId, const QString &permission);
    static void addCompany(int dryingDays = 7, double keyPressDelay = 1);

private:
    void dropServerDatabase();

    QString m_backend;
    QTemporaryDir m_dir;
    QString m_connectionString;
    QString m_serverDatabase;
    QString m_skipReason;
};

// Call at the start of a test (or in init()) that needs a database:
//   JT_FRESH_DB(db);  declares TestDb db and skips/fails when unavailable.
#define JT_FRESH_DB(name)                                                                                              \
    TestDb name;                                                                                                       \
    if (!name.create()) {                                                                                              \
        if (qEnvironmentVariableIsSet("JT_REQUIRE_SERVER"))                                                            \
            QFAIL(qPrintable(name.skipReason()));                                                                      \
        QSKIP(qPrintable(name.skipReason()));                                                                          \
    }

// Resets program values, the fixed clock and the message recorder.
void resetTestState();
