#include "settings/WipStatus.h"

#include "base/Colors.h"
#include "data/Database.h"
#include "data/RowMap.h"
#include "data/Schema.h"

namespace WipStatus {

QList<Status> loadList(data::Connection &db)
{
    QList<Status> list;
    data::Rows q = db.exec(QStringLiteral("SELECT ID,Name FROM WIPStatus ORDER BY Name"));
    while (q.next())
        list.append({ q.value(0).toLongLong(), q.value(1).toString(), QString(), QVariant() });
    return list;
}

std::optional<Status> load(data::Connection &db, qint64 id)
{
    return data::one(
        db.exec(QStringLiteral("SELECT ID,Name,ColorCode,AlertDays,RowVersion FROM WIPStatus WHERE ID = ?"), { id }),
        [](const data::Row &r) {
            const QVariant alert = r["AlertDays"];
            return Status { r["ID"].toLongLong(), r["Name"].toString(), r["ColorCode"].toString(), r["RowVersion"],
                r.read({ "Name", "ColorCode", "AlertDays" }),
                alert.isNull() ? QString() : QString::number(alert.toLongLong()) };
        });
}

quint32 swatchColor(const QString &colorCode)
{
    return Colors::parseOr(colorCode, Colors::kWhite);
}

std::variant<qint64, FieldProblem> save(data::Connection &db, const Status &status)
{
    const QString name = status.name.trimmed();
    // A name of blanks alone would be stored empty.
    if (name.isEmpty())
        return FieldProblem { QStringLiteral("Name"), QStringLiteral("Name is required before saving."),
            QStringLiteral("Required Fields") };

    if (std::optional<FieldProblem> problem
        = data::tooLong(QStringLiteral("WIPStatus"), { { QStringLiteral("Name"), name } }))
        return *problem;
    const QString alertText = status.alertDays.trimmed();
    bool whole = alertText.isEmpty();
    const int alertDays = whole ? 0 : alertText.toInt(&whole);
    if (!whole || alertDays < 0 || alertDays > kMaxAlertDays)
        return FieldProblem { QStringLiteral("AlertDays"),
            QStringLiteral("Alert after days in this status must be a whole number of days from 0 to %1, or empty "
                           "for no alert.")
                .arg(kMaxAlertDays),
            QStringLiteral("Invalid Number") };
    const data::Fields fields { { QStringLiteral("Name"), name }, { QStringLiteral("ColorCode"), status.colorCode },
        { QStringLiteral("AlertDays"),
            alertText.isEmpty() ? QVariant(QMetaType(QMetaType::Int)) : QVariant(alertDays) } };
    data::Transaction transaction(db);
    const bool taken
        = db.scalar(QStringLiteral("SELECT COUNT(*) FROM WIPStatus WHERE ")
                    + db.dialect().equalsIgnoreCase(QStringLiteral("LTRIM(RTRIM(Name))"), QStringLiteral("?"))
                    + QStringLiteral(" AND ID <> ?"),
                { name, status.id })
              .toLongLong()
        > 0;
    if (taken)
        return FieldProblem { QStringLiteral("Name"),
            QStringLiteral("There is already a status named \"%1\".  Please choose a different name.").arg(name),
            QStringLiteral("Status Exists") };
    const qint64 id = db.saveRow(
        QStringLiteral("WIPStatus"), status.id, fields, status.loaded, status.rowVersion, QStringLiteral("Status"));
    transaction.commit();
    return id;
}

} // namespace WipStatus
