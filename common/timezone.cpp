#include "common/timezone.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace common {

namespace {

QString offsetText(int seconds)
{
    if (seconds == 0)
        return QStringLiteral("UTC");
    const int a = qAbs(seconds);
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(a / 3600, 2, 10, QLatin1Char('0'))
        .arg(a % 3600 / 60, 2, 10, QLatin1Char('0'));
}

constexpr qint64 Far = qint64(1) << 62;

// Names such as Etc/UTC or Etc/GMT+5 that the zone tables leave out but the
// zone database holds as files.
bool inZoneFolder(const QString &name)
{
    if (name.contains(QLatin1String("..")) || name.startsWith(QLatin1Char('/')))
        return false;
    QString folder = qEnvironmentVariable("TZDIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/usr/share/zoneinfo");
    return QFileInfo(folder + QLatin1Char('/') + name).isFile();
}

} // namespace

TimeZoneSetting::TimeZoneSetting() = default;

std::optional<TimeZoneSetting> TimeZoneSetting::parse(const QString &input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    TimeZoneSetting z;
    static const QRegularExpression fixed(QStringLiteral("^(?:UTC|GMT)?([+-])(\\d{1,2})(?::?(\\d{2}))?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (text.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0
        || text.compare(QLatin1String("GMT"), Qt::CaseInsensitive) == 0 || text == QLatin1String("Z")) {
        z.fixed_ = 0;
        return z;
    }
    if (const QRegularExpressionMatch m = fixed.match(text); m.hasMatch()) {
        const int hours = m.captured(2).toInt();
        const int minutes = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
        // The zones in use lie within -12:00 .. +14:00.
        if (hours > 14 || minutes > 59 || (hours == 14 && minutes > 0))
            return std::nullopt;
        z.fixed_ = (hours * 3600 + minutes * 60) * (m.captured(1) == QLatin1String("-") ? -1 : 1);
        return z;
    }
    if (text.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0) {
        z.kind_ = Kind::Local;
        z.zone_ = QTimeZone::systemTimeZone();
        if (!z.zone_.isValid())
            z.zone_ = QTimeZone::utc();
        return z;
    }
    // Only names: a number or an offset of another spelling is not a zone.
    if (!text.contains(QLatin1Char('/')) && !text.at(0).isLetter())
        return std::nullopt;
    // Only names the zone database lists: the back end would read a bare word
    // as a POSIX rule of UTC.
    if (!QTimeZone::isTimeZoneIdAvailable(text.toUtf8()) && !inZoneFolder(text))
        return std::nullopt;
    const QTimeZone named(text.toUtf8());
    if (!named.isValid())
        return std::nullopt;
    z.kind_ = Kind::Named;
    z.zone_ = named;
    return z;
}

QStringList TimeZoneSetting::suggestions()
{
    QStringList list{QStringLiteral("UTC+08:00")};
    const QString system = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (!system.isEmpty() && parse(system))
        list << system;
    for (const char *name :
         {"UTC", "Asia/Shanghai", "Asia/Tokyo", "Asia/Kolkata", "Europe/London", "Europe/Berlin",
          "America/New_York", "America/Los_Angeles", "Australia/Sydney"}) {
        const QString n = QString::fromLatin1(name);
        if (!list.contains(n) && parse(n))
            list << n;
    }
    list << QStringLiteral("local");
    return list;
}

QString TimeZoneSetting::invalidMessage(const QString &text)
{
    return QStringLiteral("时区“%1”无效：请输入UTC偏移（如+08:00、-05:30、UTC）、"
                          "时区名称（如Europe/Berlin）或local。")
        .arg(text);
}

QString TimeZoneSetting::text() const
{
    switch (kind_) {
    case Kind::Fixed:
        return offsetText(fixed_);
    case Kind::Named:
        return QString::fromUtf8(zone_.id());
    case Kind::Local:
        break;
    }
    return QStringLiteral("local");
}

int TimeZoneSetting::offsetAtUtc(qint64 utc) const
{
    if (kind_ == Kind::Fixed)
        return fixed_;
    if (utc >= cacheFrom_ && utc < cacheTo_)
        return cacheOffset_;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utc, QTimeZone::utc());
    cacheOffset_ = zone_.offsetFromUtc(at);
    // The transition at or before utc, and the next one after it.
    const QTimeZone::OffsetData before = zone_.previousTransition(at.addSecs(1));
    const QTimeZone::OffsetData after = zone_.nextTransition(at);
    cacheFrom_ = before.atUtc.isValid() ? before.atUtc.toSecsSinceEpoch() : -Far;
    cacheTo_ = after.atUtc.isValid() ? after.atUtc.toSecsSinceEpoch() : Far;
    if (cacheFrom_ > utc || cacheTo_ <= utc) {
        // A back end that answers oddly: no span, ask again next time.
        cacheFrom_ = 1;
        cacheTo_ = 0;
    }
    return cacheOffset_;
}

qint64 TimeZoneSetting::utcFromLocal(qint64 local) const
{
    if (kind_ == Kind::Fixed)
        return local - fixed_;
    // The offsets a day either side bound the two readings a wall time can
    // have; transitions lie much further apart than that.
    const int early = offsetAtUtc(local - 86400);
    const int late = offsetAtUtc(local + 86400);
    const qint64 first = local - early;
    const qint64 second = local - late;
    const bool firstFits = offsetAtUtc(first) == early;
    const bool secondFits = offsetAtUtc(second) == late;
    if (firstFits && secondFits)
        return qMin(first, second);
    if (firstFits)
        return first;
    if (secondFits)
        return second;
    return first; // in the skipped hour
}

std::optional<QDateTime> TimeZoneSetting::localTextToUtc(const QString &localText) const
{
    const std::optional<qint64> local = calendarSecondsOfText(localText);
    if (!local)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(utcFromLocal(*local), QTimeZone::utc());
}

QString TimeZoneSetting::utcToLocalText(qint64 utc) const
{
    return calendarText(localFromUtc(utc));
}

bool TimeZoneSetting::operator==(const TimeZoneSetting &other) const
{
    return kind_ == other.kind_ && fixed_ == other.fixed_
        && (kind_ == Kind::Fixed || zone_.id() == other.zone_.id());
}

// H. Hinnant's days_from_civil and civil_from_days on the proleptic
// Gregorian calendar.
qint64 daysFromCivil(qint64 y, qint64 m, qint64 d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(qint64 z, qint64 *y, qint64 *m, qint64 *d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp + (mp < 10 ? 3 : -9);
    *y = yoe + era * 400 + (*m <= 2);
}

qint64 calendarSeconds(int year, int month, int day, int hour, int minute, int second)
{
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<qint64> calendarSecondsOfText(const QString &text)
{
    // Exactly YYYY-MM-DD hh:mm:ss.
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u' '
        || text.at(13) != u':' || text.at(16) != u':')
        return std::nullopt;
    int v[6];
    const int at[6] = {0, 5, 8, 11, 14, 17};
    const int len[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        int n = 0;
        for (int k = 0; k < len[i]; ++k) {
            const QChar c = text.at(at[i] + k);
            if (c < u'0' || c > u'9')
                return std::nullopt;
            n = n * 10 + (c.unicode() - u'0');
        }
        v[i] = n;
    }
    if (!QDate::isValid(v[0], v[1], v[2]) || v[3] > 23 || v[4] > 59 || v[5] > 59)
        return std::nullopt;
    return calendarSeconds(v[0], v[1], v[2], v[3], v[4], v[5]);
}

QString calendarText(qint64 seconds)
{
    qint64 day = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --day;
    }
    qint64 y, m, d;
    civilFromDays(day, &y, &m, &d);
    if (y < 0 || y > 9999) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(y),
                      static_cast<long long>(m), static_cast<long long>(d),
                      static_cast<long long>(rest / 3600), static_cast<long long>(rest % 3600 / 60),
                      static_cast<long long>(rest % 60));
        return QString::fromLatin1(buf);
    }
    // Written digit by digit: a long path formats a million of these.
    QString out(19, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    auto two = [&o](qint64 v) {
        *o++ = char16_t(u'0' + v / 10);
        *o++ = char16_t(u'0' + v % 10);
    };
    two(y / 100);
    two(y % 100);
    *o++ = u'-';
    two(m);
    *o++ = u'-';
    two(d);
    *o++ = u' ';
    two(rest / 3600);
    *o++ = u':';
    two(rest % 3600 / 60);
    *o++ = u':';
    two(rest % 60);
    return out;
}

} // namespace common
