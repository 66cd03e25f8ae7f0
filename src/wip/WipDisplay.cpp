#include "wip/WipDisplay.h"

#include "base/Colors.h"
#include "base/DryingDays.h"
#include "base/Formats.h"
#include "base/Numbers.h"

#include <cmath>
#include <cstdlib>

namespace wip {

WipDisplay deriveDisplay(const WipRecord &r, const QDate &today, int dryingLimit)
{
    WipDisplay d;
    d.dryingDays = QString::number(DryingDays::daysSince(r.startDate, today));
    d.dryingAlert = dryingAlert(r.status, r.checkDryingDays, d.dryingDays, dryingLimit);
    d.statusColor = statusColor(r.colorCode);
    d.billed = Formats::money(r.amountBilled);
    d.ratePerHour = ratePerHour(r.amountBilled, r.totalTime);
    d.invoice = r.invoiceId;
    d.entered = Formats::stamp(r.enteredBy, r.enteredDate);
    d.edited = Formats::stamp(r.editedBy, r.editedDate);
    return d;
}

QString pickedDryingDays(const QDate &start, const QDate &today)
{
    return QString::number(std::abs(DryingDays::daysSince(start, today)));
}

bool dryingAlert(const QString &status, bool checkDryingDays, const QString &daysText, int dryingLimit)
{
    return DryingDays::inAlert(status, checkDryingDays, SafeNumber(daysText), dryingLimit);
}

QString ratePerHour(double amountBilled, double totalHours)
{
    if (totalHours == 0)
        return Formats::money(0);
    return Formats::money(std::round(amountBilled / totalHours * 100.0) / 100.0);
}

QColor statusColor(const QString &colorCode)
{
    return Colors::toQColor(Colors::parseOr(colorCode, Colors::kWindowBackground));
}

} // namespace wip
