#include "data/References.h"

#include "data/Database.h"
#include "data/Schema.h"

#include <QSqlRecord>
#include <array>

namespace data {

namespace {

    constexpr std::array kReferences = {
        // The data model's own links, kept by the older program and others.
        Reference { "Employee", "UserTypeID", "EmployeeType", OrphanRule::Report },
        Reference { "UserPermission", "UserID", "Employee", OrphanRule::Report },
        Reference { "UserPermission", "PermissionID", "Permission", OrphanRule::Report },
        Reference { "EmployeeLog", "UserID", "Employee", OrphanRule::Report },
        Reference { "WIPContractors", "WIPID", "WIP", OrphanRule::Report },
        Reference { "EmployeeTime", "WIPID", "WIP", OrphanRule::Report },
        Reference { "EmployeeTime", "EmployeeID", "Employee", OrphanRule::Report },
        // The program's own tables that hang from a job: another program may
        // delete the job.
        Reference { "DryingRoom", "WIPID", "WIP", OrphanRule::Report },
        Reference { "JobFile", "WIPID", "WIP", OrphanRule::Report },
        // The program's own tables among themselves.
        Reference { "DryingAtmosphere", "RoomID", "DryingRoom", OrphanRule::Delete },
        Reference { "MoisturePoint", "RoomID", "DryingRoom", OrphanRule::Delete },
        Reference { "MoistureReading", "PointID", "MoisturePoint", OrphanRule::Delete },
        Reference { "EquipmentPlacement", "EquipmentID", "Equipment", OrphanRule::Refuse },
        Reference { "EquipmentPlacement", "RoomID", "DryingRoom", OrphanRule::Refuse },
        Reference { "RoomSizing", "RoomID", "DryingRoom", OrphanRule::Delete },
        Reference { "JobFile", "RoomID", "DryingRoom", OrphanRule::Detach },
        Reference { "JobFile", "PointID", "MoisturePoint", OrphanRule::Detach },
    };

    // How many orphans' IDs a report names.
    constexpr int kNamedIds = 10;

    bool hasColumn(Connection &db, const QString &table, const QString &column)
    {
        return db.exec(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(table)).record().indexOf(column) >= 0;
    }

    QString orphanCondition(const Reference &r)
    {
        return QStringLiteral("C.%1 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM %2 P WHERE P.ID = C.%1)")
            .arg(QLatin1String(r.column), QLatin1String(r.parent));
    }

} // namespace

QString Reference::keyName() const
{
    return QStringLiteral("FK_%1_%2").arg(QLatin1String(table), QLatin1String(column));
}

std::span<const Reference> references()
{
    return kReferences;
}

QString ForeignKey::describe() const
{
    return QStringLiteral("%1.%2 -> %3 ON DELETE %4").arg(table, column, parent, onDelete);
}

QList<ForeignKey> readForeignKeys(Connection &db)
{
    Rows q = db.exec(db.dialect().foreignKeys());
    QList<ForeignKey> keys;
    while (q.next())
        keys << ForeignKey { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toString().toUpper() };
    return keys;
}

QString Orphans::describe() const
{
    QStringList named;
    for (qint64 id : ids)
        named << QString::number(id);
    return QStringLiteral("%1.%2 -> %3: %4 %5 (ID %6%7)")
        .arg(QLatin1String(reference.table), QLatin1String(reference.column), QLatin1String(reference.parent))
        .arg(count)
        .arg(count == 1 ? QStringLiteral("row") : QStringLiteral("rows"), named.join(QStringLiteral(", ")),
            count > ids.size() ? QStringLiteral(", ...") : QString());
}

Orphans findOrphans(Connection &db, const Reference &reference)
{
    Orphans found { reference, 0, {} };
    const QString from
        = QStringLiteral("%1 C WHERE %2").arg(QLatin1String(reference.table), orphanCondition(reference));
    found.count = db.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + from).toLongLong();
    if (found.count == 0)
        return found;
    Rows q
        = db.exec(db.dialect().selectTop(kNamedIds, QStringLiteral("C.ID"), from + QStringLiteral(" ORDER BY C.ID")));
    while (q.next())
        found.ids << q.value(0).toLongLong();
    return found;
}

QList<Orphans> findOrphans(Connection &db)
{
    QList<Orphans> all;
    for (const Reference &reference : references()) {
        const QString table = QLatin1String(reference.table);
        if (!hasTable(db, table) || !hasTable(db, QLatin1String(reference.parent))
            || !hasColumn(db, table, QLatin1String(reference.column)))
            continue;
        Orphans found = findOrphans(db, reference);
        if (found.count > 0)
            all << found;
    }
    return all;
}

} // namespace data
