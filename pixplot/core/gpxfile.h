#pragma once
// GPX 1.0 and 1.1 files as GPS paths, and the loaded path written as GPX.
#include "core/types.h"

#include "common/timezone.h"

#include <QByteArray>
#include <QList>
#include <optional>

namespace gpxfile {

// True when the file's first bytes are an XML document whose root is <gpx>,
// whatever the file is called.
bool LooksLikeGpx(QByteArrayView head);

// The points of a GPX document: every trkpt with a time (each trkseg a
// segment); only when there is none, the rtept and wpt points with a time.
// pointTime is the time in zone, position the usual text. *untimed counts
// the points left out for want of a (readable) time. False with *error when
// the XML breaks off; the points before the fault are kept.
bool ReadGpx(const QByteArray &bytes, const common::TimeZoneSetting &zone, QList<PathPoint> *points,
             qint64 *untimed, QString *error);

// "2026-03-29T01:30:00Z", with fractions and "+02:00"-style offsets; a time
// without a zone is UTC. Seconds since 1970 UTC, fractions dropped.
std::optional<qint64> ParseGpxTime(QStringView text);

// The loaded path as a GPX 1.1 document: one track, one segment per path
// segment, positions from the position texts, times in UTC.
QByteArray PathDocument(const QList<PathPoint> &points, const QString &trackName);
// The file beside the path file: its base + ".gpx".
QString GpxFileName(const QString &pathFileBase);
QString GpxSavedMessage(const QString &fileName, qsizetype count);

} // namespace gpxfile
