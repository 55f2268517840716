#include "core/stepping.h"

#include "core/photomatch.h"

namespace pixplot::stepping {

int offsetFieldMax(int k)
{
    return k == 0 ? 23 : 59;
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString stepOffsetField(int index, const QString &text)
{
    const int max = offsetFieldMax(index % 3);
    int v = text.trimmed().toInt(); // an empty field counts as 0
    if (index < 3)
        v = v < max ? v + 1 : 0;
    else
        v = v > 0 ? v - 1 : max;
    return twoDigits(qBound(0, v, max));
}

QString stepTolerance(int index, const QString &text)
{
    int v = text.trimmed().toInt();
    switch (index) {
    case 0:
        v = v < 591 ? v + 10 : 0;
        break;
    case 1:
        v = v > 9 ? v - 10 : photomatch::kMaxTolerance;
        break;
    case 2:
        v = v < photomatch::kMaxTolerance ? v + 1 : 0;
        break;
    default:
        v = v > 0 ? v - 1 : photomatch::kMaxTolerance;
        break;
    }
    return QString::number(v);
}

} // namespace pixplot::stepping
