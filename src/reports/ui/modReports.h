#pragma once

#include <QString>
#include <functional>

class AppContext;
class QWidget;
namespace board {
struct Filter;
}

// The report procedures the screens call. Each builds its report from the
// database (under the hourglass) and shows it in the report viewer, the one
// Viewer window of the main window that `caller` sits in; a report that
// cannot be built is explained to the user and leaves the viewer as it was.
namespace modReports {

// The work order of the WIP whose ID is given as text (decimal digits).
// False when it could not be shown.
bool PrintWIPDetailReport(AppContext &context, QWidget *caller, const QString &wipID);

// The board report of the jobs the navigator's filters select (its current
// filters, which may differ from what its grid shows since the last
// Refresh). False when it could not be shown.
bool PrintWIPsBoardReport(AppContext &context, QWidget *caller, const board::Filter &filter);

// The drying log of the WIP whose ID is given as text, with its charts.
// False when it could not be shown.
bool PrintDryingLog(AppContext &context, QWidget *caller, const QString &wipID);

// Runs work with the hourglass; a report error is shown with `title`, a
// database or other error as Messages::guarded shows it. False on failure.
bool reportGuarded(QWidget *parent, const QString &title, const std::function<void()> &work);

} // namespace modReports

using modReports::reportGuarded;
