#include "core/highlightframe.h"

#include <algorithm>

namespace areagrab {

std::array<QRect, 4> highlightStrips(const QRect &rect, int width)
{
    if (rect.isEmpty() || width <= 0)
        return {};
    const int t = std::min({width, rect.width(), rect.height()});
    const int sideHeight = rect.height() - 2 * t;
    std::array<QRect, 4> strips = {
        QRect(rect.x(), rect.y(), rect.width(), t),
        QRect(rect.x(), rect.y() + rect.height() - t, rect.width(), t),
        QRect(),
        QRect(),
    };
    if (sideHeight > 0) {
        strips[2] = QRect(rect.x(), rect.y() + t, t, sideHeight);
        strips[3] = QRect(rect.x() + rect.width() - t, rect.y() + t, t, sideHeight);
    }
    return strips;
}

} // namespace areagrab
