#include "shell/Logo.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace Logo {

void paint(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Laid out on a 371 x 96 canvas and scaled to the rectangle.
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / 371.0, rect.height() / 96.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x3a, 0x5f));
    painter.drawRoundedRect(QRectF(0, 0, 371, 96), 14, 14);

    // A flame and a water drop: the two kinds of damage the company repairs.
    QPainterPath flame;
    flame.moveTo(40, 80);
    flame.cubicTo(18, 70, 22, 44, 38, 16);
    flame.cubicTo(42, 34, 52, 36, 50, 24);
    flame.cubicTo(66, 40, 66, 72, 40, 80);
    painter.setBrush(QColor(0xf0, 0x7f, 0x1e));
    painter.drawPath(flame);

    QPainterPath drop;
    drop.moveTo(84, 14);
    drop.cubicTo(92, 34, 106, 46, 106, 60);
    drop.cubicTo(106, 73, 96, 80, 84, 80);
    drop.cubicTo(72, 80, 62, 73, 62, 60);
    drop.cubicTo(62, 46, 76, 34, 84, 14);
    painter.setBrush(QColor(0x4f, 0xa3, 0xe0));
    painter.drawPath(drop);

    painter.setPen(Qt::white);
    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(120, 14, 240, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Varnholt"));
    QFont subtitle(title);
    subtitle.setPixelSize(15);
    subtitle.setBold(false);
    painter.setFont(subtitle);
    painter.drawText(
        QRectF(120, 52, 240, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("of Brackwell \u00b7 Restoration"));
    painter.restore();
}

} // namespace Logo
