#pragma once

#include "reports/DryingCharts.h"

#include <QCoreApplication>
#include <memory>

class QChart;

// The drying log's charts drawn with Qt Charts, for the screen and for the
// printed log alike. Qt Charts draws through the Widgets graphics view, so
// this small library is the one Widgets piece the admin tool links; its
// header names no Widgets type, and the tool makes its application here.
namespace charts {

// A new chart of the data (the caller owns it).
QChart *makeChart(const reports::Chart &data);

// Paints the chart into rect, scaled as on a screen of the same size in
// points, so that its text keeps its size on any device (a PDF, a printer).
void paintChart(QPainter &painter, const QRectF &rect, const reports::Chart &data);

// An application that can draw charts (offscreen when no platform is set).
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv);

} // namespace charts
