#include "data/Database.h"

#include "base/Formats.h"
#include "base/PrivateFiles.h"
#include "data/Dates.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QUuid>
#include <cmath>
#include <optional>
#include <stdexcept>
#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

namespace data {

namespace {

    QString g_failFragment;

    DbError notOpen(const QString &sql = {})
    {
        return DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    }

    // Asks an ODBC connection whether its driver knows it to be dead
    // (SQL_ATTR_CONNECTION_DEAD); some drivers report a lost connection only
    // as the failure of whatever they were doing ("internal SAVEPOINT
    // failed"). The driver manager is already loaded by Qt's ODBC plugin.
    bool odbcConnectionDead(const QSqlDatabase &db)
    {
#if defined(Q_OS_UNIX)
        using GetConnectAttr = short (*)(void *, int, void *, int, int *);
        static const GetConnectAttr getConnectAttr = [] {
            void *library = dlopen("libodbc.so.2", RTLD_NOW | RTLD_NOLOAD);
            return library ? reinterpret_cast<GetConnectAttr>(dlsym(library, "SQLGetConnectAttr")) : nullptr;
        }();
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        // QODBC hands out its SQLHDBC as a void *.
        if (!getConnectAttr || handle.typeId() != QMetaType::VoidStar)
            return false;
        void *hdbc = handle.value<void *>();
        constexpr int kConnectionDead = 1209;
        quint64 dead = 0;
        const short rc = getConnectAttr(hdbc, kConnectionDead, &dead, 0, nullptr);
        return (rc == 0 || rc == 1) && static_cast<quint32>(dead) == 1;
#else
        Q_UNUSED(db);
        return false;
#endif
    }

    // A SELECT that reads tables and nothing else, safe to run a second time.
    // A SELECT without FROM may be a call of a function that writes.
    bool isPlainRead(const QString &sql)
    {
        static const QRegularExpression from(QStringLiteral("\\bFROM\\b"), QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression into(QStringLiteral("\\bINTO\\b"), QRegularExpression::CaseInsensitiveOption);
        const QString text = sql.trimmed();
        return text.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive) && text.contains(from)
            && !text.contains(into);
    }

} // namespace

void failNextStatementContaining(const QString &fragment)
{
    g_failFragment = fragment;
}

void checkInjectedFailure(const QString &sql)
{
    if (!g_failFragment.isEmpty() && sql.contains(g_failFragment, Qt::CaseInsensitive)) {
        g_failFragment.clear();
        throw DbError(QStringLiteral("50000"), QStringLiteral("Injected failure"), sql);
    }
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
    const bool foreign = options.foreignFile && spec.kind == DbKind::SQLite;
    if (foreign)
        spec.options += QStringLiteral(";QSQLITE_OPEN_READONLY");

    close();
    m_createdFile = false;
    if (spec.kind == DbKind::SQLite && options.createSqliteFile && !QFileInfo::exists(spec.databaseName))
        createPrivateSqliteFile(spec.databaseName);
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
            if (m_createdFile)
                QFile::remove(spec.databaseName);
            m_createdFile = false;
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
    m_lost = false;
    m_foreign = foreign;
    ++m_session;
    setUpSession();
}

void Connection::createPrivateSqliteFile(const QString &file)
{
    QString why;
    if (!PrivateFiles::createFile(file, &why))
        throw DbError(
            QStringLiteral("-1"), QStringLiteral("The database file %1 could not be made: %2").arg(file, why));
    m_createdFile = true;
}

void Connection::distrustSchema()
{
    exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
    exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    // An SQLite too old for the first would ignore it without a word.
    const QVariant trusted = scalar(QStringLiteral("PRAGMA trusted_schema"));
    if (!trusted.isValid() || trusted.toInt() != 0)
        throw DbError(QStringLiteral("-1"),
            QStringLiteral("This SQLite library cannot open a file from outside safely (it has no trusted_schema)."));
}

void Connection::setUpSession()
{
    if (m_foreign)
        distrustSchema();
    if (m_dialect.kind() == DbKind::SQLite)
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    if (!m_historyUser.isEmpty())
        applyHistoryUser();
}

void Connection::setHistoryUser(const QString &user)
{
    m_historyUser = user;
    if (m_db.isValid() && m_db.isOpen() && !m_lost)
        applyHistoryUser();
}

void Connection::applyHistoryUser()
{
    if (m_foreign)
        return;
    // A SQLite file not yet upgraded has no history for the session's trigger.
    if (m_dialect.kind() == DbKind::SQLite
        && !scalar(m_dialect.tableExists(), { QStringLiteral("WIPHistory") }).isValid())
        return;
    for (const QString &statement : m_dialect.historyUser()) {
        if (statement.contains(u'?'))
            exec(statement, { m_historyUser });
        else
            exec(statement);
    }
}

void Connection::ensureConnected(const QString &sql, Outcome outcome)
{
    if (!m_db.isValid())
        throw notOpen(sql);
    if (!m_lost && m_db.isOpen())
        return;
    if (m_transactionDepth > 0) {
        m_lost = true;
        throw ConnectionLostError(Outcome::NotSaved, notOpen(sql));
    }
    reconnect(outcome);
}

void Connection::reconnect(Outcome outcome)
{
    m_db.close();
    m_transactionDepth = 0;
    ++m_session;
    if (!m_db.open()) {
        m_lost = true;
        const DbError cause = DbError::from(m_db.lastError());
        qWarning("The database connection could not be opened again: %s", qUtf8Printable(cause.message()));
        throw ConnectionLostError(outcome, cause);
    }
    m_lost = false;
    qInfo("The database connection was opened again.");
    setUpSession();
}

bool Connection::noteLost(const QSqlError &error) noexcept
{
    // QPSQL closes its handle when libpq finds the connection gone, at times
    // reporting nothing but that.
    if (!m_dialect.connectionLost(error) && m_db.isOpen()
        && !(m_db.driverName() == QLatin1String("QODBC") && odbcConnectionDead(m_db)))
        return false;
    m_lost = true;
    return true;
}

void Connection::fail(const QSqlError &error, const QString &sql, Outcome outcome)
{
    const DbError cause = DbError::from(error, sql);
    if (!noteLost(error))
        throw cause;
    qWarning("The database connection was lost: %s\n  while running: %s", qUtf8Printable(cause.message()),
        qUtf8Printable(sql));
    throw ConnectionLostError(outcome, cause);
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
    m_lost = false;
    QSqlDatabase::removeDatabase(name);
}

bool Connection::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
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

bool Rows::next()
{
    if (m_query.next())
        return true;
    const QSqlError error = m_query.lastError();
    if (error.type() != QSqlError::NoError && m_db)
        m_db->fail(error, m_sql, m_db->fetchOutcome());
    return false;
}

Rows Connection::exec(const QString &sql, const QVariantList &params)
{
    const bool read = m_transactionDepth == 0 && isPlainRead(sql);
    const Outcome onExec = read ? Outcome::Read : writeOutcome();
    ensureConnected(sql, beforeRunOutcome(read));
    checkInjectedFailure(sql);
    try {
        return Rows(this, execOnce(sql, params, onExec), sql);
    } catch (const ConnectionLostError &e) {
        // A connection that died while idle shows only when used: once more
        // on a new one, when running the statement again cannot do harm.
        if (m_transactionDepth > 0 || (!read && e.outcome() != Outcome::NotSaved))
            throw;
    }
    reconnect(beforeRunOutcome(read));
    return Rows(this, execOnce(sql, params, onExec), sql);
}

QSqlQuery Connection::execOnce(const QString &sql, const QVariantList &params, Outcome onExec)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query.lastError(), sql, onExec == Outcome::Read ? Outcome::Read : Outcome::NotSaved);
    for (qsizetype i = 0; i < params.size(); ++i)
        query.bindValue(static_cast<int>(i), bindable(params.at(i)));
    if (!query.exec())
        fail(query.lastError(), sql, onExec);
    return query;
}

QVariant Connection::scalar(const QString &sql, const QVariantList &params)
{
    Rows rows = exec(sql, params);
    if (rows.next())
        return rows.value(0);
    return {};
}

void Connection::execScript(const QString &sql)
{
    runScript(sql, writeOutcome());
}

void Connection::runScript(const QString &sql, Outcome onExec)
{
    ensureConnected(sql, Outcome::NotSaved);
    checkInjectedFailure(sql);
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        fail(query.lastError(), sql, onExec);
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
    Rows query = exec(sql, values);
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

namespace {

    bool isNullValue(const QVariant &value)
    {
        return !value.isValid() || value.isNull();
    }

    // Whether a column's value as a driver hands it back is `loaded`, read as
    // a record reads it, as `loaded`'s type: a NULL text as empty, a NULL
    // flag as false, dates in whatever form the driver gives them.
    bool sameStored(const QVariant &stored, const QVariant &loaded)
    {
        switch (loaded.typeId()) {
        case QMetaType::QString:
            return stored.toString() == loaded.toString();
        case QMetaType::Bool:
            return stored.toBool() == loaded.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float: {
            if (isNullValue(loaded))
                return isNullValue(stored);
            const double a = stored.toDouble();
            const double b = loaded.toDouble();
            return !isNullValue(stored) && std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b));
        }
        case QMetaType::QDate:
            return dateOf(stored) == loaded.toDate();
        case QMetaType::QDateTime: {
            const QDateTime now = dateTimeOf(stored);
            const QDateTime was = loaded.toDateTime();
            if (!now.isValid() || !was.isValid())
                return now.isValid() == was.isValid();
            // SQL Server keeps a datetime to a 300th of a second.
            return std::abs(now.msecsTo(was)) <= 3;
        }
        default:
            if (isNullValue(loaded))
                return isNullValue(stored);
            return stored.toString() == loaded.toString();
        }
    }

    QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }

    std::optional<QVariant> valueOf(const Fields &fields, const QString &column)
    {
        for (const auto &[name, value] : fields) {
            if (name == column)
                return value;
        }
        return std::nullopt;
    }

    QString setList(const Fields &fields, QVariantList &values)
    {
        QStringList sets;
        for (const auto &[name, value] : fields) {
            sets << name + QStringLiteral("=?");
            values << value;
        }
        return sets.join(u',');
    }

} // namespace

bool LinkSet::changed() const
{
    return sorted(loaded) != sorted(saved);
}

bool Connection::updateRowAtVersion(const QString &table, qint64 id, const Fields &fields, const Fields &loaded,
    const QVariant &version, const QString &what, const QList<LinkSet> &links)
{
    Fields changes;
    Fields beside;
    Fields wasLoaded;
    // Without the values read, every column counts as changed and any
    // change of the row since refuses the save.
    const bool wholeRow = loaded.isEmpty();
    for (const auto &[name, value] : fields) {
        const std::optional<QVariant> was = valueOf(loaded, name);
        if (wholeRow) {
            changes << qMakePair(name, value);
        } else if (!was) {
            beside << qMakePair(name, value);
        } else if (!sameStored(*was, value)) {
            changes << qMakePair(name, value);
            wasLoaded << qMakePair(name, *was);
        }
    }
    QList<const LinkSet *> changedLinks;
    for (const LinkSet &link : links) {
        if (link.changed())
            changedLinks << &link;
    }
    if (changes.isEmpty() && changedLinks.isEmpty())
        return false;
    changes << beside;

    QVariantList values;
    const QString sets = setList(changes, values);
    Transaction transaction(*this);
    bool written = false;
    if (!isNullValue(version) && !changes.isEmpty()) {
        // Still at the version read: nobody changed the row since.
        QVariantList atVersion = values;
        atVersion << id << version;
        written = exec(QStringLiteral("UPDATE %1 SET %2 WHERE ID=? AND %3=?").arg(table, sets, rowVersionColumn()),
                      atVersion)
                      .numRowsAffected()
            > 0;
    }
    QStringList conflicts;
    if (!written) {
        const QString lock = m_dialect.takeWriteLock(table);
        if (!lock.isEmpty())
            exec(lock, { id });
        QSqlRecord now;
        {
            Rows row = exec(m_dialect.selectRowLocked(table), { id });
            if (!row.next())
                throw DbError(QStringLiteral("-1"),
                    QStringLiteral("%1 no longer exists; it was deleted by someone else.").arg(what));
            now = row.record();
        }
        for (const auto &[name, was] : wasLoaded) {
            // The same change made twice is no conflict.
            const QVariant stored = now.value(name);
            if (!sameStored(stored, was) && !sameStored(stored, *valueOf(changes, name)))
                conflicts << name;
        }
        if (wholeRow)
            conflicts << QString(); // the whole row, no field named
    }
    for (const LinkSet *link : changedLinks) {
        if (sorted(link->current()) != sorted(link->loaded))
            conflicts << link->name;
    }
    if (!conflicts.isEmpty()) {
        // Who changed the row, from its stamp as it stands now.
        Rows now = exec(QStringLiteral("SELECT * FROM %1 WHERE ID=?").arg(table), { id });
        const bool stamped = now.next() && now.record().indexOf(QStringLiteral("EditedBy")) >= 0;
        const QDateTime when = stamped ? dateTimeOf(now.value(QStringLiteral("EditedDate"))) : QDateTime();
        conflicts.removeAll(QString());
        throw ChangedByOtherError(what, conflicts,
            stamped ? now.value(QStringLiteral("EditedBy")).toString() : QString(),
            !when.isValid()                  ? QString()
                : when.time() == QTime(0, 0) ? Formats::date(when.date())
                                             : Formats::dateTime(when));
    }
    if (!written && !changes.isEmpty()) {
        values << id;
        exec(QStringLiteral("UPDATE %1 SET %2 WHERE ID=?").arg(table, sets), values);
    }
    transaction.commit();
    return true;
}

qint64 Connection::saveRow(const QString &table, qint64 id, const Fields &fields, const Fields &loaded,
    const QVariant &version, const QString &what)
{
    if (id == 0)
        return insertRow(table, fields);
    updateRowAtVersion(table, id, fields, loaded, version, QStringLiteral("%1 %2").arg(what).arg(id));
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

QSqlDatabase &Statement::connected(Connection &db, const QString &sql, bool plainRead)
{
    db.ensureConnected(sql, db.beforeRunOutcome(plainRead));
    return db.m_db;
}

Statement::Statement(Connection &db, const QString &sql)
    : m_db(db)
    , m_sql(sql)
    , m_plainRead(isPlainRead(sql))
    , m_rows(&db, QSqlQuery(connected(db, sql, m_plainRead)), sql)
    , m_session(db.m_session)
{
    QSqlQuery &query = m_rows.m_query;
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        db.fail(query.lastError(), sql, db.beforeRunOutcome(m_plainRead));
}

Rows &Statement::run(const QVariantList &params)
{
    const bool read = m_db.m_transactionDepth == 0 && m_plainRead;
    if (m_db.m_lost || m_session != m_db.m_session || !m_db.isOpen()) {
        // Prepared on a connection that is gone since.
        m_db.m_lost = m_db.m_lost || m_session == m_db.m_session;
        throw ConnectionLostError(m_db.beforeRunOutcome(m_plainRead), notOpen(m_sql));
    }
    checkInjectedFailure(m_sql);
    QSqlQuery &query = m_rows.m_query;
    for (qsizetype i = 0; i < params.size(); ++i)
        query.bindValue(static_cast<int>(i), m_db.bindable(params.at(i)));
    if (!query.exec())
        m_db.fail(query.lastError(), m_sql, read ? Connection::Outcome::Read : m_db.writeOutcome());
    return m_rows;
}

Transaction::Transaction(Connection &db)
    : m_db(db)
{
    m_level = db.m_transactionDepth + 1;
    if (m_level == 1) {
        db.ensureConnected(QStringLiteral("BEGIN TRANSACTION"), Connection::Outcome::NotSaved);
        try {
            begin();
        } catch (const ConnectionLostError &) {
            // Nothing of this transaction reached the server yet.
            db.reconnect(Connection::Outcome::NotSaved);
            begin();
        }
    } else {
        db.execScript(db.dialect().savepoint(m_level));
    }
    db.m_transactionDepth = m_level;
    m_open = true;
}

void Transaction::begin()
{
    // A file opened read-only takes no write lock.
    const QString immediate = m_db.m_foreign ? QString() : m_db.dialect().beginTransaction();
    if (!immediate.isEmpty()) {
        m_db.runScript(immediate, Connection::Outcome::NotSaved);
        return;
    }
    const QString sql = QStringLiteral("BEGIN TRANSACTION");
    if (!m_db.m_db.transaction())
        m_db.fail(m_db.m_db.lastError(), sql, Connection::Outcome::NotSaved);
    // ODBC drivers may begin the transaction only with its first
    // statement; were that a savepoint that then fails, rolling back to it
    // would not recover the transaction (seen with PostgreSQL's driver).
    if (m_db.m_lazyBegin) {
        try {
            m_db.runScript(QStringLiteral("SELECT 1"), Connection::Outcome::NotSaved);
        } catch (const DbError &) {
            if (!m_db.m_lost)
                m_db.m_db.rollback();
            throw;
        }
    }
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

void Transaction::rollback() noexcept
{
    m_open = false;
    if (m_db.m_transactionDepth < m_level) {
        // The connection was closed (or reopened) under this transaction.
        return;
    }
    m_db.m_transactionDepth = m_level - 1;
    if (m_db.m_lost || !m_db.isOpen()) {
        // The server has rolled it back with the connection; a dead handle
        // is not asked.
        return;
    }
    if (m_level == 1) {
        if (!m_db.m_db.rollback())
            m_db.noteLost(m_db.m_db.lastError());
        return;
    }
    QSqlQuery query(m_db.m_db);
    if (!query.exec(m_db.dialect().rollbackToSavepoint(m_level)))
        m_db.noteLost(query.lastError());
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
        // A COMMIT without an answer may have been carried out: its outcome
        // is Unknown, never a plain failure.
        const QSqlError error = m_db.m_db.lastError();
        try {
            m_db.fail(error, QStringLiteral("COMMIT"), Connection::Outcome::Unknown);
        } catch (...) {
            rollback();
            throw;
        }
    }
    m_db.m_transactionDepth = 0;
    m_open = false;
}

} // namespace data
