#pragma once

#include <QDateTime>
#include <QStringView>

// A date-time written as text, as any writer of the database leaves it:
// "2026-10-28T08:00:00.123", without milliseconds or seconds, with a blank
// for the T (SQLite's own datetime()), with microseconds (PostgreSQL's text),
// with a trailing zone ("Z", "+02:00": taken as written, the zone dropped,
// for the columns hold wall-clock times), or a date alone (midnight).
// Invalid for anything else. The one reader of such text: data::dateTimeOf()
// reads a column's value with it, the grid a cell's text.
QDateTime dateTimeOfText(QStringView text);
