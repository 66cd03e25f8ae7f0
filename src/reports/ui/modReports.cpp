#include "reports/ui/modReports.h"

#include "base/Clock.h"
#include "base/Permissions.h"
#include "board/BoardQuery.h"
#include "charts/LineChart.h"
#include "reports/ReportData.h"
#include "reports/Reports.h"
#include "reports/crptDryingLog.h"
#include "reports/ui/Viewer.h"
#include "shell/AppContext.h"
#include "widgets/Messages.h"
#include "widgets/ScreenHost.h"

#include <QApplication>
#include <optional>

namespace modReports {

namespace {

    reports::RunTexts runTexts(const AppContext &context)
    {
        return reports::runTexts(context.company(), context.Username(), Clock::now());
    }

    // What each report shows is guarded by the permission of the screen it
    // belongs to: the job's work order and drying log by the job's entry
    // screen, the board report by the board.
    bool show(QWidget *caller, reports::Document &&report, const QString &permission)
    {
        ScreenHost *host = ScreenHost::of(caller);
        auto *viewer = host ? qobject_cast<Viewer *>(host->showScreen(QStringLiteral("Viewer"), permission)) : nullptr;
        if (!viewer)
            return false;
        viewer->showReport(std::move(report));
        return true;
    }

} // namespace

bool reportGuarded(QWidget *parent, const QString &title, const std::function<void()> &work)
{
    std::optional<QString> reportProblem;
    const bool done = Messages::guarded(parent, [&] {
        const WaitCursor wait;
        try {
            work();
        } catch (const reports::ReportError &error) {
            reportProblem = error.message();
        }
    });
    if (reportProblem) {
        Messages::show(parent, *reportProblem, title, Messages::Icon::Critical);
        return false;
    }
    return done;
}

bool PrintWIPDetailReport(AppContext &context, QWidget *caller, const QString &wipID)
{
    std::optional<reports::Document> report;
    const bool built = reportGuarded(caller, QStringLiteral("Work Order"), [&] {
        const std::optional<qint64> id = reports::parseWipId(wipID);
        if (!id)
            throw reports::ReportError(QStringLiteral("\"%1\" is not the number of a WIP.").arg(wipID));
        report = reports::workOrder(context.db(), *id, runTexts(context), Clock::today());
    });
    return built && show(caller, std::move(*report), Permissions::wipEntry);
}

bool PrintWIPsBoardReport(AppContext &context, QWidget *caller, const board::Filter &filter)
{
    std::optional<reports::Document> report;
    const bool built = reportGuarded(caller, QStringLiteral("WIPs Board"),
        [&] { report = reports::boardReport(context.db(), filter, runTexts(context), Clock::today()); });
    return built && show(caller, std::move(*report), Permissions::wipNavigator);
}

bool PrintDryingLog(AppContext &context, QWidget *caller, const QString &wipID)
{
    std::optional<reports::Document> report;
    const bool built = reportGuarded(caller, QStringLiteral("Drying Log"), [&] {
        const std::optional<qint64> id = reports::parseWipId(wipID);
        if (!id)
            throw reports::ReportError(QStringLiteral("\"%1\" is not the number of a WIP.").arg(wipID));
        report = reports::dryingLog(context.db(), *id, runTexts(context), Clock::today(),
            context.company().temperatureUnit, charts::paintChart);
    });
    return built && show(caller, std::move(*report), Permissions::wipEntry);
}

} // namespace modReports
