#include "core/gpxfile.h"

#include "core/systemfinction.h"

#include "common/gpxwriter.h"

#include <QXmlStreamReader>

namespace gpxfile {

namespace {

struct RawPoint {
    double latitude;
    double longitude;
    qint64 utc;
    int segment;
};

bool readDigits(QStringView s, qsizetype at, int count, int *value)
{
    if (at + count > s.size())
        return false;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = s[at + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *value = v;
    return true;
}

// name == ascii, without building a string.
bool is(QStringView name, const char *ascii)
{
    qsizetype i = 0;
    for (; ascii[i]; ++i) {
        if (i >= name.size() || name[i].unicode() != char16_t(ascii[i]))
            return false;
    }
    return i == name.size();
}

} // namespace

bool LooksLikeGpx(QByteArrayView head)
{
    head = head.first(qMin<qsizetype>(head.size(), 4096));
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    qsizetype i = 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
        ++i;
    if (i >= head.size() || head[i] != '<')
        return false;
    // The root element may follow a declaration, comments or a doctype.
    for (qsizetype at = head.indexOf("<gpx", i); at >= 0; at = head.indexOf("<gpx", at + 1)) {
        const char next = at + 4 < head.size() ? head[at + 4] : '>';
        if (next == '>' || next == ' ' || next == '\t' || next == '\r' || next == '\n')
            return true;
    }
    return false;
}

std::optional<qint64> ParseGpxTime(QStringView s)
{
    s = s.trimmed();
    int y, mo, d, h, mi, se;
    if (s.size() < 19 || !readDigits(s, 0, 4, &y) || s[4] != u'-' || !readDigits(s, 5, 2, &mo)
        || s[7] != u'-' || !readDigits(s, 8, 2, &d) || (s[10] != u'T' && s[10] != u't' && s[10] != u' ')
        || !readDigits(s, 11, 2, &h) || s[13] != u':' || !readDigits(s, 14, 2, &mi) || s[16] != u':'
        || !readDigits(s, 17, 2, &se))
        return std::nullopt;
    if (!QDate::isValid(y, mo, d) || h > 23 || mi > 59 || se > 60)
        return std::nullopt;
    qsizetype at = 19;
    if (at < s.size() && (s[at] == u'.' || s[at] == u',')) {
        ++at;
        const qsizetype digitsFrom = at;
        while (at < s.size() && s[at] >= u'0' && s[at] <= u'9')
            ++at;
        if (at == digitsFrom)
            return std::nullopt;
    }
    int offset = 0;
    if (at < s.size()) {
        if ((s[at] == u'Z' || s[at] == u'z') && at + 1 == s.size()) {
            offset = 0;
        } else if (s[at] == u'+' || s[at] == u'-') {
            int oh = 0, om = 0;
            const qsizetype rest = s.size() - at - 1;
            const bool ok = (rest == 5 && readDigits(s, at + 1, 2, &oh) && s[at + 3] == u':'
                             && readDigits(s, at + 4, 2, &om))
                || (rest == 4 && readDigits(s, at + 1, 2, &oh) && readDigits(s, at + 3, 2, &om))
                || (rest == 2 && readDigits(s, at + 1, 2, &oh));
            if (!ok || oh > 14 || om > 59)
                return std::nullopt;
            offset = (oh * 3600 + om * 60) * (s[at] == u'-' ? -1 : 1);
        } else {
            return std::nullopt;
        }
    }
    // A leap second reads as the next second's start.
    return common::calendarSeconds(y, mo, d, h, mi, 0) + se - offset;
}

bool ReadGpx(const QByteArray &bytes, const common::TimeZoneSetting &zone, QList<PathPoint> *points,
             qint64 *untimed, QString *error)
{
    points->clear();
    std::vector<RawPoint> track, others;
    track.reserve(size_t(bytes.size() / 100)); // a track point takes about 100 bytes
    qint64 trackUntimed = 0, otherUntimed = 0;
    int trackSegment = -1, routeSegment = 0;

    QXmlStreamReader xml(bytes);
    // Inside a point: which list it goes to, its attributes and time, and
    // how deep below the point element the reader is.
    bool inPoint = false, isTrackPoint = false, isWaypoint = false, havePosition = false;
    bool inTime = false, haveTime = false;
    double lat = 0, lon = 0;
    qint64 time = 0;
    QString timeText; // a time split over several text tokens
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (inPoint) {
                if (depth == 0 && is(name, "time")) {
                    inTime = true;
                    timeText.clear();
                }
                ++depth;
                continue;
            }
            const bool trkpt = is(name, "trkpt");
            const bool rtept = !trkpt && is(name, "rtept");
            const bool wpt = !trkpt && !rtept && is(name, "wpt");
            if (trkpt || rtept || wpt) {
                inPoint = true;
                isTrackPoint = trkpt;
                isWaypoint = wpt;
                depth = 0;
                haveTime = false;
                bool okLat = false, okLon = false;
                for (const QXmlStreamAttribute &a : xml.attributes()) {
                    if (is(a.name(), "lat"))
                        lat = a.value().toDouble(&okLat);
                    else if (is(a.name(), "lon"))
                        lon = a.value().toDouble(&okLon);
                }
                havePosition = okLat && okLon && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
                if (trkpt && trackSegment < 0)
                    trackSegment = 0; // a point outside any trkseg
                if (rtept && routeSegment == 0)
                    routeSegment = 1;
            } else if (is(name, "trkseg")) {
                ++trackSegment;
            } else if (is(name, "rte")) {
                ++routeSegment;
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (inTime)
                timeText.append(xml.text());
        } else if (token == QXmlStreamReader::EndElement && inPoint) {
            if (depth > 0) {
                if (--depth == 0 && inTime) {
                    inTime = false;
                    const auto t = ParseGpxTime(timeText);
                    haveTime = t.has_value();
                    time = t.value_or(0);
                }
                continue;
            }
            inPoint = false;
            if (!haveTime || !havePosition) {
                ++(isTrackPoint ? trackUntimed : otherUntimed);
                continue;
            }
            // Waypoints are segment 0, each route a segment of its own.
            (isTrackPoint ? track : others)
                .push_back({lat, lon, time, isTrackPoint ? trackSegment : (isWaypoint ? 0 : routeSegment)});
        }
    }
    const bool broken = xml.hasError();
    const std::vector<RawPoint> &chosen = track.empty() && trackUntimed == 0 ? others : track;
    if (untimed)
        *untimed = &chosen == &track ? trackUntimed : otherUntimed;

    points->reserve(qsizetype(chosen.size()));
    for (const RawPoint &r : chosen) {
        PathPoint p = systemfinction::MakePathPoint(
            r.utc, systemfinction::PositionBytesFromDegrees(r.latitude, r.longitude), &zone);
        if (p.position.isEmpty()) { // a time outside the calendar
            if (untimed)
                ++*untimed;
            continue;
        }
        p.segment = r.segment;
        points->append(std::move(p));
    }
    if (broken && error)
        *error = xml.errorString();
    return !broken;
}

QByteArray PathDocument(const QList<PathPoint> &points, const QString &trackName)
{
    common::gpx::Document doc;
    doc.creator = QStringLiteral("pixplot");
    doc.trackName = trackName;
    int segment = 0;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const PathPoint &p = points.at(i);
        if (doc.segments.isEmpty() || p.segment != segment) {
            doc.segments.append(QList<common::gpx::Point>());
            segment = p.segment;
        }
        const GeoPoint g = systemfinction::ParsePositionText(p.positionText());
        common::gpx::Point out;
        out.latitude = g.latitude;
        out.longitude = g.longitude;
        out.utc = p.utcSeconds();
        doc.segments.last().append(out);
    }
    return common::gpx::write(doc);
}

QString GpxFileName(const QString &pathFileBase) { return pathFileBase + QStringLiteral(".gpx"); }

QString GpxSavedMessage(const QString &fileName, qsizetype count)
{
    return QStringLiteral("GPX文件已保存到\r\n") + fileName + QStringLiteral("！\r\n\r\n共 ")
        + QString::number(count) + QStringLiteral("个轨迹点。");
}

} // namespace gpxfile
