#include "data/Backup.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/Schema.h"
#include "data/TextWidths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
            backup.open(sqliteAt(part), {}, options);
            // The backup holds every job and the password hashes: its
            // owner's alone, whatever the umask.
            QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner);
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
        db.open(sqliteAt(file), {});
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
    backup.open(sqliteAt(file), {});
    return copyDatabase(backup, target, options, progress);
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

QDateTime lastLoggedBackup(Connection &db)
{
    return dateTimeOf(db.scalar(QStringLiteral("SELECT MAX(MadeAt) FROM BackupLog")));
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

QDateTime lastBackup(const QString &folder)
{
    const QStringList backups = backupsIn(folder);
    if (backups.isEmpty())
        return {};
    const QString stamp = backupName().match(QFileInfo(backups.first()).fileName()).captured(1);
    return QDateTime::fromString(stamp, kTimeFormat);
}

void keepNewest(const QString &folder, int keep)
{
    const QStringList backups = backupsIn(folder);
    for (qsizetype i = std::max(0, keep); i < backups.size(); ++i)
        QFile::remove(backups.at(i));
}

} // namespace data
