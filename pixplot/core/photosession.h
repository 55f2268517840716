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
        NotJpeg,    // not a .jpg photo
    };
    QString file;
    Kind kind = Kind::Missing;
    QString reason; // the system's reason (Missing, NotRegular)
};

// What one addPhotos() did.
struct PhotoLoad {
    qint64 loaded = 0;   // rows added
    qint64 withExif = 0; // of them, rows with an EXIF shooting time
    QStringList names;   // the file names of the rows added
    QList<PhotoReject> rejects;
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
    qint64 skipped = 0; // left out as framed before
    bool cancelled = false;
    // "批处理完成!" with its counts, or the message of a cancelled batch.
    QString message() const;
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
    // Lists the .jpg files among files as new rows at the end (EXIF time
    // read, uncorrected, no position), in the order given. progress(k, n)
    // follows each file.
    PhotoLoad addPhotos(const QStringList &files, const std::function<void(qint64, qint64)> &progress = {});
    void removeRow(qsizetype row); // later rows move up
    void clearRows();
    // Each row as one line: name, tab, time, tab, position.
    QStringList rowTexts() const;

    // ---- path
    // The zone of the path's local times, and of the photo times matched
    // against them (UTC+08:00 unless set).
    const common::TimeZoneSetting &zone() const { return zone_; }
    // The loaded points keep their instants; the times they show follow.
    void setZone(const common::TimeZoneSetting &zone);

    // What a path load keeps: the points, or only what the conversions need
    // (a long log is then never held as points).
    enum class PathKeep { Points, PositionsOnly };
    // Loads file (NMEA or GPX, told by its content) as the path, replacing
    // the one loaded. False, with *error, when it is not a readable regular
    // file; the points read before a fault are kept.
    bool loadPath(const QString &file, QString *error = nullptr, PathKeep keep = PathKeep::Points);
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
    // Gives the EXIF rows positions from the path; options.zone is replaced
    // by the session's zone.
    photomatch::MatchSummary match(photomatch::MatchOptions options);
    void clearPositions();
    void clearPosition(qsizetype row);
    // The path row's position to the photo row; false (nothing changed)
    // when the photo has no EXIF time or a row does not exist.
    bool assignPosition(qsizetype row, qsizetype pathRow);

    // ---- output
    // Processes one row; on success the row takes the photo's new name.
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
    // A row's photo is done, in row order; the row already bears its new name.
    void batchPhotoDone(qsizetype row, const photooutput::Outcome &outcome);
    // As photos finish, in whatever order they do.
    void batchProgress(qint64 finished, qint64 total);
    void batchFinished(const pixplot::BatchResult &result);

private:
    void rememberFramed(qsizetype row);
    void onBatchPhotoDone(qint64 index, const photooutput::Outcome &outcome);
    void onBatchDone();

    QList<PhotoRow> rows_;
    QSet<QString> framed_; // folder + name of every photo framed so far

    common::TimeZoneSetting zone_;
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
