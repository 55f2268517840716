#pragma once
// The one zone setting through which the suite turns UTC into local time and
// back: a fixed offset ("UTC+08:00", the default), an IANA name converted per
// instant with its daylight-saving rules, or the system's own zone ("local").
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>

namespace common {

class TimeZoneSetting {
public:
    // UTC+08:00.
    TimeZoneSetting();

    // "UTC", "Z", "+08:00", "-05:30", "+8", "+0530", "UTC+08:00", "GMT-3",
    // an IANA name known to the system ("Europe/Berlin") or "local".
    // nullopt for anything else.
    static std::optional<TimeZoneSetting> parse(const QString &text);
    // What the zone boxes offer: UTC+08:00 first, then the system's zone and
    // common zones.
    static QStringList suggestions();
    // The message shown for a zone text that parse() refuses.
    static QString invalidMessage(const QString &text);

    // "UTC+08:00", "UTC-05:30", "UTC", "Europe/Berlin" or "local": parse()
    // reads it back to the same setting.
    QString text() const;
    bool isDefault() const { return kind_ == Kind::Fixed && fixed_ == DefaultOffset; }
    bool isFixed() const { return kind_ == Kind::Fixed; }
    int fixedOffsetSeconds() const { return fixed_; }

    // Seconds east of UTC in force at the instant utc (seconds since 1970 UTC).
    int offsetAtUtc(qint64 utc) const;
    // Wall-clock seconds (seconds since 1970-01-01 00:00 of the local
    // calendar) of the instant utc.
    qint64 localFromUtc(qint64 utc) const { return utc + offsetAtUtc(utc); }
    // The instant of a wall-clock time. In the hour that repeats when
    // daylight saving ends the first (summer) instant is taken; a time in the
    // hour skipped when it starts is read with the offset before the change,
    // so 02:30 becomes 03:30 summer time.
    qint64 utcFromLocal(qint64 local) const;

    // A local "YYYY-MM-DD hh:mm:ss" text (a photo's corrected time) as a UTC
    // date-time; nullopt when the text is not such a time.
    std::optional<QDateTime> localTextToUtc(const QString &localText) const;
    // The local "YYYY-MM-DD hh:mm:ss" text of a UTC instant.
    QString utcToLocalText(qint64 utc) const;

    bool operator==(const TimeZoneSetting &other) const;

    static constexpr int DefaultOffset = 8 * 3600;

private:
    enum class Kind { Fixed, Named, Local };
    Kind kind_ = Kind::Fixed;
    int fixed_ = DefaultOffset;
    QTimeZone zone_;
    // The span [cacheFrom_, cacheTo_) between two transitions of zone_ and
    // its offset: a path's points fall into very few of them.
    mutable qint64 cacheFrom_ = 1;
    mutable qint64 cacheTo_ = 0;
    mutable int cacheOffset_ = 0;
};

// Calendar arithmetic without zones: seconds since 1970-01-01 00:00 of the
// same calendar, and back.
qint64 calendarSeconds(int year, int month, int day, int hour, int minute, int second);
// "YYYY-MM-DD hh:mm:ss" -> calendar seconds; nullopt when malformed.
std::optional<qint64> calendarSecondsOfText(const QString &text);
QString calendarText(qint64 seconds);
// Days since 1970-01-01 of a calendar date, and back.
qint64 daysFromCivil(qint64 y, qint64 m, qint64 d);
void civilFromDays(qint64 z, qint64 *y, qint64 *m, qint64 *d);

} // namespace common
