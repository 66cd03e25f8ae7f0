#pragma once

class QPainter;
class QRectF;

// The company logo, drawn rather than stored, so that it stays sharp on the
// main window, in the About box and on printed reports alike.
namespace Logo {

// The logo's own proportions: 371 by 96.
inline constexpr double kAspect = 371.0 / 96.0;

// Paints the logo scaled into rect.
void paint(QPainter &painter, const QRectF &rect);

} // namespace Logo
