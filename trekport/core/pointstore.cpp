#include "pointstore.h"

namespace trekport {

TrackRow &PointStore::row(int index)
{
    if (index >= rows_.size())
        rows_.resize(index + 1);
    return rows_[index];
}

const TrackRow &PointStore::at(int index) const
{
    static const TrackRow empty;
    if (index < 0 || index >= rows_.size())
        return empty;
    return rows_[index];
}

QString listLine(const TrackRow &r)
{
    QString s;
    s.reserve(56);
    s += QStringLiteral("记录") + r[ColRecord] + QStringLiteral("| ") + r[ColKind]
        + QStringLiteral("| ") + r[ColMonth] + QStringLiteral("月") + r[ColDay]
        + QStringLiteral("日 ") + r[ColHour] + QLatin1Char(':') + r[ColMinute]
        + QLatin1Char(':') + r[ColSecond] + QStringLiteral("| N") + r[ColLatDeg]
        + QStringLiteral("°") + r[ColLatMin] + QStringLiteral("',E") + r[ColLonDeg]
        + QStringLiteral("°") + r[ColLonMin] + QLatin1Char('\'');
    return s;
}

QString pad(int v, int digits)
{
    if (v < 0)
        return QLatin1Char('-') + QString::number(-qint64(v)).rightJustified(digits, QLatin1Char('0'));
    return QString::number(v).rightJustified(digits, QLatin1Char('0'));
}

QString minutesText(int whole, int f1, int f2)
{
    const QString joined = QString::number(f1) + QString::number(f2);
    return pad(whole, 2) + QLatin1Char('.') + pad(joined.toInt(), 4);
}

QString coordinatePart(const QString &line)
{
    return line.right(coordinatePartLength);
}

} // namespace trekport
