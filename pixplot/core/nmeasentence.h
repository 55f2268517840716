#pragma once
// NMEA sentences and the position texts made of them: which lines can be
// RMC or GGA sentences, a fix read from an RMC sentence, the altitude from
// a GGA sentence, and position texts to and from decimal degrees.
#include "core/types.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace common {
class TimeZoneSetting;
}

namespace pixplot::systemfinction {

// The one place a fix becomes a path point: its UTC time in calendar
// seconds and its position text (Latin-1). Path times are in zone, UTC + 8 h
// when none is given.
PathPoint makePathPoint(qint64 utcSeconds, QByteArray position,
                        const common::TimeZoneSetting *zone = nullptr);
// "3150.1234" -> "31°50.1234'"; splits two digits before the decimal point.
QString FormatNmeaAngle(const QString &angle);
// One line -> a fix (UTC + 8 h); position is empty when the line is not an
// accepted RMC sentence. offsetSeconds is 0.
PathPoint ParseRmcSentence(const QString &line);
// The same for a line still in bytes, as a path file holds it; times in
// zone (UTC + 8 h when none is given).
PathPoint parseRmcBytes(QByteArrayView line, const common::TimeZoneSetting *zone = nullptr);
// The altitude (metres above sea level) of a GGA sentence with a fix; NaN
// when it has none.
float ggaAltitude(QByteArrayView line);
// Decimal degrees -> "N31°50.1234',E118°46.5678'" (degrees of two and three
// digits as NMEA writes them, minutes rounded to four decimals).
QString positionTextFromDegrees(double latitude, double longitude);
QByteArray positionBytesFromDegrees(double latitude, double longitude); // the same in Latin-1
// "N31°50.1234',E118°46.5678'" -> decimal degrees; S and W give negatives.
GeoPoint ParsePositionText(const QString &position);

// Cheap checks on a line's first bytes, so a long log's other lines are
// skipped before a string is made of them: only lines that look like
// "$xxRMC," can give a fix, and "$xxGGA," an altitude.
bool mayBeRmc(const char *line, qsizetype length);
bool mayBeGga(const char *line, qsizetype length);
// Whether the first `length` bytes already rule out an RMC sentence and a
// GGA sentence (which may give the altitude of an RMC fix).
bool cannotBeRmc(const char *line, qsizetype length);
// The time of a sentence whose time is its first field, in milliseconds of
// the day as hhmmss and its fraction give it (a receiver of several fixes a
// second tells them apart by the fraction); -1 when it does not read.
qint64 timeOfDay(QByteArrayView line);

} // namespace pixplot::systemfinction
