#include "shell/ui/frmMDIBackgroundImage.h"

#include "shell/Logo.h"

#include <QPainter>

frmMDIBackgroundImage::frmMDIBackgroundImage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMDIBackgroundImage"));
    setFixedSize(371, 96);
    // Clicks belong to the area underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void frmMDIBackgroundImage::paintLogo(QPainter &painter, const QRectF &rect)
{
    Logo::paint(painter, rect);
}

void frmMDIBackgroundImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintLogo(painter, rect());
}
