#pragma once
// The window system services in a Wayland session, where no program may
// read the screen or look at other windows itself: the screen's pixels come
// from the desktop portal, a window is picked in the desktop's own chooser,
// and what cannot be had (the window under a point, a frame around it) is
// said to be missing rather than guessed.
#include "platform/windowsystem.h"

#include <memory>

namespace areagrab {

class PortalScreenshot;

class PortalWindowSystem : public QtScreenWindowSystem {
public:
    // How long the portal may take: a plain picture (the desktop may first
    // ask the user's permission), and a pick in the desktop's chooser.
    static constexpr int ScreenTimeoutMs = 60 * 1000;
    static constexpr int PickTimeoutMs = 2 * 60 * 1000;

    PortalWindowSystem();
    ~PortalWindowSystem() override;

    ScreenImage screenPixels() override;
    // The portal's picture holds every output already.
    ScreenImage desktopPixels() override;
    void requestDesktopPixels(ImageDone done) override;
    bool findsWindows() const override { return false; }
    ScreenImage pickWindowImage() override;
    void requestScreenPixels(ImageDone done) override;
    void requestWindowImage(ImageDone done) override;

    WindowId windowAt(QPoint point, const QList<WindowId> &skip) override;
    std::optional<QRect> windowRect(WindowId window) override;
    void highlight(const QRect &rect) override;
    void removeHighlight() override;
    QPoint cursorPos() override;
    bool leftButtonDown() override;
    bool isViewable(WindowId window) override;

private:
    // The request a window waits for; a new one replaces it.
    std::unique_ptr<PortalScreenshot> pending_;
};

// The primary screen's part of a picture of the whole desktop, given each
// screen's logical geometry: the picture may be scaled as a whole (device
// pixels), so the part is found by proportion. With one screen, all of it.
QImage primaryScreenPart(const QImage &desktop, const QList<QRect> &screens, int primary);

} // namespace areagrab
