// backends: sqlite postgres odbc
#include "base/Clock.h"
#include "board/BoardLines.h"
#include "data/Database.h"
#include "data/References.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "drying/DryingLog.h"
#include "equipment/Equipment.h"
#include "equipment/RoomTotals.h"
#include "equipment/Sizing.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QTest>

namespace {

// Monday 2 March 2026.
const QDate kMonday(2026, 3, 2);
QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(kMonday.addDays(day), QTime(hour, minute));
}

template <class T> T value(const std::variant<T, FieldProblem> &result)
{
    if (const auto *problem = std::get_if<FieldProblem>(&result))
        qFatal("refused: %s %s", qPrintable(problem->field), qPrintable(problem->text));
    return std::get<T>(result);
}

qint64 addJob(const QString &customer)
{
    return testdb::insertRow(QStringLiteral("WIP"),
        { { "Customer", customer }, { "JobType", "Water" }, { "Status", "Drying" },
            { "StartDate", kMonday.startOfDay() } });
}

qint64 addRoom(qint64 wip, const QString &name)
{
    return value(drying::addRoom(testdb::connection(), wip, name, true));
}

qint64 addUnit(const QString &asset, const QString &type, bool retired = false)
{
    equipment::Unit unit;
    unit.assetNo = asset;
    unit.type = type;
    if (type == equipment::dehumidifier()) {
        unit.dehuKind = QStringLiteral("LGR");
        unit.pints = 70;
    }
    unit.retired = retired;
    return value(equipment::saveUnit(testdb::connection(), unit));
}

QVariant versionOf(qint64 placement)
{
    return testdb::scalar("SELECT RowVersion FROM EquipmentPlacement WHERE ID = ?", { placement });
}

// A unit of `type` (a dehumidifier's kind and pints after it) in `room`,
// standing or taken out.
equipment::Placement standing(
    const QString &type, qint64 room = 1, bool removed = false, const QString &kind = {}, double pints = 0)
{
    equipment::Placement p;
    p.roomId = room;
    p.placedAt = at(0, 9);
    p.removedAt = removed ? at(1, 9) : QDateTime();
    p.type = type;
    p.dehuKind = kind;
    p.pints = pints;
    return p;
}

enum class Delete { RoomWithUnitStanding, RoomWithUnitTakenOut, RoomWithItsRecords, PointWithItsRecords };

enum class Step { PlaceTwice, PlaceRetired, MoveToSameRoom, MoveToOtherJob, RemoveBeforePlaced, RetireOnJob };

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Delete)
Q_DECLARE_METATYPE(QList<equipment::Placement>)

class TestEquipment : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestDb> m_db;

private slots:
    void init() { resetTestState(); }

    void equipmentDays_data()
    {
        columns<QDateTime, QDateTime, int>({ "placed", "removed", "days" });
        row("Monday 9:00 to Thursday 8:00", at(0, 9), at(3, 8), 3);
        row("Monday 9:00 to Thursday 9:00", at(0, 9), at(3, 9), 3);
        row("a minute into the fourth day", at(0, 9), at(3, 9, 1), 4);
        row("removed at once", at(0, 9), at(0, 9), 1);
        // Still standing: counted to now (Wednesday 10:00).
        row("open", at(0, 9), QDateTime(), 3);
    }

    void equipmentDays()
    {
        QFETCH(QDateTime, placed);
        QFETCH(QDateTime, removed);
        QTEST(equipment::equipmentDays(placed, removed, at(2, 10)), "days");
    }

    // A job's days per type, with a unit moved between rooms (one stay, not
    // one per room) and one still standing; the board's line; what the
    // look-up answers for each unit.
    void daysOfAJob()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 job = addJob("Smith");
        const qint64 kitchen = addRoom(job, "Kitchen");
        const qint64 hall = addRoom(job, "Hall");
        const qint64 mover = addUnit("AM-01", equipment::airMover());
        const qint64 dehu = addUnit("DH-17", equipment::dehumidifier());
        addUnit("am-02", equipment::airMover());

        const qint64 first = value(equipment::place(db, mover, kitchen, at(0, 9)));
        const qint64 second = value(equipment::move(db, first, versionOf(first), hall, at(1, 15)));
        QCOMPARE(equipment::currentPlacement(db, mover)->roomId, hall);
        QVERIFY(!equipment::removeUnit(db, second, versionOf(second), at(3, 8)));
        value(equipment::place(db, dehu, kitchen, at(1, 9)));

        const QDateTime now = at(4, 10); // Friday 10:00
        const QList<equipment::Placement> placements = equipment::loadPlacements(db, job);
        QStringList rooms;
        for (const equipment::Placement &p : placements)
            rooms << QStringLiteral("%1 %2 %3").arg(p.roomName, p.assetNo).arg(equipment::equipmentDays(p, now));
        QCOMPARE(rooms, QStringList({ "Hall AM-01 2", "Kitchen AM-01 2", "Kitchen DH-17 4" }));
        const QMap<QString, int> days = equipment::daysByType(placements, now);
        QCOMPARE(equipment::daysText(days), QString("Air Mover 3, Dehumidifier 4"));
        // The board's Drying Days tip: the moisture summary, then the units.
        Clock::setNow(now);
        const board::DryingLogOptions options { .summaries = true, .alertFromLog = false };
        board::BoardReader reader(db, board::Filter { .search = "Smith" }, now.date(), 7, options);
        board::BoardLine line;
        QVERIFY(reader.next(line));
        QCOMPARE(line.dryingTip.section(u'\n', 1), QString("1 unit on site, 7 equipment-days"));

        QCOMPARE(equipment::findUnit(db, " am-01 "), QString("AM-01: In the shop"));
        QVERIFY(equipment::findUnit(db, "dh-17")
                    .startsWith(QStringLiteral("DH-17: On job %1 (Smith), room Kitchen, since").arg(job)));
        QCOMPARE(equipment::findUnit(db, "XX-9"), QString("No unit has the asset number \"XX-9\"."));
        QCOMPARE(equipment::unitsInShop(db).size(), 2);
    }

    // Each refusal names its field and writes nothing.
    void refusals_data()
    {
        columns<Step, QString, QString>({ "step", "field", "text" });
        row("a unit already out", Step::PlaceTwice, QString("EquipmentID"),
            QString("Unit DH-17 is already out: On job %1 (Smith), room Kitchen, since"));
        row("a retired unit", Step::PlaceRetired, QString("EquipmentID"), QString("Unit OLD-1 is retired."));
        row("a move within the room", Step::MoveToSameRoom, QString("RoomID"), QString("Unit DH-17 is in that room"));
        row("a move to another job", Step::MoveToOtherJob, QString("RoomID"),
            QString("Choose a room of the same job."));
        row("a removal before placing", Step::RemoveBeforePlaced, QString("RemovedAt"),
            QString("Unit DH-17 was placed at"));
        row("retiring a unit on a job", Step::RetireOnJob, QString("Retired"), QString("Unit DH-17 stands on a job"));
    }

    void refusals()
    {
        QFETCH(Step, step);
        QFETCH(QString, field);
        QFETCH(QString, text);
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 job = addJob("Smith");
        const qint64 kitchen = addRoom(job, "Kitchen");
        const qint64 hall = addRoom(job, "Hall");
        const qint64 elsewhere = addRoom(addJob("Jones"), "Basement");
        const qint64 dehu = addUnit("DH-17", equipment::dehumidifier());
        const qint64 old = addUnit("OLD-1", equipment::airMover(), true);
        const qint64 placement = value(equipment::place(db, dehu, kitchen, at(0, 9)));
        const auto rowsBefore = testdb::scalar("SELECT COUNT(*) FROM EquipmentPlacement").toInt();

        std::optional<FieldProblem> refused;
        auto take = [&refused](const auto &result) {
            if (const auto *bad = std::get_if<FieldProblem>(&result))
                refused = *bad;
        };
        switch (step) {
        case Step::PlaceTwice:
            take(equipment::place(db, dehu, hall, at(1, 9)));
            break;
        case Step::PlaceRetired:
            take(equipment::place(db, old, hall, at(1, 9)));
            break;
        case Step::MoveToSameRoom:
            take(equipment::move(db, placement, versionOf(placement), kitchen, at(1, 9)));
            break;
        case Step::MoveToOtherJob:
            take(equipment::move(db, placement, versionOf(placement), elsewhere, at(1, 9)));
            break;
        case Step::RemoveBeforePlaced:
            refused = equipment::removeUnit(db, placement, versionOf(placement), at(0, 8));
            break;
        case Step::RetireOnJob: {
            equipment::Unit unit = *equipment::loadUnit(db, dehu);
            unit.retired = true;
            take(equipment::saveUnit(db, unit));
            break;
        }
        }
        QVERIFY(refused);
        QCOMPARE(refused->field, field);
        QVERIFY2(refused->text.startsWith(text.contains(u"%1") ? text.arg(job) : text), qPrintable(refused->text));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM EquipmentPlacement").toInt(), rowsBefore);
        QVERIFY(equipment::currentPlacement(db, dehu)->roomId == kitchen);
        QVERIFY(!equipment::loadUnit(db, dehu)->retired);
    }

    // Every delete of the program's own rows leaves no row pointing at
    // nothing: a room that equipment stood in is kept (its unit would be
    // left standing nowhere, its days would drop off the bill), the rest go
    // with what hangs from them.
    void deletePaths_data()
    {
        columns<Delete, QString>({ "path", "refusal" });
        row("a room with a unit standing in it", Delete::RoomWithUnitStanding,
            QString("Unit DH-17 stands in the room \"Kitchen\". Take it out"));
        row("a room a unit was taken out of", Delete::RoomWithUnitTakenOut,
            QString("The room \"Kitchen\" cannot be deleted: the equipment-days of unit DH-17"));
        row("a room with its size, readings, points and photo", Delete::RoomWithItsRecords, QString());
        row("a moisture point with its readings and photo", Delete::PointWithItsRecords, QString());
    }
    void deletePaths()
    {
        QFETCH(Delete, path);
        QFETCH(QString, refusal);
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 job = addJob("Smith");
        const qint64 kitchen = addRoom(job, "Kitchen");
        const qint64 dehu = addUnit("DH-17", equipment::dehumidifier());
        testdb::insertRow("RoomSizing", { { "RoomID", kitchen }, { "Length", 12 }, { "Width", 10 } });
        testdb::insertRow("DryingAtmosphere", { { "RoomID", kitchen }, { "Temperature", 70 }, { "Humidity", 50 } });
        const qint64 point = testdb::insertRow("MoisturePoint", { { "RoomID", kitchen }, { "Material", "Drywall" } });
        testdb::insertRow("MoistureReading", { { "PointID", point }, { "Value", 20 } });
        testdb::insertRow("JobFile", { { "WIPID", job }, { "RoomID", kitchen }, { "PointID", point } });
        if (path == Delete::RoomWithUnitStanding || path == Delete::RoomWithUnitTakenOut) {
            const qint64 placement = value(equipment::place(db, dehu, kitchen, at(0, 9)));
            if (path == Delete::RoomWithUnitTakenOut)
                QVERIFY(!equipment::removeUnit(db, placement, versionOf(placement), at(2, 9)));
        }

        std::optional<FieldProblem> refused;
        if (path == Delete::PointWithItsRecords)
            drying::deletePoint(db, point);
        else
            refused = drying::deleteRoom(db, kitchen);

        QCOMPARE(refused.has_value(), !refusal.isEmpty());
        if (refused) {
            QVERIFY2(refused->text.startsWith(refusal), qPrintable(refused->text));
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM DryingRoom WHERE ID = ?", { kitchen }).toInt(), 1);
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM EquipmentPlacement").toInt(), 1);
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM MoistureReading").toInt(), 1);
        }
        QStringList orphans;
        for (const data::Orphans &found : data::findOrphans(db))
            orphans << found.describe();
        QCOMPARE(orphans, QStringList());
    }

    // The database itself keeps a unit in one place: a second open
    // placement that slipped past the check is refused.
    void oneOpenPlacementPerUnit()
    {
        JT_FRESH_DB_IN(m_db);
        const qint64 room = addRoom(addJob("Smith"), "Kitchen");
        const qint64 unit = addUnit("AM-01", equipment::airMover());
        value(equipment::place(testdb::connection(), unit, room, at(0, 9)));
        QVERIFY_THROWS_EXCEPTION(
            data::DbError, testdb::insertRow("EquipmentPlacement", { { "EquipmentID", unit }, { "RoomID", room } }));
    }

    // Asset numbers are unique in any letter case.
    void assetNumberTaken()
    {
        JT_FRESH_DB_IN(m_db);
        addUnit("AM-01", equipment::airMover());
        equipment::Unit unit;
        unit.assetNo = "am-01";
        unit.type = equipment::airMover();
        const auto result = equipment::saveUnit(testdb::connection(), unit);
        QVERIFY(std::holds_alternative<FieldProblem>(result));
        QCOMPARE(std::get<FieldProblem>(result).field, QString("AssetNo"));
    }

    void sizing_data()
    {
        columns<double, double, double, double, int, QString, QString>(
            { "length", "width", "height", "wetWall", "waterClass", "airMovers", "pints" });
        row("12 x 12 x 8, class 2", 12.0, 12.0, 8.0, 2.0, 2, QString("Air movers: 4 needed, 0 placed"),
            QString("Dehumidification: 28.8 pints/day conventional or 23.0 pints/day LGR or 39 CFM desiccant; 0.0 "
                    "pints/day placed"));
        row("walls wet 3 ft, class 3", 20.0, 15.0, 8.0, 3.0, 3, QString("Air movers: 7-8 needed, 0 placed"),
            QString("Dehumidification: 80.0 pints/day conventional or 60.0 pints/day LGR or 120 CFM desiccant; 0.0 "
                    "pints/day placed"));
        // Conventional units do not serve class 4.
        row("class 4", 12.0, 12.0, 8.0, 2.0, 4, QString("Air movers: 4 needed, 0 placed"),
            QString("Dehumidification: 23.0 pints/day LGR or 39 CFM desiccant; 0.0 pints/day placed"));
        row("no size yet", 0.0, 0.0, 0.0, 0.0, 0, QString("Air movers: enter the room's size; 0 placed"),
            QString("Dehumidification: enter the room's size and class; 0.0 pints/day placed"));
    }

    void sizing()
    {
        QFETCH(double, length);
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(double, wetWall);
        QFETCH(int, waterClass);
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 room = addRoom(addJob("Smith"), "Kitchen");
        equipment::RoomSize size { 0, room, length, width, height, wetWall, waterClass, {} };
        value(equipment::saveSize(db, size));
        size = equipment::loadSize(db, room);
        QCOMPARE(size.length, length);
        const QList<equipment::DehuFactor> factors = equipment::loadFactors(db);
        QTEST(equipment::airMoverText(size, 0), "airMovers");
        QTEST(equipment::pintsText(size, factors, 0), "pints");
    }

    // What stands in room 1 now, beside what its size calls for.
    void roomTotals_data()
    {
        const QString dehu = equipment::dehumidifier();
        columns<QList<equipment::Placement>, int, double>({ "placements", "airMovers", "pints" });
        row("air movers and a dehumidifier standing",
            QList {
                standing(equipment::airMover()), standing(equipment::airMover()), standing(dehu, 1, false, "LGR", 70) },
            2, 70.0);
        row("taken out, or in another room: not counted",
            QList { standing(equipment::airMover(), 1, true), standing(equipment::airMover(), 2),
                standing(dehu, 1, true, "Conventional", 40), standing(dehu, 2, false, "LGR", 70) },
            0, 0.0);
        row("a desiccant's pints and a heater count for nothing",
            QList { standing(dehu, 1, false, "Conventional", 40), standing(dehu, 1, false, equipment::desiccant(), 50),
                standing("Heater") },
            0, 40.0);
    }

    void roomTotals()
    {
        QFETCH(QList<equipment::Placement>, placements);
        const equipment::RoomTotals totals = equipment::roomTotals(placements, 1);
        QTEST(totals.airMovers, "airMovers");
        QTEST(totals.pints, "pints");
    }

    // The factors are the table's: a changed row changes the answer.
    void factorsAreData()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const equipment::RoomSize size { 0, 1, 12, 12, 8, 2, 2, {} };
        QCOMPARE(QString::number(*equipment::pintsPerDay(size, equipment::loadFactors(db), "Conventional"), 'f', 1),
            QString("28.8"));
        testdb::exec(
            "UPDATE DehuFactor SET Factor = ? WHERE DehuKind = ? AND WaterClass = ?", { 48, "Conventional", 2 });
        QCOMPARE(*equipment::pintsPerDay(size, equipment::loadFactors(db), "Conventional"), 24.0);
    }

    // A database at the version before the equipment gets its tables, the
    // factors, the permission and the company setting.
    void upgrade()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        for (const char *table : { "EquipmentPlacement", "Equipment", "RoomSizing", "DehuFactor", "EquipmentRate" })
            testdb::execScript(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
        testdb::execScript("ALTER TABLE Company DROP COLUMN BillEquipmentDays");
        testdb::exec("DELETE FROM Permission WHERE Name = ?", { "Equipment" });
        testdb::exec("UPDATE SchemaVersion SET Version = ?", { 7 });

        QCOMPARE(data::upgradeSchema(db).to, data::kSchemaVersion);
        QVERIFY2(data::checkSchema(db).complete(), qPrintable(data::checkSchema(db).toBeAdded.join(", ")));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM Permission WHERE Name = ?", { "Equipment" }).toInt(), 1);
        QCOMPARE(equipment::loadFactors(db).size(), 12);
        const qint64 room = addRoom(addJob("Smith"), "Kitchen");
        const qint64 unit = addUnit("AM-01", equipment::airMover());
        const qint64 placement = value(equipment::place(db, unit, room, at(0, 9)));
        QVERIFY_THROWS_EXCEPTION(
            data::DbError, testdb::insertRow("EquipmentPlacement", { { "EquipmentID", unit }, { "RoomID", room } }));
        // The trigger moves the version on.
        const QVariant version = versionOf(placement);
        QVERIFY(!equipment::removeUnit(db, placement, version, at(1, 9)));
        QVERIFY_THROWS_EXCEPTION(data::ChangedByOtherError, equipment::removeUnit(db, placement, version, at(1, 10)));
    }
};

QTEST_GUILESS_MAIN(TestEquipment)
#include "tst_equipment.moc"
