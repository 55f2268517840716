#pragma once
// The logger's side of the line: 16-byte frames built from track points, for
// the logger simulator and tests that play the logger.
#include "pointstore.h"

#include <QByteArray>
#include <optional>

namespace trekport {

constexpr int frameSize = 16;

// The frame a logger sends for a point read from a list line's cells;
// nothing when a cell cannot be expressed in the frame's bytes.
std::optional<QByteArray> encodeFrame(const TrackRow &row);

// Whole minutes and the two fraction bytes whose joined decimal texts give
// the minutes cell ("12.0345" -> 12, 3, 45).
std::optional<std::array<quint8, 3>> encodeMinutes(const QString &minutes);

// count frames of random bytes within each field's range (dates, times and
// places all over), record numbers 1, 2, ...; every markEvery-th point is
// marked (0: none). The same variant gives the same frames.
QByteArray generateFrames(int count, int markEvery, quint32 variant);

// count frames of one trip: a point every 5 seconds from 09:00 for ten
// hours a day, day after day, moving at a driving speed of about 10 m/s
// along a gently bending road that circles within some 20 km near Nanjing;
// exactly count frames, record numbers wrapping after 65535. Every
// markEvery-th point is marked (0: none). The variant turns the road; the
// same variant gives the same trip.
QByteArray generateTrip(int count, int markEvery, quint32 variant);

} // namespace trekport
