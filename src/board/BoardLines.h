#pragma once

#include "board/BoardQuery.h"

#include <QDate>
#include <QSqlQuery>
#include <QString>

// One line of the board per job: its 37 cells as text, and what colours it.
namespace board {

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

// Reads the current row of selectJobs(..., JobColumns::Board) into `line`,
// reusing its buffers, for the given day and the company's drying-days limit.
void readBoardLine(const QSqlQuery &query, const QDate &today, int dryingLimit, BoardLine &line);

} // namespace board
