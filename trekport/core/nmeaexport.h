#pragma once
// NAME files: a $GPRMC and a $GPGGA sentence per point, UTC from the
// logger's local time (UTC+8), the year supplied by the user.
#include "pointstore.h"

#include "common/timezone.h"

#include <QDateTime>
#include <QStringList>
#include <functional>
#include <optional>

namespace trekport {

// Two uppercase hex digits: the XOR of the characters between "$" and "*".
QString NmeaChecksum(const QString &sentence);

// Both sentences of one row, joined by CR LF (no line end after the second);
// nothing when a time, date or coordinate cell is not a number.
// The logger's local time is read in zone (UTC+08:00 by default).
std::optional<QString> BuildNmeaRecord(const TrackRow &row, const QString &dataYear,
                                       const common::TimeZoneSetting &zone = {});
// The instant of a row's local time in zone, the year 20 + dataYear;
// nothing when a cell is not a number or the date does not exist.
std::optional<qint64> rowUtcSeconds(const TrackRow &row, const QString &dataYear,
                                    const common::TimeZoneSetting &zone);

// The lines of a NAME file for rows 0..count-1; *skipped counts the rows
// left out because their cells are not numbers, *impossible those whose
// position cannot exist.
QStringList buildNameLines(const PointStore &store, int count, const QString &dataYear,
                           int *skipped = nullptr, const common::TimeZoneSetting &zone = {},
                           int *impossible = nullptr);
// The same lines as a NAME file's bytes, made point by point.
QByteArray buildNameFile(const PointStore &store, int count, const QString &dataYear, int *skipped = nullptr,
                         const common::TimeZoneSetting &zone = {}, int *impossible = nullptr);
// Hands each line of buildNameLines to `line`; returns the rows left out
// for cells that are not numbers.
int forEachNameLine(const PointStore &store, int count, const QString &dataYear,
                    const std::function<void(const QString &)> &line,
                    const common::TimeZoneSetting &zone = {}, int *impossible = nullptr);

// The two-digit year of a date-time ("26" in 2026).
QString yearOf(const QDateTime &time);
// The year box's answer: its last two characters when they are digits,
// otherwise the year stays as it was ("2011" -> "11"; "9", "abc" -> current).
QString applyYearAnswer(const QString &current, const QString &answer);
// A year as the year box and --year take it: four digits or two.
bool isYearText(const QString &text);

QString yearQuestion(const QString &dataYear);
inline const QString yearPrompt = QStringLiteral("输入GPS路径数据的年份(格式2010)：");
inline const QString yearPromptTitle = QStringLiteral("更新数据年份");
QString nameSavedMessage(const QString &path, int skipped);

bool writeNameFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace trekport
