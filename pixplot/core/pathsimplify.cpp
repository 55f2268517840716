#include "core/pathsimplify.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace pathsimplify {

namespace {

constexpr double kEarthRadius = 6378137.0; // metres, as web maps project
constexpr double kMaxLatitude = 85.05112878;

// A point in web Mercator metres and the ground metres per Mercator metre there.
struct Projected {
    double x = 0, y = 0, scale = 1;
};

Projected project(const GeoPoint &g)
{
    const double lat = std::clamp(g.latitude, -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180;
    const double lon = g.longitude * std::numbers::pi / 180;
    return {kEarthRadius * lon, kEarthRadius * std::log(std::tan(std::numbers::pi / 4 + lat / 2)),
            std::cos(lat)};
}

std::vector<Projected> projectAll(const QList<GeoPoint> &points)
{
    std::vector<Projected> out;
    out.reserve(size_t(points.size()));
    for (const GeoPoint &g : points)
        out.push_back(project(g));
    return out;
}

// Ground distance from p to the chord a-b (the chord as drawn, not its
// endless line, so a track that turns back on itself is measured right).
double distanceToChord(const Projected &p, const Projected &a, const Projected &b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0)
        t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    const double ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey) * p.scale;
}

constexpr double kAlwaysKept = std::numeric_limits<double>::infinity();
constexpr double kTie = 0.001; // metres

// For every point the largest tolerance at which Douglas–Peucker still keeps
// it (its distance, capped by the ranges that had to be split to reach it);
// 0 for points already within toleranceMeters. Ends get infinity. Ranges
// within the tolerance are not split further, so a logger that sat still
// for hours costs one pass, not one pass per point.
std::vector<double> significance(const QList<GeoPoint> &points, double toleranceMeters)
{
    const size_t n = size_t(points.size());
    std::vector<double> sig(n, 0.0);
    if (n == 0)
        return sig;
    sig.front() = kAlwaysKept;
    sig.back() = kAlwaysKept;
    const std::vector<Projected> p = projectAll(points);

    struct Range {
        size_t first, last;
        double cap;
    };
    std::vector<Range> stack{{0, n - 1, kAlwaysKept}};
    while (!stack.empty()) {
        const Range r = stack.back();
        stack.pop_back();
        if (r.last <= r.first + 1)
            continue;
        // Of points equally far (within a millimetre) the one nearest the
        // middle splits: a regular zigzag then halves its range each time
        // instead of peeling one point off per pass.
        const size_t middle = r.first + (r.last - r.first) / 2;
        const auto fromMiddle = [middle](size_t i) { return i > middle ? i - middle : middle - i; };
        double dmax = -1;
        size_t at = r.first + 1;
        for (size_t i = r.first + 1; i < r.last; ++i) {
            const double d = distanceToChord(p[i], p[r.first], p[r.last]);
            if (d > dmax + kTie || (d > dmax - kTie && fromMiddle(i) < fromMiddle(at))) {
                dmax = std::max(d, dmax);
                at = i;
            }
        }
        if (!(dmax > toleranceMeters))
            continue;
        sig[at] = std::min(dmax, r.cap);
        stack.push_back({r.first, at, sig[at]});
        stack.push_back({at, r.last, sig[at]});
    }
    return sig;
}

// The threshold that keeps at most maxVertices of all points: the base
// tolerance, or the smallest significance that leaves few enough above it.
double threshold(const std::vector<std::vector<double>> &sigs, double toleranceMeters,
                 qsizetype maxVertices)
{
    qsizetype ends = 0;
    std::vector<double> interior;
    for (const std::vector<double> &s : sigs) {
        for (double v : s) {
            if (v == kAlwaysKept)
                ++ends;
            else if (v > toleranceMeters)
                interior.push_back(v);
        }
    }
    const qsizetype room = std::max<qsizetype>(0, maxVertices - ends);
    if (qsizetype(interior.size()) <= room)
        return toleranceMeters;
    // Keep the 'room' largest: everything strictly above the next one.
    std::nth_element(interior.begin(), interior.begin() + room, interior.end(), std::greater<>());
    return interior[size_t(room)];
}

QList<qsizetype> keptAbove(const std::vector<double> &sig, double limit)
{
    QList<qsizetype> kept;
    for (size_t i = 0; i < sig.size(); ++i)
        if (sig[i] > limit)
            kept.append(qsizetype(i));
    return kept;
}

} // namespace

QList<qsizetype> KeptIndexes(const QList<GeoPoint> &points, double toleranceMeters,
                             qsizetype maxVertices)
{
    const std::vector<std::vector<double>> sigs{significance(points, toleranceMeters)};
    return keptAbove(sigs.front(), threshold(sigs, toleranceMeters, maxVertices));
}

QList<QList<GeoPoint>> Simplify(const QList<QList<GeoPoint>> &segments, double toleranceMeters,
                                qsizetype maxVertices)
{
    std::vector<std::vector<double>> sigs;
    sigs.reserve(size_t(segments.size()));
    for (const QList<GeoPoint> &s : segments)
        sigs.push_back(significance(s, toleranceMeters));
    const double limit = threshold(sigs, toleranceMeters, maxVertices);

    QList<QList<GeoPoint>> out;
    out.reserve(segments.size());
    for (qsizetype s = 0; s < segments.size(); ++s) {
        QList<GeoPoint> kept;
        for (qsizetype i : keptAbove(sigs[size_t(s)], limit))
            kept.append(segments[s][i]);
        out.append(kept);
    }
    return out;
}

double MaxDeviationMeters(const QList<GeoPoint> &points, const QList<qsizetype> &kept)
{
    const std::vector<Projected> p = projectAll(points);
    double worst = 0;
    for (qsizetype k = 0; k + 1 < kept.size(); ++k) {
        const qsizetype a = kept[k], b = kept[k + 1];
        for (qsizetype i = a + 1; i < b; ++i)
            worst = std::max(worst, distanceToChord(p[size_t(i)], p[size_t(a)], p[size_t(b)]));
    }
    return worst;
}

} // namespace pathsimplify
