#pragma once
// The capture runner: what the window and the command line both do to take
// a capture (a monitor, every monitor, a window, a rectangle) and to save it
// in the format its name asks for (JPEG at quality 80, PNG, WebP).
#include "core/imageformat.h"
#include "core/windowsystem.h"

#include <QImage>
#include <QRect>
#include <QString>

namespace areagrab {

// What a pick finds over the bare desktop: the desktop, the whole screen.
constexpr WindowId DesktopWindow = ~WindowId(0);

struct WindowPick {
    WindowId window = 0;
    QRect rect; // clamped to screen; empty when nothing of it is on the screen
};

// The window under point (window-system coordinates) with its rectangle
// clamped to screen; window 0 when there is none.
WindowPick pickWindowAt(WindowSystem &ws, QPoint point, const QList<WindowId> &skip, const QRect &screen);

class CaptureRunner {
public:
    explicit CaptureRunner(WindowSystem &ws) : ws_(ws) { }

    WindowSystem &windowSystem() const { return ws_; }
    // The primary screen in device pixels, window-system coordinates.
    QRect screenRect() const { return ws_.screenRect(); }
    // Every monitor, and the virtual desktop they make up (device pixels).
    QList<QRect> screens() const { return ws_.screenRects(); }
    QRect desktopRect() const;
    // The whole virtual desktop in one picture (its top-left the desktop's).
    ScreenImage desktop() const;
    void requestDesktop(WindowSystem::ImageDone done) const;
    // The monitor under the pointer, as an index into screens().
    int screenUnderPointer() const;
    // The part of desktopShot (a picture of the whole desktop) that rect
    // covers, rect in window-system device pixels and clamped to the
    // picture; null with the error when nothing of it is there.
    static ScreenImage cropDesktop(ScreenImage desktopShot, const QRect &desktop, const QRect &rect);
    // The whole primary screen (device pixels); the error says why not.
    ScreenImage wholeScreen() const;
    // The same for a window, which must not wait: done gets it once there.
    void requestWholeScreen(WindowSystem::ImageDone done) const;
    // The pixels of rect (device pixels, window-system coordinates, any
    // monitor) as the screens show them now.
    ScreenImage screenArea(const QRect &rect) const;
    // A capture as the windows show it: at the screen's device pixel ratio,
    // so that it appears at its logical size.
    QImage forDisplay(QImage capture) const;

    // The window under point, passing over skip; 0 where there is none.
    WindowPick pickAt(QPoint point, const QList<WindowId> &skip) const;
    // The same, but where no window lies the desktop (DesktopWindow) with
    // the whole screen.
    WindowPick pickOrDesktop(QPoint point, const QList<WindowId> &skip) const;

    // Writes capture to path in the format its suffix names (JPEG when it
    // names none); false with *reason on any failure, an existing file then
    // untouched.
    static bool save(const QImage &capture, const QString &path, QString *reason);

private:
    WindowSystem &ws_;
};

struct CaptureRequest {
    // Full: the monitor under the pointer; Screen: monitor number screen;
    // AllScreens: the whole virtual desktop.
    enum class Mode { Full, Screen, AllScreens, Rect, WindowAt };
    Mode mode = Mode::Full;
    int screen = 0;
    QRect rect;   // Rect: virtual-desktop device pixels
    QPoint point; // WindowAt: virtual-desktop device pixels
    QString out;  // empty: the capture is not saved (clipboard, text only)
    bool overwrite = false;
};

// Runs one request of the command line; returns the exit status (0 done, 1
// bad input or failure). The result line goes to *out, messages to *err,
// the capture (device pixels) to *captured when given.
int runCapture(const CaptureRequest &request, const CaptureRunner &runner, QString *out, QString *err,
               QImage *captured = nullptr);

} // namespace areagrab
