#pragma once

#include <QDate>
#include <QDateTime>

// The program's idea of "now". Tests fix it so that day-count rules give the
// same answer on any date.
namespace Clock {
QDateTime now();
QDate today();
// An invalid value returns to the system clock.
void setNow(const QDateTime &fixed);
} // namespace Clock
