#include "wip/WipLists.h"

#include "data/Database.h"

namespace wip {

namespace {

    // The first column of every row, in the query's order.
    QStringList column(data::Connection &db, const QString &sql)
    {
        data::Rows query = db.exec(sql);
        QStringList values;
        while (query.next())
            values << query.value(0).toString();
        return values;
    }

    // The distinct values of one text column. NULL and '' both mean "empty" and
    // appear as one empty item at the top, whichever end the server sorts NULLs to.
    //
    // On SQLite and PostgreSQL the values are walked through the column's index
    // one probe per distinct value (the next value above the last), so a column
    // of a few names over every job costs a few lookups, not a scan of every
    // row; '' is the lowest value, so it comes first when there. SQL Server
    // allows no subquery in a recursive query, and plain DISTINCT reads its
    // index in order.
    QStringList distinctValues(data::Connection &db, const QString &table, const QString &column)
    {
        const bool walk = db.dialect().kind() != data::DbKind::SqlServer;
        const QString sql = walk
            ? QStringLiteral("WITH RECURSIVE v(x) AS (SELECT MIN(%2) FROM %1 UNION ALL "
                             "SELECT (SELECT MIN(%2) FROM %1 WHERE %2 > v.x) FROM v WHERE v.x IS NOT NULL) "
                             "SELECT x FROM v WHERE x IS NOT NULL")
            : QStringLiteral("SELECT DISTINCT %2 FROM %1 ORDER BY %2");
        data::Rows query = db.exec(sql.arg(table, column));
        QStringList values;
        bool hasEmpty = false;
        while (query.next()) {
            QString value = query.value(0).toString();
            if (value.isEmpty())
                hasEmpty = true;
            else
                values << std::move(value);
        }
        if (walk && !hasEmpty)
            hasEmpty
                = db.scalar(QStringLiteral("SELECT 1 FROM %1 WHERE %2 IS NULL LIMIT 1").arg(table, column)).isValid();
        if (hasEmpty)
            values.prepend(QString());
        return values;
    }

} // namespace

QString pickerLabel(const QString &customer, qint64 id)
{
    return customer + QStringLiteral(" - ") + QString::number(id);
}

WipLists loadWipLists(data::Connection &db)
{
    WipLists lists;
    {
        data::Rows query = db.exec(QStringLiteral("SELECT ID,Customer FROM WIP ORDER BY Customer,ID"));
        while (query.next()) {
            const qint64 id = query.value(0).toLongLong();
            lists.wipLabels << pickerLabel(query.value(1).toString(), id);
            lists.wipIds << QString::number(id);
        }
    }
    lists.statuses = column(db, QStringLiteral("SELECT Name FROM WIPStatus ORDER BY Name"));
    lists.states = column(db, QStringLiteral("SELECT State FROM State ORDER BY State"));
    lists.jobTypes = column(db, QStringLiteral("SELECT Name FROM WIPJobType ORDER BY Name"));
    lists.software = column(db, QStringLiteral("SELECT Name FROM WIPSoftware ORDER BY Name"));
    lists.payments = column(db, QStringLiteral("SELECT Name FROM WIPPayment ORDER BY Name"));
    lists.typesOfService = column(db, QStringLiteral("SELECT Name FROM WIPTypeOfService ORDER BY Name"));
    const QString wip = QStringLiteral("WIP");
    lists.customers = distinctValues(db, wip, QStringLiteral("Customer"));
    lists.reps = distinctValues(db, wip, QStringLiteral("Rep"));
    lists.insurances = distinctValues(db, wip, QStringLiteral("Insurance"));
    lists.agents = distinctValues(db, wip, QStringLiteral("Agent"));
    lists.adjusters = distinctValues(db, wip, QStringLiteral("Adjuster"));
    lists.adjustersUpdated = distinctValues(db, wip, QStringLiteral("AdjusterUpdatedBy"));
    lists.subcontractors = distinctValues(db, QStringLiteral("WIPContractors"), QStringLiteral("Contractor"));
    return lists;
}

} // namespace wip
