// backends: sqlite postgres
#include "data/Database.h"
#include "staff/EmployeeEntry.h"
#include "staff/TimeEntry.h"
#include "support/CrashGenerations.h"
#include "support/TestDb.h"
#include "wip/WipRecord.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <functional>

// The writer (crash_writer.cpp) saves in a loop and is killed with SIGKILL
// at a random moment, again and again. After each kill the database must be
// whole: every WIP holds exactly the subcontractors, every employee exactly
// the permissions, of the one save that wrote it, every booking is one
// save's, and nothing the writer reported committed is lost.
//
// JT_CRASH_KILLS sets the number of kills (200 on SQLite, 100 on a server by
// default), JT_CRASH_SEED repeats a run's random moments (a failure prints
// the seed).

namespace {

// A kill comes after up to this many saves, then within about two saves'
// time (measured as the runs go; the guess only serves the first ones).
constexpr int kMostSavesBeforeKill = 8;
constexpr qint64 kFirstGuessSaveMicros = 10000;

// Calls `row` on each row of the query. One query at a time: QPSQL loses the
// rows of a query still open when the next one runs.
void eachRow(data::Connection &db, const QString &sql, const QVariantList &params,
    const std::function<void(const data::Rows &)> &row)
{
    data::Rows q = db.exec(sql, params);
    while (q.next())
        row(q);
}

// The rows the writer starts from, each saved as generation 0.
void makeSetupRows(data::Connection &db)
{
    const data::Stamp stamp { QStringLiteral("setup"), QDateTime::currentDateTime() };
    for (int i = 0; i < crashgen::kSetupWips; ++i) {
        wip::WipRecord job;
        job.customer = crashgen::kCustomer;
        job.jobType = QStringLiteral("Fire");
        job.status = QStringLiteral("Open");
        job.notes = crashgen::mark(0);
        wip::saveWip(db, job, crashgen::contractors(0), stamp);
    }
    const qint64 user = db.scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = 'User'")).toLongLong();
    for (int i = 0; i < crashgen::kSetupEmployees; ++i) {
        EmployeeEntry::Employee person;
        person.firstName = QStringLiteral("Number %1").arg(i);
        person.lastName = crashgen::kLastName;
        person.userTypeId = user;
        person.userType = QStringLiteral("User");
        person.address2 = crashgen::mark(0);
        EmployeeEntry::save(db, person, QString(), {}, { true, {} }, stamp);
    }
    const QList<qint64> wips = crashgen::wipIds(db);
    const QList<qint64> employees = crashgen::employeeIds(db);
    for (int i = 0; i < crashgen::kSetupBookings; ++i) {
        staff::TimeRecord booking;
        booking.employeeId = employees.at(crashgen::employeeIndex(0));
        booking.wipId = wips.at(crashgen::wipIndex(0));
        booking.tranDate = stamp.when;
        booking.hours = crashgen::hours(0);
        booking.notes = crashgen::mark(0);
        staff::saveTime(db, booking, stamp);
    }
}

// What one check found wrong, one line each; empty when the database is whole.
// `committed` holds, per "<kind> <ID>", the last generation the writer
// reported committed for that row.
QStringList problems(data::Connection &db, const QHash<QString, qint64> &committed)
{
    QStringList found;
    if (db.dialect().kind() == data::DbKind::SQLite) {
        const QString integrity = db.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
        if (integrity != QLatin1String("ok"))
            found << QStringLiteral("integrity_check: ") + integrity;
    }
    QHash<qint64, QStringList> contractorsOf;
    eachRow(db, QStringLiteral("SELECT WIPID, Contractor FROM WIPContractors"), {},
        [&](const data::Rows &q) { contractorsOf[q.value(0).toLongLong()] << q.value(1).toString(); });
    QHash<qint64, QList<qint64>> granted;
    eachRow(db, QStringLiteral("SELECT UserID, PermissionID FROM UserPermission ORDER BY UserID, PermissionID"), {},
        [&](const data::Rows &q) { granted[q.value(0).toLongLong()] << q.value(1).toLongLong(); });
    const QList<qint64> permissions = crashgen::permissionIds(db);
    const QList<qint64> employees = crashgen::employeeIds(db);
    const QList<qint64> setupWips = crashgen::wipIds(db).mid(0, crashgen::kSetupWips);

    // Each row of `sql` (ID, generation mark, ...) must be whole: `wrong`
    // says how it is not that generation's save.
    QHash<QString, qint64> generation; // "<kind> <ID>" -> the generation stored
    auto check = [&](char kind, const char *noMark, const QString &sql, const QVariantList &params,
                     const std::function<QString(const data::Rows &, qint64 id, qint64 k)> &wrong) {
        eachRow(db, sql, params, [&](const data::Rows &q) {
            const qint64 id = q.value(0).toLongLong();
            const std::optional<qint64> k = crashgen::generationOf(q.value(1).toString());
            if (!k) {
                found << QString::fromLatin1(noMark).arg(id).arg(q.value(1).toString());
                return;
            }
            generation.insert(QStringLiteral("%1 %2").arg(QLatin1Char(kind)).arg(id), *k);
            if (const QString problem = wrong(q, id, *k); !problem.isEmpty())
                found << problem;
        });
    };
    check('W', "WIP %1 has notes %2", QStringLiteral("SELECT ID, Notes FROM WIP WHERE Customer = ?"),
        { crashgen::kCustomer }, [&](const data::Rows &, qint64 id, qint64 k) {
            QStringList stored = contractorsOf.take(id);
            stored.sort();
            return stored == crashgen::contractors(k)
                ? QString()
                : QStringLiteral("WIP %1 of generation %2 has subcontractors [%3]")
                      .arg(id)
                      .arg(k)
                      .arg(stored.join(", "));
        });
    for (auto it = contractorsOf.cbegin(); it != contractorsOf.cend(); ++it)
        found << QStringLiteral("subcontractors of a WIP %1 that does not exist").arg(it.key());
    check('E', "employee %1 has Address2 %2", QStringLiteral("SELECT ID, Address2 FROM Employee WHERE LastName = ?"),
        { crashgen::kLastName }, [&](const data::Rows &, qint64 id, qint64 k) {
            const QList<qint64> wanted = crashgen::permissions(k, permissions);
            return granted.value(id) == wanted
                ? QString()
                : QStringLiteral("employee %1 of generation %2 has %3 permissions, not %4")
                      .arg(id)
                      .arg(k)
                      .arg(granted.value(id).size())
                      .arg(wanted.size());
        });
    check('T', "booking %1 has notes %2",
        QStringLiteral("SELECT ID, Notes, Hours, EmployeeID, WIPID FROM EmployeeTime"), {},
        [&](const data::Rows &q, qint64 id, qint64 k) {
            const bool whole = q.value(2).toDouble() == crashgen::hours(k)
                && q.value(3).toLongLong() == employees.value(crashgen::employeeIndex(k))
                && q.value(4).toLongLong() == setupWips.value(crashgen::wipIndex(k));
            return whole ? QString()
                         : QStringLiteral("booking %1 of generation %2 is not that generation's").arg(id).arg(k);
        });

    for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
        if (!generation.contains(it.key()))
            found << QStringLiteral("%1 was reported committed and is gone").arg(it.key());
        else if (generation.value(it.key()) < it.value())
            found << QStringLiteral("%1 holds generation %2, but %3 was reported committed")
                         .arg(it.key())
                         .arg(generation.value(it.key()))
                         .arg(it.value());
    }
    return found;
}

} // namespace

class TestCrashConsistency : public QObject
{
    Q_OBJECT

private slots:
    void killedSavesLeaveWholeRows()
    {
        JT_FRESH_DB(db);
        makeSetupRows(testdb::connection());
        testdb::connection().close();

        const bool sqlite = db.backend() == QLatin1String("sqlite");
        const int kills = qEnvironmentVariableIsSet("JT_CRASH_KILLS") ? qEnvironmentVariableIntValue("JT_CRASH_KILLS")
            : sqlite                                                  ? 200
                                                                      : 100;
        const quint32 seed = qEnvironmentVariableIsSet("JT_CRASH_SEED")
            ? static_cast<quint32>(qEnvironmentVariable("JT_CRASH_SEED").toULong())
            : QRandomGenerator::system()->generate();
        QRandomGenerator random(seed);
        qInfo("seed %u (JT_CRASH_SEED=%u repeats this run), %d kills", seed, seed, kills);

        QHash<QString, qint64> committed;
        qint64 commits = 0;
        qint64 writerMicros = 0; // from "ready" to the kill, all runs
        int midTransaction = 0; // SQLite: kills that left a hot journal
        QElapsedTimer timer;
        timer.start();
        for (int kill = 1; kill <= kills; ++kill) {
            const QString where = QStringLiteral("seed %1, kill %2").arg(seed).arg(kill);
            QProcess writer;
            writer.start(QStringLiteral(JT_CRASH_WRITER_PATH),
                { db.connectionString(), db.folder(), QString::number(qint64(kill) * 1000000) });
            QVERIFY2(writer.waitForStarted(), qPrintable(where));
            QByteArray out;
            // Reads until the writer has printed `lines` lines ("ready" first).
            auto readLines = [&](qsizetype lines) {
                while (out.count('\n') < lines) {
                    if (!writer.waitForReadyRead(30000))
                        return false;
                    out += writer.readAllStandardOutput();
                }
                return true;
            };
            auto failure = [&](const char *what) {
                return where + QLatin1String(what) + QString::fromLocal8Bit(writer.readAllStandardError());
            };
            QVERIFY2(readLines(1) && out.startsWith("ready\n"), qPrintable(failure(": the writer did not start: ")));
            // A random moment: after a random number of saves, somewhere
            // within the next one (or two).
            const int saves = static_cast<int>(random.bounded(kMostSavesBeforeKill + 1));
            const qint64 typical = commits > 10 ? writerMicros / commits : kFirstGuessSaveMicros;
            const qint64 pause = random.bounded(static_cast<quint32>(std::max<qint64>(2 * typical, 1)));
            QElapsedTimer alive;
            alive.start();
            QVERIFY2(readLines(saves + 1), qPrintable(failure(": the writer stopped: ")));
            QThread::usleep(static_cast<unsigned long>(pause));
            QVERIFY2(writer.state() == QProcess::Running, qPrintable(failure(": the writer stopped: ")));
            writer.kill(); // SIGKILL
            writerMicros += alive.nsecsElapsed() / 1000;
            QVERIFY(writer.waitForFinished(30000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            out += writer.readAllStandardOutput();

            // Complete lines only: the last may have been cut by the kill.
            const QList<QByteArray> lines = out.left(out.lastIndexOf('\n') + 1).split('\n');
            for (const QByteArray &line : lines) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() != 3)
                    continue;
                committed.insert(QString::fromLatin1(parts.at(0) + ' ' + parts.at(1)), parts.at(2).toLongLong());
                ++commits;
            }

            // Killed inside a write transaction: its rollback journal is left.
            if (sqlite && QFileInfo(QDir(db.folder()).filePath(QStringLiteral("jobs.db-journal"))).size() > 0)
                ++midTransaction;

            // A new connection, as the next user of the database makes.
            data::Connection check;
            try {
                check.open(db.connectionString(), db.folder());
                const QStringList found = problems(check, committed);
                QVERIFY2(found.isEmpty(), qPrintable(where + QStringLiteral(": ") + found.join(QStringLiteral("; "))));
            } catch (const data::DbError &e) {
                QFAIL(qPrintable(where + QStringLiteral(": ") + e.message()));
            }
        }
        qInfo("%d kills, %lld saves reported committed, %.2f ms a save, %.1f s in all", kills, commits,
            commits ? writerMicros / 1000.0 / commits : 0.0, timer.elapsed() / 1000.0);
        if (sqlite) {
            // As the program's connection has them: a kill of the process
            // loses nothing committed in any of SQLite's journal modes.
            data::Connection program;
            program.open(db.connectionString(), db.folder());
            qInfo("%d kills came inside a write transaction; journal_mode %s, synchronous %s", midTransaction,
                qPrintable(program.scalar(QStringLiteral("PRAGMA journal_mode")).toString()),
                qPrintable(program.scalar(QStringLiteral("PRAGMA synchronous")).toString()));
        }
        // Kills that landed before any save would test nothing.
        QVERIFY2(commits >= kills, qPrintable(QStringLiteral("only %1 saves in %2 runs").arg(commits).arg(kills)));
    }
};

QTEST_MAIN(TestCrashConsistency)
#include "tst_crashconsistency.moc"
