#include "core/gpxfile.h"

#include "core/nmeasentence.h"
#include "core/outputfiles.h"

#include "common/gpxwriter.h"

#include <QBuffer>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pixplot::gpxfile {

namespace {

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

// A coordinate attribute as QStringView::toDouble reads it. Plain decimals,
// nearly every coordinate written, are read here without its locale
// machinery (both round correctly, so the value is the same); anything else
// (exponents, a sign '+', spaces, "inf") is left to it.
double coordinate(QStringView text, bool *ok)
{
    char plain[40];
    const qsizetype n = text.size();
    if (n > 0 && n <= qsizetype(sizeof plain)) {
        qsizetype i = 0, digits = 0, point = -1;
        for (; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c >= u'0' && c <= u'9')
                ++digits;
            else if (c == u'-' && i == 0)
                ;
            else if (c == u'.' && point < 0 && digits > 0)
                point = i;
            else
                break;
            plain[i] = char(c);
        }
        if (i == n && digits > 0 && point != n - 1) {
            double value = 0;
            const auto r = std::from_chars(plain, plain + n, value);
            if (r.ec == std::errc() && r.ptr == plain + n) {
                *ok = true;
                return value;
            }
        }
    }
    return text.toDouble(ok);
}

// Appends "N31°51.07407402'" for 31.851234567: the hemisphere, the degrees
// (padded to degreeDigits), and the minutes worked out in decimal from the
// shortest text that reads back as value, so they hold its every digit; at
// least four decimals, as the lists show them.
void appendExactAngle(QByteArray &out, double value, char positive, char negative, int degreeDigits)
{
    out += value < 0 ? negative : positive;
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::fixed);
    const char *end = r.ec == std::errc() ? r.ptr : text;
    const char *dot = std::find(static_cast<const char *>(text), end, '.');
    // A whole number of degrees has the fraction "0".
    const char *fraction = dot == end ? "0" : dot + 1;
    const qsizetype n = dot == end ? 1 : end - fraction;
    for (qsizetype pad = degreeDigits - (dot - text); pad > 0; --pad)
        out += '0';
    out.append(text, dot - text);
    out += '\xB0'; // the degree sign in Latin-1
    // 0.fraction × 60 = (fraction × 6) / 10^(n - 1) for n fraction digits:
    // the product's last n - 1 digits are the decimals of the minutes.
    char product[400];
    int carry = 0;
    for (qsizetype i = n; i-- > 0;) {
        const int d = (fraction[i] - '0') * 6 + carry;
        product[i + 1] = char('0' + d % 10);
        carry = d / 10;
    }
    product[0] = char('0' + carry);
    const qsizetype decimals = n - 1; // behind the two digits of whole minutes
    out.append(product, 2);
    out += '.';
    qsizetype kept = decimals;
    while (kept > 4 && product[2 + kept - 1] == '0')
        --kept;
    out.append(product + 2, kept);
    for (qsizetype i = kept; i < 4; ++i)
        out += '0';
    out += '\'';
}

} // namespace

bool looksLikeGpx(QByteArrayView head)
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

std::optional<qint64> parseGpxTime(QStringView s)
{
    s = s.trimmed();
    int y, mo, d, h, mi, se;
    if (s.size() < 19 || !readDigits(s, 0, 4, &y) || s[4] != u'-' || !readDigits(s, 5, 2, &mo) || s[7] != u'-'
        || !readDigits(s, 8, 2, &d) || (s[10] != u'T' && s[10] != u't' && s[10] != u' ')
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

GpxReader::GpxReader(QIODevice *device, const common::TimeZoneSetting &zone) : device_(device), zone_(zone)
{
}

bool GpxReader::feed()
{
    char chunk[1 << 16];
    const qint64 n = device_->read(chunk, sizeof chunk);
    if (n <= 0)
        return false;
    // Attributes are counted by their '=' outside quoted values, from a
    // start tag's '<' to its '>'. Declarations, comments and processing
    // instructions ("<!", "<?") and end tags are not counted.
    for (qint64 i = 0; i < n; ++i) {
        const char c = chunk[i];
        switch (scan_) {
        case Scan::Text:
            if (c == '<')
                scan_ = Scan::TagOpen;
            break;
        case Scan::TagOpen:
            scan_ = (c == '!' || c == '?' || c == '/') ? Scan::Other : Scan::InTag;
            attributesInTag_ = 0;
            break;
        case Scan::InTag:
            if (c == '"' || c == '\'') {
                quote_ = c;
                scan_ = Scan::InQuote;
            } else if (c == '=' && ++attributesInTag_ > kMaxAttributes) {
                xml_.raiseError(QStringLiteral("一个元素的属性超过 %1 个").arg(kMaxAttributes));
                return false;
            } else if (c == '>') {
                scan_ = Scan::Text;
            }
            break;
        case Scan::InQuote:
            if (c == quote_)
                scan_ = Scan::InTag;
            break;
        case Scan::Other:
            if (c == '>')
                scan_ = Scan::Text;
            break;
        }
    }
    xml_.addData(QByteArray(chunk, qsizetype(n)));
    return true;
}

bool GpxReader::nextToken(QXmlStreamReader::TokenType *token)
{
    // The device is read chunk by chunk as the reader runs out.
    while (xml_.atEnd()) {
        if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError || !feed())
            return false;
    }
    *token = xml_.readNext();
    return true;
}

void GpxReader::startElement()
{
    const QStringView name = xml_.name();
    if (point_.inPoint) {
        if (point_.depth == 0 && is(name, "time")) {
            point_.inTime = true;
            timeText_.clear();
        } else if (point_.depth == 0 && is(name, "ele")) {
            point_.inEle = true;
            eleText_.clear();
        }
        ++point_.depth;
        return;
    }
    const bool trkpt = is(name, "trkpt");
    const bool rtept = !trkpt && is(name, "rtept");
    const bool wpt = !trkpt && !rtept && is(name, "wpt");
    if (trkpt || rtept || wpt) {
        beginPoint(trkpt, wpt);
        if (trkpt && trackSegment_ < 0)
            trackSegment_ = 0; // a point outside any trkseg
        if (rtept && routeSegment_ == 0)
            routeSegment_ = 1;
    } else if (is(name, "trkseg")) {
        ++trackSegment_;
    } else if (is(name, "rte")) {
        ++routeSegment_;
    }
}

void GpxReader::beginPoint(bool trackPoint, bool waypoint)
{
    point_ = {};
    point_.inPoint = true;
    point_.isTrackPoint = trackPoint;
    point_.isWaypoint = waypoint;
    bool okLat = false, okLon = false;
    double lat = 0, lon = 0;
    const QXmlStreamAttributes attributes = xml_.attributes(); // const: no detached copy
    for (const QXmlStreamAttribute &a : attributes) {
        if (is(a.name(), "lat"))
            lat = coordinate(a.value(), &okLat);
        else if (is(a.name(), "lon"))
            lon = coordinate(a.value(), &okLon);
    }
    point_.havePosition = okLat && okLon && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
    point_.latitude = lat;
    point_.longitude = lon;
}

bool GpxReader::endElement(RawPoint *out)
{
    Point &pt = point_;
    if (pt.depth > 0) {
        if (--pt.depth == 0 && pt.inTime) {
            pt.inTime = false;
            const auto t = parseGpxTime(timeText_);
            pt.haveTime = t.has_value();
            pt.utc = t.value_or(0);
        } else if (pt.depth == 0 && pt.inEle) {
            pt.inEle = false;
            bool ok = false;
            const double e = eleText_.trimmed().toDouble(&ok);
            pt.altitude = ok && std::isfinite(e) ? float(e) : FixMotion::None;
        }
        return false;
    }
    pt.inPoint = false;
    const bool usable = pt.haveTime && pt.havePosition;
    if (pt.isTrackPoint) {
        if (!trackSeen_) {
            // A track is the path: the waypoints and routes read so far are not.
            trackSeen_ = true;
            std::vector<RawPoint>().swap(others_);
        }
        if (!usable) {
            ++trackUntimed_;
            return false;
        }
        *out = {pt.latitude, pt.longitude, pt.utc, trackSegment_, pt.altitude};
        return true;
    }
    if (trackSeen_)
        return false;
    if (!usable) {
        ++otherUntimed_;
        return false;
    }
    // Waypoints are segment 0, each route a segment of its own.
    others_.push_back({pt.latitude, pt.longitude, pt.utc, pt.isWaypoint ? 0 : routeSegment_, pt.altitude});
    return false;
}

bool GpxReader::readTrackPoint(RawPoint *out)
{
    QXmlStreamReader::TokenType token;
    while (nextToken(&token)) {
        if (token == QXmlStreamReader::StartElement) {
            startElement();
        } else if (token == QXmlStreamReader::Characters) {
            if (point_.inTime)
                timeText_.append(xml_.text()); // a time may come in several pieces
            else if (point_.inEle)
                eleText_.append(xml_.text());
        } else if (token == QXmlStreamReader::EndElement && point_.inPoint && endElement(out)) {
            return true;
        }
    }
    return false;
}

bool GpxReader::makePoint(const RawPoint &raw, PathPoint *point)
{
    PathPoint p = systemfinction::makePathPoint(
        raw.utc, systemfinction::positionBytesFromDegrees(raw.latitude, raw.longitude), &zone_);
    if (p.position.isEmpty()) { // a time outside the calendar
        ++outsideCalendar_;
        return false;
    }
    p.segment = raw.segment;
    p.motion.altitude = raw.altitude;
    p.latitude = raw.latitude;
    p.longitude = raw.longitude;
    *point = std::move(p);
    return true;
}

bool GpxReader::next(PathPoint *point)
{
    RawPoint raw;
    while (!xmlDone_) {
        if (!readTrackPoint(&raw)) {
            xmlDone_ = true;
            break;
        }
        if (makePoint(raw, point))
            return true;
    }
    // The document is read (or broke off): without a track, the waypoints
    // and routes before the end are the path.
    while (othersNext_ < others_.size()) {
        if (makePoint(others_[othersNext_++], point))
            return true;
    }
    std::vector<RawPoint>().swap(others_);
    othersNext_ = 0;
    return false;
}

bool readGpx(const QByteArray &bytes, const common::TimeZoneSetting &zone, QList<PathPoint> *points,
             qint64 *untimed, QString *error)
{
    points->clear();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    GpxReader reader(&buffer, zone);
    PathPoint p;
    while (reader.next(&p))
        points->append(std::move(p));
    if (untimed)
        *untimed = reader.untimed();
    if (reader.failed() && error)
        *error = reader.errorString();
    return !reader.failed();
}

QByteArray pathDocument(const QList<PathPoint> &points, const QString &trackName)
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
        const GeoPoint g = p.degrees();
        common::gpx::Point out;
        out.latitude = g.latitude;
        out.longitude = g.longitude;
        out.everyDigit = p.exactDegrees().has_value();
        out.utc = p.utcSeconds();
        doc.segments.last().append(out);
    }
    return common::gpx::write(doc);
}

QString fullPositionText(const PathPoint &point)
{
    const std::optional<GeoPoint> exact = point.exactDegrees();
    if (!exact)
        return point.positionText();
    QByteArray out;
    appendExactAngle(out, exact->latitude, 'N', 'S', 2);
    out += ',';
    appendExactAngle(out, exact->longitude, 'E', 'W', 3);
    return QString::fromLatin1(out);
}

QString fullNumberText(double value)
{
    // The shortest text reading back as value is numberText's wherever that
    // reads back (no two texts of 15 digits or fewer give one double).
    if (!std::isfinite(value) || value == 0)
        return systemfinction::numberText(value);
    const QString shortest = common::gpx::shortestDecimalText(value);
    return shortest.isEmpty() ? systemfinction::numberText(value) : shortest;
}

QString gpxFileName(const QString &pathFileBase)
{
    return pathFileBase + QStringLiteral(".gpx");
}

QString gpxSavedMessage(const QString &fileName, qsizetype count)
{
    return QStringLiteral("GPX文件已保存到\r\n") + fileName + QStringLiteral("！\r\n\r\n共 ")
        + QString::number(count) + QStringLiteral("个轨迹点。");
}

} // namespace pixplot::gpxfile
