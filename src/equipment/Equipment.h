#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cmath>
#include <limits>
#include <optional>
#include <variant>

namespace data {
class Connection;
}

// The office's drying equipment: the register of units, where each stands
// (placements in the rooms of a job's drying log) and the equipment-days the
// job is billed. Saves run in one transaction each and throw data::DbError;
// refused values come back as a FieldProblem naming the column, with nothing
// written.
namespace equipment {

// The types of unit, as stored and listed ("Air Mover", "Dehumidifier",
// "Air Scrubber", "Heater", "Other").
QStringList types();
QString dehumidifier(); // "Dehumidifier"
QString airMover(); // "Air Mover"
// A dehumidifier's kinds ("Conventional", "LGR", "Desiccant").
QStringList dehuKinds();
QString desiccant(); // "Desiccant"

// The register's problems, under "Equipment".
inline const ProblemTitle problem { QStringLiteral("Equipment") };

// The job a drying room is on; nothing for a room that is gone.
std::optional<qint64> jobOfRoom(data::Connection &db, qint64 roomId);

struct Unit
{
    qint64 id = 0; // 0: not saved yet
    QString assetNo {};
    QString type {};
    QString dehuKind {}; // a dehumidifier's; empty for the other types
    double pints = std::numeric_limits<double>::quiet_NaN(); // a dehumidifier's rated pints a day
    QString description {};
    bool retired = false;
    // The row's version and its saved columns as read: a save writes what
    // the user changed, refused only where someone else changed the same.
    QVariant rowVersion {};
    data::Fields loaded {};
};

// Every unit by asset number.
QList<Unit> loadUnits(data::Connection &db);
std::optional<Unit> loadUnit(data::Connection &db, qint64 id);
// Asset number required and within its width ("AssetNo"); a listed type
// ("EquipType"); a dehumidifier's kind ("DehuKind") and its pints, a number
// of 0 or more ("Pints").
std::optional<FieldProblem> validate(const Unit &unit);
// Adds (id 0) or updates the unit; its ID. Refuses an asset number another
// unit has, in any letter case ("AssetNo"), and retiring a unit that stands
// on a job ("Retired").
std::variant<qint64, FieldProblem> saveUnit(data::Connection &db, const Unit &unit);

// A unit in a room of a job from `placedAt` until `removedAt` (null while it
// stands there).
struct Placement
{
    qint64 id = 0;
    qint64 equipmentId = 0;
    qint64 roomId = 0;
    QDateTime placedAt {};
    QDateTime removedAt {};
    QVariant rowVersion {};
    // Read with it.
    QString assetNo {};
    QString type {};
    QString dehuKind {};
    double pints = 0;
    QString roomName {};
    qint64 wipId = 0;
    QString customer {};

    bool open() const { return !removedAt.isValid(); }
};

// The started 24-hour periods from `placed` to `removed` (to `now` while
// open), at least 1: placed 9:00 Monday, removed 8:00 Thursday is 3.
int equipmentDays(const QDateTime &placed, const QDateTime &removed, const QDateTime &now);
int equipmentDays(const Placement &placement, const QDateTime &now);

// Where the unit stands now; nothing when it is in the shop.
std::optional<Placement> currentPlacement(data::Connection &db, qint64 equipmentId);
// "On job 12 (Smith), room Kitchen, since 3/2/2026 9:00 AM" or "In the shop".
QString whereText(const std::optional<Placement> &placement);
// The answer to "where is it" for an asset number typed by the user (in any
// letter case): where the unit stands, "... is retired" or that no unit has
// that number.
QString findUnit(data::Connection &db, const QString &assetNo);

// In-service units standing nowhere, by asset number.
QList<Unit> unitsInShop(data::Connection &db);
// Every placement in the job's rooms, removed ones too, by room, then
// placed time.
QList<Placement> loadPlacements(data::Connection &db, qint64 wipId);

// Places the unit in the room at `at`; its placement's ID. Refuses a unit
// that already stands somewhere, naming where ("EquipmentID"), a retired
// one, and a missing time ("PlacedAt").
std::variant<qint64, FieldProblem> place(data::Connection &db, qint64 equipmentId, qint64 roomId, const QDateTime &at);
// Ends the placement at `at`; refuses a time before it was placed
// ("RemovedAt"). A placement changed since `version` throws
// data::ChangedByOtherError.
std::optional<FieldProblem> removeUnit(
    data::Connection &db, qint64 placementId, const QVariant &version, const QDateTime &at);
// Ends the placement at `at` and starts the unit's next one in another room
// of the same job at the same moment, in one transaction; the new
// placement's ID. Refuses the same room or another job's ("RoomID").
std::variant<qint64, FieldProblem> move(
    data::Connection &db, qint64 placementId, const QVariant &version, qint64 toRoomId, const QDateTime &at);

// The equipment-days of a job per type. A unit moved between rooms stays
// on the job without a break, so its stay is counted once from its first
// placement to its last removal, not once per room.
QMap<QString, int> daysByType(const QList<Placement> &placements, const QDateTime &now);
// "Air Mover 12, Dehumidifier 6" (types in register order); "none".
QString daysText(const QMap<QString, int> &days);

// For the board: per job, the units standing on it and its equipment-days.
struct JobEquipment
{
    int onSite = 0;
    int days = 0;
};
QHash<qint64, JobEquipment> loadJobSummaries(data::Connection &db, const QDateTime &now);
// "4 units on site, 37 equipment-days".
QString summaryText(const JobEquipment &summary);

} // namespace equipment
