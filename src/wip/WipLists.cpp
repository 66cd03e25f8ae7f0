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

    // Whether some row holds `value` in the column, '' and NULL being one.
    bool held(data::Connection &db, const QString &table, const QString &column, const QString &value)
    {
        const QString where = value.isEmpty() ? QStringLiteral("%2 IS NULL OR %2 = ''") : QStringLiteral("%2 = ?");
        const QString sql = (QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM %1 WHERE ") + where
            + QStringLiteral(") THEN 1 ELSE 0 END"))
                                .arg(table, column);
        return db.scalar(sql, value.isEmpty() ? QVariantList {} : QVariantList { value }).toInt() == 1;
    }

    // Keeps one value of a distinctValues() list as a fresh read would: in
    // the column's order when some row holds it, gone when none does.
    bool syncValue(
        data::Connection &db, QStringList &values, const QString &table, const QString &column, const QString &value)
    {
        const qsizetype at
            = value.isEmpty() ? (values.value(0).isEmpty() && !values.isEmpty() ? 0 : -1) : values.indexOf(value);
        const bool there = held(db, table, column, value);
        if (there == (at >= 0))
            return false;
        if (!there) {
            values.removeAt(at);
        } else if (value.isEmpty()) {
            values.prepend(QString());
        } else {
            // Before the next value up in the server's order, found through
            // the column's index.
            const QVariant next
                = db.scalar(QStringLiteral("SELECT MIN(%2) FROM %1 WHERE %2 > ?").arg(table, column), { value });
            const qsizetype before = next.isNull() ? -1 : values.indexOf(next.toString());
            values.insert(before < 0 ? values.size() : before, value);
        }
        return true;
    }

    // The ID of the job that follows (customer, id) in the picker's order,
    // or 0 for none; each step is a seek in the (Customer, ID) index.
    qint64 nextInPicker(data::Connection &db, const QString &customer, qint64 id)
    {
        QVariant next
            = db.scalar(QStringLiteral("SELECT MIN(ID) FROM WIP WHERE Customer = ? AND ID > ?"), { customer, id });
        if (next.isNull()) {
            const QVariant name
                = db.scalar(QStringLiteral("SELECT MIN(Customer) FROM WIP WHERE Customer > ?"), { customer });
            if (!name.isNull())
                next = db.scalar(QStringLiteral("SELECT MIN(ID) FROM WIP WHERE Customer = ?"), { name });
            else if (db.dialect().kind() == data::DbKind::PostgreSQL)
                // PostgreSQL sorts a missing customer last.
                next = db.scalar(QStringLiteral("SELECT MIN(ID) FROM WIP WHERE Customer IS NULL"));
        }
        return next.isNull() ? 0 : next.toLongLong();
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

namespace wip {

QList<WipList> updateWipLists(data::Connection &db, WipLists &lists, const SavedWip &save)
{
    QList<WipList> changed;
    const WipRecord &was = save.before;
    const WipRecord &now = save.after;

    // The picker: the saved job's entry added, or moved when its customer
    // changed (the label and the order both follow the customer).
    if (was.id != now.id || was.customer != now.customer) {
        const QString id = QString::number(now.id);
        const qsizetype old = lists.wipIds.indexOf(id);
        if (old >= 0) {
            lists.wipIds.removeAt(old);
            lists.wipLabels.removeAt(old);
        }
        const qint64 next = nextInPicker(db, now.customer, now.id);
        qsizetype at = next != 0 ? lists.wipIds.indexOf(QString::number(next)) : -1;
        if (at < 0)
            at = lists.wipIds.size();
        lists.wipIds.insert(at, id);
        lists.wipLabels.insert(at, pickerLabel(now.customer, now.id));
        changed << &WipLists::wipLabels << &WipLists::wipIds;
    }

    // The lookup tables' lists cannot change by a save of a job; the
    // free-text fields' lists only by the values a field left and took.
    const QString wip = QStringLiteral("WIP");
    const struct
    {
        WipList list;
        QString WipRecord::*field;
        const char *column;
    } texts[] = {
        { &WipLists::customers, &WipRecord::customer, "Customer" },
        { &WipLists::reps, &WipRecord::rep, "Rep" },
        { &WipLists::insurances, &WipRecord::insurance, "Insurance" },
        { &WipLists::agents, &WipRecord::agent, "Agent" },
        { &WipLists::adjusters, &WipRecord::adjuster, "Adjuster" },
        { &WipLists::adjustersUpdated, &WipRecord::adjusterUpdatedBy, "AdjusterUpdatedBy" },
    };
    for (const auto &text : texts) {
        const QString &before = was.*text.field;
        const QString &after = now.*text.field;
        if (was.id == now.id && before == after)
            continue;
        const QString column = QString::fromLatin1(text.column);
        QStringList &values = lists.*text.list;
        bool moved = syncValue(db, values, wip, column, after);
        // A new job's empty record held nothing in the table.
        if (was.id != 0 && before != after)
            moved = syncValue(db, values, wip, column, before) || moved;
        if (moved)
            changed << text.list;
    }

    // Subcontractors: the names the save took off the job or put on it.
    QStringList differing;
    QStringList added = save.contractorsAfter;
    for (const QString &name : save.contractorsBefore) {
        if (!added.removeOne(name))
            differing << name;
    }
    differing << added;
    differing.removeDuplicates();
    bool moved = false;
    for (const QString &name : std::as_const(differing))
        moved
            = syncValue(db, lists.subcontractors, QStringLiteral("WIPContractors"), QStringLiteral("Contractor"), name)
            || moved;
    if (moved)
        changed << &WipLists::subcontractors;
    return changed;
}

} // namespace wip
