#pragma once

#include "equipment/Equipment.h"

#include <QList>

// What stands in a room now, against what its size calls for (Sizing.h).
namespace equipment {

struct RoomTotals
{
    int airMovers = 0;
    // The rated pints a day of the refrigerant dehumidifiers: a desiccant's
    // capacity is its air flow, which pints do not measure.
    double pints = 0;
};

// The units standing in the room (not removed) among a job's placements.
RoomTotals roomTotals(const QList<Placement> &placements, qint64 roomId);

} // namespace equipment
