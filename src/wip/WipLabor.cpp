#include "wip/WipLabor.h"

#include "data/Database.h"
#include "staff/TimeEntry.h"

#include <QSqlQuery>

namespace wip {

Labor loadLabor(data::Connection &db, qint64 wipId)
{
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT EmployeeTime.ID, EmployeeTime.TranDate, Employee.LastName, Employee.FirstName,"
                       " EmployeeTime.Hours, EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate,"
                       " EmployeeTime.EditedBy, EmployeeTime.EditedDate"
                       " FROM EmployeeTime LEFT JOIN Employee ON EmployeeTime.EmployeeID=Employee.ID"
                       " WHERE EmployeeTime.WIPID=?"
                       " ORDER BY EmployeeTime.TranDate, Employee.LastName, Employee.FirstName, EmployeeTime.ID"),
        { wipId });
    Labor labor;
    while (q.next()) {
        staff::TimeLine line;
        line.id = q.value(0).toLongLong();
        line.tranDate = staff::dateTimeOf(q.value(1));
        line.who = q.value(2).toString() + QStringLiteral(", ") + q.value(3).toString();
        line.hours = q.value(4).toDouble();
        line.notes = q.value(5).toString();
        line.entered = staff::stampText(q.value(6), q.value(7));
        line.edited = staff::stampText(q.value(8), q.value(9));
        labor.totalHours += line.hours;
        labor.lines.append(std::move(line));
    }
    return labor;
}

} // namespace wip
