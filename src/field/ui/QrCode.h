#pragma once

#include <QImage>
#include <QString>

namespace field {

// Modules of white a QR code reader needs on each side of the code.
inline constexpr int kQrQuietZone = 4;

// The QR code of `text` (its UTF-8 bytes, error correction M) as a picture:
// black modules on white, the quiet zone included, each module `scale`
// pixels square so that no module is blurred into its neighbours. A null
// image when there is no text or it does not fit in a QR code.
QImage qrImage(const QString &text, int scale);

} // namespace field
