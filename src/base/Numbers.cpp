#include "base/Numbers.h"

#include <QLocale>
#include <cmath>

std::optional<double> parseFiniteNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    // QLocale accepts "inf" and "nan" as numbers; no box of this program means them.
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double SafeNumber(const QString &text)
{
    return parseFiniteNumber(text).value_or(0.0);
}
