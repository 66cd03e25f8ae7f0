// backends: sqlite postgres odbc
#include "data/Database.h"
#include "staff/EmployeeEntry.h"
#include "staff/TimeEntry.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
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

// One record kind as its screen saves it: `saveAfter` reads the row, lets
// `between` run, then saves `text` into `column` of what it read.
struct Kind
{
    QString table;
    QString column;
    std::function<qint64()> add;
    void saveAfter(qint64 id, const QString &text, const std::function<void()> &between) const
    {
        saveThrough(testdb::connection(), table, id, column, text, kStamp, between);
    }
};

Kind kindNamed(const QString &table)
{
    if (table == u"WIP")
        return { table, QStringLiteral("Notes"), addWip };
    if (table == u"Employee")
        return { table, QStringLiteral("City"), [] { return qint64(TestDb::addEmployee("pat", "pw")); } };
    return { table, QStringLiteral("Notes"), [] {
                staff::TimeRecord r;
                r.employeeId = TestDb::addEmployee("lee", "pw");
                r.wipId = addWip();
                r.tranDate = kStamp.when;
                r.hours = 2;
                return staff::saveTime(testdb::connection(), r, kStamp);
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

    // A save writes only what the user changed and is refused only when
    // someone else changed the same since it was read: the QuickBooks sync,
    // a login's rehash of a password (which moves the row's version on SQL
    // Server), a script or another user (dave). The refusal names the field
    // and who changed the row as it stands now; a change of another is kept.
    void changesByField_data()
    {
        // mine: empty, saved as loaded; theirs: the other writer's SQL on row
        // ?, empty for dave's save of theirColumn.
        columns<QString, QString, QString, QString, QString, bool>(
            { "table", "mine", "theirs", "theirColumn", "theirValue", "conflict" });
        const auto add = [](const char *tag, const char *table, const char *mine, const char *theirs,
                             const char *theirColumn, const char *theirValue, bool conflict) {
            row(tag, QString(table), QString(mine), QString(theirs), QString(theirColumn), QString(theirValue),
                conflict);
        };
        add("sync's invoice, my notes", "WIP", "Notes",
            "UPDATE WIP SET InvoiceID='5001', AmountBilled=900, QBID='QB-77' WHERE ID=?", "QBID", "QB-77", false);
        add("script's notes, mine", "WIP", "Notes", "UPDATE WIP SET Notes='theirs' WHERE ID=?", "Notes", "theirs",
            true);
        add("user's city, my notes", "WIP", "Notes", "", "City", "theirs", false);
        add("user's notes, mine", "WIP", "Notes", "", "Notes", "theirs", true);
        add("nothing changed", "WIP", "", "", "City", "theirs", false);
        add("login's rehash, my city", "Employee", "City",
            "UPDATE Employee SET Password='$rehashed', RowVersion=RowVersion+1 WHERE ID=?", "Password", "$rehashed",
            false);
        add("user's address, my city", "Employee", "City", "", "Address1", "theirs", false);
        add("user's city, mine", "Employee", "City", "", "City", "theirs", true);
        add("user's hours, my notes", "EmployeeTime", "Notes", "", "Hours", "3", false);
        add("user's notes, mine", "EmployeeTime", "Notes", "", "Notes", "theirs", true);
    }
    void changesByField()
    {
        QFETCH(QString, table);
        QFETCH(QString, mine);
        QFETCH(QString, theirs);
        QFETCH(QString, theirColumn);
        QFETCH(QString, theirValue);
        QFETCH(bool, conflict);
        JT_FRESH_DB(db);
        const qint64 id = kindNamed(table).add();
        const auto stored = [&](const QString &column) {
            return testdb::scalar(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(column, table), { id });
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
        data::Connection other;
        other.open(db.connectionString(), db.folder());
        try {
            saveThrough(testdb::connection(), table, id, mine, QStringLiteral("mine"), kStamp, [&] {
                if (!theirs.isEmpty())
                    other.exec(theirs, { id });
                else
                    saveThrough(other, table, id, theirColumn, theirValue, { QStringLiteral("dave"), kStamp.when });
            });
            QVERIFY2(!conflict, "a change of the same field was overwritten");
            QCOMPARE(stored(mine).toString(), QStringLiteral("mine"));
        } catch (const data::ChangedByOtherError &e) {
            QVERIFY2(conflict, qPrintable(e.description()));
            QCOMPARE(e.fields(), QStringList { theirColumn });
            const QString editedBy = theirs.isEmpty() ? QStringLiteral("dave") : kStamp.user;
            QVERIFY2(
                e.description().contains(QStringLiteral("changed by %1").arg(editedBy)), qPrintable(e.description()));
        }
        if (theirColumn == u"Hours")
            QCOMPARE(stored(theirColumn).toDouble(), theirValue.toDouble());
        else
            QCOMPARE(stored(theirColumn).toString(), theirValue);
    }
};

QTEST_MAIN(TestRowVersion)
#include "tst_rowversion.moc"
