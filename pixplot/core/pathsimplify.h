#pragma once
// Thinning a long path for drawing: Douglas–Peucker on the ground, so the
// drawn line stays within a tolerance in metres of every recorded point,
// with a cap on the vertices kept.
#include "core/types.h"

#include <QList>

namespace pixplot::pathsimplify {

// Indexes of the points of one segment kept for drawing, ascending; the
// first and last point are always kept. A point is dropped only when the
// line drawn without it stays within toleranceMeters of it; when more than
// maxVertices would remain, the tolerance grows just enough to keep at most
// maxVertices (never fewer than the two ends), dropping the points whose
// removal moves the line least.
QList<qsizetype> keptIndexes(const QList<GeoPoint> &points, double toleranceMeters, qsizetype maxVertices);

// The same over several segments with one shared cap: each segment keeps
// its ends, and the cap is met by dropping the least significant points of
// all segments first.
QList<QList<GeoPoint>> simplify(const QList<QList<GeoPoint>> &segments, double toleranceMeters,
                                qsizetype maxVertices);

} // namespace pixplot::pathsimplify
