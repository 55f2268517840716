#pragma once
// The window system services on X11, over a connection of their own (xcb).
#include "platform/windowsystem.h"

#include <xcb/xcb.h>

#include <array>

namespace areagrab {

class XcbWindowSystem : public QtScreenWindowSystem {
public:
    XcbWindowSystem();
    ~XcbWindowSystem() override;

    WindowId windowAt(QPoint point, const QList<WindowId> &skip) override;
    std::optional<QRect> windowRect(WindowId window) override;
    void highlight(const QRect &rect) override;
    void removeHighlight() override;
    QPoint cursorPos() override;
    bool leftButtonDown() override;
    bool isViewable(WindowId window) override;

private:
    struct Child {
        xcb_window_t window = 0;
        QPoint interiorOrigin; // root coordinates of the window's (0, 0)
    };
    bool usable() const;
    // The topmost visible child of parent whose outer rectangle holds point.
    std::optional<Child> childAt(xcb_window_t parent, QPoint parentOrigin, QPoint point);
    void sync();

    xcb_connection_t *conn_ = nullptr;
    xcb_screen_t *screen_ = nullptr;
    std::array<xcb_window_t, 4> frame_{}; // top, bottom, left, right
};

} // namespace areagrab
