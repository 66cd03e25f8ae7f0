#include "wip/WipLabor.h"

#include "data/Database.h"

namespace wip {

QString laborSql()
{
    return QStringLiteral("SELECT EmployeeTime.ID, EmployeeTime.TranDate, Employee.LastName, Employee.FirstName,"
                          " EmployeeTime.Hours, EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate,"
                          " EmployeeTime.EditedBy, EmployeeTime.EditedDate"
                          " FROM EmployeeTime LEFT JOIN Employee ON EmployeeTime.EmployeeID=Employee.ID"
                          " WHERE EmployeeTime.WIPID=?"
                          " ORDER BY EmployeeTime.TranDate, Employee.LastName, Employee.FirstName, EmployeeTime.ID");
}

Labor loadLabor(data::Connection &db, qint64 wipId)
{
    data::Rows q = db.exec(laborSql(), { wipId });
    Labor labor;
    labor.lines = staff::readLines(q, [](const QVariant &lastName, const QVariant &firstName) {
        return lastName.toString() + QStringLiteral(", ") + firstName.toString();
    });
    for (const staff::TimeLine &line : std::as_const(labor.lines))
        labor.totalHours += line.hours;
    return labor;
}

} // namespace wip
