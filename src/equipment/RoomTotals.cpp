#include "equipment/RoomTotals.h"

namespace equipment {

RoomTotals roomTotals(const QList<Placement> &placements, qint64 roomId)
{
    RoomTotals totals;
    for (const Placement &p : placements) {
        if (p.roomId != roomId || !p.open())
            continue;
        if (p.type == airMover())
            ++totals.airMovers;
        else if (p.type == dehumidifier() && p.dehuKind != desiccant())
            totals.pints += p.pints;
    }
    return totals;
}

} // namespace equipment
