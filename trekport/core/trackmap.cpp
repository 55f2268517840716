#include "core/trackmap.h"

namespace trekport {

QList<TrackMapPoint> trackMapPoints(const PointStore &store, int count)
{
    QList<TrackMapPoint> points;
    points.reserve(std::max(0, count));
    for (int i = 0; i < count && i < store.size(); ++i) {
        const TrackRow row = store.at(i);
        bool ok[4] = {};
        const double latDeg = row[ColLatDeg].toDouble(&ok[0]);
        const double latMin = row[ColLatMin].toDouble(&ok[1]);
        const double lonDeg = row[ColLonDeg].toDouble(&ok[2]);
        const double lonMin = row[ColLonMin].toDouble(&ok[3]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || positionImpossible(row))
            continue;
        points.append({i, latDeg + latMin / 60, lonDeg + lonMin / 60, row[ColKind] == kindMarked});
    }
    return points;
}

} // namespace trekport
