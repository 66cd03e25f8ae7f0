#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace staff {

// The notes column's width; the notes box takes no more.
inline constexpr int kNotesLength = 255;
// The most hours one booking may carry: a day.
inline constexpr double kMaxHours = 24;

// One EmployeeTime row as the time entry screen edits it.
struct TimeRecord
{
    qint64 id = 0; // 0: not saved yet
    qint64 employeeId = 0; // 0: none chosen
    qint64 wipId = 0; // 0: none chosen
    QDateTime tranDate; // the day worked, with the time of day it was booked at
    double hours = 0;
    QString notes;
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

    // Read with the row, for the lists that no longer hold its choices.
    QString wipLabel; // customer, " - ", ID; empty when the job is gone
    QString employeeLabel; // last name, ", ", first name
};

// An entry of a pick list and its row's ID.
struct Choice
{
    QString label;
    qint64 id = 0;
};

// The jobs that take bookings: every job not "Closed", by customer and ID,
// labelled customer, " - ", ID. Throws data::DbError.
QList<Choice> openJobs(data::Connection &db);

// The employees the time screens offer: every active one for a holder of
// "Employee Time Manager" (`everyone`), else only `userId` when active. By
// last, first and middle name and ID, labelled last name, ", ", first name.
// Throws data::DbError.
QList<Choice> listedEmployees(data::Connection &db, bool everyone, qint64 userId);

// One booking with its job's and employee's labels; nothing when no row has
// that ID. Throws data::DbError.
std::optional<TimeRecord> loadTime(data::Connection &db, qint64 id);

// Saves the booking: a new row when record.id is 0, else the fields of that
// row the user changed, in one transaction. Entered (new rows) and Edited
// are stamped with the stamp's user and its day without the time of day. A
// change by anyone else since the booking was read to what this save
// changes throws data::ChangedByOtherError (naming the fields, who and when)
// and writes nothing. Returns the row's ID. Throws
// data::DbError, also when an existing row is gone.
qint64 saveTime(data::Connection &db, const TimeRecord &record, const data::Stamp &stamp);

// Deletes the booking, in one transaction. A row already gone is no error.
// Throws data::DbError.
void deleteTime(data::Connection &db, qint64 id);

// ---- hours as the user types and sees them

// The hours of a text in the locale's form (sign, decimal separator and
// digit grouping allowed), to the two places the box shows; nothing for an
// empty, non-numeric or non-finite text.
std::optional<double> parseHours(const QString &text, const QLocale &locale = QLocale());
// "#,##0.00" in the locale's separators: 7.5 is "7.50".
QString formatHours(double hours, const QLocale &locale = QLocale());

// The checks before a save of `loaded` (the booking as read, or the new
// one), in order: an employee, a job and hours given (field "EmployeeID",
// "WIPID" or "Hours", the required-information message); hours numeric;
// hours from 0 to kMaxHours, unless they are still the loaded booking's as
// the box shows them: a stored correction of -2 h from before this check
// must not stop a save of the note. Nothing when it may be saved.
std::optional<FieldProblem> checkEntry(const TimeRecord &loaded, bool hasEmployee, bool hasJob,
    const QString &hoursText, const QLocale &locale = QLocale());

// The check of the record's texts: notes no longer than their column.
std::optional<FieldProblem> checkTexts(const TimeRecord &record);

// ---- how the time lists show a booking

// A date as its general text: the short date, with the time of day when it
// has one; empty for a null value.
QString generalDate(const QDateTime &value);
// Who-and-when: "<who> - <general date>"; NULL parts render empty.
QString stampText(const QVariant &who, const QVariant &when);

} // namespace staff
