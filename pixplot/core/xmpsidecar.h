#pragma once
// Positions kept in an XMP file beside the photo, for the formats that are
// never written themselves (and for every photo when the user asks): the
// photo stays untouched, a raw editor's sidecar keeps every other property.
#include "core/types.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace pixplot::xmpsidecar {

struct Fix {
    double latitude = 0;  // decimal degrees, south negative
    double longitude = 0; // decimal degrees, west negative
    QDateTime utc;        // the fix's instant
    std::optional<double> altitude; // metres above sea level
    std::optional<double> speedKmh;
    std::optional<double> track; // degrees from true north
};

// The sidecar a photo's position goes to: NAME.EXT.xmp where it exists;
// else NAME.xmp where that exists and no other photo of that base name lies
// in the folder; else NAME.EXT.xmp (created).
QString sidecarPath(const QString &photoPath);

// The sidecars of a photo that exist (NAME.EXT.xmp, and NAME.xmp when it
// belongs to this photo alone), which travel with it through renames and
// backups.
QStringList companions(const QString &photoPath);
// Where a companion of photoPath goes when the photo becomes newPhotoPath.
QString companionFor(const QString &companion, const QString &photoPath, const QString &newPhotoPath);

// Sets the position (and altitude, speed, direction where given) in the
// photo's sidecar, replacing any GPS properties it had and keeping every
// other property; writes through the safe writer. *written receives the
// sidecar's path. False, with *error, when nothing was written.
bool writeFix(const QString &photoPath, const Fix &fix, QString *written = nullptr, QString *error = nullptr);

// The position a sidecar holds; nullopt when it has none or does not parse.
std::optional<GeoPoint> readPosition(const QString &sidecar);

} // namespace pixplot::xmpsidecar
