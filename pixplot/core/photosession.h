#pragma once
// pixplot's working state, which the window and the command line both drive:
// the photo rows, the loaded path, and what is done with them (clock
// correction, matching, the photo batch, the input of the conversions).
// Each of these rules lives here once; the callers only read and show.
#include "core/cameraclock.h"
#include "core/nmeaconvert.h"
#include "core/photobatch.h"
#include "core/photomatch.h"
#include "core/photooutput.h"
#include "core/photorow.h"

#include "common/timezone.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

namespace pixplot {

// A file that was not listed as a photo, and why.
struct PhotoReject {
    enum class Kind {
        Missing,    // not there at all
        NotRegular, // a FIFO, device or folder: refused before it is opened
        NotJpeg,    // of no format the registry takes
    };
    QString file;
    Kind kind = Kind::Missing;
    QString reason; // the system's reason (Missing, NotRegular)
    // Why the file was passed over, as the user reads it.
    QString why() const;
};

// What one addPhotos() did.
struct PhotoLoad {
    qint64 loaded = 0;   // rows added
    qint64 withExif = 0; // of them, rows with an EXIF shooting time
    QStringList names;   // the file names of the rows added
    QList<PhotoReject> rejects;
    // Rows listed without a time, other than JPEGs (which keep their quiet
    // way): the file and why its time could not be read.
    struct Untimed {
        QString file;
        QString reason;
    };
    QList<Untimed> untimed;
};

// What one loadPath() did. A file that breaks off keeps the points read
// before the fault: then error says why the rest was not read.
struct PathLoad {
    qint64 points = 0;  // points kept
    qint64 untimed = 0; // GPX points left out for want of a time
    QString error;      // empty when the whole file was read
    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    // What the window tells the user: the count, or the failure with its
    // reason and how many points were read before it.
    QString message(const QString &file) const;
};

// The loaded path as the conversions read it: PathGeoPoints, PathPointCount
// and PathTimeSpan (in path), and PathFileBase.
struct ConversionInput {
    nmeaconvert::PathInput path;
    QString fileBase;
};

// How a batch ended.
struct BatchResult {
    qint64 rows = 0;     // rows in the list when it ended
    qint64 finished = 0; // photos processed (failed ones included)
    qint64 failed = 0;
    bool gpsAsked = false;
    qint64 gpsWritten = 0;
    qint64 framingSkipped = 0; // rows of a format framing cannot re-encode
    qint64 alreadyFramed = 0; // left out as framed before
    bool cancelled = false;
    // With GPS tags asked for: each photo that had no position to write,
    // "file: why", in row order.
    QStringList unplaced;
    // Each failed photo, in row order: "照片 NAME 处理失败: REASON".
    QStringList failures;
    // "批处理完成!" with its counts, or the message of a cancelled batch.
    QString message() const;
    // The photos named in unplaced under a heading; "" when there are none.
    QString unplacedMessage() const;
    // message() followed by the failures, the first kListedFailures of
    // them (the rest are marked in the list).
    QString messageWithFailures() const;
    static constexpr qsizetype kListedFailures = 20;
};

// first pointTime + " to " + last pointTime.
QString timeSpanText(const PathPoint &first, const PathPoint &last);
// The path file's name without its last four characters (".txt", ".gpx";
// the conversions write their files beside it with their own extensions).
QString fileBaseOf(const QString &pathFile);

class PhotoSession : public QObject {
    Q_OBJECT
public:
    explicit PhotoSession(QObject *parent = nullptr);
    ~PhotoSession() override;

    // ---- photos; row i (1-based) is rows()[i - 1]
    const QList<PhotoRow> &rows() const { return rows_; }
    qsizetype rowCount() const { return rows_.size(); }
    // Lists the photos and videos among files (the formats the registry
    // takes) as new rows at the end (EXIF time
    // read, uncorrected, no position), in the order given. progress(k, n)
    // follows each file.
    PhotoLoad addPhotos(const QStringList &files, const std::function<void(qint64, qint64)> &progress = {});
    void removeRow(qsizetype row); // later rows move up
    void clearRows();
    // Each row as one line: name, tab, time, tab, position.
    QStringList rowTexts() const;

    // ---- path
    // The zone of the path's local times, and of the photo times matched
    // against them (UTC+08:00 unless set). The photo output writes GPS
    // times through it too.
    const common::TimeZoneSetting &zone() const { return options_.zone; }
    // The loaded points keep their instants; the times they show follow.
    void setZone(const common::TimeZoneSetting &zone);

    // What a path load keeps: the points, or only what the conversions need
    // (a long log is then never held as points).
    enum class PathKeep { Points, PositionsOnly };
    // Loads file (NMEA or GPX, told by its content) as the path, replacing
    // the one loaded. A file that is not a readable regular file, or that
    // breaks off, fails with the reason; the points read before a fault are
    // kept.
    PathLoad loadPath(const QString &file, PathKeep keep = PathKeep::Points);
    // Forgets the points; the file name stays for the conversions.
    void clearPath();
    const QList<PathPoint> &pathPoints() const { return points_; }
    qsizetype pathPointCount() const
    {
        return keep_ == PathKeep::Points ? points_.size() : positions_.size();
    }
    // Points of the last GPX load left out for want of a time.
    qint64 untimedPoints() const { return untimed_; }
    QString pathFile() const { return pathFile_; }
    QString pathFileBase() const { return fileBaseOf(pathFile_); }

    // ---- clock correction, per camera
    // The cameras of the rows in the order they were first listed ("" for
    // photos whose camera is not known).
    QStringList cameras() const;
    // A camera's correction: its own, or the one for all cameras.
    cameraclock::Clock clockOf(const QString &camera) const;
    // A fixed correction in seconds added to the camera's times; for
    // cameraclock::allCameras() every camera's.
    void setCorrection(const QString &camera, qint64 seconds);
    // Every camera's correction (the sign box and fields, or a bare --offset).
    void correctClock(const photomatch::ClockOffset &offset);
    // The photo in row shows a clock reading `shown` ("2026-05-12T09:03:27+02:00",
    // or without the offset in the zone): its camera's correction becomes
    // shown time - photo time; a second such photo of the camera at another
    // time gives the drift. False, with *error, when the row has no time or
    // the text is no time.
    bool syncFromPhoto(qsizetype row, const QString &shown, QString *error = nullptr);
    // The corrections set for single cameras, and the one for all.
    QHash<QString, qint64> cameraCorrections() const;
    // A photo time and how the photos would fit the path if shifted; see
    // photomatch::suggestOffset.
    photomatch::OffsetSuggestion suggestOffset() const;
    // Adds shift to the correction of each camera whose photos it puts
    // inside the path's time more often than now.
    void applyShift(qint64 shift);

    // The matching settings: the tolerance, the interpolation and its gap
    // limit, and the zone.
    const photomatch::MatchOptions &matchOptions() const { return options_; }
    void setTolerance(qint64 seconds) { options_.tolerance = seconds; }
    void setInterpolation(bool on, qint64 maxGap = photomatch::kDefaultMaxGap)
    {
        options_.interpolate = on;
        options_.maxGap = maxGap;
    }
    // Gives the EXIF rows positions from the path with the settings above.
    photomatch::MatchSummary match();
    // Why a row has no position ("" when it has one).
    QString missingPositionReason(qsizetype row) const;
    // Rows without a position.
    qsizetype unplacedCount() const;
    // "file: why" for each row without a position, in row order.
    QStringList unplacedReport() const;
    void clearPositions();
    void clearPosition(qsizetype row);
    // The path row's position to the photo row, marked as set by hand so
    // later matching keeps it; false (nothing changed) when the photo has
    // no EXIF time or a row does not exist.
    bool assignPosition(qsizetype row, qsizetype pathRow);

    // ---- positions placed by hand (on the map); matching keeps them
    // Sets the row's position to at (WGS-84), marked as set by hand; false
    // when the row does not exist or at is no position.
    bool placeByHand(qsizetype row, const GeoPoint &at);
    // "撤销": puts back what the last placement replaced; false when there
    // is none left.
    bool undoPlacement();
    bool canUndoPlacement() const { return !placements_.isEmpty(); }

    // ---- the tile source of the map pane and the map page ("瓦片:")
    QString tilesText() const { return tilesText_; }
    void setTilesText(const QString &text);

    // ---- output
    // Processes one row; on success the row takes the photo's new name.
    // options.zone is the session's zone, whatever the caller gave.
    photooutput::Outcome processPhoto(qsizetype row, const photooutput::Options &options);
    // Whether the row's photo got a frame earlier in this session or says
    // in its metadata that it was framed.
    bool framedBefore(qsizetype row) const;
    qint64 framedBeforeCount() const;
    // Processes every row (but those framed before, with skipFramed) in the
    // background, jobs photos at once; the signals below follow it. False
    // when a batch is running already.
    bool startBatch(const photooutput::Options &options, int jobs, bool skipFramed = false);
    // Starts no further photo; those in flight finish.
    void cancelBatch();
    bool batchRunning() const { return batch_ != nullptr; }
    // startBatch() and wait for it (runs an event loop).
    BatchResult runBatch(const photooutput::Options &options, int jobs);

    // ---- conversions
    ConversionInput conversionInput() const;

Q_SIGNALS:
    // What changed in the rows and the path, for the views that show them.
    void rowsAppended();            // rows added at the end
    void rowRemoved(qsizetype row); // 1-based; the later rows moved up
    void rowsReset();               // the rows replaced as a whole
    void rowsChanged();             // any row's texts may have changed
    void rowChanged(qsizetype row); // one row's texts (1-based)
    void pathChanged();             // loaded, cleared or re-timed
    void tilesChanged();
    // A row's photo is done, in row order; the row already bears its new name.
    void batchPhotoDone(qsizetype row, const photooutput::Outcome &outcome);
    // As photos finish, in whatever order they do.
    void batchProgress(qint64 finished, qint64 total);
    void batchFinished(const pixplot::BatchResult &result);

private:
    void rememberFramed(qsizetype row);
    void forgetPoints();
    // Each EXIF row's time from its camera time and its camera's
    // correction; matched again when it was matched before.
    void applyClocks();
    QString correctedTime(const PhotoRecord &record) const;
    // The path's first and last instant.
    std::pair<qint64, qint64> pathSpan() const;
    QString missingPositionReason(qsizetype row, std::pair<qint64, qint64> span) const;
    std::vector<qint64> photoInstants(const QString *camera = nullptr) const;
    void readPositions(const QString &file, QString *error);
    photooutput::Options withZone(photooutput::Options options) const;
    void onBatchPhotoDone(qint64 index, const photooutput::Outcome &outcome);
    void onBatchDone();

    QList<PhotoRow> rows_;
    QSet<QString> framed_; // folder + name of every photo framed so far

    photomatch::MatchOptions options_;
    cameraclock::Clock allClock_;                // every camera's, unless its own is set
    QHash<QString, cameraclock::Clock> clocks_; // by camera
    bool matched_ = false;                       // positions were matched: corrections match again
    QString pathFile_;
    PathKeep keep_ = PathKeep::Points;
    QList<PathPoint> points_;
    QList<GeoPoint> positions_; // PositionsOnly
    QString timeSpan_;          // PositionsOnly
    qint64 untimed_ = 0;

    // Undo of placements by hand: the row and what it held before.
    struct Placement {
        qsizetype row = 0;
        QString position;
        std::optional<GeoPoint> degrees;
        FixMotion motion;
        bool byHand = false;
    };
    QList<Placement> placements_;
    QString tilesText_;

    std::unique_ptr<photobatch::PhotoBatch> batch_;
    bool batchFrames_ = false;
    BatchResult batchResult_;
};

} // namespace pixplot
