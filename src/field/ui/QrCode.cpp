#include "field/ui/QrCode.h"

#include <QPainter>
#include <memory>
#include <qrencode.h>

namespace field {

QImage qrImage(const QString &text, int scale)
{
    if (text.isEmpty() || scale < 1)
        return {};
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    const int modules = code->width;
    const int side = (modules + 2 * kQrQuietZone) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            // The lowest bit of each byte is the module's colour (1: black).
            if (code->data[y * modules + x] & 1)
                painter.fillRect((x + kQrQuietZone) * scale, (y + kQrQuietZone) * scale, scale, scale, Qt::black);
        }
    }
    return image;
}

} // namespace field
