#pragma once
#include <mutex>
// The kinds of photo and video pixplot lists, behind one registry: each
// family says which files it takes, reads their shooting time and camera,
// gives a preview and says where a position may be written. The list, the
// batch, the map page and the command line ask here, never a suffix of
// their own.
#include "core/cameratime.h"
#include "core/types.h"

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace pixplot::mediaformat {

enum class Family {
    Jpeg,      // the EXIF reader of the list; positions written into the file
    TiffRaw,   // TIFF and the camera raw files, read through exiv2
    Bmff,      // HEIF/HEIC, AVIF and CR3: exiv2, libheif where exiv2 fails
    QuickTime, // MOV, MP4, 3GP: the movie header's time (UTC)
    PngWebp,   // PNG (eXIf, XMP) and WebP
    Avi,       // AVI: the header's IDIT time (the camera's clock)
    Avchd,     // MTS/M2TS: the H.264 stream's MDPM time and zone
    KyoceraRaw, // Kyocera's N Digital raw: its fixed header's time
};

struct Format {
    Family family;
    QString name;         // as the user reads it
    QStringList suffixes; // lower case, without the dot
    bool positionInFile;  // a position may be written into the file itself
    bool video;
    bool framable;        // framing can re-encode it
    // Where families share a suffix (.raw): true when a file's first bytes
    // are this family's; nullptr takes any file of its suffixes.
    bool (*takes)(QByteArrayView head) = nullptr;
};

// Every family, the JPEG one first.
const QList<Format> &formats();
// The family of a file by its name; nullptr when none takes it. Families
// sharing a suffix share what this tells (video, where a position goes).
const Format *formatOf(const QString &fileName);
// The family that reads the file at path: by its name, and where families
// share the suffix, by its first bytes.
const Format *formatOfFile(const QString &path);
inline bool isJpeg(const QString &fileName)
{
    const Format *f = formatOf(fileName);
    return f && f->family == Family::Jpeg;
}

// The add dialog's filter: every format first, then JPEG alone, then all files
// (the "text|pattern|text|pattern" form the dialogs take).
QString openFilter();

// What a file's own metadata says about when and with what it was taken.
struct ShotInfo {
    QString shotTime; // YYYY-MM-DD hh:mm:ss, or "" with reason set
    std::optional<qint32> utcOffset;
    QString subSeconds; // SubSecTimeOriginal's digits, "" when none
    QString camera;
    QString reason; // why no time was read
};

// Reads the shooting time of a file of a non-JPEG family: DateTimeOriginal,
// else CreateDate, with SubSecTimeOriginal and OffsetTimeOriginal; for video
// the movie header's creation time (UTC).
ShotInfo readShotInfo(const QString &path);

// Fills record (fileName, folder, time, offset, camera) for a listed file of
// any family; *reason tells why no time was read. An empty fileName when the
// file is not there or no family takes it.
PhotoRecord readRecord(const QString &name, const QString &folder, QString *reason = nullptr);

// A preview of the file at most `box` large (device pixels): the embedded
// preview of a raw file, the decoded HEIF/AVIF image, Qt's decode of
// PNG/TIFF/WebP, a film frame with the name and time for a video. *fullSize
// receives the picture's own upright size when known. Null when none.
QImage previewImage(const QString &path, const QSize &box, QSize *fullSize = nullptr,
                    const QString &timeText = QString());

// The GPS position a file of a non-JPEG family carries in its own Exif;
// nullopt when it has none or cannot be read.
std::optional<GeoPoint> readFilePosition(const QString &path);

// Makes exiv2 read HEIF/AVIF/CR3 (it takes them for video otherwise) and
// keeps its warnings off the terminal. Safe to call any number of times.
void initExiv2();
// exiv2's XMP toolkit is not safe to use from several threads at once (the
// batch's workers): every use of exiv2 holds this lock, after initExiv2().
std::unique_lock<std::recursive_mutex> holdExiv2();

} // namespace pixplot::mediaformat
