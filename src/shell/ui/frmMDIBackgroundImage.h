#pragma once

#include <QWidget>

class QPainter;
class QRectF;

// The company logo on the main window's empty background. It only paints;
// the main window keeps it centred.
class frmMDIBackgroundImage : public QWidget
{
    Q_OBJECT
public:
    explicit frmMDIBackgroundImage(QWidget *parent = nullptr);

    // Paints the logo into rect (also used by the About box).
    static void paintLogo(QPainter &painter, const QRectF &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
};
