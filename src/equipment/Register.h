#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace data {
class Connection;
}

// The register of units as the equipment screen lists it: every unit with
// where it stands and since when.
namespace equipment {

struct UnitStanding
{
    qint64 id = 0;
    QString assetNo {};
    QString type {};
    // "On job 12 (Smith), room Kitchen", "In the shop" or "Retired".
    QString where {};
    // Placed where it stands, or back in the shop; invalid for a unit never
    // placed, and for a retired one.
    QDateTime since {};
    // The equipment-days of the placement it stands in, or the whole days
    // it has been back in the shop; 0 without a time since.
    int days = 0;
};

// Every unit by asset number, read in one statement.
QList<UnitStanding> loadRegister(data::Connection &db, const QDateTime &now);

} // namespace equipment
