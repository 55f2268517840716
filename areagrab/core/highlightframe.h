#pragma once
// Where the frame that marks a picked window goes: four strips along the
// inside of the window's rectangle, each back end showing them its own way.
#include <QRect>

#include <array>

namespace areagrab {

constexpr int HighlightWidth = 3; // pixels

// The strips top, bottom, left and right, width pixels thick (less where the
// rectangle is thinner), inside rect. The sides lie between the top and the
// bottom strip; a strip with no room is empty. All empty for an empty rect.
std::array<QRect, 4> highlightStrips(const QRect &rect, int width = HighlightWidth);

} // namespace areagrab
