// areagrab on a scaled screen (device pixel ratio 2, real X server): every
// capture is in device pixels, N logical pixels giving 2N sharp pixels.
#include "testwindows.h"

#include "ui/catform.h"
#include "ui/mainform.h"
#include "common/scripteddialogs.h"

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
    void makeForm();
    common::ScriptedDialogs dialogs_;
    std::unique_ptr<WindowSystem> ws_;
    std::unique_ptr<MainForm> form_;
    std::unique_ptr<PatternWindow> background_;
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
    ws_ = createWindowSystem();
}

void TestScaled::cleanup()
{
    if (form_ && form_->overlay())
        form_->overlay()->close();
    form_.reset();
    background_.reset();
    ws_.reset();
}

void TestScaled::makeForm()
{
    background_ = std::make_unique<PatternWindow>(QGuiApplication::primaryScreen()->geometry(), 21);
    QVERIFY(testwin::showAndWait(*background_));
    form_ = std::make_unique<MainForm>(dialogs_, *ws_);
    form_->move(300, 20);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTest::qWait(50);
}

void TestScaled::areaSelectionGivesDevicePixels()
{
    makeForm();
    QTest::mouseClick(form_->Command1, Qt::LeftButton);
    CatForm *overlay = form_->overlay();
    QVERIFY(overlay);
    QVERIFY(QTest::qWaitForWindowExposed(overlay));
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
             background_->image().copy(200, 160, 160, 120));
    // The preview shows it at its logical size.
    QCOMPARE(form_->pic_img->size(), QSize(80, 60));
}

void TestScaled::wholeScreenGivesDevicePixels()
{
    makeForm();
    QTest::mouseClick(form_->Command2, Qt::LeftButton);
    QImage capture = form_->temImage();
    capture.setDevicePixelRatio(1.0);
    QCOMPARE(capture.size(), QSize(1280, 1024));
    QCOMPARE(capture.convertToFormat(QImage::Format_RGB32), background_->image());
}

void TestScaled::windowPickGivesDevicePixels()
{
    makeForm();
    PatternWindow target(QRect(100, 150, 80, 60), 22);
    QVERIFY(testwin::showAndWait(target));
    const QRect device = target.deviceGeometry();
    QCOMPARE(device, QRect(200, 300, 160, 120));
    bool sawFrame = false;
    testwin::pickWindow(*form_, *ws_, device.center(), WindowId(target.winId()), device,
                        &sawFrame);
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
