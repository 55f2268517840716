#pragma once
// pixplot's stateless helpers, one source file a kind: date-time texts
// (systemfinction_datetime.cpp), NMEA and position texts (_nmea.cpp), photo
// files and file-name rules (_files.cpp), and the fragments of the KML and
// HTML map files (_output.cpp).
#include "core/types.h"

#include "common/safefile.h"

#include <QByteArrayView>
#include <QList>
#include <optional>

namespace common {
class TimeZoneSetting;
}

namespace systemfinction {

// --- photos -------------------------------------------------------------
// Accepts an existing regular file whose path ends (upper-cased) in ".JPG"
// and reads its EXIF shooting time. A blank record (empty fileName) means
// "not accepted"; a FIFO or device is refused without being opened. folder
// must end with "/".
PhotoRecord ReadPhotoRecord(const QString &name, const QString &folder);

// --- NMEA and positions ---------------------------------------------------
// The one place a fix becomes a path point: its UTC time in calendar
// seconds and its position text (Latin-1). Path times are in zone, UTC + 8 h
// when none is given.
PathPoint MakePathPoint(qint64 utcSeconds, QByteArray position,
                        const common::TimeZoneSetting *zone = nullptr);
// "3150.1234" -> "31°50.1234'"; splits two digits before the decimal point.
QString FormatNmeaAngle(const QString &angle);
// One line -> a fix (UTC + 8 h); position is empty when the line is not an
// accepted RMC sentence. offsetSeconds is 0.
PathPoint ParseRmcSentence(const QString &line);
// The same for a line still in bytes, as a path file holds it; times in
// zone (UTC + 8 h when none is given).
PathPoint ParseRmcBytes(QByteArrayView line, const common::TimeZoneSetting *zone = nullptr);
// The altitude (metres above sea level) of a GGA sentence with a fix; NaN
// when it has none.
float GgaAltitude(QByteArrayView line);
// Decimal degrees -> "N31°50.1234',E118°46.5678'" (degrees of two and three
// digits as NMEA writes them, minutes rounded to four decimals).
QString PositionTextFromDegrees(double latitude, double longitude);
QByteArray PositionBytesFromDegrees(double latitude, double longitude); // the same in Latin-1
// "N31°50.1234',E118°46.5678'" -> decimal degrees; S and W give negatives.
GeoPoint ParsePositionText(const QString &position);

// --- date-time texts (YYYY-MM-DD hh:mm:ss) --------------------------------
// Plain calendar arithmetic: no time zone or daylight saving enters.
std::optional<DateTimeParts> ParseDateTimeText(const QString &text);
QString FormatDateTimeParts(const DateTimeParts &parts);
// Adds (or with negative, subtracts) "h:m:s" to text; "" on bad input.
QString ShiftDateTimeText(const QString &text, const QString &offset, bool negative);
// Calendar seconds of a date-time text and back (year 1 to 9999).
std::optional<qint64> CalendarSecondsOf(const QString &text);
QString FormatCalendarSeconds(qint64 seconds);
// Whole seconds from first to second (positive when second is later);
// nullopt when either text is not a date-time.
std::optional<qint64> SecondsBetween(const QString &first, const QString &second);

// --- output fragments ----------------------------------------------------
QString IndentSpaces(int level);  // 4 x level spaces
QString NumberText(double value); // shortest, at most 15 significant digits
// Point number i (1-based) of points: "lon+dLon,lat+dLat,0".
QString KmlCoordinate(const QList<GeoPoint> &points, int i, double dLon, double dLat);
// "new GLatLng(lat+dLat,lon+dLon)".
QString MapLatLngLiteral(const QList<GeoPoint> &points, int i, double dLon, double dLat);
// Current local time (common::clock) as H:mm:ss with the colons removed.
QString TimeStampText();

// --- file-name rules (photo output) ----------------------------------------
// Copies the photo and its sidecars into folder + "BackUp/", adding "_1",
// "_2" ... before the extension when a backup of that name exists (also one
// that appears while the copy is made). The backup keeps the photo's
// permissions, owner (as root) and modification time. False (and *error
// set) when nothing was copied; a failed copy leaves no partial backup.
bool BackupPhotoFile(const PhotoRecord &record, QString *backupPath = nullptr, QString *error = nullptr);
// name, or base + "_n" + ext for the first n that is free in folder; with
// photo (the file that is to take the name), free for its sidecars too.
QString UniqueFileName(const QString &folder, const QString &name, const QString &photo = QString());
// The names UniqueFileName tries, in its order: n = 0 is name itself, n > 0
// base + "_n" + ext.
QString NumberedFileName(const QString &name, qint64 n);
// The n of UniqueFileName's choice.
qint64 FreeNameNumber(const QString &folder, const QString &name, const QString &photo = QString());
// The names a new file commits to in turn, from NumberedFileName(name,
// from) on (those whose sidecar names are taken left out), when the one
// chosen has been taken meanwhile.
common::NameCandidates FreeNames(const QString &folder, const QString &name, qint64 from = 0,
                                 const QString &photo = QString());

} // namespace systemfinction
