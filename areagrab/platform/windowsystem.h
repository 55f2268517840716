#pragma once
// The few window-system services the capture needs that Qt does not offer:
// which window is under a point, its rectangle, the pointer, and a frame
// that marks a window while it is being picked. All in device pixels of the
// window system's own coordinates.
#include <QList>
#include <QPoint>
#include <QRect>
#include <memory>
#include <optional>

namespace areagrab {

using WindowId = quint64;

class WindowSystem {
public:
    virtual ~WindowSystem();

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

// The implementation for this platform.
std::unique_ptr<WindowSystem> createWindowSystem();

// Whether the window system can be reached at all (on X11: a connection to
// DISPLAY opens). Starting the GUI without one aborts the program.
bool windowSystemReachable();

} // namespace areagrab
