#include "data/Backup.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/Schema.h"
#include "data/TextWidths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace data {

namespace {

    const QString kTimeFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

    QRegularExpression backupName()
    {
        static const QRegularExpression name(QStringLiteral(R"(^jobs-(\d{4}-\d{2}-\d{2}-\d{6})\.backup\.db$)"));
        return name;
    }

    // A SQLite connection string naming the file, quoted so that any path
    // is taken whole.
    QString sqliteAt(const QString &file)
    {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (path.contains(u'"') && path.contains(u'\''))
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("The file name %1 holds both kinds of quotes; rename it first.").arg(path));
        const QChar quote = path.contains(u'"') ? u'\'' : u'"';
        return QStringLiteral("Provider=SQLite;Data Source=") + quote + path + quote;
    }

    // A CREATE statement as compared: without IF NOT EXISTS (which SQLite
    // does not keep), the quotes SQLite puts around a name it renames, and
    // differences of white space and case.
    QString comparable(const QString &statement)
    {
        static const QRegularExpression ifNotExists(
            QStringLiteral(R"(\bIF NOT EXISTS\b)"), QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression quotedName(QStringLiteral(R"re("(\w+)")re"));
        QString text = statement;
        text.remove(ifNotExists).replace(quotedName, QStringLiteral("\\1"));
        return text.simplified().toLower();
    }

    // The SQLite script's triggers and indexes by name (lower case), as
    // comparable().
    QHash<QString, QString> ownObjects()
    {
        static const QHash<QString, QString> objects = [] {
            static const QRegularExpression create(QStringLiteral(R"(^create (?:unique )?(?:trigger|index) (\w+) )"));
            QHash<QString, QString> found;
            // The script's comment lines, which SQLite keeps none of.
            static const QRegularExpression commentLine(
                QStringLiteral(R"(^\s*--[^\n]*$)"), QRegularExpression::MultilineOption);
            for (QString statement : schemaStatements(Dialect(DbKind::SQLite))) {
                const QString text = comparable(statement.remove(commentLine));
                if (const auto match = create.match(text); match.hasMatch())
                    found.insert(match.captured(1), text);
            }
            return found;
        }();
        return objects;
    }

    // SQLite's own tables: AUTOINCREMENT's counters and ANALYZE's statistics.
    bool internalTable(const QString &name)
    {
        static const QRegularExpression internal(
            QStringLiteral("^sqlite_(sequence|stat[1-4])$"), QRegularExpression::CaseInsensitiveOption);
        return internal.match(name).hasMatch();
    }

    // The data model's table of that name, spelled as the schema does.
    QString modelTable(const QString &name)
    {
        for (const QString &table : expectedTables().keys()) {
            if (table.compare(name, Qt::CaseInsensitive) == 0)
                return table;
        }
        return {};
    }

    // Opens a backup as what it is to this program: a file from outside.
    void openForeign(Connection &db, const QString &file)
    {
        OpenOptions options;
        options.foreignFile = true;
        db.open(sqliteAt(file), {}, options);
    }

} // namespace

QString backupFileName(const QDateTime &when)
{
    return QStringLiteral("jobs-%1.backup.db").arg(when.toString(kTimeFormat));
}

CopyResult backUp(Connection &db, const QString &file, const std::function<void(const CopyProgress &)> &progress)
{
    if (QFileInfo::exists(file))
        throw DbError(QStringLiteral("-1"), QStringLiteral("%1 exists already; name a new file.").arg(file));
    const QString part = file + QStringLiteral(".part");
    QFile::remove(part);
    CopyResult result;
    {
        Connection backup;
        OpenOptions options;
        options.createSqliteFile = true;
        try {
            // The backup holds every job and the password hashes: open()
            // makes it its owner's alone from the start, whatever the umask.
            backup.open(sqliteAt(part), {}, options);
            result = copyDatabase(db, backup, {}, progress);
        } catch (...) {
            backup.close();
            QFile::remove(part);
            throw;
        }
    }
    if (!result.committed) {
        QFile::remove(part);
        return result;
    }
    const QString problem = backupProblem(part);
    if (!problem.isEmpty() || !QFile::rename(part, file)) {
        QFile::remove(part);
        throw DbError(QStringLiteral("-1"),
            problem.isEmpty() ? QStringLiteral("The backup could not be named %1.").arg(file) : problem);
    }
    return result;
}

QString backupProblem(const QString &file)
{
    if (!QFileInfo(file).isFile())
        return QStringLiteral("%1 is not a file.").arg(file);
    Connection db;
    try {
        openForeign(db, file);
        // Before anything reads a row: what the file's schema would run.
        const QString foreign = foreignSchemaProblem(db);
        if (!foreign.isEmpty())
            return QStringLiteral("%1 is refused: %2.").arg(file, foreign);
        const QString integrity = db.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
        if (integrity != u"ok")
            return QStringLiteral("%1 is damaged: %2").arg(file, integrity);
        const std::optional<int> version = storedSchemaVersion(db);
        if (!version || !checkSchema(db).missing.isEmpty())
            return QStringLiteral("%1 is not a backup of a job database.").arg(file);
        if (*version > kSchemaVersion)
            return QStringLiteral("%1 was made by a newer version of the program (schema version %2).")
                .arg(file)
                .arg(*version);
    } catch (const DbError &e) {
        // SQLITE_CORRUPT where the damage lies in the file's schema, which
        // SQLite reads before PRAGMA integrity_check can look.
        if (e.number() == u"11")
            return QStringLiteral("%1 is damaged: %2").arg(file, e.description());
        return QStringLiteral("%1 is not a backup of a job database: %2").arg(file, e.message());
    }
    return {};
}

CopyResult restore(const QString &file, Connection &target, const CopyOptions &options,
    const std::function<void(const CopyProgress &)> &progress)
{
    const QString problem = backupProblem(file);
    if (!problem.isEmpty())
        throw DbError(QStringLiteral("-1"), problem);
    Connection backup;
    openForeign(backup, file);
    return copyDatabase(backup, target, options, progress);
}

QString foreignSchemaProblem(Connection &db)
{
    if (db.dialect().kind() != DbKind::SQLite)
        return {};
    struct Entry
    {
        QString type, name, table, sql;
    };
    QList<Entry> entries;
    Rows rows = db.exec(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name"));
    while (rows.next())
        entries.append(
            { rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(), rows.value(3).toString() });
    const QHash<QString, QString> own = ownObjects();
    const auto isOwn = [&](const Entry &entry) { return own.value(entry.name.toLower()) == comparable(entry.sql); };
    for (const Entry &entry : entries) {
        if (entry.type == u"view")
            return QStringLiteral("it holds a view, %1, and a job database has none").arg(entry.name);
        if (entry.type == u"trigger" && !isOwn(entry))
            return QStringLiteral("it holds a trigger, %1, that is not this program's").arg(entry.name);
        if (entry.type == u"table" && !internalTable(entry.name)) {
            const QString table = modelTable(entry.name);
            if (table.isEmpty())
                return QStringLiteral("it holds a table, %1, that is not in the job database's data model")
                    .arg(entry.name);
            if (entry.sql.simplified().startsWith(QStringLiteral("CREATE VIRTUAL"), Qt::CaseInsensitive))
                return QStringLiteral("its table %1 is a virtual table").arg(entry.name);
            const QVariant generated = db.scalar(
                QStringLiteral("SELECT name FROM pragma_table_xinfo(?) WHERE hidden IN (2, 3)"), { entry.name });
            if (generated.isValid())
                return QStringLiteral("its table %1 has a generated column, %2").arg(entry.name, generated.toString());
        }
        // An index of SQLite's own (a key's) has no statement; one on an
        // expression or with a WHERE is computed for every row that PRAGMA
        // integrity_check looks at.
        if (entry.type == u"index" && !entry.sql.isEmpty() && !isOwn(entry)) {
            const QVariant partial = db.scalar(
                QStringLiteral("SELECT partial FROM pragma_index_list(?) WHERE name = ?"), { entry.table, entry.name });
            const QVariant expression
                = db.scalar(QStringLiteral("SELECT 1 FROM pragma_index_xinfo(?) WHERE cid = -2"), { entry.name });
            if (partial.toInt() != 0 || expression.isValid())
                return QStringLiteral("it holds an index on an expression or on part of a table, %1, that is not "
                                      "this program's")
                    .arg(entry.name);
        }
    }
    return {};
}

void logBackup(Connection &db, const QDateTime &when, const QString &file, const QString &who, bool automatic)
{
    // A note, not a record to refuse: a path too long for its column keeps
    // its end, which names the file.
    const auto fit = [](const QString &column, const QString &text) {
        const int width = textWidth(QStringLiteral("BackupLog"), column);
        return width > 0 && text.size() > width ? text.right(width) : text;
    };
    db.insertRow(QStringLiteral("BackupLog"),
        { { QStringLiteral("MadeAt"), dateTimeValue(when) },
            { QStringLiteral("FileName"), fit(QStringLiteral("FileName"), QDir::toNativeSeparators(file)) },
            { QStringLiteral("MadeBy"), fit(QStringLiteral("MadeBy"), who) },
            { QStringLiteral("Automatic"), automatic } });
}

QString backupFolder(const QString &databaseFile)
{
    return QFileInfo(databaseFile).absoluteDir().filePath(QStringLiteral("backups"));
}

QStringList backupsIn(const QString &folder)
{
    QStringList names;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        if (backupName().match(name).hasMatch())
            names << QDir(folder).filePath(name);
    }
    // The time in the name sorts as text.
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

QDateTime backupMadeAt(const QString &file)
{
    const QRegularExpressionMatch name = backupName().match(QFileInfo(file).fileName());
    return name.hasMatch() ? QDateTime::fromString(name.captured(1), kTimeFormat) : QDateTime();
}

void keepNewest(const QString &folder, int keep)
{
    const QStringList backups = backupsIn(folder);
    for (qsizetype i = std::max(0, keep); i < backups.size(); ++i)
        QFile::remove(backups.at(i));
}

} // namespace data
