#include "shell/Formats.h"

#include <QLocale>
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

QString dateTime(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    return QLocale().toString(value, QLocale::ShortFormat);
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
