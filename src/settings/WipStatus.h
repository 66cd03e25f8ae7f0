#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <variant>

namespace data {
class Connection;
}

// The job statuses and their board colours, as the status screen edits them.
namespace WipStatus {

inline constexpr int kNameLength = 250;

// One status: its ID, name and ColorCode as stored (a NULL reads as empty).
struct Status
{
    qint64 id = 0; // 0: not saved yet
    QString name;
    QString colorCode;
    // The row's version and its saved columns as read: a save writes what
    // the user changed, refused only where someone else changed the same.
    QVariant rowVersion {};
    data::Fields loaded {};
    // "Alert after days in this status" as typed: a whole number of days,
    // empty for no alert (AlertDays NULL).
    QString alertDays {};
};

// The most days an alert may wait.
inline constexpr int kMaxAlertDays = 9999;

// Every status as (ID, name), ordered by name. Throws data::DbError.
QList<Status> loadList(data::Connection &db);
// Nothing when no row has that ID. Throws data::DbError.
std::optional<Status> load(data::Connection &db, qint64 id);

// The swatch colour of a stored code (0x00BBGGRR, or a system colour): white
// for an empty or unreadable code.
quint32 swatchColor(const QString &colorCode);

// Saves the status: a new row when status.id is 0, else that row. The name is
// stored trimmed. Refused, writing nothing, when the trimmed name is empty,
// longer than its column, or another status already has it (in any letter
// case: the board matches jobs to statuses by name), or when the alert days
// are not a whole number from 0 to kMaxAlertDays. Of an existing row
// only what changed is written, refused with data::ChangedByOtherError when
// someone else changed the same since it was read. Returns the row's ID. Throws data::DbError
// (also when the row of an existing status is gone).
std::variant<qint64, FieldProblem> save(data::Connection &db, const Status &status);

} // namespace WipStatus
