#pragma once
// The fragments the KML and HTML output files are written from: indents,
// numbers and coordinates.
#include "core/types.h"

#include <QList>
#include <QString>

namespace pixplot::systemfinction {

QString IndentSpaces(int level);  // 4 x level spaces
QString numberText(double value); // shortest, at most 15 significant digits
// Point number i (1-based) of points: "lon+dLon,lat+dLat,0".
QString KmlCoordinate(const QList<GeoPoint> &points, int i, double dLon, double dLat);
// "new GLatLng(lat+dLat,lon+dLon)".
QString MapLatLngLiteral(const QList<GeoPoint> &points, int i, double dLon, double dLat);

} // namespace pixplot::systemfinction
