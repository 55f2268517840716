#pragma once
// The records pixplot keeps beside its two lists.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cmath>
#include <limits>
#include <optional>

namespace pixplot {

// One listed photo. folder ends with the directory separator "/".
struct PhotoRecord {
    bool hasExif = false; // an EXIF shooting time was read and is non-empty
    QString fileName;     // name with extension, as listed
    QString folder;       // ends with "/"
    QString shotTime;     // YYYY-MM-DD hh:mm:ss, uncorrected; "" when none
    // Seconds east of UTC that the photo's own metadata gives for shotTime
    // (OffsetTimeOriginal, or 0 for a format whose times are UTC); without
    // one, the zone setting applies.
    std::optional<qint32> utcOffset;
    QString camera; // Make, Model and serial number where present; "" when unknown
};

// What a fix may say beside its position. Floats with NaN for "not given"
// keep a path point small; a path rarely has all three.
struct FixMotion {
    static constexpr float None = std::numeric_limits<float>::quiet_NaN();
    float altitude = None; // metres above sea level
    float speedKmh = None;
    float track = None; // degrees from true north, 0..360

    static std::optional<double> given(float v)
    {
        return std::isnan(v) ? std::nullopt : std::optional<double>(v);
    }
};

// One loaded fix of a GPS path. A long log gives millions of them, so a
// point keeps numbers and one short Latin-1 text; the texts the lists show
// are made when they are shown.
struct PathPoint {
    qint64 localSeconds = 0;      // local time (UTC through the zone setting) in calendar seconds
    qint64 offsetSeconds = 0;     // seconds since the path's first point
    QByteArray position;          // Latin-1, e.g. N31°50.1234',E118°46.5678'; empty = not a fix
    qint32 zoneOffset = 8 * 3600; // seconds east of UTC in force at the fix
    qint32 segment = 0;           // points of different segments are never joined
    FixMotion motion = {};        // altitude, speed and course where the path gives them

    qint64 utcSeconds() const { return localSeconds - zoneOffset; } // the fix's instant

    QString pointTime() const;    // YYYY-MM-DD hh:mm:ss
    QString positionText() const; // the position as the lists show it
};

// Decimal degrees, longitude first.
struct GeoPoint {
    double longitude = 0;
    double latitude = 0;
};

struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

} // namespace pixplot
