#include "core/capturecli.h"

#include "core/screenrect.h"
#include "common/bmp2jpg.h"
#include "common/safefile.h"

#include <QFileInfo>

namespace areagrab {

WindowPick pickWindowAt(WindowSystem &ws, QPoint point, const QList<WindowId> &skip,
                        const QRect &screen)
{
    WindowPick pick;
    pick.window = ws.windowAt(point, skip);
    if (!pick.window)
        return pick;
    if (const auto rect = ws.windowRect(pick.window))
        pick.rect = clampToScreen(*rect, screen);
    return pick;
}

int runCapture(const CaptureRequest &request, WindowSystem &ws, QString *out, QString *err)
{
    // Not even --overwrite replaces a device or a FIFO.
    QString reason;
    if (!common::checkOutputTarget(request.out, &reason)) {
        *err = QStringLiteral("图片保存失败：%1（%2）").arg(request.out, reason);
        return 1;
    }
    if (QFileInfo::exists(request.out) && !request.overwrite) {
        *err = QStringLiteral("文件已经存在：%1（要覆盖请加 --overwrite）").arg(request.out);
        return 1;
    }
    if (request.mode == CaptureRequest::Mode::WindowAt && !ws.findsWindows()) {
        *err = QStringLiteral("Wayland 下程序无法得知某点下是哪个窗口，--window-at 不可用；"
                              "请用 --rect 截取窗口所在的矩形。");
        return 1;
    }
    const QRect screen = primaryScreenDeviceRect();
    const ScreenImage shot = ws.screenPixels();
    const QImage &grab = shot.image;
    if (grab.isNull() || screen.isEmpty()) {
        *err = grab.isNull() && !shot.error.isEmpty() ? shot.error
                                                      : QStringLiteral("无法读取屏幕图像。");
        return 1;
    }
    // Everything below is relative to the grab's top-left.
    QRect area;
    switch (request.mode) {
    case CaptureRequest::Mode::Full:
        area = QRect(QPoint(0, 0), grab.size());
        break;
    case CaptureRequest::Mode::Rect:
        if (request.rect.width() <= 0 || request.rect.height() <= 0) {
            *err = QStringLiteral("矩形为空：宽和高都必须大于 0。");
            return 1;
        }
        area = clampToScreen(request.rect, QRect(QPoint(0, 0), grab.size()));
        if (area.isEmpty()) {
            *err = QStringLiteral("矩形完全在屏幕之外。");
            return 1;
        }
        break;
    case CaptureRequest::Mode::WindowAt: {
        const WindowPick pick = pickWindowAt(ws, request.point + screen.topLeft(), {}, screen);
        if (!pick.window) {
            *err = QStringLiteral("该点下没有窗口。");
            return 1;
        }
        if (pick.rect.isEmpty()) {
            *err = QStringLiteral("该点下的窗口不在屏幕上。");
            return 1;
        }
        area = pick.rect.translated(-screen.topLeft());
        break;
    }
    }
    const QImage image = cropScreen(grab, area);
    if (image.isNull()) {
        *err = QStringLiteral("无法读取屏幕图像。");
        return 1;
    }
    if (!BMP2JPG::SavePictureAsJpeg(image, request.out, JpegQuality, &reason)) {
        *err = QStringLiteral("图片保存失败：%1（%2）").arg(request.out, reason);
        return 1;
    }
    *out = QStringLiteral("%1\t%2x%3").arg(request.out).arg(image.width()).arg(image.height());
    return 0;
}

} // namespace areagrab
