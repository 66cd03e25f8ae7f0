#include "equipment/Rates.h"

#include "base/Formats.h"
#include "base/Numbers.h"
#include "data/Database.h"
#include "data/RowMap.h"
#include "data/TextWidths.h"
#include "equipment/Equipment.h"

#include <QHash>
#include <cmath>

namespace equipment {

namespace {

    const ProblemTitle rateProblem { QStringLiteral("Equipment rates") };

} // namespace

QList<Rate> loadRates(data::Connection &db)
{
    QHash<QString, Rate> stored;
    for (Rate &rate :
        data::all(db.exec(QStringLiteral(
                      "SELECT ID, EquipType, QBItemName, DailyRate, RowVersion FROM EquipmentRate ORDER BY ID")),
            [](const data::Row &r) {
                return Rate { r["ID"].toLongLong(), r["EquipType"].toString(), r["QBItemName"].toString(),
                    r.isNull("DailyRate") ? 0.0 : r["DailyRate"].toDouble(), r["RowVersion"],
                    r.read({ "EquipType", "QBItemName", "DailyRate" }) };
            })) {
        if (!stored.contains(rate.type)) // the first row of a type is the one billed
            stored.insert(rate.type, rate);
    }
    QList<Rate> rates;
    for (const QString &type : types())
        rates << stored.value(type, Rate { 0, type, {}, 0, {} });
    return rates;
}

std::optional<FieldProblem> validate(const Rate &rate)
{
    if (!types().contains(rate.type))
        return rateProblem("EquipType", QStringLiteral("\"%1\" is not an equipment type.").arg(rate.type));
    if (auto bad = data::tooLong(
            QStringLiteral("EquipmentRate"), { { QStringLiteral("QBItemName"), rate.qbItemName.trimmed() } }))
        return bad;
    if (!std::isfinite(rate.dailyRate) || rate.dailyRate < 0)
        return rateProblem("DailyRate", QStringLiteral("Enter the daily rate of %1, 0 or more.").arg(rate.type));
    return std::nullopt;
}

std::variant<Rate, FieldProblem> fromTexts(Rate rate, const QString &item, const QString &dailyRate)
{
    const std::variant<double, FieldProblem> typed
        = typedNumber(dailyRate, QStringLiteral("DailyRate"), QStringLiteral("daily rate of %1").arg(rate.type), 0.0);
    if (const auto *bad = std::get_if<FieldProblem>(&typed))
        return *bad;
    rate.qbItemName = item;
    rate.dailyRate = std::get<double>(typed);
    if (auto bad = validate(rate))
        return *bad;
    return rate;
}

QString rateText(const Rate &rate)
{
    return rate.dailyRate == 0 ? QString() : Formats::plainNumber(rate.dailyRate);
}

std::optional<FieldProblem> saveRates(data::Connection &db, const QList<Rate> &rates)
{
    for (const Rate &rate : rates)
        if (auto bad = validate(rate))
            return bad;
    data::Transaction transaction(db);
    for (const Rate &rate : rates) {
        const data::Fields fields
            = { { QStringLiteral("EquipType"), rate.type }, { QStringLiteral("QBItemName"), rate.qbItemName.trimmed() },
                  { QStringLiteral("DailyRate"), rate.dailyRate } };
        db.saveRow(QStringLiteral("EquipmentRate"), rate.id, fields, rate.loaded, rate.rowVersion,
            QStringLiteral("The rate of %1").arg(rate.type));
    }
    transaction.commit();
    return std::nullopt;
}

QList<BillLine> billLines(data::Connection &db, qint64 wipId, const QDateTime &now)
{
    const QMap<QString, int> days = daysByType(loadPlacements(db, wipId), now);
    QList<BillLine> lines;
    for (const Rate &rate : loadRates(db)) {
        if (days.value(rate.type) > 0)
            lines << BillLine { rate.type, rate.qbItemName, days.value(rate.type), rate.dailyRate };
    }
    return lines;
}

} // namespace equipment
