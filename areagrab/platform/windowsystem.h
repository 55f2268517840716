#pragma once
// The few window-system services the capture needs that Qt does not offer:
// the screen's pixels, which window is under a point, its rectangle, the
// pointer, and a frame that marks a window while it is being picked. All in
// device pixels of the window system's own coordinates.
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

namespace areagrab {

using WindowId = quint64;

// A picture taken of the screen (device pixels, ratio 1), or, when image is
// null, the reason there is none in a sentence the user can read.
struct ScreenImage {
    QImage image;
    QString error;
};

class WindowSystem {
public:
    virtual ~WindowSystem();

    // The whole primary screen. Here through Qt's own screen grab.
    virtual ScreenImage screenPixels();
    // Whether windowAt can find windows at all; where it cannot (Wayland),
    // pickWindowImage lets the desktop's own chooser do the picking.
    virtual bool findsWindows() const { return true; }
    // Asks the user, in the desktop's chooser, for a window and returns its
    // pixels; the error says why there are none (no chooser, cancelled).
    virtual ScreenImage pickWindowImage();

    // The innermost visible window at point, skipping every top-level window
    // that is or holds one of skip (and what lies inside it); 0 for none.
    virtual WindowId windowAt(QPoint point, const QList<WindowId> &skip) = 0;
    // The window's outer rectangle; nullopt when it has gone.
    virtual std::optional<QRect> windowRect(WindowId window) = 0;
    // Shows a 3-pixel frame along the inside of rect until removeHighlight.
    // The frame lies above the screen in windows of its own, so it draws
    // nothing into what it covers; its owners repaint what it uncovers.
    virtual void highlight(const QRect &rect) = 0;
    virtual void removeHighlight() = 0;
    // The pointer and whether the left button is down right now.
    virtual QPoint cursorPos() = 0;
    virtual bool leftButtonDown() = 0;
    // Whether the window is mapped and can be seen (not minimized or hidden).
    virtual bool isViewable(WindowId window) = 0;
};

// The implementation for this session: X11, or on Wayland (also for an X11
// program on the XWayland server, whose root shows nothing of the desktop)
// the desktop portal.
std::unique_ptr<WindowSystem> createWindowSystem();

// Whether the session is Wayland: WAYLAND_DISPLAY is set, or the X server
// is XWayland (known once the application object is made).
bool waylandSession();

// Whether the X server can be reached (a connection to DISPLAY opens), and
// whether the Wayland compositor's socket is there. Starting the GUI
// without the one its platform plugin needs aborts the program.
bool windowSystemReachable();
bool waylandReachable();

} // namespace areagrab
