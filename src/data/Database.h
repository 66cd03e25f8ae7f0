#pragma once

#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/Dialect.h"

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// The one connection every screen works on.
extern QSqlDatabase gConnection;

namespace data {

// Column name and value pairs of one row to write.
using Fields = QList<QPair<QString, QVariant>>;

struct OpenOptions
{
    // Create a missing SQLite file (the admin tool's init); the program itself
    // refuses to start on a database that is not there.
    bool createSqliteFile = false;
};

// Opens gConnection on the given ADO-style connection string. Relative SQLite
// paths are taken from baseDir. Throws DbError (or std::invalid_argument for
// a string that maps to nothing).
void OpenConnection(const QString &connectionString, const QString &baseDir, OpenOptions options = {});
void CloseConnection();
bool IsOpen();

// The dialect of gConnection.
const Dialect &dialect();

// Prepares sql, binds params positionally ('?') and executes it on
// gConnection. Throws DbError on failure. Values are never spliced.
QSqlQuery exec(const QString &sql, const QVariantList &params = {});
// The first column of the first row, or an invalid QVariant when no row.
QVariant scalar(const QString &sql, const QVariantList &params = {});
// Executes a statement of several lines that takes no parameters (schema).
void execScript(const QString &sql);

// Inserts one row and returns the identity the server assigned.
qint64 insertRow(const QString &table, const Fields &fields);
// Updates the row with the given ID; returns the number of rows changed.
int updateRow(const QString &table, qint64 id, const Fields &fields);

// Runs the database procedure EmployeeLogin / EmployeeLogoff for a user. On
// SQLite, which has no procedures, the same log row is written directly.
void callUserProcedure(const QString &name, qint64 userId);

// A statement prepared once and run many times with new values.
class Statement
{
public:
    explicit Statement(const QString &sql);
    // Binds params positionally and executes; throws DbError.
    QSqlQuery &run(const QVariantList &params);

private:
    QString m_sql;
    QSqlQuery m_query;
};

// One unit of work. Commits on commit(); rolls back when destroyed without it,
// so a DbError thrown part-way leaves the database as it was.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    bool m_open = false;
};

// Test seam: when set, the next statement whose text contains `fragment`
// fails with a DbError instead of running.
void failNextStatementContaining(const QString &fragment);

} // namespace data
