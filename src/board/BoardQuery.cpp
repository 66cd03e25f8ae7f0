#include "board/BoardQuery.h"

#include "base/Colors.h"
#include "data/Database.h"

#include <QDateTime>
#include <QVariant>
#include <initializer_list>

namespace board {

namespace {

    QStringList column(data::Connection &db, const QString &sql)
    {
        QStringList values;
        data::Rows query = db.exec(sql);
        while (query.next())
            values << query.value(0).toString();
        return values;
    }

} // namespace

const QStringList &headers()
{
    static const QStringList texts = { QStringLiteral("ID"), QStringLiteral("Customer"), QStringLiteral("Type"),
        QStringLiteral("Status"), QStringLiteral("Rep"), QStringLiteral("Start Date"), QStringLiteral("Drying Days"),
        QStringLiteral("Days in Status"), QStringLiteral("Insurance"), QStringLiteral("Agent"),
        QStringLiteral("Adjuster"), QStringLiteral("Paperwork"), QStringLiteral("Initial Scope"),
        QStringLiteral("Software"), QStringLiteral("Payment Type"), QStringLiteral("Rugs"),
        QStringLiteral("Rugs Cleaned"), QStringLiteral("Itel-Asbestos"), QStringLiteral("Itel Sent"),
        QStringLiteral("Adj. Updated Date"), QStringLiteral("Adj. Updated By"), QStringLiteral("Carpet Clean Rms."),
        QStringLiteral("Time of Service"), QStringLiteral("Type of Service"), QStringLiteral("Estimate Complete"),
        QStringLiteral("Billed"), QStringLiteral("COS Sent"), QStringLiteral("Moveout"), QStringLiteral("Clean HVAC"),
        QStringLiteral("Contents Cleaned"), QStringLiteral("Photos"), QStringLiteral("Notes"),
        QStringLiteral("Billed Amount"), QStringLiteral("Hours"), QStringLiteral("How Hear"), QStringLiteral("Entered"),
        QStringLiteral("Edited"), QStringLiteral("Flash") };
    Q_ASSERT(texts.size() == kColumnCount);
    return texts;
}

namespace {

    // " WHERE ..." of the filter (empty for none), its values added to params.
    QString whereClause(const data::Dialect &dialect, const Filter &filter, QVariantList &params)
    {
        QStringList conditions;
        if (!filter.jobType.isEmpty()) {
            conditions << QStringLiteral("WIP.JobType = ?");
            params << filter.jobType;
        }
        if (!filter.status.isEmpty()) {
            conditions << QStringLiteral("WIP.Status = ?");
            params << filter.status;
        }
        if (!filter.search.isEmpty()) {
            conditions << data::containsCondition(QStringLiteral("WIP.Customer"));
            params << data::containsPattern(filter.search);
        }
        if (filter.useDates) {
            conditions << QStringLiteral("WIP.StartDate >= ? AND WIP.StartDate <= ?");
            params << QDateTime(filter.startFrom, QTime(0, 0)) << QDateTime(filter.startTo, QTime(0, 0));
        }
        if (filter.activeOnly) {
            // A NULL status is not unequal to anything: such jobs are hidden too.
            conditions << QStringLiteral("WIP.Status <> ?");
            params << QStringLiteral("Closed");
        }
        if (filter.stalledOnly) {
            conditions << QStringLiteral("EXISTS (SELECT 1 FROM WIPStatus S WHERE S.Name = WIP.Status AND "
                                         "S.AlertDays IS NOT NULL AND %1 > S.AlertDays)")
                              .arg(dialect.daysBetween(daysInStatusSince(), QStringLiteral("?")));
            params << filter.today;
        }
        return conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    }

    const QString kBoardOrder = QStringLiteral(" ORDER BY WIP.Customer, WIP.JobType, WIP.StartDate, WIP.ID");

} // namespace

Select selectStatement(const data::Dialect &dialect, const Filter &filter, const QString &selectList)
{
    Select select;
    if (filter.firstJobs > 0) {
        // The first jobs alone, their hours summed from their own bookings:
        // read through the index in the board's order, a screenful comes
        // back at once, before the sums of every job could.
        const QString where = whereClause(dialect, filter, select.params);
        select.params << filter.firstJobs;
        select.sql = QStringLiteral("SELECT %1 FROM WIP LEFT JOIN "
                                    "(SELECT WIPID, SUM(Hours) AS TotalTime FROM EmployeeTime WHERE WIPID IN "
                                    "(SELECT WIP.ID FROM WIP%2%3 LIMIT ?) GROUP BY WIPID) T "
                                    "ON T.WIPID = WIP.ID")
                         .arg(selectList, where, kBoardOrder);
        select.sql += whereClause(dialect, filter, select.params) + kBoardOrder + QStringLiteral(" LIMIT ?");
        select.params << filter.firstJobs;
        return select;
    }
    // The hours come from one sum per job, joined once: grouping the jobs
    // themselves would sort every column of every job with its bookings.
    // SQLite would rather walk an index in the board's order and fetch every
    // job from all over the table than read the table through and sort it,
    // which is faster for a whole board.
    const QString jobs
        = dialect.kind() == data::DbKind::SQLite ? QStringLiteral("WIP NOT INDEXED") : QStringLiteral("WIP");
    select.sql = QStringLiteral("SELECT %1 FROM %2 LEFT JOIN "
                                "(SELECT WIPID, SUM(Hours) AS TotalTime FROM EmployeeTime GROUP BY WIPID) T "
                                "ON T.WIPID = WIP.ID")
                     .arg(selectList, jobs);
    select.sql += whereClause(dialect, filter, select.params) + kBoardOrder;
    return select;
}

QString daysInStatusSince()
{
    return QStringLiteral("COALESCE(WIP.StatusSince, WIP.StartDate, WIP.EnteredDate)");
}

const QStringList &boardFieldColumns()
{
    static const QStringList columns = [] {
        QStringList list;
        for (const char *name : std::initializer_list<const char *> { "ID", "Customer", "JobType", "Status", "Rep",
                 "StartDate", "CheckDryingDays", "", "Insurance", "Agent", "Adjuster", "Paperwork", "InitialScope",
                 "Software", "TypeOfPayment", "Rugs", "RugsCleaned", "Itel", "ItelDate", "AdjusterUpdatedDate",
                 "AdjusterUpdatedBy", "CarpetCleanRooms", "TimeOfService", "TypeOfService", "EstimateComplete",
                 "Billed", "COS", "MoveOut", "CleanHVAC", "ContentsCleaned", "Photos", "Notes", "AmountBilled", nullptr,
                 "HowHear", "EnteredBy", "EnteredDate", "EditedBy", "EditedDate" })
            list << (!name  ? QStringLiteral("T.TotalTime")
                    : *name ? QStringLiteral("WIP.") + QLatin1String(name)
                            : daysInStatusSince());
        Q_ASSERT(list.size() == kBoardFieldCount);
        return list;
    }();
    return columns;
}

QString selectList(JobColumns columns)
{
    if (columns == JobColumns::Board) {
        QStringList list = boardFieldColumns();
        list[FTotalTime] = QStringLiteral("COALESCE(T.TotalTime, 0) AS TotalTime");
        return list.join(QStringLiteral(", "));
    }
    return QStringLiteral(
        "WIP.ID, WIP.Customer, WIP.Address, WIP.City, WIP.State, WIP.Zip, WIP.Phone, WIP.JobType, WIP.Status, "
        "WIP.Rep, WIP.StartDate, WIP.DryingDays, WIP.Insurance, WIP.Agent, WIP.Adjuster, WIP.Paperwork, "
        "WIP.InitialScope, WIP.Software, WIP.TypeOfPayment, WIP.Rugs, WIP.RugsCleaned, WIP.Itel, WIP.ItelDate, "
        "WIP.AdjusterUpdatedDate, WIP.AdjusterUpdatedBy, WIP.CarpetCleanRooms, WIP.HowHear, WIP.TimeOfService, "
        "WIP.TypeOfService, WIP.EstimateComplete, WIP.Billed, WIP.COS AS Cos, WIP.MoveOut, WIP.CleanHVAC, "
        "WIP.ContentsCleaned, WIP.Photos, WIP.AmountBilled, WIP.InvoiceID, WIP.Notes, WIP.EnteredBy, "
        "WIP.EnteredDate, WIP.EditedBy, WIP.EditedDate, WIP.QBID, COALESCE(T.TotalTime, 0) AS TotalTime");
}

data::Rows selectJobs(data::Connection &db, const Filter &filter, JobColumns columns)
{
    const Select select = selectStatement(db.dialect(), filter, selectList(columns));
    return db.exec(select.sql, select.params);
}

FilterLists loadFilterLists(data::Connection &db)
{
    FilterLists lists;
    lists.jobTypes = column(db, QStringLiteral("SELECT Name FROM WIPJobType ORDER BY Name"));
    lists.statuses = column(db, QStringLiteral("SELECT Name FROM WIPStatus ORDER BY Name"));
    return lists;
}

std::optional<quint32> jobTypeColour(QStringView jobType)
{
    if (jobType == u"Fire")
        return 0xC0C0FFu;
    if (jobType == u"Water")
        return 0xFFFFC0u;
    if (jobType == u"Work Order")
        return 0xC0FFFFu;
    return std::nullopt;
}

QList<StatusLook> loadStatusLooks(data::Connection &db)
{
    QList<StatusLook> looks;
    data::Rows query
        = db.exec(QStringLiteral("SELECT Name, MIN(ColorCode), MIN(AlertDays) FROM WIPStatus GROUP BY Name"));
    while (query.next())
        looks.append({ query.value(0).toString(), Colors::parseOr(query.value(1).toString(), Colors::kWindowBackground),
            query.isNull(2) ? -1 : query.value(2).toInt() });
    return looks;
}

} // namespace board
