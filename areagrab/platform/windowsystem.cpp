#include "platform/windowsystem.h"

#ifdef Q_OS_WIN
#include "platform/win32windowsystem.h"
#else
#include "platform/xcbwindowsystem.h"
#endif

namespace areagrab {

WindowSystem::~WindowSystem() = default;

std::unique_ptr<WindowSystem> createWindowSystem()
{
#ifdef Q_OS_WIN
    return std::make_unique<Win32WindowSystem>();
#else
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

} // namespace areagrab
