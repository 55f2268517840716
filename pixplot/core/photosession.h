#pragma once
// pixplot's working state, which the window and the command line both drive:
// the photo rows, the loaded path, and what is done with them (clock
// correction, matching, the photo batch, the input of the conversions).
// Each of these rules lives here once; the callers only read and show.
#include "core/nmeaconvert.h"
#include "core/photobatch.h"
#include "core/photomatch.h"
#include "core/photooutput.h"
#include "core/photorow.h"

#include "common/timezone.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

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
    bool cancelled = false;
    // Each failed photo, in row order: "照片 NAME 处理失败: REASON".
    QStringList failures;
    // "批处理完成!" with its counts, or the message of a cancelled batch.
    QString message() const;
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

    // ---- clock correction and matching
    // Sets every EXIF row's time to its camera time shifted by offset
    // (a zero offset restores the camera time).
    void correctClock(const photomatch::ClockOffset &offset);
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
    void clearPositions();
    void clearPosition(qsizetype row);
    // The path row's position to the photo row; false (nothing changed)
    // when the photo has no EXIF time or a row does not exist.
    bool assignPosition(qsizetype row, qsizetype pathRow);

    // ---- output
    // Processes one row; on success the row takes the photo's new name.
    // options.zone is the session's zone, whatever the caller gave.
    photooutput::Outcome processPhoto(qsizetype row, const photooutput::Options &options);
    // Whether the row's photo got a frame earlier in this session.
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
    // A row's photo is done, in row order; the row already bears its new name.
    void batchPhotoDone(qsizetype row, const photooutput::Outcome &outcome);
    // As photos finish, in whatever order they do.
    void batchProgress(qint64 finished, qint64 total);
    void batchFinished(const pixplot::BatchResult &result);

private:
    void rememberFramed(qsizetype row);
    void forgetPoints();
    void readPositions(const QString &file, QString *error);
    photooutput::Options withZone(photooutput::Options options) const;
    void onBatchPhotoDone(qint64 index, const photooutput::Outcome &outcome);
    void onBatchDone();

    QList<PhotoRow> rows_;
    QSet<QString> framed_; // folder + name of every photo framed so far

    photomatch::MatchOptions options_;
    QString pathFile_;
    PathKeep keep_ = PathKeep::Points;
    QList<PathPoint> points_;
    QList<GeoPoint> positions_; // PositionsOnly
    QString timeSpan_;          // PositionsOnly
    qint64 untimed_ = 0;

    std::unique_ptr<photobatch::PhotoBatch> batch_;
    bool batchFrames_ = false;
    BatchResult batchResult_;
};

} // namespace pixplot
