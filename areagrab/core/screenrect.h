#pragma once
// Screen rectangles and pixels: clamping a window to the primary screen,
// logical to device pixels, and cutting a rectangle out of one screen grab.
#include <QImage>
#include <QList>
#include <QRect>

namespace areagrab {

// windowRect clamped into screen (both in the same pixels): an edge past the
// screen moves onto the screen's edge. Empty when nothing of it is on screen.
QRect clampToScreen(const QRect &windowRect, const QRect &screen);

// A rectangle in logical pixels as device pixels (dpr = device pixel ratio):
// a selection N logical pixels wide is N x dpr device pixels wide.
QRect logicalToDevice(const QRect &logical, qreal dpr);

// The device pixel ratio at which a picture of image pixels covers a screen
// of logical size: the screen's own ratio when the picture has its device
// size, else the picture's (a desktop portal scales by the output, Qt may
// round that scale).
qreal coveringRatio(QSize image, QSize logical, qreal screenRatio);

// The pixels of rect (device pixels, relative to the grab's top-left) from
// a grab of the whole screen; a null image when rect leaves the grab.
QImage cropScreen(const QImage &screenGrab, const QRect &rect);

// The virtual desktop: the union of every monitor's rectangle.
QRect desktopOf(const QList<QRect> &screens);

// The monitor that holds point; where none does (a gap between monitors of
// different sizes), the nearest. -1 without monitors.
int screenIndexAt(const QList<QRect> &screens, QPoint point);

} // namespace areagrab
