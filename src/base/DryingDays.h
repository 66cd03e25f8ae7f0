#pragma once

#include <QDate>
#include <QString>

// The drying-days alert: a job is overdue when its status is exactly
// "Drying", its drying days are watched, and more whole days than the
// company's limit have passed since its start.
namespace DryingDays {

// Calendar-day boundaries from start to today, signed (a future start date is
// negative); 0 for a missing start date.
int daysSince(const QDate &start, const QDate &today);

bool inAlert(const QString &status, bool checkDryingDays, double days, int limit);

} // namespace DryingDays
