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
    return desktop.copy(QRect(left, top, right - left, bottom - top)
                            .intersected(desktop.rect()));
}

ScreenImage PortalWindowSystem::screenPixels()
{
    PortalScreenshot portal;
    ScreenImage shot = portal.take(false, ScreenTimeoutMs);
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

ScreenImage PortalWindowSystem::pickWindowImage()
{
    PortalScreenshot portal;
    // The chooser came with version 2 of the interface (before it the answer
    // is the whole screen, which is no pick); since version 3 the portal
    // says whether it can pick a window, and is asked for exactly that.
    const uint version = portal.property(QStringLiteral("version"));
    const uint targets = version >= 3 ? portal.property(QStringLiteral("AvailableTargets")) : 0;
    if (version < 2 || (targets && !(targets & PortalScreenshot::Window)))
        return {{}, QStringLiteral("此桌面不能让用户选取窗口：请用“选框截图”框出要截的窗口。")};
    return portal.take(true, PickTimeoutMs, targets ? uint(PortalScreenshot::Window) : 0u);
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
