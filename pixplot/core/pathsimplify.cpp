#include "core/pathsimplify.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace pixplot::pathsimplify {

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
// it (its distance, capped by the ranges that had to be split to reach it)
// and when it was found (a point is always found after the points whose
// ranges were split to reach it); 0 for points already within
// toleranceMeters. Ends get infinity. Ranges within the tolerance are not
// split further, so a logger that sat still for hours costs one pass, not
// one pass per point.
struct Significance {
    std::vector<double> value;
    std::vector<quint64> found;
};

Significance significance(const QList<GeoPoint> &points, double toleranceMeters, quint64 &counter)
{
    const size_t n = size_t(points.size());
    Significance sig{std::vector<double>(n, 0.0), std::vector<quint64>(n, 0)};
    if (n == 0)
        return sig;
    sig.value.front() = kAlwaysKept;
    sig.value.back() = kAlwaysKept;
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
        sig.value[at] = std::min(dmax, r.cap);
        sig.found[at] = ++counter;
        stack.push_back({r.first, at, sig.value[at]});
        stack.push_back({at, r.last, sig.value[at]});
    }
    return sig;
}

// Which points stay: the ends of every segment, then the most significant
// of the others above the tolerance while there is room under maxVertices.
// Equal significance goes to the point found first, so a point never stays
// without the points its range was split at.
std::vector<std::vector<bool>> choose(const std::vector<Significance> &sigs, double toleranceMeters,
                                      qsizetype maxVertices)
{
    struct Candidate {
        double value;
        quint64 found;
        size_t segment, index;
    };
    std::vector<std::vector<bool>> kept;
    std::vector<Candidate> candidates;
    qsizetype ends = 0;
    for (size_t s = 0; s < sigs.size(); ++s) {
        const std::vector<double> &v = sigs[s].value;
        kept.emplace_back(v.size(), false);
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i] == kAlwaysKept) {
                kept[s][i] = true;
                ++ends;
            } else if (v[i] > toleranceMeters) {
                candidates.push_back({v[i], sigs[s].found[i], s, i});
            }
        }
    }
    const size_t room = size_t(std::max<qsizetype>(0, maxVertices - ends));
    if (candidates.size() > room) {
        std::nth_element(candidates.begin(), candidates.begin() + qsizetype(room), candidates.end(),
                         [](const Candidate &a, const Candidate &b) {
                             return a.value != b.value ? a.value > b.value : a.found < b.found;
                         });
        candidates.resize(room);
    }
    for (const Candidate &c : candidates)
        kept[c.segment][c.index] = true;
    return kept;
}

QList<qsizetype> indexesOf(const std::vector<bool> &kept)
{
    QList<qsizetype> out;
    for (size_t i = 0; i < kept.size(); ++i)
        if (kept[i])
            out.append(qsizetype(i));
    return out;
}

} // namespace

QList<qsizetype> keptIndexes(const QList<GeoPoint> &points, double toleranceMeters, qsizetype maxVertices)
{
    quint64 counter = 0;
    const std::vector<Significance> sigs{significance(points, toleranceMeters, counter)};
    return indexesOf(choose(sigs, toleranceMeters, maxVertices).front());
}

QList<QList<GeoPoint>> simplify(const QList<QList<GeoPoint>> &segments, double toleranceMeters,
                                qsizetype maxVertices)
{
    quint64 counter = 0;
    std::vector<Significance> sigs;
    sigs.reserve(size_t(segments.size()));
    for (const QList<GeoPoint> &s : segments)
        sigs.push_back(significance(s, toleranceMeters, counter));
    const std::vector<std::vector<bool>> kept = choose(sigs, toleranceMeters, maxVertices);

    QList<QList<GeoPoint>> out;
    out.reserve(segments.size());
    for (qsizetype s = 0; s < segments.size(); ++s) {
        QList<GeoPoint> points;
        for (qsizetype i : indexesOf(kept[size_t(s)]))
            points.append(segments[s][i]);
        out.append(points);
    }
    return out;
}

} // namespace pixplot::pathsimplify
