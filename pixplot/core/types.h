#pragma once
// The records pixplot keeps beside its two lists.
#include <QString>
#include <QtGlobal>

// One listed photo. folder ends with the directory separator "/".
struct PhotoRecord {
    bool hasExif = false;   // an EXIF shooting time was read and is non-empty
    QString fileName;       // name with extension, as listed
    QString folder;         // ends with "/"
    QString shotTime;       // YYYY-MM-DD hh:mm:ss, uncorrected; "" when none
};

// One loaded fix of a GPS path.
struct PathPoint {
    QString pointTime;      // local time (UTC + 8 h), YYYY-MM-DD hh:mm:ss
    QString position;       // e.g. N31°50.1234',E118°46.5678'; "" = not a fix
    qint64 offsetSeconds = 0; // seconds since the path's first point
};

// Decimal degrees, longitude first.
struct GeoPoint {
    double longitude = 0;
    double latitude = 0;
};

struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
