#include "settings/CompanyEntry.h"

#include "base/Numbers.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace CompanyEntry {

namespace {

    QString invalidEntry()
    {
        return QStringLiteral("Invalid Entry");
    }

} // namespace

std::optional<CompanyTexts> load(data::Connection &db)
{
    const std::optional<QSqlRecord> record = Company::firstRow(db);
    if (!record)
        return std::nullopt;
    const CompanyRow row = Company::fromRecord(*record);
    const bool embedded = db.dialect().kind() == data::DbKind::SQLite;
    // A number that was never stored shows as an empty box, not as 0.
    const auto number = [&](const char *column, double value) {
        return record->isNull(QString::fromLatin1(column)) ? QString() : numberText(value);
    };
    return CompanyTexts { row.name, row.address1, row.address2, row.city, row.state, row.zip, row.phone, row.fax,
        row.website, row.email, number("KeyPressDelay", row.keyPressDelay), row.qbItemName, row.qbItemDescription,
        number("QBItemAmount", row.qbItemAmount), number("DryingDays", row.dryingDays), row.temperatureUnit,
        row.dryingLogAlert, row.billEquipmentDays, number("BackupsToKeep", row.backupsToKeep),
        row.programBackups.value_or(embedded), row.programBackups ? std::nullopt : std::optional(embedded), row.id,
        row.rowVersion, row.loaded };
}

CompanyTexts newTexts(data::Connection &db)
{
    CompanyTexts texts;
    texts.programBackups = db.dialect().kind() == data::DbKind::SQLite;
    texts.programBackupsDefault = texts.programBackups;
    return texts;
}

QStringList states(data::Connection &db)
{
    QStringList list;
    data::Rows q = db.exec(QStringLiteral("SELECT State FROM State ORDER BY State"));
    while (q.next())
        list << q.value(0).toString();
    return list;
}

FieldProblem keyPressDelayTooSmall()
{
    return { QStringLiteral("KeyPressDelay"), QStringLiteral("Quantity must be greater than 0."), invalidEntry() };
}

std::variant<CompanyRow, FieldProblem> toRow(const CompanyTexts &t)
{
    if (t.name.isEmpty())
        return FieldProblem { QStringLiteral("Name"), QStringLiteral("Name and State Required."),
            QStringLiteral("Required Fields") };
    if (t.state.isEmpty())
        return FieldProblem { QStringLiteral("State"), QStringLiteral("Name and State Required."),
            QStringLiteral("Required Fields") };

    const QList<QPair<QString, QVariant>> texts { { QStringLiteral("Name"), t.name },
        { QStringLiteral("Address1"), t.address1 }, { QStringLiteral("Address2"), t.address2 },
        { QStringLiteral("City"), t.city }, { QStringLiteral("State"), t.state }, { QStringLiteral("Zip"), t.zip },
        { QStringLiteral("Phone"), t.phone }, { QStringLiteral("Fax"), t.fax },
        { QStringLiteral("Website"), t.website }, { QStringLiteral("Email"), t.email },
        { QStringLiteral("QBItemName"), t.qbItemName }, { QStringLiteral("QBItemDescription"), t.qbItemDescription } };
    if (std::optional<FieldProblem> problem = data::tooLong(QStringLiteral("Company"), texts))
        return *problem;

    if (!keyPressDelayAccepted(t.keyPressDelay))
        return keyPressDelayTooSmall();
    // "2 seconds" passes the leading-number rule but is no number to store.
    const auto delay = typedNumber(t.keyPressDelay, QStringLiteral("KeyPressDelay"), QStringLiteral("keypress delay"));
    if (const auto *problem = std::get_if<FieldProblem>(&delay))
        return *problem;

    const auto amount = typedNumber(t.qbItemAmount, QStringLiteral("QBItemAmount"), QStringLiteral("QB amount"));
    if (const auto *problem = std::get_if<FieldProblem>(&amount))
        return *problem;

    const auto daysTyped = typedNumber(t.dryingDays, QStringLiteral("DryingDays"), QStringLiteral("drying days"));
    if (const auto *problem = std::get_if<FieldProblem>(&daysTyped))
        return *problem;
    const std::optional<int> days = parseDryingDays(t.dryingDays);
    if (!days)
        return FieldProblem { QStringLiteral("DryingDays"),
            QStringLiteral("Drying Days must be a number of days, 0 or more."), invalidEntry() };

    const QString unit = t.temperatureUnit.isEmpty() ? QStringLiteral("F") : t.temperatureUnit;
    if (unit != u"F" && unit != u"C")
        return FieldProblem { QStringLiteral("TemperatureUnit"),
            QStringLiteral("Temperatures are in degrees F or degrees C."), invalidEntry() };

    const std::optional<int> keep = parseBackupsToKeep(t.backupsToKeep);
    if (!keep)
        return FieldProblem { QStringLiteral("BackupsToKeep"),
            QStringLiteral("Backups to keep must be a whole number from 1 to %1.").arg(kMaxBackupsToKeep),
            invalidEntry() };

    CompanyRow row;
    row.id = t.id;
    row.rowVersion = t.rowVersion;
    row.loaded = t.loaded;
    row.name = t.name;
    row.address1 = t.address1;
    row.address2 = t.address2;
    row.city = t.city;
    row.state = t.state;
    row.zip = t.zip;
    row.phone = t.phone;
    row.fax = t.fax;
    row.website = t.website;
    row.email = t.email;
    row.keyPressDelay = std::get<double>(delay);
    row.qbItemName = t.qbItemName;
    row.qbItemDescription = t.qbItemDescription;
    row.qbItemAmount = std::get<double>(amount);
    row.dryingDays = *days;
    row.temperatureUnit = unit;
    row.dryingLogAlert = t.dryingLogAlert;
    row.billEquipmentDays = t.billEquipmentDays;
    row.backupsToKeep = *keep;
    if (t.programBackupsDefault != t.programBackups)
        row.programBackups = t.programBackups;
    return row;
}

double leadingNumber(const QString &text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = QLocale::c().toDouble(match.captured(1), &ok);
    // An exponent too large for a double still starts with a large number.
    if (!ok)
        return match.captured(1).startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                                  : std::numeric_limits<double>::infinity();
    return value;
}

bool keyPressDelayAccepted(const QString &text)
{
    return leadingNumber(text) >= 1;
}

std::optional<int> parseBackupsToKeep(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return kDefaultBackupsToKeep;
    bool ok = false;
    const int keep = trimmed.toInt(&ok);
    if (!ok || keep < 1 || keep > kMaxBackupsToKeep)
        return std::nullopt;
    return keep;
}

std::optional<int> parseDryingDays(const QString &text)
{
    const std::optional<double> value = parseFiniteNumber(text);
    if (!value)
        return std::nullopt;
    const double days = std::nearbyint(*value);
    if (days < 0 || days > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<int>(days);
}

QString numberText(double value)
{
    return QLocale::c().toString(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace CompanyEntry
