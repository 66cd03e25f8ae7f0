#include "charts/LineChart.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPaintDevice>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace charts {

namespace {

    // Distinct on paper in colour and in grey.
    const QColor kPalette[]
        = { QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
              QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf) };
    const QColor kOutside(0x70, 0x70, 0x70);

    QColor colourOf(const reports::ChartLine &line)
    {
        if (line.muted)
            return kOutside;
        return kPalette[std::size_t(line.colour) % std::size(kPalette)];
    }

    QFont chartFont(qreal points, bool bold = false)
    {
        QFont font;
        font.setFamilies({ QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans") });
        font.setPointSizeF(points);
        font.setBold(bold);
        return font;
    }

} // namespace

QChart *makeChart(const reports::Chart &data)
{
    auto *chart = new QChart;
    chart->setTitle(data.title);
    chart->setTitleFont(chartFont(9, true));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(chartFont(7.5));

    auto *axisX = new QCategoryAxis;
    axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axisX->setLabelsFont(chartFont(7));
    const int days = int(data.days.size());
    // A label on every day, or on every few on a long job: more than about
    // six dates do not fit under a half-page chart and get cut short.
    const int step = std::max(1, int(std::ceil(days / 6.0)));
    for (int d = 0; d < days; d += step)
        axisX->append(data.days.at(d).toString(QStringLiteral("MM/dd")), d);
    axisX->setRange(-0.3, std::max(0, days - 1) + 0.3);
    axisX->setGridLineVisible(true);
    auto *axisY = new QValueAxis;
    axisY->setTitleText(data.valueTitle);
    axisY->setTitleFont(chartFont(7.5));
    axisY->setLabelsFont(chartFont(7));
    axisY->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);

    double low = 0;
    double high = 0;
    bool any = false;
    for (const reports::ChartLine &line : data.lines) {
        QPen pen(colourOf(line), line.goal ? 1.5 : 2);
        if (line.goal)
            pen.setStyle(Qt::DashLine);
        // One series per unbroken run of values: a day without a value
        // breaks the line.
        QLineSeries *first = nullptr;
        QLineSeries *series = nullptr;
        for (int d = 0; d < int(line.values.size()); ++d) {
            const std::optional<double> &value = line.values.at(d);
            if (!value) {
                series = nullptr;
                continue;
            }
            if (!series) {
                series = new QLineSeries;
                series->setName(line.name);
                series->setPen(pen);
                series->setPointsVisible(!line.goal);
                chart->addSeries(series);
                series->attachAxis(axisX);
                series->attachAxis(axisY);
                for (QLegendMarker *marker : chart->legend()->markers(series))
                    marker->setVisible(!first && !line.goal);
                if (!first)
                    first = series;
            }
            series->append(d, *value);
            low = any ? std::min(low, *value) : *value;
            high = any ? std::max(high, *value) : *value;
            any = true;
        }
    }
    // From zero, with room above the highest line.
    low = std::min(0.0, low);
    high = any ? high * 1.1 + 1 : 10;
    axisY->setRange(low, high);
    axisY->applyNiceNumbers();
    if (!any)
        chart->setTitle(data.title + QStringLiteral(" \u2013 no readings yet"));
    return chart;
}

void paintChart(QPainter &painter, const QRectF &rect, const reports::Chart &data)
{
    // Laid out at the size the rectangle has in points on a 96 dpi screen,
    // then scaled onto the device: the chart's fonts keep their proportions.
    const qreal dpi = painter.device() ? painter.device()->logicalDpiX() : 96;
    const QSizeF size = rect.size() * (96.0 / dpi);
    QGraphicsScene scene;
    QChart *chart = makeChart(data);
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    // The chart lays itself out on a posted event: now, before painting.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, rect, scene.sceneRect(), Qt::KeepAspectRatio);
    painter.restore();
}

std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace charts
