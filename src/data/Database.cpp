#include "data/Database.h"

#include "shell/Clock.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QUuid>
#include <stdexcept>

QSqlDatabase gConnection;

namespace data {

namespace {

    Dialect g_dialect;
    QString g_failFragment;

    void checkInjectedFailure(const QString &sql)
    {
        if (!g_failFragment.isEmpty() && sql.contains(g_failFragment, Qt::CaseInsensitive)) {
            g_failFragment.clear();
            throw DbError(QStringLiteral("50000"), QStringLiteral("Injected failure"), sql);
        }
    }

    bool g_wallClockDates = false;

    // Date-times are stored as wall-clock values (the columns carry no zone, as
    // SQL Server's datetime does). QPSQL would send a QDateTime as UTC, which a
    // timestamp column then keeps shifted by the local offset; hand it the local
    // wall-clock text instead.
    //
    // A text column is written as the empty string when a box is empty, never as
    // NULL: a null QString (what an untouched QString holds) is bound as "". An
    // invalid QVariant still writes NULL on purpose.
    QVariant bindable(const QVariant &value)
    {
        switch (value.typeId()) {
        case QMetaType::QDateTime:
            if (g_wallClockDates) {
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

} // namespace

void failNextStatementContaining(const QString &fragment)
{
    g_failFragment = fragment;
}

void OpenConnection(const QString &connectionString, const QString &baseDir, OpenOptions options)
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

    CloseConnection();
    const QString name = QStringLiteral("jobtracker-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
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
    gConnection = db;
    g_dialect = Dialect(spec.kind);
    g_wallClockDates = spec.driver == QLatin1String("QPSQL");
    if (spec.kind == DbKind::SQLite)
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

void CloseConnection()
{
    if (!gConnection.isValid())
        return;
    const QString name = gConnection.connectionName();
    gConnection.close();
    gConnection = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

bool IsOpen()
{
    return gConnection.isValid() && gConnection.isOpen();
}

const Dialect &dialect()
{
    return g_dialect;
}

QSqlQuery exec(const QString &sql, const QVariantList &params)
{
    if (!IsOpen())
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    checkInjectedFailure(sql);
    QSqlQuery query(gConnection);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw DbError::from(query.lastError(), sql);
    for (qsizetype i = 0; i < params.size(); ++i)
        query.bindValue(static_cast<int>(i), bindable(params.at(i)));
    if (!query.exec())
        throw DbError::from(query.lastError(), sql);
    return query;
}

QVariant scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery query = exec(sql, params);
    if (query.next())
        return query.value(0);
    return {};
}

void execScript(const QString &sql)
{
    if (!IsOpen())
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    QSqlQuery query(gConnection);
    if (!query.exec(sql))
        throw DbError::from(query.lastError(), sql);
}

qint64 insertRow(const QString &table, const Fields &fields)
{
    QStringList columns;
    QVariantList values;
    for (const auto &[column, value] : fields) {
        columns << column;
        values << value;
    }
    const QString sql = g_dialect.insertReturningId(table, columns);
    QSqlQuery query = exec(sql, values);
    QVariant id;
    if (g_dialect.insertReturnsRow()) {
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

int updateRow(const QString &table, qint64 id, const Fields &fields)
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

void callUserProcedure(const QString &name, qint64 userId)
{
    const QString call = g_dialect.callProcedure(name, QStringLiteral("@UserID"));
    if (!call.isEmpty()) {
        exec(call, { userId });
        return;
    }
    // SQLite: the procedures' bodies, written out.
    const QString action = name.endsWith(QStringLiteral("Logoff"), Qt::CaseInsensitive) ? QStringLiteral("Logoff")
                                                                                        : QStringLiteral("Login");
    exec(QStringLiteral("INSERT INTO EmployeeLog (UserID,Action,LogDate) VALUES (?,?,?)"),
        { userId, action, Clock::now() });
}

Statement::Statement(const QString &sql)
    : m_sql(sql)
    , m_query(gConnection)
{
    if (!IsOpen())
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    m_query.setForwardOnly(true);
    if (!m_query.prepare(sql))
        throw DbError::from(m_query.lastError(), sql);
}

QSqlQuery &Statement::run(const QVariantList &params)
{
    checkInjectedFailure(m_sql);
    for (qsizetype i = 0; i < params.size(); ++i)
        m_query.bindValue(static_cast<int>(i), bindable(params.at(i)));
    if (!m_query.exec())
        throw DbError::from(m_query.lastError(), m_sql);
    return m_query;
}

Transaction::Transaction()
{
    if (!IsOpen())
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."));
    if (!gConnection.transaction())
        throw DbError::from(gConnection.lastError(), QStringLiteral("BEGIN TRANSACTION"));
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open && gConnection.isValid())
        gConnection.rollback();
}

void Transaction::commit()
{
    if (!m_open)
        return;
    if (!gConnection.commit()) {
        const DbError error = DbError::from(gConnection.lastError(), QStringLiteral("COMMIT"));
        gConnection.rollback();
        m_open = false;
        throw error;
    }
    m_open = false;
}

} // namespace data
