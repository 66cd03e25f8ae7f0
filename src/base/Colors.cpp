#include "base/Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace Colors {

std::optional<quint32> parse(const QString &raw)
{
    QString text = raw.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive)) {
        text = text.mid(2);
        if (text.endsWith(u'&'))
            text.chop(1);
        if (text.isEmpty() || text.size() > 8)
            return std::nullopt;
        bool ok = false;
        const quint32 value = text.toUInt(&ok, 16);
        return ok ? std::optional<quint32>(value) : std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || value < INT32_MIN || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<quint32>(value);
}

quint32 parseOr(const QString &text, quint32 fallback)
{
    return parse(text).value_or(fallback);
}

QString toDecimalText(quint32 value)
{
    // Stored as the platform's signed 32-bit colour number.
    return QString::number(static_cast<qint32>(value));
}

bool isSystemColor(quint32 value)
{
    return (value & 0x80000000u) != 0;
}

namespace {

    QColor systemColor(quint32 index)
    {
        const QPalette palette = QGuiApplication::palette();
        switch (index) {
        case 0:
            return palette.color(QPalette::Button); // scroll bars
        case 1:
            return palette.color(QPalette::Dark); // desktop
        case 2:
            return palette.color(QPalette::Highlight); // active title bar
        case 3:
            return palette.color(QPalette::Inactive, QPalette::Highlight);
        case 4:
            return palette.color(QPalette::Window); // menu bar
        case 5:
            return palette.color(QPalette::Base); // window background
        case 6:
            return palette.color(QPalette::Shadow); // window frame
        case 7:
            return palette.color(QPalette::WindowText); // menu text
        case 8:
            return palette.color(QPalette::Text); // window text
        case 9:
            return palette.color(QPalette::HighlightedText); // title bar text
        case 10:
            return palette.color(QPalette::Mid); // active border
        case 11:
            return palette.color(QPalette::Midlight); // inactive border
        case 12:
            return palette.color(QPalette::Dark); // application workspace
        case 13:
            return palette.color(QPalette::Highlight);
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 15:
            return palette.color(QPalette::Button); // button face
        case 16:
            return palette.color(QPalette::Dark); // button shadow
        case 17:
            return palette.color(QPalette::Disabled, QPalette::Text);
        case 18:
            return palette.color(QPalette::ButtonText);
        case 19:
            return palette.color(QPalette::Inactive, QPalette::HighlightedText);
        case 20:
            return palette.color(QPalette::Light);
        case 21:
            return palette.color(QPalette::Shadow);
        case 22:
            return palette.color(QPalette::Midlight);
        case 23:
            return palette.color(QPalette::ToolTipText);
        case 24:
            return palette.color(QPalette::ToolTipBase);
        default:
            return palette.color(QPalette::Base);
        }
    }

} // namespace

QColor toQColor(quint32 value)
{
    if (isSystemColor(value))
        return systemColor(value & 0x7FFFFFFFu);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 fromQColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

} // namespace Colors
