#pragma once
// A small reader of the box structure that QuickTime movies, MP4/3GP and
// Canon's CR3 share: the movie header's creation time, and the TIFF blocks
// a CR3 keeps its camera tags in. Every size a box claims is checked
// against the box around it before anything is read.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QIODevice>
#include <QList>

#include <optional>

namespace pixplot::boxreader {

struct MovieInfo {
    bool isBoxFile = false;            // the file starts with a plausible box
    std::optional<qint64> creationUtc; // mvhd creation time, seconds since 1970 UTC; none when 0
    QList<QByteArray> canonTiff;       // CMT1, CMT2... of a CR3, each a TIFF block
    QString make, model;               // the movie's metadata keys or user data
};

// Walks the top-level boxes of device (opened for reading, seekable) and
// the movie box inside. Never reads more than the boxes it looks at.
MovieInfo readMovie(QIODevice &device);

// Sigma's X3F keeps the camera's settings as a list of UTF-16 names and
// values (CAMMANUF, CAMMODEL, CAMSERIAL, TIME) in a section its directory at
// the end of the file points at. Empty when there is none.
QHash<QString, QString> readX3fProperties(QIODevice &device);

// Seconds from the QuickTime epoch (1904-01-01) to the Unix epoch.
inline constexpr qint64 kQuickTimeEpochOffset = 2082844800;

} // namespace pixplot::boxreader
