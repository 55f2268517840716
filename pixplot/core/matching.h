#pragma once
// The nearest-point rule that gives a photo a path position.
#include "core/types.h"

#include <QtGlobal>
#include <optional>
#include <span>

namespace pixplot::matching {

enum class Outcome { Matched, OutsidePeriod, BeyondTolerance };

struct Match {
    Outcome outcome = Outcome::OutsidePeriod;
    qsizetype index = -1; // the chosen point when Matched
    qint64 gap = 0;       // |offset(chosen) - t| when a point was chosen
};

// offsets: the path points' offsetSeconds, non-decreasing, offsets[0] == 0.
// t: seconds from the first point to the photo. The first point with
// offset >= t is taken, or the one before it when strictly nearer; t outside
// [0, last offset] fails; a gap equal to tolerance still matches.
Match nearestPoint(std::span<const qint64> offsets, qint64 t, qint64 tolerance);

// The same rule as a scan in list order; right also for a path whose times
// step backwards (a receiver whose clock jumps), where NearestPoint is not.
Match nearestPointScan(std::span<const qint64> offsets, qint64 t, qint64 tolerance);
// True when NearestPoint may be used for offsets.
bool isNonDecreasing(std::span<const qint64> offsets);

// Two neighbouring fixes a photo falls between, for interpolation.
struct Between {
    qsizetype before = -1; // the fix before t; the one after is before + 1
    double fraction = 0;   // (t - offset(before)) / (offset(after) - offset(before))
};
// The fixes strictly around t (the first point with offset >= t and the one
// before it, as the nearest rule finds them) when both belong to the same
// segment and lie at most maxGap seconds apart; nullopt otherwise, also when
// t falls on a fix or outside the path. ordered: offsets are non-decreasing.
std::optional<Between> bracket(std::span<const qint64> offsets, std::span<const int> segments, qint64 t,
                               qint64 maxGap, bool ordered);
// Linear in time between a and b (decimal degrees), the short way across
// the 180° meridian; the longitude stays within -180..180.
void interpolate(double latA, double lonA, double latB, double lonB, double fraction, double *lat,
                 double *lon);
// Altitude and speed linear in time, the course the short way round; what
// either fix lacks stays missing.
FixMotion interpolate(const FixMotion &a, const FixMotion &b, double fraction);

} // namespace pixplot::matching
