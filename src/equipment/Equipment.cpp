#include "equipment/Equipment.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include "data/Schema.h"

#include <algorithm>

namespace equipment {

namespace {

    QVariant nullableNumber(double value)
    {
        return std::isfinite(value) ? QVariant(value) : QVariant(QMetaType(QMetaType::Double));
    }

    const QString kUnitColumns
        = QStringLiteral("ID, AssetNo, EquipType, DehuKind, Pints, Description, Retired, RowVersion");

    Unit unitOf(const data::Row &r)
    {
        Unit unit;
        unit.id = r["ID"].toLongLong();
        unit.assetNo = r["AssetNo"].toString();
        unit.type = r["EquipType"].toString();
        unit.dehuKind = r["DehuKind"].toString();
        unit.pints = r.isNull("Pints") ? std::numeric_limits<double>::quiet_NaN() : r["Pints"].toDouble();
        unit.description = r["Description"].toString();
        unit.retired = r["Retired"].toBool();
        unit.rowVersion = r["RowVersion"];
        unit.loaded = r.read({ "AssetNo", "EquipType", "DehuKind", "Pints", "Description", "Retired" });
        return unit;
    }

    // A placement with its unit, room and job.
    const QString kPlacementSelect = QStringLiteral(
        "SELECT P.ID, P.EquipmentID, P.RoomID, P.PlacedAt, P.RemovedAt, P.RowVersion, E.AssetNo, E.EquipType, "
        "E.DehuKind, E.Pints, R.Name, R.WIPID, W.Customer "
        "FROM EquipmentPlacement P JOIN Equipment E ON E.ID = P.EquipmentID "
        "JOIN DryingRoom R ON R.ID = P.RoomID LEFT JOIN WIP W ON W.ID = R.WIPID ");

    Placement placementOf(const data::Row &r)
    {
        Placement p;
        p.id = r["ID"].toLongLong();
        p.equipmentId = r["EquipmentID"].toLongLong();
        p.roomId = r["RoomID"].toLongLong();
        p.placedAt = data::dateTimeOf(r["PlacedAt"]);
        p.removedAt = r.isNull("RemovedAt") ? QDateTime() : data::dateTimeOf(r["RemovedAt"]);
        p.rowVersion = r["RowVersion"];
        p.assetNo = r["AssetNo"].toString();
        p.type = r["EquipType"].toString();
        p.dehuKind = r["DehuKind"].toString();
        p.pints = r["Pints"].toDouble();
        p.roomName = r["Name"].toString();
        p.wipId = r["WIPID"].toLongLong();
        p.customer = r["Customer"].toString();
        return p;
    }

    std::optional<Placement> findPlacement(data::Connection &db, qint64 placementId)
    {
        return data::one(db.exec(kPlacementSelect + QStringLiteral("WHERE P.ID = ?"), { placementId }), placementOf);
    }

    qint64 insertPlacement(data::Connection &db, qint64 equipmentId, qint64 roomId, const QDateTime &at)
    {
        // RemovedAt is left out, so NULL: a bound empty date-time may reach
        // SQLite as an empty text, which "RemovedAt IS NULL" would not find.
        return db.insertRow(QStringLiteral("EquipmentPlacement"),
            { { QStringLiteral("EquipmentID"), equipmentId }, { QStringLiteral("RoomID"), roomId },
                { QStringLiteral("PlacedAt"), data::dateTimeValue(at) } });
    }

    std::optional<FieldProblem> checkRemoval(const Placement &placement, const QDateTime &at)
    {
        if (!at.isValid())
            return problem("RemovedAt", QStringLiteral("Enter when the unit was taken out."));
        if (at < placement.placedAt)
            return problem("RemovedAt",
                QStringLiteral("Unit %1 was placed at %2; it cannot leave before that.")
                    .arg(placement.assetNo, Formats::dateTime(placement.placedAt)));
        return std::nullopt;
    }

    void endPlacement(data::Connection &db, const Placement &placement, const QVariant &version, const QDateTime &at)
    {
        // Offered while it stood: ended meanwhile, it is someone else's.
        db.updateRowAtVersion(QStringLiteral("EquipmentPlacement"), placement.id,
            { { QStringLiteral("RemovedAt"), data::dateTimeValue(at) } },
            { { QStringLiteral("RemovedAt"), data::dateTimeValue(QDateTime()) } }, version,
            QStringLiteral("The placement of unit %1").arg(placement.assetNo));
    }

} // namespace

QStringList types()
{
    return { airMover(), dehumidifier(), QStringLiteral("Air Scrubber"), QStringLiteral("Heater"),
        QStringLiteral("Other") };
}

QString dehumidifier()
{
    return QStringLiteral("Dehumidifier");
}

QString airMover()
{
    return QStringLiteral("Air Mover");
}

QStringList dehuKinds()
{
    return { QStringLiteral("Conventional"), QStringLiteral("LGR"), desiccant() };
}

QString desiccant()
{
    return QStringLiteral("Desiccant");
}

std::optional<qint64> jobOfRoom(data::Connection &db, qint64 roomId)
{
    const QVariant wip = db.scalar(QStringLiteral("SELECT WIPID FROM DryingRoom WHERE ID = ?"), { roomId });
    if (!wip.isValid())
        return std::nullopt;
    return wip.toLongLong();
}

// ---- The register ----

QList<Unit> loadUnits(data::Connection &db)
{
    return data::all(db.exec(QStringLiteral("SELECT %1 FROM Equipment ORDER BY AssetNo").arg(kUnitColumns)), unitOf);
}

std::optional<Unit> loadUnit(data::Connection &db, qint64 id)
{
    return data::one(
        db.exec(QStringLiteral("SELECT %1 FROM Equipment WHERE ID = ?").arg(kUnitColumns), { id }), unitOf);
}

std::optional<FieldProblem> validate(const Unit &unit)
{
    const QString asset = unit.assetNo.trimmed();
    if (asset.isEmpty())
        return problem("AssetNo", QStringLiteral("Enter the unit's asset number."));
    if (auto bad = data::tooLong(QStringLiteral("Equipment"),
            { { QStringLiteral("AssetNo"), asset }, { QStringLiteral("Description"), unit.description.trimmed() } }))
        return bad;
    if (!types().contains(unit.type))
        return problem("EquipType", QStringLiteral("Choose the unit's type."));
    if (unit.type == dehumidifier()) {
        if (!dehuKinds().contains(unit.dehuKind))
            return problem("DehuKind", QStringLiteral("Choose the dehumidifier's kind."));
        if (!std::isfinite(unit.pints) || unit.pints < 0)
            return problem("Pints", QStringLiteral("Enter the dehumidifier's rated pints a day, 0 or more."));
    }
    return std::nullopt;
}

std::variant<qint64, FieldProblem> saveUnit(data::Connection &db, const Unit &unit)
{
    if (auto bad = validate(unit))
        return *bad;
    const QString asset = unit.assetNo.trimmed();
    const bool dehu = unit.type == dehumidifier();
    const data::Fields fields = {
        { QStringLiteral("AssetNo"), asset },
        { QStringLiteral("EquipType"), unit.type },
        { QStringLiteral("DehuKind"), dehu ? unit.dehuKind : QString() },
        { QStringLiteral("Pints"), nullableNumber(dehu ? unit.pints : std::numeric_limits<double>::quiet_NaN()) },
        { QStringLiteral("Description"), unit.description.trimmed() },
        { QStringLiteral("Retired"), unit.retired },
    };
    data::Transaction transaction(db);
    const QVariant other
        = db.scalar(QStringLiteral("SELECT ID FROM Equipment WHERE ID <> ? AND %1")
                        .arg(db.dialect().equalsIgnoreCase(QStringLiteral("AssetNo"), QStringLiteral("?"))),
            { unit.id, asset });
    if (other.isValid())
        return problem("AssetNo", QStringLiteral("Another unit has the asset number \"%1\".").arg(asset));
    if (unit.retired && unit.id != 0) {
        if (const std::optional<Placement> out = currentPlacement(db, unit.id))
            return problem("Retired",
                QStringLiteral("Unit %1 stands on a job (%2); remove it before retiring it.")
                    .arg(asset, whereText(out)));
    }
    const qint64 id = db.saveRow(
        QStringLiteral("Equipment"), unit.id, fields, unit.loaded, unit.rowVersion, QStringLiteral("Unit"));
    transaction.commit();
    return id;
}

// ---- Where a unit is ----

int equipmentDays(const QDateTime &placed, const QDateTime &removed, const QDateTime &now)
{
    const QDateTime end = removed.isValid() ? removed : now;
    const qint64 seconds = placed.secsTo(end);
    constexpr qint64 kDay = 24 * 60 * 60;
    return static_cast<int>(std::max<qint64>(1, (seconds + kDay - 1) / kDay));
}

int equipmentDays(const Placement &placement, const QDateTime &now)
{
    return equipmentDays(placement.placedAt, placement.removedAt, now);
}

std::optional<Placement> currentPlacement(data::Connection &db, qint64 equipmentId)
{
    return data::one(
        db.exec(kPlacementSelect + QStringLiteral("WHERE P.EquipmentID = ? AND P.RemovedAt IS NULL"), { equipmentId }),
        placementOf);
}

QString whereText(const std::optional<Placement> &placement)
{
    if (!placement)
        return QStringLiteral("In the shop");
    return QStringLiteral("On job %1 (%2), room %3, since %4")
        .arg(placement->wipId)
        .arg(placement->customer, placement->roomName, Formats::dateTime(placement->placedAt));
}

QString findUnit(data::Connection &db, const QString &assetNo)
{
    const QString asset = assetNo.trimmed();
    const QVariant id
        = db.scalar(QStringLiteral("SELECT ID FROM Equipment WHERE %1")
                        .arg(db.dialect().equalsIgnoreCase(QStringLiteral("AssetNo"), QStringLiteral("?"))),
            { asset });
    if (!id.isValid())
        return QStringLiteral("No unit has the asset number \"%1\".").arg(asset);
    const std::optional<Unit> unit = loadUnit(db, id.toLongLong());
    if (unit && unit->retired)
        return QStringLiteral("%1: retired").arg(unit->assetNo);
    return QStringLiteral("%1: %2").arg(unit ? unit->assetNo : asset, whereText(currentPlacement(db, id.toLongLong())));
}

QList<Unit> unitsInShop(data::Connection &db)
{
    return data::all(db.exec(QStringLiteral("SELECT %1 FROM Equipment E WHERE (Retired IS NULL OR Retired = ?) AND "
                                            "NOT EXISTS (SELECT 1 FROM EquipmentPlacement P WHERE P.EquipmentID = E.ID "
                                            "AND P.RemovedAt IS NULL) ORDER BY AssetNo")
                                 .arg(kUnitColumns),
                         { false }),
        unitOf);
}

QList<Placement> loadPlacements(data::Connection &db, qint64 wipId)
{
    return data::all(
        db.exec(kPlacementSelect + QStringLiteral("WHERE R.WIPID = ? ORDER BY R.Name, P.PlacedAt, P.ID"), { wipId }),
        placementOf);
}

// ---- Placing, removing, moving ----

std::variant<qint64, FieldProblem> place(data::Connection &db, qint64 equipmentId, qint64 roomId, const QDateTime &at)
{
    if (!at.isValid())
        return problem("PlacedAt", QStringLiteral("Enter when the unit was placed."));
    data::Transaction transaction(db);
    const std::optional<Unit> unit = loadUnit(db, equipmentId);
    if (!unit)
        return problem("EquipmentID", QStringLiteral("The unit was deleted by someone else."));
    if (unit->retired)
        return problem("EquipmentID", QStringLiteral("Unit %1 is retired.").arg(unit->assetNo));
    if (const std::optional<Placement> out = currentPlacement(db, equipmentId))
        return problem("EquipmentID",
            QStringLiteral("Unit %1 is already out: %2. Remove or move it there first.")
                .arg(unit->assetNo, whereText(out)));
    if (!jobOfRoom(db, roomId))
        throw data::DbError(QStringLiteral("-1"), QStringLiteral("The room was deleted by someone else."));
    // The open placements' unique index refuses a second one a concurrent
    // save slipped in since the check above.
    const qint64 id = insertPlacement(db, equipmentId, roomId, at);
    transaction.commit();
    return id;
}

std::optional<FieldProblem> removeUnit(
    data::Connection &db, qint64 placementId, const QVariant &version, const QDateTime &at)
{
    data::Transaction transaction(db);
    const std::optional<Placement> placement = findPlacement(db, placementId);
    if (!placement)
        throw data::DbError(QStringLiteral("-1"), QStringLiteral("The placement was deleted by someone else."));
    if (auto bad = checkRemoval(*placement, at))
        return bad;
    endPlacement(db, *placement, version, at);
    transaction.commit();
    return std::nullopt;
}

std::variant<qint64, FieldProblem> move(
    data::Connection &db, qint64 placementId, const QVariant &version, qint64 toRoomId, const QDateTime &at)
{
    data::Transaction transaction(db);
    const std::optional<Placement> placement = findPlacement(db, placementId);
    if (!placement)
        throw data::DbError(QStringLiteral("-1"), QStringLiteral("The placement was deleted by someone else."));
    if (!placement->open())
        return problem("RoomID", QStringLiteral("Unit %1 was already taken out.").arg(placement->assetNo));
    if (toRoomId == placement->roomId)
        return problem("RoomID", QStringLiteral("Unit %1 is in that room already.").arg(placement->assetNo));
    if (jobOfRoom(db, toRoomId) != placement->wipId)
        return problem("RoomID", QStringLiteral("Choose a room of the same job."));
    if (auto bad = checkRemoval(*placement, at))
        return *bad;
    endPlacement(db, *placement, version, at);
    const qint64 id = insertPlacement(db, placement->equipmentId, toRoomId, at);
    transaction.commit();
    return id;
}

// ---- Equipment-days ----

QMap<QString, int> daysByType(const QList<Placement> &placements, const QDateTime &now)
{
    // Each unit's placements in time order; one that starts when the one
    // before ended continues the same stay.
    QHash<qint64, QList<Placement>> byUnit;
    for (const Placement &p : placements)
        byUnit[p.equipmentId] << p;
    QMap<QString, int> days;
    for (QList<Placement> &stays : byUnit) {
        std::sort(
            stays.begin(), stays.end(), [](const Placement &a, const Placement &b) { return a.placedAt < b.placedAt; });
        QDateTime start = stays.first().placedAt;
        QDateTime end = stays.first().removedAt;
        for (qsizetype i = 1; i <= stays.size(); ++i) {
            if (i < stays.size() && end.isValid() && stays[i].placedAt == end) {
                end = stays[i].removedAt;
                continue;
            }
            days[stays.first().type] += equipmentDays(start, end, now);
            if (i < stays.size()) {
                start = stays[i].placedAt;
                end = stays[i].removedAt;
            }
        }
    }
    return days;
}

QString daysText(const QMap<QString, int> &days)
{
    QStringList parts;
    for (const QString &type : types()) {
        if (days.value(type) > 0)
            parts << QStringLiteral("%1 %2").arg(type).arg(days.value(type));
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

QHash<qint64, JobEquipment> loadJobSummaries(data::Connection &db, const QDateTime &now)
{
    QHash<qint64, QList<Placement>> byJob;
    for (const Placement &p :
        data::all(db.exec(kPlacementSelect + QStringLiteral("ORDER BY R.WIPID, P.PlacedAt")), placementOf))
        byJob[p.wipId] << p;
    QHash<qint64, JobEquipment> summaries;
    for (auto it = byJob.cbegin(); it != byJob.cend(); ++it) {
        JobEquipment &summary = summaries[it.key()];
        for (const Placement &p : it.value())
            summary.onSite += p.open() ? 1 : 0;
        for (int days : daysByType(it.value(), now))
            summary.days += days;
    }
    return summaries;
}

QString summaryText(const JobEquipment &summary)
{
    return QStringLiteral("%1 %2 on site, %3 equipment-%4")
        .arg(summary.onSite)
        .arg(summary.onSite == 1 ? QStringLiteral("unit") : QStringLiteral("units"))
        .arg(summary.days)
        .arg(summary.days == 1 ? QStringLiteral("day") : QStringLiteral("days"));
}

} // namespace equipment
