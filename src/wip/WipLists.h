#pragma once

#include "wip/WipRecord.h"

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

// One save of a job: the record and subcontractors as loaded (an ID of 0
// for a new job) and as saved (with the ID the save gave it).
struct SavedWip
{
    WipRecord before;
    WipRecord after;
    QStringList contractorsBefore;
    QStringList contractorsAfter;
};

// A list of WipLists, named by its member.
using WipList = QStringList WipLists::*;

// Brings lists read by loadWipLists up to date after one save, reading only
// what the save can have changed: the picker's entry for the job, and the
// values of the free-text fields and subcontractors that it took away or
// brought. Each list ends as a fresh read would leave it when nobody else
// wrote meanwhile. Returns the lists that changed. Throws data::DbError.
QList<WipList> updateWipLists(data::Connection &db, WipLists &lists, const SavedWip &save);

// The picker's text for a WIP: customer, " - ", ID.
QString pickerLabel(const QString &customer, qint64 id);

} // namespace wip
