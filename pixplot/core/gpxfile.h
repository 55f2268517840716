#pragma once
// GPX 1.0 and 1.1 files as GPS paths, and the loaded path written as GPX.
#include "core/types.h"

#include "common/timezone.h"

#include <QByteArray>
#include <QList>
#include <QXmlStreamReader>
#include <optional>
#include <vector>

class QIODevice;

namespace pixplot::gpxfile {

// The most attributes an element may carry: a GPX element has a handful (the
// root with its namespaces a dozen or so). The XML reader checks each new
// attribute against all before it, so an element with very many would take
// time growing with their square; such a file is refused.
inline constexpr int kMaxAttributes = 256;

// True when the file's first bytes are an XML document whose root is <gpx>,
// whatever the file is called.
bool looksLikeGpx(QByteArrayView head);

// Reads a GPX document from a device as a stream and hands out its points in
// document order: every trkpt with a time (each trkseg a segment); only when
// there is no trkpt, the rtept and wpt points with a time. Track points are
// handed out as they are read, so a long track is never held; waypoints and
// routes are kept until the end tells whether a track follows.
class GpxReader {
public:
    // The device stays open and unread by others while points are read.
    GpxReader(QIODevice *device, const common::TimeZoneSetting &zone);
    // The next point (pointTime in the zone, position the usual text); false
    // at the end of the document or where the XML breaks off.
    bool next(PathPoint *point);
    // After next() returned false: whether the XML broke off, and why.
    bool failed() const { return xml_.hasError(); }
    QString errorString() const { return xml_.errorString(); }
    // The points of the chosen kind left out for want of a (readable) time.
    qint64 untimed() const { return (trackSeen_ ? trackUntimed_ : otherUntimed_) + outsideCalendar_; }

private:
    struct RawPoint {
        double latitude;
        double longitude;
        qint64 utc;
        int segment;
        float altitude; // <ele>, NaN without one
    };
    // The point element being read: its kind, attributes, time and ele, and
    // how deep below it the reader is.
    struct Point {
        bool inPoint = false, isTrackPoint = false, isWaypoint = false, havePosition = false;
        bool inTime = false, haveTime = false, inEle = false;
        float altitude = FixMotion::None;
        double latitude = 0, longitude = 0;
        qint64 utc = 0;
        int depth = 0;
    };
    bool readTrackPoint(RawPoint *point); // false at the end or on a fault
    // The next token, the device read further as needed; false at the end
    // or where the XML breaks off.
    bool nextToken(QXmlStreamReader::TokenType *token);
    void startElement();
    void beginPoint(bool trackPoint, bool waypoint);
    // True when a track point is complete in *out; waypoints and route
    // points are kept aside.
    bool endElement(RawPoint *out);
    bool makePoint(const RawPoint &raw, PathPoint *point);
    // Hands the reader the next bytes of the device once they are checked
    // for elements with too many attributes; false at the end or on a fault.
    bool feed();

    QIODevice *device_;
    QXmlStreamReader xml_;
    // The attribute check's place in the markup, kept from chunk to chunk.
    enum class Scan { Text, TagOpen, InTag, InQuote, Other } scan_ = Scan::Text;
    char quote_ = 0;
    int attributesInTag_ = 0;
    common::TimeZoneSetting zone_;
    std::vector<RawPoint> others_; // waypoints and route points, while no trkpt is seen
    size_t othersNext_ = 0;
    bool trackSeen_ = false;
    bool xmlDone_ = false;
    qint64 trackUntimed_ = 0;
    qint64 otherUntimed_ = 0;
    qint64 outsideCalendar_ = 0;
    int trackSegment_ = -1;
    int routeSegment_ = 0;
    Point point_;
    QString timeText_;
    QString eleText_; // the <ele> of the point being read
};

// The points of a GPX document (as GpxReader hands them out): every trkpt with a time (each trkseg a
// segment); only when there is none, the rtept and wpt points with a time.
// pointTime is the time in zone, position the usual text. *untimed counts
// the points left out for want of a (readable) time. False with *error when
// the XML breaks off; the points before the fault are kept.
bool readGpx(const QByteArray &bytes, const common::TimeZoneSetting &zone, QList<PathPoint> *points,
             qint64 *untimed, QString *error);

// "2026-03-29T01:30:00Z", with fractions and "+02:00"-style offsets; a time
// without a zone is UTC. Seconds since 1970 UTC, fractions dropped.
std::optional<qint64> parseGpxTime(QStringView text);

// The loaded path as a GPX 1.1 document: one track, one segment per path
// segment, times in UTC. Positions from the position texts, or where a
// point has its file's decimal degrees, those, with every digit they have.
QByteArray pathDocument(const QList<PathPoint> &points, const QString &trackName);

// A point's position as --read-path shows it: the position text, or where
// the point has its file's decimal degrees, the same layout with as many
// decimals of minutes as the degrees need to be written exactly (at least
// four): 31.851234567 gives "N31°51.07407402'".
QString fullPositionText(const PathPoint &point);
// A coordinate as --read-path shows it: the shortest text of at most 15
// significant digits, more where only more read back as the same value.
QString fullNumberText(double value);
// The file beside the path file: its base + ".gpx".
QString gpxFileName(const QString &pathFileBase);
QString gpxSavedMessage(const QString &fileName, qsizetype count);

} // namespace pixplot::gpxfile
