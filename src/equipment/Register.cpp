#include "equipment/Register.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "equipment/Equipment.h"

#include <algorithm>

namespace equipment {

QList<UnitStanding> loadRegister(data::Connection &db, const QDateTime &now)
{
    // The open placement (at most one a unit) with its room and job, and
    // the last time the unit came back, for a unit in the shop.
    data::Rows q = db.exec(QStringLiteral(
        "SELECT E.ID, E.AssetNo, E.EquipType, E.Retired, P.PlacedAt, R.Name, R.WIPID, W.Customer, "
        "(SELECT MAX(B.RemovedAt) FROM EquipmentPlacement B WHERE B.EquipmentID = E.ID AND B.RemovedAt IS NOT NULL) "
        "FROM Equipment E "
        "LEFT JOIN EquipmentPlacement P ON P.EquipmentID = E.ID AND P.RemovedAt IS NULL "
        "LEFT JOIN DryingRoom R ON R.ID = P.RoomID LEFT JOIN WIP W ON W.ID = R.WIPID "
        "ORDER BY E.AssetNo, E.ID"));
    QList<UnitStanding> units;
    while (q.next()) {
        UnitStanding unit;
        unit.id = q.value(0).toLongLong();
        unit.assetNo = q.value(1).toString();
        unit.type = q.value(2).toString();
        if (!q.isNull(4)) {
            Placement placement;
            placement.placedAt = data::dateTimeOf(q.value(4));
            placement.roomName = q.value(5).toString();
            placement.wipId = q.value(6).toLongLong();
            placement.customer = q.value(7).toString();
            unit.where = QStringLiteral("On job %1 (%2), room %3")
                             .arg(placement.wipId)
                             .arg(placement.customer, placement.roomName);
            unit.since = placement.placedAt;
            unit.days = equipmentDays(placement, now);
        } else if (q.value(3).toBool()) {
            unit.where = QStringLiteral("Retired");
        } else {
            unit.where = QStringLiteral("In the shop");
            if (!q.isNull(8)) {
                unit.since = data::dateTimeOf(q.value(8));
                unit.days = int(std::max<qint64>(0, unit.since.secsTo(now) / (24 * 60 * 60)));
            }
        }
        units << unit;
    }
    return units;
}

} // namespace equipment
