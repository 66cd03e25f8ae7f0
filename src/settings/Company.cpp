#include "settings/Company.h"

#include "data/Database.h"

#include <QSqlRecord>
#include <cmath>

namespace Company {

namespace {

    QString text(const QSqlRecord &r, const char *column)
    {
        const QVariant v = r.value(QString::fromLatin1(column));
        return v.isNull() ? QString() : v.toString();
    }

    double number(const QSqlRecord &r, const char *column)
    {
        const QVariant v = r.value(QString::fromLatin1(column));
        return v.isNull() ? 0.0 : v.toDouble();
    }

} // namespace

std::optional<QSqlRecord> firstRow(data::Connection &db)
{
    data::Rows q = db.exec(db.dialect().selectTop(1, QStringLiteral("*"), QStringLiteral("Company ORDER BY ID")));
    // A setting whose column is missing would silently read as empty or 0.
    const QSqlRecord columns = q.record();
    for (const char *column : { "Name", "Address1", "Address2", "City", "State", "Zip", "Phone", "Fax", "Email",
             "Website", "KeyPressDelay", "QBItemName", "QBItemDescription", "QBItemAmount", "DryingDays",
             "TemperatureUnit", "DryingLogAlert", "BillEquipmentDays", "BackupsToKeep", "ProgramBackups" }) {
        if (columns.indexOf(QLatin1String(column)) < 0)
            throw data::DbError(
                QStringLiteral("-1"), QStringLiteral("The Company table has no column %1.").arg(QLatin1String(column)));
    }
    if (!q.next())
        return std::nullopt;
    return q.record();
}

namespace {

    // The columns the settings screen edits, as saved.
    data::Fields columns(const CompanyRow &row)
    {
        return {
            { QStringLiteral("Name"), row.name },
            { QStringLiteral("Address1"), row.address1 },
            { QStringLiteral("Address2"), row.address2 },
            { QStringLiteral("City"), row.city },
            { QStringLiteral("State"), row.state },
            { QStringLiteral("Zip"), row.zip },
            { QStringLiteral("Phone"), row.phone },
            { QStringLiteral("Fax"), row.fax },
            { QStringLiteral("Website"), row.website },
            { QStringLiteral("Email"), row.email },
            { QStringLiteral("KeyPressDelay"), row.keyPressDelay },
            { QStringLiteral("QBItemName"), row.qbItemName },
            { QStringLiteral("QBItemDescription"), row.qbItemDescription },
            { QStringLiteral("QBItemAmount"), row.qbItemAmount },
            { QStringLiteral("DryingDays"), row.dryingDays },
            { QStringLiteral("TemperatureUnit"), row.temperatureUnit },
            { QStringLiteral("DryingLogAlert"), row.dryingLogAlert },
            { QStringLiteral("BillEquipmentDays"), row.billEquipmentDays },
            { QStringLiteral("BackupsToKeep"), row.backupsToKeep },
            { QStringLiteral("ProgramBackups"), row.programBackups ? QVariant(*row.programBackups) : QVariant() },
        };
    }

} // namespace

CompanyRow fromRecord(const QSqlRecord &r)
{
    CompanyRow row;
    row.name = text(r, "Name");
    row.address1 = text(r, "Address1");
    row.address2 = text(r, "Address2");
    row.city = text(r, "City");
    row.state = text(r, "State");
    row.zip = text(r, "Zip");
    row.phone = text(r, "Phone");
    row.fax = text(r, "Fax");
    row.email = text(r, "Email");
    row.website = text(r, "Website");
    row.keyPressDelay = number(r, "KeyPressDelay");
    row.qbItemName = text(r, "QBItemName");
    row.qbItemDescription = text(r, "QBItemDescription");
    row.qbItemAmount = number(r, "QBItemAmount");
    row.dryingDays = static_cast<int>(std::nearbyint(number(r, "DryingDays")));
    row.temperatureUnit = text(r, "TemperatureUnit").trimmed().compare(u"C", Qt::CaseInsensitive) == 0
        ? QStringLiteral("C")
        : QStringLiteral("F");
    row.dryingLogAlert = r.value(QStringLiteral("DryingLogAlert")).toBool();
    row.billEquipmentDays = r.value(QStringLiteral("BillEquipmentDays")).toBool();
    const QVariant keep = r.value(QStringLiteral("BackupsToKeep"));
    row.backupsToKeep = !keep.isNull() && keep.toInt() > 0 ? keep.toInt() : kDefaultBackupsToKeep;
    const QVariant program = r.value(QStringLiteral("ProgramBackups"));
    if (!program.isNull())
        row.programBackups = program.toBool();
    row.id = r.value(QStringLiteral("ID")).toLongLong();
    row.rowVersion = r.value(data::rowVersionColumn());
    for (const auto &[column, value] : columns(row))
        row.loaded << qMakePair(column, r.value(column));
    return row;
}

std::optional<CompanyRow> load(data::Connection &db)
{
    const std::optional<QSqlRecord> record = firstRow(db);
    if (!record)
        return std::nullopt;
    return fromRecord(*record);
}

void save(data::Connection &db, const CompanyRow &row)
{
    const data::Fields fields = columns(row);
    const QString what = QStringLiteral("The company settings");
    data::Transaction transaction(db);
    if (row.id != 0) {
        // "The program makes the backups" is three-state: a save compares
        // flags as records read them (NULL as false), which would take a
        // setting turned off where it was never set for no change at all.
        // It is written by itself when it differs from what was read.
        const QString programColumn = QStringLiteral("ProgramBackups");
        data::Fields others;
        QVariant programLoaded;
        for (const auto &field : fields) {
            if (field.first != programColumn)
                others << field;
        }
        for (const auto &field : row.loaded) {
            if (field.first == programColumn)
                programLoaded = field.second;
        }
        data::Fields loaded = row.loaded;
        loaded.removeIf([&](const auto &field) { return field.first == programColumn; });
        db.updateRowAtVersion(QStringLiteral("Company"), row.id, others, loaded, row.rowVersion, what);
        const std::optional<bool> was
            = programLoaded.isNull() ? std::nullopt : std::optional<bool>(programLoaded.toBool());
        if (was != row.programBackups) {
            db.exec(QStringLiteral("UPDATE Company SET ProgramBackups = ? WHERE ID = ?"),
                { row.programBackups ? QVariant(*row.programBackups) : QVariant(), row.id });
        }
    } else {
        if (db.scalar(db.dialect().selectTop(1, QStringLiteral("ID"), QStringLiteral("Company"))).isValid())
            throw data::ChangedByOtherError(what, QString(), QString());
        db.insertRow(QStringLiteral("Company"), fields);
    }
    transaction.commit();
}

} // namespace Company
