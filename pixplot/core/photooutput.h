#pragma once
// Turning a listed photo into files: the new name, the caption line, the
// framed picture and the processing of one photo that never loses the source.
#include "core/gpstagwriter.h"
#include "core/types.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace pixplot::photooutput {

// Frame around the photo, in pixels (330, 300 and 30 twips at 15 per pixel).
inline constexpr int kSideBorder = 22; // left, right and top
inline constexpr int kCaptionRow = 20; // the caption line under the photo
inline constexpr int kBottomStrip = 2; // below the caption
// The caption's face: 15-point bold 宋体, i.e. 300 twips = 20 pixels.
inline constexpr int kCaptionPixelSize = 20;
inline constexpr int kJpegQuality = 80;

enum class RenameMode { Keep, ByTime, ByPrefix };

// Where a position goes: Auto writes JPEGs in the file and every other
// format into an XMP sidecar; Always uses sidecars for every photo.
enum class SidecarMode { Auto, Always };

struct Options {
    bool backup = true;
    RenameMode rename = RenameMode::Keep;
    QString prefix; // ByPrefix
    bool frame = false;
    // Frames also photos whose metadata says they were framed before; left
    // false, such a photo is skipped (Outcome::alreadyFramed).
    bool reframe = false;
    QString note;          // starts the caption
    bool withTime = true;  // caption carries the time
    bool withGps = false;  // caption carries the position
    QColor background;     // frame colour: the window background
    bool writeGps = false; // EXIF GPS tags for photos with a position
    SidecarMode sidecar = SidecarMode::Auto;
    // The zone of the list's times (the path's local time), for the GPS time.
    common::TimeZoneSetting zone;
};

// The name a photo gets before clashes are resolved. row is 1-based.
// ByTime needs an EXIF time; without one the name stays.
QString newFileName(const PhotoRecord &record, const QString &timeText, RenameMode mode,
                    const QString &prefix, qint64 row);

// A prefix names files in the photo's own folder: one that holds a path
// separator or is "." or ".." would place them elsewhere and is refused.
bool isUsablePrefix(const QString &prefix);
// What the user reads when a prefix is refused; nothing was processed.
QString badPrefixMessage(const QString &prefix);

// " " + note + "  " + position (when withGps) + "  " + time (when withTime).
QString captionText(const QString &note, const QString &position, const QString &timeText, bool withGps,
                    bool withTime);

// Size of the framed picture for a photo of the given size.
QSize framedSize(const QSize &photo);

// The machine's physical memory in bytes (0 when it cannot be told).
qint64 machineMemory();
// The most pixels a photo may claim to be decoded: a quarter of the
// machine's memory at 4 bytes a pixel, never under 200 megapixels.
qint64 decodePixelLimit();
// Why a photo whose header claims this size is not decoded ("照片尺寸
// W×H ..."); empty when it may be.
QString oversizeReason(const QSize &claimed);
// About how many bytes of memory processing the photo takes (its file, and
// when framing its decoded and framed pixels), from its header alone.
qint64 memoryEstimate(const QString &path, const Options &options);

// Reads a photo upright (the reader applies the orientation tag). A null
// image when the file is missing, does not decode or claims more pixels
// than decodePixelLimit() (checked before any pixel memory is taken).
QImage readUprightPhoto(const QString &path);
// The same into *into, whose pixels are reused when size and format fit;
// *reason says why a photo too large was refused.
bool readUprightPhoto(const QString &path, QImage *into, QString *reason = nullptr);

// The photo framed by the background colour with the caption line under it.
QImage ComposeFramedImage(const QImage &photo, const QString &caption, const QColor &background);
// The same into *into, reusing its pixels when it has the framed size.
bool ComposeFramedImage(const QImage &photo, const QString &caption, const QColor &background, QImage *into);

enum class Failure { None, Missing, BackupFailed, Unreadable, WriteFailed, RenameFailed, MetadataFailed };

struct Outcome {
    Failure failure = Failure::None;
    QString fileName;        // the photo's name afterwards (unchanged on failure)
    QString backupPath;      // where the backup went, when one was made
    bool gpsWritten = false; // the photo got GPS tags
    QString sidecarPath;         // the XMP sidecar the position went to, when one did
    bool framingSkipped = false; // framing was asked for a format it cannot re-encode
    // Left as it was: it carries the mark of a frame and reframe was not set.
    bool alreadyFramed = false;
    QString reason; // the system's reason of a failure, when known
    bool ok() const { return failure == Failure::None; }
};

// The large pictures of framing, kept by one worker between photos so that
// each photo does not ask the system for fresh pages.
struct FrameBuffers {
    QImage photo;
    QImage framed;
};

// The first half of ProcessPhoto, whose choices depend on what earlier
// photos left on disk: the source checked, the backup made, the new name
// chosen. `finished` when it failed or is skipped: nothing more is to be done.
struct Prepared {
    Outcome outcome;
    QString src;
    QString dst;
    QString newName;
    // The name before clashes were resolved and the number newName took
    // (systemfinction::numberedFileName); a clash at the moment of writing
    // takes the next number.
    QString wantedName;
    qint64 nameNumber = 0;
    bool finished() const { return !outcome.ok() || outcome.alreadyFramed; }
};
Prepared preparePhoto(const PhotoRecord &record, qint64 row, const QString &timeText, const Options &options);

// The second half: decode, compose, encode, rename. Touches only the
// prepared source and target, so photos can be completed side by side.
// degrees: the position's where its text rounds them (PhotoRow::degrees).
Outcome completePhoto(const PhotoRecord &record, const Prepared &prepared, const QString &timeText,
                      const QString &position, const Options &options, FrameBuffers *buffers = nullptr,
                      const FixMotion &motion = {}, const std::optional<GeoPoint> &degrees = {});

// Processes one photo: backup, new name, frame, GPS tags. The new content
// is made first; then the photo takes its new name, never replacing another
// file, not even one that appeared while the photo was worked on (the next
// free "_N" is taken then); then its content is replaced once the new one is
// completely on disk, keeping its permissions (and owner). On failure
// nothing of the photo has changed (a backup copy may have been made).
Outcome ProcessPhoto(const PhotoRecord &record, qint64 row, const QString &timeText, const QString &position,
                     const Options &options, const FixMotion &motion = {},
                     const std::optional<GeoPoint> &degrees = {});

// The reason of a failure as the user reads it.
QString failureText(Failure failure);
// FailureText, followed by the system's reason when the outcome has one.
QString failureText(const Outcome &outcome);

// "执行" on one photo that went well.
QString singleDoneMessage(const QString &fileName);
// Whether the photo's metadata says it was framed by this program.
bool carriesFrameMark(const QString &path);
// A photo left out because it was framed before.
QString alreadyFramedText(const QString &fileName);

// Before framing photos that were framed before (in this session or, by
// their mark, earlier).
QString framedAgainQuestion(const QString &fileName);
QString framedAgainBatchQuestion(qint64 count);
// "批处理完成!" and the counts of a batch; gpsWritten (when GPS tags were
// asked for) adds how many photos got them, framingSkipped how many were
// left without a frame for their format, alreadyFramed how many were left
// out as framed before.
QString batchMessage(qint64 processed, qint64 failed, std::optional<qint64> gpsWritten = {},
                     qint64 framingSkipped = 0, qint64 alreadyFramed = 0);
// Why a photo got no frame.
QString framingSkippedText(const QString &fileName);
// Whether a position for the photo goes into an XMP sidecar.
bool usesSidecar(const QString &fileName, SidecarMode mode);
// A batch stopped by "取消": the photos done before it stopped.
QString cancelledBatchMessage(qint64 processed, qint64 failed);

} // namespace pixplot::photooutput
