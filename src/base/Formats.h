#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>

// The display formats shared by the screens and reports.
namespace Formats {

// "$#,##0.00": $1,234.50; negative amounts as -$1,234.50.
QString money(double value);
// "#,##0.00": 1,234.50
QString hours(double value);
// A number as its plain decimal text: 3, 2.5, 0 (no grouping, no trailing zeros).
QString plainNumber(double value);
// A reading with one decimal, as the drying log shows it: 12.0, 70.7.
QString oneDecimal(double value);
// The general date-and-time format of a locale: its short date with a
// four-digit year, and its long time (with seconds) without the zone.
QString generalDateTimeFormat(const QLocale &locale);
// A date and time in the locale's general form, empty for a null value.
QString dateTime(const QDateTime &value);
// The locale's short date, empty for a null value.
QString date(const QDate &value);
// Who-and-when stamp: "<who> - <date and time>"; NULL parts render empty,
// so a never-stamped row shows " - ".
QString stamp(const QVariant &who, const QVariant &when);

} // namespace Formats
