#pragma once

#include "data/Database.h"
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <array>
#include <optional>

namespace data {
class Connection;
}

// The WIP board: which jobs it lists (a Filter), in what order, with what
// columns. The navigator screen, the board report and the benchmarks all
// select through here, so they always agree on the rows.
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
    ColDaysInStatus,
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
// The who-and-when stamps, "<who> - <date and time>".
inline constexpr std::array<Column, 2> kStampColumns = { ColEntered, ColEdited };

// The header row's texts, one per column.
const QStringList &headers();

// What the board lists. A default Filter lists every job.
struct Filter
{
    // Exact job type and status names; empty for any.
    QString jobType {};
    QString status {};
    // Part of the customer's name, in any letter case; every character
    // stands for itself ('%', '_' and quotes included). Empty for any.
    QString search {};
    // Start dates from startFrom (at midnight) up to startTo at midnight, so
    // a start later on startTo's day falls outside, as the board always had it.
    bool useDates = false;
    QDate startFrom {};
    QDate startTo {};
    // Hides closed jobs, and jobs without a status.
    bool activeOnly = false;
    // The first this many jobs in the board's order; 0 for all. SQLite and
    // PostgreSQL only (LIMIT).
    int firstJobs = 0;
    // Only the jobs past their status's alert: more days in their status
    // (counted from daysInStatusSince() to `today`) than WIPStatus.AlertDays.
    bool stalledOnly = false;
    QDate today {};
};

// When a job's days in its status count from, as a select-list expression:
// its last status change (StatusSince, which the history's trigger keeps),
// else its start date, else when it was entered.
QString daysInStatusSince();

// A statement with its values, to run with data::Connection::exec().
struct Select
{
    QString sql;
    QVariantList params;
};

// "SELECT <selectList> FROM" the jobs with their booked hours, filtered and in
// the board's order: customer, job type, start date, then ID. The select list
// may name WIP's columns (qualified "WIP.") and T.TotalTime, the job's summed
// hours (NULL for a job without bookings).
Select selectStatement(const data::Dialect &dialect, const Filter &filter, const QString &selectList);

// Column sets of selectJobs().
enum class JobColumns {
    // The board report's fields, by name: ID, Customer, Address, City, State,
    // Zip, Phone, JobType, Status, Rep, StartDate, DryingDays, Insurance,
    // Agent, Adjuster, Paperwork, InitialScope, Software, TypeOfPayment, Rugs,
    // RugsCleaned, Itel, ItelDate, AdjusterUpdatedDate, AdjusterUpdatedBy,
    // CarpetCleanRooms, HowHear, TimeOfService, TypeOfService,
    // EstimateComplete, Billed, Cos, MoveOut, CleanHVAC, ContentsCleaned,
    // Photos, AmountBilled, InvoiceID, Notes, EnteredBy, EnteredDate,
    // EditedBy, EditedDate, QBID, TotalTime (0 without bookings).
    Report,
    // The board's own reading (see BoardReader): its fields in BoardField order.
    Board,
};

QString selectList(JobColumns columns);

// The jobs the filter selects, in the board's order. Forward-only; throws
// data::DbError.
data::Rows selectJobs(data::Connection &db, const Filter &filter, JobColumns columns = JobColumns::Report);

// The fields of JobColumns::Board, in order. The cells follow the same order
// up to the hours; then the stamps' two parts make one cell each.
enum BoardField : int {
    FId,
    FCustomer,
    FJobType,
    FStatus,
    FRep,
    FStartDate,
    FCheckDryingDays,
    FStatusSince,
    FInsurance,
    FAgent,
    FAdjuster,
    FPaperwork,
    FInitialScope,
    FSoftware,
    FTypeOfPayment,
    FRugs,
    FRugsCleaned,
    FItel,
    FItelDate,
    FAdjusterUpdatedDate,
    FAdjusterUpdatedBy,
    FCarpetCleanRooms,
    FTimeOfService,
    FTypeOfService,
    FEstimateComplete,
    FBilled,
    FCos,
    FMoveOut,
    FCleanHvac,
    FContentsCleaned,
    FPhotos,
    FNotes,
    FAmountBilled,
    FTotalTime,
    FHowHear,
    FEnteredBy,
    FEnteredDate,
    FEditedBy,
    FEditedDate,
};
inline constexpr int kBoardFieldCount = FEditedDate + 1;

// The board's columns as stored: WIP's own, and T.TotalTime (NULL without
// bookings), in BoardField order.
const QStringList &boardFieldColumns();

// The filter lists: job type and status names, each in name order.
struct FilterLists
{
    QStringList jobTypes;
    QStringList statuses;
};
// Throws data::DbError.
FilterLists loadFilterLists(data::Connection &db);

// The background of a whole line by its job type; nothing for types that
// keep the grid's own. Colours are 0x00BBGGRR.
std::optional<quint32> jobTypeColour(QStringView jobType);

// A status as the board shows it: its cell's colour (0x00BBGGRR; the window
// background for an empty or unreadable code) and the days a job may stay in
// it before the board alerts (-1: never).
struct StatusLook
{
    QString name;
    quint32 colour = 0;
    int alertDays = -1;
};

// Every status, in one read. A name listed twice takes its smallest code, as
// on the entry screen, and its smallest alert. Throws data::DbError.
QList<StatusLook> loadStatusLooks(data::Connection &db);

} // namespace board
