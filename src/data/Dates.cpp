#include "data/Dates.h"

#include <QRegularExpression>

namespace data {

namespace {

    QDateTime parseText(const QString &raw)
    {
        // Date, then optionally a T or blank and the time with up to any
        // number of fraction digits, then optionally a zone, which is dropped.
        static const QRegularExpression form(QStringLiteral(
            R"(^\s*(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d+))?)?)?\s*(?:Z|[+-]\d{2}(?::?\d{2})?)?\s*$)"));
        const QRegularExpressionMatch m = form.match(raw);
        if (!m.hasMatch())
            return {};
        const QDate day(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!day.isValid())
            return {};
        if (m.capturedLength(4) == 0)
            return day.startOfDay();
        int msecs = 0;
        const QString fraction = m.captured(7);
        if (!fraction.isEmpty())
            msecs = (fraction + QStringLiteral("00")).left(3).toInt();
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), msecs);
        if (!time.isValid())
            return {};
        return QDateTime(day, time);
    }

} // namespace

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
        return parseText(value.toString());
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

} // namespace data
