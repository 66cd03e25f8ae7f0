#include "reports/DryingCharts.h"

#include "drying/DryingLog.h"

#include <QMap>

namespace reports {

namespace {

    QList<QDate> logDays(const drying::JobLog &log)
    {
        QList<QDate> days;
        if (!log.firstDay.isValid() || !log.lastDay.isValid())
            return days;
        for (QDate day = log.firstDay; day <= log.lastDay; day = day.addDays(1))
            days << day;
        return days;
    }

    QList<std::optional<double>> byDay(const QList<QDate> &days, const QMap<QDate, double> &values)
    {
        QList<std::optional<double>> out;
        for (const QDate &day : days) {
            const auto found = values.constFind(day);
            out << (found == values.constEnd() ? std::nullopt : std::optional<double>(*found));
        }
        return out;
    }

    QList<std::optional<double>> gppByDay(const QList<QDate> &days, const drying::RoomLog &room)
    {
        QMap<QDate, double> values;
        for (const drying::LogDay &day : room.days) {
            if (day.conditions)
                values.insert(day.day, day.conditions->grainsPerPound);
        }
        return byDay(days, values);
    }

    QString pointName(const drying::MoisturePoint &point)
    {
        return point.location.trimmed().isEmpty() ? point.material
                                                  : QStringLiteral("%1, %2").arg(point.material, point.location);
    }

} // namespace

bool Chart::hasValues() const
{
    for (const ChartLine &line : lines) {
        if (line.goal)
            continue;
        for (const std::optional<double> &value : line.values) {
            if (value)
                return true;
        }
    }
    return false;
}

Chart moistureChart(const drying::JobLog &log, const drying::RoomLog &room)
{
    Chart chart;
    // The room is named around the chart (its caption, the chosen room).
    chart.title = QStringLiteral("Moisture points (dashed: dry goal)");
    chart.valueTitle = QStringLiteral("Moisture");
    chart.days = logDays(log);
    int colour = 0;
    for (const drying::PointLog &point : room.points) {
        chart.lines << ChartLine { pointName(point.point), byDay(chart.days, point.values), colour, false, false };
        chart.lines << ChartLine { QStringLiteral("Goal: %1").arg(pointName(point.point)),
            QList<std::optional<double>>(chart.days.size(), point.point.dryGoal), colour, true, false };
        ++colour;
    }
    return chart;
}

Chart gppChart(const drying::JobLog &log, const drying::RoomLog *only)
{
    Chart chart;
    chart.title
        = only ? QStringLiteral("GPP against the outside") : QStringLiteral("GPP of the rooms against the outside");
    chart.valueTitle = QStringLiteral("GPP (grains/lb)");
    chart.days = logDays(log);
    int colour = 0;
    const drying::RoomLog *outside = nullptr;
    for (const drying::RoomLog &room : log.rooms) {
        if (room.room.outside) {
            outside = &room;
            continue;
        }
        if (!only || only->room.id == room.room.id)
            chart.lines << ChartLine { room.room.name, gppByDay(chart.days, room), colour, false, false };
        ++colour;
    }
    if (outside)
        chart.lines << ChartLine { outside->room.name, gppByDay(chart.days, *outside), 0, false, true };
    return chart;
}

} // namespace reports
