#pragma once

#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/Dialect.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace data {

class Connection;

// The rows a statement yields, read one at a time. Every read goes through
// this, never through a bare QSqlQuery: next() throws when a fetch fails on
// the way (a ConnectionLostError when the connection went, a DbError for any
// other failure), where QSqlQuery::next() would just say "no more rows" and
// leave a list silently short.
class Rows
{
public:
    Rows() = default;

    // The next row; false at the end. Throws when the rows could not all be read.
    bool next();
    QVariant value(int index) const { return m_query.value(index); }
    QVariant value(const QString &name) const { return m_query.value(name); }
    bool isNull(int index) const { return m_query.isNull(index); }
    QSqlRecord record() const { return m_query.record(); }
    int numRowsAffected() const { return m_query.numRowsAffected(); }
    QVariant lastInsertId() const { return m_query.lastInsertId(); }

private:
    friend class Connection;
    friend class Statement;
    Rows(Connection *db, QSqlQuery query, QString sql)
        : m_db(db)
        , m_query(std::move(query))
        , m_sql(std::move(sql))
    {
    }

    Connection *m_db = nullptr;
    QSqlQuery m_query;
    QString m_sql;
};

// The column that numbers the versions of a row two users may edit. The
// database moves it on at every change of the row, whoever makes it (a
// trigger on SQLite and PostgreSQL, a rowversion on SQL Server), so a save
// can tell that the row changed since it was read without trusting any
// client's date text. Read it with the row; hand it back to
// Connection::updateRowAtVersion().
inline QString rowVersionColumn()
{
    return QStringLiteral("RowVersion");
}

// Column name and value pairs of one row to write.
using Fields = QList<QPair<QString, QVariant>>;

// Rows of another table saved with a row as one of its fields (a job's
// subcontractors, an employee's permissions), compared as a whole.
struct LinkSet
{
    QString name; // named when refused
    QStringList loaded; // as read with the row
    QStringList saved; // as the save writes it
    // The set as it stands now, read with the row locked.
    std::function<QStringList()> current;

    bool changed() const;
};

// Who saves a record, and when: written to EnteredBy/EnteredDate on a new row
// and EditedBy/EditedDate on every save.
struct Stamp
{
    QString user;
    QDateTime when;
};

// The stamp as columns: EnteredBy/EnteredDate on a new row, EditedBy and
// EditedDate on every save. `when` is what the date columns store (the
// stamp's time when left out).
Fields stampFields(const Stamp &stamp, bool newRow, const QVariant &when = {});

struct OpenOptions
{
    // Create a missing SQLite file (the admin tool's init); the program itself
    // refuses to start on a database that is not there. The file is made
    // owner-only (0600) before SQLite opens it; its journal takes that mode.
    bool createSqliteFile = false;
    // A SQLite file from outside (a backup to restore, a file to copy from):
    // opened read-only, its schema trusted with nothing: no function of it
    // runs that SQLite does not deem harmless, and no CHECK constraint of it
    // is evaluated (PRAGMA integrity_check would). Whatever else it holds,
    // data::foreignSchemaProblem() looks at before any row is read.
    bool foreignFile = false;
};

// One connection to the job database. The program owns one and hands it down;
// a worker thread opens a second one of its own (a QSqlDatabase may only be
// used on the thread that opened it).
//
// When the server goes away, a statement fails with ConnectionLostError and
// the next one opens the connection again first. Outside a transaction, a
// statement is also tried once more on a new connection straight away when
// running it twice is harmless: a read, or any statement the server never
// got (its preparation or the BEGIN failed). Nothing else is retried.
//
// Every statement binds its values; none is built from a value.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens on the given ADO-style connection string. Relative SQLite paths
    // are taken from baseDir. Throws DbError (also for a string that maps to
    // nothing).
    void open(const QString &connectionString, const QString &baseDir, OpenOptions options = {});
    // Opens again on the string and folder of the last open() (after an
    // outage or a close). Throws DbError.
    void reopen();
    void close();
    bool isOpen() const;
    // Whether the last open() made the SQLite file (createSqliteFile): what a
    // run that fails may remove again, and nothing else.
    bool createdFile() const { return m_createdFile; }

    const Dialect &dialect() const { return m_dialect; }
    QSqlDatabase &handle() { return m_db; }

    // Prepares sql, binds params positionally ('?') and executes it. Throws
    // DbError on failure.
    Rows exec(const QString &sql, const QVariantList &params = {});
    // The first column of the first row, or an invalid QVariant when no row.
    QVariant scalar(const QString &sql, const QVariantList &params = {});
    // Executes a statement that takes no parameters (schema scripts).
    void execScript(const QString &sql);

    // Inserts one row and returns the identity the server assigned.
    qint64 insertRow(const QString &table, const Fields &fields);
    // Updates the row with the given ID; returns the number of rows changed.
    int updateRow(const QString &table, qint64 id, const Fields &fields);
    // Saves the user's changes to the existing row `id` of `table`, field by
    // field. `loaded` holds the columns of `fields` as the record was read
    // (data::Row::read()); a column whose value in `fields` differs from it, read as
    // the value's type, is a change. Only the
    // changes are written, with the columns `loaded` does not name (the
    // stamp) beside them; when nothing changed, nothing is written.
    // While the row is still at `version` (its RowVersion as read with the
    // record) nobody changed it and the changes are written at once. Else,
    // with the row locked, each changed column is compared with what is stored
    // now: one that someone else changed too throws ChangedByOtherError naming
    // those columns and the row's stamp as it stands now, and nothing is
    // written; changes of other columns are kept. A link set that the save
    // changes is compared the same way. DbError naming `what` ("WIP 12") when
    // the row is gone. Returns whether anything was written: the caller
    // rewrites a changed link set then. An empty `loaded` (a record not read
    // field by field) writes every column, refused by any change of the row
    // since it was read.
    bool updateRowAtVersion(const QString &table, qint64 id, const Fields &fields, const Fields &loaded,
        const QVariant &version, const QString &what, const QList<LinkSet> &links = {});
    // The record-saving pattern: inserts a new row when id is 0, else saves
    // the changes to that row (updateRowAtVersion, the row named
    // "<what> <id>"). Returns the row's ID.
    qint64 saveRow(const QString &table, qint64 id, const Fields &fields, const Fields &loaded, const QVariant &version,
        const QString &what);

    // Names the program's user to the job history's triggers for this
    // session and every session after a reconnect (empty: nobody, the
    // history then names the database login). Throws DbError.
    void setHistoryUser(const QString &user);

    // Runs the database procedure EmployeeLogin / EmployeeLogoff for a user.
    // On SQLite, which has no procedures, the same log row is written
    // directly, stamped `now`.
    void callUserProcedure(const QString &name, qint64 userId, const QDateTime &now);

private:
    friend class Transaction;
    friend class Statement;
    friend class Rows;
    using Outcome = ConnectionLostError::Outcome;

    // Before a statement: a connection found lost (or closed by its driver)
    // is opened again, unless a transaction was under way on it, which the
    // server has rolled back. `outcome` is what a failed reconnect reports.
    void ensureConnected(const QString &sql, Outcome outcome);
    // Closes the handle and opens it again with the same settings; throws
    // ConnectionLostError when the server cannot be reached.
    void reconnect(Outcome outcome);
    // What every new session needs before its first statement.
    void setUpSession();
    // Tells the session who the history's user is (setHistoryUser()).
    void applyHistoryUser();
    // Makes the missing SQLite file of open() owner-only; throws DbError.
    void createPrivateSqliteFile(const QString &file);
    // The settings of a session on a foreign SQLite file (OpenOptions).
    void distrustSchema();
    // Throws the driver's error; a ConnectionLostError reporting `outcome`
    // when the error means the connection is gone.
    [[noreturn]] void fail(const QSqlError &error, const QString &sql, Outcome outcome);
    // Marks the connection lost when the error says so; never throws.
    bool noteLost(const QSqlError &error) noexcept;
    // What a lost connection during a write means: inside a transaction the
    // server rolls it back; on its own the write may have gone through.
    Outcome writeOutcome() const { return m_transactionDepth > 0 ? Outcome::NotSaved : Outcome::Unknown; }
    // What a lost connection before or at the prepare of a statement means:
    // a plain read outside a transaction may be run again, anything else was
    // not saved.
    Outcome beforeRunOutcome(bool plainRead) const
    {
        return m_transactionDepth == 0 && plainRead ? Outcome::Read : Outcome::NotSaved;
    }
    // What a fetch that fails part-way means: outside a transaction only a
    // read was interrupted; inside one, the server has rolled it back.
    Outcome fetchOutcome() const { return m_transactionDepth > 0 ? Outcome::NotSaved : Outcome::Read; }
    QSqlQuery execOnce(const QString &sql, const QVariantList &params, Outcome onExec);
    void runScript(const QString &sql, Outcome onExec);
    QVariant bindable(const QVariant &value) const;

    QSqlDatabase m_db;
    Dialect m_dialect;
    QString m_connectionString;
    QString m_baseDir;
    bool m_wallClockDates = false;
    bool m_lazyBegin = false;
    int m_transactionDepth = 0;
    bool m_lost = false;
    bool m_foreign = false;
    bool m_createdFile = false;
    QString m_historyUser;
    // Counts the sessions of the handle; a Statement prepared in an earlier
    // one cannot run.
    int m_session = 0;
};

// A statement prepared once and run many times with new values.
class Statement
{
public:
    Statement(Connection &db, const QString &sql);
    // Binds params positionally and executes; throws DbError. The rows stay
    // readable until the next run().
    Rows &run(const QVariantList &params);

private:
    // The handle, opened again first when the connection was lost.
    static QSqlDatabase &connected(Connection &db, const QString &sql, bool plainRead);

    Connection &m_db;
    QString m_sql;
    bool m_plainRead = false; // worked out once: run() may be called per row
    Rows m_rows;
    int m_session = 0;
};

// One unit of work. Commits on commit(); rolls back when destroyed without it,
// so a DbError thrown part-way leaves the database as it was. When the
// connection is lost under it, nothing is retried: the server has rolled it
// back, and a COMMIT that got no answer is reported as a ConnectionLostError
// whose outcome is Unknown. A transaction
// begun inside another is a savepoint of the outer one: its rollback undoes
// only its own work, and its commit is final only when the outer one commits.
class Transaction
{
public:
    explicit Transaction(Connection &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    void begin();
    void rollback() noexcept;

    Connection &m_db;
    int m_level = 0; // 1: the outer transaction, 2 and up: savepoints
    bool m_open = false;
};

// Test seam: when set, the next statement whose text contains `fragment`
// fails with a DbError instead of running (on any connection).
void failNextStatementContaining(const QString &fragment);
// Throws the failure failNextStatementContaining() set up when `sql` is the
// statement it names; for statements run past Connection (a bulk load).
void checkInjectedFailure(const QString &sql);

} // namespace data
