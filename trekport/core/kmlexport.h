#pragma once
// KML of a logger track: marked points as placemarks, automatic points as one
// line, written as text with two spaces of indentation per level.
#include "pointstore.h"

#include <QStringList>
#include <functional>

namespace trekport {

// "05/12 10:23:45": local time as stored, no year.
QString TimeLabel(const TrackRow &row);
// k times two spaces.
QString IndentText(int k);
// Decimal degrees of a degrees and a minutes cell, 13 decimals at most:
// ("121", "23.4567") -> "121.390945", ("31", "00.0000") -> "31".
QString decimalDegrees(const QString &degrees, const QString &minutes);
// "121.390945,31.20576,0": longitude, latitude, altitude.
QString KmlCoordinates(const TrackRow &row);

struct KmlDocument {
    QStringList lines;
    int marked = 0;
    int count = 0;
    int impossible = 0; // rows left out: their position cannot exist
};
KmlDocument buildKmlDocument(const PointStore &store, int count);
// The same lines as the file's UTF-8 bytes, made point by point.
struct KmlFile {
    QByteArray bytes;
    int marked = 0;
    int count = 0;
    int impossible = 0;
};
KmlFile buildKmlFile(const PointStore &store, int count);
// Hands each line of the document to `line`; returns the marked points
// written. Rows whose position cannot exist are left out and counted in
// *impossible.
int forEachKmlLine(const PointStore &store, int count, const std::function<void(const QString &)> &line,
                   int *impossible = nullptr);

QString kmlSavedMessage(const QString &path, int marked, int automatic);
bool writeKmlFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace trekport
