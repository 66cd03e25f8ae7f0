#pragma once

#include "reports/DryingCharts.h"
#include "reports/ReportDocument.h"

#include <QDate>

namespace data {
class Connection;
}
namespace drying {
struct JobLog;
}
namespace wip {
struct WipRecord;
}

namespace reports {

// The printed drying log of one job: the job block, then per room the daily
// atmospheric table, the moisture points with their goals, the day each
// first reached it and their daily values, and the room's charts. The outside
// closes with its own table. `chart` paints the charts; without one the
// printed log leaves them out.
Document dryingLogDocument(
    const wip::WipRecord &job, const drying::JobLog &log, const RunTexts &texts, const ChartPainter &chart = {});

// Reads the job and its log and builds the printed log. Throws data::DbError,
// or ReportError for a job that is not in the database.
Document dryingLog(data::Connection &db, qint64 wipId, const RunTexts &texts, const QDate &today,
    const QString &temperatureUnitCode, const ChartPainter &chart = {});

} // namespace reports
