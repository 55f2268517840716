#include "core/matching.h"

#include <algorithm>
#include <cmath>

namespace pixplot::matching {

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

} // namespace pixplot::matching
