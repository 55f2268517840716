// areagrab in a headless Wayland session with two outputs side by side
// (wayland-session.sh with AREAGRAB_WAYLAND_OUTPUTS=2): the portal's picture
// of both, cut by --screen and --rect as on X11.
#include "testwindows.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QRgb LeftColour = qRgb(0x33, 0x66, 0xaa);
const QRgb RightColour = qRgb(0xaa, 0x66, 0x33);

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8
        && std::abs(qBlue(a) - qBlue(b)) <= 8;
}

} // namespace

class TestWaylandMonitors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void eachOutput_data();
    void eachOutput();
};

void TestWaylandMonitors::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("run inside tests/wayland-session.sh with AREAGRAB_WAYLAND_OUTPUTS=2");
}

void TestWaylandMonitors::eachOutput_data()
{
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("seam"); // x where the second output's colour starts; -1: none
    for (const QByteArray &platform : {QByteArray("wayland"), QByteArray("xcb")}) {
        const auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", platform.constData(), name); };
        row("--screen 1") << platform << QStringList{"--screen", "1"} << QSize(640, 480) << 0;
        row("--screen 0") << platform << QStringList{"--screen", "0"} << QSize(640, 480) << -1;
        row("--all-screens") << platform << QStringList{"--all-screens"} << QSize(1280, 480) << 640;
        row("--rect across the seam") << platform << QStringList{"--rect", "600,100,80,50"} << QSize(80, 50)
                                      << 40;
    }
}

void TestWaylandMonitors::eachOutput()
{
    QFETCH(QByteArray, platform);
    QFETCH(QStringList, args);
    QFETCH(QSize, size);
    QFETCH(int, seam);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("shot.png"));
    const testwin::Run r = testwin::runAreagrab(args << out, {{"QT_QPA_PLATFORM", platform}}, 90000);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QImage shot(out);
    QCOMPARE(shot.size(), size);
    for (int y = 0; y < size.height(); y += 7) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb want = seam >= 0 && x >= seam ? RightColour : LeftColour;
            QVERIFY2(near(shot.pixel(x, y), want), qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
        }
    }
}

QTEST_MAIN(TestWaylandMonitors)
#include "tst_waylandmonitors.moc"
