#include "shell/Backups.h"

#include "base/PrivateFiles.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/Dialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>
#include <cerrno>
#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace Backups {

namespace {

    const QString kMarkSuffix = QStringLiteral(".session");

    // This PC's name as a file name may hold it.
    QString hostPart()
    {
        static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.]"));
        QString host = QSysInfo::machineHostName();
        host.replace(unsafe, QStringLiteral("_"));
        return host.isEmpty() ? QStringLiteral("pc") : host;
    }

    bool processRuns(qint64 pid)
    {
#ifdef Q_OS_UNIX
        return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
#else
        Q_UNUSED(pid);
        return true; // the mark's age alone decides
#endif
    }

} // namespace

QString embeddedFile(data::Connection &db)
{
    if (!db.isOpen() || db.dialect().kind() != data::DbKind::SQLite)
        return {};
    const QString name = db.handle().databaseName();
    if (name.isEmpty() || name == u":memory:")
        return {};
    return QFileInfo(name).absoluteFilePath();
}

QString SessionMark::folderFor(const QString &databaseFile)
{
    return QDir(data::backupFolder(databaseFile)).filePath(QStringLiteral(".sessions"));
}

SessionMark::SessionMark(const QString &databaseFile)
{
    const QString folder = folderFor(databaseFile);
    if (!PrivateFiles::makeFolder(data::backupFolder(databaseFile)) || !PrivateFiles::makeFolder(folder))
        return;
    m_path = QDir(folder).filePath(
        QStringLiteral("%1-%2%3").arg(hostPart()).arg(QCoreApplication::applicationPid()).arg(kMarkSuffix));
    touch();
}

SessionMark::~SessionMark()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

void SessionMark::touch()
{
    if (m_path.isEmpty())
        return;
    QFile mark(m_path);
    // Written anew, so that its modification time is now.
    if (mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        mark.write(QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1());
}

bool SessionMark::othersPresent() const
{
    if (m_path.isEmpty())
        return false;
    const QDir folder = QFileInfo(m_path).absoluteDir();
    const QString thisHost = hostPart() + u'-';
    const QDateTime now = QDateTime::currentDateTimeUtc();
    bool present = false;
    for (const QFileInfo &mark : folder.entryInfoList({ QStringLiteral("*") + kMarkSuffix }, QDir::Files)) {
        if (mark.absoluteFilePath() == QFileInfo(m_path).absoluteFilePath())
            continue;
        const QDateTime touched = mark.lastModified().toUTC();
        const QString name = mark.fileName().chopped(kMarkSuffix.size());
        const bool onThisPc = name.startsWith(thisHost);
        bool pidOk = false;
        const qint64 pid = onThisPc ? name.mid(thisHost.size()).toLongLong(&pidOk) : 0;
        if ((onThisPc && pidOk && !processRuns(pid)) || touched.secsTo(now) > 24 * 3600) {
            QFile::remove(mark.absoluteFilePath());
            continue;
        }
        if (touched.secsTo(now) <= kStaleMinutes * 60)
            present = true;
    }
    return present;
}

QDateTime lastBackupAt(data::Connection &db)
{
    const QDateTime last = data::dateTimeOf(db.scalar(QStringLiteral("SELECT MAX(MadeAt) FROM BackupLog")));
    const QString file = embeddedFile(db);
    const QStringList inFolder = file.isEmpty() ? QStringList() : data::backupsIn(data::backupFolder(file));
    const QDateTime newest = inFolder.isEmpty() ? QDateTime() : data::backupMadeAt(inFolder.first());
    return newest.isValid() && (!last.isValid() || newest > last) ? newest : last;
}

bool dueOnExit(const QDateTime &last, const QDateTime &now)
{
    return !last.isValid() || last.date() < now.date();
}

bool reminderDue(data::Connection &db, const QDateTime &last, const QDateTime &now)
{
    if (last.isValid() && last.secsTo(now) <= qint64(kReminderDays) * 24 * 3600)
        return false;
    return db.scalar(db.dialect().selectTop(1, QStringLiteral("ID"), QStringLiteral("WIP"))).isValid();
}

bool programMakesBackups(const std::optional<bool> &setting, bool embedded)
{
    return setting.value_or(embedded);
}

QDateTime lastReminded(data::Connection &db, qint64 employeeId)
{
    return db.scalar(QStringLiteral("SELECT RemindedAt FROM BackupReminder WHERE EmployeeID = ?"), { employeeId })
        .toDateTime();
}

void noteReminded(data::Connection &db, qint64 employeeId, const QDateTime &when)
{
    data::Transaction transaction(db);
    const QVariant at = data::dateTimeValue(when);
    if (db.exec(QStringLiteral("UPDATE BackupReminder SET RemindedAt = ? WHERE EmployeeID = ?"), { at, employeeId })
            .numRowsAffected()
        == 0)
        db.exec(
            QStringLiteral("INSERT INTO BackupReminder (EmployeeID, RemindedAt) VALUES (?, ?)"), { employeeId, at });
    transaction.commit();
}

bool remindUser(data::Connection &db, bool mayBackUp, const std::optional<bool> &setting, qint64 employeeId,
    const QDateTime &last, const QDateTime &now)
{
    if (!mayBackUp || !programMakesBackups(setting, !embeddedFile(db).isEmpty()))
        return false;
    const QDateTime reminded = lastReminded(db, employeeId);
    if (reminded.isValid() && reminded.date() == now.date())
        return false;
    return reminderDue(db, last, now);
}

QString reminderText(const QDateTime &last)
{
    const QString since = last.isValid() ? QStringLiteral("The job database was last backed up on %1.")
                                               .arg(QLocale().toString(last, QLocale::LongFormat))
                                         : QStringLiteral("The job database has never been backed up.");
    return since
        + QStringLiteral("\n\nA dead disk or a deleted file would lose every job since. An administrator can "
                         "make a backup now with File > Back Up Now…");
}

data::CopyResult backUpTo(data::Connection &db, const QString &file, const QDateTime &when, const QString &who,
    bool automatic, const std::function<void(const data::CopyProgress &)> &progress)
{
    data::CopyResult result = data::backUp(db, file, progress);
    if (!result.committed)
        throw data::DbError(QStringLiteral("-1"),
            QStringLiteral("The backup came out different from the database; no backup was written."));
    try {
        data::logBackup(db, when, QFileInfo(file).absoluteFilePath(), who, automatic);
    } catch (const data::DbError &e) {
        qWarning("The backup was made but could not be logged: %s", qPrintable(e.message()));
    }
    return result;
}

QString backUpAutomatically(data::Connection &db, int keep, const QDateTime &when, const QString &who,
    const std::function<void(const data::CopyProgress &)> &progress)
{
    const QString folder = data::backupFolder(embeddedFile(db));
    if (!PrivateFiles::makeFolder(folder))
        throw data::DbError(QStringLiteral("-1"),
            QStringLiteral("The folder %1 could not be made.").arg(QDir::toNativeSeparators(folder)));
    const QString file = QDir(folder).filePath(data::backupFileName(when));
    backUpTo(db, file, when, who, true, progress);
    data::keepNewest(folder, keep);
    return file;
}

} // namespace Backups
