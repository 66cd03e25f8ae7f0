#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"
#include "drying/Psychrometrics.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>
#include <variant>

namespace data {
class Connection;
struct Stamp;
}

// The drying log of a water job: its rooms, each day's temperature and
// humidity per room, and moisture points on materials read daily until each
// reaches its dry goal. Temperatures are stored in °F; every function here
// takes and gives them in the unit the caller names. Saves run in one
// transaction each and throw data::DbError; refused values come back as a
// FieldProblem naming the column, with nothing written.
namespace drying {

// The status whose past days without a reading are gaps.
QString dryingStatus(); // "Drying"
// The name of each job's one outside room.
QString outsideName(); // "Outside"

struct Room
{
    qint64 id = 0;
    qint64 wipId = 0;
    QString name {};
    bool affected = false;
    // The job's "Outside": neither renamed nor deleted.
    bool outside = false;
    // The row's version and its saved columns as read: a change writes what
    // the user changed, refused only where someone else changed the same.
    QVariant rowVersion {};
    data::Fields loaded {};
};

// Adds the job's "Outside" room unless it has one; its ID either way.
qint64 ensureOutsideRoom(data::Connection &db, qint64 wipId);
// The job's rooms: affected ones first, then the unaffected, each by name;
// "Outside" last.
QList<Room> loadRooms(data::Connection &db, qint64 wipId);
// Adds a room (and the job's "Outside" if it has none). Refuses an empty or
// too long name, "Outside" and a name the job already has (field "Name").
std::variant<qint64, FieldProblem> addRoom(data::Connection &db, qint64 wipId, const QString &name, bool affected);
// Renames a room or changes whether it is affected; the same checks. The
// "Outside" room is refused (field "Name"); a room deleted meanwhile throws
// data::DbError.
// `room` is the room as read; a change by someone else since to what this
// one changes throws data::ChangedByOtherError.
std::optional<FieldProblem> updateRoom(data::Connection &db, const Room &room, const QString &name, bool affected);
// The question the screen asks before deleteRoom().
QString deleteRoomQuestion(const QString &roomName);
// Deletes a room with its readings, its points and their readings and its
// size, in one transaction; its photos stay with the job. "Outside" is
// refused (field "Name"), and so is a room that equipment was ever placed
// in, naming the units (a unit standing there, or days billed through it);
// a room already gone is no problem.
std::optional<FieldProblem> deleteRoom(data::Connection &db, qint64 roomId);

// One temperature and humidity reading of a room.
struct AtmosphereReading
{
    qint64 id = 0; // 0: not saved yet
    qint64 roomId = 0;
    QDateTime takenAt {};
    double temperature = 0; // in the unit of the call
    double humidity = 0; // relative, percent
    // Stamps as stored; set by the save.
    QString enteredBy {};
    QDateTime enteredDate {};
    QString editedBy {};
    QDateTime editedDate {};
    // The row's version and its saved columns as read: a save writes what
    // the user changed, refused only where someone else changed the same.
    QVariant rowVersion {};
    data::Fields loaded {};
};

// The checks of a reading: a time taken ("TakenAt"), the temperature's range
// in `unit` ("Temperature"), the humidity 0-100 ("Humidity").
std::optional<FieldProblem> validate(const AtmosphereReading &reading, TemperatureUnit unit);
// Adds (id 0) or updates the reading; its ID.
std::variant<qint64, FieldProblem> saveAtmosphere(
    data::Connection &db, const AtmosphereReading &reading, TemperatureUnit unit, const data::Stamp &stamp);
void deleteAtmosphere(data::Connection &db, qint64 readingId);
// A room's readings, oldest first.
QList<AtmosphereReading> loadAtmosphere(data::Connection &db, qint64 roomId, TemperatureUnit unit);

struct MoisturePoint
{
    qint64 id = 0; // 0: not saved yet
    qint64 roomId = 0;
    QString material {};
    QString location {};
    QString meter {};
    // From a reading of the same material in an unaffected area.
    double dryGoal = 0;
    // The row's version and its saved columns as read: a save writes what
    // the user changed, refused only where someone else changed the same.
    QVariant rowVersion {};
    data::Fields loaded {};
};

// Material required; texts within their widths ("Material", "Location",
// "Meter"); the goal non-negative and finite ("DryGoal").
std::optional<FieldProblem> validate(const MoisturePoint &point);
// Adds (id 0) or edits the point; its ID.
std::variant<qint64, FieldProblem> savePoint(data::Connection &db, const MoisturePoint &point);
// Deletes the point with its readings, in one transaction.
void deletePoint(data::Connection &db, qint64 pointId);

// A point's value on one day: one per point and day.
struct MoistureReading
{
    qint64 id = 0;
    qint64 pointId = 0;
    QDate day {};
    double value = 0;
    QVariant rowVersion {};
};

// Stores the point's value for the day, replacing one saved earlier that day.
// Refuses a missing day ("TakenAt") and a negative or non-finite value
// ("Value"). `version` is that of the day's value as read, invalid when the
// day had none: a value saved or changed by someone else since throws
// data::ChangedByOtherError. Its ID.
std::variant<qint64, FieldProblem> saveMoistureReading(data::Connection &db, qint64 pointId, const QDate &day,
    double value, const QVariant &version, const data::Stamp &stamp);

// ---- The log as the screen and the printed log show it ----

// One day of a room.
struct LogDay
{
    QDate day {};
    // The day's reading (the latest, if several) and what follows from it.
    std::optional<AtmosphereReading> reading {};
    std::optional<Conditions> conditions {};
    // A past day without a reading, of a job in "Drying".
    bool gap = false;
};

// One point with its values by day.
struct PointLog
{
    MoisturePoint point {};
    QMap<QDate, double> values {};
    QMap<QDate, QVariant> versions {}; // each value's row version, for its save
    std::optional<double> latest {}; // the value of the last day read
    // The latest value is at or below the goal.
    bool dry = false;
    // The first day a value was at or below the goal; null if none yet.
    QDate reachedGoal {};
};

struct RoomLog
{
    Room room {};
    QList<LogDay> days {}; // one per day of the job's log, in order
    QList<PointLog> points {};
};

struct JobLog
{
    qint64 wipId = 0;
    QString customer {};
    QString status {};
    QDate startDate {};
    TemperatureUnit unit = TemperatureUnit::Fahrenheit;
    // From the start date (or the first reading, when earlier or without a
    // start date) to today (or the last reading, when later). Both null for
    // a job with neither.
    QDate firstDay {};
    QDate lastDay {};
    QList<RoomLog> rooms {}; // in loadRooms() order
};

// The whole log of a job, read in five statements; it writes nothing (call
// ensureOutsideRoom() first for a job new to the log). Throws data::DbError;
// an unknown job gives an empty log (wipId 0).
JobLog loadLog(data::Connection &db, qint64 wipId, const QDate &today, TemperatureUnit unit);

// ---- The board ----

// A job's moisture points for the board.
struct JobSummary
{
    int points = 0;
    int atGoal = 0; // points whose latest value is at or below the goal
    QDate lastReading {}; // of any kind, in any room; null for none
};

// Every job with drying log rows, by WIP ID, in one statement.
QHash<qint64, JobSummary> loadSummaries(data::Connection &db);

// "n of m points at goal, last reading d days ago" ("… last reading today",
// "… 1 day ago", "… no reading yet").
QString summaryText(const JobSummary &summary, const QDate &today);

// The board's drying alert. With the company's "Alert from the drying log"
// off it is `daysAlert` (the drying days past the limit) unchanged. With it
// on, a job whose points are all at goal stops; one with a point above its
// goal (or not read yet) keeps the days' alert; a job without points keeps
// the days' alert too.
bool boardAlert(bool daysAlert, bool alertFromLog, const JobSummary *summary);

} // namespace drying
