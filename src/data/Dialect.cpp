#include "data/Dialect.h"

#include <algorithm>

namespace data {

QString Dialect::selectTop(int n, const QString &columns, const QString &rest) const
{
    if (m_kind == DbKind::SqlServer)
        return QStringLiteral("SELECT TOP %1 %2 FROM %3").arg(n).arg(columns, rest);
    return QStringLiteral("SELECT %2 FROM %3 LIMIT %1").arg(n).arg(columns, rest);
}

QString Dialect::selectForUpdate(const QString &columns, const QString &table, const QString &rest) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("SELECT %1 FROM %2 WITH (UPDLOCK, HOLDLOCK) %3").arg(columns, table, rest);
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT %1 FROM %2 %3 FOR UPDATE OF %2").arg(columns, table, rest);
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("SELECT %1 FROM %2 %3").arg(columns, table, rest);
}

QString Dialect::writeLock(const QString &table) const
{
    if (m_kind != DbKind::SQLite)
        return {};
    // Writes no row, but takes the lock as any write does.
    return QStringLiteral("UPDATE %1 SET ID = ID WHERE 0 = 1").arg(table);
}

QString Dialect::isNull(const QString &expr, const QString &fallback) const
{
    if (m_kind == DbKind::SqlServer)
        return QStringLiteral("ISNULL(%1,%2)").arg(expr, fallback);
    return QStringLiteral("COALESCE(%1,%2)").arg(expr, fallback);
}

QString Dialect::concat(const QStringList &parts) const
{
    return parts.join(m_kind == DbKind::SqlServer ? QStringLiteral(" + ") : QStringLiteral(" || "));
}

QString Dialect::daysBetween(const QString &from, const QString &to) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("DATEDIFF(day, %1, %2)").arg(from, to);
    case DbKind::PostgreSQL:
        return QStringLiteral("(CAST(%2 AS DATE) - CAST(%1 AS DATE))").arg(from, to);
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("CAST(julianday(date(%2)) - julianday(date(%1)) AS INTEGER)").arg(from, to);
}

QString Dialect::equalsIgnoreCase(const QString &column, const QString &placeholder) const
{
    return QStringLiteral("LOWER(%1) = LOWER(%2)").arg(column, placeholder);
}

QString Dialect::insertReturningId(const QString &table, const QStringList &columns) const
{
    QStringList marks;
    marks.reserve(columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QString cols = columns.join(u',');
    const QString values = marks.join(u',');
    switch (m_kind) {
    case DbKind::SqlServer:
        // OUTPUT INSERTED is refused on tables with triggers; SCOPE_IDENTITY()
        // in the same batch is not, and ignores rows a trigger inserted.
        return QStringLiteral("SET NOCOUNT ON; INSERT INTO %1 (%2) VALUES (%3); "
                              "SELECT CAST(SCOPE_IDENTITY() AS BIGINT) AS ID")
            .arg(table, cols, values);
    case DbKind::PostgreSQL:
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING ID").arg(table, cols, values);
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, cols, values);
}

QString Dialect::beginTransaction() const
{
    return m_kind == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QString();
}

QString Dialect::savepoint(int level) const
{
    if (m_kind == DbKind::SqlServer)
        return QStringLiteral("SAVE TRANSACTION jt_sp%1").arg(level);
    return QStringLiteral("SAVEPOINT jt_sp%1").arg(level);
}

QString Dialect::releaseSavepoint(int level) const
{
    if (m_kind == DbKind::SqlServer)
        return {};
    return QStringLiteral("RELEASE SAVEPOINT jt_sp%1").arg(level);
}

QString Dialect::rollbackToSavepoint(int level) const
{
    if (m_kind == DbKind::SqlServer)
        return QStringLiteral("ROLLBACK TRANSACTION jt_sp%1").arg(level);
    return QStringLiteral("ROLLBACK TO SAVEPOINT jt_sp%1").arg(level);
}

QString Dialect::selectRowLocked(const QString &table) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("SELECT * FROM %1 WITH (UPDLOCK, ROWLOCK) WHERE ID = ?").arg(table);
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT * FROM %1 WHERE ID = ? FOR UPDATE").arg(table);
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("SELECT * FROM %1 WHERE ID = ?").arg(table);
}

QString Dialect::takeWriteLock(const QString &table) const
{
    if (m_kind != DbKind::SQLite)
        return {};
    return QStringLiteral("UPDATE %1 SET RowVersion = RowVersion WHERE ID = ?").arg(table);
}

QString Dialect::dropTrigger(const QString &name, const QString &table) const
{
    if (m_kind == DbKind::PostgreSQL)
        return QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(name, table);
    return QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(name);
}

QString Dialect::dropFunction(const QString &name) const
{
    return m_kind == DbKind::SqlServer ? QStringLiteral("DROP FUNCTION IF EXISTS dbo.%1").arg(name) : QString();
}

QStringList Dialect::historyUser() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return { QStringLiteral("EXEC sp_set_session_context @key = N'jobtracker.user', @value = ?") };
    case DbKind::PostgreSQL:
        return { QStringLiteral("SELECT set_config('jobtracker.user', CAST(? AS TEXT), false)") };
    case DbKind::SQLite:
        break;
    }
    return { QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS HistoryUser (Name TEXT)"),
        QStringLiteral("DELETE FROM temp.HistoryUser"),
        QStringLiteral("INSERT INTO temp.HistoryUser (Name) VALUES (?)"),
        QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS TR_WIPHistory_User AFTER INSERT ON main.WIPHistory "
                       "FOR EACH ROW WHEN EXISTS (SELECT 1 FROM temp.HistoryUser WHERE Name <> '') "
                       "BEGIN UPDATE WIPHistory SET ChangedBy = (SELECT Name FROM temp.HistoryUser) "
                       "WHERE ID = NEW.ID; END") };
}

QString Dialect::callProcedure(const QString &name, const QString &parameter) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("EXEC %1 %2 = ?").arg(name, parameter);
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT %1(CAST(? AS BIGINT))").arg(name);
    case DbKind::SQLite:
        break;
    }
    return {};
}

int Dialect::rowsPerInsert(qsizetype columns) const
{
    if (m_kind == DbKind::SQLite)
        return 1;
    return std::max(1, std::min(500, int(2000 / std::max<qsizetype>(1, columns))));
}

QString Dialect::identityInsert(const QString &table, bool on) const
{
    if (m_kind != DbKind::SqlServer)
        return {};
    return QStringLiteral("SET IDENTITY_INSERT %1 %2").arg(table, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

QString Dialect::resetIdentity(const QString &table) const
{
    if (m_kind != DbKind::PostgreSQL)
        return {};
    // pg_get_serial_sequence folds the table name like any identifier but
    // takes the column name literally, and unquoted names are stored folded.
    return QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), (SELECT MAX(ID) FROM %1))")
        .arg(table.toLower());
}

QString Dialect::continueIdentity(const QString &table, qint64 next) const
{
    if (m_kind != DbKind::PostgreSQL)
        return {};
    return QStringLiteral("ALTER TABLE %1 ALTER COLUMN ID RESTART WITH %2").arg(table).arg(next);
}

QString Dialect::snapshotIsolation(bool on) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        // SNAPSHOT lets others write meanwhile, where the database allows
        // it; SERIALIZABLE holds them off until the read is done.
        return on ? QStringLiteral("IF (SELECT snapshot_isolation_state FROM sys.databases WHERE name = DB_NAME()) = 1 "
                                   "SET TRANSACTION ISOLATION LEVEL SNAPSHOT "
                                   "ELSE SET TRANSACTION ISOLATION LEVEL SERIALIZABLE")
                  : QStringLiteral("SET TRANSACTION ISOLATION LEVEL READ COMMITTED");
    case DbKind::PostgreSQL:
        return on ? QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ")
                  : QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL READ COMMITTED");
    case DbKind::SQLite:
        break;
    }
    return {};
}

QString Dialect::databaseIdentity() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("SELECT CAST(SERVERPROPERTY('ServerName') AS NVARCHAR(256)), DB_NAME(), SCHEMA_NAME()");
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT CAST(system_identifier AS TEXT), current_database(), current_schema() "
                              "FROM pg_control_system()");
    case DbKind::SQLite:
        break;
    }
    return {};
}

QString Dialect::tableExists() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("SELECT 1 WHERE OBJECT_ID(?, 'U') IS NOT NULL");
    case DbKind::PostgreSQL:
        // to_regclass folds an unquoted name and follows the search path, as
        // the statements do.
        return QStringLiteral("SELECT 1 WHERE to_regclass(CAST(? AS TEXT)) IS NOT NULL");
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE");
}

QString Dialect::indexExists() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("SELECT 1 FROM sys.indexes WHERE object_id = OBJECT_ID(?) AND name = ?");
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT 1 FROM pg_indexes WHERE tablename = lower(?) AND indexname = lower(?)");
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND tbl_name = ? COLLATE NOCASE"
                          " AND name = ? COLLATE NOCASE");
}

QString Dialect::foreignKeys() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral(
            "SELECT OBJECT_NAME(f.parent_object_id), COL_NAME(c.parent_object_id, c.parent_column_id), "
            "OBJECT_NAME(f.referenced_object_id), REPLACE(f.delete_referential_action_desc, '_', ' ') "
            "FROM sys.foreign_keys f JOIN sys.foreign_key_columns c ON c.constraint_object_id = f.object_id "
            "WHERE f.schema_id = SCHEMA_ID()");
    case DbKind::PostgreSQL:
        return QStringLiteral(
            "SELECT t.relname, a.attname, p.relname, CASE k.confdeltype WHEN 'c' THEN 'CASCADE' WHEN 'r' THEN "
            "'RESTRICT' WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' ELSE 'NO ACTION' END "
            "FROM pg_constraint k JOIN pg_class t ON t.oid = k.conrelid JOIN pg_class p ON p.oid = k.confrelid "
            "JOIN pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = k.conkey[1] "
            "WHERE k.contype = 'f' AND pg_table_is_visible(k.conrelid)");
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral("SELECT m.name, f.\"from\", f.\"table\", f.on_delete FROM sqlite_master m "
                          "JOIN pragma_foreign_key_list(m.name) f WHERE m.type = 'table'");
}

QString Dialect::textColumnWidths(qsizetype tables) const
{
    // PostgreSQL stores unquoted names folded to lower case.
    const QString mark = m_kind == DbKind::PostgreSQL ? QStringLiteral("lower(?)") : QStringLiteral("?");
    QStringList marks;
    for (qsizetype i = 0; i < tables; ++i)
        marks << mark;
    const QString names = marks.join(u',');
    switch (m_kind) {
    case DbKind::SqlServer:
        // MAX columns report -1: no width to keep to.
        return QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE "
                              "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME IN (%1) "
                              "AND CHARACTER_MAXIMUM_LENGTH > 0 "
                              "AND OBJECT_ID(QUOTENAME(TABLE_SCHEMA) + '.' + QUOTENAME(TABLE_NAME)) = "
                              "OBJECT_ID(TABLE_NAME)")
            .arg(names);
    case DbKind::PostgreSQL:
        return QStringLiteral("SELECT table_name, column_name, character_maximum_length, is_nullable "
                              "FROM information_schema.columns WHERE CAST(table_name AS TEXT) IN (%1) "
                              "AND character_maximum_length > 0 "
                              "AND to_regclass(quote_ident(CAST(table_schema AS TEXT)) || '.' || "
                              "quote_ident(CAST(table_name AS TEXT))) = to_regclass(CAST(table_name AS TEXT))")
            .arg(names);
    case DbKind::SQLite:
        break;
    }
    return {};
}

QString Dialect::resizeTextColumn(const QString &table, const QString &column, int width, bool nullable) const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 NVARCHAR(%3) %4")
            .arg(table, column)
            .arg(width)
            .arg(nullable ? QStringLiteral("NULL") : QStringLiteral("NOT NULL"));
    case DbKind::PostgreSQL:
        return QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE VARCHAR(%3)").arg(table, column).arg(width);
    case DbKind::SQLite:
        break;
    }
    return {};
}

bool Dialect::connectionLost(const QSqlError &error) const
{
    // A file has no connection to lose; QSQLITE reports any failed step,
    // a busy database or a broken trigger, as a ConnectionError.
    if (m_kind == DbKind::SQLite)
        return false;
    if (error.type() == QSqlError::ConnectionError)
        return true;
    const QString code = error.nativeErrorCode();
    // SQLSTATE class 08 (connection exception), and PostgreSQL's shutdown
    // codes: admin shutdown, crash shutdown, cannot connect now.
    if (code.size() == 5
        && (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") || code == QLatin1String("57P02")
            || code == QLatin1String("57P03")))
        return true;
    static const QStringList postgres {
        // libpq
        QStringLiteral("server closed the connection unexpectedly"),
        QStringLiteral("no connection to the server"),
        QStringLiteral("could not send data to server"),
        QStringLiteral("could not receive data from server"),
        QStringLiteral("terminating connection due to"),
        // the PostgreSQL ODBC driver
        QStringLiteral("connection has been lost"),
        QStringLiteral("due to the connection lost"),
        QStringLiteral("could not connect to the server"),
    };
    // SQLSTATE 08S01 and 08001 as the SQL Server drivers word them.
    static const QStringList sqlServer {
        QStringLiteral("Communication link failure"),
        QStringLiteral("TCP Provider"),
        QStringLiteral("Client unable to establish connection"),
        QStringLiteral("connection is broken"),
        QStringLiteral("Read from the server failed"),
        QStringLiteral("Write to the server failed"),
    };
    const QString text = error.databaseText();
    for (const QString &phrase : m_kind == DbKind::PostgreSQL ? postgres : sqlServer) {
        if (text.contains(phrase, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString Dialect::schemaScript() const
{
    switch (m_kind) {
    case DbKind::SqlServer:
        return QStringLiteral(":/schema/sqlserver.sql");
    case DbKind::PostgreSQL:
        return QStringLiteral(":/schema/postgresql.sql");
    case DbKind::SQLite:
        break;
    }
    return QStringLiteral(":/schema/sqlite.sql");
}

namespace {
    constexpr char16_t kLikeEscape = u'!';
}

QString containsCondition(const QString &column)
{
    // LOWER on both sides: PostgreSQL's LIKE heeds case, and a pattern
    // lowered by the program could differ from the server's own lowering.
    return QStringLiteral("LOWER(%1) LIKE LOWER(?) ESCAPE '%2'").arg(column, QChar(kLikeEscape));
}

QString containsPattern(const QString &text)
{
    QString pattern;
    pattern.reserve(text.size() + 8);
    pattern += u'%';
    for (const QChar c : text) {
        if (c == kLikeEscape || c == u'%' || c == u'_' || c == u'[')
            pattern += kLikeEscape;
        pattern += c;
    }
    pattern += u'%';
    return pattern;
}

} // namespace data
