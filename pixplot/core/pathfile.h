#pragma once
// Reading an NMEA path file into path points, as a stream: a long log is
// never held whole, only the points the caller keeps.
#include "core/types.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace pathfile {

// Reads a path file line by line (lines ended by CR LF, LF or a lone CR) and
// hands out the accepted RMC sentences as points, in file order.
class PathReader {
public:
    // False (and *error set) when it is not a regular file or cannot be opened.
    bool open(const QString &path, QString *error = nullptr);
    // The next point; false at the end of the file or on a read error.
    bool next(PathPoint *point);
    // After next() returned false: whether the file failed to read, and why.
    bool failed() const { return failed_; }
    QString errorString() const { return file_.errorString(); }
    // A size hint for callers that keep the points: one RMC sentence per
    // 132 bytes is what loggers write.
    qsizetype expectedPoints() const { return qsizetype(file_.size() / 132); }

private:
    bool fill();          // reads the next block behind what is left; false at the end
    bool nextLine(QByteArrayView *line);

    QFile file_;
    QByteArray buffer_;
    qsizetype pos_ = 0;      // start of the unread part of buffer_
    bool atEnd_ = false;     // the file has nothing more to read
    bool failed_ = false;
    bool skipLf_ = false;    // the last line ended with CR: a LF first ends nothing
    bool skipping_ = false;  // inside a line that cannot be an RMC sentence
};

// Reads every accepted RMC sentence of the file and sets each point's
// offsetSeconds from the first point. False (and *error set) when it is not
// a regular file or cannot be read.
bool ReadPathFile(const QString &path, QList<PathPoint> *points, QString *error = nullptr);

// Sets offsetSeconds of every point relative to points[0].
void ComputeOffsets(QList<PathPoint> &points);

} // namespace pathfile
