#include "core/capturerunner.h"

#include "core/screenrect.h"
#include "common/consoletext.h"
#include "common/safefile.h"

namespace areagrab {

namespace {

const QString NoScreenImage = QStringLiteral("无法读取屏幕图像。");

// No picture without a reason.
ScreenImage withReason(ScreenImage shot)
{
    if (shot.image.isNull() && shot.error.isEmpty())
        shot.error = NoScreenImage;
    return shot;
}

} // namespace

WindowPick pickWindowAt(WindowSystem &ws, QPoint point, const QList<WindowId> &skip, const QRect &screen)
{
    WindowPick pick;
    pick.window = ws.windowAt(point, skip);
    if (!pick.window)
        return pick;
    if (const auto rect = ws.windowRect(pick.window))
        pick.rect = clampToScreen(*rect, screen);
    return pick;
}

ScreenImage CaptureRunner::wholeScreen() const
{
    return withReason(ws_.screenPixels());
}

void CaptureRunner::requestWholeScreen(WindowSystem::ImageDone done) const
{
    ws_.requestScreenPixels([done = std::move(done)](const ScreenImage &shot) { done(withReason(shot)); });
}

QRect CaptureRunner::desktopRect() const
{
    return desktopOf(ws_.screenRects());
}

ScreenImage CaptureRunner::desktop() const
{
    return withReason(ws_.desktopPixels());
}

void CaptureRunner::requestDesktop(WindowSystem::ImageDone done) const
{
    ws_.requestDesktopPixels([done = std::move(done)](const ScreenImage &shot) { done(withReason(shot)); });
}

int CaptureRunner::screenUnderPointer() const
{
    return std::max(0, screenIndexAt(ws_.screenRects(), ws_.cursorPos()));
}

ScreenImage CaptureRunner::cropDesktop(ScreenImage desktopShot, const QRect &desktop, const QRect &rect)
{
    if (desktopShot.image.isNull())
        return desktopShot;
    // Relative to the picture's top-left; a portal's picture may differ in
    // size from the desktop's rectangle, so clamp to the picture itself.
    const QRect area = clampToScreen(rect.translated(-desktop.topLeft()), desktopShot.image.rect());
    desktopShot.image = area.isEmpty() ? QImage() : cropScreen(desktopShot.image, area);
    if (desktopShot.image.isNull())
        desktopShot.error = NoScreenImage;
    return desktopShot;
}

ScreenImage CaptureRunner::screenArea(const QRect &rect) const
{
    return cropDesktop(desktop(), desktopRect(), rect);
}

QImage CaptureRunner::forDisplay(QImage capture) const
{
    capture.setDevicePixelRatio(ws_.screenRatio());
    return capture;
}

WindowPick CaptureRunner::pickAt(QPoint point, const QList<WindowId> &skip) const
{
    return pickWindowAt(ws_, point, skip, desktopRect());
}

WindowPick CaptureRunner::pickOrDesktop(QPoint point, const QList<WindowId> &skip) const
{
    WindowPick pick = pickAt(point, skip);
    if (!pick.window) {
        pick.window = DesktopWindow;
        const QList<QRect> screens = ws_.screenRects();
        const int under = screenIndexAt(screens, point);
        pick.rect = under >= 0 ? screens[under] : ws_.screenRect();
    }
    return pick;
}

bool CaptureRunner::save(const QImage &capture, const QString &path, QString *reason)
{
    return saveImage(capture, path, formatForName(path).value_or(ImageFormat::Jpeg), reason);
}

namespace {

// The pixels the request asks for; false after saying why there are none.
bool takeShot(const CaptureRequest &request, const CaptureRunner &runner, const QList<QRect> &screens,
              const QRect &desktop, ScreenImage *shot, QString *err)
{
    switch (request.mode) {
    case CaptureRequest::Mode::Full:
    case CaptureRequest::Mode::Screen: {
        const int index =
            request.mode == CaptureRequest::Mode::Full ? runner.screenUnderPointer() : request.screen;
        if (index < 0 || index >= screens.size()) {
            *err = QStringLiteral("没有第 %1 个显示器：显示器编号为 0 到 %2。").arg(index).arg(screens.size() - 1);
            return false;
        }
        *shot = CaptureRunner::cropDesktop(runner.desktop(), desktop, screens[index]);
        break;
    }
    case CaptureRequest::Mode::AllScreens:
        *shot = runner.desktop();
        break;
    case CaptureRequest::Mode::Rect:
        if (request.rect.width() <= 0 || request.rect.height() <= 0) {
            *err = QStringLiteral("矩形为空：宽和高都必须大于 0。");
            return false;
        }
        if (clampToScreen(request.rect, desktop).isEmpty()) {
            *err = QStringLiteral("矩形完全在屏幕之外。");
            return false;
        }
        *shot = CaptureRunner::cropDesktop(runner.desktop(), desktop, request.rect);
        break;
    case CaptureRequest::Mode::WindowAt: {
        const WindowPick pick = runner.pickAt(request.point, {});
        if (!pick.window) {
            *err = QStringLiteral("该点下没有窗口。");
            return false;
        }
        if (pick.rect.isEmpty()) {
            *err = QStringLiteral("该点下的窗口不在屏幕上。");
            return false;
        }
        *shot = runner.screenArea(pick.rect);
        break;
    }
    }
    return true;
}

} // namespace

int runCapture(const CaptureRequest &request, const CaptureRunner &runner, QString *out, QString *err,
               QImage *captured)
{
    QString reason;
    if (!request.out.isEmpty()) {
        const common::SaveTarget target = common::checkSaveTarget(request.out, &reason);
        if (target == common::SaveTarget::Refused) {
            *err = QStringLiteral("图片保存失败：%1（%2）").arg(request.out, reason);
            return common::ExitFailed;
        }
        if (target == common::SaveTarget::Existing && !request.overwrite) {
            *err = common::overwriteRefusal(request.out);
            return common::ExitFailed;
        }
    }
    if (request.mode == CaptureRequest::Mode::WindowAt && !runner.windowSystem().findsWindows()) {
        *err = QStringLiteral("Wayland 下程序无法得知某点下是哪个窗口，--window-at 不可用；"
                              "请用 --rect 截取窗口所在的矩形。");
        return common::ExitFailed;
    }
    const QList<QRect> screens = runner.screens();
    const QRect desktop = desktopOf(screens);
    if (desktop.isEmpty()) {
        *err = NoScreenImage;
        return common::ExitFailed;
    }
    ScreenImage shot;
    if (!takeShot(request, runner, screens, desktop, &shot, err))
        return common::ExitFailed;
    if (shot.image.isNull()) {
        *err = shot.error.isEmpty() ? NoScreenImage : shot.error;
        return common::ExitFailed;
    }
    if (!request.out.isEmpty()) {
        if (!CaptureRunner::save(shot.image, request.out, &reason)) {
            *err = QStringLiteral("图片保存失败：%1（%2）").arg(request.out, reason);
            return common::ExitFailed;
        }
        *out = QStringLiteral("%1\t%2x%3").arg(request.out).arg(shot.image.width()).arg(shot.image.height());
    }
    if (captured)
        *captured = shot.image;
    return common::ExitOk;
}

} // namespace areagrab
