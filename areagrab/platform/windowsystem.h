#pragma once
// Choosing the window system of this session, and the screen as Qt sees it,
// which the back ends share.
#include "core/windowsystem.h"

#include <memory>

namespace areagrab {

// The primary screen through Qt: its geometry, ratio and one grab of it.
class QtScreenWindowSystem : public WindowSystem {
public:
    QRect screenRect() override;
    qreal screenRatio() override;
    ScreenImage screenPixels() override;
    QList<QRect> screenRects() override;
    // Each monitor's own grab, placed where it lies on the desktop.
    ScreenImage desktopPixels() override;
};

// The implementation for this session: X11, or on Wayland (also for an X11
// program on the XWayland server, whose root shows nothing of the desktop)
// the desktop portal. Null when the program runs without a screen (no GUI
// application, or a Qt platform that only pretends to have one, such as
// offscreen, whose grabs are black).
std::unique_ptr<WindowSystem> createWindowSystem();

// Whether the session is Wayland: WAYLAND_DISPLAY is set, or the X server
// is XWayland (known once the application object is made).
bool waylandSession();

// Whether the X server can be reached (a connection to DISPLAY opens), and
// whether the Wayland compositor's socket is there. Starting the GUI
// without the one its platform plugin needs aborts the program.
bool windowSystemReachable();
bool waylandReachable();

// Whether a GUI application can start here, picking Qt's Wayland plugin for
// a Wayland session without an X server. Called before the application
// object exists.
bool screenReachable();

} // namespace areagrab
