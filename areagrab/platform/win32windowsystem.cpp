#include "platform/win32windowsystem.h"

#include "core/highlightframe.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <dwmapi.h>

#include <algorithm>

namespace areagrab {

namespace {

const wchar_t FrameClassName[] = L"areagrabPickFrame";

HWND hwndOf(WindowId id)
{
    return reinterpret_cast<HWND>(static_cast<quintptr>(id));
}
WindowId idOf(HWND hwnd)
{
    return static_cast<WindowId>(reinterpret_cast<quintptr>(hwnd));
}

void registerFrameClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = FrameClassName;
    RegisterClassW(&wc);
    registered = true;
}

} // namespace

Win32WindowSystem::Win32WindowSystem() = default;

Win32WindowSystem::~Win32WindowSystem()
{
    for (void *w : frame_) {
        if (w)
            DestroyWindow(static_cast<HWND>(w));
    }
}

WindowId Win32WindowSystem::windowAt(QPoint point, const QList<WindowId> &skip)
{
    const POINT pt = {point.x(), point.y()};
    HWND hwnd = WindowFromPoint(pt);
    if (!hwnd)
        return 0;
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (!skip.contains(idOf(top)) && !skip.contains(idOf(hwnd)))
        return idOf(hwnd);
    // The point is on one of ours: look at the top-level windows below it.
    for (HWND w = GetWindow(top, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w) || IsIconic(w) || skip.contains(idOf(w)))
            continue;
        RECT r;
        if (!GetWindowRect(w, &r) || !PtInRect(&r, pt))
            continue;
        POINT client = pt;
        ScreenToClient(w, &client);
        HWND inner = ChildWindowFromPointEx(w, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        return idOf(inner ? inner : w);
    }
    return 0;
}

std::optional<QRect> Win32WindowSystem::windowRect(WindowId window)
{
    HWND hwnd = hwndOf(window);
    if (!hwnd || !IsWindow(hwnd))
        return std::nullopt;
    RECT r;
    // The visible frame without the invisible resize borders of top-level
    // windows; child windows have no such borders.
    if (GetAncestor(hwnd, GA_ROOT) != hwnd
        || FAILED(DwmGetWindowAttribute(hwnd, DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof r))) {
        if (!GetWindowRect(hwnd, &r))
            return std::nullopt;
    }
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void Win32WindowSystem::highlight(const QRect &rect)
{
    if (rect.isEmpty())
        return;
    registerFrameClass();
    if (!frame_[0]) {
        for (void *&w : frame_) {
            w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT,
                                FrameClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        }
    }
    const std::array<QRect, 4> strips = highlightStrips(rect);
    for (size_t i = 0; i < strips.size(); ++i) {
        const QRect &part = strips[i];
        const HWND w = static_cast<HWND>(frame_[i]);
        if (part.isEmpty()) {
            ShowWindow(w, SW_HIDE);
            continue;
        }
        SetWindowPos(w, HWND_TOPMOST, part.x(), part.y(), part.width(), part.height(),
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
        UpdateWindow(w);
    }
}

void Win32WindowSystem::removeHighlight()
{
    for (void *w : frame_) {
        if (w)
            ShowWindow(static_cast<HWND>(w), SW_HIDE);
    }
}

QPoint Win32WindowSystem::cursorPos()
{
    POINT pt = {};
    GetCursorPos(&pt);
    return {pt.x, pt.y};
}

bool Win32WindowSystem::leftButtonDown()
{
    const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return (GetAsyncKeyState(button) & 0x8000) != 0;
}

bool Win32WindowSystem::isViewable(WindowId window)
{
    HWND hwnd = hwndOf(window);
    return hwnd && IsWindowVisible(hwnd) && !IsIconic(hwnd);
}

} // namespace areagrab
