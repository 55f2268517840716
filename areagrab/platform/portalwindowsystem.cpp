#include "platform/portalwindowsystem.h"

#include "platform/portalscreenshot.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace areagrab {

QImage primaryScreenPart(const QImage &desktop, const QList<QRect> &screens, int primary)
{
    if (screens.size() <= 1 || primary < 0 || primary >= screens.size() || desktop.isNull())
        return desktop;
    QRect all;
    for (const QRect &s : screens)
        all |= s;
    if (all.isEmpty())
        return desktop;
    const double sx = double(desktop.width()) / all.width();
    const double sy = double(desktop.height()) / all.height();
    const QRect p = screens[primary].translated(-all.topLeft());
    const int left = int(std::lround(p.x() * sx));
    const int top = int(std::lround(p.y() * sy));
    const int right = int(std::lround((p.x() + p.width()) * sx));
    const int bottom = int(std::lround((p.y() + p.height()) * sy));
    return desktop.copy(QRect(left, top, right - left, bottom - top).intersected(desktop.rect()));
}

namespace {

// The portal's picture of the whole desktop cut to the primary screen.
ScreenImage primaryScreenShot(ScreenImage shot)
{
    if (shot.image.isNull())
        return shot;
    QList<QRect> screens;
    int primary = -1;
    for (QScreen *s : QGuiApplication::screens()) {
        if (s == QGuiApplication::primaryScreen())
            primary = int(screens.size());
        screens.append(s->geometry());
    }
    shot.image = primaryScreenPart(shot.image, screens, primary);
    shot.image.setDevicePixelRatio(1.0);
    return shot;
}

// Whether the portal can let the user pick a window, and the target to ask
// for: the chooser came with version 2 of the interface (before it the
// answer is the whole screen, which is no pick); since version 3 the portal
// says whether it can pick a window, and is asked for exactly that.
std::optional<uint> windowTarget(PortalScreenshot &portal)
{
    const uint version = portal.property(QStringLiteral("version"));
    const uint targets = version >= 3 ? portal.property(QStringLiteral("AvailableTargets")) : 0;
    if (version < 2 || (targets && !(targets & PortalScreenshot::Window)))
        return std::nullopt;
    return targets ? uint(PortalScreenshot::Window) : 0u;
}

const QString NoChooser = QStringLiteral("此桌面不能让用户选取窗口：请用“选框截图”框出要截的窗口。");

} // namespace

PortalWindowSystem::PortalWindowSystem() = default;
PortalWindowSystem::~PortalWindowSystem() = default;

ScreenImage PortalWindowSystem::screenPixels()
{
    PortalScreenshot portal;
    return primaryScreenShot(portal.take(false, ScreenTimeoutMs));
}

ScreenImage PortalWindowSystem::desktopPixels()
{
    PortalScreenshot portal;
    ScreenImage shot = portal.take(false, ScreenTimeoutMs);
    shot.image.setDevicePixelRatio(1.0);
    return shot;
}

void PortalWindowSystem::requestDesktopPixels(ImageDone done)
{
    pending_ = std::make_unique<PortalScreenshot>();
    pending_->request(false, ScreenTimeoutMs, 0, [done = std::move(done)](ScreenImage shot) {
        shot.image.setDevicePixelRatio(1.0);
        done(shot);
    });
}

ScreenImage PortalWindowSystem::pickWindowImage()
{
    PortalScreenshot portal;
    const auto target = windowTarget(portal);
    if (!target)
        return {{}, NoChooser};
    return portal.take(true, PickTimeoutMs, *target);
}

void PortalWindowSystem::requestScreenPixels(ImageDone done)
{
    pending_ = std::make_unique<PortalScreenshot>();
    pending_->request(false, ScreenTimeoutMs, 0,
                      [done = std::move(done)](const ScreenImage &shot) { done(primaryScreenShot(shot)); });
}

void PortalWindowSystem::requestWindowImage(ImageDone done)
{
    pending_ = std::make_unique<PortalScreenshot>();
    const auto target = windowTarget(*pending_);
    if (!target) {
        pending_.reset();
        done({{}, NoChooser});
        return;
    }
    pending_->request(true, PickTimeoutMs, *target, std::move(done));
}

WindowId PortalWindowSystem::windowAt(QPoint, const QList<WindowId> &)
{
    return 0;
}

std::optional<QRect> PortalWindowSystem::windowRect(WindowId)
{
    return std::nullopt;
}

void PortalWindowSystem::highlight(const QRect &)
{
}

void PortalWindowSystem::removeHighlight()
{
}

QPoint PortalWindowSystem::cursorPos()
{
    return QCursor::pos();
}

bool PortalWindowSystem::leftButtonDown()
{
    return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
}

bool PortalWindowSystem::isViewable(WindowId)
{
    return false;
}

} // namespace areagrab
