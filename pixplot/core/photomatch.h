#pragma once
// The photo list's texts and its work against the path: the clock
// correction of the time column and the matching of the position column.
#include "core/photorow.h"

#include "common/timezone.h"

#include <QList>
#include <QString>
#include <optional>
#include <span>
#include <vector>

namespace pixplot::photomatch {

// "当次加载 … 张（其中 … 张含EXIF信息）照片!" and the list's total.
QString loadMessage(qint64 loaded, qint64 withExif, qint64 total);
// "照片列表 N张照片" after adding or removing, also for N = 0 (clearing
// the list sets the bare "照片列表" instead).
QString photoBoxCaption(qint64 count);
// "GPS路径 N个轨迹点 (first 到 last)", or "GPS路径" without points.
QString pathBoxCaption(const QList<PathPoint> &points);
QString pathLoadedMessage(qint64 count);
// The same, naming the GPX points left out for want of a time when there are any.
QString pathLoadedMessage(qint64 count, qint64 untimed);

struct ClockOffset {
    int hours = 0, minutes = 0, seconds = 0;
    bool negative = false;
    bool isZero() const { return hours == 0 && minutes == 0 && seconds == 0; }
    QString text() const; // "hh:mm:ss"
};

// "[+|-]hh:mm:ss" (hours 0..23, minutes and seconds 0..59; one or two
// digits each); nullopt when malformed.
std::optional<ClockOffset> parseClockOffset(const QString &text);

// Sets the time column of every row with an EXIF time to its uncorrected
// time shifted by offset (a zero offset restores the uncorrected time).
void applyCorrection(QList<PhotoRow> &rows, const ClockOffset &offset);
// "修正相机时间: +hh:mm:ss".
QString correctionMessage(const ClockOffset &offset);

struct MatchSummary {
    qint64 needed = 0; // rows with an EXIF time
    qint64 matched = 0;
};

// The matching settings a fresh start has, and the largest tolerance.
inline constexpr qint64 kDefaultTolerance = 120;
inline constexpr qint64 kDefaultMaxGap = 1800;
inline constexpr int kMaxTolerance = 600;

struct MatchOptions {
    qint64 tolerance = kDefaultTolerance;
    // Between two fixes of one segment at most maxGap seconds apart, the
    // position interpolated in time instead of the nearest fix's.
    bool interpolate = false;
    qint64 maxGap = kDefaultMaxGap;
    // The zone the photos' corrected times and the path's times are in.
    common::TimeZoneSetting zone;
};

// The instant (UTC seconds) of a photo time (calendar seconds): through the
// photo's own offset where its metadata gives one, else through zone.
qint64 photoInstant(qint64 calendarSeconds, const PhotoRecord &record, const common::TimeZoneSetting &zone);

// Gives every row with an EXIF time the position of the nearest path point
// within tolerance seconds, or clears it. Rows without EXIF keep theirs, and
// so do positions set by hand. A photo whose metadata gives its own UTC
// offset is placed through that, the others through options.zone.
MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, qint64 tolerance);
MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, const MatchOptions &options);
// The three-line summary of a matching run.
QString matchMessage(const MatchSummary &summary);

// The path's recorded time: its fixes, joined where they lie at most maxGap
// apart, each stretch widened by margin seconds at both ends.
class PathTimes {
public:
    PathTimes(const QList<PathPoint> &path, qint64 maxGap, qint64 margin);
    bool contains(qint64 utc) const;
    // How many of instants, each moved by shift, fall inside.
    qint64 countInside(std::span<const qint64> instants, qint64 shift) const;

private:
    std::vector<qint64> starts_, ends_; // sorted, not overlapping
};

// A whole quarter-hour shift of the photo times and the photos it puts
// inside the path's time.
struct ShiftCount {
    qint64 shift = 0; // seconds added to the photo times
    qint64 inside = 0;
};

struct OffsetSuggestion {
    qint64 photos = 0; // photos with a time
    qint64 inside = 0; // of them inside the path's time as they are
    QList<ShiftCount> best; // the best shifts first: most inside, then the smallest
    // The best shift when fewer than half the photos are inside and it puts
    // at least twice as many inside.
    std::optional<ShiftCount> helpful() const;
};

// Tries every quarter-hour shift from -14 h to +14 h on the photo instants
// and keeps the best `keep`.
OffsetSuggestion suggestOffset(std::span<const qint64> instants, const PathTimes &times, int keep = 3);
// "有 N 张照片不在路径的时间范围内。相机时间若差 -06:00:00，可以匹配 M 张。是否按此修正？"
QString suggestionQuestion(const OffsetSuggestion &suggestion);
// The same for the command line: "有 N 张照片不在路径的时间范围内。相机时间若差
// -06:00:00，可以匹配 M 张（--offset -06:00:00 或 --offset auto）。"
QString suggestionHint(const OffsetSuggestion &suggestion);
// "-06:00:00<TAB>38/40".
QString suggestionLine(const ShiftCount &shift, qint64 photos);

// --- the nearest-point rule that gives a photo a path position ---------

enum class Outcome { Matched, OutsidePeriod, BeyondTolerance };

struct Match {
    Outcome outcome = Outcome::OutsidePeriod;
    qsizetype index = -1; // the chosen point when Matched
    qint64 gap = 0;       // |offset(chosen) - t| when a point was chosen
};

// offsets: the path points' offsetSeconds, non-decreasing, offsets[0] == 0.
// t: seconds from the first point to the photo. The first point with
// offset >= t is taken, or the one before it when strictly nearer; t outside
// [0, last offset] fails; a gap equal to tolerance still matches.
Match nearestPoint(std::span<const qint64> offsets, qint64 t, qint64 tolerance);

// The same rule as a scan in list order; right also for a path whose times
// step backwards (a receiver whose clock jumps), where nearestPoint is not.
Match nearestPointScan(std::span<const qint64> offsets, qint64 t, qint64 tolerance);
// True when nearestPoint may be used for offsets.
bool isNonDecreasing(std::span<const qint64> offsets);

// Two neighbouring fixes a photo falls between, for interpolation.
struct Between {
    qsizetype before = -1; // the fix before t; the one after is before + 1
    double fraction = 0;   // (t - offset(before)) / (offset(after) - offset(before))
};
// The fixes strictly around t (the first point with offset >= t and the one
// before it, as the nearest rule finds them) when both belong to the same
// segment and lie at most maxGap seconds apart; nullopt otherwise, also when
// t falls on a fix or outside the path. ordered: offsets are non-decreasing.
std::optional<Between> bracket(std::span<const qint64> offsets, std::span<const int> segments, qint64 t,
                               qint64 maxGap, bool ordered);
// Linear in time between a and b (decimal degrees), the short way across
// the 180° meridian; the longitude stays within -180..180.
void interpolate(double latA, double lonA, double latB, double lonB, double fraction, double *lat,
                 double *lon);
// Altitude and speed linear in time, the course the short way round; what
// either fix lacks stays missing.
FixMotion interpolate(const FixMotion &a, const FixMotion &b, double fraction);

} // namespace pixplot::photomatch
