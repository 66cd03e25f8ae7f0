#include "base/DryingDays.h"

namespace DryingDays {

int daysSince(const QDate &start, const QDate &today)
{
    if (!start.isValid() || !today.isValid())
        return 0;
    return static_cast<int>(start.daysTo(today));
}

bool inAlert(const QString &status, bool checkDryingDays, double days, int limit)
{
    return status == QLatin1String("Drying") && checkDryingDays && days > limit;
}

} // namespace DryingDays
