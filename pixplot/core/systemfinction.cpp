#include "core/systemfinction.h"

#include "common/clock.h"
#include "common/safefile.h"
#include "common/timezone.h"
#include "core/exifreader.h"

#include <QFileInfo>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace systemfinction {

namespace {

constexpr qint64 SecondsPerDay = 86400;

// Digits only, at least one; value into *out.
bool readDigits(QStringView text, qint64 *out)
{
    if (text.isEmpty() || text.size() > 12)
        return false;
    qint64 v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    *out = v;
    return true;
}

bool isLeapYear(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(qint64 y, qint64 m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

bool validParts(qint64 y, qint64 mo, qint64 d, qint64 h, qint64 mi, qint64 s)
{
    return y >= 1 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= daysInMonth(y, mo) && h >= 0
        && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
}

using common::civilFromDays;
using common::daysFromCivil;

qint64 calendarSeconds(const DateTimeParts &p)
{
    return daysFromCivil(p.year, p.month, p.day) * SecondsPerDay + p.hour * 3600 + p.minute * 60 + p.second;
}

std::optional<DateTimeParts> partsFromCalendarSeconds(qint64 s)
{
    qint64 day = s / SecondsPerDay;
    qint64 rest = s % SecondsPerDay;
    if (rest < 0) {
        rest += SecondsPerDay;
        --day;
    }
    qint64 y = 0, m = 0, d = 0;
    civilFromDays(day, &y, &m, &d);
    if (y < 1 || y > 9999)
        return std::nullopt;
    DateTimeParts p;
    p.year = int(y);
    p.month = int(m);
    p.day = int(d);
    p.hour = int(rest / 3600);
    p.minute = int(rest / 60 % 60);
    p.second = int(rest % 60);
    return p;
}

// Writes YYYY-MM-DD hh:mm:ss without going through a format string; paths
// of a million points format one per point.
QString formatParts(const DateTimeParts &p)
{
    if (p.year < 0 || p.year > 9999 || p.month < 0 || p.month > 99 || p.day < 0 || p.day > 99
        || p.hour < 0 || p.hour > 99 || p.minute < 0 || p.minute > 99 || p.second < 0 || p.second > 99)
        return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                                 p.minute, p.second);
    QString out(19, Qt::Uninitialized);
    QChar *c = out.data();
    auto two = [&c](int v) {
        *c++ = QLatin1Char(char('0' + v / 10));
        *c++ = QLatin1Char(char('0' + v % 10));
    };
    two(p.year / 100);
    two(p.year % 100);
    *c++ = QLatin1Char('-');
    two(p.month);
    *c++ = QLatin1Char('-');
    two(p.day);
    *c++ = QLatin1Char(' ');
    two(p.hour);
    *c++ = QLatin1Char(':');
    two(p.minute);
    *c++ = QLatin1Char(':');
    two(p.second);
    return out;
}

// The canonical 19-character form read at fixed places; nullopt when the
// text is not in that form (the general reader then takes over).
template <typename Char>
std::optional<std::array<qint64, 6>> fixedFields(const Char *t, qsizetype size)
{
    if (size != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    static const int at[6] = {0, 5, 8, 11, 14, 17};
    static const int width[6] = {4, 2, 2, 2, 2, 2};
    std::array<qint64, 6> v{};
    for (int f = 0; f < 6; ++f) {
        qint64 x = 0;
        for (int i = 0; i < width[f]; ++i) {
            const auto ch = t[at[f] + i];
            if (ch < '0' || ch > '9')
                return std::nullopt;
            x = x * 10 + (ch - '0');
        }
        v[f] = x;
    }
    return v;
}

// A real EXIF shooting time: YYYY:MM:DD hh:mm:ss naming an existing moment.
bool isExifDateTime(const QString &s)
{
    if (s.size() != 19)
        return false;
    for (int i = 0; i < 19; ++i) {
        const QChar c = s.at(i);
        const bool wantColon = i == 4 || i == 7 || i == 13 || i == 16;
        if (i == 10 ? c != QLatin1Char(' ')
                    : wantColon ? c != QLatin1Char(':')
                                : (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return false;
    }
    QString text = s;
    text[4] = QLatin1Char('-');
    text[7] = QLatin1Char('-');
    return ParseDateTimeText(text).has_value();
}

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
        if (c == QLatin1Char('N') || c == QLatin1Char('E') || c == QLatin1Char('S') || c == QLatin1Char('W')) {
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

PhotoRecord ReadPhotoRecord(const QString &name, const QString &folder)
{
    PhotoRecord record;
    const QString path = folder + name;
    if (path.isEmpty() || path.right(4).toUpper() != QLatin1String(".JPG")
        || !common::checkInputFile(path))
        return record;
    record.fileName = name;
    record.folder = folder;
    try {
        ExifReader reader;
        reader.Load(path);
        if (!reader.hasExif())
            return record; // asking Tag would only read the file again and fail
        QString s = reader.Tag(36867).toString();
        // ASCII text ends at its first zero byte; some writers pad the field
        // with further zero bytes, which are no part of the time.
        if (const qsizetype zero = s.indexOf(QChar(0)); zero >= 0)
            s.truncate(zero);
        if (isExifDateTime(s)) {
            record.shotTime = s.left(10).replace(QLatin1Char(':'), QLatin1Char('-'))
                + QLatin1Char(' ') + s.right(8);
            record.hasExif = true;
        }
    } catch (const ExifError &e) {
        // Only a file that is not there is refused; one whose EXIF cannot be
        // read is listed without a time. Checked after the fact, so a
        // readable photo costs no extra look-up.
        if (e.code == ExifError::FileNotFound) {
            const QFileInfo info(path);
            if (!info.exists() || info.isDir())
                return PhotoRecord();
        }
    }
    return record;
}

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
    return ParseRmcBytes(line.toLatin1());
}

PathPoint ParseRmcBytes(QByteArrayView line, const common::TimeZoneSetting *zone)
{
    PathPoint point;
    const char *s = line.data();
    const qsizetype n = line.size();
    // Fields 0..9; a sentence with fewer gives no point.
    qsizetype from[10], to[10];
    int fields = 0;
    for (qsizetype pos = 0; fields < 10;) {
        const char *comma = static_cast<const char *>(std::memchr(s + pos, ',', size_t(n - pos)));
        const qsizetype end = comma ? comma - s : n;
        from[fields] = pos;
        to[fields] = end;
        ++fields;
        if (!comma)
            break;
        pos = end + 1;
    }
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
    return MakePathPoint(utc, std::move(position), zone);
}

PathPoint MakePathPoint(qint64 utcSeconds, QByteArray position, const common::TimeZoneSetting *zone)
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

} // namespace systemfinction

QString PathPoint::pointTime() const
{
    return position.isEmpty() ? QString() : systemfinction::FormatCalendarSeconds(localSeconds);
}

QString PathPoint::positionText() const { return QString::fromLatin1(position); }

namespace systemfinction {

QByteArray PositionBytesFromDegrees(double latitude, double longitude)
{
    // Minutes are rounded to four decimals first, so 59.99999 carries into
    // the next degree instead of reading 60.0000.
    QByteArray out;
    out.reserve(32);
    auto half = [&out](double v, char positive, char negative, int degreeDigits) {
        out.append(v < 0 ? negative : positive);
        const qint64 tenThousandths = std::llround(std::fabs(v) * 600000.0);
        const qint64 degrees = tenThousandths / 600000;
        const qint64 minutes = tenThousandths % 600000;
        char buf[40];
        char *end = std::to_chars(buf, buf + sizeof buf, degrees).ptr;
        for (qsizetype pad = degreeDigits - (end - buf); pad > 0; --pad)
            out.append('0');
        out.append(buf, end - buf);
        out.append('\xB0'); // the degree sign in Latin-1
        const char m[] = {char('0' + minutes / 100000), char('0' + minutes / 10000 % 10), '.',
                          char('0' + minutes / 1000 % 10), char('0' + minutes / 100 % 10),
                          char('0' + minutes / 10 % 10), char('0' + minutes % 10), '\''};
        out.append(m, sizeof m);
    };
    half(latitude, 'N', 'S', 2);
    out.append(',');
    half(longitude, 'E', 'W', 3);
    return out;
}

QString PositionTextFromDegrees(double latitude, double longitude)
{
    return QString::fromLatin1(PositionBytesFromDegrees(latitude, longitude));
}

} // namespace systemfinction

namespace systemfinction {

std::optional<qint64> CalendarSecondsOf(const QString &text)
{
    const auto parts = ParseDateTimeText(text);
    if (!parts)
        return std::nullopt;
    return calendarSeconds(*parts);
}

QString FormatCalendarSeconds(qint64 seconds)
{
    const auto parts = partsFromCalendarSeconds(seconds);
    return parts ? formatParts(*parts) : QString();
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

std::optional<DateTimeParts> ParseDateTimeText(const QString &text)
{
    std::array<qint64, 6> v{};
    if (const auto fixed = fixedFields(reinterpret_cast<const char16_t *>(text.utf16()), text.size())) {
        v = *fixed;
    } else {
        const QList<QStringView> halves =
            QStringView(text).trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (halves.size() != 2)
            return std::nullopt;
        const QList<QStringView> date = halves[0].split(QLatin1Char('-'));
        const QList<QStringView> time = halves[1].split(QLatin1Char(':'));
        if (date.size() != 3 || time.size() != 3)
            return std::nullopt;
        for (int i = 0; i < 3; ++i) {
            if (!readDigits(date[i], &v[i]) || !readDigits(time[i], &v[i + 3]))
                return std::nullopt;
        }
    }
    if (!validParts(v[0], v[1], v[2], v[3], v[4], v[5]))
        return std::nullopt;
    DateTimeParts p;
    p.year = int(v[0]);
    p.month = int(v[1]);
    p.day = int(v[2]);
    p.hour = int(v[3]);
    p.minute = int(v[4]);
    p.second = int(v[5]);
    return p;
}

QString FormatDateTimeParts(const DateTimeParts &p)
{
    return formatParts(p);
}

QString ShiftDateTimeText(const QString &text, const QString &offset, bool negative)
{
    const std::optional<DateTimeParts> start = ParseDateTimeText(text);
    const QList<QStringView> pieces = QStringView(offset).trimmed().split(QLatin1Char(':'));
    if (!start || pieces.size() != 3)
        return {};
    qint64 h = 0, m = 0, s = 0;
    if (!readDigits(pieces[0], &h) || !readDigits(pieces[1], &m) || !readDigits(pieces[2], &s))
        return {};
    const qint64 amount = h * 3600 + m * 60 + s;
    const auto shifted = partsFromCalendarSeconds(calendarSeconds(*start) + (negative ? -amount : amount));
    return shifted ? formatParts(*shifted) : QString();
}

std::optional<qint64> SecondsBetween(const QString &first, const QString &second)
{
    const auto a = ParseDateTimeText(first);
    const auto b = ParseDateTimeText(second);
    if (!a || !b)
        return std::nullopt;
    return calendarSeconds(*b) - calendarSeconds(*a);
}

QString IndentSpaces(int level)
{
    return level > 0 ? QString(4 * level, QLatin1Char(' ')) : QString();
}

QString NumberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits, then write them out without exponent.
    char sci[40];
    const auto r = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14);
    const char *p = sci;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    const char *e = static_cast<const char *>(std::memchr(p, 'e', size_t(r.ptr - p)));
    char digits[16];
    int nd = 0;
    for (const char *c = p; c < e; ++c) {
        if (*c != '.')
            digits[nd++] = *c;
    }
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    int exponent = 0;
    std::from_chars(e[1] == '+' ? e + 2 : e + 1, r.ptr, exponent);
    char out[400];
    int n = 0;
    if (negative)
        out[n++] = '-';
    if (exponent < 0) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            out[n++] = '0';
        for (int i = 0; i < nd; ++i)
            out[n++] = digits[i];
    } else if (exponent + 1 >= nd) {
        for (int i = 0; i < nd; ++i)
            out[n++] = digits[i];
        for (int i = nd; i < exponent + 1; ++i)
            out[n++] = '0';
    } else {
        for (int i = 0; i < nd; ++i) {
            if (i == exponent + 1)
                out[n++] = '.';
            out[n++] = digits[i];
        }
    }
    return QString::fromLatin1(out, n);
}

QString KmlCoordinate(const QList<GeoPoint> &points, int i, double dLon, double dLat)
{
    if (i < 1 || i > points.size())
        return {};
    const GeoPoint &p = points.at(i - 1);
    return NumberText(p.longitude + dLon) + QLatin1Char(',') + NumberText(p.latitude + dLat)
        + QStringLiteral(",0");
}

QString MapLatLngLiteral(const QList<GeoPoint> &points, int i, double dLon, double dLat)
{
    if (i < 1 || i > points.size())
        return {};
    const GeoPoint &p = points.at(i - 1);
    return QStringLiteral("new GLatLng(") + NumberText(p.latitude + dLat) + QLatin1Char(',')
        + NumberText(p.longitude + dLon) + QLatin1Char(')');
}

QString TimeStampText()
{
    return common::clock::now().time().toString(QStringLiteral("H:mm:ss")).remove(QLatin1Char(':'));
}

} // namespace systemfinction
