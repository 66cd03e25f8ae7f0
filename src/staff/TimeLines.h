#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace data {
class Connection;
}
namespace data {
class Rows;
}
class QVariant;

namespace staff {

// One booking as a time list shows it (the time manager and a job's labour
// tab): the cells of its grid line.
struct TimeLine
{
    qint64 id = 0;
    QString date; // TranDate in ISO form (the grid's date column shows it in the user's form)
    QString who; // the job (time manager) or the employee (labour tab)
    double hours = 0;
    QString notes;
    QString entered; // "who - when"
    QString edited;
};

// The grid line of a booking: ID, date, who, hours, notes, entered, edited,
// tab-separated. A tab inside a note becomes a blank, so that it cannot move
// the cells after it.
QString lineText(const TimeLine &line);
// The same with the hours' text given (a list formats each distinct number
// of hours once).
QString lineText(const TimeLine &line, QStringView hours);

// Reads the lines of a time list's query, whose columns are: ID, TranDate,
// two that `who` makes the third cell of, Hours, Notes, EnteredBy,
// EnteredDate, EditedBy, EditedDate.
QList<TimeLine> readLines(data::Rows &query, const std::function<QString(const QVariant &, const QVariant &)> &who);

// The employee's bookings dated from `from` to `to`, both bounds included
// with their time of day, oldest first; `who` is the job (customer, " - ",
// ID), empty when the job is gone. Throws data::DbError.
QList<TimeLine> employeeBookings(data::Connection &db, qint64 employeeId, const QDateTime &from, const QDateTime &to);
// Its statement, bound with the employee's ID and the two bounds (for query
// plans and benchmarks).
QString employeeBookingsSql();

} // namespace staff
