#pragma once
// Date-time texts (YYYY-MM-DD hh:mm:ss): reading, writing and shifting them,
// and the calendar seconds behind them. Plain calendar arithmetic: no time
// zone or daylight saving enters.
#include "core/types.h"

#include <QString>
#include <optional>

namespace pixplot::systemfinction {

std::optional<DateTimeParts> ParseDateTimeText(const QString &text);
QString FormatDateTimeParts(const DateTimeParts &parts);
// The text of a real calendar moment of years 1000 to 9999 (as a camera's
// clock gives one); "" for anything else.
QString cameraTimeText(int year, int month, int day, int hour, int minute, int second);
// Adds (or with negative, subtracts) "h:m:s" to text; "" on bad input.
QString ShiftDateTimeText(const QString &text, const QString &offset, bool negative);
// Calendar seconds of a date-time text and back (year 1 to 9999).
std::optional<qint64> calendarSecondsOf(const QString &text);
QString formatCalendarSeconds(qint64 seconds);
// Whole seconds from first to second (positive when second is later);
// nullopt when either text is not a date-time.
std::optional<qint64> secondsBetween(const QString &first, const QString &second);
// Current local time (common::clock) as H:mm:ss with the colons removed.
QString TimeStampText();

// Calendar helpers the NMEA sentences share.
namespace detail {

constexpr qint64 SecondsPerDay = 86400;

// A real calendar moment of years 1 to 9999.
bool validParts(qint64 y, qint64 mo, qint64 d, qint64 h, qint64 mi, qint64 s);
// Calendar seconds -> parts; nullopt outside years 1 to 9999.
std::optional<DateTimeParts> partsFromCalendarSeconds(qint64 s);

} // namespace detail

} // namespace pixplot::systemfinction
