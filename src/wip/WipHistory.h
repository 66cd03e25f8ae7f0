#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace data {
class Connection;
}

// A job's history as the database keeps it (WIPHistory, written by its
// triggers at every change, whoever makes it).
namespace wip {

struct HistoryEntry
{
    QDateTime changedAt;
    QString changedBy;
    QString field; // the column ("Status"), "Job" or "Contractor"
    QString was;
    QString now;
};

// The job's history, newest first. Throws data::DbError.
QList<HistoryEntry> loadHistory(data::Connection &db, qint64 wipId);

// What the entry screen calls a stored field ("AmountBilled": "Billed
// Amount"); a field it does not know, as stored.
QString fieldCaption(const QString &field);

// The history grid's line: When, Who, Field (its caption), Was, Now,
// joined by tabs (a tab or line break inside a value becomes a blank).
QString historyLine(const HistoryEntry &entry);

} // namespace wip
