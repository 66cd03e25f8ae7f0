#include "reports/ReportDocument.h"

#include "base/Formats.h"
#include "settings/Company.h"

namespace reports {

QString cityLine(const QString &city, const QString &state, const QString &zip)
{
    return city + QStringLiteral(", ") + state + QStringLiteral("  ") + zip;
}

RunTexts runTexts(const CompanyRow &company, const QString &username, const QDateTime &now)
{
    return { company.name, company.address1, cityLine(company.city, company.state, company.zip),
        username + QStringLiteral(" - ") + Formats::dateTime(now) };
}

} // namespace reports
