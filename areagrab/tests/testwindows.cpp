#include "testwindows.h"

#include "common/testsupport.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace testwin {

QImage pattern(QSize size, int seed)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7 + seed * 50) & 255, (y * 5 + seed * 30) & 255,
                           ((x ^ y) + seed * 80) & 255);
    }
    return img;
}

PatternWindow::PatternWindow(const QRect &geometry, int seed)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), seed_(seed)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    image_ = pattern(geometry.size(), seed);
}

void PatternWindow::setSeed(int seed)
{
    seed_ = seed;
    image_ = pattern(size(), seed);
    update();
}

void PatternWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

QImage grabScreen()
{
    QImage img = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage independentGrab()
{
    if (testsupport::hasProgram(QStringLiteral("import"))) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("root.png"));
        if (testsupport::runProgram(QStringLiteral("import"),
                                    {QStringLiteral("-window"), QStringLiteral("root"), path},
                                    nullptr, nullptr, 20000) == 0) {
            QImage img(path);
            if (!img.isNull()) {
                // The file's sRGB tag would make equal pixels compare unequal.
                img.setColorSpace(QColorSpace());
                return img.convertToFormat(QImage::Format_RGB32);
            }
        }
    }
    return grabScreen();
}

bool screenShows(const QImage &image, const QRect &rect, int timeoutMs)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect visible = rect.intersected(screen);
    const QImage expected = image.copy(visible.translated(-rect.topLeft()));
    QElapsedTimer t;
    t.start();
    do {
        if (grabScreen().copy(visible) == expected)
            return true;
        QTest::qWait(20);
    } while (t.elapsed() < timeoutMs);
    return false;
}

bool showAndWait(PatternWindow &w, int timeoutMs)
{
    w.show();
    w.raise();
    if (!QTest::qWaitForWindowExposed(&w, timeoutMs))
        return false;
    return screenShows(w.image(), w.geometry(), timeoutMs);
}

} // namespace testwin
