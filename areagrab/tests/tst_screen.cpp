// areagrab on a real X server: the overlay, the whole-screen capture, the
// window pick and the command line, against windows this test owns and
// paints in known patterns at known places.
#include "testwindows.h"

#include "core/textreader.h"
#include "ui/catform.h"
#include "common/bmp2jpg.h"
#include "common/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace areagrab;
using testwin::PatternWindow;
using testwin::xdo;

namespace {

const QPoint MainPos(700, 40);

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

QImage rgb(const QImage &img)
{
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage decodeJpeg(const QString &path)
{
    return rgb(QImageReader(path).read());
}

// What our JPEG writer makes of image, decoded: a saved capture matches this
// exactly when it was made from the same pixels.
QImage viaJpeg(const QImage &image, const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("reference.jpg"));
    if (!BMP2JPG::SavePictureAsJpeg(image, path, 80))
        return {};
    QImage decoded = decodeJpeg(path);
    QFile::remove(path);
    return decoded;
}

} // namespace

class TestScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowAtFindsInnermostTopmost();
    void windowAtDescendsIntoChildWindows();
    void highlightShowsFrameAndLeavesNothing();
    void areaCaptureGivesFrozenPixels_data();
    void areaCaptureGivesFrozenPixels();
    void labelTextAndPlaceNearBottom();
    void pressReleaseWithoutMoveCapturesNothing();
    void escKeepsPreviousPreview();
    void overlayTakesLeftButtonAndEscOnly();
    void wholeScreenEqualsFreshGrab();
    void chkClearedLeavesMainInCapture_data();
    void chkClearedLeavesMainInCapture();
    void windowPickGivesWindowPixels_data();
    void windowPickGivesWindowPixels();
    void releaseBeforeTickCapturesNothing();
    void pickLeftForBareDesktopIsWholeScreen();
    void cliCapturesMatchIndependentGrab();
    void cliWindowAtGivesClampedWindow();
    void cliWithoutReachableDisplayFails();
    void clipboardHeldUntilTaken_data();
    void clipboardHeldUntilTaken();
    void cliReadsTheText_data();
    void cliReadsTheText();

private:
    std::unique_ptr<testwin::FormRig> rig_;
    MainForm *form_ = nullptr;
    WindowSystem *ws_ = nullptr;
};

void TestScreen::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under ./test or with DISPLAY and QT_QPA_PLATFORM=xcb)");
    if (screenRect().size() != QSize(1280, 1024))
        QSKIP("the windows of these tests are laid out for a 1280x1024 screen, as ./test starts it");
    QVERIFY(testsupport::hasProgram(QStringLiteral("xdotool")));
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.0);
}

void TestScreen::init()
{
    rig_ = std::make_unique<testwin::FormRig>();
    form_ = &rig_->form;
    ws_ = rig_->ws.get();
}

void TestScreen::cleanup()
{
    rig_.reset();
    // Park the pointer where no test window lies.
    xdo({QStringLiteral("mousemove"), QStringLiteral("1"), QStringLiteral("1")});
    QTest::qWait(30);
}

void TestScreen::windowAtFindsInnermostTopmost()
{
    PatternWindow lower(QRect(100, 100, 300, 200), 2);
    PatternWindow upper(QRect(250, 150, 200, 200), 3);
    QVERIFY(testwin::showAndWait(lower));
    QVERIFY(testwin::showAndWait(upper));
    const WindowId lowerId = WindowId(lower.winId());
    const WindowId upperId = WindowId(upper.winId());

    QCOMPARE(ws_->windowAt(QPoint(120, 120), {}), lowerId);
    QCOMPARE(ws_->windowAt(QPoint(300, 200), {}), upperId);        // overlap: the upper one
    QCOMPARE(ws_->windowAt(QPoint(300, 200), {upperId}), lowerId); // ours are passed over
    QCOMPARE(ws_->windowAt(QPoint(420, 320), {}), upperId);
    QCOMPARE(ws_->windowAt(QPoint(420, 320), {upperId}), WindowId(0)); // only the root
    QCOMPARE(ws_->windowAt(QPoint(900, 900), {}), WindowId(0));
    QCOMPARE(ws_->windowRect(upperId), std::optional<QRect>(QRect(250, 150, 200, 200)));

    upper.hide();
    QTRY_COMPARE(ws_->windowAt(QPoint(300, 200), {}), lowerId); // unmapped is not seen
    QVERIFY(ws_->isViewable(lowerId));
    QVERIFY(!ws_->isViewable(upperId));
}

void TestScreen::windowAtDescendsIntoChildWindows()
{
    PatternWindow outer(QRect(100, 100, 300, 200), 2);
    // A child with a window of its own, as controls of other programs have.
    QWidget child(&outer);
    child.setAttribute(Qt::WA_NativeWindow);
    child.setGeometry(50, 40, 100, 80);
    QWidget grandchild(&child);
    grandchild.setAttribute(Qt::WA_NativeWindow);
    grandchild.setGeometry(10, 20, 30, 25);
    QVERIFY(testwin::showAndWait(outer));
    const WindowId outerId = WindowId(outer.winId());
    const WindowId childId = WindowId(child.winId());
    const WindowId grandchildId = WindowId(grandchild.winId());
    QVERIFY(childId != outerId && grandchildId != childId);

    QTRY_COMPARE(ws_->windowAt(QPoint(155, 145), {}), childId);
    QCOMPARE(ws_->windowAt(QPoint(165, 165), {}), grandchildId);
    QCOMPARE(ws_->windowAt(QPoint(110, 110), {}), outerId);
    QCOMPARE(ws_->windowRect(childId), std::optional<QRect>(QRect(150, 140, 100, 80)));
    QCOMPARE(ws_->windowRect(grandchildId), std::optional<QRect>(QRect(160, 160, 30, 25)));
    // Passing over a top-level window passes over all it holds.
    QCOMPARE(ws_->windowAt(QPoint(165, 165), {outerId}), WindowId(0));
    // A hidden child is not seen; the window around it is.
    grandchild.hide();
    QTRY_COMPARE(ws_->windowAt(QPoint(165, 165), {}), childId);
}

void TestScreen::highlightShowsFrameAndLeavesNothing()
{
    PatternWindow target(QRect(200, 150, 160, 120), 4);
    QVERIFY(testwin::showAndWait(target));
    const QRect r = target.geometry();
    ws_->highlight(r);
    const QImage during = testwin::grabScreen();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(during.pixel(r.left() + 50, r.top() + i), qRgb(0, 0, 0));
        QCOMPARE(during.pixel(r.left() + 50, r.bottom() - i), qRgb(0, 0, 0));
        QCOMPARE(during.pixel(r.left() + i, r.top() + 60), qRgb(0, 0, 0));
        QCOMPARE(during.pixel(r.right() - i, r.top() + 60), qRgb(0, 0, 0));
    }
    // Inside the frame the window is untouched.
    QCOMPARE(during.copy(r.adjusted(3, 3, -3, -3)), target.image().copy(3, 3, 154, 114));
    ws_->removeHighlight();
    QVERIFY(testwin::screenShows(target.image(), r));
    // The frame is above the screen, not in anybody's pixels.
    QCOMPARE(ws_->windowAt(r.topLeft(), {}), WindowId(target.winId()));
}

void TestScreen::areaCaptureGivesFrozenPixels_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<bool>("byEnter"); // the shot taken with Enter instead of a click on the label
    const QRect area(300, 200, 160, 120);
    QTest::newRow("dragged down-right") << area.topLeft() << area.topLeft() + QPoint(160, 120) << false;
    QTest::newRow("dragged up-left, Enter") << area.topLeft() + QPoint(160, 120) << area.topLeft() << true;
}

void TestScreen::areaCaptureGivesFrozenPixels()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, cursor);
    QFETCH(bool, byEnter);
    const QRect area(300, 200, 160, 120);
    QVERIFY(rig_->showOver(1, MainPos));
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    QVERIFY(!form_->isVisible()); // chk is ticked
    QCOMPARE(overlay->windowTitle(), QStringLiteral("捕捉窗口"));
    QCOMPARE(overlay->geometry(), screenRect());
    QCOMPARE(rgb(overlay->frozenImage()), rig_->background->image());

    // The screen changes under the selection after the overlay opened.
    PatternWindow late(area.adjusted(-20, -20, 20, 20), 7);
    QVERIFY(testwin::showAndWait(late));

    QTest::mousePress(overlay, Qt::LeftButton, {}, press);
    QVERIFY(overlay->cat_cho->isVisible());
    QVERIFY(overlay->cat_big->isVisible());
    QTest::mouseMove(overlay, cursor);
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, cursor);
    QCOMPARE(overlay->cat_big->text(), QStringLiteral("160×120"));
    QCOMPARE(overlay->cat_cho->geometry(), area);
    QCOMPARE(overlay->cat_cho->borderWidth(), 1);

    QVERIFY(!overlay->cat_big->toolTip().isEmpty());
    QSignalSpy destroyed(overlay, &QObject::destroyed);
    if (byEnter)
        QTest::keyClick(overlay, Qt::Key_Return);
    else
        QTest::mouseClick(overlay->cat_big, Qt::LeftButton);
    QTRY_COMPARE(destroyed.size(), 1);
    QVERIFY(form_->isVisible());
    const QImage expected = rig_->background->image().copy(area);
    QCOMPARE(rgb(form_->temImage()), expected);
    QCOMPARE(rgb(QApplication::clipboard()->image()), expected);
    QCOMPARE(form_->pic_img->size(), QSize(160, 120));
}

void TestScreen::labelTextAndPlaceNearBottom()
{
    QVERIFY(rig_->showOver(1, MainPos));
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    QLabel *label = overlay->cat_big;
    QCOMPARE(label->size(), QSize(81, 17));
    QCOMPARE(label->text(), QStringLiteral("0×0"));
    const int h = screenRect().height();
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(100, h - 124));
    QTest::mouseMove(overlay, QPoint(300, h - 24));
    QCOMPARE(label->text(), QStringLiteral("200×100"));
    QCOMPARE(label->pos(), QPoint(219, h - 24)); // below the cursor, right edge at it
    QTest::mouseMove(overlay, QPoint(300, h - 14));
    QCOMPARE(label->text(), QStringLiteral("200×110"));
    QCOMPARE(label->pos(), QPoint(219, h - 14 - 17)); // moved above the cursor
    QTest::mouseMove(overlay, QPoint(150, h - 14));
    QCOMPARE(label->pos(), QPoint(100, h - 31)); // narrow: at the frame's left
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(150, h - 14));
    // On the screen: light green with blue text, over the frozen image.
    QTest::qWait(50);
    const QImage shot = testwin::grabScreen();
    QCOMPARE(shot.pixel(101, h - 30), qRgb(192, 255, 192));
    bool blue = false;
    for (int y = h - 31; y < h - 14 && !blue; ++y)
        for (int x = 100; x < 181 && !blue; ++x)
            blue = qBlue(shot.pixel(x, y)) > 150 && qGreen(shot.pixel(x, y)) < 120;
    QVERIFY(blue);
    QCOMPARE(shot.pixel(110, h - 124), qRgb(255, 0, 0)); // the frame's top edge
}

void TestScreen::pressReleaseWithoutMoveCapturesNothing()
{
    QVERIFY(rig_->showOver(1, MainPos));
    const QImage before = testwin::pattern(QSize(30, 20), 9);
    rig_->captureViaClipboard(before);
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(400, 400));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(400, 400));
    QTest::mouseClick(overlay->cat_big, Qt::LeftButton);
    QTest::qWait(50);
    QCOMPARE(form_->overlay(), overlay); // still open
    QVERIFY(overlay->isVisible());
    QCOMPARE(rgb(form_->temImage()), before);
    QVERIFY(!form_->isVisible());
}

void TestScreen::escKeepsPreviousPreview()
{
    QVERIFY(rig_->showOver(1, MainPos));
    const QImage before = testwin::pattern(QSize(40, 30), 11);
    rig_->captureViaClipboard(before);
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(overlay, QPoint(200, 200));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(200, 200));
    QSignalSpy destroyed(overlay, &QObject::destroyed);
    // A real key press: the overlay must hold the keyboard itself.
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Escape")}));
    QTRY_COMPARE(destroyed.size(), 1);
    QTRY_VERIFY(form_->isVisible());
    QCOMPARE(rgb(form_->temImage()), before);
    QCOMPARE(rgb(QApplication::clipboard()->image()), before);
}

void TestScreen::overlayTakesLeftButtonAndEscOnly()
{
    QVERIFY(rig_->showOver(1, MainPos));
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    // Other buttons, alone or together with the left one, start nothing.
    overlay->Form_MouseDown(Qt::RightButton, 100, 100);
    overlay->Form_MouseDown(Qt::LeftButton | Qt::RightButton, 100, 100);
    QVERIFY(!overlay->cat_cho->isVisible());
    QVERIFY(!overlay->Ti->isActive());

    overlay->Form_MouseDown(Qt::LeftButton, 100, 100);
    QVERIFY(overlay->cat_cho->isVisible());
    QVERIFY(overlay->Ti->isActive());
    overlay->Form_MouseMove(Qt::LeftButton | Qt::RightButton, 300, 300);
    QCOMPARE(overlay->cat_big->text(), QStringLiteral("0×0"));
    overlay->Form_MouseMove(Qt::LeftButton, 220, 180);
    QCOMPARE(overlay->cat_big->text(), QStringLiteral("120×80"));
    QCOMPARE(overlay->cat_cho->geometry(), QRect(100, 100, 120, 80));
    overlay->Form_MouseUp(Qt::RightButton, 220, 180);
    QVERIFY(overlay->Ti->isActive());
    overlay->Form_MouseUp(Qt::LeftButton, 220, 180);
    QVERIFY(!overlay->Ti->isActive());
    QCOMPARE(overlay->cat_cho->borderWidth(), 1);

    QSignalSpy destroyed(overlay, &QObject::destroyed);
    overlay->Form_KeyPress('a');
    overlay->Form_KeyPress(13);
    QTest::qWait(50);
    QCOMPARE(destroyed.size(), 0);
    QVERIFY(!form_->isVisible());
    overlay->Form_KeyPress(27);
    QTRY_COMPARE(destroyed.size(), 1);
    QVERIFY(form_->isVisible());
}

void TestScreen::wholeScreenEqualsFreshGrab()
{
    QVERIFY(rig_->showOver(1, MainPos));
    PatternWindow extra(QRect(100, 600, 250, 150), 5);
    QVERIFY(testwin::showAndWait(extra));
    QVERIFY(rig_->click(form_->Command2));
    QVERIFY(form_->isVisible());
    const QImage capture = rgb(form_->temImage());
    QCOMPARE(capture.size(), screenRect().size());
    QCOMPARE(capture.copy(extra.geometry()), extra.image());
    QCOMPARE(rgb(QApplication::clipboard()->image()), capture);
    QCOMPARE(form_->pic_img->size(), QSize(323, 258));
    // With the window out of the way again, the screen is what was captured.
    form_->hide();
    QVERIFY(testwin::screenShows(capture, screenRect()));
    QCOMPARE(testwin::independentGrab(), capture);
}

void TestScreen::chkClearedLeavesMainInCapture_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("area");
    QTest::newRow("whole screen, ticked") << true << false;
    QTest::newRow("whole screen, cleared") << false << false;
    QTest::newRow("area, ticked") << true << true;
    QTest::newRow("area, cleared") << false << true;
}

void TestScreen::chkClearedLeavesMainInCapture()
{
    QFETCH(bool, ticked);
    QFETCH(bool, area);
    QVERIFY(rig_->showOver(1, MainPos));
    form_->chk->setChecked(ticked);
    form_->chk->repaint();
    QTest::qWait(50);
    // Frame3 does not change when a button is clicked.
    const QRect frame3(form_->Frame3->mapToGlobal(QPoint(0, 0)), form_->Frame3->size());
    const QImage mainBefore = testwin::grabScreen().copy(frame3);
    QVERIFY(mainBefore != rig_->background->image().copy(frame3));
    QImage capture;
    if (area) {
        CatForm *overlay = rig_->openOverlay();
        QVERIFY(overlay);
        QCOMPARE(form_->isVisible(), !ticked);
        capture = rgb(overlay->frozenImage());
        QTest::keyClick(overlay, Qt::Key_Escape);
    } else {
        QVERIFY(rig_->click(form_->Command2));
        capture = rgb(form_->temImage());
    }
    QVERIFY(form_->isVisible());
    if (ticked)
        QCOMPARE(capture.copy(frame3), rig_->background->image().copy(frame3));
    else
        QCOMPARE(capture.copy(frame3), mainBefore);
}

void TestScreen::windowPickGivesWindowPixels_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("visible"); // the part of the window on the screen
    QTest::newRow("inside the screen") << QRect(200, 300, 160, 120) << QRect(0, 0, 160, 120);
    QTest::newRow("off right and bottom") << QRect(1200, 964, 160, 120) << QRect(0, 0, 80, 60);
    QTest::newRow("off left and top") << QRect(-40, -30, 160, 120) << QRect(40, 30, 120, 90);
}

void TestScreen::windowPickGivesWindowPixels()
{
    QFETCH(QRect, window);
    QFETCH(QRect, visible);
    QVERIFY(rig_->showOver(1, MainPos));
    PatternWindow target(window, 6);
    QVERIFY(testwin::showAndWait(target));
    const QRect onScreen = visible.translated(window.topLeft());
    bool sawFrame = false;
    testwin::pickWindow(*form_, *ws_, onScreen.center(), WindowId(target.winId()), onScreen, &sawFrame);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(sawFrame);
    const QImage expected = target.image().copy(visible);
    QCOMPARE(rgb(form_->temImage()), expected);
    QCOMPARE(form_->pic_img->size(), visible.size());
    // Nothing of the frame stays behind.
    QVERIFY(testwin::screenShows(target.image(), window));
}

void TestScreen::releaseBeforeTickCapturesNothing()
{
    QVERIFY(rig_->showOver(1, MainPos));
    PatternWindow target(QRect(200, 300, 160, 120), 8);
    QVERIFY(testwin::showAndWait(target));
    rig_->captureViaClipboard(testwin::pattern(QSize(20, 20), 3));
    bool sawFrame = false;
    testwin::pickWindow(*form_, *ws_, QPoint(280, 360), 0, QRect(), &sawFrame);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(form_->temImage().isNull());
    QVERIFY(ws_->isViewable(WindowId(form_->winId())));
}

void TestScreen::pickLeftForBareDesktopIsWholeScreen()
{
    // A window first, then the bare desktop: the tick there replaces the
    // window with the desktop, and the release captures the whole screen.
    QVERIFY(rig_->showOver(1, MainPos));
    rig_->background->hide();
    PatternWindow target(QRect(200, 300, 160, 120), 9);
    QVERIFY(testwin::showAndWait(target));
    const QPoint snap = testwin::toDevice(form_->picSnap->mapToGlobal(form_->picSnap->rect().center()));
    QVERIFY(xdo({"mousemove", QString::number(snap.x()), QString::number(snap.y())}));
    QTest::qWait(30);
    QSignalSpy ended(form_, &MainForm::pickEnded);
    QVERIFY(xdo({"mousedown", "1"}));
    QTRY_VERIFY(form_->isPicking());
    QVERIFY(xdo({"mousemove", "280", "360"}));
    QTRY_COMPARE_WITH_TIMEOUT(form_->pickedWindow(), WindowId(target.winId()), 10000);
    QVERIFY(xdo({"mousemove", "1000", "900"}));
    QTRY_COMPARE_WITH_TIMEOUT(form_->pickedWindow(), DesktopWindow, 10000);
    QVERIFY(xdo({"mouseup", "1"}));
    QTRY_COMPARE(ended.size(), 1);
    const QImage capture = rgb(form_->temImage());
    QCOMPARE(capture.size(), screenRect().size());
    QCOMPARE(capture.copy(QRect(200, 300, 160, 120)), target.image());
}

void TestScreen::cliCapturesMatchIndependentGrab()
{
    PatternWindow a(QRect(150, 120, 300, 200), 12);
    PatternWindow b(QRect(500, 400, 200, 150), 13);
    QVERIFY(testwin::showAndWait(a));
    QVERIFY(testwin::showAndWait(b));
    QTemporaryDir dir;
    const QImage screen = testwin::independentGrab();
    QCOMPARE(screen.size(), screenRect().size());

    const QString full = dir.filePath(QStringLiteral("full.jpg"));
    testwin::Run r = testwin::runAreagrab({QStringLiteral("--full"), full});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("%1\t1280x1024").arg(full));
    QCOMPARE(decodeJpeg(full), viaJpeg(screen, dir));

    const QString part = dir.filePath(QStringLiteral("part.jpg"));
    r = testwin::runAreagrab({QStringLiteral("--rect"), QStringLiteral("400,300,200,180"), part});
    QCOMPARE(r.code, 0);
    QCOMPARE(decodeJpeg(part).size(), QSize(200, 180));
    QCOMPARE(decodeJpeg(part), viaJpeg(screen.copy(400, 300, 200, 180), dir));

    // A rectangle partly off the screen keeps its part on the screen.
    const QString edge = dir.filePath(QStringLiteral("edge.jpg"));
    r = testwin::runAreagrab({QStringLiteral("--rect"), QStringLiteral("1200,1000,200,100"), edge});
    QCOMPARE(r.code, 0);
    QCOMPARE(decodeJpeg(edge), viaJpeg(screen.copy(1200, 1000, 80, 24), dir));
}

void TestScreen::cliWindowAtGivesClampedWindow()
{
    PatternWindow cover(QRect(0, 0, 1280, 1024), 14);
    PatternWindow w(QRect(1200, 964, 160, 120), 15);
    QVERIFY(testwin::showAndWait(cover));
    QVERIFY(testwin::showAndWait(w));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("win.jpg"));
    const testwin::Run r =
        testwin::runAreagrab({QStringLiteral("--window-at"), QStringLiteral("1250,1000"), out});
    QCOMPARE(r.code, 0);
    const QImage got = decodeJpeg(out);
    QCOMPARE(got.size(), QSize(80, 60));
    QCOMPARE(got, viaJpeg(w.image().copy(0, 0, 80, 60), dir));
    QCOMPARE(got, viaJpeg(testwin::independentGrab().copy(1200, 964, 80, 60), dir));

    const QString under = dir.filePath(QStringLiteral("under.jpg"));
    QCOMPARE(testwin::runAreagrab({QStringLiteral("--window-at"), QStringLiteral("10,10"), under}).code, 0);
    QCOMPARE(decodeJpeg(under).size(), QSize(1280, 1024));
    // The window beneath covers the screen; the one above it shows in it.
    QCOMPARE(decodeJpeg(under), viaJpeg(testwin::independentGrab(), dir));
}

void TestScreen::cliWithoutReachableDisplayFails()
{
    // A display nobody serves: the capture must end with a message and
    // status 1, not abort inside the GUI start-up.
    int n = 4093;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
        ++n;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("none.jpg"));
    const testwin::Run r = testwin::runAreagrab(
        {QStringLiteral("--full"), out}, {{"DISPLAY", ":" + QByteArray::number(n)}, {"QT_QPA_PLATFORM", {}}});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("DISPLAY")), qPrintable(r.err));
    QVERIFY(!QFile::exists(out));
}

void TestScreen::clipboardHeldUntilTaken_data()
{
    QTest::addColumn<bool>("takeOver"); // another program puts something there
    QTest::addColumn<int>("seconds");   // --clipboard-timeout
    QTest::addColumn<QString>("err");
    QTest::newRow("taken over") << true << 60 << "";
    QTest::newRow("timeout") << false << 1 << "1 秒内没有别的程序接手剪贴板，截图已不在剪贴板上。\n";
}

void TestScreen::clipboardHeldUntilTaken()
{
    QFETCH(bool, takeOver);
    QFETCH(int, seconds);
    QFETCH(QString, err);
    PatternWindow w(QRect(100, 100, 64, 48), 6);
    QVERIFY(testwin::showAndWait(w));
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    QProcess grab;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    grab.setProcessEnvironment(env);
    grab.start(QCoreApplication::applicationDirPath() + QStringLiteral("/areagrab"),
               {QStringLiteral("--rect"), QStringLiteral("100,100,64,48"), QStringLiteral("--clipboard"),
                QStringLiteral("--clipboard-timeout"), QString::number(seconds)});
    QVERIFY(grab.waitForStarted());
    if (takeOver) {
        // Read from the other program, through the X server, while it stays.
        QTRY_VERIFY_WITH_TIMEOUT(clipboard->image().convertToFormat(QImage::Format_RGB32) == w.image(),
                                 20000);
        QTest::qWait(300);
        QVERIFY(grab.state() == QProcess::Running);
        // The text engine runs on one thread (areagrab started itself again
        // with the limit).
        QFile environ(QStringLiteral("/proc/%1/environ").arg(grab.processId()));
        QVERIFY(environ.open(QIODevice::ReadOnly));
        QVERIFY(environ.readAll().split('\0').contains("OMP_THREAD_LIMIT=1"));
        // X refuses a claim older than the owner's: an event from the server
        // (the pointer over our window) brings this program's time forward.
        QVERIFY(xdo({QStringLiteral("mousemove"), QStringLiteral("130"), QStringLiteral("120")}));
        QTest::qWait(100);
        clipboard->setText(QStringLiteral("mine now"));
    }
    QVERIFY(grab.waitForFinished(20000));
    QCOMPARE(grab.exitCode(), 0);
    QCOMPARE(
        QString::fromUtf8(grab.readAllStandardError()).remove(QRegularExpression("QStandardPaths[^\n]*\n")),
        err);
}

void TestScreen::cliReadsTheText_data()
{
    QTest::addColumn<QByteArray>("tessdata"); // "@": a folder without language data
    QTest::addColumn<int>("status");
    QTest::newRow("known text") << QByteArray() << 0;
    QTest::newRow("no language data") << QByteArray("@") << 1;
}

void TestScreen::cliReadsTheText()
{
    QFETCH(QByteArray, tessdata);
    QFETCH(int, status);
    if (tessdata.isEmpty() && !TextReader::missingLanguages().isEmpty())
        QSKIP("the Tesseract language data (tesseract-ocr-chi-sim, -eng) is not installed");
    QTemporaryDir empty;
    if (tessdata == "@")
        tessdata = QFile::encodeName(empty.path());
    testwin::TextWindow w(QPoint(200, 200));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(testwin::screenShows(testwin::sampleTextImage(), QRect(QPoint(200, 200), w.size())));
    const testwin::Run r = testwin::runAreagrab(
        {QStringLiteral("--rect"), QStringLiteral("200,200,%1,%2").arg(w.width()).arg(w.height()),
         QStringLiteral("--ocr")},
        {{"TESSDATA_PREFIX", tessdata}}, 60000);
    QCOMPARE(r.code, status);
    if (status == 0) {
        QVERIFY2(testwin::shareFound(testwin::sampleText(), r.out) >= 0.95, qPrintable(r.out));
    } else {
        QVERIFY2(r.err.contains(QStringLiteral("缺少文字识别的语言包：chi_sim、eng")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
}

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
