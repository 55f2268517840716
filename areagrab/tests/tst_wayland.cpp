// areagrab in a Wayland session, run inside tests/wayland-session.sh (sway
// with one 640x480 output of the colour #3366aa): the screen through the
// desktop portal with Qt's Wayland plugin and through XWayland, a rectangle
// of a window of known colours, --window-at refused; and the portal request
// itself against a stand-in portal on the session bus: an answer that comes
// before the call returns, a refusal, no answer, and the file it leaves.
//
// Started with --colour-window, the program is that window instead.
#include "testwindows.h"

#include "platform/portalscreenshot.h"
#include "ui/catform.h"
#include "common/testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QLibraryInfo>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>

using namespace areagrab;

namespace {

const QRgb Background = qRgb(0x33, 0x66, 0xaa);
const QSize OutputSize(640, 480);
// The colour window: green, with a red and a blue block at known places.
const QRgb Green = qRgb(0, 200, 0);
const QRgb Red = qRgb(220, 0, 0);
const QRgb Blue = qRgb(0, 0, 220);
const QRect RedBlock(100, 60, 200, 120);
const QRect BlueBlock(440, 320, 120, 100);

class ColourWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(QRect(QPoint(0, 0), size()), QColor(Green));
        p.fillRect(RedBlock, QColor(Red));
        p.fillRect(BlueBlock, QColor(Blue));
    }
};

bool near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString hex(QRgb c)
{
    return QStringLiteral("#%1").arg(c & 0xffffff, 6, 16, QLatin1Char('0'));
}

// A capture of the command line, and the JPEG it wrote read back.
struct Shot : testwin::Run {
    QImage image;
};

Shot capture(const QStringList &args, const QMap<QByteArray, QByteArray> &env)
{
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shot.jpg"));
    QFile::remove(file);
    Shot r{testwin::runAreagrab(QStringList(args) << file, env, 90000), QImage(file)};
    r.out = r.out.trimmed();
    return r;
}

const QMap<QByteArray, QByteArray> WaylandPlugin{{"QT_QPA_PLATFORM", "wayland"}};

// The stand-in portal: a second connection to the bus that owns a service
// name and answers Screenshot as told.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    enum class Answer { BeforeReply, Refuse, Never };
    Answer answer = Answer::BeforeReply;
    QString uri;

    explicit FakePortal(const QDBusConnection &bus) : bus_(bus) { }

public Q_SLOTS:
    // The portal's method name, as D-Bus calls it.
    // NOLINTNEXTLINE(readability-identifier-naming)
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        if (answer != Answer::Never) {
            // Sent before the reply: a caller that listens only once the
            // call has returned misses it.
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << uint(answer == Answer::Refuse ? 1 : 0) << QVariantMap{{QStringLiteral("uri"), uri}};
            bus_.send(response);
        }
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection bus_;
};

const QString FakeService = QStringLiteral("org.areagrab.test.FakePortal");

} // namespace

class TestWayland : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void fullScreenThroughPortal_data();
    void fullScreenThroughPortal();
    void windowCapturesThroughPortal();
    void rectOfKnownWindow_data();
    void rectOfKnownWindow();
    void windowAtRefused();
    void portalRequest_data();
    void portalRequest();

private:
    QProcess colourWindow_;
};

void TestWayland::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("run inside tests/wayland-session.sh");
}

void TestWayland::cleanupTestCase()
{
    if (colourWindow_.state() != QProcess::NotRunning) {
        colourWindow_.terminate();
        if (!colourWindow_.waitForFinished(5000))
            colourWindow_.kill();
    }
}

void TestWayland::fullScreenThroughPortal_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("keepWaylandDisplay");
    QTest::newRow("Wayland plugin") << QStringLiteral("wayland") << true;
    QTest::newRow("XWayland") << QStringLiteral("xcb") << true;
    // An X11 program that is not told of the compositor still sees XWayland.
    QTest::newRow("XWayland, no WAYLAND_DISPLAY") << QStringLiteral("xcb") << false;
}

void TestWayland::fullScreenThroughPortal()
{
    QFETCH(QString, platform);
    QFETCH(bool, keepWaylandDisplay);
    QMap<QByteArray, QByteArray> env{{"QT_QPA_PLATFORM", platform.toUtf8()}};
    if (!keepWaylandDisplay)
        env.insert("WAYLAND_DISPLAY", {});
    const Shot r = capture({QStringLiteral("--full")}, env);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.image.size(), OutputSize);
    QVERIFY(r.out.endsWith(QStringLiteral("\t640x480")));
    for (int y = 5; y < OutputSize.height(); y += 47) {
        for (int x = 5; x < OutputSize.width(); x += 53) {
            const QRgb c = r.image.pixel(x, y);
            QVERIFY2(near(c, Background, 8),
                     qPrintable(QStringLiteral("(%1,%2) is %3").arg(x).arg(y).arg(hex(c))));
        }
    }
    // The portal's back end here (xdg-desktop-portal-wlr) saves to this
    // file; areagrab removes it once read.
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/out.png")));
}

void TestWayland::windowCapturesThroughPortal()
{
    testwin::FormRig rig;
    MainForm &form = rig.form;
    QVERIFY(!rig.ws->findsWindows());
    QVERIFY(rig.show());

    // "全屏截图": the portal's picture, whole.
    QVERIFY(rig.click(form.Command2));
    QImage whole = form.temImage();
    whole.setDevicePixelRatio(1.0);
    QCOMPARE(whole.size(), OutputSize);
    QVERIFY(near(whole.pixel(320, 240), Background, 8));

    // "选框截图": the overlay covers the screen with that picture, and the
    // framed area is what comes back.
    CatForm *overlay = rig.openOverlay();
    QVERIFY2(overlay, qPrintable(rig.dialogs.lastInfo()));
    QCOMPARE(overlay->frozenImage().size(), OutputSize);
    QVERIFY(near(overlay->frozenImage().pixel(5, 5), Background, 8));
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(40, 30));
    QTest::mouseMove(overlay, QPoint(140, 90));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(140, 90));
    QCOMPARE(overlay->cat_big->text(), QStringLiteral("100×60"));
    QSignalSpy destroyed(overlay, &QObject::destroyed);
    QTest::mouseClick(overlay->cat_big, Qt::LeftButton);
    QTRY_COMPARE(destroyed.size(), 1);
    QImage area = form.temImage();
    area.setDevicePixelRatio(1.0);
    QCOMPARE(area.size(), QSize(100, 60));
    QVERIFY(near(area.pixel(50, 30), Background, 8));
}

void TestWayland::rectOfKnownWindow_data()
{
    QTest::addColumn<QString>("rect");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QPoint>>("points"); // in the written image
    QTest::addColumn<QList<QRgb>>("colours");
    QTest::newRow("the red block") << QStringLiteral("100,60,200,120") << QSize(200, 120)
                                   << QList<QPoint>{{4, 4}, {195, 4}, {100, 60}, {4, 115}, {195, 115}}
                                   << QList<QRgb>{Red, Red, Red, Red, Red};
    QTest::newRow("around the red block")
        << QStringLiteral("80,40,240,160") << QSize(240, 160)
        << QList<QPoint>{{8, 8}, {28, 28}, {211, 131}, {231, 151}, {120, 80}}
        << QList<QRgb>{Green, Red, Red, Green, Red};
    QTest::newRow("over the bottom-right edge")
        << QStringLiteral("500,380,300,300") << QSize(140, 100)
        << QList<QPoint>{{4, 4}, {56, 36}, {64, 4}, {135, 95}} << QList<QRgb>{Blue, Blue, Green, Green};
}

void TestWayland::rectOfKnownWindow()
{
    QFETCH(QString, rect);
    QFETCH(QSize, size);
    QFETCH(QList<QPoint>, points);
    QFETCH(QList<QRgb>, colours);
    if (colourWindow_.state() == QProcess::NotRunning) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        colourWindow_.setProcessEnvironment(e);
        colourWindow_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        colourWindow_.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--colour-window")});
        QVERIFY(colourWindow_.waitForStarted());
        // Shown once a capture sees it.
        bool shown = false;
        for (int i = 0; i < 40 && !shown; ++i) {
            const Shot probe =
                capture({QStringLiteral("--rect"), QStringLiteral("0,0,640,480")}, WaylandPlugin);
            shown = probe.code == 0 && near(probe.image.pixel(200, 120), Red)
                && near(probe.image.pixel(20, 20), Green);
            if (!shown)
                QTest::qWait(100);
        }
        QVERIFY2(shown, "the colour window did not come up full screen");
    }
    const Shot r = capture({QStringLiteral("--rect"), rect}, WaylandPlugin);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.image.size(), size);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QRgb c = r.image.pixel(points[i]);
        QVERIFY2(near(c, colours[i]),
                 qPrintable(QStringLiteral("(%1,%2) is %3, not %4")
                                .arg(points[i].x())
                                .arg(points[i].y())
                                .arg(hex(c), hex(colours[i]))));
    }
}

void TestWayland::windowAtRefused()
{
    const Shot r = capture({QStringLiteral("--window-at"), QStringLiteral("200,120")}, WaylandPlugin);
    QCOMPARE(r.code, 1);
    QVERIFY(r.image.isNull());
    QVERIFY2(r.err.contains(QStringLiteral("Wayland 下程序无法得知某点下是哪个窗口")), qPrintable(r.err));
}

void TestWayland::portalRequest_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("error"); // empty: the picture comes back
    QTest::newRow("answer before the call returns") << int(FakePortal::Answer::BeforeReply) << QString();
    QTest::newRow("refused") << int(FakePortal::Answer::Refuse) << QStringLiteral("截图请求被拒绝或取消。");
    QTest::newRow("no answer") << int(FakePortal::Answer::Never)
                               << QStringLiteral("桌面门户在 1 秒内没有回答截图请求。");
}

void TestWayland::portalRequest()
{
    QFETCH(int, answer);
    QFETCH(QString, error);
    QDBusConnection fakeBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake portal"));
    QVERIFY(fakeBus.isConnected());
    FakePortal fake(fakeBus);
    fake.answer = FakePortal::Answer(answer);
    QVERIFY(fakeBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &fake,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(fakeBus.registerService(FakeService));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("portal.png"));
    QImage picture(32, 24, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(3, 2, qRgb(255, 0, 0));
    QVERIFY(picture.save(file));
    fake.uri = QUrl::fromLocalFile(file).toString();

    const QDBusConnection bus = QDBusConnection::sessionBus();
    PortalScreenshot portal(bus, FakeService);
    const ScreenImage shot = portal.take(false, 1000);
    fakeBus.unregisterService(FakeService);
    fakeBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake portal"));

    QCOMPARE(shot.error, error);
    if (error.isEmpty()) {
        QCOMPARE(shot.image.size(), QSize(32, 24));
        QCOMPARE(shot.image.pixel(3, 2), qRgb(255, 0, 0));
        QVERIFY(!QFile::exists(file));
    } else {
        QVERIFY(shot.image.isNull());
    }
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--colour-window") == 0) {
        QGuiApplication app(argc, argv);
        ColourWindow window;
        window.showFullScreen();
        return app.exec();
    }
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath)
                       + QStringLiteral("/platforms/libqwayland-generic.so"))) {
        std::fputs("SKIP: Qt's Wayland plugin is not installed (qt6-wayland; scripts/deps "
                   "installs it)\n",
                   stderr);
        return 77;
    }
    // The windows under test on the compositor itself.
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    TestWayland test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
