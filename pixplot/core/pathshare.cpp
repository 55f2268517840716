#include "core/pathshare.h"

namespace pixplot::pathshare {

QList<GeoPoint> PathGeoPoints;
qsizetype PathPointCount = 0;
QString PathTimeSpan;
QString PathFileBase;
QString PathFile;
QList<PathPoint> PathPoints;

} // namespace pixplot::pathshare
