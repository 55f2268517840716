// areagrab on a scaled screen (device pixel ratio 2, real X server): every
// capture is in device pixels, N logical pixels giving 2N sharp pixels.
#include "testwindows.h"

#include "ui/catform.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace areagrab;
using testwin::PatternWindow;

class TestScaled : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void areaSelectionGivesDevicePixels();
    void wholeScreenGivesDevicePixels();
    void windowPickGivesDevicePixels();

private:
    std::unique_ptr<testwin::FormRig> rig_;
    MainForm *form_ = nullptr;
};

void TestScaled::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under ./test or with DISPLAY and QT_QPA_PLATFORM=xcb)");
    if (QGuiApplication::primaryScreen()->geometry().size() != QSize(640, 512))
        QSKIP("laid out for a 1280x1024 screen at ratio 2, as ./test starts it");
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
}

void TestScaled::init()
{
    rig_ = std::make_unique<testwin::FormRig>();
    form_ = &rig_->form;
    QVERIFY(rig_->showOver(21, QPoint(300, 20)));
}

void TestScaled::cleanup()
{
    rig_.reset();
}

void TestScaled::areaSelectionGivesDevicePixels()
{
    CatForm *overlay = rig_->openOverlay();
    QVERIFY(overlay);
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(180, 140));
    QTest::mouseMove(overlay, QPoint(100, 80));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(100, 80));
    QCOMPARE(overlay->cat_big->text(), QStringLiteral("80×60")); // logical pixels
    QSignalSpy destroyed(overlay, &QObject::destroyed);
    QTest::mouseClick(overlay->cat_big, Qt::LeftButton);
    QTRY_COMPARE(destroyed.size(), 1);
    QImage capture = form_->temImage();
    capture.setDevicePixelRatio(1.0);
    QCOMPARE(capture.size(), QSize(160, 120));
    QCOMPARE(capture.convertToFormat(QImage::Format_RGB32),
             rig_->background->image().copy(200, 160, 160, 120));
    // The preview shows it at its logical size.
    QCOMPARE(form_->pic_img->size(), QSize(80, 60));
}

void TestScaled::wholeScreenGivesDevicePixels()
{
    QVERIFY(rig_->click(form_->Command2));
    QImage capture = form_->temImage();
    capture.setDevicePixelRatio(1.0);
    QCOMPARE(capture.size(), QSize(1280, 1024));
    QCOMPARE(capture.convertToFormat(QImage::Format_RGB32), rig_->background->image());
}

void TestScaled::windowPickGivesDevicePixels()
{
    PatternWindow target(QRect(100, 150, 80, 60), 22);
    QVERIFY(testwin::showAndWait(target));
    const QRect device = target.deviceGeometry();
    QCOMPARE(device, QRect(200, 300, 160, 120));
    bool sawFrame = false;
    testwin::pickWindow(*form_, *rig_->ws, device.center(), WindowId(target.winId()), device, &sawFrame);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(sawFrame);
    QImage capture = form_->temImage();
    capture.setDevicePixelRatio(1.0);
    QCOMPARE(capture.convertToFormat(QImage::Format_RGB32), target.image());
}

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestScaled test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaled.moc"
