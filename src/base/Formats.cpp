#include "base/Formats.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace Formats {

namespace {

    // Grouped with commas and a point, whatever the user's locale: these are the
    // program's fixed formats.
    QString grouped(double value)
    {
        static const QLocale c = [] {
            QLocale l(QLocale::English, QLocale::UnitedStates);
            return l;
        }();
        return c.toString(std::abs(value), 'f', 2);
    }

    bool isNegativeAtTwoPlaces(double value)
    {
        return std::round(value * 100.0) < 0.0;
    }

} // namespace

QString money(double value)
{
    const QString text = QStringLiteral("$") + grouped(value);
    return isNegativeAtTwoPlaces(value) ? QStringLiteral("-") + text : text;
}

QString hours(double value)
{
    const QString text = grouped(value);
    return isNegativeAtTwoPlaces(value) ? QStringLiteral("-") + text : text;
}

QString plainNumber(double value)
{
    return QString::number(value, 'g', 15);
}

QString oneDecimal(double value)
{
    return QLocale::c().toString(value, 'f', 1);
}

QString generalDateTimeFormat(const QLocale &locale)
{
    // The short date with the year in full, then the long time without its
    // zone: "3/30/2026 10:15:00 AM" where the short date is "3/30/26".
    QString date = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)yy(?!y)"));
    date.replace(shortYear, QStringLiteral("yyyy"));
    QString time = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    time.remove(zone);
    return date + u' ' + time.trimmed();
}

QString dateTime(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    // A board fills hundreds of thousands of stamps: derive the format once
    // per locale, not per call.
    thread_local QLocale cachedLocale(QLocale::c());
    thread_local QString cachedFormat;
    const QLocale locale;
    if (cachedFormat.isEmpty() || !(locale == cachedLocale)) {
        cachedLocale = locale;
        cachedFormat = generalDateTimeFormat(locale);
    }
    return locale.toString(value, cachedFormat);
}

QString date(const QDate &value)
{
    if (!value.isValid())
        return {};
    return QLocale().toString(value, QLocale::ShortFormat);
}

QString stamp(const QVariant &who, const QVariant &when)
{
    const QString name = who.isNull() ? QString() : who.toString();
    const QString time = when.isNull() ? QString() : dateTime(when.toDateTime());
    return name + QStringLiteral(" - ") + time;
}

} // namespace Formats
