#pragma once
// GPX 1.1 of a logger track: one waypoint per marked point, named by its
// record number as the KML placemarks are, and one track of every fix in
// time order; times in UTC from the logger's local time through the zone.
#include "pointstore.h"

#include "common/timezone.h"

#include <QByteArray>

namespace trekport {

struct GpxExport {
    QByteArray bytes;
    int marked = 0;
    int automatic = 0;
    int skipped = 0;    // rows whose time, date or position is not a number
    int impossible = 0; // rows whose position cannot exist
};
// Written point by point: no copy of the points is held beside the bytes.
GpxExport buildGpxDocument(const PointStore &store, int count, const QString &dataYear,
                           const common::TimeZoneSetting &zone);

QString gpxSavedMessage(const QString &path, const GpxExport &doc);
bool writeGpxFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace trekport
