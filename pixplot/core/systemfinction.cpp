#include "core/systemfinction.h"

#include "common/clock.h"
#include "core/exifreader.h"

#include <QDate>
#include <QFileInfo>

#include <cmath>

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

bool isDigits(QStringView text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Seconds since 0001-01-01 00:00:00 on the proleptic calendar; no zone enters.
qint64 calendarSeconds(const DateTimeParts &p)
{
    const qint64 day = QDate(p.year, p.month, p.day).toJulianDay();
    return day * SecondsPerDay + p.hour * 3600 + p.minute * 60 + p.second;
}

std::optional<DateTimeParts> partsFromCalendarSeconds(qint64 s)
{
    qint64 day = s / SecondsPerDay;
    qint64 rest = s % SecondsPerDay;
    if (rest < 0) {
        rest += SecondsPerDay;
        --day;
    }
    const QDate date = QDate::fromJulianDay(day);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return std::nullopt;
    DateTimeParts p;
    p.year = date.year();
    p.month = date.month();
    p.day = date.day();
    p.hour = int(rest / 3600);
    p.minute = int(rest / 60 % 60);
    p.second = int(rest % 60);
    return p;
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

bool isNumberText(QStringView text)
{
    qsizetype digits = 0, dots = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('.'))
            ++dots;
        else if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else
            return false;
    }
    return digits > 0 && dots <= 1 && text.front() != QLatin1Char('.');
}

bool isRmcTalker(QStringView field)
{
    static const char *const talkers[] = {"$GPRMC", "$GNRMC", "$GLRMC", "$GARMC", "$GBRMC", "$BDRMC"};
    for (const char *t : talkers) {
        if (field == QLatin1StringView(t))
            return true;
    }
    return false;
}

// One half of a position text, e.g. "S31°50.1234'", as signed degrees.
double parseHalf(QStringView half, QChar negative)
{
    QString s = half.trimmed().toString();
    bool neg = false;
    if (!s.isEmpty() && (s.front() == negative)) {
        neg = true;
        s.remove(0, 1);
    }
    s.remove(QLatin1Char('N'));
    s.remove(QLatin1Char('E'));
    s.remove(QLatin1Char('S'));
    s.remove(QLatin1Char('W'));
    s.remove(QLatin1Char('\''));
    const qsizetype mark = s.indexOf(QChar(0x00B0));
    const QString degText = mark < 0 ? s : s.left(mark);
    const QString minText = mark < 0 ? QString() : s.mid(mark + 1);
    bool ok = false;
    const double minutes = minText.isEmpty() ? 0.0 : minText.toDouble(&ok);
    const double fraction = ok ? minutes / 60.0 : 0.0;
    // The degree text followed by the fraction's decimals, read back as one
    // number: 31 and 50.1234 give 31.8353900000000.
    QString fracText = QString::number(fraction, 'f', 13);
    double value = 0;
    if (fracText.startsWith(QLatin1String("0."))) {
        QString joined = degText.isEmpty() ? QStringLiteral("0") : degText;
        value = joined.append(QStringView(fracText).mid(1)).toDouble(&ok);
        if (!ok)
            value = 0;
    } else {
        // Minutes of 60 or more: the fraction is no longer below one degree.
        value = degText.toDouble(&ok) + fracText.toDouble();
        if (!ok)
            value = 0;
    }
    if (!std::isfinite(value))
        return 0; // digits beyond any double: no position
    return neg ? -value : value;
}

} // namespace

PhotoRecord ReadPhotoRecord(const QString &name, const QString &folder)
{
    PhotoRecord record;
    const QString path = folder + name;
    if (path.isEmpty() || path.right(4).toUpper() != QLatin1String(".JPG"))
        return record;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return record;
    record.fileName = name;
    record.folder = folder;
    try {
        ExifReader reader;
        reader.Load(path);
        if (!reader.hasExif())
            return record; // asking Tag would only read the file again and fail
        const QString s = reader.Tag(36867).toString();
        if (isExifDateTime(s)) {
            record.shotTime = s.left(10).replace(QLatin1Char(':'), QLatin1Char('-'))
                + QLatin1Char(' ') + s.right(8);
            record.hasExif = true;
        }
    } catch (const ExifError &) {
        // A photo whose EXIF cannot be read is listed without a time.
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
    PathPoint point;
    if (line.isEmpty() || !line.startsWith(QLatin1Char('$')))
        return point;
    const QList<QStringView> f = QStringView(line).split(QLatin1Char(','));
    if (f.size() < 10 || !isRmcTalker(f[0]) || f[2] != QLatin1String("A"))
        return point;

    QStringView time = f[1];
    const qsizetype dot = time.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QStringView fraction = time.mid(dot + 1);
        for (QChar c : fraction) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return point;
        }
        time = time.left(dot);
    }
    QStringView date = f[9];
    if (const qsizetype star = date.indexOf(QLatin1Char('*')); star >= 0)
        date = date.left(star); // a checksum right behind the date
    if (!isDigits(time, 6) || !isDigits(date, 6))
        return point;
    if (!isNumberText(f[3]) || !isNumberText(f[5]))
        return point;
    if ((f[4] != QLatin1String("N") && f[4] != QLatin1String("S"))
        || (f[6] != QLatin1String("E") && f[6] != QLatin1String("W")))
        return point;

    QString utc;
    utc.reserve(19);
    utc.append(QLatin1String("20")).append(date.mid(4, 2)).append(QLatin1Char('-'))
        .append(date.mid(2, 2)).append(QLatin1Char('-')).append(date.left(2))
        .append(QLatin1Char(' ')).append(time.left(2)).append(QLatin1Char(':'))
        .append(time.mid(2, 2)).append(QLatin1Char(':')).append(time.mid(4, 2));
    const QString local = ShiftDateTimeText(utc, QStringLiteral("08:00:00"), false);
    if (local.isEmpty())
        return point; // no such date or time
    point.pointTime = local;
    point.position = f[4].toString() + FormatNmeaAngle(f[3].toString()) + QLatin1Char(',')
        + f[6].toString() + FormatNmeaAngle(f[5].toString());
    return point;
}

GeoPoint ParsePositionText(const QString &position)
{
    GeoPoint point;
    const qsizetype comma = position.indexOf(QLatin1Char(','));
    if (comma < 0)
        return point;
    point.latitude = parseHalf(QStringView(position).left(comma), QLatin1Char('S'));
    point.longitude = parseHalf(QStringView(position).mid(comma + 1), QLatin1Char('W'));
    return point;
}

std::optional<DateTimeParts> ParseDateTimeText(const QString &text)
{
    const QList<QStringView> halves = QStringView(text).trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (halves.size() != 2)
        return std::nullopt;
    const QList<QStringView> date = halves[0].split(QLatin1Char('-'));
    const QList<QStringView> time = halves[1].split(QLatin1Char(':'));
    if (date.size() != 3 || time.size() != 3)
        return std::nullopt;
    qint64 v[6];
    for (int i = 0; i < 3; ++i) {
        if (!readDigits(date[i], &v[i]) || !readDigits(time[i], &v[i + 3]))
            return std::nullopt;
    }
    if (v[0] < 1 || v[0] > 9999 || v[1] > 12 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 59
        || !QDate::isValid(int(v[0]), int(v[1]), int(v[2])))
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
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                             p.minute, p.second);
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
    return shifted ? FormatDateTimeParts(*shifted) : QString();
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
    const QString e = QString::number(value, 'e', 14); // [-]d.dddddddddddddde[+-]xx
    const bool neg = e.startsWith(QLatin1Char('-'));
    const QStringView body = QStringView(e).mid(neg ? 1 : 0);
    const qsizetype ePos = body.indexOf(QLatin1Char('e'));
    QString digits = body.left(1).toString();
    digits.append(body.mid(2, ePos - 2));
    const int exponent = body.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    QString out;
    if (exponent < 0) {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else if (exponent + 1 >= digits.size()) {
        out = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    } else {
        out = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
    }
    return neg ? QLatin1Char('-') + out : out;
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
