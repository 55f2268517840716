#pragma once
// EXIF GPS tags and carried-over metadata through libexiv2, on JPEG bytes in
// memory only: callers read the photo, hand its bytes here and replace the
// file with the result through the safe writer, so a failed or interrupted
// write never reaches the photo.
#include "core/types.h"

#include "common/timezone.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <optional>

namespace pixplot::gpstagwriter {

// One fix: what is written as a photo's GPS directory, as a whole.
struct GpsTags {
    double latitude = 0;            // decimal degrees, south negative
    double longitude = 0;           // decimal degrees, west negative
    QDateTime utc;                  // when the photo was taken, in UTC
    std::optional<double> altitude; // metres above sea level
    std::optional<double> speedKmh;
    std::optional<double> track; // degrees from true north
};

// The tags of a listed photo: its position text, its corrected time (local
// time of the path's zone) and that zone. nullopt when a text is not a
// position or a date-time.
std::optional<GpsTags> tagsForRow(const QString &position, const QString &timeText,
                                  const common::TimeZoneSetting &zone);
// The same with the altitude, speed and course the row's fixes gave, and
// the position's decimal degrees where its text rounds them (written
// instead of the text's).
std::optional<GpsTags> tagsForRow(const QString &position, const QString &timeText,
                                  const common::TimeZoneSetting &zone, const FixMotion &motion,
                                  const std::optional<GeoPoint> &degrees = {});

// jpeg with its GPS directory replaced by the fix's (and XMP GPS properties
// it had replaced too); every other tag, every embedded image and the image
// data stay as they were, each byte of the Exif block at its offset. The new
// file is *head followed by jpeg from *bodyStart on (the image data, which is
// not copied). False (and *error set) on any failure, including a result
// whose metadata reads back different and an Exif block with no room left.
bool writeGpsTags(const QByteArray &jpeg, const GpsTags &tags, QByteArray *head, qsizetype *bodyStart,
                  QString *error = nullptr);

// encoded (a JPEG just encoded from the upright pixels of source, of the
// given size) with source's EXIF, IPTC and XMP carried over: Orientation 1,
// pixel dimensions updated, no thumbnail, and the GPS tags when given. A
// source without metadata gives encoded unchanged (plus the GPS tags).
bool carryMetadata(const QByteArray &source, const QByteArray &encoded, const QSize &size,
                   const GpsTags *tags, QByteArray *out, QString *error = nullptr);

// The EXIF GPS position of a JPEG; nullopt when it has none or cannot be read.
std::optional<GeoPoint> readGpsPosition(const QByteArray &jpeg);

// "N31°50.1234',E118°46.5678'": the position text of the lists.
QString positionText(const GeoPoint &point);

// A framed photo says so in its XMP (a property of pixplot's own namespace),
// so that a later run, after a crash or over the same folder, does not frame
// the frame. markFramed sets it in jpeg: the XMP packet alone is encoded
// anew, every other byte stays. False (and *error set) when the packet does
// not read or the result does not fit one segment.
bool markFramed(const QByteArray &jpeg, QByteArray *out, QString *error = nullptr);
// Whether the JPEG bytes (the file's start suffices: the metadata comes
// before the image data) carry that mark.
bool isMarkedFramed(const QByteArray &jpegHead);

} // namespace pixplot::gpstagwriter
