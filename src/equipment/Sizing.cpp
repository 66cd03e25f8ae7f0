#include "equipment/Sizing.h"

#include "data/Database.h"
#include "data/RowMap.h"
#include "equipment/Equipment.h"

#include <cmath>

namespace equipment {

namespace {

    const ProblemTitle sizeProblem { QStringLiteral("Room Size") };

    // ⌈value⌉ for a quotient of feet, forgiving the last bit of a
    // floating-point division (140 / 70 is 2, not 3).
    int ceiling(double value)
    {
        return value <= 0 ? 0 : static_cast<int>(std::ceil(value - 1e-9));
    }

    double floorArea(const RoomSize &size)
    {
        return size.length * size.width;
    }

    // The wet wall's area above 2 ft, the part the air movers add for.
    double wetWallAbove2Ft(const RoomSize &size)
    {
        return 2 * (size.length + size.width) * std::max(0.0, size.wetWallHeight - 2);
    }

} // namespace

RoomSize loadSize(data::Connection &db, qint64 roomId)
{
    const std::optional<RoomSize> size
        = data::one(db.exec(QStringLiteral("SELECT ID, RoomID, Length, Width, Height, WetWallHeight, WaterClass, "
                                           "RowVersion FROM RoomSizing WHERE RoomID = ? ORDER BY ID"),
                        { roomId }),
            [roomId](const data::Row &r) {
                return RoomSize { r["ID"].toLongLong(), roomId, r["Length"].toDouble(), r["Width"].toDouble(),
                    r["Height"].toDouble(), r["WetWallHeight"].toDouble(), r["WaterClass"].toInt(), r["RowVersion"],
                    r.read({ "RoomID", "Length", "Width", "Height", "WetWallHeight", "WaterClass" }) };
            });
    return size.value_or(RoomSize { 0, roomId });
}

std::optional<FieldProblem> validate(const RoomSize &size)
{
    const std::pair<const char *, double> lengths[] = { { "Length", size.length }, { "Width", size.width },
        { "Height", size.height }, { "WetWallHeight", size.wetWallHeight } };
    for (const auto &[field, value] : lengths) {
        if (!std::isfinite(value) || value < 0 || value > 10000)
            return sizeProblem(field, QStringLiteral("Enter the room's sizes in feet, 0 to 10,000."));
    }
    if (size.wetWallHeight > size.height && size.height > 0)
        return sizeProblem("WetWallHeight", QStringLiteral("The walls cannot be wet higher than the room."));
    if (size.waterClass < 0 || size.waterClass > 4)
        return sizeProblem("WaterClass", QStringLiteral("The class of water is 1 to 4."));
    return std::nullopt;
}

std::variant<qint64, FieldProblem> saveSize(data::Connection &db, const RoomSize &size)
{
    if (auto bad = validate(size))
        return *bad;
    const data::Fields fields = {
        { QStringLiteral("RoomID"), size.roomId },
        { QStringLiteral("Length"), size.length },
        { QStringLiteral("Width"), size.width },
        { QStringLiteral("Height"), size.height },
        { QStringLiteral("WetWallHeight"), size.wetWallHeight },
        { QStringLiteral("WaterClass"), size.waterClass },
    };
    data::Transaction transaction(db);
    // A room's first size saved by someone else meanwhile makes this one a
    // change of theirs.
    qint64 id = size.id;
    if (id == 0) {
        const QVariant existing
            = db.scalar(QStringLiteral("SELECT MIN(ID) FROM RoomSizing WHERE RoomID = ?"), { size.roomId });
        if (existing.isValid() && !existing.isNull())
            throw data::ChangedByOtherError(QStringLiteral("The room's size"), QString(), QString());
    }
    id = db.saveRow(
        QStringLiteral("RoomSizing"), id, fields, size.loaded, size.rowVersion, QStringLiteral("Room size"));
    transaction.commit();
    return id;
}

AirMoverRange airMovers(const RoomSize &size)
{
    const double floor = floorArea(size);
    if (floor <= 0)
        return {};
    const double wall = wetWallAbove2Ft(size);
    return { 1 + ceiling(floor / 70) + ceiling(wall / 150), 1 + ceiling(floor / 50) + ceiling(wall / 100) };
}

double cubicFeet(const RoomSize &size)
{
    return size.length * size.width * size.height;
}

QList<DehuFactor> loadFactors(data::Connection &db)
{
    data::Rows q = db.exec(QStringLiteral("SELECT DehuKind, WaterClass, Factor FROM DehuFactor ORDER BY ID"));
    QList<DehuFactor> factors;
    while (q.next()) {
        DehuFactor f { q.value(0).toString(), q.value(1).toInt(), std::nullopt };
        if (!q.isNull(2) && q.value(2).toDouble() > 0)
            f.factor = q.value(2).toDouble();
        factors << f;
    }
    return factors;
}

std::optional<double> factorOf(const QList<DehuFactor> &factors, const QString &kind, int waterClass)
{
    for (const DehuFactor &f : factors) {
        if (f.waterClass == waterClass && f.kind.compare(kind, Qt::CaseInsensitive) == 0)
            return f.factor;
    }
    return std::nullopt;
}

std::optional<double> pintsPerDay(const RoomSize &size, const QList<DehuFactor> &factors, const QString &kind)
{
    const std::optional<double> factor = factorOf(factors, kind, size.waterClass);
    if (!factor || cubicFeet(size) <= 0)
        return std::nullopt;
    return cubicFeet(size) / *factor;
}

std::optional<double> desiccantCfm(const RoomSize &size, const QList<DehuFactor> &factors)
{
    const std::optional<double> changes = factorOf(factors, desiccant(), size.waterClass);
    if (!changes || cubicFeet(size) <= 0)
        return std::nullopt;
    return cubicFeet(size) * *changes / 60;
}

QString airMoverText(const RoomSize &size, int placed)
{
    const AirMoverRange range = airMovers(size);
    if (range.least == 0)
        return QStringLiteral("Air movers: enter the room's size; %1 placed").arg(placed);
    const QString needed = range.least == range.most ? QString::number(range.least)
                                                     : QStringLiteral("%1-%2").arg(range.least).arg(range.most);
    return QStringLiteral("Air movers: %1 needed, %2 placed").arg(needed).arg(placed);
}

QString pintsText(const RoomSize &size, const QList<DehuFactor> &factors, double placedPints)
{
    const QString placed = QString::number(placedPints, 'f', 1);
    if (cubicFeet(size) <= 0 || size.waterClass == 0)
        return QStringLiteral("Dehumidification: enter the room's size and class; %1 pints/day placed").arg(placed);
    QStringList needs;
    for (const QString &kind : dehuKinds()) {
        if (kind == desiccant()) {
            if (const auto cfm = desiccantCfm(size, factors))
                needs << QStringLiteral("%1 CFM desiccant").arg(std::ceil(*cfm));
        } else if (const auto pints = pintsPerDay(size, factors, kind)) {
            // "conventional", but "LGR" stays in capitals.
            const QString name = kind == dehuKinds().constFirst() ? kind.toLower() : kind;
            needs << QStringLiteral("%1 pints/day %2").arg(QString::number(*pints, 'f', 1), name);
        }
    }
    return QStringLiteral("Dehumidification: %1; %2 pints/day placed")
        .arg(needs.isEmpty() ? QStringLiteral("no factor for the class") : needs.join(QStringLiteral(" or ")), placed);
}

} // namespace equipment
