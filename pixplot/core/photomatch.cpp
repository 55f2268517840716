#include "core/photomatch.h"

#include "core/matching.h"
#include "core/systemfinction.h"

#include <QRegularExpression>
#include <vector>

namespace pixplot::photomatch {

QString loadMessage(qint64 loaded, qint64 withExif, qint64 total)
{
    return QStringLiteral("当次加载 %1 张（其中 %2 张含EXIF信息）照片!\r\n\r\n当前列表已加载共 %3 张照片!")
        .arg(loaded)
        .arg(withExif)
        .arg(total);
}

QString photoBoxCaption(qint64 count)
{
    return QStringLiteral("照片列表 %1张照片").arg(count);
}

QString pathBoxCaption(const QList<PathPoint> &points)
{
    if (points.isEmpty())
        return QStringLiteral("GPS路径");
    return QStringLiteral("GPS路径 %1个轨迹点 (%2 到 %3)")
        .arg(points.size())
        .arg(points.first().pointTime(), points.last().pointTime());
}

QString pathLoadedMessage(qint64 count)
{
    return QStringLiteral("共成功加载路径轨迹点 %1 个!").arg(count);
}

QString pathLoadedMessage(qint64 count, qint64 untimed)
{
    if (untimed <= 0)
        return pathLoadedMessage(count);
    return pathLoadedMessage(count) + QStringLiteral("\r\n另有 %1 个点没有时间，未加载。").arg(untimed);
}

QString ClockOffset::text() const
{
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

std::optional<ClockOffset> parseClockOffset(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)(\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    ClockOffset o;
    o.negative = m.captured(1) == QLatin1String("-");
    o.hours = m.captured(2).toInt();
    o.minutes = m.captured(3).toInt();
    o.seconds = m.captured(4).toInt();
    if (o.hours > 23 || o.minutes > 59 || o.seconds > 59)
        return std::nullopt;
    return o;
}

void applyCorrection(QList<PhotoRow> &rows, const ClockOffset &offset)
{
    const QString offsetText = offset.text();
    for (PhotoRow &row : rows) {
        if (!row.record.hasExif)
            continue;
        // Always from the camera's own time, so applying twice is idempotent.
        row.timeText = offset.isZero()
            ? row.record.shotTime
            : systemfinction::ShiftDateTimeText(row.record.shotTime, offsetText, offset.negative);
    }
}

QString correctionMessage(const ClockOffset &offset)
{
    return QStringLiteral("修正相机时间: ") + (offset.negative ? QLatin1Char('-') : QLatin1Char('+'))
        + offset.text();
}

MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, qint64 tolerance)
{
    MatchOptions options;
    options.tolerance = tolerance;
    return matchRows(rows, path, options);
}

MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, const MatchOptions &options)
{
    const qint64 tolerance = options.tolerance;
    MatchSummary summary;
    if (rows.isEmpty() || path.isEmpty())
        return summary;
    std::vector<qint64> offsets;
    offsets.reserve(size_t(path.size()));
    for (const PathPoint &p : path)
        offsets.push_back(p.offsetSeconds);
    const qint64 startUtc = path.first().utcSeconds();
    std::vector<int> segments;
    if (options.interpolate) {
        segments.reserve(size_t(path.size()));
        for (const PathPoint &p : path)
            segments.push_back(p.segment);
    }
    // A receiver whose clock steps back breaks the order binary search needs;
    // such a path is matched by the list-order scan instead.
    const bool ordered = matching::isNonDecreasing(offsets);

    for (PhotoRow &row : rows) {
        // A position set by hand is the user's word over the path's.
        if (!row.record.hasExif || row.byHand)
            continue;
        ++summary.needed;
        row.position.clear();
        // The photo's instant through the zone, so a change of daylight
        // saving between it and the path's start counts right.
        auto t = systemfinction::CalendarSecondsOf(row.timeText);
        if (!t)
            continue; // a time that does not read fails like one outside the path
        *t = options.zone.utcFromLocal(*t) - startUtc;
        if (options.interpolate) {
            if (const auto b = matching::bracket(offsets, segments, *t, options.maxGap, ordered)) {
                const GeoPoint a = systemfinction::ParsePositionText(path.at(b->before).positionText());
                const GeoPoint z = systemfinction::ParsePositionText(path.at(b->before + 1).positionText());
                double lat = 0, lon = 0;
                matching::interpolate(a.latitude, a.longitude, z.latitude, z.longitude, b->fraction, &lat,
                                      &lon);
                row.position = systemfinction::PositionTextFromDegrees(lat, lon);
                ++summary.matched;
                continue;
            }
        }
        const matching::Match m = ordered ? matching::nearestPoint(offsets, *t, tolerance)
                                          : matching::nearestPointScan(offsets, *t, tolerance);
        if (m.outcome == matching::Outcome::Matched && m.index >= 0 && m.index < path.size()) {
            row.position = path.at(m.index).positionText();
            ++summary.matched;
        }
    }
    return summary;
}

QString matchMessage(const MatchSummary &summary)
{
    return QStringLiteral("需要添加坐标 %1个;\r\n自动匹配并添加坐标 %2个;\r\n失败(超周期或误差) %3个!")
        .arg(summary.needed)
        .arg(summary.matched)
        .arg(summary.needed - summary.matched);
}

} // namespace pixplot::photomatch
