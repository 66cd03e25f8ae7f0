#pragma once

#include "board/BoardQuery.h"

#include <QDate>
#include <QString>
#include <memory>
#include <optional>

namespace data {
class Dialect;
}

// One line of the board per job: its 37 cells as text, and what colours it.
namespace board {

struct BoardLine
{
    // The kColumnCount cells joined by tabs. Values keep their text, a tab
    // inside one becomes a blank; NULL is empty. Dates are ISO text
    // ("2026-03-30", or "2026-03-30T10:15:00" with a time of day), which the
    // grid's date columns show in the short form; booleans "True"/"False";
    // numbers plain ("1234.5"); hours 0 without bookings; each stamp
    // "<who> - <date and time>" in the general form. The drying-days cell is
    // empty unless the job's drying days are watched and it has a start date;
    // the days-in-status cell counts from the job's last status change, else
    // its start date, else its entry (empty without any of them).
    QString text;
    // The whole line's colour by job type (0x00BBGGRR), if any.
    std::optional<quint32> rowColour;
    // The status cell's colour, after the row's.
    quint32 statusColour = 0;
    // The drying-days cell goes red (and flashes); the "Flash" cell says "True".
    bool dryingAlert = false;
    // The job has been in its status longer than the status's alert: the
    // days-in-status cell goes bold on red.
    bool statusAlert = false;
    // The job's drying log for the drying-days cell's tooltip ("2 of 3 points
    // at goal, last reading 1 day ago"); empty for a job without one, and
    // unless the reader was asked for the drying log.
    QString dryingTip;
};

// What the drying log adds to the board.
struct DryingLogOptions
{
    // Reads every job's drying log summary (one statement) for the tooltips.
    bool summaries = false;
    // The company's "Alert from the drying log": a job whose moisture points
    // are all at goal stops flashing (needs `summaries`). Off, the alert is
    // the drying days' alone.
    bool alertFromLog = false;
};

// Reads the jobs a filter selects, in the board's order, one line at a time.
// On SQLite each job arrives as one packed value (the driver's cost is per
// value, and it is most of a plain fill); elsewhere column by column. Both
// give the same lines.
class BoardReader
{
public:
    enum class Source { Fastest, Columns };

    // Runs the query (throws data::DbError). `today` and the company's
    // drying-days limit decide the day counts and the alert.
    BoardReader(data::Connection &db, const Filter &filter, const QDate &today, int dryingLimit,
        Source source = Source::Fastest);
    BoardReader(data::Connection &db, const Filter &filter, const QDate &today, int dryingLimit,
        const DryingLogOptions &drying, Source source = Source::Fastest);
    ~BoardReader();
    BoardReader(const BoardReader &) = delete;
    BoardReader &operator=(const BoardReader &) = delete;

    // The next job into `line` (its buffers reused); false after the last.
    // Throws data::DbError.
    bool next(BoardLine &line);

    // The statement a reader runs on a connection of this dialect.
    static Select statement(const data::Dialect &dialect, const Filter &filter, Source source = Source::Fastest);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace board
