// backends: sqlite postgres odbc
#include "data/Database.h"
#include "staff/EmployeeEntry.h"
#include "staff/TimeEntry.h"
#include "support/TestDb.h"
#include "wip/WipRecord.h"

#include <QTest>
#include <functional>

namespace {

const data::Stamp kStamp { QStringLiteral("admin"), QDateTime(QDate(2026, 11, 2), QTime(9, 0)) };

qint64 addWip()
{
    wip::WipRecord r;
    r.customer = QStringLiteral("Harper");
    r.jobType = QStringLiteral("Water");
    r.status = QStringLiteral("Open");
    return wip::saveWip(testdb::connection(), r, {}, kStamp);
}

// One record kind as its screen saves it: `saveAfter` reads the row, lets
// `between` run, then saves `text` into `column` of what it read.
struct Kind
{
    QString table;
    QString column;
    std::function<qint64()> add;
    std::function<void(qint64 id, const QString &text, const std::function<void()> &between)> saveAfter;
};

Kind kindNamed(const QString &table)
{
    if (table == u"WIP")
        return { table, QStringLiteral("Notes"), addWip, [](qint64 id, const QString &text, const auto &between) {
                    std::optional<wip::WipRecord> r = wip::loadWip(testdb::connection(), id);
                    between();
                    r->notes = text;
                    wip::saveWip(testdb::connection(), *r, {}, kStamp);
                } };
    if (table == u"Employee")
        return { table, QStringLiteral("City"), [] { return qint64(TestDb::addEmployee("pat", "pw")); },
            [](qint64 id, const QString &text, const auto &between) {
                std::optional<EmployeeEntry::Employee> e = EmployeeEntry::loadEmployee(testdb::connection(), id);
                between();
                e->city = text;
                QVERIFY(std::holds_alternative<qint64>(
                    EmployeeEntry::save(testdb::connection(), *e, {}, {}, { true, {} }, kStamp)));
            } };
    return { table, QStringLiteral("Notes"),
        [] {
            staff::TimeRecord r;
            r.employeeId = TestDb::addEmployee("lee", "pw");
            r.wipId = addWip();
            r.tranDate = kStamp.when;
            r.hours = 2;
            return staff::saveTime(testdb::connection(), r, kStamp);
        },
        [](qint64 id, const QString &text, const auto &between) {
            std::optional<staff::TimeRecord> r = staff::loadTime(testdb::connection(), id);
            between();
            r->notes = text;
            staff::saveTime(testdb::connection(), *r, kStamp);
        } };
}

} // namespace

class TestRowVersion : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetTestState(); }

    // A save checks the row's version as the database keeps it, never the
    // date text of a stamp: a row stamped by a script or another program, in
    // any form its driver writes, saves; a change made since the row was read
    // by a plain UPDATE that touches no stamp is refused and writes nothing;
    // a row deleted meanwhile is said to be gone.
    void rowVersionDecides_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("stampSql"); // the EditedDate a script writes
        QStringList forms { QStringLiteral("NULL") };
        if (qEnvironmentVariable("JT_TEST_BACKEND", QStringLiteral("sqlite")) == u"sqlite")
            forms << QStringLiteral("'2026-10-28T08:00:00'") << QStringLiteral("'2026-10-28 08:00:00'")
                  << QStringLiteral("datetime('now')") << QStringLiteral("'2026-10-28T08:00:00.123456'");
        else
            forms << QStringLiteral("clock_timestamp()") << QStringLiteral("'2026-10-28 08:00:00'");
        for (const char *table : { "WIP", "Employee", "EmployeeTime" }) {
            for (const QString &form : forms)
                QTest::addRow("%s %s", table, qPrintable(form)) << QString::fromLatin1(table) << form;
        }
    }
    void rowVersionDecides()
    {
        QFETCH(QString, table);
        QFETCH(QString, stampSql);
        JT_FRESH_DB(db);
        const Kind k = kindNamed(table);
        const qint64 id = k.add();
        const auto stored = [&] {
            return testdb::scalar(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(k.column, k.table), { id })
                .toString();
        };
        testdb::exec(
            QStringLiteral("UPDATE %1 SET EditedBy = 'script', EditedDate = %2 WHERE ID = ?").arg(k.table, stampSql),
            { id });
        k.saveAfter(id, QStringLiteral("mine"), [] {});
        QCOMPARE(stored(), QStringLiteral("mine"));

        data::Connection other;
        other.open(db.connectionString(), db.folder());
        const auto outside = [&](const QString &sql) { return [&other, sql, id] { other.exec(sql, { id }); }; };
        QVERIFY_THROWS_EXCEPTION(data::ChangedByOtherError,
            k.saveAfter(id, QStringLiteral("late"),
                outside(QStringLiteral("UPDATE %1 SET %2 = 'theirs' WHERE ID = ?").arg(k.table, k.column))));
        QCOMPARE(stored(), QStringLiteral("theirs"));

        try {
            k.saveAfter(
                id, QStringLiteral("late"), outside(QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(k.table)));
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
