#pragma once
// Whole-number rounding and the twip/pixel conversion of the programs' window
// layouts and capture geometry (15 twips to the pixel).
#include <QtGlobal>

namespace common {

constexpr int TwipsPerPixel = 15;

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double value);

// Whole twips never fall on a half pixel (15 is odd), so this is simply the
// nearest pixel; multiples of 15 divide exactly.
int twipsToPixels(qint64 twips);
qint64 pixelsToTwips(double pixels);

} // namespace common
