#pragma once
// The photo list's texts and its work against the path: the clock
// correction of the time column and the matching of the position column.
#include "core/photorow.h"

#include "common/timezone.h"

#include <QList>
#include <QString>
#include <optional>

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

// The matching settings a fresh start has.
inline constexpr qint64 kDefaultTolerance = 120;
inline constexpr qint64 kDefaultMaxGap = 1800;

struct MatchOptions {
    qint64 tolerance = kDefaultTolerance;
    // Between two fixes of one segment at most maxGap seconds apart, the
    // position interpolated in time instead of the nearest fix's.
    bool interpolate = false;
    qint64 maxGap = kDefaultMaxGap;
    // The zone the photos' corrected times and the path's times are in.
    common::TimeZoneSetting zone;
};

// Gives every row with an EXIF time the position of the nearest path point
// within tolerance seconds, or clears it. Rows without EXIF keep theirs.
MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, qint64 tolerance);
MatchSummary matchRows(QList<PhotoRow> &rows, const QList<PathPoint> &path, const MatchOptions &options);
// The three-line summary of a matching run.
QString matchMessage(const MatchSummary &summary);

} // namespace pixplot::photomatch
