#include "reports/Reports.h"

#include "base/Formats.h"
#include "board/BoardQuery.h"
#include "data/Database.h"
#include "reports/PhotoSection.h"
#include "reports/crptWIPDetailReport.h"
#include "reports/crptWIPSBoardReport.h"

#include <QRegularExpression>

namespace reports {

namespace {

    // The 45 fields of the work order's and the board's tables, from WIP,
    // with `totalTime` for the hours booked on the job. The drying days are
    // counted to today for a job whose days are watched, as the board shows
    // them, rather than the count stored at the job's last save: two
    // parameters, true and today, come first.
    QString reportColumns(const data::Dialect &dialect, const QString &totalTime)
    {
        return QStringLiteral("WIP.ID, WIP.Customer, WIP.Address, WIP.City, WIP.State, WIP.Zip, WIP.Phone, "
                              "WIP.JobType, WIP.Status, WIP.Rep, WIP.StartDate, "
                              "CASE WHEN WIP.CheckDryingDays = ? THEN %1 END AS DryingDays, "
                              "WIP.Insurance, WIP.Agent, WIP.Adjuster, WIP.Paperwork, WIP.InitialScope, WIP.Software, "
                              "WIP.TypeOfPayment, WIP.Rugs, WIP.RugsCleaned, WIP.Itel, WIP.ItelDate, "
                              "WIP.AdjusterUpdatedDate, WIP.AdjusterUpdatedBy, WIP.CarpetCleanRooms, WIP.HowHear, "
                              "WIP.TimeOfService, WIP.TypeOfService, WIP.EstimateComplete, WIP.Billed, WIP.COS AS Cos, "
                              "WIP.MoveOut, WIP.CleanHVAC, WIP.ContentsCleaned, WIP.Photos, WIP.AmountBilled, "
                              "WIP.InvoiceID, WIP.Notes, WIP.EnteredBy, WIP.EnteredDate, WIP.EditedBy, WIP.EditedDate, "
                              "WIP.QBID, %2 AS TotalTime")
            .arg(dialect.daysBetween(QStringLiteral("WIP.StartDate"), QStringLiteral("?")),
                dialect.isNull(totalTime, QStringLiteral("0")));
    }

    // The selection under the board report's title, as the office set it.
    QString describe(const board::Filter &filter)
    {
        QStringList parts;
        if (!filter.jobType.isEmpty())
            parts << QStringLiteral("Type %1").arg(filter.jobType);
        if (!filter.status.isEmpty())
            parts << QStringLiteral("Status %1").arg(filter.status);
        if (!filter.search.isEmpty())
            parts << QStringLiteral("Customer contains \u201c%1\u201d").arg(filter.search);
        if (filter.useDates)
            parts << QStringLiteral("Started %1 to %2")
                         .arg(Formats::date(filter.startFrom), Formats::date(filter.startTo));
        parts << (filter.activeOnly ? QStringLiteral("Active only") : QStringLiteral("Closed jobs included"));
        if (filter.stalledOnly)
            parts << QStringLiteral("Stalled only");
        return parts.join(QStringLiteral(" \u00b7 "));
    }

} // namespace

std::optional<qint64> parseWipId(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

Document workOrder(data::Connection &db, qint64 wipId, const RunTexts &texts, const QDate &today)
{
    crptWIPDetailReport report;
    report.setContractorData(db.exec(
        QStringLiteral("SELECT Contractor FROM WIPContractors WHERE WIPID = ? ORDER BY Contractor"), { wipId }));
    report.setTimeData(db.exec(
        QStringLiteral("SELECT Employee.LastName, Employee.FirstName, EmployeeTime.TranDate, EmployeeTime.Hours, "
                       "EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate, EmployeeTime.EditedBy, "
                       "EmployeeTime.EditedDate FROM EmployeeTime LEFT JOIN Employee ON EmployeeTime.EmployeeID = "
                       "Employee.ID WHERE EmployeeTime.WIPID = ? ORDER BY EmployeeTime.TranDate, Employee.LastName, "
                       "Employee.FirstName"),
        { wipId }));
    // One job: its hours summed alone rather than every job's.
    report.setMainData(db.exec(QStringLiteral("SELECT %1 FROM WIP WHERE WIP.ID = ?")
                                   .arg(reportColumns(db.dialect(),
                                       QStringLiteral("(SELECT SUM(Hours) FROM EmployeeTime "
                                                      "WHERE EmployeeTime.WIPID = WIP.ID)"))),
        { true, today, wipId }));
    Document document = report.document(texts);
    document.photos = jobPhotos(db, wipId);
    return document;
}

Document boardReport(data::Connection &db, const board::Filter &filter, const RunTexts &texts, const QDate &today)
{
    // The board's own selection and order, with the report's columns.
    // With each job's days in its status, counted to today as on the board.
    const QString columns = reportColumns(db.dialect(), QStringLiteral("T.TotalTime"))
        + QStringLiteral(", %1 AS DaysInStatus")
              .arg(db.dialect().daysBetween(board::daysInStatusSince(), QStringLiteral("?")));
    board::Select select = board::selectStatement(db.dialect(), filter, columns);
    select.params = QVariantList { true, today, today } + select.params;
    crptWIPSBoardReport report;
    report.setData(db.exec(select.sql, select.params));
    return report.document(texts, describe(filter));
}

} // namespace reports
