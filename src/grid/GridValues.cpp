#include "grid/GridValues.h"

#include "base/DateText.h"

#include <QLocale>
#include <QStringList>

namespace GridValues {

namespace {

    // Qt reads a two-digit year as 19xx.
    QDateTime fixCentury(QDateTime value, const QString &format)
    {
        if (value.isValid() && !format.contains(QStringLiteral("yyyy")) && value.date().year() < 1950)
            value = value.addYears(100);
        return value;
    }

} // namespace

std::optional<bool> toBool(QStringView raw)
{
    const QStringView text = raw.trimmed();
    if (text.isEmpty())
        return false;
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = toNumber(text))
        return *number != 0.0;
    return std::nullopt;
}

std::optional<double> toNumber(QStringView raw)
{
    QStringView text = raw.trimmed();
    bool negative = false;
    if (text.startsWith(u"-$")) {
        negative = true;
        text = text.mid(2);
    } else if (text.startsWith(u'$')) {
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    // The C locale reads plain decimal text and accepts "," grouping.
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<QDateTime> toDateTime(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // ISO 8601 first, as the database's columns hold it: no locale's form
    // could read it as another date, and it needs no (slow) format parser,
    // so a date column filled with ISO text sorts and fits fast.
    const QDateTime iso = dateTimeOfText(text);
    if (iso.isValid())
        return iso;
    const QLocale locale;
    for (const QLocale::FormatType type : { QLocale::ShortFormat, QLocale::LongFormat }) {
        const QString dateTimeFormat = locale.dateTimeFormat(type);
        const QDateTime value = fixCentury(locale.toDateTime(text, dateTimeFormat), dateTimeFormat);
        if (value.isValid())
            return value;
        const QString dateFormat = locale.dateFormat(type);
        const QDate date = locale.toDate(text, dateFormat);
        if (date.isValid())
            return fixCentury(date.startOfDay(), dateFormat);
    }
    // The US forms the office types, whatever the machine's locale. Two-digit
    // years first: "yyyy" would take "26" as the year 26.
    static const QStringList common = {
        QStringLiteral("M/d/yy h:mm AP"),
        QStringLiteral("M/d/yy"),
        QStringLiteral("M/d/yyyy h:mm:ss AP"),
        QStringLiteral("M/d/yyyy H:mm:ss"),
        QStringLiteral("M/d/yyyy h:mm AP"),
        QStringLiteral("M/d/yyyy H:mm"),
        QStringLiteral("M/d/yyyy"),
        QStringLiteral("yyyy-MM-dd HH:mm:ss"),
    };
    const QLocale c = QLocale::c();
    for (const QString &format : common) {
        const QDateTime value = fixCentury(c.toDateTime(text, format), format);
        if (value.isValid())
            return value;
    }
    return std::nullopt;
}

} // namespace GridValues
