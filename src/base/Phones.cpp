#include "base/Phones.h"

#include <QRegularExpression>

namespace Phones {

QString mask()
{
    return QStringLiteral("(000) 000-0000;_");
}

bool fitsMask(const QString &stored)
{
    static const QRegularExpression masked(QStringLiteral("^\\([0-9_]{3}\\) [0-9_]{3}-[0-9_]{4}$"));
    return stored.isEmpty() || masked.match(stored).hasMatch();
}

QString toStore(const QString &maskedText)
{
    for (const QChar c : maskedText) {
        if (c.isDigit())
            return maskedText;
    }
    return QString();
}

} // namespace Phones
