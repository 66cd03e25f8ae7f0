#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

// How the grid reads its cell texts as typed values.
namespace GridValues {

// A ticked cell: "True"/"False" in any case, or a number (non-zero is true).
// Empty text is false; anything else is not a boolean.
std::optional<bool> toBool(QStringView text);

// Plain decimal text ("1234.5", "-3"), also with "," grouping and a leading
// "$" or "-$" as the money format writes it.
std::optional<double> toNumber(QStringView text);

// A date column's text: the locale's short or long date, with or without the
// time of day; ISO 8601; or the US forms M/d/yy and M/d/yyyy. Two-digit
// years fall in 1950-2049.
std::optional<QDateTime> toDateTime(const QString &text);

} // namespace GridValues
