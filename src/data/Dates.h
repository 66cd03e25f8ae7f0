#pragma once

#include <QDate>
#include <QDateTime>
#include <QVariant>

namespace data {

// A date-time column as the drivers hand it back: a QDateTime (QPSQL, ODBC),
// a QDate, or text (SQLite keeps what it was given), read as
// dateTimeOfText() (base/DateText.h) reads it: with or without a time,
// fraction or zone. Invalid for NULL and for text that is no date.
QDateTime dateTimeOf(const QVariant &value);

// The day of a date-time column; invalid for NULL and for text that is no date.
QDate dateOf(const QVariant &value);

// A date-time to bind: the value, or a typed NULL when it is invalid.
QVariant dateTimeValue(const QDateTime &when);

} // namespace data
