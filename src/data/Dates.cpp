#include "data/Dates.h"

#include "base/DateText.h"

namespace data {

QDateTime dateTimeOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    default:
        return dateTimeOfText(value.toString());
    }
}

QDate dateOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate();
    return dateTimeOf(value).date();
}

QVariant dateTimeValue(const QDateTime &when)
{
    return when.isValid() ? QVariant(when) : QVariant(QMetaType(QMetaType::QDateTime));
}

} // namespace data
