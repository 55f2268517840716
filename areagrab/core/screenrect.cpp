#include "core/screenrect.h"

#include "common/rounding.h"

#include <algorithm>

namespace areagrab {

QRect clampToScreen(const QRect &windowRect, const QRect &screen)
{
    if (windowRect.isEmpty() || screen.isEmpty())
        return {};
    // Work with exclusive right/bottom edges, as the window system gives them.
    const qint64 left = std::max<qint64>(windowRect.x(), screen.x());
    const qint64 top = std::max<qint64>(windowRect.y(), screen.y());
    const qint64 right =
        std::min<qint64>(qint64(windowRect.x()) + windowRect.width(), qint64(screen.x()) + screen.width());
    const qint64 bottom =
        std::min<qint64>(qint64(windowRect.y()) + windowRect.height(), qint64(screen.y()) + screen.height());
    if (right <= left || bottom <= top)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

QRect logicalToDevice(const QRect &logical, qreal dpr)
{
    const qint64 left = common::roundHalfEven(logical.x() * dpr);
    const qint64 top = common::roundHalfEven(logical.y() * dpr);
    const qint64 right = common::roundHalfEven((qint64(logical.x()) + logical.width()) * dpr);
    const qint64 bottom = common::roundHalfEven((qint64(logical.y()) + logical.height()) * dpr);
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

qreal coveringRatio(QSize image, QSize logical, qreal screenRatio)
{
    if (logical.isEmpty() || image.isEmpty()
        || logicalToDevice(QRect(QPoint(0, 0), logical), screenRatio).size() == image)
        return screenRatio;
    return qreal(image.width()) / logical.width();
}

QImage cropScreen(const QImage &screenGrab, const QRect &rect)
{
    if (rect.isEmpty() || !QRect(QPoint(0, 0), screenGrab.size()).contains(rect))
        return {};
    QImage part = screenGrab.copy(rect);
    part.setDevicePixelRatio(1.0);
    return part;
}

QRect desktopOf(const QList<QRect> &screens)
{
    QRect all;
    for (const QRect &s : screens)
        all |= s;
    return all;
}

int screenIndexAt(const QList<QRect> &screens, QPoint point)
{
    int best = -1;
    qint64 bestDistance = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect &s = screens[i];
        if (s.contains(point))
            return i;
        const qint64 dx = std::max<qint64>({s.left() - point.x(), 0, point.x() - s.right()});
        const qint64 dy = std::max<qint64>({s.top() - point.y(), 0, point.y() - s.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace areagrab
