#pragma once

#include <QList>
#include <QStringList>

namespace data {
class Connection;
}

namespace wip {

// Everything the entry screen's drop-down lists show, read in one go.
struct WipLists
{
    // The picker: "Customer - ID" and, at the same index, the ID.
    QStringList wipLabels;
    QStringList wipIds;
    // Pick lists of the lookup tables.
    QStringList statuses;
    QStringList states;
    QStringList jobTypes;
    QStringList software;
    QStringList payments;
    QStringList typesOfService;
    // Values already used in the free-text fields; an empty value comes first
    // (once) when some row has the field empty.
    QStringList customers;
    QStringList reps;
    QStringList insurances;
    QStringList agents;
    QStringList adjusters;
    QStringList adjustersUpdated;
    QStringList subcontractors;
};

// Reads every list. Throws data::DbError.
WipLists loadWipLists(data::Connection &db);

// The picker's text for a WIP: customer, " - ", ID.
QString pickerLabel(const QString &customer, qint64 id);

} // namespace wip
