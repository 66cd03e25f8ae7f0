#pragma once

#include "staff/TimeLines.h"

#include <QList>

namespace data {
class Connection;
}

namespace wip {

// The job's labour: its time lines, and their hours added up.
struct Labor
{
    QList<staff::TimeLine> lines; // who = the employee, last name, ", ", first name
    double totalHours = 0;
};

// Every booking on the job, by date, then the employee's last and first
// name. A booking whose employee is gone shows ", ". Throws data::DbError.
Labor loadLabor(data::Connection &db, qint64 wipId);
// Its statement, bound with the job's ID (for query plans and benchmarks).
QString laborSql();

} // namespace wip
