#pragma once

#include "data/ConnectionString.h"

#include <QSqlError>
#include <QString>
#include <QStringList>

namespace data {

// Everything that differs between the three SQL dialects the program speaks.
// Statements elsewhere are written in the common subset and ask this class
// for the rest.
class Dialect
{
public:
    explicit Dialect(DbKind kind = DbKind::SQLite)
        : m_kind(kind)
    {
    }

    DbKind kind() const { return m_kind; }

    // "SELECT <columns> FROM <rest>" limited to n rows:
    // TOP n on SQL Server, LIMIT n elsewhere.
    QString selectTop(int n, const QString &columns, const QString &rest) const;
    // "SELECT <columns> FROM <table> <rest>" that locks the rows of `table`
    // it yields until the transaction ends, so that a second transaction
    // asking the same waits and then reads them as committed: FOR UPDATE OF
    // on PostgreSQL, UPDLOCK with HOLDLOCK on SQL Server. SQLite has no row
    // locks: there the transaction takes the write lock first (writeLock()).
    QString selectForUpdate(const QString &columns, const QString &table, const QString &rest) const;
    // A statement that takes the database's write lock for the transaction
    // before it reads anything (SQLite, where a transaction that has read
    // and then writes after another's commit fails); empty elsewhere.
    QString writeLock(const QString &table) const;
    // ISNULL(expr, fallback) / COALESCE(expr, fallback)
    QString isNull(const QString &expr, const QString &fallback) const;
    // a + b + c on SQL Server, a || b || c elsewhere. Parts are SQL expressions.
    QString concat(const QStringList &parts) const;
    // Whole calendar days from the date-time column `from` to the date
    // parameter `to` (a bound date), signed.
    QString daysBetween(const QString &from, const QString &to) const;
    // Text comparison that ignores case on every server.
    QString equalsIgnoreCase(const QString &column, const QString &placeholder) const;

    // INSERT that yields the new identity as the statement's single row
    // (OUTPUT INSERTED.ID / RETURNING ID); empty suffix on SQLite, which
    // reports it through lastInsertId().
    QString insertReturningId(const QString &table, const QStringList &columns) const;
    bool insertReturnsRow() const { return m_kind != DbKind::SQLite; }

    // The statement that begins a transaction when the driver's own would
    // not do; empty for the driver's. SQLite's plain BEGIN takes its write
    // lock only at the first write, and a second writer on the same file
    // (the field server beside the desktop) then fails at once with
    // "database is locked" instead of waiting its turn: BEGIN IMMEDIATE
    // waits for the lock up front, within the busy timeout.
    QString beginTransaction() const;

    // Savepoints of a transaction nested `level` deep (2 and up). Releasing is
    // empty on SQL Server, which keeps a savepoint until the outer commit.
    QString savepoint(int level) const;
    QString releaseSavepoint(int level) const;
    QString rollbackToSavepoint(int level) const;

    // The row `ID = ?` of `table`, whole, locked against other writers until
    // the transaction ends: FOR UPDATE on PostgreSQL, UPDLOCK on SQL Server.
    // On SQLite, whose write lock is the database's, takeWriteLock() runs
    // first.
    QString selectRowLocked(const QString &table) const;
    // The statement that takes SQLite's write lock for the transaction (a
    // write of the row `ID = ?` that changes nothing); empty elsewhere.
    QString takeWriteLock(const QString &table) const;

    // A call of one of the database's procedures with one input parameter.
    // Empty on SQLite, which has no procedures: the caller does the work itself.
    QString callProcedure(const QString &name, const QString &parameter) const;

    // Rows one INSERT of a bulk load carries. 1 on SQLite, whose driver slows
    // down on long parameter lists (the caller reuses one prepared statement
    // instead); on the servers as many as stay under SQL Server's limit of
    // 2,100 parameters a statement, at most 500.
    int rowsPerInsert(qsizetype columns) const;
    // The statement that lets INSERTs name their own ID in `table` (on) or
    // stops it (off): SET IDENTITY_INSERT on SQL Server. Empty elsewhere,
    // where an explicit ID needs no permission.
    QString identityInsert(const QString &table, bool on) const;
    // The statement that moves the table's identity counter past the highest
    // ID after rows were inserted with explicit IDs. Empty where the server
    // does that itself (SQLite's AUTOINCREMENT, SQL Server's IDENTITY).
    QString resetIdentity(const QString &table) const;
    // The statement that makes the table's identity hand out `next` next,
    // inside a transaction (a rollback undoes it, which setval() would not).
    // Empty where explicit IDs move the counter on themselves (SQLite's
    // AUTOINCREMENT, SQL Server's IDENTITY).
    QString continueIdentity(const QString &table, qint64 next) const;
    // The session statement that makes the transactions begun after it read
    // one consistent snapshot of the database (on), or the one that goes back
    // to the default (off). Empty on SQLite, whose read transaction is one.
    QString snapshotIsolation(bool on) const;

    // A query yielding one row that names the database a connection works on
    // however its connection string reached the server (a host name or an
    // address, a socket folder with or without its slash): the cluster's
    // system identifier, the database and the schema on PostgreSQL; the
    // server's name, the database and the schema on SQL Server. Empty on
    // SQLite, whose database is its file (its device and inode).
    QString databaseIdentity() const;

    // A query with one parameter, a table name, that yields a row when a
    // statement naming that table unqualified would find one. Asking the
    // catalog rather than trying the table raises no error, which would abort
    // a surrounding transaction on PostgreSQL.
    QString tableExists() const;
    // The same for an index: two parameters, the table and the index name.
    QString indexExists() const;

    // A query yielding every foreign key of the tables a statement naming
    // them unqualified would find: table, column, referenced table and the
    // delete rule ("CASCADE", "NO ACTION", ...).
    QString foreignKeys() const;

    // A query yielding the limited text columns of the tables named by its
    // `tables` parameters (table, column, width in characters, nullable as
    // "YES"/"NO"), of the tables a statement naming them unqualified would
    // find. Empty on SQLite, which keeps no widths.
    QString textColumnWidths(qsizetype tables) const;
    // The statement that makes a text column `width` characters wide and
    // keeps whether it takes NULL (SQL Server's ALTER COLUMN states it anew).
    // Empty on SQLite.
    QString resizeTextColumn(const QString &table, const QString &column, int width, bool nullable) const;
    // Whether schema changes take part in a transaction, so that a rollback
    // undoes them (SQLite, PostgreSQL). SQL Server refuses some of them inside
    // one, so its schema changes commit step by step.
    bool transactionalSchemaChanges() const { return m_kind != DbKind::SqlServer; }

    // Whether an error means the connection to the server is gone (dropped,
    // the server shut down or restarting, or not reachable on reconnect),
    // rather than that the statement failed. QPSQL reports the SQLSTATE;
    // QODBC only the driver's own number and text.
    bool connectionLost(const QSqlError &error) const;

    // The statements that drop a trigger of `table` (and do nothing when it
    // is not there): PostgreSQL names the table, the others do not.
    QString dropTrigger(const QString &name, const QString &table) const;
    // The statement that drops one of the schema's functions before it is
    // made anew; empty where CREATE OR REPLACE does that (PostgreSQL) and on
    // SQLite, which has none.
    QString dropFunction(const QString &name) const;
    // The statements that tell the job history's triggers who works on this
    // session (one parameter, the user name, in the statement that takes
    // it; empty for a session of nobody in particular): a setting of the
    // session on PostgreSQL, SESSION_CONTEXT on SQL Server. A trigger of the
    // SQLite file cannot see the session, so there the session gets a
    // temporary table with the name and a temporary trigger that writes it
    // into each history row the file's triggers add.
    QStringList historyUser() const;

    // Resource path of the script that creates the schema in this dialect.
    QString schemaScript() const;

private:
    DbKind m_kind;
};

// A search for `text` anywhere in a column, in any case, the same on every
// database: containsCondition("WIP.Customer") with containsPattern(text)
// bound to its one '?'. LIKE's own characters in the text (and '[', which
// SQL Server reads as a set) stand for themselves.
QString containsCondition(const QString &column);
QString containsPattern(const QString &text);

} // namespace data
