#include "platform/windowsystem.h"

#include "core/screenrect.h"

#ifdef Q_OS_WIN
#include "platform/win32windowsystem.h"
#else
#include "platform/portalwindowsystem.h"
#include "platform/xcbwindowsystem.h"

#include <QFileInfo>
#include <cstdlib>
#endif

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace areagrab {

namespace {

// A monitor in the window system's pixels. Qt keeps each screen's top-left
// where the window system has it and scales only what lies within.
QRect deviceGeometry(const QScreen *screen)
{
    const QRect logical = screen->geometry();
    return QRect(logical.topLeft(),
                 logicalToDevice(QRect(QPoint(0, 0), logical.size()), screen->devicePixelRatio()).size());
}

} // namespace

QRect QtScreenWindowSystem::screenRect()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? deviceGeometry(screen) : QRect();
}

qreal QtScreenWindowSystem::screenRatio()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

ScreenImage QtScreenWindowSystem::screenPixels()
{
    ScreenImage shot;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        shot.image = screen->grabWindow(0).toImage();
        shot.image.setDevicePixelRatio(1.0);
    }
    if (shot.image.isNull())
        shot.error = QStringLiteral("无法读取屏幕图像。");
    return shot;
}

QList<QRect> QtScreenWindowSystem::screenRects()
{
    QList<QRect> rects;
    for (const QScreen *screen : QGuiApplication::screens())
        rects.append(deviceGeometry(screen));
    return rects;
}

ScreenImage QtScreenWindowSystem::desktopPixels()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() <= 1)
        return screenPixels();
    QRect desktop;
    for (const QRect &r : screenRects())
        desktop |= r;
    ScreenImage shot;
    shot.image = QImage(desktop.size(), QImage::Format_RGB32);
    shot.image.fill(Qt::black);
    QPainter painter(&shot.image);
    for (QScreen *screen : screens) {
        QImage part = screen->grabWindow(0).toImage();
        if (part.isNull()) {
            shot.image = QImage();
            break;
        }
        part.setDevicePixelRatio(1.0);
        painter.drawImage(deviceGeometry(screen).topLeft() - desktop.topLeft(), part);
    }
    painter.end();
    if (shot.image.isNull())
        shot.error = QStringLiteral("无法读取屏幕图像。");
    return shot;
}

#ifndef Q_OS_WIN
namespace {

// Whether the X server of DISPLAY is XWayland: newer ones announce an
// extension of that name; all name their outputs XWAYLAND<n>, which Qt's
// screens carry.
bool xserverIsXWayland()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        for (const QScreen *screen : QGuiApplication::screens()) {
            if (screen->name().startsWith(QLatin1String("XWAYLAND")))
                return true;
        }
    }
    xcb_connection_t *conn = xcb_connect(nullptr, nullptr);
    bool xwayland = false;
    if (!xcb_connection_has_error(conn)) {
        static const char name[] = "XWAYLAND";
        xcb_query_extension_reply_t *reply =
            xcb_query_extension_reply(conn, xcb_query_extension(conn, sizeof(name) - 1, name), nullptr);
        xwayland = reply && reply->present;
        std::free(reply);
    }
    xcb_disconnect(conn);
    return xwayland;
}

} // namespace
#endif

bool waylandSession()
{
#ifdef Q_OS_WIN
    return false;
#else
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || xserverIsXWayland();
#endif
}

std::unique_ptr<WindowSystem> createWindowSystem()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    // These platforms draw into memory only: a grab would be a black picture.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return nullptr;
#ifdef Q_OS_WIN
    return std::make_unique<Win32WindowSystem>();
#else
    if (waylandSession())
        return std::make_unique<PortalWindowSystem>();
    return std::make_unique<XcbWindowSystem>();
#endif
}

bool windowSystemReachable()
{
#ifdef Q_OS_WIN
    return true;
#else
    xcb_connection_t *conn = xcb_connect(nullptr, nullptr);
    const bool ok = !xcb_connection_has_error(conn);
    xcb_disconnect(conn);
    return ok;
#endif
}

bool waylandReachable()
{
#ifdef Q_OS_WIN
    return false;
#else
    // WAYLAND_DISPLAY names a socket in XDG_RUNTIME_DIR, or is its full path.
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        return false;
    const QString path = display.startsWith(QLatin1Char('/'))
        ? display
        : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + display;
    return QFileInfo(path).exists();
#endif
}

bool screenReachable()
{
#ifdef Q_OS_WIN
    return true;
#else
    // A platform other than X11 (offscreen, for one) is taken at its word;
    // for X11 the display must answer, or starting the GUI aborts.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))
        return true;
    if (windowSystemReachable())
        return true;
    // A Wayland session without an X server: Qt's Wayland plugin, rather
    // than an abort on the missing display.
    if (platform.isEmpty() && waylandReachable()) {
        qputenv("QT_QPA_PLATFORM", "wayland");
        return true;
    }
    return false;
#endif
}

} // namespace areagrab
