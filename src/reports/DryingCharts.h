#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QPainter;
class QRectF;

namespace drying {
struct JobLog;
struct RoomLog;
}

// What the drying log's charts show, worked out without any drawing: the
// screen shows it with Qt Charts, and the printed log has the same chart
// painted onto its page (charts/LineChart.h).
namespace reports {

struct ChartLine
{
    QString name;
    // One value per day of the chart; none where nothing was read (the line
    // breaks there).
    QList<std::optional<double>> values;
    int colour = 0; // index into the chart palette; the same for a point and its goal
    bool goal = false; // a dry goal: dashed, and left out of the legend
    bool muted = false; // the outside: grey
};

struct Chart
{
    QString title;
    QString valueTitle; // the value axis
    QList<QDate> days;
    QList<ChartLine> lines;

    bool hasValues() const;
};

// A room's moisture points over the log's days, each with its goal line.
Chart moistureChart(const drying::JobLog &log, const drying::RoomLog &room);
// The GPP of the rooms (all but the outside, or only `only`) against the
// outside's.
Chart gppChart(const drying::JobLog &log, const drying::RoomLog *only = nullptr);

// Paints a chart into a rectangle of a report page.
using ChartPainter = std::function<void(QPainter &, const QRectF &, const Chart &)>;

} // namespace reports
