// backends: sqlite postgres odbc
#include "base/Passwords.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/References.h"
#include "data/RowMap.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "drying/DryingLog.h"
#include "settings/Company.h"
#include "shell/AppContext.h"
#include "support/TestDb.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

namespace {

// What the demo seeding decided, row by row: every job's customer, status,
// start and amount, each job's bookings and subcontractors.
QStringList demoDigest(data::Connection &c)
{
    QStringList rows;
    data::Rows wips
        = c.exec(QStringLiteral("SELECT ID, Customer, Status, StartDate, AmountBilled FROM WIP ORDER BY ID"));
    while (wips.next())
        rows << QStringLiteral("WIP %1 %2 | %3 | %4 | %5")
                    .arg(wips.value(0).toString(), wips.value(1).toString(), wips.value(2).toString(),
                        wips.value(3).toDateTime().toString(Qt::ISODate),
                        QString::number(wips.value(4).toDouble(), 'f', 2));
    data::Rows bookings = c.exec(QStringLiteral("SELECT WIPID, COUNT(*), SUM(Hours), MIN(EmployeeID), MAX(EmployeeID) "
                                                "FROM EmployeeTime GROUP BY WIPID ORDER BY WIPID"));
    while (bookings.next())
        rows << QStringLiteral("bookings %1: %2 rows, %3 h, employees %4-%5")
                    .arg(bookings.value(0).toString(), bookings.value(1).toString(),
                        QString::number(bookings.value(2).toDouble(), 'f', 2), bookings.value(3).toString(),
                        bookings.value(4).toString());
    data::Rows contractors
        = c.exec(QStringLiteral("SELECT WIPID, Contractor FROM WIPContractors ORDER BY WIPID, Contractor"));
    while (contractors.next())
        rows << QStringLiteral("contractor %1: %2")
                    .arg(contractors.value(0).toString(), contractors.value(1).toString());
    return rows;
}

// A schema script's tables as one line each: "Name+: A, B+" where + marks an
// addition.
QStringList describe(const QMap<QString, data::ExpectedTable> &tables)
{
    QStringList lines;
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        QStringList columns;
        for (const QString &column : it->columns)
            columns << column + (it->addedColumns.contains(column) ? QStringLiteral("+") : QString());
        lines << it.key() + (it->addition ? QStringLiteral("+") : QString()) + QStringLiteral(": ")
                + columns.join(QStringLiteral(", "));
    }
    return lines;
}

// The foreign keys the database has, and those the references say it has.
QStringList keysOf(data::Connection &c)
{
    QStringList keys;
    for (const data::ForeignKey &key : data::readForeignKeys(c))
        keys << key.describe().toLower();
    keys.sort();
    return keys;
}
QStringList expectedKeys()
{
    QStringList keys;
    for (const data::Reference &r : data::references()) {
        if (r.constrained())
            keys << data::ForeignKey { QLatin1String(r.table), QLatin1String(r.column), QLatin1String(r.parent),
                r.rule == data::OrphanRule::Delete ? "CASCADE" : "NO ACTION" }
                        .describe()
                        .toLower();
    }
    keys.sort();
    return keys;
}

// The database as schema version 11 left it: no foreign keys. SQLite drops
// no constraint: the tables' definitions lose them.
void makeVersion11(data::Connection &c)
{
    static const QRegularExpression key(
        QStringLiteral(R"( CONSTRAINT FK_\w+ REFERENCES \w+ \(ID\)( ON DELETE CASCADE)?)"));
    const bool sqlite = c.dialect().kind() == data::DbKind::SQLite;
    if (sqlite)
        c.exec("PRAGMA writable_schema = ON");
    for (const data::Reference &r : data::references()) {
        const QString table = QLatin1String(r.table);
        if (!r.constrained())
            continue;
        if (sqlite) {
            QString sql
                = c.scalar("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?", { table }).toString();
            c.exec("UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?", { sql.remove(key), table });
        } else {
            c.execScript(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(table, r.keyName()));
        }
    }
    if (sqlite) {
        c.exec("PRAGMA writable_schema = OFF");
        c.reopen();
    }
    c.exec("UPDATE SchemaVersion SET Version = ?", { 11 });
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT
private slots:
    void createdSchemaPassesCheck()
    {
        JT_FRESH_DB(db);
        const data::SchemaCheck check = data::checkSchema(testdb::connection());
        QVERIFY2(check.complete(), qPrintable((check.missing + check.toBeAdded).join(u',')));
        QCOMPARE(data::storedSchemaVersion(testdb::connection()), std::optional<int>(data::kSchemaVersion));
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM SchemaVersion")).toInt(), 1);
        const auto tables = data::expectedTables();
        QCOMPARE(tables.value(QStringLiteral("WIP")).columns.size(), 47);
        QVERIFY(tables.value(QStringLiteral("EmployeeTime")).columns.contains(QStringLiteral("TranDate")));
    }

    // A missing table or column of the data model is missing; a missing
    // addition is only to be added.
    void checkNamesWhatIsMissing()
    {
        JT_FRESH_DB(db);
        testdb::execScript(QStringLiteral("DROP TABLE WIPContractors"));
        testdb::execScript(QStringLiteral("ALTER TABLE Company DROP COLUMN DryingDays"));
        testdb::execScript(QStringLiteral("DROP TABLE SchemaVersion"));
        const data::SchemaCheck check = data::checkSchema(testdb::connection());
        QCOMPARE(check.missing,
            (QStringList { QStringLiteral("column Company.DryingDays"), QStringLiteral("table WIPContractors") }));
        QCOMPARE(check.toBeAdded, QStringList { QStringLiteral("table SchemaVersion") });
        QCOMPARE(data::storedSchemaVersion(testdb::connection()), std::nullopt);
    }

    // The mark sits on the line before CREATE TABLE or at the end of a column's
    // line; it does not reach past its statement, comment lines are no
    // columns, and a word that merely starts with "addition" is no mark.
    void parsesAdditionMarks()
    {
        const auto tables = data::parseSchemaScript(QStringLiteral("-- header\n"
                                                                   "-- addition: the program's own\n"
                                                                   "CREATE TABLE Added (\n"
                                                                   "    ID INTEGER,\n"
                                                                   "    -- a note between columns\n"
                                                                   "    Name TEXT\n"
                                                                   ")\n"
                                                                   "GO\n"
                                                                   "-- addition\n"
                                                                   "CREATE INDEX IX_Added_Name ON Added (Name)\n"
                                                                   "GO\n"
                                                                   "CREATE TABLE Kept (\n"
                                                                   "    ID INTEGER,\n"
                                                                   "    Extra TEXT, -- addition: later\n"
                                                                   "    Note TEXT -- additional remarks\n"
                                                                   ")\n"
                                                                   "GO\n"));
        QCOMPARE(describe(tables),
            (QStringList { QStringLiteral("Added+: ID, Name"), QStringLiteral("Kept: ID, Extra+, Note") }));
    }

    // expectedTables() reads the SQLite script only; the others must declare
    // the same tables, columns and additions.
    void dialectScriptsAgree_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("postgresql") << data::Dialect(data::DbKind::PostgreSQL).schemaScript();
        QTest::newRow("sqlserver") << data::Dialect(data::DbKind::SqlServer).schemaScript();
    }
    void dialectScriptsAgree()
    {
        QFETCH(QString, script);
        QFile file(script);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(
            describe(data::parseSchemaScript(QString::fromUtf8(file.readAll()))), describe(data::expectedTables()));
    }

    // Every dialect's script has the history's triggers on both tables, and
    // the status's date, where the upgrade and the copy find them (SQL
    // Server's say "ON <table>" straight after the name).
    void historyTriggersFound_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("status");
        QTest::newRow("sqlite") << int(data::DbKind::SQLite) << QStringLiteral("TR_WIP_History_Status WIP");
        QTest::newRow("postgresql") << int(data::DbKind::PostgreSQL) << QStringLiteral("TR_WIP_History WIP");
        QTest::newRow("sqlserver") << int(data::DbKind::SqlServer) << QStringLiteral("TR_WIP_History WIP");
    }
    void historyTriggersFound()
    {
        QFETCH(int, kind);
        QFETCH(QString, status);
        const QStringList found = data::historyTriggerTables(data::Dialect(data::DbKind(kind)));
        QVERIFY2(found.contains(status), qPrintable(found.join(u',')));
        QSet<QString> tables;
        for (const QString &trigger : found)
            tables << trigger.section(u' ', 1);
        QCOMPARE(tables, (QSet<QString> { QStringLiteral("WIP"), QStringLiteral("WIPContractors") }));
    }

    // Whatever the scripts mark as an addition, upgrade brings back, keeping
    // the rows that are there; a failed step leaves the version where it was.
    void upgradeAddsEveryAddition()
    {
        JT_FRESH_DB(db);
        data::Connection &c = testdb::connection();
        testdb::dropAdditions();
        const qint64 job
            = c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Kept") } });
        const qint64 booking = c.insertRow(QStringLiteral("EmployeeTime"), { { QStringLiteral("WIPID"), job } });
        const data::SchemaCheck before = data::checkSchema(c);
        QCOMPARE(before.missing, QStringList());
        QVERIFY(before.toBeAdded.contains(QStringLiteral("table SchemaVersion")));

        data::failNextStatementContaining(QStringLiteral("INSERT INTO SchemaVersion"));
        QVERIFY_THROWS_EXCEPTION(data::DbError, data::upgradeSchema(c));
        QCOMPARE(data::checkSchema(c).toBeAdded, before.toBeAdded);

        const data::UpgradeResult result = data::upgradeSchema(c);
        QVERIFY(!result.versionStored);
        QCOMPARE(result.from, 1);
        QCOMPARE(result.to, data::kSchemaVersion);
        const data::SchemaCheck after = data::checkSchema(c);
        QVERIFY2(after.complete(), qPrintable((after.missing + after.toBeAdded).join(u',')));
        QCOMPARE(data::storedSchemaVersion(c), std::optional<int>(data::kSchemaVersion));
        QCOMPARE(c.scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID = ?"), { job }).toString(),
            QStringLiteral("Kept"));
        // An added column's default fills the rows already there.
        const QVariant revision
            = c.scalar(QStringLiteral("SELECT Revision FROM EmployeeTime WHERE ID = ?"), { booking });
        QVERIFY(!revision.isNull());
        QCOMPARE(revision.toInt(), 0);
        // The upgraded database moves a row's version on at any writer's change.
        c.exec(QStringLiteral("UPDATE WIP SET Customer = 'Changed' WHERE ID = ?"), { job });
        c.exec(QStringLiteral("UPDATE WIP SET Customer = 'Again' WHERE ID = ?"), { job });
        QCOMPARE(c.scalar(QStringLiteral("SELECT RowVersion FROM WIP WHERE ID = ?"), { job }).toInt(), 2);
    }

    // The program's own tables carry their foreign keys, made new or
    // upgraded; an upgrade keeps every row and ID, settles the orphans an
    // older program left as their reference's rule says, and stops, changing
    // nothing, at those it leaves to a person.
    void foreignKeys_data()
    {
        QTest::addColumn<int>("from"); // the schema version; 0: made new
        QTest::addColumn<QString>("refusal");
        QTest::newRow("made new") << 0 << QString();
        QTest::newRow("from version 1") << 1 << QString();
        QTest::newRow("from version 11, with orphans") << 11 << QString();
        QTest::newRow("from version 11, a unit standing in a deleted room")
            << 11 << "EquipmentPlacement.RoomID -> DryingRoom: 1 row";
    }
    void foreignKeys()
    {
        QFETCH(int, from);
        QFETCH(QString, refusal);
        JT_FRESH_DB(db);
        data::Connection &c = testdb::connection();
        if (from == 1) {
            testdb::dropAdditions();
            data::upgradeSchema(c);
        } else if (from == 11) {
            makeVersion11(c);
            QCOMPARE(keysOf(c), QStringList());
            const qint64 job = c.insertRow("WIP", { { "Customer", "Kept" } });
            const qint64 room = c.insertRow("DryingRoom", { { "WIPID", job } });
            const qint64 point = c.insertRow("MoisturePoint", { { "RoomID", room } });
            c.insertRow("MoistureReading", { { "PointID", point } });
            // The last reading deleted: its ID is never handed out again.
            const qint64 gone = c.insertRow("MoistureReading", { { "PointID", point } });
            c.exec("DELETE FROM MoistureReading WHERE ID = ?", { gone });
            // Orphans: a size and a reading go, a photo loses only its room.
            const qint64 missing = 9999;
            c.insertRow("RoomSizing", { { "RoomID", missing } });
            c.insertRow("MoistureReading", { { "PointID", missing } });
            const qint64 photo
                = c.insertRow("JobFile", { { "WIPID", job }, { "RoomID", missing }, { "PointID", point } });
            if (!refusal.isEmpty()) {
                const qint64 unit = c.insertRow("Equipment", { { "AssetNo", "AM-1" } });
                c.insertRow("EquipmentPlacement", { { "EquipmentID", unit }, { "RoomID", missing } });
                try {
                    data::upgradeSchema(c);
                    QFAIL("the upgrade went ahead");
                } catch (const data::DbError &e) {
                    QVERIFY2(e.message().contains(refusal) && e.message().contains(u"jobtracker-admin check"),
                        qPrintable(e.message()));
                }
                QCOMPARE(data::storedSchemaVersion(c), std::optional<int>(11));
                QCOMPARE(keysOf(c), QStringList());
                QCOMPARE(data::findOrphans(c).size(), 4);
                return;
            }
            data::upgradeSchema(c);
            QCOMPARE(c.scalar("SELECT COUNT(*) FROM MoistureReading WHERE PointID = ?", { point }).toInt(), 1);
            QCOMPARE(c.scalar("SELECT PointID FROM JobFile WHERE ID = ?", { photo }).toLongLong(), point);
            // A table made anew keeps its indexes and its row version's trigger.
            QVERIFY(c.scalar(c.dialect().indexExists(), { "MoistureReading", "IX_MoistureReading_PointID_TakenAt" })
                        .isValid());
            c.exec("UPDATE MoisturePoint SET Material = 'Oak' WHERE ID = ?", { point });
            QCOMPARE(c.scalar("SELECT RowVersion FROM MoisturePoint WHERE ID = ?", { point }).toInt(), 1);
            QVERIFY(c.insertRow("MoistureReading", { { "PointID", point } }) > gone);
        }
        QCOMPARE(data::storedSchemaVersion(c), std::optional<int>(data::kSchemaVersion));
        QCOMPARE(keysOf(c), expectedKeys());
        QCOMPARE(data::findOrphans(c).size(), 0);
        QVERIFY(data::checkSchema(c).complete());
        // The keys hold: a row pointing at nothing is refused.
        QVERIFY_THROWS_EXCEPTION(data::DbError, c.insertRow("MoisturePoint", { { "RoomID", 9999 } }));
    }

    void lookupRowsArePresent()
    {
        JT_FRESH_DB(db);
        for (const char *name : { "Fire", "Water", "Work Order" })
            QVERIFY(testdb::scalar(
                QStringLiteral("SELECT ID FROM WIPJobType WHERE Name = ?"), { QString::fromLatin1(name) })
                        .isValid());
        for (const char *name : { "Drying", "Closed" })
            QVERIFY(testdb::scalar(
                QStringLiteral("SELECT ColorCode FROM WIPStatus WHERE Name = ?"), { QString::fromLatin1(name) })
                        .isValid());
        for (const char *name : { "Company Info", "Employee Entry/Edit", "Quickbooks Sync", "WIPs Entry/Edit",
                 "WIPs Navigator", "Employee Time Manager", "Employee Time Entry/Edit", "Delete Employee Time",
                 "Equipment", "Field Entry" })
            QVERIFY2(testdb::scalar(
                         QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { QString::fromLatin1(name) })
                         .isValid(),
                name);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM State")).toInt(), 51);
        QVERIFY(testdb::scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = 'Admin'")).isValid());
    }

    // Quotes, dates, booleans and doubles survive a round trip on every backend.
    void valuesRoundTrip()
    {
        JT_FRESH_DB(db);
        const QDateTime start(QDate(2026, 3, 30), QTime(14, 25, 10));
        const qint64 id = testdb::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QStringLiteral("O'Brien; DROP TABLE WIP --") },
                { QStringLiteral("StartDate"), start }, { QStringLiteral("CheckDryingDays"), true },
                { QStringLiteral("Billed"), false }, { QStringLiteral("AmountBilled"), 1234.56 } });
        QVERIFY(id > 0);
        data::Rows q = testdb::exec(
            QStringLiteral(
                "SELECT Customer, StartDate, CheckDryingDays, Billed, AmountBilled, Photos FROM WIP WHERE ID = ?"),
            { id });
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("O'Brien; DROP TABLE WIP --"));
        QCOMPARE(q.value(1).toDateTime(), start);
        QCOMPARE(q.value(2).toBool(), true);
        QCOMPARE(q.value(3).toBool(), false);
        QCOMPARE(q.value(4).toDouble(), 1234.56);
        QVERIFY(q.value(5).isNull());
        // An untouched text is written as "", never NULL; an invalid QVariant is NULL.
        const qint64 blank = testdb::insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QString() }, { QStringLiteral("Rep"), QVariant() },
                { QStringLiteral("StartDate"), QDateTime() } });
        data::Rows b = testdb::exec(QStringLiteral("SELECT Customer, Rep, StartDate FROM WIP WHERE ID = ?"), { blank });
        QVERIFY(b.next());
        QVERIFY(!b.value(0).isNull());
        QCOMPARE(b.value(0).toString(), QString());
        QVERIFY(b.value(1).isNull());
        QVERIFY(b.value(2).isNull());
        const qint64 second
            = testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Next") } });
        QCOMPARE(second, blank + 1);
    }

    // A row is read by its columns' names, whatever their order, case or
    // table alias; a name the statement does not yield is an error, never a
    // NULL. one() reads the first row, all() every row.
    void rowsReadByName_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QStringList>("expected"); // {a}, {b}: the two jobs' IDs
        QTest::addColumn<bool>("refused");
        const QStringList both { "{a} Ames 10.50", "{b} Bell 0.00" };
        QTest::newRow("listed in table order") << "W.ID, W.Customer, W.AmountBilled"
                                               << "" << both << false;
        QTest::newRow("reordered") << "AmountBilled, ID, Customer"
                                   << "" << both << false;
        QTest::newRow("the second") << "Customer, AmountBilled, ID"
                                    << "WHERE ID = {b}" << both.mid(1) << false;
        QTest::newRow("none") << "ID, Customer, AmountBilled"
                              << "WHERE ID = 0" << QStringList() << false;
        QTest::newRow("a column missing") << "ID, Customer"
                                          << "" << QStringList() << true;
    }
    void rowsReadByName()
    {
        QFETCH(QString, select);
        QFETCH(QString, where);
        QFETCH(QStringList, expected);
        QFETCH(bool, refused);
        JT_FRESH_DB(db);
        const qint64 a = testdb::insertRow("WIP", { { "Customer", "Ames" }, { "AmountBilled", 10.5 } });
        const qint64 b = testdb::insertRow("WIP", { { "Customer", "Bell" }, { "AmountBilled", 0.0 } });
        auto withIds = [a, b](QString text) {
            return text.replace("{a}", QString::number(a)).replace("{b}", QString::number(b));
        };
        where = withIds(where);
        for (QString &line : expected)
            line = withIds(line);
        const QString sql = QStringLiteral("SELECT %1 FROM WIP W %2 ORDER BY W.ID").arg(select, where);
        auto text = [](const data::Row &r) {
            return QStringLiteral("%1 %2 %3")
                .arg(r["id"].toString(), r["CUSTOMER"].toString(),
                    QString::number(r["AmountBilled"].toDouble(), 'f', 2));
        };
        if (refused) {
            QVERIFY_THROWS_EXCEPTION(data::DbError, data::all(testdb::exec(sql), text));
            QVERIFY_THROWS_EXCEPTION(data::DbError, data::one(testdb::exec(sql), text));
            return;
        }
        QCOMPARE(data::all(testdb::exec(sql), text), expected);
        const std::optional<QString> first = data::one(testdb::exec(sql), text);
        QCOMPARE(first.value_or(QString()), expected.value(0));
    }

    void transactionRollsBackOnError()
    {
        JT_FRESH_DB(db);
        try {
            data::Transaction t(testdb::connection());
            testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Half") } });
            testdb::exec(QStringLiteral("INSERT INTO NoSuchTable (X) VALUES (?)"), { 1 });
            t.commit();
            QFAIL("the bad statement did not throw");
        } catch (const data::DbError &e) {
            QVERIFY(!e.description().isEmpty());
            QVERIFY(!e.number().isEmpty());
        }
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 0);
        // The connection stays usable after the failure.
        testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Whole") } });
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 1);
    }

    // A transaction inside another is a savepoint: a real server error in it
    // (which aborts the whole transaction on PostgreSQL) undoes only its own
    // work; what the outer one did before and after is committed together.
    void nestedTransactionRollsBackAlone()
    {
        JT_FRESH_DB(db);
        data::Connection &c = testdb::connection();
        const auto customers = [] {
            QStringList names;
            data::Rows q = testdb::exec(QStringLiteral("SELECT Customer FROM WIP ORDER BY ID"));
            while (q.next())
                names << q.value(0).toString();
            return names;
        };
        {
            // A savepoint as the first thing of a transaction (the ODBC
            // driver of PostgreSQL begins lazily; a failed first savepoint
            // must not take the outer transaction with it).
            data::Transaction outer(c);
            try {
                data::Transaction inner(c);
                c.exec(QStringLiteral("SELECT X FROM NoSuchTable"));
                QFAIL("the bad statement did not throw");
            } catch (const data::DbError &) {
            }
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Before") } });
            outer.commit();
        }
        {
            data::Transaction outer(c);
            try {
                data::Transaction inner(c);
                c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Inner") } });
                c.exec(QStringLiteral("INSERT INTO NoSuchTable (X) VALUES (?)"), { 1 });
                inner.commit();
                QFAIL("the bad statement did not throw");
            } catch (const data::DbError &) {
            }
            {
                data::Transaction kept(c);
                c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Kept") } });
                kept.commit();
            }
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("After") } });
            outer.commit();
        }
        QCOMPARE(
            customers(), (QStringList { QStringLiteral("Before"), QStringLiteral("Kept"), QStringLiteral("After") }));
        {
            // An inner commit is undone with the outer rollback.
            data::Transaction outer(c);
            data::Transaction inner(c);
            c.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Gone") } });
            inner.commit();
        }
        QCOMPARE(customers().size(), 3);
    }

    void loginProceduresWriteTheLog()
    {
        JT_FRESH_DB(db);
        testdb::logIn(7, QStringLiteral("someone"));
        const int user = testdb::context().UserID();
        testdb::context().CallEmployeeLogin();
        testdb::context().CallEmployeeLogoff();
        data::Rows q = testdb::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), user);
        QCOMPARE(q.value(1).toString(), QStringLiteral("Login"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("Logoff"));
        QVERIFY(!q.next());
    }

    void demoDataIsDeterministicAndComplete()
    {
        data::DemoOptions options;
        options.jobs = 300;
        options.bookingsPerJob = 3;
        options.today = QDate(2026, 12, 7);
        QStringList first;
        {
            JT_FRESH_DB(db);
            data::seedDemo(db.connection(), options);
            first = demoDigest(db.connection());
            QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 300);
            QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM EmployeeTime")).toInt(), 900);
            QVERIFY(testdb::scalar(
                        QStringLiteral("SELECT COUNT(*) FROM WIP WHERE Status = 'Drying' AND CheckDryingDays = ?"),
                        { true })
                        .toInt()
                > 0);
            QVERIFY(testdb::scalar(QStringLiteral("SELECT COUNT(DISTINCT JobType) FROM WIP")).toInt() >= 6);
            QVERIFY(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIPContractors WHERE Contractor = ?"),
                        { QStringLiteral("O'Brien Plumbing") })
                        .toInt()
                > 0);
            QVERIFY(Company::load(testdb::connection()).has_value());
            // Drying logs: one job dry, the others still wet.
            QList<int> wetPoints;
            for (const drying::JobSummary &summary : drying::loadSummaries(testdb::connection()))
                wetPoints << summary.points - summary.atGoal;
            std::sort(wetPoints.begin(), wetPoints.end());
            QCOMPARE(wetPoints, (QList<int> { 0, 4, 4 }));
            // New rows continue after the seeded IDs.
            const qint64 next
                = testdb::insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("After") } });
            QCOMPARE(next, 301);
            const QVariant login
                = testdb::scalar(QStringLiteral("SELECT Password FROM Employee WHERE Username = 'kwhitfield'"));
            QVERIFY(Passwords::isHash(login.toString()));
            QVERIFY(Passwords::verify(login.toString(), QStringLiteral("password")));
        }
        // The same options give the same rows in another database; another
        // seed gives other rows.
        QStringList again;
        {
            JT_FRESH_DB(db);
            data::seedDemo(db.connection(), options);
            again = demoDigest(db.connection());
        }
        QStringList reseeded;
        {
            JT_FRESH_DB(db);
            options.seed += 1;
            data::seedDemo(db.connection(), options);
            reseeded = demoDigest(db.connection());
        }
        // The first digest was taken before the extra "After" job.
        QCOMPARE(again, first);
        QVERIFY(reseeded != first);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
