#include "settings/Company.h"

#include "data/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace Company {

namespace {

    QString text(const QSqlQuery &q, const char *column)
    {
        const QVariant v = q.value(QString::fromLatin1(column));
        return v.isNull() ? QString() : v.toString();
    }

    double number(const QSqlQuery &q, const char *column)
    {
        const QVariant v = q.value(QString::fromLatin1(column));
        return v.isNull() ? 0.0 : v.toDouble();
    }

} // namespace

std::optional<CompanyRow> load()
{
    QSqlQuery q = data::exec(data::dialect().selectTop(1, QStringLiteral("*"), QStringLiteral("Company ORDER BY ID")));
    if (!q.next())
        return std::nullopt;
    CompanyRow row;
    row.name = text(q, "Name");
    row.address1 = text(q, "Address1");
    row.address2 = text(q, "Address2");
    row.city = text(q, "City");
    row.state = text(q, "State");
    row.zip = text(q, "Zip");
    row.phone = text(q, "Phone");
    row.fax = text(q, "Fax");
    row.email = text(q, "Email");
    row.website = text(q, "Website");
    row.keyPressDelay = number(q, "KeyPressDelay");
    row.qbItemName = text(q, "QBItemName");
    row.qbItemDescription = text(q, "QBItemDescription");
    row.qbItemAmount = number(q, "QBItemAmount");
    // Rounded to the nearest integer, halves to even.
    row.dryingDays = static_cast<int>(std::nearbyint(number(q, "DryingDays")));
    return row;
}

void save(const CompanyRow &row)
{
    const data::Fields fields = {
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
    };
    data::Transaction transaction;
    const QVariant id
        = data::scalar(data::dialect().selectTop(1, QStringLiteral("ID"), QStringLiteral("Company ORDER BY ID")));
    if (id.isValid())
        data::updateRow(QStringLiteral("Company"), id.toLongLong(), fields);
    else
        data::insertRow(QStringLiteral("Company"), fields);
    transaction.commit();
}

} // namespace Company
