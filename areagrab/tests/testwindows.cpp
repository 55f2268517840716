#include "testwindows.h"

#include "ui/catform.h"
#include "common/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QColorSpace>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

namespace testwin {

QImage pattern(QSize size, int variant)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7 + variant * 50) & 255, (y * 5 + variant * 30) & 255,
                           ((x ^ y) + variant * 80) & 255);
    }
    return img;
}

PatternWindow::PatternWindow(const QRect &geometry, int variant)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), variant_(variant)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    setVariant(variant);
}

void PatternWindow::setVariant(int variant)
{
    variant_ = variant;
    image_ = pattern(toDevice(QRect(QPoint(0, 0), size())).size(), variant);
    image_.setDevicePixelRatio(ratio());
    update();
}

QImage PatternWindow::image() const
{
    QImage img = image_;
    img.setDevicePixelRatio(1.0);
    return img;
}

QRect PatternWindow::deviceGeometry() const
{
    return toDevice(geometry());
}

qreal ratio()
{
    return QGuiApplication::primaryScreen()->devicePixelRatio();
}

QRect toDevice(const QRect &logical)
{
    const qreal r = ratio();
    return QRect(qRound(logical.x() * r), qRound(logical.y() * r), qRound(logical.width() * r),
                 qRound(logical.height() * r));
}

QPoint toDevice(const QPoint &logical)
{
    return QPoint(qRound(logical.x() * ratio()), qRound(logical.y() * ratio()));
}

void PatternWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

QImage grabScreen()
{
    QImage img = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    img.setDevicePixelRatio(1.0);
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage independentGrab()
{
    if (testsupport::hasProgram(QStringLiteral("import"))) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("root.png"));
        if (testsupport::runProgram(QStringLiteral("import"),
                                    {QStringLiteral("-window"), QStringLiteral("root"), path}, nullptr,
                                    nullptr, 20000)
            == 0) {
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
    const QRect screen = toDevice(QGuiApplication::primaryScreen()->geometry());
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
    return screenShows(w.image(), w.deviceGeometry(), timeoutMs);
}

bool xdo(const QStringList &args)
{
    return testsupport::runProgram(QStringLiteral("xdotool"), args, nullptr, nullptr, 10000) == 0;
}

void pickWindow(areagrab::MainForm &form, areagrab::WindowSystem &ws, QPoint target,
                areagrab::WindowId expected, const QRect &frame, bool *sawFrame)
{
    const QString x = QString::number(target.x()), y = QString::number(target.y());
    const QPoint snap = toDevice(form.picSnap->mapToGlobal(form.picSnap->rect().center()));
    QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(snap.x()), QString::number(snap.y())}));
    QTest::qWait(30);
    QSignalSpy ended(&form, &areagrab::MainForm::pickEnded);
    *sawFrame = false;
    if (expected == 0) {
        // Press, move and release reach the program together: the release
        // is seen long before the first tick.
        QVERIFY(xdo({QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"), x, y,
                     QStringLiteral("mouseup"), QStringLiteral("1")}));
        QTRY_COMPARE(ended.size(), 1);
        QVERIFY(!form.isPicking());
        QTRY_VERIFY(form.isVisible());
        return;
    }
    QVERIFY(xdo({QStringLiteral("mousedown"), QStringLiteral("1")}));
    QTRY_VERIFY(form.isPicking());
    QVERIFY(!ws.isViewable(areagrab::WindowId(form.winId()))); // out of the way
    // The frame shows while the tick's own wait runs: look from a timer.
    QTimer watcher;
    watcher.setInterval(50);
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
        if (frame.isEmpty() || *sawFrame)
            return;
        const QImage shot = grabScreen();
        const QRgb black = qRgb(0, 0, 0);
        *sawFrame = shot.pixel(frame.left() + 1, frame.top() + 1) == black
            && shot.pixel(frame.right() - 1, frame.bottom() - 1) == black
            && shot.pixel(frame.left() + frame.width() / 2, frame.top() + 2) == black
            && shot.pixel(frame.left() + 3, frame.top() + 3) != black;
    });
    watcher.start();
    QVERIFY(xdo({QStringLiteral("mousemove"), x, y}));
    QTRY_COMPARE_WITH_TIMEOUT(form.pickedWindow(), expected, 10000);
    QVERIFY(form.isPicking());
    QVERIFY(xdo({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QTRY_COMPARE(ended.size(), 1);
    watcher.stop();
    QVERIFY(!form.isPicking());
    QTRY_VERIFY(form.isVisible());
}

} // namespace testwin

namespace testwin {

FormRig::FormRig(std::unique_ptr<areagrab::WindowSystem> windowSystem)
    : ws(std::move(windowSystem)), form(dialogs, *ws)
{
}

FormRig::~FormRig()
{
    if (form.overlay())
        form.overlay()->close();
}

bool FormRig::show()
{
    form.show();
    return QTest::qWaitForWindowExposed(&form);
}

bool FormRig::showOver(int backgroundVariant, QPoint pos)
{
    background =
        std::make_unique<PatternWindow>(QGuiApplication::primaryScreen()->geometry(), backgroundVariant);
    if (!showAndWait(*background))
        return false;
    form.move(pos);
    if (!show())
        return false;
    QTest::qWait(50);
    return true;
}

bool FormRig::click(QPushButton *command)
{
    QTest::mouseClick(command, Qt::LeftButton);
    return QTest::qWaitFor([this] { return !form.isBusy(); }, 10000);
}

areagrab::CatForm *FormRig::openOverlay()
{
    if (!click(form.Command1) || !form.overlay() || !QTest::qWaitForWindowExposed(form.overlay()))
        return nullptr;
    return form.overlay();
}

void FormRig::captureViaClipboard(const QImage &image)
{
    QApplication::clipboard()->setImage(image);
    form.changebig(true);
}

Run runAreagrab(const QStringList &args, const QMap<QByteArray, QByteArray> &env, int timeoutMs)
{
    return testsupport::run(testsupport::builtProgram(QStringLiteral("areagrab")), args, env, timeoutMs);
}

QString sampleText()
{
    return QStringLiteral("截图工具识别文字测试\n"
                          "打开文件菜单并保存图片\n"
                          "Screen capture test 2026\n"
                          "The quick brown fox jumps");
}

QImage sampleTextImage()
{
    QImage img(520, 170, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(img.rect().adjusted(16, 12, -16, -12), Qt::AlignLeft | Qt::AlignTop, sampleText());
    return img;
}

TextWindow::TextWindow(QPoint pos)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
{
    setGeometry(QRect(pos, sampleTextImage().size()));
}

void TextWindow::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, sampleTextImage());
}

double shareFound(const QString &expected, const QString &got)
{
    QString a = expected, b = got;
    a.remove(QRegularExpression(QStringLiteral("\\s")));
    b.remove(QRegularExpression(QStringLiteral("\\s")));
    if (a.isEmpty())
        return 1.0;
    QList<int> prev(b.size() + 1, 0), cur(b.size() + 1, 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j)
            cur[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        std::swap(prev, cur);
    }
    return double(prev[b.size()]) / a.size();
}

} // namespace testwin
