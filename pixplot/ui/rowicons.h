#pragma once
// The small row icons of the photo list: 1 with an EXIF time, 2 without,
// and the pin beside a position set by hand.
#include <QIcon>

namespace pixplot::rowicons {

// Drawn once and shared, so every row shows the very same icon.
const QIcon &withTime();    // icon 1
const QIcon &withoutTime(); // icon 2
// Beside a position set by hand, which matching leaves alone.
const QIcon &byHand();

} // namespace pixplot::rowicons
