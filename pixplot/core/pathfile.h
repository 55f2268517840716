#pragma once
// Reading an NMEA path file into path points, as a stream: a long log is
// never held whole, only the points the caller keeps.
#include "core/types.h"

#include "common/timezone.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <deque>
#include <memory>

namespace pixplot::gpxfile {
class GpxReader;
}

namespace pixplot::pathfile {

// Reads a path file line by line (lines ended by CR LF, LF or a lone CR) and
// hands out the accepted RMC sentences as points, in file order.
class PathReader {
public:
    PathReader();
    ~PathReader();
    // False (and *error set) when it is not a regular file or cannot be opened.
    // Times are made in zone. A GPX file is told by its content.
    bool open(const QString &path, QString *error = nullptr, const common::TimeZoneSetting &zone = {});
    // The next point; false at the end of the file or on a read error.
    bool next(PathPoint *point);
    // After next() returned false: whether the file failed to read, and why.
    bool failed() const { return failed_; }
    QString errorString() const { return gpxError_.isEmpty() ? file_.errorString() : gpxError_; }
    // GPX points left out for want of a time.
    qint64 untimed() const;
    bool isGpx() const { return bool(gpx_); }
    // A size hint for callers that keep the points: one RMC sentence per
    // 132 bytes is what loggers write, a GPX track point takes about 100.
    qsizetype expectedPoints() const { return qsizetype(file_.size() / (gpx_ ? 100 : 132)); }

private:
    bool fill(); // reads the next block behind what is left; false at the end
    bool nextLine(QByteArrayView *line);

    QFile file_;
    common::TimeZoneSetting zone_;
    QByteArray buffer_;
    std::unique_ptr<gpxfile::GpxReader> gpx_; // set for a GPX file
    QString gpxError_;
    qsizetype pos_ = 0;  // start of the unread part of buffer_
    bool atEnd_ = false; // the file has nothing more to read
    bool failed_ = false;
    bool skipLf_ = false;   // the last line ended with CR: a LF first ends nothing
    bool skipping_ = false; // inside a line that cannot be an RMC sentence
    // The last RMC fixes, waiting for a GGA sentence of their time, and the
    // last GGA altitudes; times in milliseconds of the day.
    static constexpr size_t MatchWindow = 16;
    struct Pending {
        PathPoint point;
        qint64 time;
    };
    struct Gga {
        qint64 time;
        float altitude;
    };
    std::deque<Pending> pending_;
    std::deque<Gga> recentGga_;
};

// Reads every accepted RMC sentence of the file (or the points of a GPX
// file), with times in zone, and sets each point's offsetSeconds from the
// first point. *untimed counts GPX points left out for want of a time.
// False (and *error set) when it is not a regular file or cannot be read; a
// GPX document that breaks off keeps the points before the fault.
bool readPathFile(const QString &path, QList<PathPoint> *points, QString *error = nullptr,
                  const common::TimeZoneSetting &zone = {}, qint64 *untimed = nullptr);

// Sets offsetSeconds of every point relative to points[0].
void computeOffsets(QList<PathPoint> &points);

} // namespace pixplot::pathfile
