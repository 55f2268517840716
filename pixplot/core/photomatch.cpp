#include "core/photomatch.h"

#include "core/datetimetext.h"
#include "core/nmeasentence.h"

#include "core/cameraclock.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <vector>

namespace pixplot {

GeoPoint PhotoRow::positionDegrees() const
{
    return degrees ? *degrees : systemfinction::ParsePositionText(position);
}

} // namespace pixplot

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

qint64 photoInstant(qint64 calendarSeconds, const PhotoRecord &record, const common::TimeZoneSetting &zone)
{
    return record.utcOffset ? calendarSeconds - *record.utcOffset : zone.utcFromLocal(calendarSeconds);
}

namespace {

// The list's text of a position between two fixes: from their texts, as
// the lists have always shown it.
QString interpolatedText(const PathPoint &a, const PathPoint &b, double fraction)
{
    const GeoPoint from = systemfinction::ParsePositionText(a.positionText());
    const GeoPoint to = systemfinction::ParsePositionText(b.positionText());
    double lat = 0, lon = 0;
    interpolate(from.latitude, from.longitude, to.latitude, to.longitude, fraction, &lat, &lon);
    return systemfinction::positionTextFromDegrees(lat, lon);
}

// Its degrees, from the fixes' own where their texts round them.
std::optional<GeoPoint> interpolatedDegrees(const PathPoint &a, const PathPoint &b, double fraction)
{
    const std::optional<GeoPoint> from = a.exactDegrees(), to = b.exactDegrees();
    if (!from || !to)
        return std::nullopt;
    GeoPoint at;
    interpolate(from->latitude, from->longitude, to->latitude, to->longitude, fraction, &at.latitude,
                &at.longitude);
    return at;
}

} // namespace

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
    const bool ordered = isNonDecreasing(offsets);

    for (PhotoRow &row : rows) {
        // A position set by hand is the user's word over the path's.
        if (!row.record.hasExif || row.byHand)
            continue;
        ++summary.needed;
        row.position.clear();
        row.degrees.reset();
        row.motion = {};
        // The photo's instant through its own offset or the zone, so a change
        // of daylight saving between it and the path's start counts right.
        auto t = systemfinction::calendarSecondsOf(row.timeText);
        if (!t)
            continue; // a time that does not read fails like one outside the path
        *t = photoInstant(*t, row.record, options.zone) - startUtc;
        if (options.interpolate) {
            if (const auto b = bracket(offsets, segments, *t, options.maxGap, ordered)) {
                const PathPoint &from = path.at(b->before), &to = path.at(b->before + 1);
                row.position = interpolatedText(from, to, b->fraction);
                row.degrees = interpolatedDegrees(from, to, b->fraction);
                row.motion = interpolate(from.motion, to.motion, b->fraction);
                ++summary.matched;
                continue;
            }
        }
        const Match m =
            ordered ? nearestPoint(offsets, *t, tolerance) : nearestPointScan(offsets, *t, tolerance);
        if (m.outcome == Outcome::Matched && m.index >= 0 && m.index < path.size()) {
            row.position = path.at(m.index).positionText();
            row.degrees = path.at(m.index).exactDegrees();
            row.motion = path.at(m.index).motion;
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

PathTimes::PathTimes(const QList<PathPoint> &path, qint64 maxGap, qint64 margin)
{
    std::vector<qint64> times;
    times.reserve(size_t(path.size()));
    for (const PathPoint &p : path)
        times.push_back(p.utcSeconds());
    // A receiver whose clock stepped back leaves the list out of order.
    if (!std::is_sorted(times.begin(), times.end()))
        std::sort(times.begin(), times.end());
    for (size_t i = 0; i < times.size(); ++i) {
        const qint64 t = times[i];
        if (!ends_.empty() && t - ends_.back() <= std::max(maxGap, 2 * margin))
            ends_.back() = t;
        else {
            starts_.push_back(t);
            ends_.push_back(t);
        }
    }
    for (size_t i = 0; i < starts_.size(); ++i) {
        starts_[i] -= margin;
        ends_[i] += margin;
    }
}

bool PathTimes::contains(qint64 utc) const
{
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), utc);
    if (after == starts_.begin())
        return false;
    return utc <= ends_[size_t(after - starts_.begin()) - 1];
}

qint64 PathTimes::countInside(std::span<const qint64> instants, qint64 shift) const
{
    qint64 n = 0;
    for (const qint64 t : instants)
        n += contains(t + shift) ? 1 : 0;
    return n;
}

std::optional<ShiftCount> OffsetSuggestion::helpful() const
{
    if (photos == 0 || best.isEmpty() || 2 * inside >= photos)
        return std::nullopt;
    const ShiftCount &b = best.first();
    if (b.shift == 0 || b.inside <= inside || b.inside < 2 * inside)
        return std::nullopt;
    return b;
}

OffsetSuggestion suggestOffset(std::span<const qint64> instants, const PathTimes &times, int keep)
{
    OffsetSuggestion s;
    s.photos = qint64(instants.size());
    s.inside = times.countInside(instants, 0);
    constexpr qint64 kStep = 15 * 60;
    constexpr qint64 kLimit = 14 * 3600;
    QList<ShiftCount> all;
    for (qint64 shift = -kLimit; shift <= kLimit; shift += kStep)
        all.append({shift, shift == 0 ? s.inside : times.countInside(instants, shift)});
    std::stable_sort(all.begin(), all.end(), [](const ShiftCount &a, const ShiftCount &b) {
        if (a.inside != b.inside)
            return a.inside > b.inside;
        return std::abs(a.shift) < std::abs(b.shift);
    });
    s.best = all.mid(0, keep);
    return s;
}

QString suggestionQuestion(const OffsetSuggestion &suggestion)
{
    const std::optional<ShiftCount> b = suggestion.helpful();
    if (!b)
        return {};
    return QStringLiteral("有 %1 张照片不在路径的时间范围内。相机时间若差 %2，可以匹配 %3 张。是否按此修正？")
        .arg(suggestion.photos - suggestion.inside)
        .arg(cameraclock::signedText(b->shift))
        .arg(b->inside);
}

QString suggestionHint(const OffsetSuggestion &suggestion)
{
    const std::optional<ShiftCount> b = suggestion.helpful();
    if (!b)
        return {};
    const QString shift = cameraclock::signedText(b->shift);
    return QStringLiteral("有 %1 张照片不在路径的时间范围内。相机时间若差 %2，可以匹配 %3 张（--offset %2 或 --offset auto）。")
        .arg(suggestion.photos - suggestion.inside)
        .arg(shift)
        .arg(b->inside);
}

QString suggestionLine(const ShiftCount &shift, qint64 photos)
{
    return cameraclock::signedText(shift.shift) + QLatin1Char('\t') + QString::number(shift.inside)
        + QLatin1Char('/') + QString::number(photos);
}

namespace {

// Takes u, the first point with offset >= t, or the one before it when that
// one is strictly nearer, and applies the tolerance.
Match choose(std::span<const qint64> offsets, qsizetype u, qint64 t, qint64 tolerance)
{
    if (u > 0 && qAbs(offsets[u - 1] - t) < qAbs(offsets[u] - t))
        --u;
    Match m;
    m.gap = qAbs(offsets[u] - t);
    if (m.gap > tolerance) {
        m.outcome = Outcome::BeyondTolerance;
        return m;
    }
    m.outcome = Outcome::Matched;
    m.index = u;
    return m;
}

} // namespace

Match nearestPoint(std::span<const qint64> offsets, qint64 t, qint64 tolerance)
{
    if (offsets.empty() || t < 0 || t > offsets.back())
        return {};
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), t);
    return choose(offsets, it - offsets.begin(), t, tolerance);
}

Match nearestPointScan(std::span<const qint64> offsets, qint64 t, qint64 tolerance)
{
    if (offsets.empty() || t < 0 || t > offsets.back())
        return {};
    qsizetype u = 0;
    while (offsets[u] < t)
        ++u; // ends at the last point at the latest, since t <= its offset
    return choose(offsets, u, t, tolerance);
}

bool isNonDecreasing(std::span<const qint64> offsets)
{
    return std::is_sorted(offsets.begin(), offsets.end());
}

std::optional<Between> bracket(std::span<const qint64> offsets, std::span<const int> segments, qint64 t,
                               qint64 maxGap, bool ordered)
{
    if (offsets.empty() || t <= 0 || t >= offsets.back() || segments.size() != offsets.size())
        return std::nullopt;
    qsizetype u = 0;
    if (ordered) {
        u = std::lower_bound(offsets.begin(), offsets.end(), t) - offsets.begin();
    } else {
        while (offsets[u] < t)
            ++u;
    }
    if (u == 0 || offsets[u] == t || segments[u] != segments[u - 1] || offsets[u] - offsets[u - 1] > maxGap)
        return std::nullopt;
    Between b;
    b.before = u - 1;
    b.fraction = double(t - offsets[u - 1]) / double(offsets[u] - offsets[u - 1]);
    return b;
}

void interpolate(double latA, double lonA, double latB, double lonB, double fraction, double *lat,
                 double *lon)
{
    *lat = latA + (latB - latA) * fraction;
    double dLon = lonB - lonA;
    if (dLon > 180)
        dLon -= 360;
    else if (dLon < -180)
        dLon += 360;
    double l = lonA + dLon * fraction;
    if (l > 180)
        l -= 360;
    else if (l < -180)
        l += 360;
    *lon = l;
}

FixMotion interpolate(const FixMotion &a, const FixMotion &b, double fraction)
{
    const auto linear = [fraction](float x, float y) { return float(x + (double(y) - x) * fraction); };
    FixMotion m;
    m.altitude = linear(a.altitude, b.altitude);
    m.speedKmh = linear(a.speedKmh, b.speedKmh);
    double turn = double(b.track) - a.track; // NaN when either lacks a course
    if (turn > 180)
        turn -= 360;
    else if (turn < -180)
        turn += 360;
    double track = std::fmod(a.track + turn * fraction, 360.0);
    if (track < 0)
        track += 360;
    m.track = float(track);
    return m;
}

} // namespace pixplot::photomatch
