#pragma once
// The nearest-point rule that gives a photo a path position.
#include <QtGlobal>
#include <span>

namespace matching {

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
Match NearestPoint(std::span<const qint64> offsets, qint64 t, qint64 tolerance);

// The same rule as a scan in list order; right also for a path whose times
// step backwards (a receiver whose clock jumps), where NearestPoint is not.
Match NearestPointScan(std::span<const qint64> offsets, qint64 t, qint64 tolerance);
// True when NearestPoint may be used for offsets.
bool IsNonDecreasing(std::span<const qint64> offsets);

} // namespace matching
