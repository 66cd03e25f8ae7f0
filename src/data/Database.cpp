#include "data/Database.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QUuid>
#include <stdexcept>

namespace data {

namespace {

    QString g_failFragment;

    void checkInjectedFailure(const QString &sql)
    {
        if (!g_failFragment.isEmpty() && sql.contains(g_failFragment, Qt::CaseInsensitive)) {
            g_failFragment.clear();
            throw DbError(QStringLiteral("50000"), QStringLiteral("Injected failure"), sql);
        }
    }

    DbError notOpen(const QString &sql = {})
    {
        return DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    }

} // namespace

void failNextStatementContaining(const QString &fragment)
{
    g_failFragment = fragment;
}

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

void Connection::open(const QString &connectionString, const QString &baseDir, OpenOptions options)
{
    ConnectionSpec spec;
    try {
        spec = mapConnectionString(connectionString, baseDir);
    } catch (const std::invalid_argument &e) {
        throw DbError(QStringLiteral("-1"), QString::fromStdString(e.what()));
    }
    if (!QSqlDatabase::isDriverAvailable(spec.driver))
        throw DbError(
            QStringLiteral("-1"), QStringLiteral("The database driver %1 is not installed.").arg(spec.driver));
    if (spec.kind == DbKind::SQLite && !options.createSqliteFile && !QFileInfo::exists(spec.databaseName))
        throw DbError(
            QStringLiteral("-1"), QStringLiteral("The database file %1 does not exist.").arg(spec.databaseName));

    close();
    const QString name = QStringLiteral("jobtracker-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(spec.driver, name);
        db.setDatabaseName(spec.databaseName);
        if (!spec.host.isEmpty())
            db.setHostName(spec.host);
        if (spec.port > 0)
            db.setPort(spec.port);
        if (!spec.user.isEmpty())
            db.setUserName(spec.user);
        if (!spec.password.isEmpty())
            db.setPassword(spec.password);
        db.setConnectOptions(spec.options);
        if (!db.open()) {
            const DbError error = DbError::from(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw error;
        }
        m_db = db;
    }
    m_connectionString = connectionString;
    m_baseDir = baseDir;
    m_dialect = Dialect(spec.kind);
    m_wallClockDates = spec.driver == QLatin1String("QPSQL");
    m_lazyBegin = spec.driver == QLatin1String("QODBC");
    m_transactionDepth = 0;
    if (spec.kind == DbKind::SQLite)
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

void Connection::reopen()
{
    if (m_connectionString.isEmpty())
        throw notOpen();
    open(m_connectionString, m_baseDir);
}

void Connection::close()
{
    if (!m_db.isValid())
        return;
    const QString name = m_db.connectionName();
    m_db.close();
    m_db = QSqlDatabase();
    m_transactionDepth = 0;
    QSqlDatabase::removeDatabase(name);
}

bool Connection::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

void Connection::requireOpen(const QString &sql) const
{
    if (!isOpen())
        throw notOpen(sql);
}

// Date-times are stored as wall-clock values (the columns carry no zone, as
// SQL Server's datetime does). QPSQL would send a QDateTime as UTC, which a
// timestamp column then keeps shifted by the local offset; hand it the local
// wall-clock text instead.
//
// A text column is written as the empty string when a box is empty, never as
// NULL: a null QString (what an untouched QString holds) is bound as "". An
// invalid QVariant still writes NULL on purpose.
QVariant Connection::bindable(const QVariant &value) const
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        if (m_wallClockDates) {
            const QDateTime dt = value.toDateTime();
            if (!dt.isValid())
                return QVariant(QMetaType::fromType<QDateTime>());
            return dt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        }
        break;
    case QMetaType::QString:
        // QVariant::isNull() no longer looks inside; the drivers do.
        if (value.value<QString>().isNull())
            return QStringLiteral("");
        break;
    default:
        break;
    }
    return value;
}

QSqlQuery Connection::exec(const QString &sql, const QVariantList &params)
{
    requireOpen(sql);
    checkInjectedFailure(sql);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw DbError::from(query.lastError(), sql);
    for (qsizetype i = 0; i < params.size(); ++i)
        query.bindValue(static_cast<int>(i), bindable(params.at(i)));
    if (!query.exec())
        throw DbError::from(query.lastError(), sql);
    return query;
}

QVariant Connection::scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery query = exec(sql, params);
    if (query.next())
        return query.value(0);
    return {};
}

void Connection::execScript(const QString &sql)
{
    requireOpen(sql);
    checkInjectedFailure(sql);
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        throw DbError::from(query.lastError(), sql);
}

qint64 Connection::insertRow(const QString &table, const Fields &fields)
{
    QStringList columns;
    QVariantList values;
    for (const auto &[column, value] : fields) {
        columns << column;
        values << value;
    }
    const QString sql = m_dialect.insertReturningId(table, columns);
    QSqlQuery query = exec(sql, values);
    QVariant id;
    if (m_dialect.insertReturnsRow()) {
        if (query.next())
            id = query.value(0);
    } else {
        id = query.lastInsertId();
    }
    bool ok = false;
    const qint64 result = id.toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database did not report the new row's ID."), sql);
    return result;
}

int Connection::updateRow(const QString &table, qint64 id, const Fields &fields)
{
    QStringList sets;
    QVariantList values;
    for (const auto &[column, value] : fields) {
        sets << column + QStringLiteral("=?");
        values << value;
    }
    values << id;
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE ID=?").arg(table, sets.join(u','));
    return exec(sql, values).numRowsAffected();
}

int Connection::updateRowIfUnchanged(
    const QString &table, qint64 id, const Fields &fields, const QString &column, const QVariant &readValue)
{
    QStringList sets;
    QVariantList values;
    for (const auto &[name, value] : fields) {
        sets << name + QStringLiteral("=?");
        values << value;
    }
    values << id;
    QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE ID=? AND ").arg(table, sets.join(u','));
    if (!readValue.isValid() || readValue.isNull()) {
        sql += column + QStringLiteral(" IS NULL");
    } else {
        sql += column + QStringLiteral("=?");
        values << readValue;
    }
    return exec(sql, values).numRowsAffected();
}

qint64 Connection::saveRow(const QString &table, qint64 id, const Fields &fields, const QString &what)
{
    if (id == 0)
        return insertRow(table, fields);
    if (updateRow(table, id, fields) == 0)
        throw DbError(QStringLiteral("-1"),
            QStringLiteral("%1 %2 no longer exists; it was deleted by someone else.").arg(what).arg(id));
    return id;
}

Fields stampFields(const Stamp &stamp, bool newRow, const QVariant &when)
{
    const QVariant date = when.isValid() ? when : QVariant(stamp.when);
    Fields fields;
    if (newRow)
        fields << qMakePair(QStringLiteral("EnteredBy"), QVariant(stamp.user))
               << qMakePair(QStringLiteral("EnteredDate"), date);
    fields << qMakePair(QStringLiteral("EditedBy"), QVariant(stamp.user))
           << qMakePair(QStringLiteral("EditedDate"), date);
    return fields;
}

void Connection::callUserProcedure(const QString &name, qint64 userId, const QDateTime &now)
{
    const QString call = m_dialect.callProcedure(name, QStringLiteral("@UserID"));
    if (!call.isEmpty()) {
        exec(call, { userId });
        return;
    }
    // SQLite: the procedures' bodies, written out.
    const QString action = name.endsWith(QStringLiteral("Logoff"), Qt::CaseInsensitive) ? QStringLiteral("Logoff")
                                                                                        : QStringLiteral("Login");
    exec(QStringLiteral("INSERT INTO EmployeeLog (UserID,Action,LogDate) VALUES (?,?,?)"), { userId, action, now });
}

Statement::Statement(Connection &db, const QString &sql)
    : m_db(db)
    , m_sql(sql)
    , m_query(db.m_db)
{
    db.requireOpen(sql);
    m_query.setForwardOnly(true);
    if (!m_query.prepare(sql))
        throw DbError::from(m_query.lastError(), sql);
}

QSqlQuery &Statement::run(const QVariantList &params)
{
    checkInjectedFailure(m_sql);
    for (qsizetype i = 0; i < params.size(); ++i)
        m_query.bindValue(static_cast<int>(i), m_db.bindable(params.at(i)));
    if (!m_query.exec())
        throw DbError::from(m_query.lastError(), m_sql);
    return m_query;
}

Transaction::Transaction(Connection &db)
    : m_db(db)
{
    db.requireOpen(QStringLiteral("BEGIN TRANSACTION"));
    m_level = db.m_transactionDepth + 1;
    if (m_level == 1) {
        if (!db.m_db.transaction())
            throw DbError::from(db.m_db.lastError(), QStringLiteral("BEGIN TRANSACTION"));
        // ODBC drivers may begin the transaction only with its first
        // statement; were that a savepoint that then fails, rolling back to it
        // would not recover the transaction (seen with PostgreSQL's driver).
        if (db.m_lazyBegin) {
            try {
                db.execScript(QStringLiteral("SELECT 1"));
            } catch (const DbError &) {
                db.m_db.rollback();
                throw;
            }
        }
    } else {
        db.execScript(db.dialect().savepoint(m_level));
    }
    db.m_transactionDepth = m_level;
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

void Transaction::rollback() noexcept
{
    m_open = false;
    if (!m_db.isOpen() || m_db.m_transactionDepth < m_level) {
        // The connection was closed (or reopened) under this transaction;
        // the server has already rolled it back.
        return;
    }
    m_db.m_transactionDepth = m_level - 1;
    if (m_level == 1) {
        m_db.m_db.rollback();
        return;
    }
    QSqlQuery query(m_db.m_db);
    query.exec(m_db.dialect().rollbackToSavepoint(m_level));
}

void Transaction::commit()
{
    if (!m_open)
        return;
    if (m_db.m_transactionDepth != m_level)
        throw DbError(QStringLiteral("-1"), QStringLiteral("A transaction was committed out of order."));
    if (m_level > 1) {
        const QString release = m_db.dialect().releaseSavepoint(m_level);
        if (!release.isEmpty()) {
            try {
                m_db.execScript(release);
            } catch (const DbError &) {
                rollback();
                throw;
            }
        }
        m_db.m_transactionDepth = m_level - 1;
        m_open = false;
        return;
    }
    if (!m_db.m_db.commit()) {
        const DbError error = DbError::from(m_db.m_db.lastError(), QStringLiteral("COMMIT"));
        rollback();
        throw error;
    }
    m_db.m_transactionDepth = 0;
    m_open = false;
}

} // namespace data
