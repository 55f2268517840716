#pragma once
// Reading the command line's numbers: "X,Y,W,H" and "X,Y".
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

namespace areagrab {

// Whole numbers separated by commas, spaces around them allowed; nullopt when
// the text is not four (or two) such numbers. W and H may be 0 or negative
// here: whether the rectangle is usable is decided by the capture.
std::optional<QRect> parseRectArg(const QString &text);
std::optional<QPoint> parsePointArg(const QString &text);

} // namespace areagrab
