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
    // A violet pin, the colour of a by-hand photo's frame on the map.
    static const QIcon icon = [] {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(60, 20, 90), 1));
        p.setBrush(QColor(123, 47, 191));
        p.drawEllipse(QPointF(8, 5.5), 4, 4);
        p.drawLine(QPointF(8, 9.5), QPointF(8, 15));
        return QIcon(pm);
    }();
    return icon;
}

} // namespace pixplot::rowicons
