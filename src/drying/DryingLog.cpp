#include "drying/DryingLog.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include "data/Schema.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace drying {

namespace {

    QVariant dayValue(const QDate &day)
    {
        return QVariant(day.startOfDay());
    }

    std::optional<FieldProblem> checkAmount(const char *field, const QString &label, double value)
    {
        if (std::isfinite(value) && value >= 0)
            return std::nullopt;
        return problem(field, QStringLiteral("The %1 must be a number of 0 or more.").arg(label));
    }

    Room roomOf(const data::Row &r)
    {
        return Room { r["ID"].toLongLong(), r["WIPID"].toLongLong(), r["Name"].toString(), r["Affected"].toBool(),
            r["Outside"].toBool(), r["RowVersion"], r.read({ "Name", "Affected" }) };
    }

    const QString kRoomColumns = QStringLiteral("ID, WIPID, Name, Affected, Outside, RowVersion");

    std::optional<Room> findRoom(data::Connection &db, qint64 roomId)
    {
        return data::one(
            db.exec(QStringLiteral("SELECT %1 FROM DryingRoom WHERE ID = ?").arg(kRoomColumns), { roomId }), roomOf);
    }

    // The checks of a room's name within its job (`roomId` 0 for a new one).
    std::optional<FieldProblem> checkRoomName(data::Connection &db, qint64 wipId, qint64 roomId, const QString &name)
    {
        if (name.trimmed().isEmpty())
            return problem("Name", QStringLiteral("Enter the room's name."));
        if (auto bad = data::tooLong(QStringLiteral("DryingRoom"), { { QStringLiteral("Name"), name.trimmed() } }))
            return bad;
        if (name.trimmed().compare(outsideName(), Qt::CaseInsensitive) == 0)
            return problem("Name", QStringLiteral("Every job has its own \"Outside\"; give the room another name."));
        const QVariant other
            = db.scalar(QStringLiteral("SELECT ID FROM DryingRoom WHERE WIPID = ? AND ID <> ? AND %1")
                            .arg(db.dialect().equalsIgnoreCase(QStringLiteral("Name"), QStringLiteral("?"))),
                { wipId, roomId, name.trimmed() });
        if (other.isValid())
            return problem("Name", QStringLiteral("This job already has a room named \"%1\".").arg(name.trimmed()));
        return std::nullopt;
    }

    FieldProblem outsideIsFixed()
    {
        return problem("Name", QStringLiteral("The \"Outside\" room can be neither renamed nor deleted."));
    }

    AtmosphereReading atmosphereOf(const data::Row &r, TemperatureUnit unit)
    {
        AtmosphereReading reading;
        reading.id = r["ID"].toLongLong();
        reading.roomId = r["RoomID"].toLongLong();
        reading.takenAt = data::dateTimeOf(r["TakenAt"]);
        reading.temperature = fromFahrenheit(r["Temperature"].toDouble(), unit);
        reading.humidity = r["Humidity"].toDouble();
        reading.enteredBy = r["EnteredBy"].toString();
        reading.enteredDate = data::dateTimeOf(r["EnteredDate"]);
        reading.editedBy = r["EditedBy"].toString();
        reading.editedDate = data::dateTimeOf(r["EditedDate"]);
        reading.rowVersion = r["RowVersion"];
        reading.loaded = r.read({ "RoomID", "TakenAt", "Temperature", "Humidity" });
        return reading;
    }

    const QString kAtmosphereColumns
        = QStringLiteral("A.ID, A.RoomID, A.TakenAt, A.Temperature, A.Humidity, "
                         "A.EnteredBy, A.EnteredDate, A.EditedBy, A.EditedDate, A.RowVersion");

    MoisturePoint pointOf(const data::Row &r)
    {
        return MoisturePoint { r["ID"].toLongLong(), r["RoomID"].toLongLong(), r["Material"].toString(),
            r["Location"].toString(), r["Meter"].toString(), r["DryGoal"].toDouble(), r["RowVersion"],
            r.read({ "RoomID", "Material", "Location", "Meter", "DryGoal" }) };
    }

    const QString kPointColumns
        = QStringLiteral("P.ID, P.RoomID, P.Material, P.Location, P.Meter, P.DryGoal, P.RowVersion");

    MoistureReading moistureOf(const data::Row &r)
    {
        return MoistureReading { r["ID"].toLongLong(), r["PointID"].toLongLong(), data::dateOf(r["TakenAt"]),
            r["Value"].toDouble(), r["RowVersion"] };
    }

    const QString kMoistureColumns = QStringLiteral("M.ID, M.PointID, M.TakenAt, M.Value, M.RowVersion");

    void deletePointReadings(data::Connection &db, const QString &pointCondition, qint64 id)
    {
        db.exec(QStringLiteral("DELETE FROM MoistureReading WHERE PointID IN (SELECT ID FROM MoisturePoint WHERE %1)")
                    .arg(pointCondition),
            { id });
    }

    // A room that equipment was placed in stays: a unit standing there would
    // be left standing nowhere (never offered again), and the days of the
    // units taken out are billed to the job through the room.
    std::optional<FieldProblem> equipmentKeepsRoom(data::Connection &db, const Room &room)
    {
        data::Rows q = db.exec(QStringLiteral("SELECT P.EquipmentID, E.AssetNo, P.RemovedAt FROM EquipmentPlacement P "
                                              "LEFT JOIN Equipment E ON E.ID = P.EquipmentID WHERE P.RoomID = ? "
                                              "ORDER BY E.AssetNo, P.ID"),
            { room.id });
        QStringList standing, billed;
        while (q.next()) {
            const QString asset
                = q.value(1).isNull() ? QStringLiteral("#%1").arg(q.value(0).toLongLong()) : q.value(1).toString();
            QStringList &list = q.value(2).isNull() ? standing : billed;
            if (!list.contains(asset))
                list << asset;
        }
        const QString title = QStringLiteral("Delete Room");
        if (!standing.isEmpty()) {
            const bool one = standing.size() == 1;
            return FieldProblem { QStringLiteral("Name"),
                QStringLiteral("%1 %2 %3 in the room \"%4\". Take %5 out, or move %5 to another room, before "
                               "deleting the room.")
                    .arg(one ? QStringLiteral("Unit") : QStringLiteral("Units"), standing.join(QStringLiteral(", ")),
                        one ? QStringLiteral("stands") : QStringLiteral("stand"), room.name,
                        one ? QStringLiteral("it") : QStringLiteral("them")),
                title };
        }
        if (!billed.isEmpty())
            return FieldProblem { QStringLiteral("Name"),
                QStringLiteral("The room \"%1\" cannot be deleted: the equipment-days of %2 %3 placed in it are "
                               "billed to the job.")
                    .arg(room.name, billed.size() == 1 ? QStringLiteral("unit") : QStringLiteral("units"),
                        billed.join(QStringLiteral(", "))),
                title };
        return std::nullopt;
    }

} // namespace

QString dryingStatus()
{
    return QStringLiteral("Drying");
}

QString outsideName()
{
    return QStringLiteral("Outside");
}

// ---- Rooms ----

qint64 ensureOutsideRoom(data::Connection &db, qint64 wipId)
{
    data::Transaction transaction(db);
    const QVariant id
        = db.scalar(QStringLiteral("SELECT MIN(ID) FROM DryingRoom WHERE WIPID = ? AND Outside = ?"), { wipId, true });
    if (id.isValid() && !id.isNull())
        return id.toLongLong();
    const qint64 added = db.insertRow(QStringLiteral("DryingRoom"),
        { { QStringLiteral("WIPID"), wipId }, { QStringLiteral("Name"), outsideName() },
            { QStringLiteral("Affected"), false }, { QStringLiteral("Outside"), true } });
    transaction.commit();
    return added;
}

QList<Room> loadRooms(data::Connection &db, qint64 wipId)
{
    QList<Room> rooms = data::all(
        db.exec(QStringLiteral("SELECT %1 FROM DryingRoom WHERE WIPID = ?").arg(kRoomColumns), { wipId }), roomOf);
    std::stable_sort(rooms.begin(), rooms.end(), [](const Room &a, const Room &b) {
        const int rankA = a.outside ? 2 : a.affected ? 0 : 1;
        const int rankB = b.outside ? 2 : b.affected ? 0 : 1;
        if (rankA != rankB)
            return rankA < rankB;
        const int byName = QString::localeAwareCompare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    return rooms;
}

std::variant<qint64, FieldProblem> addRoom(data::Connection &db, qint64 wipId, const QString &name, bool affected)
{
    data::Transaction transaction(db);
    if (auto bad = checkRoomName(db, wipId, 0, name))
        return *bad;
    ensureOutsideRoom(db, wipId);
    const qint64 id = db.insertRow(QStringLiteral("DryingRoom"),
        { { QStringLiteral("WIPID"), wipId }, { QStringLiteral("Name"), name.trimmed() },
            { QStringLiteral("Affected"), affected }, { QStringLiteral("Outside"), false } });
    transaction.commit();
    return id;
}

std::optional<FieldProblem> updateRoom(data::Connection &db, const Room &loaded, const QString &name, bool affected)
{
    const qint64 roomId = loaded.id;
    data::Transaction transaction(db);
    const std::optional<Room> room = findRoom(db, roomId);
    if (!room)
        throw data::DbError(QStringLiteral("-1"), QStringLiteral("The room was deleted by someone else."));
    if (room->outside)
        return outsideIsFixed();
    if (auto bad = checkRoomName(db, room->wipId, roomId, name))
        return bad;
    db.updateRowAtVersion(QStringLiteral("DryingRoom"), roomId,
        { { QStringLiteral("Name"), name.trimmed() }, { QStringLiteral("Affected"), affected } }, loaded.loaded,
        loaded.rowVersion, QStringLiteral("The room \"%1\"").arg(room->name));
    transaction.commit();
    return std::nullopt;
}

QString deleteRoomQuestion(const QString &roomName)
{
    return QStringLiteral("Delete the room \"%1\" with all its readings and moisture points?").arg(roomName);
}

std::optional<FieldProblem> deleteRoom(data::Connection &db, qint64 roomId)
{
    data::Transaction transaction(db);
    const std::optional<Room> room = findRoom(db, roomId);
    if (!room)
        return std::nullopt;
    if (room->outside)
        return outsideIsFixed();
    if (auto refused = equipmentKeepsRoom(db, *room))
        return refused;
    // The room's photos and documents are the job's evidence: they stay with
    // the job.
    db.exec(QStringLiteral("UPDATE JobFile SET PointID = NULL WHERE PointID IN (SELECT ID FROM MoisturePoint WHERE "
                           "RoomID = ?)"),
        { roomId });
    db.exec(QStringLiteral("UPDATE JobFile SET RoomID = NULL, PointID = NULL WHERE RoomID = ?"), { roomId });
    deletePointReadings(db, QStringLiteral("RoomID = ?"), roomId);
    db.exec(QStringLiteral("DELETE FROM MoisturePoint WHERE RoomID = ?"), { roomId });
    db.exec(QStringLiteral("DELETE FROM DryingAtmosphere WHERE RoomID = ?"), { roomId });
    db.exec(QStringLiteral("DELETE FROM RoomSizing WHERE RoomID = ?"), { roomId });
    db.exec(QStringLiteral("DELETE FROM DryingRoom WHERE ID = ?"), { roomId });
    transaction.commit();
    return std::nullopt;
}

// ---- Atmospheric readings ----

std::optional<FieldProblem> validate(const AtmosphereReading &reading, TemperatureUnit unit)
{
    if (!reading.takenAt.isValid())
        return problem("TakenAt", QStringLiteral("Enter when the reading was taken."));
    if (auto bad = checkTemperature(reading.temperature, unit))
        return bad;
    return checkHumidity(reading.humidity);
}

std::variant<qint64, FieldProblem> saveAtmosphere(
    data::Connection &db, const AtmosphereReading &reading, TemperatureUnit unit, const data::Stamp &stamp)
{
    if (auto bad = validate(reading, unit))
        return *bad;
    data::Fields fields = {
        { QStringLiteral("RoomID"), reading.roomId },
        { QStringLiteral("TakenAt"), data::dateTimeValue(reading.takenAt) },
        { QStringLiteral("Temperature"), toFahrenheit(reading.temperature, unit) },
        { QStringLiteral("Humidity"), reading.humidity },
    };
    fields << data::stampFields(stamp, reading.id == 0);
    data::Transaction transaction(db);
    const qint64 id = db.saveRow(QStringLiteral("DryingAtmosphere"), reading.id, fields, reading.loaded,
        reading.rowVersion, QStringLiteral("Reading"));
    transaction.commit();
    return id;
}

void deleteAtmosphere(data::Connection &db, qint64 readingId)
{
    db.exec(QStringLiteral("DELETE FROM DryingAtmosphere WHERE ID = ?"), { readingId });
}

QList<AtmosphereReading> loadAtmosphere(data::Connection &db, qint64 roomId, TemperatureUnit unit)
{
    return data::all(
        db.exec(QStringLiteral("SELECT %1 FROM DryingAtmosphere A WHERE A.RoomID = ? ORDER BY A.TakenAt, A.ID")
                    .arg(kAtmosphereColumns),
            { roomId }),
        [unit](const data::Row &r) { return atmosphereOf(r, unit); });
}

// ---- Moisture points ----

std::optional<FieldProblem> validate(const MoisturePoint &point)
{
    if (point.material.trimmed().isEmpty())
        return problem("Material", QStringLiteral("Enter the material."));
    if (auto bad = data::tooLong(QStringLiteral("MoisturePoint"),
            { { QStringLiteral("Material"), point.material.trimmed() },
                { QStringLiteral("Location"), point.location.trimmed() },
                { QStringLiteral("Meter"), point.meter.trimmed() } }))
        return bad;
    return checkAmount("DryGoal", QStringLiteral("dry goal"), point.dryGoal);
}

std::variant<qint64, FieldProblem> savePoint(data::Connection &db, const MoisturePoint &point)
{
    if (auto bad = validate(point))
        return *bad;
    const data::Fields fields = {
        { QStringLiteral("RoomID"), point.roomId },
        { QStringLiteral("Material"), point.material.trimmed() },
        { QStringLiteral("Location"), point.location.trimmed() },
        { QStringLiteral("Meter"), point.meter.trimmed() },
        { QStringLiteral("DryGoal"), point.dryGoal },
    };
    data::Transaction transaction(db);
    const qint64 id = db.saveRow(QStringLiteral("MoisturePoint"), point.id, fields, point.loaded, point.rowVersion,
        QStringLiteral("Moisture point"));
    transaction.commit();
    return id;
}

void deletePoint(data::Connection &db, qint64 pointId)
{
    data::Transaction transaction(db);
    // The point's photos stay with its room.
    db.exec(QStringLiteral("UPDATE JobFile SET PointID = NULL WHERE PointID = ?"), { pointId });
    db.exec(QStringLiteral("DELETE FROM MoistureReading WHERE PointID = ?"), { pointId });
    db.exec(QStringLiteral("DELETE FROM MoisturePoint WHERE ID = ?"), { pointId });
    transaction.commit();
}

// ---- Moisture readings ----

std::variant<qint64, FieldProblem> saveMoistureReading(data::Connection &db, qint64 pointId, const QDate &day,
    double value, const QVariant &version, const data::Stamp &stamp)
{
    if (!day.isValid())
        return problem("TakenAt", QStringLiteral("Enter the day of the reading."));
    if (auto bad = checkAmount("Value", QStringLiteral("reading"), value))
        return *bad;
    data::Transaction transaction(db);
    const QVariant existing
        = db.scalar(QStringLiteral("SELECT MIN(ID) FROM MoistureReading WHERE PointID = ? AND TakenAt = ?"),
            { pointId, dayValue(day) });
    qint64 id = existing.isValid() && !existing.isNull() ? existing.toLongLong() : 0;
    const QString what = QStringLiteral("The reading of %1").arg(Formats::date(day));
    // A value for the day that was not there when the log was read.
    if (id != 0 && !version.isValid())
        throw data::ChangedByOtherError(what, QString(), QString());
    data::Fields fields = {
        { QStringLiteral("PointID"), pointId },
        { QStringLiteral("TakenAt"), dayValue(day) },
        { QStringLiteral("Value"), value },
    };
    fields << data::stampFields(stamp, id == 0);
    if (id == 0)
        id = db.insertRow(QStringLiteral("MoistureReading"), fields);
    else
        db.updateRowAtVersion(QStringLiteral("MoistureReading"), id, fields, {}, version, what); // the value is all
                                                                                                 // it holds
    transaction.commit();
    return id;
}

// ---- The log ----

JobLog loadLog(data::Connection &db, qint64 wipId, const QDate &today, TemperatureUnit unit)
{
    JobLog log;
    log.unit = unit;
    const auto job
        = data::one(db.exec(QStringLiteral("SELECT Customer, Status, StartDate FROM WIP WHERE ID = ?"), { wipId }),
            [](const data::Row &r) {
                return std::tuple(r["Customer"].toString(), r["Status"].toString(), data::dateOf(r["StartDate"]));
            });
    if (!job)
        return log;
    log.wipId = wipId;
    std::tie(log.customer, log.status, log.startDate) = *job;

    // The job's readings and points in three statements, whatever its rooms.
    QHash<qint64, QList<AtmosphereReading>> atmosphere;
    QDate first = log.startDate;
    QDate last = today;
    auto widen = [&first, &last](const QDate &day) {
        if (!first.isValid() || day < first)
            first = day;
        if (day > last)
            last = day;
    };
    for (const AtmosphereReading &reading :
        data::all(db.exec(QStringLiteral("SELECT %1 FROM DryingAtmosphere A JOIN DryingRoom R ON R.ID = A.RoomID "
                                         "WHERE R.WIPID = ? ORDER BY A.TakenAt, A.ID")
                              .arg(kAtmosphereColumns),
                      { wipId }),
            [unit](const data::Row &r) { return atmosphereOf(r, unit); })) {
        widen(reading.takenAt.date());
        atmosphere[reading.roomId] << reading;
    }
    QHash<qint64, QList<MoisturePoint>> points;
    for (const MoisturePoint &point :
        data::all(db.exec(QStringLiteral("SELECT %1 FROM MoisturePoint P JOIN DryingRoom R ON R.ID = P.RoomID "
                                         "WHERE R.WIPID = ? ORDER BY P.ID")
                              .arg(kPointColumns),
                      { wipId }),
            pointOf))
        points[point.roomId] << point;
    QHash<qint64, QMap<QDate, double>> values;
    QHash<qint64, QMap<QDate, QVariant>> versions;
    // Of two values of one point and day the first saved counts, as for
    // saveMoistureReading(): it is read last.
    for (const MoistureReading &reading :
        data::all(db.exec(QStringLiteral("SELECT %1 FROM MoistureReading M JOIN MoisturePoint P ON P.ID = M.PointID "
                                         "JOIN DryingRoom R ON R.ID = P.RoomID WHERE R.WIPID = ? ORDER BY M.ID DESC")
                              .arg(kMoistureColumns),
                      { wipId }),
            moistureOf)) {
        widen(reading.day);
        values[reading.pointId].insert(reading.day, reading.value);
        versions[reading.pointId].insert(reading.day, reading.rowVersion);
    }
    if (first.isValid()) {
        log.firstDay = first;
        log.lastDay = std::max(first, last);
    }

    const bool drying = log.status == dryingStatus();
    for (const Room &room : loadRooms(db, wipId)) {
        RoomLog roomLog;
        roomLog.room = room;
        QMap<QDate, AtmosphereReading> byDay;
        for (const AtmosphereReading &reading : atmosphere.value(room.id))
            byDay.insert(reading.takenAt.date(), reading); // oldest first: the day's latest stays
        for (QDate day = log.firstDay; day.isValid() && day <= log.lastDay; day = day.addDays(1)) {
            LogDay entry;
            entry.day = day;
            if (const auto found = byDay.constFind(day); found != byDay.cend()) {
                entry.reading = *found;
                entry.conditions = conditions(found->temperature, found->humidity, unit);
            } else {
                entry.gap = drying && day < today;
            }
            roomLog.days << entry;
        }
        for (const MoisturePoint &point : points.value(room.id)) {
            PointLog pointLog;
            pointLog.point = point;
            pointLog.values = values.value(point.id);
            pointLog.versions = versions.value(point.id);
            if (!pointLog.values.isEmpty()) {
                pointLog.latest = pointLog.values.last();
                pointLog.dry = *pointLog.latest <= point.dryGoal;
                for (auto it = pointLog.values.cbegin(); it != pointLog.values.cend(); ++it) {
                    if (it.value() <= point.dryGoal) {
                        pointLog.reachedGoal = it.key();
                        break;
                    }
                }
            }
            roomLog.points << pointLog;
        }
        log.rooms << roomLog;
    }
    return log;
}

// ---- The board ----

QHash<qint64, JobSummary> loadSummaries(data::Connection &db)
{
    // Per job: its points, those whose latest value is at goal and the last
    // moisture reading; then the last atmospheric reading. Each latest
    // reading is one index seek per point or room, not a scan of them all.
    data::Rows q = db.exec(QStringLiteral(
        "SELECT R.WIPID, COUNT(P.ID), SUM(CASE WHEN M.Value <= P.DryGoal THEN 1 ELSE 0 END), MAX(M.TakenAt) "
        "FROM DryingRoom R JOIN MoisturePoint P ON P.RoomID = R.ID "
        "LEFT JOIN MoistureReading M ON M.PointID = P.ID AND M.TakenAt = "
        "(SELECT MAX(L.TakenAt) FROM MoistureReading L WHERE L.PointID = P.ID) "
        "GROUP BY R.WIPID "
        "UNION ALL "
        "SELECT X.WIPID, 0, 0, MAX(X.LastTaken) FROM (SELECT R.WIPID, "
        "(SELECT MAX(A.TakenAt) FROM DryingAtmosphere A WHERE A.RoomID = R.ID) AS LastTaken FROM DryingRoom R) X "
        "GROUP BY X.WIPID"));
    QHash<qint64, JobSummary> summaries;
    while (q.next()) {
        JobSummary &summary = summaries[q.value(0).toLongLong()];
        summary.points += q.value(1).toInt();
        summary.atGoal += q.value(2).toInt();
        const QDate last = data::dateOf(q.value(3));
        if (last.isValid() && (!summary.lastReading.isValid() || last > summary.lastReading))
            summary.lastReading = last;
    }
    return summaries;
}

QString summaryText(const JobSummary &summary, const QDate &today)
{
    QString text = QStringLiteral("%1 of %2 points at goal, ").arg(summary.atGoal).arg(summary.points);
    if (!summary.lastReading.isValid())
        return text + QStringLiteral("no reading yet");
    const qint64 days = summary.lastReading.daysTo(today);
    if (days == 0)
        return text + QStringLiteral("last reading today");
    if (days == 1)
        return text + QStringLiteral("last reading 1 day ago");
    return text + QStringLiteral("last reading %1 days ago").arg(days);
}

bool boardAlert(bool daysAlert, bool alertFromLog, const JobSummary *summary)
{
    if (!alertFromLog || !summary || summary->points == 0)
        return daysAlert;
    return daysAlert && summary->atGoal < summary->points;
}

} // namespace drying
