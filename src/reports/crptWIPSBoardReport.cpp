#include "reports/crptWIPSBoardReport.h"

#include "base/Colors.h"
#include "base/Formats.h"
#include "board/BoardQuery.h"
#include "reports/ReportData.h"
#include "shell/Logo.h"

#include <QLocale>
#include <algorithm>

namespace reports {

namespace {

    // The milestones, as tick columns.
    struct Milestone
    {
        const char *title;
        const char *field;
    };
    constexpr Milestone kMilestones[]
        = { { "Est.", "EstimateComplete" }, { "COS", "Cos" }, { "Move Out", "MoveOut" }, { "HVAC", "CleanHVAC" },
              { "Con\u00adtents", "ContentsCleaned" }, { "Photos", "Photos" }, { "Billed", "Billed" } };

    QList<Column> columns()
    {
        QList<Column> list { { QStringLiteral("Customer"), 112 }, { QStringLiteral("Type"), 50 },
            { QStringLiteral("Status"), 52 }, { QStringLiteral("Rep"), 60 },
            { QStringLiteral("Start Date"), 50, Align::Center }, { QStringLiteral("Drying Days"), 36, Align::Right },
            { QStringLiteral("Insurance"), 72 }, { QStringLiteral("Adjuster"), 66 } };
        for (const Milestone &m : kMilestones)
            list << Column { QString::fromUtf8(m.title), 27, Align::Center, true };
        list << Column { QStringLiteral("Billed Amount"), 54, Align::Right }
             << Column { QStringLiteral("Hours"), 38, Align::Right };
        return list;
    }

    QString grouped(qint64 n)
    {
        return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
    }

} // namespace

void crptWIPSBoardReport::setData(QSqlQuery query)
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

    // The rows on paper are in the report's order, whatever the query's.
    struct Keyed
    {
        QString customer;
        QString type;
        QDateTime start;
        Row row;
    };
    std::vector<Keyed> rows;
    double billed = 0;
    double hours = 0;
    TableData &d = *m_data;
    while (d.next()) {
        Keyed keyed { d.text(QStringLiteral("Customer")), d.text(QStringLiteral("JobType")),
            d.dateTime(QStringLiteral("StartDate")), {} };
        const double amount = d.number(QStringLiteral("AmountBilled"));
        const double time = d.number(QStringLiteral("TotalTime"));
        billed += amount;
        hours += time;
        QStringList &cells = keyed.row.cells;
        cells.reserve(table.columns.size());
        cells << keyed.customer << keyed.type << d.text(QStringLiteral("Status")) << d.text(QStringLiteral("Rep"))
              << (keyed.start.isValid() ? Formats::date(keyed.start.date()) : QString())
              << (d.isNull(QStringLiteral("DryingDays")) ? QString()
                                                         : Formats::plainNumber(d.number(QStringLiteral("DryingDays"))))
              << d.text(QStringLiteral("Insurance")) << d.text(QStringLiteral("Adjuster"));
        for (const Milestone &m : kMilestones)
            cells << (d.flag(QString::fromLatin1(m.field)) ? QStringLiteral("1") : QString());
        cells << Formats::money(amount) << Formats::hours(time);
        // Tinted like the board: by job type.
        if (const std::optional<quint32> colour = board::jobTypeColour(keyed.type))
            keyed.row.tint = Colors::toQColor(*colour);
        rows.push_back(std::move(keyed));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Keyed &a, const Keyed &b) {
        if (const int c = a.customer.compare(b.customer, Qt::CaseInsensitive))
            return c < 0;
        if (const int c = a.type.compare(b.type, Qt::CaseInsensitive))
            return c < 0;
        return a.start < b.start;
    });
    table.rows.reserve(rows.size());
    for (Keyed &keyed : rows)
        table.rows.push_back(std::move(keyed.row));

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
