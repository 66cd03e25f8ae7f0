#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <variant>

namespace data {
class Connection;
}

// How much drying equipment a room needs, from its size and class of water,
// after the IICRC S500 (2015) figures. The dehumidification factors are data
// (the DehuFactor table), which the office may change.
namespace equipment {

// A room's size in feet and its class of water (1-4; 0: not given).
struct RoomSize
{
    qint64 id = 0; // 0: not saved yet
    qint64 roomId = 0;
    double length = 0;
    double width = 0;
    double height = 0;
    double wetWallHeight = 0; // how far up the walls are wet
    int waterClass = 0;
    QVariant rowVersion {};
    data::Fields loaded {}; // the saved columns as read: a save writes what changed
};

// The room's size; an empty one (id 0) when none was saved.
RoomSize loadSize(data::Connection &db, qint64 roomId);
// Sizes of 0 or more, finite ("Length", "Width", "Height", "WetWallHeight"),
// the wet wall no higher than the room, the class 0-4 ("WaterClass").
std::optional<FieldProblem> validate(const RoomSize &size);
// Adds or updates the room's one size row; its ID.
std::variant<qint64, FieldProblem> saveSize(data::Connection &db, const RoomSize &size);

struct AirMoverRange
{
    int least = 0;
    int most = 0;
};
// Air movers for a room whose floor is wet and walls wet `wetWallHeight` up:
// at least 1 + ⌈floor ft² / 70⌉ + ⌈wet wall ft² above 2 ft / 150⌉, at most
// 1 + ⌈floor / 50⌉ + ⌈wall above 2 ft / 100⌉. None for a room without a floor.
AirMoverRange airMovers(const RoomSize &size);
double cubicFeet(const RoomSize &size);

// One row of the factors table; `factor` empty where the kind is not used
// for the class.
struct DehuFactor
{
    QString kind {};
    int waterClass = 0;
    std::optional<double> factor {};
};
QList<DehuFactor> loadFactors(data::Connection &db);
std::optional<double> factorOf(const QList<DehuFactor> &factors, const QString &kind, int waterClass);

// Pints a day of a refrigerant dehumidifier (conventional, LGR) for the
// room: ft³ / factor. Nothing when the class or factor is missing.
std::optional<double> pintsPerDay(const RoomSize &size, const QList<DehuFactor> &factors, const QString &kind);
// A desiccant's air flow, ft³ a minute: ft³ × air changes an hour / 60.
std::optional<double> desiccantCfm(const RoomSize &size, const QList<DehuFactor> &factors);

// The texts beside the placements: what the room needs against what stands
// in it. "Air movers: 4-4 needed, 2 placed"; "Dehumidification: 28.8
// pints/day conventional or 23.0 LGR (or 38 CFM desiccant); 70.0 placed".
QString airMoverText(const RoomSize &size, int placed);
QString pintsText(const RoomSize &size, const QList<DehuFactor> &factors, double placedPints);

} // namespace equipment
