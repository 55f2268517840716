#include "core/progress.h"

namespace pixplot::progress {

State compute(const QString &caption, qint64 current, qint64 total)
{
    State s;
    if (caption.isEmpty())
        return s;
    s.visible = true;
    if (total != 0) {
        const qint64 pct = current * 100 / total;
        s.hasBar = true;
        s.text = caption + QLatin1Char(' ') + QString::number(pct) + QLatin1Char('%');
        s.barTwips = int(pct * kTwipsPerPercent);
    }
    return s;
}

} // namespace pixplot::progress
