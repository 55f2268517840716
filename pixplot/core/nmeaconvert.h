#pragma once
// The loaded path written as a KML document (for a globe viewer) and as an
// XHTML page that draws it on a web map: the documents as lines, the file
// names beside the path file, the offsets the user types and the reports.
#include "core/types.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pixplot::nmeaconvert {

// The path as the conversion reads it: points[0 .. count-1] are used.
struct PathInput {
    QList<GeoPoint> points;
    qsizetype count = 0;
    QString timeSpan; // first pointTime + " to " + last pointTime
};

// Decimal degrees added to every point written.
struct Offsets {
    double longitude = 0;
    double latitude = 0;
};

// True when count is at least 1 and every counted point is present.
bool hasPoints(const PathInput &path);

// The KML document, one entry per line, without line ends.
QStringList kmlDocumentLines(const PathInput &path, const Offsets &offsets);
// The XHTML map page, one entry per line, without line ends.
QStringList htmlPageLines(const PathInput &path, const Offsets &offsets);
// The same documents as the bytes of the file: UTF-8, each line ended by CR LF.
QByteArray kmlDocument(const PathInput &path, const Offsets &offsets);
QByteArray htmlPage(const PathInput &path, const Offsets &offsets);

// The files sit beside the path file: its base (path without the extension
// the main window cut off) plus ".kml" / ".html".
QString kmlFileName(const QString &pathFileBase);
QString htmlFileName(const QString &pathFileBase);

// Writes the lines as UTF-8, each ended by CR LF, replacing fileName only
// once the whole document is on disk.
bool writeDocument(const QString &fileName, const QStringList &lines, QString *error = nullptr);
bool writeDocument(const QString &fileName, const QByteArray &bytes, QString *error = nullptr);

// An offset box's text as a number: optional sign, digits with an optional
// "." fraction, surrounding blanks allowed. nullopt for anything else
// (empty, letters, a comma as decimal point, exponents).
std::optional<double> parseOffsetText(const QString &text);

// The page's preset corrections, as the texts the two page boxes receive.
enum class Preset { None, MapView, SatelliteView };
struct PresetTexts {
    QString latitude;
    QString longitude;
};
PresetTexts presetOffsetTexts(Preset preset);

// What the user reads after writing.
QString kmlSavedMessage(const QString &fileName, qsizetype count);
QString htmlSavedMessage(const QString &fileName);
// Offset box 0..3 (KML latitude, KML longitude, page latitude, page
// longitude) holds text that is not a decimal number.
QString badOffsetMessage(int box, const QString &text);
QString writeFailedMessage(const QString &fileName, const QString &error);
QString noPointsMessage();

} // namespace pixplot::nmeaconvert
