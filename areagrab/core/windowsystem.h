#pragma once
// The few window-system services the capture needs that Qt does not offer:
// the screen and its pixels, which window is under a point, its rectangle,
// the pointer, and a frame that marks a window while it is being picked. All
// in device pixels of the window system's own coordinates. The back ends are
// in platform/.
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
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
    virtual ~WindowSystem() = default;

    // The primary screen's rectangle, and how many device pixels one logical
    // pixel of it takes.
    virtual QRect screenRect() = 0;
    virtual qreal screenRatio() = 0;
    // The whole primary screen.
    virtual ScreenImage screenPixels() = 0;
    // Every monitor (the primary among them), device pixels, in the order
    // the window system lists them; the virtual desktop is their union.
    virtual QList<QRect> screenRects() { return {screenRect()}; }
    // The whole virtual desktop in one picture whose top-left is the
    // union's top-left; what no monitor shows is black.
    virtual ScreenImage desktopPixels() { return screenPixels(); }
    // Whether windowAt can find windows at all; where it cannot (Wayland),
    // pickWindowImage lets the desktop's own chooser do the picking.
    virtual bool findsWindows() const { return true; }
    // Asks the user, in the desktop's chooser, for a window and returns its
    // pixels; the error says why there are none (no chooser, cancelled).
    virtual ScreenImage pickWindowImage() { return {{}, QStringLiteral("这里不能用桌面的选择器选取窗口。")}; }
    // screenPixels and pickWindowImage for a window, which must not wait:
    // done gets the result at once, or later where the desktop answers in
    // its own time (a portal); never once this object is gone.
    using ImageDone = std::function<void(const ScreenImage &)>;
    virtual void requestScreenPixels(ImageDone done) { done(screenPixels()); }
    virtual void requestDesktopPixels(ImageDone done) { done(desktopPixels()); }
    virtual void requestWindowImage(ImageDone done) { done(pickWindowImage()); }

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

// Opens the window system of this session; null where there is no screen.
using WindowSystemFactory = std::function<std::unique_ptr<WindowSystem>()>;

} // namespace areagrab
