// NMEA sentences and position texts: a fix becomes a path point here.
#include "core/nmeasentence.h"

#include "core/datetimetext.h"

#include "common/timezone.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pixplot::systemfinction {

namespace {

using common::daysFromCivil;
using detail::partsFromCalendarSeconds;
using detail::SecondsPerDay;
using detail::validParts;

// ddmm.mmmm as NMEA writes it: digits with at most one point, not first.
bool isAngleText(const char *t, qsizetype n)
{
    qsizetype digits = 0, dots = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (t[i] == '.')
            ++dots;
        else if (t[i] >= '0' && t[i] <= '9')
            ++digits;
        else
            return false;
    }
    return digits > 0 && dots <= 1 && t[0] != '.';
}

bool allDigits(const char *t, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
    }
    return true;
}

int twoDigits(const char *t)
{
    return (t[0] - '0') * 10 + (t[1] - '0');
}

bool isRmcTalker(const char *t, qsizetype n)
{
    static const char *const talkers[] = {"$GPRMC", "$GNRMC", "$GLRMC", "$GARMC", "$GBRMC", "$BDRMC"};
    if (n != 6)
        return false;
    for (const char *talker : talkers) {
        if (std::memcmp(t, talker, 6) == 0)
            return true;
    }
    return false;
}

// Appends "31°50.1234'" for the NMEA angle "3150.1234": the degrees are the
// characters before the last two integer digits, the minutes the rest as written.
void appendAngle(QByteArray &out, const char *t, qsizetype n)
{
    const char *dot = static_cast<const char *>(std::memchr(t, '.', size_t(n)));
    const qsizetype intLen = dot ? dot - t : n;
    const qsizetype split = qMax<qsizetype>(0, intLen - 2);
    out.append(t, split);
    out.append('\xB0'); // "°" in Latin-1
    out.append(t + split, n - split);
    out.append('\'');
}

// One half of a position text, e.g. "S31°50.1234'", as signed degrees:
// optional hemisphere letter (S and W are negative), degree digits, "°",
// minutes, "'". The degree text followed by the decimals of minutes / 60
// (13 places) is read back as one number, so 31 and 50.1234 give
// 31.8353900000000. Anything else gives 0.
double parseHalf(QStringView half)
{
    half = half.trimmed();
    bool negative = false;
    if (!half.isEmpty()) {
        const QChar c = half.front();
        if (c == QLatin1Char('N') || c == QLatin1Char('E') || c == QLatin1Char('S')
            || c == QLatin1Char('W')) {
            negative = c == QLatin1Char('S') || c == QLatin1Char('W');
            half = half.mid(1);
        }
    }
    if (half.endsWith(QLatin1Char('\'')))
        half.chop(1);
    const qsizetype mark = half.indexOf(QChar(0x00B0));
    const QStringView degText = mark < 0 ? half : half.left(mark);
    const QStringView minText = mark < 0 ? QStringView() : half.mid(mark + 1);
    char deg[40];
    char min[64];
    if (degText.size() > 30 || minText.size() > 60)
        return 0;
    for (qsizetype i = 0; i < degText.size(); ++i) {
        const char16_t c = degText[i].unicode();
        if (c < '0' || c > '9')
            return 0;
        deg[i] = char(c);
    }
    qsizetype dots = 0;
    for (qsizetype i = 0; i < minText.size(); ++i) {
        const char16_t c = minText[i].unicode();
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return 0;
        min[i] = char(c);
    }
    if (dots > 1 || (degText.isEmpty() && minText.isEmpty()))
        return 0;
    double minutes = 0;
    if (!minText.isEmpty() && !(minText.size() == 1 && dots == 1))
        std::from_chars(min, min + minText.size(), minutes);
    char frac[48];
    const auto fr = std::to_chars(frac, frac + sizeof frac, minutes / 60.0, std::chars_format::fixed, 13);
    double value = 0;
    if (fr.ec == std::errc() && frac[0] == '0' && frac[1] == '.') {
        char joined[96];
        qsizetype n = 0;
        if (degText.isEmpty())
            joined[n++] = '0';
        else
            for (qsizetype i = 0; i < degText.size(); ++i)
                joined[n++] = deg[i];
        for (const char *c = frac + 1; c < fr.ptr; ++c)
            joined[n++] = *c;
        std::from_chars(joined, joined + n, value);
    } else {
        // Minutes of 60 or more: the fraction is no longer below one degree.
        double degrees = 0;
        if (!degText.isEmpty())
            std::from_chars(deg, deg + degText.size(), degrees);
        value = degrees + minutes / 60.0;
    }
    if (!std::isfinite(value))
        return 0;
    return negative ? -value : value;
}

} // namespace

QString FormatNmeaAngle(const QString &angle)
{
    const qsizetype dot = angle.indexOf(QLatin1Char('.'));
    const qsizetype intLen = dot < 0 ? angle.size() : dot;
    // Minutes keep two integer digits and every decimal as written.
    const qsizetype split = qMax<qsizetype>(0, intLen - 2);
    return angle.left(split) + QChar(0x00B0) + angle.mid(split) + QLatin1Char('\'');
}

PathPoint ParseRmcSentence(const QString &line)
{
    // Every character that matters is ASCII; others turn into '?' and fail.
    return parseRmcBytes(line.toLatin1());
}

namespace {
// A field of digits with an optional fraction; NaN when empty or not a number.
float numberField(const char *f, qsizetype len)
{
    if (len <= 0 || f[0] < '0' || f[0] > '9')
        return FixMotion::None;
    float v = 0;
    const auto [end, ec] = std::from_chars(f, f + len, v, std::chars_format::fixed);
    return ec == std::errc() && end == f + len && std::isfinite(v) ? v : FixMotion::None;
}
// The first up to max comma-separated fields of line, as [from, to) byte
// ranges; how many there are.
int splitFields(QByteArrayView line, qsizetype *from, qsizetype *to, int max)
{
    const char *s = line.data();
    const qsizetype n = line.size();
    int fields = 0;
    for (qsizetype pos = 0; fields < max;) {
        const char *comma = static_cast<const char *>(std::memchr(s + pos, ',', size_t(n - pos)));
        const qsizetype end = comma ? comma - s : n;
        from[fields] = pos;
        to[fields] = end;
        ++fields;
        if (!comma)
            break;
        pos = end + 1;
    }
    return fields;
}
} // namespace

PathPoint parseRmcBytes(QByteArrayView line, const common::TimeZoneSetting *zone)
{
    PathPoint point;
    const char *s = line.data();
    // Fields 0..9; a sentence with fewer gives no point.
    qsizetype from[10], to[10];
    const int fields = splitFields(line, from, to, 10);
    if (fields < 10)
        return point;
    auto field = [&](int i) { return s + from[i]; };
    auto len = [&](int i) { return to[i] - from[i]; };
    if (!isRmcTalker(field(0), len(0)) || len(2) != 1 || field(2)[0] != 'A')
        return point;

    // hhmmss with an optional fraction of digits, which is dropped.
    qsizetype timeLen = len(1);
    if (const char *dot = static_cast<const char *>(std::memchr(field(1), '.', size_t(len(1))))) {
        timeLen = dot - field(1);
        if (!allDigits(dot + 1, len(1) - timeLen - 1))
            return point;
    }
    // ddmmyy, perhaps with the checksum right behind it.
    qsizetype dateLen = len(9);
    if (const char *star = static_cast<const char *>(std::memchr(field(9), '*', size_t(len(9)))))
        dateLen = star - field(9);
    if (timeLen != 6 || dateLen != 6 || !allDigits(field(1), 6) || !allDigits(field(9), 6))
        return point;
    if (!isAngleText(field(3), len(3)) || !isAngleText(field(5), len(5)))
        return point;
    if (len(4) != 1 || (field(4)[0] != 'N' && field(4)[0] != 'S') || len(6) != 1
        || (field(6)[0] != 'E' && field(6)[0] != 'W'))
        return point;

    const qint64 year = 2000 + twoDigits(field(9) + 4), month = twoDigits(field(9) + 2),
                 day = twoDigits(field(9)), hour = twoDigits(field(1)), minute = twoDigits(field(1) + 2),
                 second = twoDigits(field(1) + 4);
    if (!validParts(year, month, day, hour, minute, second))
        return point; // no such date or time
    const qint64 utc = daysFromCivil(year, month, day) * SecondsPerDay + hour * 3600 + minute * 60 + second;
    QByteArray position;
    position.reserve(len(3) + len(5) + 8);
    position.append(field(4)[0]);
    appendAngle(position, field(3), len(3));
    position.append(',');
    position.append(field(6)[0]);
    appendAngle(position, field(5), len(5));
    point = makePathPoint(utc, std::move(position), zone);
    // Speed over ground in knots and course over ground, where given.
    constexpr float KmhPerKnot = 1.852f;
    const float knots = numberField(field(7), len(7));
    if (knots >= 0)
        point.motion.speedKmh = knots * KmhPerKnot;
    const float course = numberField(field(8), len(8));
    if (course >= 0 && course <= 360)
        point.motion.track = course;
    return point;
}

float ggaAltitude(QByteArrayView line)
{
    // $xxGGA,time,lat,N,lon,E,quality,satellites,hdop,altitude,M,...
    qsizetype from[11], to[11];
    const int fields = splitFields(line, from, to, 11);
    const char *s = line.data();
    // Quality 0 is no fix; the unit must be metres.
    if (fields < 11 || to[6] - from[6] != 1 || s[from[6]] < '1' || s[from[6]] > '9' || to[10] - from[10] != 1
        || s[from[10]] != 'M')
        return FixMotion::None;
    const char *f = s + from[9];
    const qsizetype len = to[9] - from[9];
    const bool negative = len > 0 && f[0] == '-';
    const float a = numberField(f + negative, len - negative);
    return std::isnan(a) || a < 0 ? FixMotion::None : (negative ? -a : a);
}

PathPoint makePathPoint(qint64 utcSeconds, QByteArray position, const common::TimeZoneSetting *zone)
{
    PathPoint point;
    // Path times are the fix's UTC time in the zone setting (UTC + 8 hours
    // unless another zone is given); a time that leaves the calendar gives
    // no point.
    point.zoneOffset = zone ? zone->offsetAtUtc(utcSeconds) : common::TimeZoneSetting::DefaultOffset;
    point.localSeconds = utcSeconds + point.zoneOffset;
    if (partsFromCalendarSeconds(point.localSeconds))
        point.position = std::move(position);
    return point;
}

} // namespace pixplot::systemfinction

namespace pixplot {

QString PathPoint::pointTime() const
{
    return position.isEmpty() ? QString() : systemfinction::formatCalendarSeconds(localSeconds);
}

QString PathPoint::positionText() const
{
    return QString::fromLatin1(position);
}

GeoPoint PathPoint::degrees() const
{
    if (const std::optional<GeoPoint> exact = exactDegrees())
        return *exact;
    return systemfinction::ParsePositionText(positionText());
}

} // namespace pixplot

namespace pixplot::systemfinction {

QByteArray positionBytesFromDegrees(double latitude, double longitude)
{
    // Minutes are rounded to four decimals first, so 59.99999 carries into
    // the next degree instead of reading 60.0000. Written into a buffer
    // first: a GPX track gives a million of these, one allocation each.
    char out[96];
    char *at = out;
    auto half = [&at](double v, char positive, char negative, int degreeDigits) {
        *at++ = v < 0 ? negative : positive;
        const qint64 tenThousandths = std::llround(std::fabs(v) * 600000.0);
        const qint64 degrees = tenThousandths / 600000;
        const qint64 minutes = tenThousandths % 600000;
        char buf[24];
        char *end = std::to_chars(buf, buf + sizeof buf, degrees).ptr;
        for (qsizetype pad = degreeDigits - (end - buf); pad > 0; --pad)
            *at++ = '0';
        at = std::copy(buf, end, at);
        *at++ = '\xB0'; // the degree sign in Latin-1
        const char m[] = {char('0' + minutes / 100000),
                          char('0' + minutes / 10000 % 10),
                          '.',
                          char('0' + minutes / 1000 % 10),
                          char('0' + minutes / 100 % 10),
                          char('0' + minutes / 10 % 10),
                          char('0' + minutes % 10),
                          '\''};
        at = std::copy(m, m + sizeof m, at);
    };
    half(latitude, 'N', 'S', 2);
    *at++ = ',';
    half(longitude, 'E', 'W', 3);
    return QByteArray(out, at - out);
}

QString positionTextFromDegrees(double latitude, double longitude)
{
    return QString::fromLatin1(positionBytesFromDegrees(latitude, longitude));
}

GeoPoint ParsePositionText(const QString &position)
{
    GeoPoint point;
    const qsizetype comma = position.indexOf(QLatin1Char(','));
    if (comma < 0)
        return point;
    point.latitude = parseHalf(QStringView(position).left(comma));
    point.longitude = parseHalf(QStringView(position).mid(comma + 1));
    return point;
}

bool mayBeRmc(const char *line, qsizetype length)
{
    return length > 7 && line[0] == '$' && line[3] == 'R' && line[4] == 'M' && line[5] == 'C'
        && line[6] == ',';
}

bool mayBeGga(const char *line, qsizetype length)
{
    return length > 7 && line[0] == '$' && line[3] == 'G' && line[4] == 'G' && line[5] == 'A'
        && line[6] == ',';
}

bool cannotBeRmc(const char *line, qsizetype length)
{
    static const char rmc[] = {'$', 0, 0, 'R', 'M', 'C', ','};
    static const char gga[] = {'$', 0, 0, 'G', 'G', 'A', ','};
    bool notRmc = false, notGga = false;
    for (qsizetype i = 0; i < qMin<qsizetype>(length, 7); ++i) {
        notRmc = notRmc || (rmc[i] && line[i] != rmc[i]);
        notGga = notGga || (gga[i] && line[i] != gga[i]);
    }
    return notRmc && notGga;
}

qint64 timeOfDay(QByteArrayView line)
{
    if (line.size() < 13)
        return -1;
    qint64 t = 0;
    for (int i = 7; i < 13; ++i) {
        const char c = line[i];
        if (c < '0' || c > '9')
            return -1;
        t = t * 10 + (c - '0');
    }
    qint64 ms = 0, scale = 100;
    if (line.size() > 13 && line[13] == '.') {
        for (qsizetype i = 14; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, scale /= 10)
            ms += (line[i] - '0') * scale;
    }
    return t * 1000 + ms;
}

} // namespace pixplot::systemfinction
