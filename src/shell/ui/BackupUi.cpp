#include "shell/ui/BackupUi.h"

#include "base/Clock.h"
#include "base/Permissions.h"
#include "base/PrivateFiles.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/Backups.h"
#include "widgets/Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QStandardPaths>
#include <memory>

namespace BackupUi {

namespace {

    const QString kTitle = QStringLiteral("Back Up");

    // A progress dialog fed by the copy's reports: one table at a time, its
    // rows as the bar. The copy runs on this thread; the dialog repaints as
    // it is fed.
    class CopyProgressDialog
    {
    public:
        CopyProgressDialog(QWidget *parent, const QString &what)
            : m_dialog(std::make_unique<QProgressDialog>(what, QString(), 0, 0, parent))
            , m_what(what)
        {
            m_dialog->setObjectName(QStringLiteral("dlgBackupProgress"));
            m_dialog->setWindowTitle(kTitle);
            m_dialog->setWindowModality(Qt::WindowModal);
            m_dialog->setMinimumDuration(400);
            m_dialog->setAutoClose(false);
            m_dialog->setAutoReset(false);
        }

        void operator()(const data::CopyProgress &p)
        {
            m_dialog->setLabelText(QStringLiteral("%1\n%2: %3 of %4 rows")
                                       .arg(m_what, p.table, QLocale().toString(p.done), QLocale().toString(p.total)));
            m_dialog->setMaximum(int(std::clamp<qint64>(p.total, 1, std::numeric_limits<int>::max())));
            m_dialog->setValue(int(std::clamp<qint64>(p.done, 0, m_dialog->maximum())));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }

    private:
        std::unique_ptr<QProgressDialog> m_dialog;
        QString m_what;
    };

    QString who(AppContext &context)
    {
        return context.isLoggedIn() ? context.Username() : QStringLiteral("Job Tracker");
    }

    // Where the file dialog starts: the backups folder of the embedded
    // database, else the user's documents.
    QString suggestedFolder(AppContext &context)
    {
        const QString embedded = Backups::embeddedFile(context.db());
        if (!embedded.isEmpty() && PrivateFiles::makeFolder(data::backupFolder(embedded)))
            return data::backupFolder(embedded);
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }

    void exitBackupFailed(QWidget *parent, const QString &reason)
    {
        Messages::show(parent,
            QStringLiteral("The automatic backup could not be made:\n\n%1\n\nThe job database itself is as it was. "
                           "Job Tracker closes now; it tries again the next time.")
                .arg(reason),
            QStringLiteral("Backup Failed"), Messages::Icon::Exclamation);
    }

} // namespace

void backUpNow(QWidget *parent, AppContext &context)
{
    const QDateTime now = Clock::now();
    QString file = Messages::saveFileName(parent, QStringLiteral("Back Up Now"),
        QDir(suggestedFolder(context)).filePath(data::backupFileName(now)),
        QStringLiteral("Job Tracker backups (*.backup.db);;All files (*)"));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".backup.db");
    if (QFileInfo::exists(file)) {
        // The copy writes only into a new file: a backup never overwrites one.
        Messages::show(parent,
            QStringLiteral("%1 exists already. Choose a new file name for the backup.")
                .arg(QDir::toNativeSeparators(file)),
            kTitle, Messages::Icon::Exclamation);
        return;
    }
    bool done = false;
    {
        CopyProgressDialog progress(parent, QStringLiteral("Backing up the job database…"));
        done = Messages::guarded(
            parent, [&] { Backups::backUpTo(context.db(), file, now, who(context), false, std::ref(progress)); });
    }
    if (done)
        Messages::show(parent,
            QStringLiteral("The job database was backed up to %1.").arg(QDir::toNativeSeparators(file)), kTitle,
            Messages::Icon::Information);
}

void backUpOnExit(QWidget *parent, AppContext &context, const Backups::SessionMark *mark)
{
    if (!context.isLoggedIn() || Backups::embeddedFile(context.db()).isEmpty())
        return;
    try {
        if (mark && mark->othersPresent())
            return;
        const QDateTime now = Clock::now();
        if (!Backups::dueOnExit(Backups::lastBackupAt(context.db()), now))
            return;
        CopyProgressDialog progress(parent, QStringLiteral("Backing up the job database before closing…"));
        Backups::backUpAutomatically(
            context.db(), context.company().backupsToKeep, now, who(context), std::ref(progress));
    } catch (const data::DbError &e) {
        exitBackupFailed(parent, e.message());
    } catch (const std::exception &e) {
        exitBackupFailed(parent, QString::fromLocal8Bit(e.what()));
    }
}

void remindAtLogin(QWidget *parent, AppContext &context)
{
    try {
        const QDateTime last = Backups::lastBackupAt(context.db());
        const QDateTime now = Clock::now();
        // Who may back the database up (File > Back Up Now…) is reminded to,
        // by the type as it stands now.
        const bool mayBackUp = context.HasPermission(Permissions::administrators);
        if (!Backups::remindUser(
                context.db(), mayBackUp, context.company().programBackups, context.UserID(), last, now))
            return;
        Messages::show(
            parent, Backups::reminderText(last), QStringLiteral("Backup Reminder"), Messages::Icon::Information);
        Backups::noteReminded(context.db(), context.UserID(), now);
    } catch (const data::DbError &e) {
        // Only a reminder: the log could not be read (a database not yet
        // upgraded, a lost connection); the user works on.
        qWarning("The last backup could not be read: %s", qPrintable(e.message()));
    }
}

QString lastBackupText(AppContext &context)
{
    try {
        const QDateTime last = Backups::lastBackupAt(context.db());
        return last.isValid() ? QStringLiteral("Last backup: %1").arg(QLocale().toString(last, QLocale::ShortFormat))
                              : QStringLiteral("No backup has been made of this database.");
    } catch (const data::DbError &) {
        return QStringLiteral("When the last backup was made cannot be read.");
    }
}

} // namespace BackupUi
