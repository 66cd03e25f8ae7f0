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

// Loads the record on `c`, lets `between` run, sets `column` to `text` and
// saves it as its screen does, stamped `stamp`.
void saveThrough(
    data::Connection &c, const QString &table, qint64 id, const QString &column, const QString &text,
    const data::Stamp &stamp, const std::function<void()> &between = [] {})
{
    if (table == u"WIP") {
        std::optional<wip::WipRecord> r = wip::loadWip(c, id);
        between();
        (column == u"City" ? r->city : r->notes) = text;
        wip::saveWip(c, *r, {}, stamp);
    } else if (table == u"Employee") {
        std::optional<EmployeeEntry::Employee> e = EmployeeEntry::loadEmployee(c, id);
        between();
        (column == u"City" ? e->city : e->address1) = text;
        QVERIFY(std::holds_alternative<qint64>(EmployeeEntry::save(c, *e, {}, {}, { true, {} }, stamp)));
    } else {
        std::optional<staff::TimeRecord> r = staff::loadTime(c, id);
        between();
        if (column == u"Hours")
            r->hours = text.toDouble();
        else
            r->notes = text;
        staff::saveTime(c, *r, stamp);
    }
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

    // A save writes only what the user changed and is refused only when
    // someone else changed the same since it was read: the QuickBooks sync,
    // a login's rehash of a password (which moves the row's version on SQL
    // Server), a script or another user. The refusal names the fields and
    // who changed the row as it stands now; a change of other fields is kept.
    void changesByField_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("mine"); // the column the user changes; empty: none
        QTest::addColumn<QString>("theirs"); // the other writer's SQL on row ?; empty: a user's save
        QTest::addColumn<QString>("theirColumn");
        QTest::addColumn<QString>("theirValue");
        QTest::addColumn<QStringList>("conflict"); // the fields named; empty: both kept
        QTest::addColumn<QString>("editedBy"); // as the refusal names it
        const QString sync
            = QStringLiteral("UPDATE WIP SET InvoiceID='5001', AmountBilled=900, QBID='QB-77' WHERE ID=?");
        QTest::newRow("sync's invoice, my notes") << "WIP"
                                                  << "Notes" << sync << "QBID"
                                                  << "QB-77" << QStringList() << "";
        QTest::newRow("script's notes, mine") << "WIP"
                                              << "Notes"
                                              << "UPDATE WIP SET Notes='theirs' WHERE ID=?"
                                              << "Notes"
                                              << "theirs" << QStringList { "Notes" } << "admin";
        QTest::newRow("user's city, my notes") << "WIP"
                                               << "Notes"
                                               << ""
                                               << "City"
                                               << "theirs" << QStringList() << "";
        QTest::newRow("user's notes, mine") << "WIP"
                                            << "Notes"
                                            << ""
                                            << "Notes"
                                            << "theirs" << QStringList { "Notes" } << "dave";
        QTest::newRow("nothing changed") << "WIP"
                                         << ""
                                         << ""
                                         << "City"
                                         << "theirs" << QStringList() << "";
        QTest::newRow("login's rehash, my city")
            << "Employee"
            << "City"
            << "UPDATE Employee SET Password='$rehashed', RowVersion=RowVersion+1 WHERE ID=?"
            << "Password"
            << "$rehashed" << QStringList() << "";
        QTest::newRow("user's address, my city") << "Employee"
                                                 << "City"
                                                 << ""
                                                 << "Address1"
                                                 << "theirs" << QStringList() << "";
        QTest::newRow("user's city, mine") << "Employee"
                                           << "City"
                                           << ""
                                           << "City"
                                           << "theirs" << QStringList { "City" } << "dave";
        QTest::newRow("user's hours, my notes") << "EmployeeTime"
                                                << "Notes"
                                                << ""
                                                << "Hours"
                                                << "3" << QStringList() << "";
        QTest::newRow("user's notes, mine") << "EmployeeTime"
                                            << "Notes"
                                            << ""
                                            << "Notes"
                                            << "theirs" << QStringList { "Notes" } << "dave";
    }
    void changesByField()
    {
        QFETCH(QString, table);
        QFETCH(QString, mine);
        QFETCH(QString, theirs);
        QFETCH(QString, theirColumn);
        QFETCH(QString, theirValue);
        QFETCH(QStringList, conflict);
        QFETCH(QString, editedBy);
        JT_FRESH_DB(db);
        const qint64 id = kindNamed(table).add();
        const auto stored = [&](const QString &column) {
            return testdb::scalar(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(column, table), { id });
        };
        data::Connection other;
        other.open(db.connectionString(), db.folder());
        const auto between = [&] {
            if (!theirs.isEmpty())
                other.exec(theirs, { id });
            else
                saveThrough(other, table, id, theirColumn, theirValue, { QStringLiteral("dave"), kStamp.when });
        };
        if (mine.isEmpty()) {
            // Saved as loaded: nothing is written, not even the stamp.
            const QVariant version = stored(data::rowVersionColumn());
            saveThrough(testdb::connection(), table, id, theirColumn, stored(theirColumn).toString(),
                { QStringLiteral("nobody"), kStamp.when });
            QCOMPARE(stored(QStringLiteral("EditedBy")).toString(), kStamp.user);
            QCOMPARE(stored(data::rowVersionColumn()), version);
            return;
        }
        try {
            saveThrough(testdb::connection(), table, id, mine, QStringLiteral("mine"), kStamp, between);
            QVERIFY2(conflict.isEmpty(), "a change of the same field was overwritten");
            QCOMPARE(stored(mine).toString(), QStringLiteral("mine"));
        } catch (const data::ChangedByOtherError &e) {
            QVERIFY2(!conflict.isEmpty(), qPrintable(e.description()));
            QCOMPARE(e.fields(), conflict);
            QVERIFY2(
                e.description().contains(QStringLiteral("changed by %1").arg(editedBy)), qPrintable(e.description()));
        }
        bool number = false;
        const double theirNumber = theirValue.toDouble(&number);
        if (number)
            QCOMPARE(stored(theirColumn).toDouble(), theirNumber);
        else
            QCOMPARE(stored(theirColumn).toString(), theirValue);
    }
};

QTEST_MAIN(TestRowVersion)
#include "tst_rowversion.moc"
