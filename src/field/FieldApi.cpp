#include "field/FieldApi.h"

#include "base/Clock.h"
#include "base/DryingDays.h"
#include "base/Permissions.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include "drying/DryingLog.h"
#include "equipment/Equipment.h"
#include "field/Sessions.h"
#include "photos/JobFiles.h"
#include "settings/Company.h"
#include "shell/Login.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <functional>
#include <semaphore>

namespace field {

namespace {

    const QByteArray kCookie = QByteArrayLiteral("jt_field");

    // Input the server refuses: 400 with the message (and the field at
    // fault, for the page to point at).
    struct BadInput
    {
        BadInput(int status, QString message, QString field = {})
            : status(status)
            , message(std::move(message))
            , field(std::move(field))
        {
        }
        int status;
        QString message;
        QString field;
    };

    Reply jsonReply(int status, const QJsonObject &object)
    {
        Reply reply;
        reply.status = status;
        reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
        return reply;
    }

    Reply messageReply(int status, const QString &message, const QString &field = {})
    {
        QJsonObject object { { QStringLiteral("message"), message } };
        if (!field.isEmpty())
            object.insert(QStringLiteral("field"), field);
        return jsonReply(status, object);
    }

    Reply noContent()
    {
        Reply reply;
        reply.status = 204;
        reply.contentType.clear();
        return reply;
    }

    QJsonValue rounded(double value)
    {
        if (!std::isfinite(value))
            return QJsonValue(QJsonValue::Null);
        return std::round(value * 10) / 10;
    }

    QString isoTime(const QDateTime &time)
    {
        return time.isValid() ? time.toString(Qt::ISODate) : QString();
    }

    // ---- Reading the request's values ----

    QJsonObject bodyObject(const Request &request)
    {
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            throw BadInput { 400, QStringLiteral("The request is not understood (it is not a JSON object).") };
        return document.object();
    }

    double number(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            throw BadInput { 400, QStringLiteral("Enter a number for %1.").arg(key), key };
        return value.toDouble();
    }

    // An ID: a whole positive number, as JSON number or text.
    qint64 idValue(const QJsonValue &value, const QString &key)
    {
        constexpr double kLargest = 9007199254740991.0; // what a JSON number holds exactly
        if (value.isDouble()) {
            const double d = value.toDouble();
            if (d >= 1 && d <= kLargest && std::floor(d) == d)
                return static_cast<qint64>(d);
        } else if (value.isString()) {
            bool ok = false;
            const qint64 id = value.toString().toLongLong(&ok);
            if (ok && id > 0 && value.toString().size() <= 18)
                return id;
        }
        throw BadInput { 400, QStringLiteral("%1 is not a valid ID.").arg(key), key };
    }

    QString text(const QJsonObject &object, const QString &key, int longest)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined() || value.isNull())
            return {};
        if (!value.isString())
            throw BadInput { 400, QStringLiteral("%1 must be text.").arg(key), key };
        const QString result = value.toString();
        if (result.size() > longest)
            throw BadInput { 400, QStringLiteral("%1 is longer than %2 characters.").arg(key).arg(longest), key };
        return result;
    }

    bool allOf(const QString &text, qsizetype shortest, qsizetype longest, bool (*allowed)(QChar))
    {
        return text.size() >= shortest && text.size() <= longest && std::all_of(text.cbegin(), text.cend(), allowed);
    }

    // The id the phone made for an entry: letters, digits, '-' and '_'.
    QString entryId(const QString &text)
    {
        if (!allOf(text, 8, 64, [](QChar c) {
                const char l = c.toLatin1();
                return (l >= '0' && l <= '9') || (l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z') || l == '-'
                    || l == '_';
            }))
            throw BadInput { 400, QStringLiteral("The entry has no valid id."), QStringLiteral("entry") };
        return text;
    }

    // The time an entry was typed on the phone, when it is believable: not
    // ahead of the server's clock by more than a few minutes, not older
    // than a week; the server's own time otherwise.
    QDateTime takenAt(const QJsonObject &object, const QDateTime &now)
    {
        const QDateTime given
            = QDateTime::fromString(object.value(QStringLiteral("takenAt")).toString(), Qt::ISODateWithMs);
        if (!given.isValid())
            return now;
        const QDateTime local = given.toLocalTime();
        if (local > now.addSecs(300) || local < now.addDays(-7))
            return now;
        return local;
    }

    // A row version as the page hands it back: the number it was given, or
    // the hex of a binary one.
    QJsonValue versionOut(const QVariant &version)
    {
        if (version.typeId() == QMetaType::QByteArray)
            return QString::fromLatin1(version.toByteArray().toHex());
        return QString::number(version.toLongLong());
    }

    QVariant versionIn(const QJsonValue &value)
    {
        const QString text = value.isDouble() ? QString::number(value.toInteger()) : value.toString();
        if (allOf(text, 1, 18, [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return text.toLongLong();
        if (allOf(text, 16, 16, [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }))
            return QByteArray::fromHex(text.toLatin1());
        throw BadInput { 400, QStringLiteral("The version is not valid."), QStringLiteral("version") };
    }

    QByteArray cookieToken(const Request &request)
    {
        const QList<QByteArray> cookies = request.headers.value("cookie").split(';');
        for (const QByteArray &cookie : cookies) {
            const QByteArray trimmed = cookie.trimmed();
            if (trimmed.startsWith(kCookie + '='))
                return trimmed.mid(kCookie.size() + 1);
        }
        return {};
    }

    QByteArray sessionCookie(const QByteArray &token, qint64 maxAge, bool secure)
    {
        return kCookie + '=' + token + "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" + QByteArray::number(maxAge)
            + (secure ? "; Secure" : "");
    }

    // A change must come from the page itself: its origin's host is the
    // one the request went to (a proxy in front may change the scheme).
    bool sameOrigin(const Request &request)
    {
        const QByteArray origin = request.headers.value("origin");
        const QByteArray host = request.headers.value("host");
        if (origin.isEmpty() || host.isEmpty())
            return false;
        const qsizetype scheme = origin.indexOf("://");
        return scheme > 0 && origin.mid(scheme + 3).compare(host, Qt::CaseInsensitive) == 0;
    }

    // ---- The page's own files ----

    Reply pageFile(const QString &path)
    {
        const QString name = path == QLatin1String("/") ? QStringLiteral("index.html") : path.mid(1);
        // Only what the page consists of, looked up by name: no path of the
        // request ever reaches a file system.
        static const QStringList files = QDir(QStringLiteral(":/field")).entryList(QDir::Files);
        if (!files.contains(name))
            return messageReply(404, QStringLiteral("There is no such page."));
        QFile file(QStringLiteral(":/field/") + name);
        if (!file.open(QIODevice::ReadOnly))
            return messageReply(404, QStringLiteral("There is no such page."));
        Reply reply;
        reply.body = file.readAll();
        static const QHash<QString, QByteArray> types {
            { QStringLiteral("html"), "text/html; charset=utf-8" },
            { QStringLiteral("js"), "text/javascript; charset=utf-8" },
            { QStringLiteral("css"), "text/css; charset=utf-8" },
            { QStringLiteral("svg"), "image/svg+xml" },
            { QStringLiteral("png"), "image/png" },
        };
        reply.contentType = types.value(name.section(QLatin1Char('.'), -1), "application/octet-stream");
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("no-cache"));
        return reply;
    }

    // ---- A signed-in request ----

    struct Call
    {
        data::Connection &db;
        const Request &request;
        QList<qint64> ids; // of the path, in order
        sessions::Session session;
        QString user; // the employee's user name, as stamps hold it
        QDateTime now;
    };

    drying::TemperatureUnit companyUnit(data::Connection &db)
    {
        const std::optional<CompanyRow> company = Company::load(db);
        return drying::unitFromCode(company ? company->temperatureUnit : QString());
    }

    // The unit a temperature was typed in: the one the page names (the
    // office may change the company's while an entry waits on a phone),
    // else the company's.
    drying::TemperatureUnit unitOf(const QJsonObject &object, data::Connection &db)
    {
        const QJsonValue unit = object.value(QStringLiteral("unit"));
        if (unit.isUndefined() || unit.isNull())
            return companyUnit(db);
        const QString code = unit.toString();
        if (code == QLatin1String("F") || code == QLatin1String("C"))
            return drying::unitFromCode(code);
        throw BadInput(400, QStringLiteral("The unit is \"F\" or \"C\"."), QStringLiteral("unit"));
    }

    QJsonObject sessionObject(const QString &user, const QByteArray &csrf, drying::TemperatureUnit unit)
    {
        return QJsonObject { { QStringLiteral("user"), user }, { QStringLiteral("csrf"), QString::fromLatin1(csrf) },
            { QStringLiteral("unit"),
                unit == drying::TemperatureUnit::Celsius ? QStringLiteral("C") : QStringLiteral("F") } };
    }

    // Today's entry of this user: what the page may still correct or delete.
    bool ownToday(const Call &call, const QString &enteredBy, const QDateTime &enteredAt)
    {
        return enteredBy.compare(call.user, Qt::CaseInsensitive) == 0 && enteredAt.date() == call.now.date();
    }

    data::Stamp stamp(const Call &call)
    {
        return data::Stamp { call.user, call.now };
    }

    // The room of an ID; 404 when there is none.
    qint64 jobOfRoom(const Call &call, qint64 roomId)
    {
        const std::optional<qint64> wip = equipment::jobOfRoom(call.db, roomId);
        if (!wip)
            throw BadInput { 404, QStringLiteral("That room is not in the drying log (any more)."),
                QStringLiteral("room") };
        return *wip;
    }

    // ---- Entries sent by a phone: each once ----

    std::optional<qint64> storedEntry(data::Connection &db, const QString &entry)
    {
        const QVariant id = db.scalar(QStringLiteral("SELECT StoredID FROM FieldEntry WHERE EntryID = ?"), { entry });
        if (!id.isValid())
            return std::nullopt;
        return id.toLongLong();
    }

    Reply alreadyStored(qint64 id)
    {
        return jsonReply(200, { { QStringLiteral("id"), id }, { QStringLiteral("already"), true } });
    }

    // Runs `store` (which returns the ID of what it stored, or a refusal)
    // and records the phone's id of the entry with it, in one transaction:
    // an entry sent again, even at the same moment, is stored once.
    Reply storeOnce(Call &call, const QString &entry, const char *kind,
        const std::function<std::variant<qint64, FieldProblem>()> &store,
        const std::function<QJsonObject(qint64)> &answer = {})
    {
        if (const std::optional<qint64> id = storedEntry(call.db, entry))
            return alreadyStored(*id);
        qint64 id = 0;
        try {
            data::Transaction transaction(call.db);
            const std::variant<qint64, FieldProblem> stored = store();
            if (const auto *problem = std::get_if<FieldProblem>(&stored))
                return messageReply(400, problem->text, problem->field);
            id = std::get<qint64>(stored);
            call.db.insertRow(QStringLiteral("FieldEntry"),
                { { QStringLiteral("EntryID"), entry }, { QStringLiteral("EmployeeID"), call.session.employeeId },
                    { QStringLiteral("Kind"), QString::fromLatin1(kind) }, { QStringLiteral("StoredID"), id },
                    { QStringLiteral("StoredAt"), call.now } });
            transaction.commit();
        } catch (const data::ConnectionLostError &) {
            throw;
        } catch (const data::DbError &) {
            // The same entry stored by a request that ran alongside.
            if (const std::optional<qint64> other = storedEntry(call.db, entry))
                return alreadyStored(*other);
            throw;
        }
        QJsonObject object = answer ? answer(id) : QJsonObject {};
        object.insert(QStringLiteral("id"), id);
        object.insert(QStringLiteral("stored"), true);
        return jsonReply(201, object);
    }

    // ---- The jobs ----

    // Open jobs, `where` narrowing them (its values in `params`), by
    // customer, at most `limit` of them.
    QJsonArray jobList(data::Connection &db, const QString &where, const QVariantList &params, int limit)
    {
        const QString select = db.dialect().selectTop(limit,
            QStringLiteral("W.ID, W.Customer, W.Address, W.City, W.State, W.Zip, W.StartDate"),
            // The status as a literal, not a value: the servers use the open
            // jobs' partial index only for a condition they can see.
            QStringLiteral("WIP W WHERE W.Status <> 'Closed' AND %1 ORDER BY W.Customer, W.ID").arg(where));
        const QDate today = Clock::today();
        QJsonArray jobs;
        for (const QJsonObject &job :
            data::all(db.exec(select, params), [&](const data::Row &row) {
                QStringList place;
                const QString street = row["Address"].toString().trimmed();
                const QString town = QStringList { row["City"].toString().trimmed(),
                    (row["State"].toString().trimmed() + QLatin1Char(' ') + row["Zip"].toString().trimmed()).trimmed() }
                                         .join(QStringLiteral(", "));
                for (const QString &part : { street, town })
                    if (!part.isEmpty() && part != QLatin1String(","))
                        place << part;
                return QJsonObject { { QStringLiteral("wip"), row["ID"].toLongLong() },
                    { QStringLiteral("customer"), row["Customer"].toString() },
                    { QStringLiteral("address"), place.join(QStringLiteral(", ")) },
                    { QStringLiteral("dryingDays"),
                        DryingDays::daysSince(data::dateTimeOf(row["StartDate"]).date(), today) } };
            }))
            jobs.append(job);
        return jobs;
    }

    Reply jobs(Call &call)
    {
        return jsonReply(200,
            { { QStringLiteral("jobs"),
                jobList(call.db, QStringLiteral("W.ID IN (SELECT WIPID FROM DryingRoom)"), {}, 500) } });
    }

    Reply find(Call &call)
    {
        const QString text = call.request.query.value(QStringLiteral("q")).trimmed().left(100);
        if (text.isEmpty())
            return jsonReply(200, { { QStringLiteral("jobs"), QJsonArray() } });
        bool isNumber = false;
        const qint64 id = text.toLongLong(&isNumber);
        const QString where
            = QStringLiteral("(%1 OR W.ID = ?)").arg(data::containsCondition(QStringLiteral("W.Customer")));
        return jsonReply(200,
            { { QStringLiteral("jobs"),
                jobList(call.db, where, { data::containsPattern(text), isNumber && id > 0 ? id : -1 }, 50) } });
    }

    std::optional<QJsonObject> jobHeader(data::Connection &db, qint64 wip)
    {
        const QJsonArray found = jobList(db, QStringLiteral("W.ID = ?"), { wip }, 1);
        if (found.isEmpty())
            return std::nullopt;
        return found.first().toObject();
    }

    Reply job(Call &call)
    {
        const qint64 wip = call.ids.value(0);
        std::optional<QJsonObject> header = jobHeader(call.db, wip);
        if (!header)
            return messageReply(404, QStringLiteral("That job is not open (any more)."));
        drying::ensureOutsideRoom(call.db, wip);
        QJsonArray rooms;
        for (const drying::Room &room : drying::loadRooms(call.db, wip))
            rooms.append(QJsonObject { { QStringLiteral("id"), room.id }, { QStringLiteral("name"), room.name },
                { QStringLiteral("affected"), room.affected }, { QStringLiteral("outside"), room.outside } });
        header->insert(QStringLiteral("rooms"), rooms);
        return jsonReply(200, *header);
    }

    // ---- A room ----

    QJsonObject readingObject(const Call &call, const drying::AtmosphereReading &reading, drying::TemperatureUnit unit)
    {
        const std::optional<drying::Conditions> conditions
            = drying::conditions(reading.temperature, reading.humidity, unit);
        return QJsonObject { { QStringLiteral("id"), reading.id },
            { QStringLiteral("takenAt"), isoTime(reading.takenAt) },
            { QStringLiteral("temperature"), reading.temperature }, { QStringLiteral("humidity"), reading.humidity },
            { QStringLiteral("gpp"), conditions ? rounded(conditions->grainsPerPound) : QJsonValue() },
            { QStringLiteral("dewPoint"), conditions ? rounded(conditions->dewPoint) : QJsonValue() },
            { QStringLiteral("enteredBy"), reading.enteredBy },
            { QStringLiteral("editable"), ownToday(call, reading.enteredBy, reading.enteredDate) } };
    }

    Reply room(Call &call)
    {
        const qint64 roomId = call.ids.value(0);
        const qint64 wip = jobOfRoom(call, roomId);
        const drying::TemperatureUnit unit = companyUnit(call.db);
        const QDate today = call.now.date();

        QJsonObject roomObject;
        for (const drying::Room &room : drying::loadRooms(call.db, wip)) {
            if (room.id == roomId)
                roomObject = QJsonObject { { QStringLiteral("id"), room.id }, { QStringLiteral("name"), room.name },
                    { QStringLiteral("wip"), wip }, { QStringLiteral("outside"), room.outside } };
        }
        QJsonArray readings;
        for (const drying::AtmosphereReading &reading : drying::loadAtmosphere(call.db, roomId, unit)) {
            if (reading.takenAt.date() == today)
                readings.append(readingObject(call, reading, unit));
        }
        QJsonArray points;
        for (const QJsonObject &point :
            data::all(
                call.db.exec(QStringLiteral("SELECT P.ID, P.Material, P.Location, P.DryGoal, M.Value, M.EnteredBy, "
                                            "M.EnteredDate FROM MoisturePoint P LEFT JOIN MoistureReading M ON "
                                            "M.PointID = P.ID AND M.TakenAt = ? WHERE P.RoomID = ? ORDER BY P.ID"),
                    { today.startOfDay(), roomId }),
                [&](const data::Row &row) {
                    const bool read = !row.isNull("Value");
                    return QJsonObject {
                        { QStringLiteral("id"), row["ID"].toLongLong() },
                        { QStringLiteral("material"), row["Material"].toString() },
                        { QStringLiteral("location"), row["Location"].toString() },
                        { QStringLiteral("dryGoal"), row["DryGoal"].toDouble() },
                        { QStringLiteral("today"), read ? QJsonValue(row["Value"].toDouble()) : QJsonValue() },
                        { QStringLiteral("editable"),
                            !read || ownToday(call, row["EnteredBy"].toString(), data::dateTimeOf(row["EnteredDate"])) }
                    };
                }))
            points.append(point);
        QJsonArray photoList;
        for (const photos::FileEntry &file : photos::listFiles(call.db, photos::Owner { wip, roomId, 0 })) {
            if (file.kind != photos::Kind::Photo)
                continue;
            photoList.append(
                QJsonObject { { QStringLiteral("id"), file.id }, { QStringLiteral("caption"), file.caption },
                    { QStringLiteral("takenAt"), isoTime(file.takenAt) }, { QStringLiteral("addedBy"), file.addedBy },
                    { QStringLiteral("editable"), ownToday(call, file.addedBy, file.addedAt) } });
        }
        QJsonArray units;
        for (const equipment::Placement &placement : equipment::loadPlacements(call.db, wip)) {
            if (placement.roomId == roomId && placement.open())
                units.append(QJsonObject { { QStringLiteral("placement"), placement.id },
                    { QStringLiteral("assetNo"), placement.assetNo }, { QStringLiteral("type"), placement.type },
                    { QStringLiteral("placedAt"), isoTime(placement.placedAt) },
                    { QStringLiteral("version"), versionOut(placement.rowVersion) } });
        }
        QJsonArray shop;
        for (const equipment::Unit &unitInShop : equipment::unitsInShop(call.db))
            shop.append(QJsonObject { { QStringLiteral("id"), unitInShop.id },
                { QStringLiteral("assetNo"), unitInShop.assetNo }, { QStringLiteral("type"), unitInShop.type } });
        return jsonReply(200,
            { { QStringLiteral("room"), roomObject }, { QStringLiteral("today"), today.toString(Qt::ISODate) },
                { QStringLiteral("readings"), readings }, { QStringLiteral("points"), points },
                { QStringLiteral("photos"), photoList }, { QStringLiteral("units"), units },
                { QStringLiteral("shop"), shop } });
    }

    Reply conditions(Call &call)
    {
        bool okT = false;
        bool okH = false;
        const double temperature = call.request.query.value(QStringLiteral("temperature")).toDouble(&okT);
        const double humidity = call.request.query.value(QStringLiteral("humidity")).toDouble(&okH);
        if (!okT || !okH)
            throw BadInput { 400, QStringLiteral("Enter a number for the temperature and the humidity.") };
        const std::optional<drying::Conditions> found = drying::conditions(temperature, humidity, companyUnit(call.db));
        return jsonReply(200,
            { { QStringLiteral("gpp"), found ? rounded(found->grainsPerPound) : QJsonValue() },
                { QStringLiteral("dewPoint"), found ? rounded(found->dewPoint) : QJsonValue() } });
    }

    // ---- Atmosphere readings ----

    Reply addReading(Call &call)
    {
        const QJsonObject body = bodyObject(call.request);
        const QString entry = entryId(body.value(QStringLiteral("entry")).toString());
        drying::AtmosphereReading reading;
        reading.roomId = idValue(body.value(QStringLiteral("room")), QStringLiteral("room"));
        reading.temperature = number(body, QStringLiteral("temperature"));
        reading.humidity = number(body, QStringLiteral("humidity"));
        reading.takenAt = takenAt(body, call.now);
        jobOfRoom(call, reading.roomId);
        const drying::TemperatureUnit unit = unitOf(body, call.db);
        return storeOnce(
            call, entry, "reading", [&] { return drying::saveAtmosphere(call.db, reading, unit, stamp(call)); },
            [&](qint64) {
                const std::optional<drying::Conditions> found
                    = drying::conditions(reading.temperature, reading.humidity, unit);
                return QJsonObject { { QStringLiteral("gpp"), found ? rounded(found->grainsPerPound) : QJsonValue() },
                    { QStringLiteral("dewPoint"), found ? rounded(found->dewPoint) : QJsonValue() } };
            });
    }

    // The reading of the path, when it is this user's of today.
    drying::AtmosphereReading ownReading(Call &call, drying::TemperatureUnit unit)
    {
        const qint64 id = call.ids.value(0);
        const QVariant roomId
            = call.db.scalar(QStringLiteral("SELECT RoomID FROM DryingAtmosphere WHERE ID = ?"), { id });
        if (roomId.isValid()) {
            for (const drying::AtmosphereReading &reading :
                drying::loadAtmosphere(call.db, roomId.toLongLong(), unit)) {
                if (reading.id != id)
                    continue;
                if (!ownToday(call, reading.enteredBy, reading.enteredDate))
                    throw BadInput { 403,
                        QStringLiteral(
                            "Only your own readings of today can be changed here; older ones at the office.") };
                return reading;
            }
        }
        throw BadInput { 404, QStringLiteral("That reading is gone.") };
    }

    Reply correctReading(Call &call)
    {
        const QJsonObject body = bodyObject(call.request);
        const drying::TemperatureUnit unit = unitOf(body, call.db);
        drying::AtmosphereReading reading = ownReading(call, unit);
        reading.temperature = number(body, QStringLiteral("temperature"));
        reading.humidity = number(body, QStringLiteral("humidity"));
        const std::variant<qint64, FieldProblem> saved = drying::saveAtmosphere(call.db, reading, unit, stamp(call));
        if (const auto *problem = std::get_if<FieldProblem>(&saved))
            return messageReply(400, problem->text, problem->field);
        return jsonReply(200, readingObject(call, reading, unit));
    }

    Reply deleteReading(Call &call)
    {
        const drying::AtmosphereReading reading = ownReading(call, companyUnit(call.db));
        drying::deleteAtmosphere(call.db, reading.id);
        return noContent();
    }

    // ---- Moisture ----

    Reply addMoisture(Call &call)
    {
        const QJsonObject body = bodyObject(call.request);
        const QString entry = entryId(body.value(QStringLiteral("entry")).toString());
        const qint64 roomId = idValue(body.value(QStringLiteral("room")), QStringLiteral("room"));
        jobOfRoom(call, roomId);
        const QJsonArray values = body.value(QStringLiteral("values")).toArray();
        if (values.isEmpty() || values.size() > 200)
            throw BadInput { 400, QStringLiteral("Enter at least one value."), QStringLiteral("values") };
        struct Value
        {
            qint64 point;
            double value;
        };
        QList<Value> typed;
        for (const QJsonValue &value : values)
            typed << Value { idValue(value.toObject().value(QStringLiteral("point")), QStringLiteral("point")),
                number(value.toObject(), QStringLiteral("value")) };
        // The day the values were typed: a value typed offline before
        // midnight and sent after it belongs to the day it was read.
        const QDate day = takenAt(body, call.now).date();
        return storeOnce(call, entry, "moisture", [&]() -> std::variant<qint64, FieldProblem> {
            qint64 last = 0;
            for (const Value &value : std::as_const(typed)) {
                struct Today
                {
                    QVariant version;
                    QString enteredBy;
                    QDateTime enteredAt;
                };
                const QVariant pointRoom
                    = call.db.scalar(QStringLiteral("SELECT RoomID FROM MoisturePoint WHERE ID = ?"), { value.point });
                if (!pointRoom.isValid() || pointRoom.toLongLong() != roomId)
                    return drying::problem(
                        "point", QStringLiteral("That moisture point is not in this room (any more)."));
                const std::optional<Today> stored = data::one(
                    call.db.exec(QStringLiteral("SELECT RowVersion, EnteredBy, EnteredDate FROM MoistureReading "
                                                "WHERE PointID = ? AND TakenAt = ? ORDER BY ID"),
                        { value.point, day.startOfDay() }),
                    [&](const data::Row &row) {
                        return Today { row["RowVersion"], row["EnteredBy"].toString(),
                            data::dateTimeOf(row["EnteredDate"]) };
                    });
                if (stored && !ownToday(call, stored->enteredBy, stored->enteredAt))
                    return drying::problem("point",
                        QStringLiteral("%1 entered today's value of this point already; ask the office to change it.")
                            .arg(stored->enteredBy));
                const std::variant<qint64, FieldProblem> saved = drying::saveMoistureReading(
                    call.db, value.point, day, value.value, stored ? stored->version : QVariant(), stamp(call));
                if (std::holds_alternative<FieldProblem>(saved))
                    return saved;
                last = std::get<qint64>(saved);
            }
            return last;
        });
    }

    // ---- Photos ----

    Reply addPhoto(Call &call)
    {
        const Request &request = call.request;
        const QString entry = entryId(QString::fromUtf8(request.parts.value(QStringLiteral("entry")).content));
        bool ok = false;
        const qint64 roomId = QString::fromUtf8(request.parts.value(QStringLiteral("room")).content).toLongLong(&ok);
        if (!ok || roomId <= 0)
            throw BadInput { 400, QStringLiteral("room is not a valid ID."), QStringLiteral("room") };
        const QString caption = QString::fromUtf8(request.parts.value(QStringLiteral("caption")).content).trimmed();
        if (caption.size() > photos::kCaptionWidth)
            throw BadInput { 400,
                QStringLiteral("The caption is longer than %1 characters.").arg(photos::kCaptionWidth),
                QStringLiteral("caption") };
        const Request::Part file = request.parts.value(QStringLiteral("file"));
        if (file.content.isEmpty())
            throw BadInput { 400, QStringLiteral("Choose a photo first."), QStringLiteral("file") };
        const qint64 wip = jobOfRoom(call, roomId);
        if (const std::optional<qint64> id = storedEntry(call.db, entry))
            return alreadyStored(*id);
        const QString name = QFileInfo(file.fileName).fileName().left(200);
        const std::variant<photos::PreparedFile, QString> prepared
            = photos::prepareBytes(name.isEmpty() ? QStringLiteral("photo.jpg") : name, file.content, call.now);
        if (const auto *refusal = std::get_if<QString>(&prepared))
            throw BadInput { 400, *refusal, QStringLiteral("file") };
        const photos::PreparedFile &photo = std::get<photos::PreparedFile>(prepared);
        if (photo.kind != photos::Kind::Photo)
            throw BadInput { 400, QStringLiteral("Only photos can be added here."), QStringLiteral("file") };
        return storeOnce(call, entry, "photo", [&]() -> std::variant<qint64, FieldProblem> {
            const qint64 id = photos::storeFile(call.db, photos::Owner { wip, roomId, 0 }, photo, stamp(call));
            if (!caption.isEmpty()) {
                const std::optional<photos::FileEntry> stored = photos::loadEntry(call.db, id);
                const auto captioned
                    = photos::setCaption(call.db, id, caption, QString(), stored ? stored->rowVersion : QVariant());
                if (const auto *problem = std::get_if<FieldProblem>(&captioned))
                    return *problem;
            }
            return id;
        });
    }

    Reply thumbnail(Call &call)
    {
        const std::optional<photos::FileEntry> file = photos::loadEntry(call.db, call.ids.value(0));
        if (!file || file->thumbnail.isEmpty())
            return messageReply(404, QStringLiteral("That photo is gone."));
        Reply reply;
        reply.contentType = "image/jpeg";
        reply.body = file->thumbnail;
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("private, max-age=86400"));
        return reply;
    }

    Reply deletePhoto(Call &call)
    {
        const std::optional<photos::FileEntry> file = photos::loadEntry(call.db, call.ids.value(0));
        if (!file)
            return noContent();
        if (!ownToday(call, file->addedBy, file->addedAt))
            throw BadInput { 403,
                QStringLiteral("Only your own photos of today can be deleted here; older ones at the office.") };
        photos::deleteFile(call.db, file->id);
        return noContent();
    }

    // ---- Equipment ----

    Reply placeUnit(Call &call)
    {
        const QJsonObject body = bodyObject(call.request);
        const QString entry = entryId(body.value(QStringLiteral("entry")).toString());
        const qint64 roomId = idValue(body.value(QStringLiteral("room")), QStringLiteral("room"));
        const qint64 unit = idValue(body.value(QStringLiteral("unit")), QStringLiteral("unit"));
        jobOfRoom(call, roomId);
        const QDateTime at = takenAt(body, call.now);
        return storeOnce(call, entry, "placement", [&] { return equipment::place(call.db, unit, roomId, at); });
    }

    Reply removeUnit(Call &call)
    {
        const QJsonObject body = bodyObject(call.request);
        const QString entry = entryId(body.value(QStringLiteral("entry")).toString());
        const qint64 placement = call.ids.value(0);
        const QVariant version = versionIn(body.value(QStringLiteral("version")));
        const QDateTime at = takenAt(body, call.now);
        return storeOnce(call, entry, "removal", [&]() -> std::variant<qint64, FieldProblem> {
            if (!call.db.scalar(QStringLiteral("SELECT ID FROM EquipmentPlacement WHERE ID = ?"), { placement })
                     .isValid())
                return equipment::problem("RemovedAt", QStringLiteral("That unit's placement is gone."));
            if (const std::optional<FieldProblem> problem = equipment::removeUnit(call.db, placement, version, at))
                return *problem;
            return placement;
        });
    }

    // ---- Routing ----

    using Handler = Reply (*)(Call &);

    struct Route
    {
        const char *method;
        // Segments; "#" takes an ID.
        const char *pattern;
        Handler handler;
    };

    const Route kRoutes[] = {
        { "GET", "/api/jobs", &jobs },
        { "GET", "/api/find", &find },
        { "GET", "/api/jobs/#", &job },
        { "GET", "/api/rooms/#", &room },
        { "GET", "/api/conditions", &conditions },
        { "GET", "/api/photos/#/thumbnail", &thumbnail },
        { "POST", "/api/readings", &addReading },
        { "PUT", "/api/readings/#", &correctReading },
        { "DELETE", "/api/readings/#", &deleteReading },
        { "POST", "/api/moisture", &addMoisture },
        { "POST", "/api/photos", &addPhoto },
        { "DELETE", "/api/photos/#", &deletePhoto },
        { "POST", "/api/placements", &placeUnit },
        { "POST", "/api/placements/#/remove", &removeUnit },
    };

    // The route of the request and the IDs in its path.
    const Route *match(const Request &request, QList<qint64> &ids)
    {
        const QStringList segments = request.path.split(QLatin1Char('/'));
        bool pathFound = false;
        for (const Route &route : kRoutes) {
            const QStringList pattern = QString::fromLatin1(route.pattern).split(QLatin1Char('/'));
            if (pattern.size() != segments.size())
                continue;
            QList<qint64> found;
            bool same = true;
            for (qsizetype i = 0; i < pattern.size() && same; ++i) {
                if (pattern.at(i) == QLatin1String("#")) {
                    bool ok = false;
                    const qint64 id = segments.at(i).toLongLong(&ok);
                    same = ok && id > 0 && segments.at(i).size() <= 18 && segments.at(i).at(0).isDigit();
                    found << id;
                } else {
                    same = pattern.at(i) == segments.at(i);
                }
            }
            if (!same)
                continue;
            pathFound = true;
            if (request.method == route.method) {
                ids = found;
                return &route;
            }
        }
        ids.clear();
        if (pathFound)
            ids << -1; // the path is known, the method not
        return nullptr;
    }

    bool changes(const QByteArray &method)
    {
        return method != "GET" && method != "HEAD";
    }

    Reply signIn(data::Connection &db, const Request &request)
    {
        const QJsonObject body = bodyObject(request);
        const QString username = text(body, QStringLiteral("username"), 100).trimmed();
        const QString password = text(body, QStringLiteral("password"), 200);
        if (username.isEmpty() || password.isEmpty())
            return messageReply(400, QStringLiteral("Enter your user name and password."));
        Login::Throttle throttle(db);
        const QDateTime now = Clock::now();
        const qint64 wait = throttle.waitLeft(username, now);
        if (wait > 0) {
            const qint64 seconds = (wait + 999) / 1000;
            QJsonObject object {
                { QStringLiteral("message"),
                    QStringLiteral("Too many failed sign-ins. Try again in %1 seconds.").arg(seconds) },
                { QStringLiteral("retryAfter"), seconds }
            };
            Reply reply = jsonReply(429, object);
            reply.headers << qMakePair(QByteArray("Retry-After"), QByteArray::number(seconds));
            return reply;
        }
        // A password check holds 64 MiB for a moment (Argon2id): a crew
        // signing in at once takes turns two by two rather than take the
        // server's memory up by a worker's worth each.
        static std::counting_semaphore<2> checks(2);
        std::optional<Login::User> user;
        {
            checks.acquire();
            struct Turn
            {
                ~Turn() { checks.release(); }
            } const turn;
            user = Login::authenticate(db, username, password);
        }
        if (!user) {
            throttle.failed(username);
            return messageReply(401, QStringLiteral("Your username and/or password is invalid."));
        }
        throttle.succeeded(username);
        const Login::Rights rights = Login::currentRights(db, user->id, Permissions::fieldEntry);
        if (!rights.canWork() || !rights.held)
            return messageReply(403, QStringLiteral("You do not have permission to enter readings in the field."));
        const sessions::Started started = sessions::start(db, user->id, now);
        Reply reply = jsonReply(200, sessionObject(user->username, started.csrf, companyUnit(db)));
        reply.headers << qMakePair(
            QByteArray("Set-Cookie"), sessionCookie(started.token, sessions::kLongestSeconds, request.secure));
        return reply;
    }

    Reply signedOut()
    {
        Reply reply = messageReply(401, QStringLiteral("Please sign in."));
        reply.headers << qMakePair(QByteArray("Set-Cookie"), sessionCookie(QByteArray(), 0, false));
        return reply;
    }

    Reply api(data::Connection &db, const Request &request)
    {
        if (request.path == QLatin1String("/api/sign-in")) {
            if (request.method != "POST")
                return messageReply(405, QStringLiteral("Sign in with POST."));
            if (!sameOrigin(request))
                return messageReply(403, QStringLiteral("This request did not come from the field page."));
            return signIn(db, request);
        }
        const QDateTime now = Clock::now();
        const QByteArray token = cookieToken(request);
        const std::optional<sessions::Session> session = sessions::find(db, token, now);
        if (!session)
            return signedOut();
        if (changes(request.method)
            && (!sameOrigin(request) || !sessions::sameSecret(request.headers.value("x-csrf-token"), session->csrf)))
            return messageReply(403, QStringLiteral("This request did not come from the field page."));
        // The employee as the database has them now: made inactive or
        // without the permission since the sign-in, they are out at once.
        const Login::Rights rights = Login::currentRights(db, session->employeeId, Permissions::fieldEntry);
        if (!rights.canWork()) {
            sessions::end(db, session->id);
            return signedOut();
        }
        if (!rights.held)
            return messageReply(403, QStringLiteral("You do not have permission to enter readings in the field."));
        if (request.path == QLatin1String("/api/session") && request.method == "GET")
            return jsonReply(200, sessionObject(rights.username, session->csrf, companyUnit(db)));
        if (request.path == QLatin1String("/api/sign-out") && request.method == "POST") {
            sessions::end(db, session->id);
            Reply reply = noContent();
            reply.headers << qMakePair(QByteArray("Set-Cookie"), sessionCookie(QByteArray(), 0, request.secure));
            return reply;
        }
        QList<qint64> ids;
        const Route *route = match(request, ids);
        if (!route)
            return ids.isEmpty() ? messageReply(404, QStringLiteral("There is no such request."))
                                 : messageReply(405, QStringLiteral("That request does not take this method."));
        Call call { db, request, ids, *session, rights.username, now };
        return route->handler(call);
    }

} // namespace

qint64 bodyLimit(const QByteArray &method, const QString &path)
{
    return method == "POST" && path == QLatin1String("/api/photos") ? kMaxPhotoBody : kMaxBody;
}

QList<QPair<QByteArray, QByteArray>> securityHeaders()
{
    return {
        { "Content-Security-Policy",
            "default-src 'self'; img-src 'self' blob: data:; script-src 'self'; style-src 'self'; "
            "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'; object-src 'none'" },
        { "X-Content-Type-Options", "nosniff" },
        { "Referrer-Policy", "no-referrer" },
        { "X-Frame-Options", "DENY" },
    };
}

Reply handle(data::Connection &db, const Request &request)
{
    try {
        if (!request.path.startsWith(QLatin1String("/api/"))) {
            if (request.method != "GET" && request.method != "HEAD")
                return messageReply(405, QStringLiteral("That request does not take this method."));
            return pageFile(request.path);
        }
        if (request.body.size() > bodyLimit(request.method, request.path))
            return messageReply(413, QStringLiteral("The request is too large."));
        Reply reply = api(db, request);
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("no-store"));
        return reply;
    } catch (const BadInput &bad) {
        return messageReply(bad.status, bad.message, bad.field);
    } catch (const data::ConnectionLostError &e) {
        qWarning("The field server lost the database: %s", e.what());
        return messageReply(503,
            QStringLiteral("The office database cannot be reached just now. Your entry is kept on this phone and "
                           "sent when it is back."));
    } catch (const data::ChangedByOtherError &e) {
        return messageReply(409, QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        qWarning("A field request failed: %s", e.what());
        // SQLite's file busy beyond the wait, or the server refusing: the
        // phone keeps the entry and tries again.
        return messageReply(503,
            QStringLiteral("The entry could not be stored just now. It is kept on this phone and sent again later."));
    }
}

} // namespace field
