// Rules of the capture that need no screen: preview fit, rounding, the
// overlay's frame and label, clamping, cropping, the pick frame, the command
// line over a stand-in screen.
#include "core/capturerunner.h"
#include "core/cliargs.h"
#include "core/commandline.h"
#include "core/fitpreview.h"
#include "core/highlightframe.h"
#include "core/screenrect.h"
#include "core/textreader.h"
#include "core/selection.h"
#include "platform/portalwindowsystem.h"
#include "common/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace areagrab;

namespace {

// Every pixel differs from its neighbours, so a shifted or scaled crop shows.
QImage patternImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7) & 255, (y * 11) & 255, (x * 3 + y * 5) & 255));
    return img;
}

// A window system with one window on a 320 x 240 screen, for the pick
// arithmetic and the command line.
class OneWindow : public WindowSystem {
public:
    WindowId id = 0;
    QRect rect;
    QList<WindowId> lastSkip;
    QRect screenRect() override { return QRect(0, 0, 320, 240); }
    qreal screenRatio() override { return 1.0; }
    ScreenImage screenPixels() override { return {patternImage(320, 240), {}}; }
    WindowId windowAt(QPoint point, const QList<WindowId> &skip) override
    {
        lastSkip = skip;
        return rect.contains(point) ? id : 0;
    }
    std::optional<QRect> windowRect(WindowId w) override
    {
        if (w != id)
            return std::nullopt;
        return rect;
    }
    void highlight(const QRect &) override { }
    void removeHighlight() override { }
    QPoint cursorPos() override { return {}; }
    bool leftButtonDown() override { return false; }
    bool isViewable(WindowId) override { return true; }
};

// Two monitors side by side, the second smaller and lower: the desktop's
// picture is one pattern over their union, black where no monitor is.
class TwoScreens : public OneWindow {
public:
    QPoint pointer;
    QRect screenRect() override { return QRect(0, 0, 320, 240); }
    QList<QRect> screenRects() override { return {QRect(0, 0, 320, 240), QRect(320, 40, 200, 150)}; }
    ScreenImage desktopPixels() override { return {desktopImage(), {}}; }
    QPoint cursorPos() override { return pointer; }
    static QImage desktopImage()
    {
        QImage img = patternImage(520, 240);
        for (int y = 0; y < 240; ++y)
            for (int x = 320; x < 520; ++x)
                if (y < 40 || y >= 190)
                    img.setPixel(x, y, qRgb(0, 0, 0));
        return img;
    }
};

} // namespace

class TestCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitPreview_data();
    void fitPreview();
    void fitPreviewKeepsProportions_data();
    void fitPreviewKeepsProportions();
    void selectionDrag_data();
    void selectionDrag();
    void selectionBackAcrossAnchor();
    void selectionPressWithoutMoveIsEmpty();
    void captureRectRounding_data();
    void captureRectRounding();
    void numberText_data();
    void numberText();
    void clampToScreen_data();
    void clampToScreen();
    void logicalToDevice_data();
    void logicalToDevice();
    void cropGivesExactPixels();
    void cropScaledScreenIsNotBlurred();
    void cropOutsideIsNull();
    void coveringRatio_data();
    void coveringRatio();
    void primaryScreenPartOfDesktop();
    void parseRect_data();
    void parseRect();
    void parsePoint_data();
    void parsePoint();
    void pickClampsAndPassesSkip();
    void highlightStrips_data();
    void highlightStrips();
    void commandLine_data();
    void commandLine();
    void everyMonitor_data();
    void everyMonitor();
    void tidyRecognizedText_data();
    void tidyRecognizedText();
};

void TestCore::fitPreview_data()
{
    QTest::addColumn<qint64>("w");
    QTest::addColumn<qint64>("h");
    QTest::addColumn<bool>("stretch");
    QTest::addColumn<qint64>("pw");
    QTest::addColumn<qint64>("ph");
    QTest::addColumn<qint64>("windowHeight");
    QTest::newRow("small, natural size")
        << qint64(3000) << qint64(2000) << false << qint64(3000) << qint64(2000) << qint64(3410);
    QTest::newRow("box width, just under box height")
        << qint64(5160) << qint64(3855) << false << qint64(5160) << qint64(3855) << qint64(5265);
    QTest::newRow("exactly 3870 high keeps size")
        << qint64(4000) << qint64(3870) << true << qint64(4000) << qint64(3870) << qint64(5280);
    QTest::newRow("box exactly") << qint64(5160) << qint64(3870) << true << qint64(5160) << qint64(3870)
                                 << qint64(5280);
    QTest::newRow("wide to box width")
        << qint64(10320) << qint64(3000) << true << qint64(5160) << qint64(1500) << qint64(2910);
    QTest::newRow("wide, scaled height exactly box")
        << qint64(10320) << qint64(7740) << true << qint64(5160) << qint64(3870) << qint64(5280);
    QTest::newRow("wide and tall to box height")
        << qint64(6000) << qint64(6000) << true << qint64(3870) << qint64(3870) << qint64(5280);
    QTest::newRow("screen 1280x1024")
        << qint64(19200) << qint64(15360) << true << qint64(4838) << qint64(3870) << qint64(5280);
    QTest::newRow("wide half rounds to even 8")
        << qint64(10320) << qint64(15) << true << qint64(5160) << qint64(8) << qint64(1418);
    QTest::newRow("wide half rounds to even 22")
        << qint64(10320) << qint64(45) << true << qint64(5160) << qint64(22) << qint64(1432);
    QTest::newRow("tall to box height")
        << qint64(3000) << qint64(7740) << true << qint64(1500) << qint64(3870) << qint64(5280);
    QTest::newRow("tall half rounds to even 8")
        << qint64(15) << qint64(7740) << true << qint64(8) << qint64(3870) << qint64(5280);
    QTest::newRow("tall half rounds to even 22")
        << qint64(45) << qint64(7740) << true << qint64(22) << qint64(3870) << qint64(5280);
    QTest::newRow("one pixel") << qint64(15) << qint64(15) << false << qint64(15) << qint64(15)
                               << qint64(1425);
    QTest::newRow("nothing") << qint64(0) << qint64(0) << false << qint64(0) << qint64(0) << qint64(1410);
    QTest::newRow("huge, no overflow")
        << qint64(600000) << qint64(450000) << true << qint64(5160) << qint64(3870) << qint64(5280);
}

void TestCore::fitPreview()
{
    QFETCH(qint64, w);
    QFETCH(qint64, h);
    QFETCH(bool, stretch);
    QFETCH(qint64, pw);
    QFETCH(qint64, ph);
    QFETCH(qint64, windowHeight);
    const PreviewFit fit = areagrab::fitPreview(w, h);
    QCOMPARE(fit.stretch, stretch);
    QCOMPARE(fit.width, pw);
    QCOMPARE(fit.height, ph);
    QCOMPARE(fit.windowHeight, windowHeight);
}

void TestCore::fitPreviewKeepsProportions_data()
{
    QTest::addColumn<int>("wpx");
    QTest::addColumn<int>("hpx");
    for (int w : {345, 500, 999, 1280, 1920, 2560})
        for (int h : {1, 100, 258, 700, 1024, 1440})
            QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(w).arg(h))) << w << h;
}

void TestCore::fitPreviewKeepsProportions()
{
    QFETCH(int, wpx);
    QFETCH(int, hpx);
    const PreviewFit fit = areagrab::fitPreview(qint64(wpx) * 15, qint64(hpx) * 15);
    QVERIFY(fit.stretch);
    QVERIFY(fit.width <= PreviewBoxWidth);
    QVERIFY(fit.height <= PreviewBoxHeight);
    QVERIFY(fit.width == PreviewBoxWidth || fit.height == PreviewBoxHeight);
    // Within rounding of one twip on the scaled side.
    const double ratio = double(wpx) / hpx;
    QVERIFY(std::abs(fit.width - fit.height * ratio) <= ratio / 2 + 0.5 + 1e-9);
}

void TestCore::selectionDrag_data()
{
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("cursor");
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QPointF>("label");
    QTest::addColumn<QString>("caption");
    QTest::newRow("down-right, wide: label ends at cursor")
        << QPointF(100, 100) << QPointF(300, 180) << 1024 << QRectF(100, 100, 200, 80) << QPointF(219, 180)
        << QStringLiteral("200×80");
    QTest::newRow("down-right, narrow: label at frame left")
        << QPointF(100, 100) << QPointF(150, 120) << 1024 << QRectF(100, 100, 50, 20) << QPointF(100, 120)
        << QStringLiteral("50×20");
    QTest::newRow("width exactly label width")
        << QPointF(100, 100) << QPointF(181, 120) << 1024 << QRectF(100, 100, 81, 20) << QPointF(100, 120)
        << QStringLiteral("81×20");
    QTest::newRow("width one past label width")
        << QPointF(100, 100) << QPointF(182, 120) << 1024 << QRectF(100, 100, 82, 20) << QPointF(101, 120)
        << QStringLiteral("82×20");
    QTest::newRow("up-left: label at cursor x, press y")
        << QPointF(300, 300) << QPointF(200, 250) << 1024 << QRectF(200, 250, 100, 50) << QPointF(200, 300)
        << QStringLiteral("100×50");
    QTest::newRow("near bottom: label above cursor")
        << QPointF(100, 900) << QPointF(300, 1010) << 1024 << QRectF(100, 900, 200, 110) << QPointF(219, 993)
        << QStringLiteral("200×110");
    QTest::newRow("last row where label fits below")
        << QPointF(100, 900) << QPointF(300, 1007) << 1024 << QRectF(100, 900, 200, 107) << QPointF(219, 1007)
        << QStringLiteral("200×107");
    QTest::newRow("first row where label goes above")
        << QPointF(100, 900) << QPointF(300, 1008) << 1024 << QRectF(100, 900, 200, 108) << QPointF(219, 991)
        << QStringLiteral("200×108");
    QTest::newRow("fractional pixels")
        << QPointF(10.5, 10.25) << QPointF(20.75, 30) << 1024 << QRectF(10.5, 10.25, 10.25, 19.75)
        << QPointF(10.5, 30) << QStringLiteral("10.25×19.75");
    QTest::newRow("only horizontal") << QPointF(50, 60) << QPointF(40, 60) << 768 << QRectF(40, 60, 10, 0)
                                     << QPointF(40, 60) << QStringLiteral("10×0");
}

void TestCore::selectionDrag()
{
    QFETCH(QPointF, press);
    QFETCH(QPointF, cursor);
    QFETCH(int, screenHeight);
    QFETCH(QRectF, frame);
    QFETCH(QPointF, label);
    QFETCH(QString, caption);
    Selection s;
    s.press(float(press.x()), float(press.y()));
    s.drag(float(cursor.x()), float(cursor.y()), screenHeight);
    const FrameRect f = s.frame();
    QCOMPARE(QRectF(f.left, f.top, f.width, f.height), frame);
    QCOMPARE(s.labelPos(), label);
    QCOMPARE(s.caption(), caption);
}

void TestCore::selectionBackAcrossAnchor()
{
    Selection s;
    s.press(100, 100);
    s.drag(50, 40, 1024);
    QCOMPARE(s.frame().left, 50.f);
    QCOMPARE(s.frame().top, 40.f);
    s.drag(150, 160, 1024);
    const FrameRect f = s.frame();
    QCOMPARE(QRectF(f.left, f.top, f.width, f.height), QRectF(100, 100, 50, 60));
    QCOMPARE(s.caption(), QStringLiteral("50×60"));
    // A new press starts over at the new point.
    s.press(10, 20);
    QCOMPARE(QRectF(s.frame().left, s.frame().top, s.frame().width, s.frame().height), QRectF(10, 20, 0, 0));
    QVERIFY(s.isEmpty());
}

void TestCore::selectionPressWithoutMoveIsEmpty()
{
    Selection s;
    QCOMPARE(s.caption(), QStringLiteral("0×0"));
    s.press(30, 40);
    QVERIFY(s.isEmpty());
    s.drag(30, 40, 1024);
    QVERIFY(s.isEmpty());
    s.drag(31, 40, 1024);
    QVERIFY(s.isEmpty()); // no height yet
    s.drag(31, 41, 1024);
    QVERIFY(!s.isEmpty());
}

void TestCore::captureRectRounding_data()
{
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("cursor");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("whole pixels") << QPointF(10, 20) << QPointF(110, 70) << QRect(10, 20, 100, 50);
    QTest::newRow("halves to even") << QPointF(10.5, 11.5) << QPointF(20.5, 21.5) << QRect(10, 12, 10, 10);
    QTest::newRow("up-left halves") << QPointF(21.5, 22.5) << QPointF(12.5, 13.5) << QRect(12, 14, 10, 8);
    QTest::newRow("quarter") << QPointF(0.25, 0.75) << QPointF(9.75, 10.25) << QRect(0, 1, 10, 9);
}

void TestCore::captureRectRounding()
{
    QFETCH(QPointF, press);
    QFETCH(QPointF, cursor);
    QFETCH(QRect, expected);
    Selection s;
    s.press(float(press.x()), float(press.y()));
    s.drag(float(cursor.x()), float(cursor.y()), 1024);
    QCOMPARE(s.captureRect(), expected);
}

void TestCore::numberText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.f << QStringLiteral("0");
    QTest::newRow("120") << 120.f << QStringLiteral("120");
    QTest::newRow("12.5") << 12.5f << QStringLiteral("12.5");
    QTest::newRow("0.1 in single precision") << 0.1f << QStringLiteral("0.1");
    QTest::newRow("100000") << 100000.f << QStringLiteral("100000");
    QTest::newRow("1279.75") << 1279.75f << QStringLiteral("1279.75");
}

void TestCore::numberText()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(areagrab::numberText(value), text);
}

void TestCore::coveringRatio_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("logical");
    QTest::addColumn<qreal>("screenRatio");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("X11 grab at the screen's ratio") << QSize(1280, 1024) << QSize(640, 512) << 2.0 << 2.0;
    QTest::newRow("fractional, device size rounded") << QSize(1280, 720) << QSize(853, 480) << 1.5 << 1.5;
    // Qt 6.4 on Wayland rounds an output scale of 1.5 up to 2.
    QTest::newRow("portal at 1.5, Qt at 2") << QSize(1920, 1080) << QSize(1280, 720) << 2.0 << 1.5;
    // An X11 program on XWayland sees logical pixels at ratio 1.
    QTest::newRow("portal at 2, XWayland at 1") << QSize(1280, 960) << QSize(640, 480) << 1.0 << 2.0;
}

void TestCore::coveringRatio()
{
    QFETCH(QSize, image);
    QFETCH(QSize, logical);
    QFETCH(qreal, screenRatio);
    QFETCH(qreal, ratio);
    QCOMPARE(areagrab::coveringRatio(image, logical, screenRatio), ratio);
    // At that ratio the picture covers the screen exactly.
    QImage img(image, QImage::Format_RGB32);
    img.setDevicePixelRatio(ratio);
    QCOMPARE(img.deviceIndependentSize().toSize(), logical);
}

void TestCore::primaryScreenPartOfDesktop()
{
    // Two outputs side by side at scale 2: left red, right blue in the
    // portal's picture of the whole desktop.
    QImage desktop(2560, 960, QImage::Format_RGB32);
    desktop.fill(Qt::red);
    for (int y = 0; y < 960; ++y)
        for (int x = 1280; x < 2560; ++x)
            desktop.setPixel(x, y, qRgb(0, 0, 255));
    const QList<QRect> screens{QRect(0, 0, 640, 480), QRect(640, 0, 640, 480)};
    const QImage right = primaryScreenPart(desktop, screens, 1);
    QCOMPARE(right.size(), QSize(1280, 960));
    QCOMPARE(right.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(right.pixel(1279, 959), qRgb(0, 0, 255));
    const QImage left = primaryScreenPart(desktop, screens, 0);
    QCOMPARE(left.size(), QSize(1280, 960));
    QCOMPARE(left.pixel(1279, 0), qRgb(255, 0, 0));
    // One screen: the picture as it is.
    QCOMPARE(primaryScreenPart(desktop, {QRect(0, 0, 1280, 480)}, 0).size(), desktop.size());
}

void TestCore::clampToScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("expected");
    const QRect s(0, 0, 1280, 1024);
    QTest::newRow("inside") << QRect(10, 20, 100, 50) << s << QRect(10, 20, 100, 50);
    QTest::newRow("off left and top") << QRect(-40, -30, 160, 120) << s << QRect(0, 0, 120, 90);
    QTest::newRow("off right and bottom") << QRect(1200, 964, 160, 120) << s << QRect(1200, 964, 80, 60);
    QTest::newRow("bigger than screen") << QRect(-5, -5, 2000, 2000) << s << s;
    QTest::newRow("ends on the edge") << QRect(1180, 924, 100, 100) << s << QRect(1180, 924, 100, 100);
    QTest::newRow("wholly left") << QRect(-300, 10, 200, 100) << s << QRect();
    QTest::newRow("wholly below") << QRect(10, 1024, 200, 100) << s << QRect();
    QTest::newRow("touching left edge") << QRect(-200, 10, 200, 100) << s << QRect();
    QTest::newRow("screen not at origin")
        << QRect(1900, 50, 200, 100) << QRect(1920, 0, 1024, 768) << QRect(1920, 50, 180, 100);
}

void TestCore::clampToScreen()
{
    QFETCH(QRect, window);
    QFETCH(QRect, screen);
    QFETCH(QRect, expected);
    const QRect got = areagrab::clampToScreen(window, screen);
    QCOMPARE(got.isEmpty(), expected.isEmpty());
    if (!expected.isEmpty())
        QCOMPARE(got, expected);
}

void TestCore::logicalToDevice_data()
{
    QTest::addColumn<QRect>("logical");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QRect>("device");
    QTest::newRow("ratio 1") << QRect(10, 20, 30, 40) << 1.0 << QRect(10, 20, 30, 40);
    QTest::newRow("ratio 2") << QRect(10, 20, 30, 40) << 2.0 << QRect(20, 40, 60, 80);
    QTest::newRow("ratio 1.5, halves to even") << QRect(1, 1, 3, 3) << 1.5 << QRect(2, 2, 4, 4);
    QTest::newRow("ratio 1.25") << QRect(4, 0, 8, 16) << 1.25 << QRect(5, 0, 10, 20);
}

void TestCore::logicalToDevice()
{
    QFETCH(QRect, logical);
    QFETCH(qreal, dpr);
    QFETCH(QRect, device);
    QCOMPARE(areagrab::logicalToDevice(logical, dpr), device);
}

void TestCore::cropGivesExactPixels()
{
    const QImage screen = patternImage(200, 150);
    const QImage part = cropScreen(screen, QRect(13, 17, 50, 40));
    QCOMPARE(part.size(), QSize(50, 40));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            QCOMPARE(part.pixel(x, y), screen.pixel(13 + x, 17 + y));
}

void TestCore::cropScaledScreenIsNotBlurred()
{
    // A screen at ratio 2: 30 x 20 logical pixels are 60 x 40 device pixels,
    // each one the screen's own, not an interpolation.
    const QImage screen = patternImage(400, 300);
    const QRect device = areagrab::logicalToDevice(QRect(11, 7, 30, 20), 2.0);
    const QImage part = cropScreen(screen, device);
    QCOMPARE(part.size(), QSize(60, 40));
    QCOMPARE(part.devicePixelRatio(), 1.0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            QCOMPARE(part.pixel(x, y), screen.pixel(22 + x, 14 + y));
}

void TestCore::cropOutsideIsNull()
{
    const QImage screen = patternImage(100, 100);
    QVERIFY(cropScreen(screen, QRect(90, 90, 20, 20)).isNull());
    QVERIFY(cropScreen(screen, QRect(-1, 0, 10, 10)).isNull());
    QVERIFY(cropScreen(screen, QRect(10, 10, 0, 5)).isNull());
    QVERIFY(!cropScreen(screen, QRect(90, 90, 10, 10)).isNull());
}

void TestCore::parseRect_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("plain") << "10,20,300,200" << true << QRect(10, 20, 300, 200);
    QTest::newRow("spaces") << " 10 , 20,300 ,200 " << true << QRect(10, 20, 300, 200);
    QTest::newRow("negative origin") << "-5,-6,7,8" << true << QRect(-5, -6, 7, 8);
    QTest::newRow("zero size parses") << "1,2,0,0" << true << QRect(1, 2, 0, 0);
    QTest::newRow("three numbers") << "1,2,3" << false << QRect();
    QTest::newRow("five numbers") << "1,2,3,4,5" << false << QRect();
    QTest::newRow("letters") << "a,2,3,4" << false << QRect();
    QTest::newRow("decimal") << "1.5,2,3,4" << false << QRect();
    QTest::newRow("empty part") << "1,,3,4" << false << QRect();
    QTest::newRow("huge") << "1,2,99999999999,4" << false << QRect();
    QTest::newRow("x separator") << "1x2x3x4" << false << QRect();
}

void TestCore::parseRect()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QRect, rect);
    const auto got = parseRectArg(text);
    QCOMPARE(got.has_value(), ok);
    if (ok)
        QCOMPARE(*got, rect);
}

void TestCore::parsePoint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QPoint>("point");
    QTest::newRow("plain") << "640,512" << true << QPoint(640, 512);
    QTest::newRow("negative") << "-1,0" << true << QPoint(-1, 0);
    QTest::newRow("one number") << "640" << false << QPoint();
    QTest::newRow("three numbers") << "1,2,3" << false << QPoint();
    QTest::newRow("empty") << "" << false << QPoint();
}

void TestCore::parsePoint()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QPoint, point);
    const auto got = parsePointArg(text);
    QCOMPARE(got.has_value(), ok);
    if (ok)
        QCOMPARE(*got, point);
}

void TestCore::pickClampsAndPassesSkip()
{
    OneWindow ws;
    ws.id = 42;
    ws.rect = QRect(1200, -20, 200, 100);
    const WindowPick pick = pickWindowAt(ws, QPoint(1250, 10), {7, 8}, QRect(0, 0, 1280, 1024));
    QCOMPARE(pick.window, WindowId(42));
    QCOMPARE(pick.rect, QRect(1200, 0, 80, 80));
    QCOMPARE(ws.lastSkip, (QList<WindowId>{7, 8}));

    ws.rect = QRect(-500, 10, 200, 100); // wholly off the screen
    const WindowPick off = pickWindowAt(ws, QPoint(-400, 20), {}, QRect(0, 0, 1280, 1024));
    QCOMPARE(off.window, WindowId(42));
    QVERIFY(off.rect.isEmpty());

    ws.id = 0; // nothing there
    const WindowPick none = pickWindowAt(ws, QPoint(-400, 20), {}, QRect(0, 0, 1280, 1024));
    QCOMPARE(none.window, WindowId(0));
    QVERIFY(none.rect.isEmpty());
}

void TestCore::highlightStrips_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QList<QRect>>("strips"); // top, bottom, left, right
    QTest::newRow("window") << QRect(10, 20, 100, 50)
                            << QList<QRect>{
                                   {10, 20, 100, 3}, {10, 67, 100, 3}, {10, 23, 3, 44}, {107, 23, 3, 44}};
    QTest::newRow("off the origin") << QRect(
        -5, -8, 40, 30) << QList<QRect>{{-5, -8, 40, 3}, {-5, 19, 40, 3}, {-5, -5, 3, 24}, {32, -5, 3, 24}};
    QTest::newRow("no room for sides")
        << QRect(0, 0, 100, 5) << QList<QRect>{{0, 0, 100, 3}, {0, 2, 100, 3}, {}, {}};
    QTest::newRow("thinner than the frame")
        << QRect(50, 60, 2, 80)
        << QList<QRect>{{50, 60, 2, 2}, {50, 138, 2, 2}, {50, 62, 2, 76}, {50, 62, 2, 76}};
    QTest::newRow("empty") << QRect(5, 5, 0, 10) << QList<QRect>{{}, {}, {}, {}};
}

void TestCore::highlightStrips()
{
    QFETCH(QRect, rect);
    QFETCH(QList<QRect>, strips);
    const auto got = areagrab::highlightStrips(rect);
    QCOMPARE(QList<QRect>(got.begin(), got.end()), strips);
    for (const QRect &strip : got)
        QVERIFY(strip.isEmpty() || rect.contains(strip));
}

void TestCore::commandLine_data()
{
    QTest::addColumn<QStringList>("args"); // "@" is a scratch folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");   // a part of stdout
    QTest::addColumn<QString>("err");   // a part of stderr
    QTest::addColumn<QSize>("written"); // the JPEG's size; none when empty
    QTest::newRow("help") << QStringList{"--help"} << 0 << "\nOptions:\n  -?, -h, --help  "
                          << "" << QSize();
    QTest::newRow("rect") << QStringList{"--rect", "10,20,30,40", "@/a.jpg"} << 0 << "@/a.jpg\t30x40\n"
                          << "" << QSize(30, 40);
    QTest::newRow("window, clamped") << QStringList{"--window-at", "310,5", "@/a.jpg"} << 0
                                     << "@/a.jpg\t20x80"
                                     << "" << QSize(20, 80);
    QTest::newRow("malformed rect") << QStringList{"--rect", "10,10,abc", "@/a.jpg"} << 2 << ""
                                    << "--rect 的值“10,10,abc”无效：应为 X,Y,W,H。" << QSize();
    QTest::newRow("malformed point") << QStringList{"--window-at", "1", "@/a.jpg"} << 2 << ""
                                     << "--window-at 的值“1”无效" << QSize();
    QTest::newRow("two modes") << QStringList{"--full", "--rect", "1,2,3,4", "@/a.jpg"} << 2 << ""
                               << "用法：一次只能用" << QSize();
    QTest::newRow("no output") << QStringList{"--full"} << 2 << ""
                               << "\nUsage: areagrab --full|--all-screens" << QSize();
    QTest::newRow("unknown option") << QStringList{"--bogus", "@/a.jpg"} << 2 << ""
                                    << "未知选项：--bogus\n" << QSize();
    QTest::newRow("misspelled option") << QStringList{"--ful", "@/a.jpg"} << 2 << ""
                                       << "未知选项：--ful（是否指 --full？）\n" << QSize();
    QTest::newRow("empty rect") << QStringList{"--rect", "1,2,0,4", "@/a.jpg"} << 1 << ""
                                << "矩形为空" << QSize();
    QTest::newRow("rect off the screen") << QStringList{"--rect", "400,2,5,4", "@/a.jpg"} << 1 << ""
                                         << "矩形完全在屏幕之外。" << QSize();
    QTest::newRow("no window there") << QStringList{"--window-at", "5,5", "@/a.jpg"} << 1 << ""
                                     << "该点下没有窗口。" << QSize();
    QTest::newRow("unwritable") << QStringList{"--full", "@/file.jpg/a.jpg"} << 1 << ""
                                << "图片保存失败：@/file.jpg/a.jpg（路径中有一项不是文件夹）" << QSize();
    QTest::newRow("existing file kept") << QStringList{"--full", "@/file.jpg"} << 1 << ""
                                        << "文件已经存在：@/file.jpg（加 --overwrite 覆盖）" << QSize();
    QTest::newRow("overwrite") << QStringList{"--full", "--overwrite", "@/file.jpg"} << 0 << "@/file.jpg\t320x240"
                               << "" << QSize(320, 240);
    QTest::newRow("png") << QStringList{"--rect", "1,2,30,40", "@/a.png"} << 0 << "@/a.png\t30x40" << ""
                         << QSize(30, 40);
    QTest::newRow("webp") << QStringList{"--rect", "1,2,30,40", "@/a.WEBP"} << 0 << "@/a.WEBP\t30x40" << ""
                          << QSize(30, 40);
    QTest::newRow("bmp refused") << QStringList{"--full", "@/a.bmp"} << 2 << ""
                                 << "不支持的文件类型：@/a.bmp（可用的后缀：.png、.jpg、.jpeg、.webp）" << QSize();
    QTest::newRow("no suffix refused") << QStringList{"--full", "@/a"} << 2 << ""
                                       << "不支持的文件类型：@/a（" << QSize();
    QTest::newRow("malformed delay") << QStringList{"--full", "--delay", "-1", "@/a.png"} << 2 << ""
                                     << "--delay 的值“-1”无效" << QSize();
    QTest::newRow("malformed screen") << QStringList{"--screen", "x", "@/a.png"} << 2 << ""
                                      << "--screen 的值“x”无效" << QSize();
    QTest::newRow("no such screen") << QStringList{"--screen", "1", "@/a.png"} << 1 << ""
                                    << "没有第 1 个显示器：显示器编号为 0 到 0。" << QSize();
    QTest::newRow("no screen") << QStringList{"--full", "@/a.jpg"} << 1 << ""
                               << "没有可用的屏幕" << QSize();
}

void TestCore::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QSize, written);
    QTemporaryDir dir;
    const auto scratch = [&dir](QString text) { return text.replace(QLatin1Char('@'), dir.path()); };
    QFile file(dir.filePath(QStringLiteral("file.jpg")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
    file.close();
    QStringList arguments{QStringLiteral("areagrab")};
    for (const QString &arg : args)
        arguments << scratch(arg);
    const auto openScreen = [&]() -> std::unique_ptr<WindowSystem> {
        if (QTest::currentDataTag() == QLatin1String("no screen"))
            return nullptr;
        auto ws = std::make_unique<OneWindow>();
        ws->id = 9;
        ws->rect = QRect(300, -20, 100, 100);
        return ws;
    };
    QString outText, errText;
    QTextStream outStream(&outText), errStream(&errText);
    QCOMPARE(run(arguments, outStream, errStream, openScreen), status);
    outStream.flush();
    errStream.flush();
    QVERIFY2(outText.contains(scratch(out)), qPrintable(outText));
    QVERIFY2(errText.contains(scratch(err)), qPrintable(errText));
    QCOMPARE(outText.isEmpty(), out.isEmpty());
    QCOMPARE(errText.isEmpty(), err.isEmpty());
    const QString target = scratch(args.last());
    if (written.isValid()) {
        QCOMPARE(QImageReader(target).size(), written);
        // The bytes are what the name says, whatever its case.
        const QString suffix = QFileInfo(target).suffix().toLower();
        QCOMPARE(QImageReader(target).format(), suffix == QLatin1String("jpg") ? QByteArray("jpeg") : suffix.toLatin1());
    } else if (target != dir.filePath(QStringLiteral("file.jpg")))
        QVERIFY(!QFile::exists(target));
    else
        QCOMPARE(testsupport::readAll(target), QByteArray("x"));
}

void TestCore::everyMonitor_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("area"); // on the desktop's picture; empty: refused
    QTest::newRow("second monitor") << QStringList{"--screen", "1"} << QPoint() << QRect(320, 40, 200, 150);
    QTest::newRow("first monitor") << QStringList{"--screen", "0"} << QPoint(400, 100) << QRect(0, 0, 320, 240);
    QTest::newRow("monitor under the pointer")
        << QStringList{"--full"} << QPoint(519, 189) << QRect(320, 40, 200, 150);
    QTest::newRow("pointer in the gap: nearest monitor")
        << QStringList{"--full"} << QPoint(400, 230) << QRect(320, 40, 200, 150);
    QTest::newRow("all monitors") << QStringList{"--all-screens"} << QPoint() << QRect(0, 0, 520, 240);
    QTest::newRow("across the seam") << QStringList{"--rect", "300,50,40,20"} << QPoint() << QRect(300, 50, 40, 20);
    QTest::newRow("past the desktop's edge")
        << QStringList{"--rect", "500,180,40,100"} << QPoint() << QRect(500, 180, 20, 60);
    QTest::newRow("window on the second monitor")
        << QStringList{"--window-at", "350,60"} << QPoint() << QRect(340, 50, 60, 30);
    QTest::newRow("no third monitor") << QStringList{"--screen", "2"} << QPoint() << QRect();
}

void TestCore::everyMonitor()
{
    QFETCH(QStringList, args);
    QFETCH(QPoint, pointer);
    QFETCH(QRect, area);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("shot.png"));
    QString outText, errText;
    QTextStream outStream(&outText), errStream(&errText);
    const int status = run(QStringList{QStringLiteral("areagrab")} << args << out, outStream, errStream, [&] {
        auto ws = std::make_unique<TwoScreens>();
        ws->pointer = pointer;
        ws->id = 4;
        ws->rect = QRect(340, 50, 60, 30);
        return ws;
    });
    errStream.flush();
    if (area.isEmpty()) {
        QCOMPARE(status, 1);
        QVERIFY2(errText.contains(QStringLiteral("没有第 2 个显示器")), qPrintable(errText));
        QVERIFY(!QFile::exists(out));
        return;
    }
    QVERIFY2(status == 0, qPrintable(errText));
    // PNG is lossless: every pixel is the desktop's own.
    QCOMPARE(QImageReader(out).format(), QByteArray("png"));
    const QImage saved = QImage(out).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(saved, TwoScreens::desktopImage().copy(area));
}

void TestCore::tidyRecognizedText_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("tidy");
    QTest::newRow("spaces between Chinese") << "截 图 工 具\n" << "截图工具";
    QTest::newRow("English words kept apart") << "Screen capture tool\n\n" << "Screen capture tool";
    QTest::newRow("mixed") << "打 开 File 菜 单 。" << "打开 File 菜单。";
    QTest::newRow("lines kept") << " 第 一 行 \n second line\n" << "第一行\nsecond line";
}

void TestCore::tidyRecognizedText()
{
    QFETCH(QString, raw);
    QFETCH(QString, tidy);
    QCOMPARE(areagrab::tidyRecognizedText(raw), tidy);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
