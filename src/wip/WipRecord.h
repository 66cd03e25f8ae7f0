#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace wip {

// Widths of the WIP text columns; the screen's boxes take no more.
inline constexpr int kTextLength = 250;
inline constexpr int kLongTextLength = 255; // HowHear, Notes
inline constexpr int kNumberLength = 20; // Rugs, CarpetCleanRooms as typed

// One WIP row as the entry screen edits it. Text fields are never null:
// NULLs read as empty text, 0 or false.
struct WipRecord
{
    qint64 id = 0; // 0: not saved yet

    QString customer;
    QString address;
    QString city;
    QString state;
    QString zip;
    QString phone;
    QString jobType;
    QString status;
    QString rep;
    QDate startDate;
    bool checkDryingDays = false;
    double dryingDays = 0;
    QString insurance;
    QString agent;
    QString adjuster;
    QString paperwork;
    QString initialScope;
    QString software;
    QString typeOfPayment;
    double rugs = 0;
    bool rugsCleaned = false;
    bool itel = false;
    QDate itelDate;
    QDate adjusterUpdatedDate;
    QString adjusterUpdatedBy;
    double carpetCleanRooms = 0;
    QString howHear;
    QString timeOfService;
    QString typeOfService;
    bool estimateComplete = false;
    bool billed = false;
    bool cos = false;
    bool moveOut = false;
    bool cleanHVAC = false;
    bool contentsCleaned = false;
    bool photos = false;
    QString notes;

    // Written by the QuickBooks sync; shown, never saved from the screen.
    double amountBilled = 0;
    QString invoiceId;
    QString qbid;
    // Stamps as stored (null when never set).
    QVariant enteredBy;
    QVariant enteredDate;
    QVariant editedBy;
    QVariant editedDate;
    // The row's version as read, and its saved columns as read: a save
    // writes what the user changed, refused only where someone else changed
    // the same since.
    QVariant rowVersion;
    data::Fields loaded;

    // Derived by the load query.
    double totalTime = 0; // hours booked against the WIP
    QString colorCode; // the status colour, "&H80000005" without one
};

// The checks before a save: a customer, a job type and a status, then every
// text no longer than its column. The first field at fault, or nothing.
std::optional<FieldProblem> validate(const WipRecord &record);

// Reads one WIP with its booked hours and status colour (one query).
// Nothing when no row has that ID. Throws data::DbError.
std::optional<WipRecord> loadWip(data::Connection &db, qint64 id);

// The WIP's subcontractors, sorted by name. Throws data::DbError.
QStringList loadContractors(data::Connection &db, qint64 wipId);

// Saves the record: a new row when record.id is 0, else the fields of that
// row the user changed (data::Connection::updateRowAtVersion). Stamps
// Entered (new rows) and Edited with the stamp's user and time; a new row
// starts uninvoiced, an existing one keeps its invoice fields. The WIP's
// subcontractor rows are written from `contractors` in the same
// transaction, so a failure leaves the database as it was. For an existing
// row, `loadedContractors` are the subcontractors as read with it: they are
// written only when `contractors` differ, refused when someone else
// changed them meanwhile (always written when not given). Only the names
// that go are deleted and those that come inserted, so that the job's
// history names those alone.
// A change by anyone else in between to what this save changes throws
// data::ChangedByOtherError (naming the fields, who and when) and writes
// nothing. Returns the row's ID. Throws data::DbError (also when the row of
// an existing WIP is gone).
qint64 saveWip(data::Connection &db, const WipRecord &record, const QStringList &contractors, const data::Stamp &stamp,
    const std::optional<QStringList> &loadedContractors = std::nullopt);

} // namespace wip
