#include "reports/Reports.h"

#include "data/Database.h"
#include "reports/crptWIPDetailReport.h"

#include <QRegularExpression>

namespace reports {

namespace {

    // The 45 fields of the work order's and the board's tables, from WIP
    // and the hours booked on each job (summed once per job rather than
    // grouped by every WIP column). The drying days are counted to `today`
    // for a job whose days are watched, as the board shows them, rather than
    // the count stored at the job's last save. Two parameters: true, today.
    QString wipColumns(const data::Dialect &dialect)
    {
        return QStringLiteral("SELECT WIP.ID, WIP.Customer, WIP.Address, WIP.City, WIP.State, WIP.Zip, WIP.Phone, "
                              "WIP.JobType, WIP.Status, WIP.Rep, WIP.StartDate, "
                              "CASE WHEN WIP.CheckDryingDays = ? THEN %1 END AS DryingDays, "
                              "WIP.Insurance, WIP.Agent, WIP.Adjuster, WIP.Paperwork, WIP.InitialScope, WIP.Software, "
                              "WIP.TypeOfPayment, WIP.Rugs, WIP.RugsCleaned, WIP.Itel, WIP.ItelDate, "
                              "WIP.AdjusterUpdatedDate, WIP.AdjusterUpdatedBy, WIP.CarpetCleanRooms, WIP.HowHear, "
                              "WIP.TimeOfService, WIP.TypeOfService, WIP.EstimateComplete, WIP.Billed, WIP.Cos, "
                              "WIP.MoveOut, WIP.CleanHVAC, WIP.ContentsCleaned, WIP.Photos, WIP.AmountBilled, "
                              "WIP.InvoiceID, WIP.Notes, WIP.EnteredBy, WIP.EnteredDate, WIP.EditedBy, WIP.EditedDate, "
                              "WIP.QBID, %2 AS TotalTime "
                              "FROM WIP LEFT JOIN (SELECT WIPID, SUM(Hours) AS Hours FROM EmployeeTime GROUP BY WIPID) "
                              "Booked ON Booked.WIPID = WIP.ID ")
            .arg(dialect.daysBetween(QStringLiteral("WIP.StartDate"), QStringLiteral("?")),
                dialect.isNull(QStringLiteral("Booked.Hours"), QStringLiteral("0")));
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
    report.setMainData(db.exec(wipColumns(db.dialect()) + QStringLiteral("WHERE WIP.ID = ?"), { true, today, wipId }));
    return report.document(texts);
}

} // namespace reports
