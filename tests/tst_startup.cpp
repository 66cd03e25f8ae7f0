// backends: sqlite postgres odbc
#include "app/StartUp.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "shell/AppContext.h"
#include "shell/SingleInstance.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QFile>
#include <QLockFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

class TestStartUp : public QObject
{
    Q_OBJECT

    static void endRun()
    {
        if (MainWindow())
            testdb::context().ShutDown();
        SingleInstance::release();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static bool anyMainWindow()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<MDI *>(w) && !w->testAttribute(Qt::WA_WState_Hidden))
                return true;
        }
        return false;
    }

    // The stored version and what check finds: what an upgrade may change.
    static QString schemaState()
    {
        data::Connection &c = testdb::connection();
        const std::optional<int> version = data::storedSchemaVersion(c);
        const data::SchemaCheck check = data::checkSchema(c);
        return QStringLiteral("version %1; missing %2; to be added %3; narrow %4")
            .arg(version ? QString::number(*version) : QStringLiteral("none"), check.missing.join(u','),
                check.toBeAdded.join(u','), check.narrow.join(u','));
    }

private slots:
    void cleanup()
    {
        endRun();
        data::failNextStatementContaining(QString());
        data::useDeclaredWidths(std::nullopt);
    }

    void startsAndLoadsCompany()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(9, 1.5);
        // The caption is the program's own, whatever the company is called.
        testdb::exec(QStringLiteral("UPDATE Company SET Name = ?"), { QStringLiteral("Other Restoration") });
        testdb::connection().close();
        MDI *mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QVERIFY(ProgramContext()->db().isOpen());
        QCOMPARE(testdb::context().company().name, QStringLiteral("Other Restoration"));
        QCOMPARE(testdb::context().company().dryingDays, 9);
        QCOMPARE(testdb::context().company().keyPressDelay, 1.5);
        QCOMPARE(mdi->windowTitle(), QStringLiteral("Varnholt of Brackwell"));
        QVERIFY(Messages::shown().isEmpty());
    }

    void refusesSecondCopy()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        testdb::connection().close();
        QVERIFY(StartUp(db.folder()));
        MDI *first = MainWindow();
        Messages::clearShown();
        QCOMPARE(StartUp(db.folder()), nullptr);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("This application is already running."));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Application Already Running"));
        QCOMPARE(Messages::shown().first().icon, Messages::Icon::None);
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // The first copy goes on as it was.
        QCOMPARE(MainWindow(), first);
    }

    void lockIsHeldInTheRuntimeFolder()
    {
        QVERIFY(SingleInstance::acquire(QStringLiteral("jobtracker-locktest")));
        QVERIFY(!SingleInstance::acquire(QStringLiteral("jobtracker-locktest")));
        SingleInstance::release();
        QVERIFY(SingleInstance::acquire(QStringLiteral("jobtracker-locktest")));
        SingleInstance::release();

        // Without a runtime folder of the user's own (a file squats the
        // name Qt would make it under), the lock is still the user's: never
        // a fixed name in the shared temporary folder, which another user
        // may hold first.
        QTemporaryDir shared;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        QFile squat(shared.filePath(u"runtime-"_qs + QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name)));
        QVERIFY(squat.open(QIODevice::WriteOnly));
        QLockFile other(shared.filePath(QStringLiteral("jobtracker-locktest.lock")));
        QVERIFY(other.tryLock(0));
        const bool acquired = SingleInstance::acquire(QStringLiteral("jobtracker-locktest"));
        SingleInstance::release();
        qputenv("XDG_RUNTIME_DIR", runtime);
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
        QVERIFY(acquired);
    }

    void failsCleanlyWithoutConfig()
    {
        JT_FRESH_DB(db);
        testdb::connection().close();
        QFile::remove(db.folder() + QStringLiteral("/config.txt"));
        QCOMPARE(StartUp(db.folder()), nullptr);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Job Tracker Cannot Start"));
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("config.txt")));
        QVERIFY(!ProgramContext()->db().isOpen());
        QVERIFY(!anyMainWindow());
    }

    void failsCleanlyOnShortConfig()
    {
        JT_FRESH_DB(db);
        testdb::connection().close();
        db.writeConfig(QStringLiteral("Heading\nDatabase,\"%1\"\n").arg(db.connectionString()));
        QCOMPARE(StartUp(db.folder()), nullptr);
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("3 of its 5")));
        QVERIFY(!anyMainWindow());
    }

    void failsCleanlyWhenDatabaseIsUnreachable()
    {
        JT_FRESH_DB(db);
        testdb::connection().close();
        QString broken = db.connectionString();
        if (db.backend() == u"sqlite")
            broken.replace(QStringLiteral("jobs.db"), QStringLiteral("missing.db"));
        else
            broken.replace(QRegularExpression(QStringLiteral("Port=\\d+")), QStringLiteral("Port=1"));
        db.writeConfig(QStringLiteral("Heading\nDatabase,\"%1\"\nCustomers,c.mdb\n").arg(broken));
        QCOMPARE(StartUp(db.folder()), nullptr);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("Error ")));
        QVERIFY(!ProgramContext()->db().isOpen());
        // Nothing is written: no database file appears.
        QVERIFY(!QFile::exists(db.folder() + QStringLiteral("/missing.db")));
        QVERIFY(!anyMainWindow());
    }

    void failsCleanlyWithoutCompanyTable()
    {
        JT_FRESH_DB(db);
        testdb::execScript(QStringLiteral("DROP TABLE Company"));
        testdb::connection().close();
        QCOMPARE(StartUp(db.folder()), nullptr);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("could not be opened")));
        QVERIFY(!anyMainWindow());
    }

    // A setting whose column is missing would read as 0 and be saved back as
    // 0: start-up stops as for a missing table.
    void failsCleanlyWithoutACompanyColumn()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        testdb::execScript(QStringLiteral("ALTER TABLE Company DROP COLUMN QBItemAmount"));
        testdb::connection().close();
        QCOMPARE(StartUp(db.folder()), nullptr);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.contains(QStringLiteral("QBItemAmount")),
            qPrintable(Messages::shown().first().text));
        QVERIFY(!anyMainWindow());
    }

    // A database that lacks only what upgrade adds is offered the upgrade:
    // Yes brings it to this program's version in one go (a failure part-way
    // leaves it as it was), No leaves it alone and names the command. One that
    // lacks part of the data model is not offered it; a newer one is left be.
    void offersToUpgrade_data()
    {
        columns<QString, int, QString, bool, QStringList, QString>(
            { "damage", "answer", "failAt", "starts", "titles", "says" });
        const QString offer = QStringLiteral("Upgrade the Job Database");
        const QString stop = QStringLiteral("Job Tracker Cannot Start");
        row("version 3, Yes", QStringLiteral("version 3"), int(QMessageBox::Yes), QString(), true,
            QStringList { offer },
            QStringLiteral("is at schema version 3; this program works with version %1.").arg(data::kSchemaVersion));
        row("version 3, No", QStringLiteral("version 3"), int(QMessageBox::No), QString(), false,
            QStringList { offer, stop }, QStringLiteral("\n    jobtracker-admin upgrade\n"));
        row("version 3, Yes, a late step fails", QStringLiteral("version 3"), int(QMessageBox::Yes),
            QStringLiteral("CREATE TABLE MoistureReading"), false, QStringList { offer, stop },
            QStringLiteral("could not be upgraded; it was left as it was."));
        row("required column missing", QStringLiteral("required"), int(QMessageBox::Yes), QString(), false,
            QStringList { stop }, QStringLiteral("It lacks what every job database has: column WIP.QBID."));
        row("newer version", QStringLiteral("newer"), int(QMessageBox::Yes), QString(), true, QStringList {},
            QString());
    }
    void offersToUpgrade()
    {
        QFETCH(QString, damage);
        QFETCH(int, answer);
        QFETCH(QString, failAt);
        QFETCH(bool, starts);
        QFETCH(QStringList, titles);
        QFETCH(QString, says);
        JT_FRESH_DB(db);
        TestDb::addCompany();
        data::Connection &c = testdb::connection();
        if (damage == u"version 3") {
            testdb::dropAdditions(true);
            testdb::exec(QStringLiteral("UPDATE SchemaVersion SET Version = ?"), { 3 });
        } else if (damage == u"required") {
            testdb::dropAdditions();
            testdb::execScript(QStringLiteral("ALTER TABLE WIP DROP COLUMN QBID"));
        } else {
            testdb::exec(QStringLiteral("UPDATE SchemaVersion SET Version = ?"), { data::kSchemaVersion + 1 });
        }
        const QString before = schemaState();
        c.close();

        Messages::setNextAnswer(QMessageBox::StandardButton(answer));
        data::failNextStatementContaining(failAt);
        QCOMPARE(StartUp(db.folder()) != nullptr, starts);
        QStringList shownTitles;
        for (const Messages::Shown &shown : Messages::shown())
            shownTitles << shown.title;
        QCOMPARE(shownTitles, titles);
        if (!says.isEmpty())
            QVERIFY2(Messages::shown().last().text.contains(says), qPrintable(Messages::shown().last().text));
        if (titles.value(0) == u"Upgrade the Job Database") {
            QCOMPARE(Messages::shown().first().icon, Messages::Icon::Question);
            QCOMPARE(Messages::shown().first().buttons, QMessageBox::Yes | QMessageBox::No);
        }
        QCOMPARE(anyMainWindow(), starts);

        db.reopen();
        const bool upgraded = starts && damage != u"newer";
        QCOMPARE(schemaState(),
            upgraded ? QStringLiteral("version %1; missing ; to be added ; narrow ").arg(data::kSchemaVersion)
                     : before);
    }

    void shutDownBeforeLoginLogsNothingOff()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        testdb::connection().close();
        QVERIFY(StartUp(db.folder()));
        testdb::context().ShutDown();
        QVERIFY(!ProgramContext()->db().isOpen());
        QCOMPARE(MainWindow(), nullptr);
        db.reopen();
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeLog")).toInt(), 0);
    }

    void shutDownAfterLoginLogsOffOnce()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        testdb::connection().close();
        QVERIFY(StartUp(db.folder()));
        testdb::logIn(3, QStringLiteral("kwhitfield"));
        const int user = testdb::context().UserID();
        testdb::context().ShutDown();
        db.reopen();
        data::Rows q = testdb::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), user);
        QCOMPARE(q.value(1).toString(), QStringLiteral("Logoff"));
        QVERIFY(!q.next());
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
