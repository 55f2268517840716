#pragma once
// Screen rectangles and pixels: clamping a window to the primary screen,
// logical to device pixels, and cutting a rectangle out of one screen grab.
#include <QImage>
#include <QRect>

namespace areagrab {

// windowRect clamped into screen (both in the same pixels): an edge past the
// screen moves onto the screen's edge. Empty when nothing of it is on screen.
QRect clampToScreen(const QRect &windowRect, const QRect &screen);

// A rectangle in logical pixels as device pixels (dpr = device pixel ratio):
// a selection N logical pixels wide is N x dpr device pixels wide.
QRect logicalToDevice(const QRect &logical, qreal dpr);

// The pixels of rect (device pixels, relative to the grab's top-left) from
// a grab of the whole screen; a null image when rect leaves the grab.
QImage cropScreen(const QImage &screenGrab, const QRect &rect);

// The primary screen: its rectangle in device pixels in window-system
// coordinates, and one grab of it (device pixels, ratio 1).
QRect primaryScreenDeviceRect();
QImage grabPrimaryScreen();

} // namespace areagrab
