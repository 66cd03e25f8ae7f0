// backends: sqlite postgres
// The program's own backups: on exit (embedded database only), File > Back Up
// Now…, and the reminder at login.
#include "app/Screens.h"
#include "base/Clock.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/Backups.h"
#include "shell/ui/BackupUi.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "widgets/Messages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(17, 30));

QStringList titles()
{
    QStringList list;
    for (const Messages::Shown &shown : Messages::shown())
        list << shown.title;
    return list;
}

qint64 logged(bool automatic)
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM BackupLog WHERE Automatic = ?"), { automatic })
        .toLongLong();
}

void addJob()
{
    testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Hale, Dora") } });
}

// An empty file with a backup's name, made `daysAgo` before kNow.
void plantBackup(const QString &folder, int daysAgo)
{
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath(data::backupFileName(kNow.addDays(-daysAgo).addSecs(-3600))));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// A mark of a program on another PC, last refreshed `minutesAgo`.
void plantOtherSession(const QString &databaseFile, int minutesAgo)
{
    const QString folder = Backups::SessionMark::folderFor(databaseFile);
    QDir().mkpath(folder);
    QFile mark(QDir(folder).filePath(QStringLiteral("other-pc-4242.session")));
    QVERIFY(mark.open(QIODevice::WriteOnly));
    mark.close();
    QVERIFY(mark.open(QIODevice::ReadWrite));
    QVERIFY(
        mark.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime));
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetTestState(); }

    // Closing the main window backs the embedded database up when a user
    // worked, nobody else is using it and there is none from today; the
    // folder keeps the company's number of backups.
    void onExit_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QList<int>>("existingDaysAgo"); // backups already in the folder
        QTest::addColumn<int>("otherSessionMinutesAgo"); // -1: none
        QTest::addColumn<int>("keep");
        QTest::addColumn<bool>("made");
        QTest::addColumn<int>("filesAfter");
        QTest::newRow("first ever") << true << QList<int> {} << -1 << 14 << true << 1;
        QTest::newRow("one from today") << true << QList<int> { 0 } << -1 << 14 << false << 1;
        QTest::newRow("yesterday's, keeps three") << true << QList<int> { 1, 2, 3, 4, 5 } << -1 << 3 << true << 3;
        QTest::newRow("nobody logged in") << false << QList<int> {} << -1 << 14 << false << 0;
        QTest::newRow("another PC still on it") << true << QList<int> { 2 } << 3 << 14 << false << 1;
        QTest::newRow("another PC's mark left behind") << true << QList<int> { 2 } << 90 << 14 << true << 2;
    }
    void onExit()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QList<int>, existingDaysAgo);
        QFETCH(int, otherSessionMinutesAgo);
        QFETCH(int, keep);
        QFETCH(bool, made);
        QFETCH(int, filesAfter);
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        const QString file = Backups::embeddedFile(testdb::connection());
        if (file.isEmpty())
            QSKIP("The automatic backup is the embedded database's.");
        const QString folder = data::backupFolder(file);
        for (int days : existingDaysAgo)
            plantBackup(folder, days);
        if (otherSessionMinutesAgo >= 0)
            plantOtherSession(file, otherSessionMinutesAgo);
        addJob();
        AppContext &ctx = testdb::context();
        CompanyRow company;
        company.backupsToKeep = keep;
        ctx.setCompany(company);
        bool ended = false;
        ctx.setShutDownHook([&] { ended = true; });
        {
            MDI mdi(ctx, screenRegistry());
            mdi.show();
            if (loggedIn) {
                testdb::logIn(1, QStringLiteral("kw"), QStringLiteral("Admin"));
                mdi.unlockAfterLogin(QStringLiteral("kw"));
            }
            QVERIFY(mdi.close());
        }
        QVERIFY(ended);
        QCOMPARE(titles(), QStringList());
        const QStringList backups = data::backupsIn(folder);
        QCOMPARE(backups.size(), filesAfter);
        const QString today = QDir(folder).filePath(data::backupFileName(kNow));
        QVERIFY2(backups.contains(today) == made, qPrintable(backups.join(u',')));
        // The program's own mark is gone; another's is left to its program.
        QCOMPARE(QDir(Backups::SessionMark::folderFor(file)).entryList(QDir::Files).size(),
            otherSessionMinutesAgo >= 0 ? 1 : 0);
        db.reopen();
        if (made) {
            QCOMPARE(data::backupProblem(today), QString());
            QCOMPARE(logged(true), 1);
            // The backup holds the job, and the one taken a day later is due.
            QVERIFY(Backups::dueOnExit(Backups::lastBackupAt(testdb::connection()), kNow.addDays(1)));
        } else {
            QCOMPARE(logged(true), 0);
        }
    }

    // A backup that cannot be written says so and the program still ends; the
    // database is as it was.
    void failedBackupNeverBlocksExit()
    {
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        const QString file = Backups::embeddedFile(testdb::connection());
        if (file.isEmpty())
            QSKIP("The automatic backup is the embedded database's.");
        // A file where the backups folder should go.
        QFile blocker(data::backupFolder(file));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        addJob();
        AppContext &ctx = testdb::context();
        bool ended = false;
        ctx.setShutDownHook([&] { ended = true; });
        {
            MDI mdi(ctx, screenRegistry());
            mdi.show();
            testdb::logIn(1, QStringLiteral("kw"), QStringLiteral("Admin"));
            mdi.unlockAfterLogin(QStringLiteral("kw"));
            QVERIFY(mdi.close());
        }
        QVERIFY(ended);
        QCOMPARE(titles(), QStringList { QStringLiteral("Backup Failed") });
        db.reopen();
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 1);
        QCOMPARE(logged(true), 0);
    }

    // File > Back Up Now… on any backend: an administrator's backup into a new
    // file, which then shows as the last backup.
    void backUpNow_data()
    {
        QTest::addColumn<QString>("userType");
        QTest::addColumn<QString>("answer"); // "new", "existing", "" (Cancel)
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("written");
        QTest::newRow("admin") << QStringLiteral("Admin") << QStringLiteral("new")
                               << QStringList { QStringLiteral("Back Up") } << true;
        QTest::newRow("admin, no suffix")
            << QStringLiteral("Admin") << QStringLiteral("plain") << QStringList { QStringLiteral("Back Up") } << true;
        QTest::newRow("admin cancels") << QStringLiteral("Admin") << QString() << QStringList() << false;
        QTest::newRow("existing file never overwritten") << QStringLiteral("Admin") << QStringLiteral("existing")
                                                         << QStringList { QStringLiteral("Back Up") } << false;
        QTest::newRow("not an administrator") << QStringLiteral("User") << QStringLiteral("new")
                                              << QStringList { QStringLiteral("Invalid Permission") } << false;
    }
    void backUpNow()
    {
        QFETCH(QString, userType);
        QFETCH(QString, answer);
        QFETCH(QStringList, messages);
        QFETCH(bool, written);
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        addJob();
        QTemporaryDir out;
        QString file = QDir(out.path()).filePath(QStringLiteral("office.backup.db"));
        if (answer == u"existing") {
            QFile existing(file);
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("keep me");
        }
        if (answer == u"plain")
            Messages::setNextFileName(QDir(out.path()).filePath(QStringLiteral("office")));
        else if (!answer.isEmpty())
            Messages::setNextFileName(file);
        testdb::logIn(1, QStringLiteral("kw"), userType);
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        QCOMPARE(mdi.statusBar()->toolTip(), QStringLiteral("No backup has been made of this database."));

        mdi.findChild<QAction *>(QStringLiteral("mnuBackUpNow"))->trigger();

        QCOMPARE(titles(), messages);
        QCOMPARE(logged(false), written ? 1 : 0);
        if (written) {
            QCOMPARE(data::backupProblem(file), QString());
            QCOMPARE(
                QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(mdi.statusBar()->toolTip().startsWith(QStringLiteral("Last backup: ")));
        }
        if (answer == u"existing") {
            QFile existing(file);
            QVERIFY(existing.open(QIODevice::ReadOnly));
            QCOMPARE(existing.readAll(), QByteArray("keep me"));
        }
    }

    // The reminder at login: a database with jobs and no backup in the last
    // week; the About box says when the last one was made.
    void reminder_data()
    {
        QTest::addColumn<bool>("jobs");
        QTest::addColumn<int>("lastDaysAgo"); // -1: never
        QTest::addColumn<bool>("reminded");
        QTest::addColumn<QString>("about");
        QTest::newRow("never, with jobs")
            << true << -1 << true << QStringLiteral("No backup has been made of this database.");
        QTest::newRow("eight days ago") << true << 8 << true << QStringLiteral("Last backup: 29 Nov 2026 17:30:00");
        QTest::newRow("six days ago") << true << 6 << false << QStringLiteral("Last backup: 1 Dec 2026 17:30:00");
        QTest::newRow("never, no jobs yet")
            << false << -1 << false << QStringLiteral("No backup has been made of this database.");
    }
    void reminder()
    {
        QFETCH(bool, jobs);
        QFETCH(int, lastDaysAgo);
        QFETCH(bool, reminded);
        QFETCH(QString, about);
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        if (jobs)
            addJob();
        if (lastDaysAgo >= 0)
            data::logBackup(testdb::connection(), kNow.addDays(-lastDaysAgo), QStringLiteral("/elsewhere/x.backup.db"),
                QStringLiteral("jobtracker-admin"), false);
        testdb::logIn(1, QStringLiteral("kw"), QStringLiteral("Admin"));
        CompanyRow company = testdb::context().company();
        company.programBackups = true;
        testdb::context().setCompany(company);

        BackupUi::remindAtLogin(nullptr, testdb::context());
        QCOMPARE(titles(), reminded ? QStringList { QStringLiteral("Backup Reminder") } : QStringList());

        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        mdi.findChild<QAction *>(QStringLiteral("About"))->trigger();
        QWidget *box = mdi.findScreen(QStringLiteral("frmAbout"));
        QVERIFY(box);
        QCOMPARE(box->findChild<QLabel *>(QStringLiteral("lblLastBackup"))->text(), about);
        QCOMPARE(mdi.statusBar()->toolTip(), about);
    }

    // The reminder goes only to a user who may make a backup, where the
    // program makes the backups (by default on the embedded database, not
    // on a server), and at most once a day, wherever he logs in.
    void reminderGate_data()
    {
        QTest::addColumn<QString>("userType");
        QTest::addColumn<QVariant>("programBackups"); // the company setting; null: never set
        QTest::addColumn<int>("remindedDaysAgo"); // -1: never
        QTest::addColumn<bool>("embedded"); // shown on the embedded database
        QTest::addColumn<bool>("server"); // shown on a server
        QTest::newRow("admin, setting never set") << "Admin" << QVariant() << -1 << true << false;
        QTest::newRow("program backs up, admin reminded yesterday") << "Admin" << QVariant(true) << 1 << true << true;
        QTest::newRow("admin, the server backs up") << "Admin" << QVariant(false) << -1 << false << false;
        QTest::newRow("a user who cannot back up") << "User" << QVariant(true) << -1 << false << false;
        QTest::newRow("admin reminded today") << "Admin" << QVariant(true) << 0 << false << false;
    }
    void reminderGate()
    {
        QFETCH(QString, userType);
        QFETCH(QVariant, programBackups);
        QFETCH(int, remindedDaysAgo);
        QFETCH(bool, embedded);
        QFETCH(bool, server);
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        addJob();
        testdb::logIn(3, QStringLiteral("kw"), userType);
        CompanyRow company = testdb::context().company();
        if (!programBackups.isNull())
            company.programBackups = programBackups.toBool();
        testdb::context().setCompany(company);
        const qint64 user = testdb::context().UserID();
        if (remindedDaysAgo >= 0)
            Backups::noteReminded(testdb::connection(), user, kNow.addDays(-remindedDaysAgo).addSecs(-3600));
        // Another user's reminder is his own.
        Backups::noteReminded(testdb::connection(), user + 1, kNow);

        const bool shown = testdb::connection().dialect().kind() == data::DbKind::SQLite ? embedded : server;
        BackupUi::remindAtLogin(nullptr, testdb::context());
        QCOMPARE(titles(), shown ? QStringList { QStringLiteral("Backup Reminder") } : QStringList());
        BackupUi::remindAtLogin(nullptr, testdb::context());
        QCOMPARE(titles().size(), shown ? 1 : 0);
    }
};

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
