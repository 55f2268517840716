// The real window, offscreen: captions, states, status lines, the port
// through a real pseudo-terminal, the list, the timer and the clipboard.
#include "common/textfile.h"
#include "common/testsupport.h"
#include "core/loggerframes.h"
#include "formfixture.h"
#include "ptylogger.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTextLayout>
#include "core/portrules.h"
#include "ui/columnheader.h"
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <memory>
#include <thread>

using namespace trekport;

namespace {
const QByteArray exampleFrame = QByteArray::fromHex("000741050C0A172D1F0C223879172D43");
const QString exampleLine = QStringLiteral("记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");

// The list line of a frame, worked out here from the bytes directly.
QString expectedLine(const QByteArray &f)
{
    auto b = [&f](int i) { return int(quint8(f[i])); };
    auto minutes = [&](int i) {
        return QString::asprintf("%02d.%04d", b(i), QString::asprintf("%d%d", b(i + 1), b(i + 2)).toInt());
    };
    return QString::asprintf("记录%03d| %s| %02d月%02d日 %02d:%02d:%02d| N%02d°", b(0) * 256 + b(1),
                             b(2) == 0x41 ? "自动" : "标记", b(3), b(4), b(5), b(6), b(7), b(8))
        + minutes(9) + QString::asprintf("',E%03d°", b(12)) + minutes(13) + QLatin1Char('\'');
}

void sendMouse(QWidget *w, QEvent::Type type, const QPoint &local, Qt::MouseButton button)
{
    const QPoint global = w->mapToGlobal(local);
    QMouseEvent e(type, QPointF(local), QPointF(global), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
} // namespace

class TestWindow : public QObject, FormFixture {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startState();
    void startWithRememberedPort();
    void openErrors_data();
    void openErrors();
    void portHeldByAnotherProgram();
    void openAndCloseToggle();
    void uploadWhileClosedDoesNothing();
    void uploadEndToEnd();
    void uploadThatLostAByte();
    void timerFollowsListAfterClear();
    void doubleClickCopiesCoordinates();
    void unpluggedLogger();
    void dragByTitle_data();
    void dragByTitle();
    void chosenPortIsRemembered();
    void typedPortIsNotRemembered();
    void typedPortRememberedOnceOpen();
    void portListReadAnew();
    void headerLinesUpWithList();
    void closeoverLeaves();
    void thousandsOfPointsAtLineSpeed();

private:
    std::unique_ptr<MainForm> makeForm();
    // A form that has clicked "打开串口" on the logger's port.
    std::unique_ptr<MainForm> openOn(const PtyLogger &logger);
};

void TestWindow::init()
{
    startFixture(QDateTime(QDate(2026, 3, 4), QTime(12, 0)));
}

void TestWindow::cleanup()
{
    finishFixture();
}

std::unique_ptr<MainForm> TestWindow::makeForm()
{
    auto form = newForm();
    form->show();
    return form;
}

std::unique_ptr<MainForm> TestWindow::openOn(const PtyLogger &logger)
{
    auto form = makeForm();
    form->port_cs->setCurrentText(logger.devicePath());
    QTest::mouseClick(form->cmd_openp, Qt::LeftButton);
    return form;
}

namespace {
// Clicks "上传数据"; true when the logger read the upload request.
bool requestUpload(MainForm &f, PtyLogger &logger)
{
    QTest::mouseClick(f.cmd_upload, Qt::LeftButton);
    return logger.receive(2000) == QByteArray("#");
}
} // namespace

void TestWindow::startState()
{
    auto f = makeForm();
    QCOMPARE(f->objectName(), QStringLiteral("main"));
    QVERIFY(f->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("打开串口"));
    QCOMPARE(f->cmd_upload->text(), QStringLiteral("上传数据"));
    QCOMPARE(f->inputxt->text(), QStringLiteral("读取"));
    QCOMPARE(f->outputxt->text(), QStringLiteral("输出"));
    QCOMPARE(f->cleardata->text(), QStringLiteral("清空"));
    QCOMPARE(f->name_mk->text(), QStringLiteral("生成NAME文件"));
    QCOMPARE(f->kml_mk->text(), QStringLiteral("生成KML文件"));
    QCOMPARE(f->Label2->text(), QStringLiteral("COM:"));
    QCOMPARE(f->Label3->text(),
             QStringLiteral("|数据信息     |日期时间          |坐标                            |"));
    QVERIFY(f->cmd_openp->isEnabled());
    QVERIFY(f->port_cs->isEnabled());
    QVERIFY(f->inputxt->isEnabled());
    for (QPushButton *b : {f->cmd_upload, f->outputxt, f->cleardata, f->name_mk, f->kml_mk})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (int i = 0; i < 9; ++i)
        QCOMPARE(f->port_cs->itemText(i), QString::number(i + 1));
    QCOMPARE(f->Timer1->interval(), 500);
    QVERIFY(f->Timer1->isActive());
    // No SYS.ini yet: port "0", written back.
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("0"));
    QCOMPARE(f->statusLines(), (QStringList{"状态缓冲区……", "端口0关闭!参数4800,N,8,1;"}));
    QFile ini(dir_->filePath(QStringLiteral("SYS.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray("0\r\n"));
    QCOMPARE(f->dataYear(), QStringLiteral("26"));
    QVERIFY(f->findChild<QWidget *>(QStringLiteral("movetitle")));
    QVERIFY(f->findChild<QWidget *>(QStringLiteral("closeover")));
    QVERIFY(f->findChild<QWidget *>(QStringLiteral("txt_sata")));
    for (const char *name : {"ImgTitle", "Image1", "Image2"}) {
        const QLabel *image = f->findChild<QLabel *>(QLatin1String(name));
        QVERIFY2(image && !image->pixmap().isNull(), name);
    }
}

void TestWindow::startWithRememberedPort()
{
    writeFile(dir_->filePath(QStringLiteral("SYS.ini")), "3\r\n");
    common::clock::setFixed(QDateTime(QDate(2013, 1, 1), QTime(0, 0)));
    auto f = makeForm();
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("3"));
    QVERIFY(f->statusLines().at(1).startsWith(QStringLiteral("端口3关闭!")));
    QCOMPARE(f->dataYear(), QStringLiteral("13"));
}

void TestWindow::openErrors_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("line");
    QTest::newRow("zero") << "0"
                          << "端口0关闭!错误8002,端口号无效!";
    QTest::newRow("negative") << "-1"
                              << "端口-1关闭!错误8002,端口号无效!";
    QTest::newRow("no such port") << "4000"
                                  << "端口4000关闭!错误8002,端口号无效!";
    QTest::newRow("no such device") << "/dev/trekport-none"
                                    << "端口/dev/trekport-none关闭!错误8002,端口号无效!";
    QTest::newRow("not a number") << "abc"
                                  << "端口abc关闭!错误13";
}

void TestWindow::openErrors()
{
    QFETCH(QString, port);
    QFETCH(QString, line);
    auto f = makeForm();
    f->port_cs->setCurrentText(port);
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QCOMPARE(f->statusLines().last(), line);
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("打开串口"));
    QVERIFY(!f->cmd_upload->isEnabled());
    QVERIFY(f->port_cs->isEnabled());
    QVERIFY(!f->link().isOpen());
}

void TestWindow::portHeldByAnotherProgram()
{
    PtyLogger logger;
    PointStore otherStore;
    LoggerLink other(otherStore, [] { return 0; });
    QCOMPARE(other.open(logger.devicePath()), 0);
    auto f = openOn(logger);
    QCOMPARE(f->statusLines().last(),
             QStringLiteral("端口%1关闭!错误8005,端口已被占用!").arg(logger.devicePath()));
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("打开串口"));
    QVERIFY(!f->cmd_upload->isEnabled());
}

void TestWindow::openAndCloseToggle()
{
    PtyLogger logger;
    auto f = openOn(logger);
    const QString port = logger.devicePath();
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("关闭串口"));
    QVERIFY(f->cmd_upload->isEnabled());
    QVERIFY(!f->port_cs->isEnabled());
    QCOMPARE(f->statusLines().last(), QStringLiteral("端口%1打开! ").arg(port));
    QVERIFY(f->link().isOpen());
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("打开串口"));
    QVERIFY(!f->cmd_upload->isEnabled());
    QVERIFY(f->port_cs->isEnabled());
    QCOMPARE(f->statusLines().last(), QStringLiteral("端口%1关闭!").arg(port));
    QVERIFY(!f->link().isOpen());
    // And open again.
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QVERIFY(f->link().isOpen());
}

void TestWindow::uploadWhileClosedDoesNothing()
{
    PtyLogger logger;
    // The logger's port, opened once and closed again.
    auto f = openOn(logger);
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QVERIFY(!f->link().isOpen());
    const int lines = int(f->statusLines().size());
    f->cmd_upload_Click();
    QCOMPARE(int(f->statusLines().size()), lines);
    QCOMPARE(logger.receive(200), QByteArray());
}

void TestWindow::uploadEndToEnd()
{
    PtyLogger logger;
    auto f = openOn(logger);
    QVERIFY(requestUpload(*f, logger));
    QCOMPARE(f->statusLines().last(), QStringLiteral("发送上传指令,等待接收数据……"));
    QVERIFY(logger.send(exampleFrame
                        + QByteArray::fromHex("04D24D050C0A172D1F0C2238791"
                                              "72D43")));
    QTRY_COMPARE(f->Lis->count(), 2);
    QCOMPARE(f->Lis->line(0), exampleLine);
    QCOMPARE(f->Lis->line(1),
             QStringLiteral("记录1234| 标记| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"));
    QCOMPARE(f->Lis->currentRow(), 1);
    QCOMPARE(f->pointStore().at(1)[ColRecord], QStringLiteral("1234"));
    QCOMPARE(f->pointStore().at(1)[ColKind], QStringLiteral("标记"));
    // Once the line is quiet, the count.
    f->link().setSettleInterval(100);
    QTRY_COMPARE(f->statusLines().last(), QStringLiteral("收到 2 个点"));
}

void TestWindow::uploadThatLostAByte()
{
    PtyLogger logger;
    auto f = openOn(logger);
    f->link().setSettleInterval(300);
    QVERIFY(requestUpload(*f, logger));
    const QByteArray trip = generateTrip(30, 0, 4);
    QVERIFY(logger.send(QByteArray(trip).remove(16 * 12 + 7, 1)));
    QTRY_VERIFY(f->statusLines().last().endsWith(QStringLiteral("个数据帧无效（可能丢失了字节），已跳过")));
    const QStringList status = f->statusLines();
    const int listed = f->Lis->count();
    QVERIFY2(listed >= 28 && listed < 30, qPrintable(QString::number(listed)));
    QCOMPARE(status.at(status.size() - 2), QStringLiteral("收到 %1 个点").arg(listed));
}

void TestWindow::timerFollowsListAfterClear()
{
    PtyLogger logger;
    auto f = openOn(logger);
    QVERIFY(requestUpload(*f, logger));
    QVERIFY(logger.send(exampleFrame));
    QTRY_COMPARE(f->Lis->count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(f->outputxt->isEnabled(), 600);
    for (QPushButton *b : {f->cleardata, f->name_mk, f->kml_mk})
        QVERIFY(b->isEnabled());
    QTest::mouseClick(f->cleardata, Qt::LeftButton);
    QCOMPARE(f->Lis->count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!f->outputxt->isEnabled(), 600);
    for (QPushButton *b : {f->cleardata, f->name_mk, f->kml_mk})
        QVERIFY(!b->isEnabled());
    // The table keeps its rows; the next point overwrites row 0.
    QCOMPARE(f->pointStore().at(0)[ColRecord], QStringLiteral("007"));
    QVERIFY(logger.send(QByteArray::fromHex("0009") + exampleFrame.mid(2)));
    QTRY_COMPARE(f->Lis->count(), 1);
    QCOMPARE(f->pointStore().at(0)[ColRecord], QStringLiteral("009"));
}

void TestWindow::doubleClickCopiesCoordinates()
{
    PtyLogger logger;
    auto f = openOn(logger);
    QVERIFY(requestUpload(*f, logger));
    QVERIFY(logger.send(exampleFrame
                        + QByteArray::fromHex("0008410"
                                              "50C0A172D1F0C032D790C0000")));
    QTRY_COMPARE(f->Lis->count(), 2);
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    const QRect first = f->Lis->rowRect(0);
    QTest::mouseClick(f->Lis->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(f->Lis->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("N31°12.3456',E121°23.4567'"));
    const QRect second = f->Lis->rowRect(1);
    QTest::mouseClick(f->Lis->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(f->Lis->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("N31°12.0345',E121°12.0000'"));
}

void TestWindow::unpluggedLogger()
{
    PtyLogger logger;
    auto f = openOn(logger);
    const QString port = logger.devicePath();
    QVERIFY(f->link().isOpen());
    logger.unplug();
    QTRY_COMPARE(f->statusLines().last(), QStringLiteral("端口%1关闭!错误68,设备无效!").arg(port));
    QCOMPARE(f->cmd_openp->text(), QStringLiteral("打开串口"));
    QVERIFY(!f->cmd_upload->isEnabled());
    QVERIFY(f->port_cs->isEnabled());
    QVERIFY(!f->link().isOpen());
    const int lines = int(f->statusLines().size());
    QTest::qWait(300);
    QCOMPARE(int(f->statusLines().size()), lines);
}

void TestWindow::dragByTitle_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestWindow::dragByTitle()
{
    QFETCH(Qt::MouseButton, button);
    auto f = makeForm();
    f->move(100, 100);
    const QPoint start = f->pos();
    sendMouse(f->movetitle, QEvent::MouseButtonPress, QPoint(20, 10), button);
    sendMouse(f->movetitle, QEvent::MouseMove, QPoint(70, 40), button);
    QCOMPARE(f->pos(), start + QPoint(50, 30));
    sendMouse(f->movetitle, QEvent::MouseButtonRelease,
              f->movetitle->mapFromGlobal(f->mapToGlobal(QPoint(0, 0)) + QPoint(20, 10)), button);
    const QPoint after = f->pos();
    sendMouse(f->movetitle, QEvent::MouseMove, QPoint(90, 10), Qt::NoButton);
    QCOMPARE(f->pos(), after);
}

void TestWindow::chosenPortIsRemembered()
{
    auto f = makeForm();
    const QString ini = dir_->filePath(QStringLiteral("SYS.ini"));
    f->port_cs->setCurrentText(QStringLiteral("7"));
    QCOMPARE(testsupport::readAll(ini), QByteArray("0\r\n"));
    f->port_cs->setCurrentIndex(1);
    emit f->port_cs->activated(1);
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("2\r\n"));
}

void TestWindow::typedPortIsNotRemembered()
{
    auto f = makeForm();
    const QString ini = dir_->filePath(QStringLiteral("SYS.ini"));
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    QLineEdit *edit = f->port_cs->lineEdit();
    // Typed and ended with Enter: used, not written.
    f->port_cs->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("3"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("3"));
    // Typed and left for another control: the same.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("5"));
    f->inputxt->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("5"));
    QCOMPARE(testsupport::readAll(ini), QByteArray("0\r\n"));

    // An item chosen with the arrow keys is remembered.
    f->port_cs->setFocus();
    QTest::keyClick(f->port_cs, Qt::Key_Down);
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("6"));
    QCOMPARE(testsupport::readAll(ini), QByteArray("6\r\n"));
    // So is one clicked in the opened list, also after typing.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("8"));
    f->port_cs->showPopup();
    QAbstractItemView *view = f->port_cs->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(1, 0)).center());
    QTRY_COMPARE(f->port_cs->currentText(), QStringLiteral("2"));
    QCOMPARE(testsupport::readAll(ini), QByteArray("2\r\n"));
}

void TestWindow::typedPortRememberedOnceOpen()
{
    PtyLogger logger;
    auto f = makeForm();
    const QString ini = dir_->filePath(QStringLiteral("SYS.ini"));
    f->port_cs->setEditText(QStringLiteral("/dev/trekport-none"));
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QCOMPARE(testsupport::readAll(ini), QByteArray("0\r\n"));
    f->port_cs->setEditText(logger.devicePath());
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    QVERIFY(f->link().isOpen());
    QCOMPARE(testsupport::readAll(ini), logger.devicePath().toUtf8() + "\r\n");
    QTest::mouseClick(f->cmd_openp, Qt::LeftButton);
    auto again = makeForm();
    QCOMPARE(again->port_cs->currentText(), logger.devicePath());
}

void TestWindow::portListReadAnew()
{
    auto f = makeForm();
    f->port_cs->clear();
    f->port_cs->setEditText(QStringLiteral("/dev/typed"));
    f->port_cs->showPopup();
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    QCOMPARE(f->port_cs->currentText(), QStringLiteral("/dev/typed"));
    QVERIFY(f->port_cs->count() >= 9);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(f->port_cs->itemText(i), QString::number(i + 1));
    for (int i = 9; i < f->port_cs->count(); ++i) {
        const QString port = f->port_cs->itemData(i).toString();
        QVERIFY(std::any_of(system.begin(), system.end(),
                            [&](const QSerialPortInfo &p) { return p.systemLocation() == port; }));
        QVERIFY(f->port_cs->itemText(i).startsWith(port));
    }
    f->port_cs->hidePopup();
    QCOMPARE(portItemText(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("CP2102 USB to UART")),
             QStringLiteral("/dev/ttyUSB0 — CP2102 USB to UART"));
    QCOMPARE(portItemText(QStringLiteral("/dev/ttyS0"), QString()), QStringLiteral("/dev/ttyS0"));
}

void TestWindow::headerLinesUpWithList()
{
    QTemporaryDir dir;
    const QString gtxt = dir.filePath(QStringLiteral("one.gtxt"));
    QVERIFY(common::writeTextLines(gtxt, {exampleLine}, common::TextEncoding::Gbk));
    auto f = makeForm();
    dialogs_->queueFile(gtxt);
    f->inputxt_Click();
    QCOMPARE(f->Lis->line(0), exampleLine);
    QCOMPARE(f->Label3->font(), f->Lis->font());
    // Where the list draws the line's parts, measured by laying the text out.
    QTextLayout layout(exampleLine, f->Lis->font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QRect item = f->Lis->rowRect(0);
    const int textLeft = f->Lis->viewport()->mapTo(f.get(), item.topLeft()).x()
        + f->Lis->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, f->Lis) + 1;
    const QList<int> stops = static_cast<ColumnHeader *>(f->Label3)->stops();
    QCOMPARE(stops.size(), 4);
    const int indexes[] = {0, 9, 26, int(exampleLine.size())};
    for (int k = 0; k < 4; ++k) {
        const int listX = textLeft + qRound(layout.lineAt(0).cursorToX(indexes[k]));
        const int headerX =
            f->Label3->mapTo(f.get(), QPoint(stops.at(k), 0)).x() + f->Label3->contentsMargins().left();
        QVERIFY2(qAbs(listX - headerX) <= 1,
                 qPrintable(QStringLiteral("%1: %2 / %3").arg(k).arg(listX).arg(headerX)));
    }
}

void TestWindow::closeoverLeaves()
{
    PtyLogger logger;
    auto f = openOn(logger);
    QVERIFY(f->link().isOpen());
    QTest::mouseClick(f->closeover, Qt::LeftButton);
    QCOMPARE(f->statusLines().last(), QStringLiteral("退出系统!"));
    QVERIFY(!f->link().isOpen());
    QVERIFY(!f->isVisible());
}

void TestWindow::thousandsOfPointsAtLineSpeed()
{
    PtyLogger logger;
    auto f = openOn(logger);
    QVERIFY(requestUpload(*f, logger));
    const int count = 2100;
    const QByteArray frames = generateFrames(count, 7, 42);
    // 16 bytes of 10 bits at 4800 baud: one frame every 33 ms.
    struct Joined : std::thread {
        using std::thread::thread;
        ~Joined() { join(); } // also when a check below gives up early
    };
    Joined sender([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            logger.send(frames.mid(i * 16, 16));
            std::this_thread::sleep_until(start + std::chrono::microseconds(33333) * (i + 1));
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(f->Lis->count(), count, 150000);
    for (int i = 0; i < count; ++i)
        QCOMPARE(f->Lis->line(i), expectedLine(frames.mid(i * 16, 16)));
    QCOMPARE(f->Lis->currentRow(), count - 1);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
