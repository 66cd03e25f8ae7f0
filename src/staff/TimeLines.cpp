#include "staff/TimeLines.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "staff/TimeEntry.h"

#include <QSqlQuery>

namespace staff {

QString lineText(const TimeLine &line)
{
    QString notes = line.notes;
    notes.replace(u'\t', u' ');
    const QChar tab(u'\t');
    return QString::number(line.id) + tab + generalDate(line.tranDate) + tab + line.who + tab
        + Formats::plainNumber(line.hours) + tab + notes + tab + line.entered + tab + line.edited;
}

QList<TimeLine> employeeBookings(data::Connection &db, qint64 employeeId, const QDateTime &from, const QDateTime &to)
{
    // The bounds go as date-time values, never as text a server would have
    // to read in some locale's form.
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT EmployeeTime.ID, EmployeeTime.TranDate, WIP.Customer, WIP.ID, EmployeeTime.Hours,"
                       " EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate,"
                       " EmployeeTime.EditedBy, EmployeeTime.EditedDate"
                       " FROM EmployeeTime LEFT JOIN WIP ON EmployeeTime.WIPID=WIP.ID"
                       " WHERE EmployeeTime.EmployeeID=? AND EmployeeTime.TranDate >= ? AND EmployeeTime.TranDate <= ?"
                       " ORDER BY EmployeeTime.TranDate, EmployeeTime.ID"),
        { employeeId, from, to });
    QList<TimeLine> lines;
    while (q.next()) {
        TimeLine line;
        line.id = q.value(0).toLongLong();
        line.tranDate = dateTimeOf(q.value(1));
        const QVariant job = q.value(3);
        if (!job.isNull())
            line.who = q.value(2).toString() + QStringLiteral(" - ") + QString::number(job.toLongLong());
        line.hours = q.value(4).toDouble();
        line.notes = q.value(5).toString();
        line.entered = stampText(q.value(6), q.value(7));
        line.edited = stampText(q.value(8), q.value(9));
        lines.append(std::move(line));
    }
    return lines;
}

} // namespace staff
