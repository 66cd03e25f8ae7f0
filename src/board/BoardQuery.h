#pragma once

#include <QDate>
#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace data {
class Connection;
}

// The WIP board: every job on one line of 37 cells. The query, the headers
// and the text of each line live here, away from any grid, so the navigator
// screen and the benchmarks fill from the same code.
namespace board {

// The board's columns, in the order of the headers and of each line's cells.
enum Column : int {
    ColId,
    ColCustomer,
    ColType,
    ColStatus,
    ColRep,
    ColStartDate,
    ColDryingDays,
    ColInsurance,
    ColAgent,
    ColAdjuster,
    ColPaperwork,
    ColInitialScope,
    ColSoftware,
    ColPaymentType,
    ColRugs,
    ColRugsCleaned,
    ColItel,
    ColItelSent,
    ColAdjusterUpdatedDate,
    ColAdjusterUpdatedBy,
    ColCarpetCleanRooms,
    ColTimeOfService,
    ColTypeOfService,
    ColEstimateComplete,
    ColBilled,
    ColCosSent,
    ColMoveOut,
    ColCleanHvac,
    ColContentsCleaned,
    ColPhotos,
    ColNotes,
    ColBilledAmount,
    // Booked hours: not read by the board's query, so every line shows 0.
    ColHours,
    ColHowHear,
    ColEntered,
    ColEdited,
    // The drying alert as "True"/"False"; the grid keeps it hidden.
    ColFlash,
};

inline constexpr int kColumnCount = ColFlash + 1;

// Columns whose cells are dates, and those holding "True"/"False".
inline constexpr std::array<Column, 3> kDateColumns = { ColStartDate, ColItelSent, ColAdjusterUpdatedDate };
inline constexpr std::array<Column, 9> kBooleanColumns = { ColRugsCleaned, ColItel, ColEstimateComplete, ColBilled,
    ColCosSent, ColMoveOut, ColCleanHvac, ColContentsCleaned, ColPhotos };

// The header row's texts, one per column.
const QStringList &headers();

// The statement behind the board: every job, with the who-and-when stamps as
// their two stored parts. readBoardLine() reads its rows.
QString selectSql();

// Runs selectSql() forward-only. Throws data::DbError.
QSqlQuery selectJobs(data::Connection &db);

// One line of the board, from one row of selectSql().
struct BoardLine
{
    // The kColumnCount cells joined by tabs.
    QString text;
    QString type;
    QString status;
    // Whole days since the start date; 0 when the job's drying days are not
    // watched (its cell is then empty) or it has no start date.
    int dryingDays = 0;
    // DryingDays::inAlert() for those days: the alert cell goes red.
    bool dryingAlert = false;
};

// Reads the query's current row into `line`, reusing its buffers: dates and
// stamps as text, booleans as "True"/"False", the drying-day count and alert
// for the given day and the company's drying-days limit.
void readBoardLine(const QSqlQuery &query, const QDate &today, int dryingLimit, BoardLine &line);

// The background of a whole line by its job type; nothing for types that
// keep the grid's own. Colours are 0x00BBGGRR.
std::optional<quint32> jobTypeColour(const QString &jobType);

// Status name to the colour of its status cell, from WIPStatus.
using StatusColours = QHash<QString, quint32>;

// Reads every status colour; empty or unreadable codes are the window
// background. Throws data::DbError.
StatusColours loadStatusColours(data::Connection &db);

// The status cell's colour: the status's own, or the window background for a
// status WIPStatus does not list.
quint32 statusColour(const StatusColours &colours, const QString &status);

} // namespace board
