#pragma once

#include "staff/TimeLines.h"

#include <QList>
#include <QString>

class GridWidget;

// The bookings grid that the time manager and a job's labour tab share:
// seven columns "ID", "Date", the third named by the screen ("WIP" or
// "Employee"), "Hours", "Notes", "Entered", "Edited"; one fixed header row.
namespace TimeGrid {

// Empties the grid and writes the header row, formatted.
void SetupTimeGrid(GridWidget *grid, const QString &thirdHeader);
// Every cell centred, the ID hidden, the date typed as a date, hours
// "#,##0.00", widths fitted with the notes column at 5000 twips.
void FormatTimeGrid(GridWidget *grid);
// The header, one row per line in the given order, formatted.
void fill(GridWidget *grid, const QString &thirdHeader, const QList<staff::TimeLine> &lines);
// The booking's ID in column 0 of the current data row; empty when there is
// none.
QString currentId(const GridWidget *grid);
// Opens the current row's booking in the time entry screen, in front (the
// lines' double-click on either screen).
void openCurrentBooking(const GridWidget *grid);

} // namespace TimeGrid
