// The serial line through a real pseudo-terminal: the test plays the logger
// on the master side, LoggerLink opens the slave as trekport does.
#include "core/loggerframes.h"
#include "core/loggerlink.h"
#include "core/portrules.h"
#include "ptylogger.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace trekport;

namespace {
const QByteArray exampleFrame = QByteArray::fromHex("000741050C0A172D1F0C223879172D43");
const QString exampleLine = QStringLiteral("记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");

struct Host {
    PointStore store;
    QStringList lines;
    LoggerLink link{store, [this] { return int(lines.size()); }};
    Host()
    {
        QObject::connect(&link, &LoggerLink::pointCompleted, &link,
                         [this](const QString &line) { lines << line; });
    }
};

// The host opens the logger's port and asks for the upload; true when the
// logger received the request.
[[nodiscard]] bool uploadRequested(Host &host, PtyLogger &logger)
{
    return host.link.open(logger.devicePath()) == 0 && host.link.requestUpload()
        && logger.receive(2000) == QByteArray("#");
}
} // namespace

class TestSerial : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestReachesLogger();
    void closedPortSendsNothing();
    void framesBecomeLines();
    void kindByteThroughTheLine_data();
    void kindByteThroughTheLine();
    void seventeenBytesAcrossReads();
    void unrequestedBytesDecodedWhereCountingStands();
    void portHeldElsewhereIsInUse();
    void serialNodeWithoutPortIsInvalid();
    void unpluggedLoggerClosesPort();
    void endlessStreamStops_data();
    void endlessStreamStops();
};

void TestSerial::requestReachesLogger()
{
    PtyLogger logger;
    QVERIFY(logger.isValid());
    Host host;
    QCOMPARE(host.link.open(logger.devicePath()), 0);
    QVERIFY(host.link.isOpen());
    QCOMPARE(host.link.port().baudRate(), 4800);
    QVERIFY(host.link.requestUpload());
    QCOMPARE(host.link.port().bytesToWrite(), 0);
    QCOMPARE(logger.receive(2000), QByteArray("#"));
}

void TestSerial::closedPortSendsNothing()
{
    PtyLogger logger;
    Host host;
    QVERIFY(!host.link.requestUpload());
    QCOMPARE(host.link.open(logger.devicePath()), 0);
    host.link.close();
    QVERIFY(!host.link.requestUpload());
    QCOMPARE(logger.receive(200), QByteArray());
}

void TestSerial::framesBecomeLines()
{
    PtyLogger logger;
    Host host;
    QVERIFY(uploadRequested(host, logger));
    // Every byte value must pass the line untouched (CR, LF, XON, XOFF, ^C).
    const QByteArray awkward = QByteArray::fromHex("0D0A4D11130A0D03037F0A0D1A110D0A");
    QVERIFY(logger.send(exampleFrame + awkward + QByteArray::fromHex("04D2")));
    QVERIFY(logger.send(QByteArray::fromHex("41050C0A172D1F0C030079000000")));
    QTRY_COMPARE(host.lines.size(), 3);
    QCOMPARE(host.lines.at(0), exampleLine);
    QCOMPARE(host.lines.at(1),
             QStringLiteral("记录3338| 标记| 17月19日 10:13:03| N03°127.1013',E026°17.1310'"));
    QCOMPARE(host.lines.at(2),
             QStringLiteral("记录1234| 自动| 05月12日 10:23:45| N31°12.0030',E121°00.0000'"));
    QCOMPARE(host.lines.at(2).size(), 55);
    QCOMPARE(host.store.at(2)[ColLatMin], QStringLiteral("12.0030"));
}

void TestSerial::kindByteThroughTheLine_data()
{
    QTest::addColumn<int>("kindByte");
    QTest::addColumn<QString>("kind");
    QTest::newRow("0x41") << 0x41 << QStringLiteral("自动");
    QTest::newRow("0x4D") << 0x4D << QStringLiteral("标记");
    QTest::newRow("0x00") << 0x00 << QStringLiteral("标记");
    QTest::newRow("0x61") << 0x61 << QStringLiteral("标记");
}

void TestSerial::kindByteThroughTheLine()
{
    QFETCH(int, kindByte);
    QFETCH(QString, kind);
    PtyLogger logger;
    Host host;
    QVERIFY(uploadRequested(host, logger));
    QByteArray frame = exampleFrame;
    frame[2] = char(kindByte);
    QVERIFY(logger.send(frame));
    QTRY_COMPARE(host.lines.size(), 1);
    QCOMPARE(host.store.at(0)[ColKind], kind);
    QCOMPARE(host.lines.at(0), QString(exampleLine).replace(7, 2, kind));
}

void TestSerial::seventeenBytesAcrossReads()
{
    PtyLogger logger;
    Host host;
    QVERIFY(uploadRequested(host, logger));
    QVERIFY(logger.send(exampleFrame + QByteArray(1, char(0x00))));
    QTRY_COMPARE(host.lines.size(), 1);
    QTRY_COMPARE(host.link.frameIndex(), 1);
    // The rest of the second frame: the 17th byte was its first.
    QVERIFY(logger.send(exampleFrame.mid(1)));
    QTRY_COMPARE(host.lines.size(), 2);
    QCOMPARE(host.lines.at(1), exampleLine);
}

void TestSerial::unrequestedBytesDecodedWhereCountingStands()
{
    PtyLogger logger;
    Host host;
    QCOMPARE(host.link.open(logger.devicePath()), 0);
    QVERIFY(logger.send(exampleFrame.left(6)));
    QTRY_COMPARE(host.link.frameIndex(), 6);
    QVERIFY(logger.send(exampleFrame.mid(6)));
    QTRY_COMPARE(host.lines.size(), 1);
    QCOMPARE(host.lines.at(0), exampleLine);
    // A new request starts counting afresh, dropping a partial frame.
    QVERIFY(logger.send(exampleFrame.left(3)));
    QTRY_COMPARE(host.link.frameIndex(), 3);
    host.link.requestUpload();
    QCOMPARE(host.link.frameIndex(), 0);
}

void TestSerial::portHeldElsewhereIsInUse()
{
    PtyLogger logger;
    Host first;
    QCOMPARE(first.link.open(logger.devicePath()), 0);
    Host second;
    QCOMPARE(second.link.open(logger.devicePath()), int(ErrPortInUse));
    QVERIFY(!second.link.isOpen());
    first.link.close();
    QCOMPARE(second.link.open(logger.devicePath()), 0);
}

void TestSerial::serialNodeWithoutPortIsInvalid()
{
    // Linux keeps /dev/ttyS nodes for ports that have no UART; such a number
    // names no port, as COM9 on a machine without it.
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("ttyS191"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600, makedev(4, 255)) != 0)
        QSKIP("cannot make a device node here (needs root)");
    Host host;
    QCOMPARE(host.link.open(node), int(ErrBadPortNumber));
    QVERIFY(!host.link.isOpen());
}

void TestSerial::unpluggedLoggerClosesPort()
{
    PtyLogger logger;
    Host host;
    QCOMPARE(host.link.open(logger.devicePath()), 0);
    QSignalSpy lost(&host.link, &LoggerLink::deviceLost);
    logger.unplug();
    QVERIFY(lost.wait(3000));
    QVERIFY(!host.link.isOpen());
    QCOMPARE(lost.count(), 1);
    // Nothing keeps firing once the port is closed.
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
}

void TestSerial::endlessStreamStops_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("listed");
    // Limits scaled down: 50 frames, 300 ms. A frame every 10 ms or slower
    // keeps the garbage under the frame limit within the time limit.
    QTest::newRow("frames without end")
        << generateTrip(80, 0, 1) << "数据没有结束：已收到 50 个数据帧，停止接收。" << 50;
    QTest::newRow("garbage without end")
        << QByteArray(16 * 200, char(0xEE)) << "300 毫秒内没有收到一个有效的数据帧，停止接收。" << 0;
}

void TestSerial::endlessStreamStops()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(int, listed);
    PtyLogger logger;
    Host host;
    host.link.setStreamLimits(50, 300);
    QSignalSpy stopped(&host.link, &LoggerLink::streamStopped);
    QVERIFY(uploadRequested(host, logger));
    // A frame at a time, as a device that keeps sending would.
    for (qsizetype at = 0; at < bytes.size() && stopped.isEmpty(); at += 16) {
        QVERIFY(logger.send(bytes.mid(at, 16)));
        QTest::qWait(10);
    }
    QTRY_COMPARE(stopped.size(), 1);
    QCOMPARE(stopped.at(0).at(0).toString(), message);
    QCOMPARE(host.lines.size(), listed);
    // Nothing more is listed until the next request.
    QVERIFY(logger.send(generateTrip(1, 0, 2)));
    QTest::qWait(100);
    QCOMPARE(host.lines.size(), listed);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
