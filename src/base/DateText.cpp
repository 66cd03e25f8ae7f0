#include "base/DateText.h"

#include <QRegularExpression>

QDateTime dateTimeOfText(QStringView text)
{
    // Date, then optionally a T or blank and the time with any number of
    // fraction digits, then optionally a zone, which is dropped.
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d+))?)?)?\s*(?:Z|[+-]\d{2}(?::?\d{2})?)?\s*$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    const QDate day(m.capturedView(1).toInt(), m.capturedView(2).toInt(), m.capturedView(3).toInt());
    if (!day.isValid())
        return {};
    if (m.capturedLength(4) == 0)
        return day.startOfDay();
    int msecs = 0;
    const QStringView fraction = m.capturedView(7);
    if (!fraction.isEmpty())
        msecs = (fraction.toString() + QStringLiteral("00")).left(3).toInt();
    const QTime time(m.capturedView(4).toInt(), m.capturedView(5).toInt(), m.capturedView(6).toInt(), msecs);
    if (!time.isValid())
        return {};
    return QDateTime(day, time);
}
