#pragma once
// Calendar helpers the date-time and NMEA halves of systemfinction share.
#include "core/types.h"

#include <optional>

namespace systemfinction::detail {

constexpr qint64 SecondsPerDay = 86400;

// A real calendar moment of years 1 to 9999.
bool validParts(qint64 y, qint64 mo, qint64 d, qint64 h, qint64 mi, qint64 s);
// Calendar seconds -> parts; nullopt outside years 1 to 9999.
std::optional<DateTimeParts> partsFromCalendarSeconds(qint64 s);

} // namespace systemfinction::detail
