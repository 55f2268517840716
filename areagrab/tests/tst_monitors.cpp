// areagrab on two monitors side by side (a private X server that
// monitors-session.sh starts), also at QT_SCALE_FACTOR=2: every monitor in the overlay, "全屏截图" on the
// monitor under the pointer or on all, and the command line's --screen,
// --full, --all-screens and --rect across the seam.
#include "testwindows.h"

#include "ui/catform.h"

#include <QApplication>
#include <QCheckBox>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace areagrab;
using testwin::PatternWindow;

namespace {

// The monitors in device pixels.
const QRect Left(0, 0, 640, 480), Right(640, 0, 640, 480);

// A monitor's rectangle as Qt gives it: its top-left where the window
// system has it, the size in logical pixels (QT_SCALE_FACTOR divides it).
QRect logical(const QRect &device)
{
    return QRect(device.topLeft(), device.size() / testwin::ratio());
}

QPoint logicalPoint(QPoint device)
{
    return device / testwin::ratio();
}

// A capture's pixels, whatever ratio it is shown at.
QImage pixels(QImage image)
{
    image.setDevicePixelRatio(1.0);
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestMonitors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commandLineOnEveryMonitor_data();
    void commandLineOnEveryMonitor();
    void overlayCoversBothAndTakesTheSeam();
    void wholeScreenIsTheMonitorUnderThePointer_data();
    void wholeScreenIsTheMonitorUnderThePointer();

private:
    // What the two pattern windows show, as one desktop picture.
    QImage desktop_;
    std::unique_ptr<PatternWindow> left_, right_;
};

void TestMonitors::initTestCase()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QCOMPARE(screens[0]->geometry(), logical(Left));
    QCOMPARE(screens[1]->geometry(), logical(Right));
    left_ = std::make_unique<PatternWindow>(logical(Left), 3);
    right_ = std::make_unique<PatternWindow>(logical(Right), 4);
    desktop_ = QImage(1280, 480, QImage::Format_RGB32);
    QPainter p(&desktop_);
    p.drawImage(0, 0, left_->image());
    p.drawImage(640, 0, right_->image());
    p.end();
    QVERIFY(testwin::showAndWait(*left_));
    right_->show();
    QVERIFY(QTest::qWaitForWindowExposed(right_.get()));
    // The second monitor shows its pattern once painting is done.
    const QImage want = right_->image();
    QTRY_VERIFY(screens[1]->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) == want);
}

void TestMonitors::commandLineOnEveryMonitor_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QByteArray>("scale"); // QT_SCALE_FACTOR of the program
    QTest::newRow("--screen 1") << QStringList{"--screen", "1"} << QPoint(10, 10) << Right << QByteArray();
    QTest::newRow("--screen 0") << QStringList{"--screen", "0"} << QPoint(900, 10) << Left << QByteArray();
    QTest::newRow("--full, pointer right")
        << QStringList{"--full"} << QPoint(900, 200) << Right << QByteArray();
    QTest::newRow("--full, pointer left")
        << QStringList{"--full"} << QPoint(639, 479) << Left << QByteArray();
    QTest::newRow("--all-screens") << QStringList{"--all-screens"} << QPoint(10, 10) << QRect(0, 0, 1280, 480)
                                   << QByteArray();
    QTest::newRow("--rect across the seam") << QStringList{"--rect", "540,100,200,150"} << QPoint(10, 10)
                                            << QRect(540, 100, 200, 150) << QByteArray();
    // Logical pixels twice as large: still every device pixel.
    QTest::newRow("--screen 1 at scale 2")
        << QStringList{"--screen", "1"} << QPoint(10, 10) << Right << QByteArray("2");
    QTest::newRow("--rect at scale 2") << QStringList{"--rect", "630,10,20,30"} << QPoint(10, 10)
                                       << QRect(630, 10, 20, 30) << QByteArray("2");
}

void TestMonitors::commandLineOnEveryMonitor()
{
    QFETCH(QStringList, args);
    QFETCH(QPoint, pointer);
    QFETCH(QRect, area);
    QFETCH(QByteArray, scale);
    QVERIFY(testwin::xdo(
        {QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())}));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("shot.png"));
    const testwin::Run r = testwin::runAreagrab(args << out, {{"QT_SCALE_FACTOR", scale}});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("%1\t%2x%3\n").arg(out).arg(area.width()).arg(area.height()));
    QCOMPARE(QImage(out).convertToFormat(QImage::Format_RGB32), desktop_.copy(area));
}

void TestMonitors::overlayCoversBothAndTakesTheSeam()
{
    testwin::FormRig rig;
    rig.form.move(700, 300);
    QVERIFY(rig.show());
    CatForm *overlay = rig.openOverlay();
    QVERIFY(overlay);
    QCOMPARE(overlay->geometry(), QRect(QPoint(0, 0), QSize(1280, 480) / testwin::ratio()));
    QCOMPARE(overlay->frozenImage().size(), QSize(1280, 480));
    QTest::mousePress(overlay, Qt::LeftButton, {}, logicalPoint(QPoint(600, 100)));
    QTest::mouseMove(overlay, logicalPoint(QPoint(700, 160)));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, logicalPoint(QPoint(700, 160)));
    QTest::mouseClick(overlay->cat_big, Qt::LeftButton);
    QTRY_VERIFY(!rig.form.overlay());
    QCOMPARE(pixels(rig.form.temImage()), desktop_.copy(600, 100, 100, 60));
}

void TestMonitors::wholeScreenIsTheMonitorUnderThePointer_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QRect>("area");
    QTest::newRow("right") << QPoint(1000, 50) << false << Right;
    QTest::newRow("left") << QPoint(20, 400) << false << Left;
    QTest::newRow("all monitors") << QPoint(1000, 50) << true << QRect(0, 0, 1280, 480);
}

void TestMonitors::wholeScreenIsTheMonitorUnderThePointer()
{
    QFETCH(QPoint, pointer);
    QFETCH(bool, all);
    QFETCH(QRect, area);
    testwin::FormRig rig;
    QVERIFY(rig.show());
    rig.form.chkAllScreens->setChecked(all);
    QVERIFY(testwin::xdo(
        {QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())}));
    QVERIFY(rig.click(rig.form.Command2));
    QCOMPARE(pixels(rig.form.temImage()), desktop_.copy(area));
}

QTEST_MAIN(TestMonitors)
#include "tst_monitors.moc"
