#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <variant>

namespace data {
class Connection;
}

namespace equipment {

// What a day of one equipment type is billed at: the QuickBooks item the
// invoice line names and the daily rate (the EquipmentRate table).
struct Rate
{
    qint64 id = 0; // 0: no row stored for the type yet
    QString type {};
    QString qbItemName {};
    double dailyRate = 0;
    QVariant rowVersion {};
    data::Fields loaded {}; // the saved columns as read: a save writes what changed
};

// One rate per type, in register order; a type without a stored row has no
// item and a rate of 0. Throws data::DbError.
QList<Rate> loadRates(data::Connection &db);
// A listed type, an item name within its width ("QBItemName") and a rate
// of 0 or more ("DailyRate").
std::optional<FieldProblem> validate(const Rate &rate);
// The rate as the settings' table shows it: the item and the daily rate as
// typed (an empty rate is 0). A rate that is no number, or a refused one
// (validate()), comes back as its FieldProblem.
std::variant<Rate, FieldProblem> fromTexts(Rate rate, const QString &item, const QString &dailyRate);
// The daily rate as its box shows it: plain decimal text, empty for 0.
QString rateText(const Rate &rate);
// Saves every rate in one transaction (adds the new ones, updates the others
// while unchanged since read, else data::ChangedByOtherError); with a
// refused rate nothing is written.
std::optional<FieldProblem> saveRates(data::Connection &db, const QList<Rate> &rates);

// An invoice line of a job's equipment: the type's equipment-days at its
// rate.
struct BillLine
{
    QString type;
    QString qbItemName;
    int days = 0;
    double dailyRate = 0;
};

// The job's equipment-days per type (a unit moved between rooms counted
// once, open placements up to `now`), one line per type that has any, in
// register order. Throws data::DbError.
QList<BillLine> billLines(data::Connection &db, qint64 wipId, const QDateTime &now);

} // namespace equipment
