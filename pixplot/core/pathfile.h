#pragma once
// Reading an NMEA path file into path points.
#include "core/types.h"

#include <QList>

namespace pathfile {

// Reads every accepted RMC sentence of the file (lines ended by CR LF, LF or
// a lone CR) and sets each point's offsetSeconds from the first point.
// False (and *error set) when it is not a regular file or cannot be read.
bool ReadPathFile(const QString &path, QList<PathPoint> *points, QString *error = nullptr);

// Sets offsetSeconds of every point relative to points[0].
void ComputeOffsets(QList<PathPoint> &points);

} // namespace pathfile
