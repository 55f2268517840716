#pragma once
// What pixplot keeps between runs: the matching settings, the per-camera
// clock corrections, as "key=value" lines in the user's config folder (the
// folders last used are common's remembered folders).
#include <QHash>
#include <QString>

namespace pixplot::settingsfile {

struct Settings {
    QString zone; // as TimeZoneSetting::text() writes it; "" for the default
    qint64 tolerance = -1; // -1: not kept
    bool interpolate = false;
    qint64 maxGap = -1;
    QHash<QString, qint64> corrections; // camera ("所有相机" for all) -> seconds
};

// ~/.config/pixplot/pixplot.ini (the user's config folder).
QString defaultFile();
// What file holds; the defaults for what it lacks, also when it is missing.
Settings read(const QString &file);
// Writes settings through the safe writer, making the folder when needed.
bool write(const QString &file, const Settings &settings, QString *error = nullptr);

} // namespace pixplot::settingsfile
