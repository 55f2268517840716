#pragma once
// The window system services on Windows (user32, dwmapi).
#include "platform/windowsystem.h"

#include <array>

namespace areagrab {

class Win32WindowSystem : public QtScreenWindowSystem {
public:
    Win32WindowSystem();
    ~Win32WindowSystem() override;

    WindowId windowAt(QPoint point, const QList<WindowId> &skip) override;
    std::optional<QRect> windowRect(WindowId window) override;
    void highlight(const QRect &rect) override;
    void removeHighlight() override;
    QPoint cursorPos() override;
    bool leftButtonDown() override;
    bool isViewable(WindowId window) override;

private:
    std::array<void *, 4> frame_{}; // HWNDs: top, bottom, left, right
};

} // namespace areagrab
