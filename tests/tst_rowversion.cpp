// backends: sqlite postgres odbc
#include "data/Database.h"
#include "settings/WipStatus.h"
#include "staff/EmployeeEntry.h"
#include "staff/TimeEntry.h"
#include "support/TestDb.h"
#include "wip/WipRecord.h"

#include <QTest>
#include <functional>

// A save of a row two users may edit checks the row's version as the
// database keeps it, never the date text of a stamp: rows stamped by scripts
// and other programs, in any form their driver writes, save; a change made
// by anyone since the row was read, a plain UPDATE from outside included, is
// refused and writes nothing.
namespace {

// Loads the row, edits one text column in memory and saves it; throws what
// the save throws.
struct Kind
{
    QString table;
    QString column; // a text column the save writes
    std::function<qint64()> add;
    QString stored(qint64 id) const
    {
        return testdb::scalar(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(column, table), { id }).toString();
    }
    // Reads the row, lets `between` run, then saves an edit of what was read.
    std::function<void(qint64 id, const QString &text, const std::function<void()> &between)> saveAfter;
};

const data::Stamp kStamp { QStringLiteral("admin"), QDateTime(QDate(2026, 11, 2), QTime(9, 0)) };

Kind wipKind()
{
    Kind k { QStringLiteral("WIP"), QStringLiteral("Notes"), {}, {} };
    k.add = [] {
        wip::WipRecord r;
        r.customer = QStringLiteral("Harper");
        r.jobType = QStringLiteral("Water");
        r.status = QStringLiteral("Open");
        return wip::saveWip(testdb::connection(), r, {}, kStamp);
    };
    k.saveAfter = [](qint64 id, const QString &text, const std::function<void()> &between) {
        std::optional<wip::WipRecord> r = wip::loadWip(testdb::connection(), id);
        QVERIFY(r);
        between();
        r->notes = text;
        wip::saveWip(testdb::connection(), *r, {}, kStamp);
    };
    return k;
}

Kind employeeKind()
{
    Kind k { QStringLiteral("Employee"), QStringLiteral("City"), {}, {} };
    k.add = [] { return qint64(TestDb::addEmployee(QStringLiteral("pat"), QStringLiteral("pw"))); };
    k.saveAfter = [](qint64 id, const QString &text, const std::function<void()> &between) {
        std::optional<EmployeeEntry::Employee> e = EmployeeEntry::loadEmployee(testdb::connection(), id);
        QVERIFY(e);
        between();
        e->city = text;
        QVERIFY(std::holds_alternative<qint64>(EmployeeEntry::save(testdb::connection(), *e, {}, {}, kStamp)));
    };
    return k;
}

Kind bookingKind()
{
    Kind k { QStringLiteral("EmployeeTime"), QStringLiteral("Notes"), {}, {} };
    k.add = [] {
        staff::TimeRecord r;
        r.employeeId = TestDb::addEmployee(QStringLiteral("lee"), QStringLiteral("pw"));
        r.wipId = wipKind().add();
        r.tranDate = kStamp.when;
        r.hours = 2;
        return staff::saveTime(testdb::connection(), r, kStamp);
    };
    k.saveAfter = [](qint64 id, const QString &text, const std::function<void()> &between) {
        std::optional<staff::TimeRecord> r = staff::loadTime(testdb::connection(), id);
        QVERIFY(r);
        between();
        r->notes = text;
        staff::saveTime(testdb::connection(), *r, kStamp);
    };
    return k;
}

Kind statusKind()
{
    Kind k { QStringLiteral("WIPStatus"), QStringLiteral("ColorCode"), {}, {} };
    k.add = [] {
        return std::get<qint64>(WipStatus::save(testdb::connection(), { 0, QStringLiteral("Tarping"), {}, {} }));
    };
    k.saveAfter = [](qint64 id, const QString &text, const std::function<void()> &between) {
        std::optional<WipStatus::Status> s = WipStatus::load(testdb::connection(), id);
        QVERIFY(s);
        between();
        s->colorCode = text;
        QVERIFY(std::holds_alternative<qint64>(WipStatus::save(testdb::connection(), *s)));
    };
    return k;
}

Kind kindNamed(const QString &name)
{
    if (name == u"WIP")
        return wipKind();
    if (name == u"Employee")
        return employeeKind();
    if (name == u"EmployeeTime")
        return bookingKind();
    return statusKind();
}

QString backend()
{
    return qEnvironmentVariable("JT_TEST_BACKEND", QStringLiteral("sqlite"));
}

} // namespace

class TestRowVersion : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetTestState(); }

    // Stamps as other writers leave them: each form saves normally.
    void foreignStampsSave_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("stampSql"); // the EditedDate a script writes
        QStringList forms { QStringLiteral("NULL") };
        if (backend() == u"sqlite")
            forms << QStringLiteral("'2026-10-28T08:00:00'") << QStringLiteral("'2026-10-28 08:00:00'")
                  << QStringLiteral("datetime('now')") << QStringLiteral("'2026-10-28T08:00:00.123456'");
        else
            forms << QStringLiteral("clock_timestamp()") << QStringLiteral("'2026-10-28 08:00:00.123456'")
                  << QStringLiteral("'2026-10-28 08:00:00'");
        for (const char *kind : { "WIP", "Employee", "EmployeeTime" }) {
            for (const QString &form : forms)
                QTest::addRow("%s %s", kind, qPrintable(form)) << QString::fromLatin1(kind) << form;
        }
    }
    void foreignStampsSave()
    {
        QFETCH(QString, kind);
        QFETCH(QString, stampSql);
        JT_FRESH_DB(db);
        const Kind k = kindNamed(kind);
        const qint64 id = k.add();
        testdb::exec(
            QStringLiteral("UPDATE %1 SET EditedBy = 'script', EditedDate = %2 WHERE ID = ?").arg(k.table, stampSql),
            { id });

        k.saveAfter(id, QStringLiteral("mine"), [] {});
        QCOMPARE(k.stored(id), QStringLiteral("mine"));
        // Saved again straight after: the version read back is the new one.
        k.saveAfter(id, QStringLiteral("again"), [] {});
        QCOMPARE(k.stored(id), QStringLiteral("again"));
    }

    // Any change since the row was read is seen: another user's save through
    // the program, and a plain UPDATE from outside that touches no stamp.
    void changesSinceReadAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("outside");
        for (const char *kind : { "WIP", "Employee", "EmployeeTime", "WIPStatus" }) {
            QTest::addRow("%s, program", kind) << QString::fromLatin1(kind) << false;
            QTest::addRow("%s, plain UPDATE", kind) << QString::fromLatin1(kind) << true;
        }
    }
    void changesSinceReadAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(bool, outside);
        JT_FRESH_DB(db);
        const Kind k = kindNamed(kind);
        const qint64 id = k.add();
        data::Connection other;
        other.open(db.connectionString(), db.folder());
        const auto theirs = [&] {
            if (outside)
                other.exec(QStringLiteral("UPDATE %1 SET %2 = 'theirs' WHERE ID = ?").arg(k.table, k.column), { id });
            else
                k.saveAfter(id, QStringLiteral("theirs"), [] {});
        };
        QVERIFY_THROWS_EXCEPTION(data::ChangedByOtherError, k.saveAfter(id, QStringLiteral("mine"), theirs));
        QCOMPARE(k.stored(id), QStringLiteral("theirs"));
        // A row deleted meanwhile is said to be gone, not changed.
        try {
            k.saveAfter(id, QStringLiteral("mine"),
                [&] { other.exec(QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(k.table), { id }); });
            QFAIL("a save of a deleted row went through");
        } catch (const data::ChangedByOtherError &) {
            QFAIL("a deleted row was reported as changed");
        } catch (const data::DbError &e) {
            QVERIFY2(e.description().contains(QStringLiteral("no longer exists")), qPrintable(e.description()));
        }
    }
};

QTEST_MAIN(TestRowVersion)
#include "tst_rowversion.moc"
