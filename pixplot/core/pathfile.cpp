#include "core/pathfile.h"

#include "core/gpxfile.h"
#include "core/nmeasentence.h"

#include "common/safefile.h"

#include <algorithm>
#include <cmath>

namespace pixplot::pathfile {

namespace {

// Read in blocks of this size; a line longer than a block grows the buffer.
constexpr qsizetype BlockBytes = qsizetype(1) << 20;

using systemfinction::cannotBeRmc;
using systemfinction::mayBeGga;
using systemfinction::mayBeRmc;
using systemfinction::timeOfDay;

} // namespace

PathReader::PathReader() = default;
PathReader::~PathReader() = default;

qint64 PathReader::untimed() const
{
    return gpx_ ? gpx_->untimed() : 0;
}

bool PathReader::open(const QString &path, QString *error, const common::TimeZoneSetting &zone)
{
    gpx_.reset(); // it reads file_
    file_.setFileName(path);
    zone_ = zone;
    buffer_.clear();
    pos_ = 0;
    atEnd_ = failed_ = skipLf_ = skipping_ = false;
    pending_.clear();
    recentGga_.clear();
    gpxError_.clear();
    // A FIFO would block and a device (/dev/zero) never end.
    if (!common::checkInputFile(path, error))
        return false;
    if (!file_.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file_.errorString();
        return false;
    }
    // GPX is told by its content, whatever the file is called.
    if (!gpxfile::looksLikeGpx(file_.peek(4096)))
        return true;
    // Read as a stream from the file: memory follows the points kept, not
    // the file's size.
    gpx_ = std::make_unique<gpxfile::GpxReader>(&file_, zone_);
    return true;
}

bool PathReader::fill()
{
    if (atEnd_)
        return false;
    // Keep the unread rest at the front, then read a block behind it.
    buffer_.remove(0, pos_);
    pos_ = 0;
    const qsizetype kept = buffer_.size();
    buffer_.resize(kept + BlockBytes);
    const qint64 got = file_.read(buffer_.data() + kept, BlockBytes);
    if (got < 0) {
        failed_ = true;
        atEnd_ = true;
        buffer_.resize(kept);
        return false;
    }
    buffer_.resize(kept + got);
    if (got == 0)
        atEnd_ = true;
    return got > 0;
}

bool PathReader::nextLine(QByteArrayView *line)
{
    for (;;) {
        const char *data = buffer_.constData();
        const qsizetype size = buffer_.size();
        if (skipLf_ && pos_ < size) {
            if (data[pos_] == '\n')
                ++pos_;
            skipLf_ = false;
        }
        qsizetype end = pos_;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        if (end < size) {
            *line = QByteArrayView(data + pos_, end - pos_);
            const bool skipped = skipping_;
            skipping_ = false;
            skipLf_ = data[end] == '\r'; // CR LF, LF or a lone CR ends the line
            pos_ = end + 1;
            if (skipped)
                *line = QByteArrayView();
            return true;
        }
        // No line end in the buffer yet. A line that cannot be an RMC
        // sentence is dropped as it streams by, so junk never piles up.
        if (!skipping_ && cannotBeRmc(data + pos_, size - pos_))
            skipping_ = true;
        if (skipping_)
            pos_ = size;
        if (!fill()) {
            if (failed_)
                return false;
            if (pos_ >= buffer_.size())
                return false;
            // The last line has no line end.
            *line = skipping_ ? QByteArrayView()
                              : QByteArrayView(buffer_.constData() + pos_, buffer_.size() - pos_);
            skipping_ = false;
            pos_ = buffer_.size();
            return true;
        }
    }
}

bool PathReader::next(PathPoint *point)
{
    if (gpx_) {
        if (gpx_->next(point))
            return true;
        // The points before a fault have been handed out.
        if (file_.error() != QFileDevice::NoError) {
            failed_ = true; // a read error, not the XML breaking off
        } else if (gpx_->failed()) {
            failed_ = true;
            gpxError_ = gpx_->errorString();
        }
        return false;
    }
    // A fix is handed out a few fixes later: the GGA sentence of its time,
    // which gives the altitude, may come before or after it, and receivers
    // that write several fixes a second do not always keep the two together.
    QByteArrayView line;
    while (nextLine(&line)) {
        if (mayBeGga(line.data(), line.size())) {
            const float altitude = systemfinction::ggaAltitude(line);
            const qint64 time = timeOfDay(line);
            if (std::isnan(altitude) || time < 0)
                continue;
            const auto waiting = std::find_if(pending_.rbegin(), pending_.rend(),
                                              [time](const Pending &w) { return w.time == time; });
            if (waiting != pending_.rend() && std::isnan(waiting->point.motion.altitude))
                waiting->point.motion.altitude = altitude;
            if (recentGga_.size() == MatchWindow)
                recentGga_.pop_front();
            recentGga_.push_back({time, altitude});
            continue;
        }
        if (!mayBeRmc(line.data(), line.size()))
            continue;
        PathPoint p = systemfinction::parseRmcBytes(line, &zone_);
        if (p.position.isEmpty())
            continue;
        const qint64 time = timeOfDay(line);
        const auto gga = std::find_if(recentGga_.rbegin(), recentGga_.rend(),
                                      [time](const Gga &g) { return g.time == time; });
        if (time >= 0 && gga != recentGga_.rend())
            p.motion.altitude = gga->altitude;
        pending_.push_back({std::move(p), time});
        if (pending_.size() > MatchWindow) {
            *point = std::move(pending_.front().point);
            pending_.pop_front();
            return true;
        }
    }
    if (!pending_.empty() && !failed_) {
        *point = std::move(pending_.front().point);
        pending_.pop_front();
        return true;
    }
    return false;
}

bool readPathFile(const QString &path, QList<PathPoint> *points, QString *error,
                  const common::TimeZoneSetting &zone, qint64 *untimed)
{
    if (untimed)
        *untimed = 0;
    points->clear();
    PathReader reader;
    if (!reader.open(path, error, zone))
        return false;
    points->reserve(reader.expectedPoints());
    PathPoint p;
    while (reader.next(&p))
        points->append(std::move(p));
    if (untimed)
        *untimed = reader.untimed();
    if (reader.failed()) {
        if (error)
            *error = reader.errorString();
        if (reader.isGpx())
            computeOffsets(*points);
        else
            points->clear();
        return false;
    }
    points->squeeze();
    computeOffsets(*points);
    return true;
}

void computeOffsets(QList<PathPoint> &points)
{
    if (points.isEmpty())
        return;
    // From the instants: a change of daylight saving inside the path leaves
    // the local times an hour apart from the elapsed time.
    const qint64 first = points.front().utcSeconds();
    for (PathPoint &p : points)
        p.offsetSeconds = p.utcSeconds() - first;
}

} // namespace pixplot::pathfile
