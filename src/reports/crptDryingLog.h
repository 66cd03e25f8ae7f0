#pragma once

#include "reports/DryingCharts.h"
#include "reports/ReportDocument.h"

#include "equipment/Equipment.h"

#include <QDate>
#include <QDateTime>

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

// The drying equipment of a job as the printed log lists it: every
// placement, removed ones too, with the days counted up to `now`.
struct EquipmentLog
{
    QList<equipment::Placement> placements {};
    QDateTime now {};
};

// The printed drying log of one job: the job block, then per room the daily
// atmospheric table, the moisture points with their goals, the day each
// first reached it and their daily values, and the room's charts; then the
// equipment (units with placed, removed and days, totals per type). The
// outside closes with its own table. `chart` paints the charts; without one
// the printed log leaves them out.
Document dryingLogDocument(const wip::WipRecord &job, const drying::JobLog &log, const RunTexts &texts,
    const ChartPainter &chart = {}, const EquipmentLog &equipment = {});

// Reads the job and its log and builds the printed log; its photo section
// holds the rooms' and points' photos, printed when asked for. Throws
// data::DbError, or ReportError for a job that is not in the database.
Document dryingLog(data::Connection &db, qint64 wipId, const RunTexts &texts, const QDate &today,
    const QString &temperatureUnitCode, const ChartPainter &chart = {});

} // namespace reports
