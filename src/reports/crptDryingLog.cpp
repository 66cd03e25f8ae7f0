#include "reports/crptDryingLog.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "drying/DryingLog.h"
#include "reports/PhotoSection.h"
#include "reports/ReportData.h"
#include "shell/Logo.h"
#include "wip/WipRecord.h"

#include <QLocale>
#include <QRectF>

namespace reports {

namespace {

    const QColor kGapTint(0xfc, 0xe8, 0xc8); // a missing day stands out on paper
    const QColor kDryTint(0xe2, 0xf2, 0xe2);
    const QString kTick = QStringLiteral(" \u2713");

    QString value(double number)
    {
        return QLocale::c().toString(number, 'f', 1);
    }

    const drying::RoomLog *outsideOf(const drying::JobLog &log)
    {
        for (const drying::RoomLog &room : log.rooms) {
            if (room.room.outside)
                return &room;
        }
        return nullptr;
    }

    // The day's temperature, humidity, GPP and dew point, and the outside's
    // GPP beside them for a room.
    Table atmosphereTable(
        const drying::JobLog &log, const drying::RoomLog &room, const drying::RoomLog *outside, const QString &caption)
    {
        Table table;
        table.caption = caption;
        table.columns = { { QStringLiteral("Day"), 26, Align::Right }, { QStringLiteral("Date"), 60 },
            { QStringLiteral("Time"), 44 }, { QStringLiteral("Temperature"), 60, Align::Right },
            { QStringLiteral("RH %"), 40, Align::Right }, { QStringLiteral("GPP"), 44, Align::Right },
            { QStringLiteral("Dew Point"), 56, Align::Right } };
        if (outside)
            table.columns << Column { QStringLiteral("Outside GPP"), 56, Align::Right };
        table.columns << Column { QString(), 120 };
        table.emptyText = QStringLiteral("No days logged.");
        for (qsizetype d = 0; d < room.days.size(); ++d) {
            const drying::LogDay &day = room.days.at(d);
            Row row;
            row.cells << QString::number(d + 1) << Formats::date(day.day);
            if (day.reading && day.conditions) {
                row.cells << day.reading->takenAt.time().toString(QStringLiteral("HH:mm"))
                          << drying::formatTemperature(day.reading->temperature, log.unit)
                          << value(day.reading->humidity) << drying::formatGpp(day.conditions->grainsPerPound)
                          << drying::formatTemperature(day.conditions->dewPoint, log.unit);
            } else {
                row.cells << QString() << QString() << QString() << QString() << QString();
            }
            if (outside) {
                const drying::LogDay *out = d < outside->days.size() ? &outside->days.at(d) : nullptr;
                row.cells << (out && out->conditions ? drying::formatGpp(out->conditions->grainsPerPound) : QString());
            }
            if (day.gap) {
                row.cells << QStringLiteral("no reading");
                row.tint = kGapTint;
            } else {
                row.cells << QString();
            }
            table.rows.push_back(row);
        }
        return table;
    }

    // Each point with its goal, its latest value and the day it first
    // reached the goal.
    Table pointsTable(const drying::RoomLog &room)
    {
        Table table;
        table.caption = QStringLiteral("%1: moisture points").arg(room.room.name);
        table.columns = { { QStringLiteral("#"), 18, Align::Right }, { QStringLiteral("Material"), 110 },
            { QStringLiteral("Location"), 110 }, { QStringLiteral("Meter"), 70 },
            { QStringLiteral("Dry Goal"), 44, Align::Right }, { QStringLiteral("Latest"), 44, Align::Right },
            { QStringLiteral("State"), 36 }, { QStringLiteral("Reached Goal"), 64 } };
        table.emptyText = QStringLiteral("No moisture points in this room.");
        int n = 0;
        for (const drying::PointLog &point : room.points) {
            Row row;
            row.cells << QString::number(++n) << point.point.material << point.point.location << point.point.meter
                      << value(point.point.dryGoal) << (point.latest ? value(*point.latest) : QString())
                      << (point.dry ? QStringLiteral("Dry") : QString())
                      << (point.reachedGoal.isValid() ? Formats::date(point.reachedGoal) : QStringLiteral("not yet"));
            if (point.dry)
                row.tint = kDryTint;
            table.rows.push_back(row);
        }
        return table;
    }

    // The points' values by day: a row per day with a value, a column per
    // point (numbered as in the points table); a tick marks a value at or
    // below the goal.
    Table valuesTable(const drying::RoomLog &room)
    {
        Table table;
        table.caption = QStringLiteral("%1: daily moisture values").arg(room.room.name);
        table.columns = { { QStringLiteral("Date"), 60 } };
        QMap<QDate, bool> days;
        int n = 0;
        for (const drying::PointLog &point : room.points) {
            table.columns << Column { QStringLiteral("#%1 %2").arg(++n).arg(point.point.material), 60, Align::Right };
            for (auto it = point.values.constBegin(); it != point.values.constEnd(); ++it)
                days.insert(it.key(), true);
        }
        table.emptyText = QStringLiteral("No moisture readings yet.");
        for (auto day = days.constBegin(); day != days.constEnd(); ++day) {
            Row row;
            row.cells << Formats::date(day.key());
            for (const drying::PointLog &point : room.points) {
                const auto found = point.values.constFind(day.key());
                row.cells << (found == point.values.constEnd()
                        ? QString()
                        : value(*found) + (*found <= point.point.dryGoal ? kTick : QString()));
            }
            table.rows.push_back(row);
        }
        return table;
    }

    // The charts side by side in one drawing, each half the page wide.
    Drawing chartsDrawing(const QString &caption, const QList<Chart> &shown, const ChartPainter &chart)
    {
        Drawing drawing;
        drawing.caption = caption;
        drawing.height = 190;
        drawing.paint = [shown, chart](QPainter &painter, const QRectF &rect) {
            const qreal half = rect.width() / 2;
            for (qsizetype i = 0; i < shown.size(); ++i)
                chart(painter, QRectF(rect.left() + qreal(i) * half, rect.top(), half, rect.height()), shown.at(i));
        };
        return drawing;
    }

    // Every unit placed on the job, by room and time, with a total line per
    // type (a unit moved between rooms counts its stay once).
    Table equipmentTable(const EquipmentLog &equipment)
    {
        Table table;
        table.caption = QStringLiteral("Equipment");
        table.columns = { { QStringLiteral("Asset"), 60 }, { QStringLiteral("Type"), 70 },
            { QStringLiteral("Room"), 80 }, { QStringLiteral("Placed"), 80 }, { QStringLiteral("Removed"), 80 },
            { QStringLiteral("Days"), 36, Align::Right } };
        table.emptyText = QStringLiteral("No equipment was placed on this job.");
        for (const equipment::Placement &p : equipment.placements)
            table.rows.push_back(Row { { p.assetNo, p.type, p.roomName, Formats::dateTime(p.placedAt),
                                           p.open() ? QStringLiteral("on site") : Formats::dateTime(p.removedAt),
                                           QString::number(equipment::equipmentDays(p, equipment.now)) },
                {} });
        const QMap<QString, int> days = equipment::daysByType(equipment.placements, equipment.now);
        for (const QString &type : equipment::types()) {
            if (days.contains(type))
                table.totals << Row { { QStringLiteral("Total"), type, QString(), QString(), QString(),
                                          QString::number(days.value(type)) },
                    {} };
        }
        return table;
    }

} // namespace

Document dryingLogDocument(const wip::WipRecord &job, const drying::JobLog &log, const RunTexts &texts,
    const ChartPainter &chart, const EquipmentLog &equipment)
{
    Document doc;
    doc.title = QStringLiteral("Drying Log");
    doc.texts = texts;
    doc.picture = Logo::paint;
    const QString jobNo = QStringLiteral("Job No. %1").arg(job.id);
    doc.footer = joined({ jobNo, job.customer }, QStringLiteral(" \u00b7 "));
    doc.name = joined({ QStringLiteral("Drying Log %1").arg(job.id), job.customer }, QStringLiteral(" - "));

    doc.blocks.push_back(Heading { job.customer.isEmpty() ? QStringLiteral("(no customer)") : job.customer,
        joined({ job.jobType, job.status,
                   job.startDate.isValid() ? QStringLiteral("started ") + Formats::date(job.startDate) : QString() },
            QStringLiteral(" \u00b7 ")),
        jobNo });

    int points = 0;
    int dry = 0;
    int rooms = 0;
    for (const drying::RoomLog &room : log.rooms) {
        rooms += room.room.outside ? 0 : 1;
        for (const drying::PointLog &point : room.points) {
            ++points;
            dry += point.dry ? 1 : 0;
        }
    }
    const QString city
        = joined({ job.city, joined({ job.state, job.zip }, QStringLiteral("  ")) }, QStringLiteral(", "));
    const QString logged = log.firstDay.isValid() ? QStringLiteral("%1 to %2 (%3 days)")
                                                        .arg(Formats::date(log.firstDay), Formats::date(log.lastDay))
                                                        .arg(log.firstDay.daysTo(log.lastDay) + 1)
                                                  : QStringLiteral("nothing logged yet");
    doc.blocks.push_back(Panels { {
        Section { QStringLiteral("Customer"),
            { Item::field(QStringLiteral("Name"), job.customer), Item::field(QStringLiteral("Address"), job.address),
                Item::field(QStringLiteral("City"), city), Item::field(QStringLiteral("Phone"), job.phone) } },
        Section { QStringLiteral("Job"),
            { Item::field(QStringLiteral("Job Type"), job.jobType), Item::field(QStringLiteral("Status"), job.status),
                Item::field(
                    QStringLiteral("Start Date"), job.startDate.isValid() ? Formats::date(job.startDate) : QString()),
                Item::field(QStringLiteral("Insurance"), job.insurance),
                Item::field(QStringLiteral("Adjuster"), job.adjuster) } },
        Section { QStringLiteral("Drying"),
            { Item::field(QStringLiteral("Logged"), logged),
                Item::field(QStringLiteral("Rooms"), QString::number(rooms)),
                Item::field(QStringLiteral("Points at Goal"), QStringLiteral("%1 of %2").arg(dry).arg(points)),
                Item::field(QStringLiteral("Temperatures"), drying::unitSymbol(log.unit)) } },
    } });

    const drying::RoomLog *outside = outsideOf(log);
    for (const drying::RoomLog &room : log.rooms) {
        if (room.room.outside)
            continue;
        const QString name = room.room.affected ? QStringLiteral("%1 (affected)").arg(room.room.name) : room.room.name;
        doc.blocks.push_back(Heading { name, QStringLiteral("Room"), QString() });
        doc.blocks.push_back(atmosphereTable(log, room, outside, QStringLiteral("%1: atmosphere").arg(room.room.name)));
        doc.blocks.push_back(pointsTable(room));
        if (!room.points.isEmpty())
            doc.blocks.push_back(valuesTable(room));
        if (chart) {
            // A room without moisture readings has only its air to show.
            QList<Chart> shown;
            const Chart moisture = moistureChart(log, room);
            if (moisture.hasValues())
                shown << moisture;
            shown << gppChart(log, &room);
            doc.blocks.push_back(chartsDrawing(QStringLiteral("%1: charts").arg(room.room.name), shown, chart));
        }
    }
    if (!equipment.placements.isEmpty()) {
        doc.blocks.push_back(Heading { QStringLiteral("Equipment"), QStringLiteral("Units placed"), QString() });
        doc.blocks.push_back(equipmentTable(equipment));
    }
    if (outside) {
        doc.blocks.push_back(Heading { outside->room.name, QStringLiteral("Outside conditions"), QString() });
        doc.blocks.push_back(atmosphereTable(log, *outside, nullptr, QStringLiteral("Outside: atmosphere")));
    }
    if (log.rooms.isEmpty())
        doc.blocks.push_back(Note { QStringLiteral("No rooms have been logged for this job.") });
    return doc;
}

Document dryingLog(data::Connection &db, qint64 wipId, const RunTexts &texts, const QDate &today,
    const QString &temperatureUnitCode, const ChartPainter &chart)
{
    const std::optional<wip::WipRecord> job = wip::loadWip(db, wipId);
    if (!job)
        throw ReportError(QStringLiteral("The WIP is not in the database (any more)."));
    const drying::JobLog log = drying::loadLog(db, wipId, today, drying::unitFromCode(temperatureUnitCode));
    Document document
        = dryingLogDocument(*job, log, texts, chart, { equipment::loadPlacements(db, wipId), Clock::now() });
    QList<qint64> rooms;
    for (const drying::RoomLog &room : log.rooms)
        rooms << room.room.id;
    document.photos = dryingLogPhotos(db, wipId, rooms);
    return document;
}

} // namespace reports
