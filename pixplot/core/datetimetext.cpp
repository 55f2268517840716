// Date-time texts (YYYY-MM-DD hh:mm:ss) and calendar seconds.
#include "core/datetimetext.h"

#include "common/clock.h"
#include "common/timezone.h"

#include <array>

namespace pixplot::systemfinction {

namespace {

bool isLeapYear(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(qint64 y, qint64 m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

} // namespace

namespace detail {

bool validParts(qint64 y, qint64 mo, qint64 d, qint64 h, qint64 mi, qint64 s)
{
    return y >= 1 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= daysInMonth(y, mo) && h >= 0
        && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
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
    common::civilFromDays(day, &y, &m, &d);
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

} // namespace detail

namespace {

using common::daysFromCivil;
using detail::partsFromCalendarSeconds;
using detail::SecondsPerDay;
using detail::validParts;

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

qint64 calendarSeconds(const DateTimeParts &p)
{
    return daysFromCivil(p.year, p.month, p.day) * SecondsPerDay + p.hour * 3600 + p.minute * 60 + p.second;
}

// Writes YYYY-MM-DD hh:mm:ss without going through a format string; paths
// of a million points format one per point.
QString formatParts(const DateTimeParts &p)
{
    if (p.year < 0 || p.year > 9999 || p.month < 0 || p.month > 99 || p.day < 0 || p.day > 99 || p.hour < 0
        || p.hour > 99 || p.minute < 0 || p.minute > 99 || p.second < 0 || p.second > 99)
        return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                                 p.second);
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
template <typename Char> std::optional<std::array<qint64, 6>> fixedFields(const Char *t, qsizetype size)
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

} // namespace

std::optional<qint64> calendarSecondsOf(const QString &text)
{
    const auto parts = ParseDateTimeText(text);
    if (!parts)
        return std::nullopt;
    return calendarSeconds(*parts);
}

QString formatCalendarSeconds(qint64 seconds)
{
    const auto parts = partsFromCalendarSeconds(seconds);
    return parts ? formatParts(*parts) : QString();
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

QString cameraTimeText(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1000 || !detail::validParts(year, month, day, hour, minute, second))
        return {};
    return formatParts({year, month, day, hour, minute, second});
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

std::optional<qint64> secondsBetween(const QString &first, const QString &second)
{
    const auto a = ParseDateTimeText(first);
    const auto b = ParseDateTimeText(second);
    if (!a || !b)
        return std::nullopt;
    return calendarSeconds(*b) - calendarSeconds(*a);
}

QString TimeStampText()
{
    return common::clock::now().time().toString(QStringLiteral("H:mm:ss")).remove(QLatin1Char(':'));
}

} // namespace pixplot::systemfinction
