#include "reports/ReportDocument.h"

#include "base/Formats.h"
#include "settings/Company.h"

namespace reports {

QString cityLine(const QString &city, const QString &state, const QString &zip)
{
    return city + QStringLiteral(", ") + state + QStringLiteral("  ") + zip;
}

QString joined(const QStringList &parts, const QString &separator)
{
    QStringList present;
    for (const QString &part : parts) {
        if (!part.trimmed().isEmpty())
            present << part.trimmed();
    }
    return present.join(separator);
}

RunTexts runTexts(const CompanyRow &company, const QString &username, const QDateTime &now)
{
    return { company.name, company.address1, cityLine(company.city, company.state, company.zip),
        username + QStringLiteral(" - ") + Formats::dateTime(now) };
}

} // namespace reports
