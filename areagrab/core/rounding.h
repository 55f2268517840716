#pragma once
// Whole-number rounding and twip/pixel conversion shared by the window layout
// and the capture geometry (15 twips to the pixel).
#include <QtGlobal>

namespace areagrab {

constexpr int TwipsPerPixel = 15;

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double value);

int twipsToPixels(qint64 twips);
qint64 pixelsToTwips(double pixels);

} // namespace areagrab
