#include "reports/crptWIPSBoardReport.h"

#include "base/Colors.h"
#include "base/Formats.h"
#include "board/BoardQuery.h"
#include "reports/ReportData.h"
#include "shell/Logo.h"

#include <QLocale>

namespace reports {

namespace {

    // The milestones, as tick columns.
    struct Milestone
    {
        const char *title;
        const char *field;
    };
    constexpr Milestone kMilestones[] = { { "Estimate", "EstimateComplete" }, { "COS Sent", "Cos" },
        { "Move Out", "MoveOut" }, { "HVAC", "CleanHVAC" }, { "Contents", "ContentsCleaned" }, { "Photos", "Photos" },
        { "Billed", "Billed" } };

    QList<Column> columns()
    {
        QList<Column> list { { QStringLiteral("Customer"), 96 }, { QStringLiteral("Type"), 52 },
            { QStringLiteral("Status"), 48 }, { QStringLiteral("Rep"), 56 },
            { QStringLiteral("Start Date"), 10, Align::Center, false, true },
            { QStringLiteral("Drying Days"), 10, Align::Right, false, true },
            { QStringLiteral("Days in Status"), 10, Align::Right, false, true }, { QStringLiteral("Insurance"), 60 },
            { QStringLiteral("Adjuster"), 56 } };
        for (const Milestone &m : kMilestones)
            list << Column { QString::fromLatin1(m.title), 14, Align::Center, true, false, true };
        list << Column { QStringLiteral("Billed Amount"), 10, Align::Right, false, true }
             << Column { QStringLiteral("Hours"), 10, Align::Right, false, true };
        return list;
    }

    QString grouped(qint64 n)
    {
        return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
    }

} // namespace

void crptWIPSBoardReport::setData(data::Rows query)
{
    m_data.emplace(std::move(query), TableDefinition::load(kFile));
}

Document crptWIPSBoardReport::document(const RunTexts &texts, const QString &filters)
{
    if (!m_data)
        throw ReportError(QStringLiteral("The board report was asked for before its data was bound."));
    Document doc;
    doc.title = QStringLiteral("WIPs Board");
    doc.subtitle = filters;
    doc.footer = QStringLiteral("WIPs Board");
    doc.name = QStringLiteral("WIPs Board");
    doc.texts = texts;
    doc.orientation = QPageLayout::Landscape;
    doc.picture = Logo::paint;

    Table table;
    table.columns = columns();
    table.fontSize = 7.5;
    table.emptyText = QStringLiteral("No WIPs match the filters.");

    // The rows come in the board's order: customer, job type, start date.
    double billed = 0;
    double hours = 0;
    TableData &d = *m_data;
    while (d.next()) {
        const QString type = d.text(QStringLiteral("JobType"));
        const QDateTime start = d.dateTime(QStringLiteral("StartDate"));
        const double amount = d.number(QStringLiteral("AmountBilled"));
        const double time = d.number(QStringLiteral("TotalTime"));
        billed += amount;
        hours += time;
        Row row;
        QStringList &cells = row.cells;
        cells.reserve(table.columns.size());
        cells << d.text(QStringLiteral("Customer")) << type << d.text(QStringLiteral("Status"))
              << d.text(QStringLiteral("Rep")) << (start.isValid() ? Formats::date(start.date()) : QString())
              << (d.isNull(QStringLiteral("DryingDays")) ? QString()
                                                         : Formats::plainNumber(d.number(QStringLiteral("DryingDays"))))
              << (d.isNull(QStringLiteral("DaysInStatus"))
                         ? QString()
                         : QString::number(std::max(0.0, d.number(QStringLiteral("DaysInStatus")))))
              << d.text(QStringLiteral("Insurance")) << d.text(QStringLiteral("Adjuster"));
        for (const Milestone &m : kMilestones)
            cells << (d.flag(QString::fromLatin1(m.field)) ? QStringLiteral("1") : QString());
        cells << Formats::money(amount) << Formats::hours(time);
        // Tinted like the board: by job type.
        if (const std::optional<quint32> colour = board::jobTypeColour(type))
            row.tint = Colors::toQColor(*colour);
        table.rows.push_back(std::move(row));
    }

    const qsizetype count = table.rows.size();
    Row total;
    total.cells << (count == 1 ? QStringLiteral("1 WIP") : QStringLiteral("%1 WIPs").arg(grouped(count)));
    while (total.cells.size() < table.columns.size() - 2)
        total.cells << QString();
    total.cells << Formats::money(billed) << Formats::hours(hours);
    table.totals << total;
    doc.blocks.push_back(std::move(table));
    return doc;
}

} // namespace reports
