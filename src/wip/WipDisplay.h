#pragma once

#include "wip/WipRecord.h"

#include <QColor>
#include <QDate>
#include <QString>

namespace wip {

// What the entry screen shows for a loaded WIP beyond its stored fields.
struct WipDisplay
{
    QString dryingDays; // signed whole days since the start date
    bool dryingAlert = false;
    QColor statusColor; // from the status's colour code
    QString billed; // "$#,##0.00"
    QString ratePerHour; // billed amount per booked hour, "$0.00" without hours
    QString invoice;
    QString entered; // "who - date and time"
    QString edited;
};

// Derives the display values of a loaded record for the given day and the
// company's drying-days limit.
WipDisplay deriveDisplay(const WipRecord &record, const QDate &today, int dryingLimit);

// The day count shown after the user picks a start date: always positive.
QString pickedDryingDays(const QDate &start, const QDate &today);

// Whether the drying-days label goes red: status exactly "Drying", the box
// ticked, and the label's number over the limit.
bool dryingAlert(const QString &status, bool checkDryingDays, const QString &daysText, int dryingLimit);

// Amount over hours, rounded to cents; "$0.00" when no hours are booked.
QString ratePerHour(double amountBilled, double totalHours);

// The status colour code as an on-screen colour; empty or unreadable text is
// the window background.
QColor statusColor(const QString &colorCode);

} // namespace wip
