#include "data/Schema.h"

#include "data/Database.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>

namespace data {

namespace {

    QString readResource(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            throw DbError(QStringLiteral("-1"), QStringLiteral("Cannot read %1").arg(path));
        return QString::fromUtf8(file.readAll());
    }

    // "-- addition", perhaps followed by ": why".
    bool isAdditionMark(const QString &comment)
    {
        static const QRegularExpression mark(QStringLiteral(R"(^--\s*addition\b)"));
        return mark.match(comment).hasMatch();
    }

    // The table's columns, or none when the table is not there.
    std::optional<QSqlRecord> tableRecord(Connection &db, const QString &table)
    {
        if (!hasTable(db, table))
            return std::nullopt;
        return db.exec(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(table)).record();
    }

} // namespace

QStringList splitScript(const QString &script)
{
    QStringList statements;
    QStringList current;
    const auto flush = [&] {
        const QString text = current.join(u'\n').trimmed();
        // A chunk of comments only is no statement.
        bool onlyComments = true;
        for (const QString &line : current) {
            const QString t = line.trimmed();
            if (!t.isEmpty() && !t.startsWith(QStringLiteral("--")))
                onlyComments = false;
        }
        if (!text.isEmpty() && !onlyComments)
            statements << text;
        current.clear();
    };
    for (const QString &line : script.split(u'\n')) {
        if (line.trimmed().compare(QStringLiteral("GO"), Qt::CaseInsensitive) == 0)
            flush();
        else
            current << line;
    }
    flush();
    return statements;
}

// Reads the scripts' layout: "CREATE TABLE Name (" on a line of its own, one
// column a line, ")" closing. A "-- addition" comment line before the CREATE
// TABLE (in the same statement) marks the table, a trailing one a column.
QMap<QString, ExpectedTable> parseSchemaScript(const QString &script)
{
    static const QRegularExpression createTable(QStringLiteral(R"(^CREATE TABLE (\w+) \($)"));
    static const QRegularExpression columnLine(QStringLiteral(R"(^(\w+)(?:\s+(\w+))?)"));
    QMap<QString, ExpectedTable> tables;
    QString current;
    bool marked = false;
    for (const QString &line : script.split(u'\n')) {
        const QString text = line.trimmed();
        if (!current.isEmpty()) {
            if (text.startsWith(u')')) {
                current.clear();
                continue;
            }
            const auto column = columnLine.match(text);
            if (!column.hasMatch())
                continue;
            ExpectedTable &table = tables[current];
            table.columns << column.captured(1);
            table.types << column.captured(2).toUpper();
            const qsizetype comment = text.indexOf(QStringLiteral("--"));
            if (comment >= 0 && isAdditionMark(text.mid(comment)))
                table.addedColumns << column.captured(1);
        } else if (text.compare(QStringLiteral("GO"), Qt::CaseInsensitive) == 0) {
            marked = false;
        } else if (isAdditionMark(text)) {
            marked = true;
        } else if (const auto create = createTable.match(text); create.hasMatch()) {
            current = create.captured(1);
            tables[current].addition = marked;
            tables[current].order = int(tables.size());
            marked = false;
        }
    }
    return tables;
}

QMap<QString, ExpectedTable> expectedTables()
{
    static const QMap<QString, ExpectedTable> tables
        = parseSchemaScript(readResource(QStringLiteral(":/schema/sqlite.sql")));
    return tables;
}

int scriptWidth(const QString &table, const QString &column)
{
    // One source: the server script declares the widths SQLite leaves out.
    static const QMap<QString, int> widths = [] {
        static const QRegularExpression createTable(QStringLiteral(R"(^CREATE TABLE (\w+) \($)"));
        static const QRegularExpression varchar(QStringLiteral(R"(^(\w+) VARCHAR\((\d+)\))"));
        QMap<QString, int> map;
        QString current;
        for (const QString &line : readResource(QStringLiteral(":/schema/postgresql.sql")).split(u'\n')) {
            const QString text = line.trimmed();
            if (const auto create = createTable.match(text); create.hasMatch())
                current = create.captured(1).toLower();
            else if (text.startsWith(u')'))
                current.clear();
            else if (const auto column = varchar.match(text); column.hasMatch() && !current.isEmpty())
                map.insert(current + u'.' + column.captured(1).toLower(), column.captured(2).toInt());
        }
        return map;
    }();
    return widths.value(table.toLower() + u'.' + column.toLower(), 0);
}

QStringList schemaStatements(const Dialect &dialect)
{
    return splitScript(readResource(dialect.schemaScript()))
        + splitScript(readResource(QStringLiteral(":/schema/indexes.sql")));
}

QStringList lookupStatements()
{
    return splitScript(readResource(QStringLiteral(":/schema/lookups.sql")));
}

QString createTableStatement(const Dialect &dialect, const QString &table)
{
    const QRegularExpression create(
        QStringLiteral(R"(^CREATE TABLE %1 \($)").arg(table), QRegularExpression::MultilineOption);
    for (const QString &statement : schemaStatements(dialect)) {
        if (create.match(statement).hasMatch())
            return statement;
    }
    throw DbError(QStringLiteral("-1"), QStringLiteral("The schema script defines no table %1.").arg(table));
}

namespace {

    // The history's objects in the script: functions, then triggers, each
    // with its name and (a trigger) its table.
    struct ScriptObject
    {
        QString statement;
        QString name;
        QString table; // empty for a function
    };

    QList<ScriptObject> historyObjects(const Dialect &dialect)
    {
        static const QRegularExpression function(
            QStringLiteral(R"(^CREATE (?:OR REPLACE )?FUNCTION (?:dbo\.)?(\w+))"), QRegularExpression::MultilineOption);
        static const QRegularExpression trigger(
            QStringLiteral(R"(^CREATE TRIGGER (?:IF NOT EXISTS )?(\w+)\s.*?\bON (\w+)\s)"),
            QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression ours(QStringLiteral("History|StatusSince"));
        QList<ScriptObject> functions;
        QList<ScriptObject> triggers;
        for (const QString &statement : schemaStatements(dialect)) {
            if (const auto match = function.match(statement); match.hasMatch()) {
                if (ours.match(match.captured(1)).hasMatch())
                    functions << ScriptObject { statement, match.captured(1), {} };
            } else if (const auto match = trigger.match(statement); match.hasMatch()) {
                if (ours.match(match.captured(1)).hasMatch())
                    triggers << ScriptObject { statement, match.captured(1), match.captured(2) };
            }
        }
        return functions + triggers;
    }

} // namespace

QStringList historyTriggerTables(const Dialect &dialect)
{
    QStringList found;
    for (const ScriptObject &object : historyObjects(dialect)) {
        if (!object.table.isEmpty())
            found << object.name + u' ' + object.table;
    }
    return found;
}

QStringList createHistoryTriggers(Connection &db)
{
    QStringList done;
    for (const ScriptObject &object : historyObjects(db.dialect())) {
        const QString drop = object.table.isEmpty() ? db.dialect().dropFunction(object.name)
                                                    : db.dialect().dropTrigger(object.name, object.table);
        if (!drop.isEmpty())
            db.execScript(drop);
        db.execScript(object.statement);
        done << QStringLiteral("created %1 %2")
                    .arg(object.table.isEmpty() ? QStringLiteral("function") : QStringLiteral("trigger"), object.name);
    }
    return done;
}

QStringList dropHistoryTriggers(Connection &db)
{
    QStringList again;
    for (const ScriptObject &object : historyObjects(db.dialect())) {
        if (object.table.isEmpty())
            continue;
        db.execScript(db.dialect().dropTrigger(object.name, object.table));
        again << object.statement;
    }
    return again;
}

void createSchema(Connection &db)
{
    const QStringList statements = schemaStatements(db.dialect()) + lookupStatements();
    Transaction transaction(db);
    for (const QString &statement : statements)
        db.execScript(statement);
    writeSchemaVersion(db, kSchemaVersion);
    transaction.commit();
}

SchemaCheck checkSchema(Connection &db)
{
    return checkSchema(db, readDeclaredWidths(db));
}

SchemaCheck checkSchema(Connection &db, const std::optional<DeclaredWidths> &widths)
{
    SchemaCheck check;
    const auto tables = expectedTables();
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        const std::optional<QSqlRecord> record = tableRecord(db, it.key());
        if (!record) {
            (it->addition ? check.toBeAdded : check.missing) << QStringLiteral("table %1").arg(it.key());
            continue;
        }
        // Once a table is there, its unmarked columns are required, even in a
        // table that was itself an addition.
        for (const QString &column : it->columns) {
            if (record->indexOf(column) < 0)
                (it->addedColumns.contains(column) ? check.toBeAdded : check.missing)
                    << QStringLiteral("column %1.%2").arg(it.key(), column);
        }
    }
    if (widths) {
        for (const NarrowColumn &column : narrowColumns(*widths))
            check.narrow << describe(column);
    }
    return check;
}

bool hasTable(Connection &db, const QString &table)
{
    return db.scalar(db.dialect().tableExists(), { table }).isValid();
}

std::optional<int> storedSchemaVersion(Connection &db)
{
    if (!hasTable(db, QStringLiteral("SchemaVersion")))
        return std::nullopt;
    const QVariant version = db.scalar(QStringLiteral("SELECT MAX(Version) FROM SchemaVersion"));
    if (!version.isValid() || version.isNull())
        return std::nullopt;
    return version.toInt();
}

void writeSchemaVersion(Connection &db, int version)
{
    Transaction transaction(db);
    db.exec(QStringLiteral("DELETE FROM SchemaVersion"));
    db.exec(QStringLiteral("INSERT INTO SchemaVersion (Version) VALUES (?)"), { version });
    transaction.commit();
}

} // namespace data
