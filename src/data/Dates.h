#pragma once

#include <QDate>
#include <QDateTime>
#include <QVariant>

namespace data {

// A date-time column as the drivers hand it back: a QDateTime (QPSQL, ODBC),
// a QDate, or text (SQLite keeps what it was given). Text may come from any
// writer: "2026-10-28T08:00:00.123", without milliseconds, with a blank for
// the T (SQLite's own datetime()), with microseconds (PostgreSQL's text),
// a trailing zone ("Z", "+02:00", taken as written, the zone dropped: the
// columns hold wall-clock times), or a date alone. Invalid for NULL and for
// text that is no date.
QDateTime dateTimeOf(const QVariant &value);

// The day of a date-time column; invalid for NULL and for text that is no date.
QDate dateOf(const QVariant &value);

} // namespace data
