#pragma once

#include "reports/ReportDocument.h"

#include <QDate>
#include <optional>

namespace board {
struct Filter;
}
namespace data {
class Connection;
}

// The reports' queries, every value bound, each feeding its report
// definition. Shared by the program's report procedures and the admin tool.
namespace reports {

// A WIP's ID as the screens hand it over: decimal digits only.
std::optional<qint64> parseWipId(const QString &text);

// The work order of one WIP: its row (with its booked hours), its
// subcontractors and its time. `today` gives the drying-day count. Throws
// data::DbError, or ReportError (no such WIP, a query that does not match
// its definition). Its photo section holds the job's photos, printed when
// asked for.
Document workOrder(data::Connection &db, qint64 wipId, const RunTexts &texts, const QDate &today);

// The board report of the jobs the filter selects: the navigator's selection
// and order. Throws data::DbError or ReportError.
Document boardReport(data::Connection &db, const board::Filter &filter, const RunTexts &texts, const QDate &today);

} // namespace reports
