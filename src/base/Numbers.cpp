#include "base/Numbers.h"

#include <QLocale>
#include <cmath>

std::optional<double> parseFiniteNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QLocale c = QLocale::c();
    bool ok = false;
    // QLocale accepts "inf" and "nan" as numbers; no box of this program means them.
    const double value = c.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::variant<double, FieldProblem> typedNumber(
    const QString &text, const QString &field, const QString &label, std::optional<double> whenEmpty)
{
    const QString title = QStringLiteral("Invalid Entry");
    if (text.trimmed().isEmpty()) {
        if (whenEmpty)
            return *whenEmpty;
        return FieldProblem { field, QStringLiteral("Enter the %1.").arg(label), title };
    }
    if (const std::optional<double> value = parseFiniteNumber(text))
        return *value;
    return FieldProblem { field,
        QStringLiteral("The %1 must be a number: digits, with a point before any decimals (as in 12.5).").arg(label),
        title };
}

double SafeNumber(const QString &text)
{
    return parseFiniteNumber(text).value_or(0.0);
}
