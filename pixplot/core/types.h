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

// Decimal degrees, longitude first.
struct GeoPoint {
    double longitude = 0;
    double latitude = 0;
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
    // The file's own decimal degrees where the position text rounds them
    // (GPX: the text keeps 1/10000 of a minute); NaN where the text is
    // written as the file gives it (NMEA).
    double latitude = std::numeric_limits<double>::quiet_NaN();
    double longitude = std::numeric_limits<double>::quiet_NaN();

    qint64 utcSeconds() const { return localSeconds - zoneOffset; } // the fix's instant

    QString pointTime() const;    // YYYY-MM-DD hh:mm:ss
    QString positionText() const; // the position as the lists show it
    // The file's decimal degrees where the text rounds them; else none.
    std::optional<GeoPoint> exactDegrees() const
    {
        if (std::isnan(latitude) || std::isnan(longitude))
            return std::nullopt;
        return GeoPoint{longitude, latitude};
    }
    // The position in decimal degrees: the file's own, else read from the text.
    GeoPoint degrees() const;
};

struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

} // namespace pixplot
