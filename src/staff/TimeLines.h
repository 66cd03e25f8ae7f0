#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace data {
class Connection;
}

namespace staff {

// One booking as a time list shows it (the time manager and a job's labour
// tab): the cells of its grid line.
struct TimeLine
{
    qint64 id = 0;
    QDateTime tranDate;
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

// The employee's bookings dated from `from` to `to`, both bounds included
// with their time of day, oldest first; `who` is the job (customer, " - ",
// ID), empty when the job is gone. Throws data::DbError.
QList<TimeLine> employeeBookings(data::Connection &db, qint64 employeeId, const QDateTime &from, const QDateTime &to);

} // namespace staff
