#include "ui/rowicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pixplot::rowicons {

namespace {

// A 16-pixel photo frame; with a time it carries a small clock face.
QIcon drawIcon(bool clock)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(clock ? QColor(70, 140, 220) : QColor(190, 190, 190));
    p.drawRoundedRect(QRectF(1.5, 3.5, 13, 10), 2, 2);
    if (clock) {
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8.5), 3.5, 3.5);
        p.drawLine(QPointF(8, 8.5), QPointF(8, 6));
        p.drawLine(QPointF(8, 8.5), QPointF(10, 8.5));
    } else {
        p.setPen(QPen(QColor(120, 120, 120), 1.5));
        p.drawLine(QPointF(5, 6), QPointF(11, 11));
    }
    return QIcon(pm);
}

} // namespace

const QIcon &withTime()
{
    static const QIcon icon = drawIcon(true);
    return icon;
}

const QIcon &withoutTime()
{
    static const QIcon icon = drawIcon(false);
    return icon;
}

const QIcon &byHand()
{
    // A map pin.
    static const QIcon icon = [] {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(120, 50, 0), 1));
        p.setBrush(QColor(240, 130, 30));
        QPainterPath pin;
        pin.moveTo(8, 15);
        pin.cubicTo(3, 9, 3, 8, 3, 6);
        pin.arcTo(QRectF(3, 1, 10, 10), 180, -180);
        pin.cubicTo(13, 8, 13, 9, 8, 15);
        p.drawPath(pin);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 6), 2, 2);
        return QIcon(pm);
    }();
    return icon;
}

} // namespace pixplot::rowicons
