#pragma once
// The listed points as the map draws them: every row with a position that
// can exist, in list order, and whether the user marked it.
#include "core/pointstore.h"

#include <QList>

namespace trekport {

struct TrackMapPoint {
    int row = 0;          // 0-based list row
    double latitude = 0;  // decimal degrees, north
    double longitude = 0; // decimal degrees, east
    bool marked = false;
};

// Rows 0 .. count-1 of store; rows without position cells, or with one
// that no place has, are left out.
QList<TrackMapPoint> trackMapPoints(const PointStore &store, int count);

} // namespace trekport
