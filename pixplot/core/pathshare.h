#pragma once
// The loaded path as the main window hands it to the conversion window:
// filled by "NEMA转换" (and PathFileBase on loading), read by NMEAF.
#include "core/types.h"

#include "common/timezone.h"

#include <QList>
#include <QString>

namespace pixplot::pathshare {

extern QList<GeoPoint> PathGeoPoints; // point i (1-based) is entry i - 1
extern qsizetype PathPointCount;      // valid entries of PathGeoPoints
extern QString PathTimeSpan;          // first pointTime + " to " + last pointTime
extern QString PathFileBase;          // loaded file's path without its last four characters
extern QString PathFile;              // the loaded file itself, which no output may replace
extern QList<PathPoint> PathPoints;   // the points themselves, for the GPX file

} // namespace pixplot::pathshare
