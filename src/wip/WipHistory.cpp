#include "wip/WipHistory.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"

#include <QHash>

namespace wip {

QList<HistoryEntry> loadHistory(data::Connection &db, qint64 wipId)
{
    data::Rows rows = db.exec(QStringLiteral("SELECT ChangedAt, ChangedBy, Field, Was, Now FROM WIPHistory "
                                             "WHERE WIPID = ? ORDER BY ChangedAt DESC, ID DESC"),
        { wipId });
    QList<HistoryEntry> entries;
    while (rows.next())
        entries << HistoryEntry { data::dateTimeOf(rows.value(0)), rows.value(1).toString(), rows.value(2).toString(),
            rows.value(3).toString(), rows.value(4).toString() };
    return entries;
}

QString fieldCaption(const QString &field)
{
    static const QHash<QString, QString> captions = [] {
        QHash<QString, QString> map;
        const char *pairs[][2] = { { "Customer", "Customer" }, { "Address", "Address" }, { "City", "City" },
            { "State", "State" }, { "Zip", "Zip" }, { "Phone", "Phone" }, { "JobType", "Job Type" },
            { "Status", "Status" }, { "Rep", "Rep" }, { "StartDate", "Start Date" },
            { "CheckDryingDays", "Drying Days" }, { "Insurance", "Insurance" }, { "Agent", "Agent" },
            { "Adjuster", "Adjuster" }, { "Paperwork", "Paperwork Needed" }, { "InitialScope", "Initial Scope" },
            { "Software", "Software" }, { "TypeOfPayment", "Type of Payment" }, { "Rugs", "Rugs" },
            { "RugsCleaned", "Rugs Cleaned/Dried" }, { "Itel", "Itel-Asbestos" }, { "ItelDate", "Itel Date Sent" },
            { "AdjusterUpdatedDate", "Adjuster Updated Date" }, { "AdjusterUpdatedBy", "Adjuster Updated By" },
            { "CarpetCleanRooms", "Carpet Cleaning No. Rooms" }, { "HowHear", "How did you hear about us?" },
            { "TimeOfService", "Time of Service" }, { "TypeOfService", "Type of Service" },
            { "EstimateComplete", "Estimate Complete" }, { "Billed", "Billed" }, { "COS", "COS Sent" },
            { "MoveOut", "Move Out" }, { "CleanHVAC", "Clean HVAC" }, { "ContentsCleaned", "Contents Cleaned" },
            { "Photos", "Photos" }, { "AmountBilled", "Billed Amount" }, { "InvoiceID", "Invoice" },
            { "Notes", "Notes" }, { "QBID", "QuickBooks ID" }, { "Job", "Job" }, { "Contractor", "Subcontractor" } };
        for (const auto &pair : pairs)
            map.insert(QLatin1String(pair[0]), QLatin1String(pair[1]));
        return map;
    }();
    return captions.value(field, field);
}

QString historyLine(const HistoryEntry &entry)
{
    QStringList cells { Formats::dateTime(entry.changedAt), entry.changedBy, fieldCaption(entry.field), entry.was,
        entry.now };
    // One line a change: the notes' line breaks read as blanks here.
    for (QString &cell : cells) {
        for (QChar &c : cell) {
            if (c == u'\t' || c == u'\n' || c == u'\r')
                c = u' ';
        }
    }
    return cells.join(u'\t');
}

} // namespace wip
