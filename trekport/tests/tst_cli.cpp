// The trekport command line as a user runs it: the real binary, a real
// pseudo-terminal or the logger simulator on the other end, real files.
#include "common/clock.h"
#include "common/scripteddialogs.h"
#include "common/testsupport.h"
#include "common/textfile.h"
#include "formfixture.h"
#include "core/framedecoder.h"
#include "core/loggerframes.h"
#include "ptylogger.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace trekport;

namespace {
const QByteArray frames = QByteArray::fromHex("000741050C0A172D1F0C223879172D43"
                                              "04D24D050C0A172D1F0C032D790C0000"
                                              "FFFF0001010000000000000000000102");
const QString lineA = QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
const QString lineB = QStringLiteral("记录002| 标记| 05月01日 07:59:59| N31°12.0345',E121°12.0000'");
const QString lineC = QStringLiteral("记录1234| 自动| 01月01日 05:00:00| N31°12.10099',E121°23.4567'");

struct Run {
    int code = -1;
    QStringList out;
    QString err;
    bool loggerOk = false; // with trekportWithLogger
};

Run trekportRun(const QStringList &args)
{
    const testsupport::Run t =
        testsupport::run(testsupport::builtProgram(QStringLiteral("trekport")), args, {}, 60000);
    return {t.code, t.outLines(), t.err.trimmed()};
}

// Runs trekport while, on another thread, the logger reads the request,
// sends bytes and, with unplug, is pulled out. loggerOk: it read "#" and sent.
Run trekportWithLogger(const QStringList &args, PtyLogger &logger, const QByteArray &bytes, bool unplug)
{
    bool ok = false;
    std::thread player([&] {
        ok = logger.receive(10000) == "#" && logger.send(bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(unplug ? 300 : 0));
        if (unplug)
            logger.unplug();
    });
    Run r = trekportRun(args);
    player.join();
    r.loggerOk = ok;
    return r;
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void downloadPrintsWhatTheWindowLists();
    void portThatCannotOpen_data();
    void portThatCannotOpen();
    void unpluggedDuringDownload();
    void unpluggedDownloadKeepsItsPoints();
    void usageErrors_data();
    void usageErrors();
    void helpListsEveryOption();
    void importAndExport();
    void existingOutputRefused();
    void missingInput();
    void outputIsAnInput_data();
    void outputIsAnInput();
    void impossiblePositionsLeftOut_data();
    void impossiblePositionsLeftOut();
    void oddFramesOfASoundUploadListed();
    void downloadWithoutPoints();
    void simulatorGeneratedPoints();
    void simulatorTripReadByPixplot();
    void simulatorDropsAByte_data();
    void simulatorDropsAByte();
    void simulatorSendsGtxtFile();

private:
    QString path(const QString &name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestCli::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
}

void TestCli::downloadPrintsWhatTheWindowLists()
{
    PtyLogger logger;
    const Run r = trekportWithLogger({"--port", logger.devicePath(), "--download", "--quiet-ms", "2000"},
                                     logger, frames, false);
    QVERIFY(r.loggerOk);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out,
             (QStringList{"记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'",
                          "记录1234| 标记| 05月12日 10:23:45| N31°12.0345',E121°12.0000'",
                          "记录65535| 标记| 01月01日 00:00:00| N00°00.0000',E000°00.0012'"}));

    // The same frames through the window.
    PtyLogger second;
    common::ScriptedDialogs dialogs;
    MainForm form(dialogs, dir_->path(), dir_->filePath(QStringLiteral("user")));
    form.port_cs->setCurrentText(second.devicePath());
    QTest::mouseClick(form.cmd_openp, Qt::LeftButton);
    QTest::mouseClick(form.cmd_upload, Qt::LeftButton);
    QCOMPARE(second.receive(5000), QByteArray("#"));
    QVERIFY(second.send(frames));
    QTRY_COMPARE(form.Lis->count(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(form.Lis->line(i), r.out.at(i));
}

void TestCli::portThatCannotOpen_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::newRow("zero") << "0"
                          << "端口0关闭!错误8002,端口号无效!";
    QTest::newRow("words") << "abc"
                           << "端口abc关闭!错误13";
    QTest::newRow("missing device") << "/dev/trekport-none"
                                    << "端口/dev/trekport-none关闭!错误8002,端口号无效!";
}

void TestCli::portThatCannotOpen()
{
    QFETCH(QString, port);
    QFETCH(QString, message);
    const QString out = path(QStringLiteral("never.kml"));
    const Run r = trekportRun({"--port", port, "--download", "--export-kml", out});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, message);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!QFile::exists(out));
}

void TestCli::unpluggedDuringDownload()
{
    PtyLogger logger;
    const QString port = logger.devicePath();
    const Run r = trekportWithLogger({"--port", port, "--download", "--quiet-ms", "30000"}, logger,
                                     frames.left(16), true);
    QVERIFY(r.loggerOk);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out.size(), 1);
    QCOMPARE(r.err, QStringLiteral("端口%1关闭!错误68,设备无效!").arg(port));
}

void TestCli::unpluggedDownloadKeepsItsPoints()
{
    // The logger pulled out before the quiet time: what arrived is written.
    PtyLogger logger;
    const QString port = logger.devicePath();
    const QString gtxt = path(QStringLiteral("kept.gtxt"));
    const Run r =
        trekportWithLogger({"--port", port, "--download", "--quiet-ms", "30000", "--export-gtxt", gtxt},
                           logger, frames.left(32), true);
    QVERIFY(r.loggerOk);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err,
             QStringLiteral("端口%1关闭!错误68,设备无效!\n已写入GTXT文件%2，共2个轨迹点。").arg(port, gtxt));
    QCOMPARE(r.out.size(), 2);
    QCOMPARE(testsupport::readAll(gtxt), common::joinLinesCrLf(r.out, common::TextEncoding::Gbk));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("download without port")
        << QStringList{"--download"} << "--download 和 --port 须一起使用。";
    QTest::newRow("port without download")
        << QStringList{"--port", "1"} << "--download 和 --port 须一起使用。";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "未知选项：--frobnicate";
    QTest::newRow("missing value") << QStringList{"--import"} << "选项 --import 缺少值";
    QTest::newRow("quiet not a number") << QStringList{"--port", "1", "--download", "--quiet-ms", "soon"}
                                        << "--quiet-ms 须是正整数（毫秒）。";
    QTest::newRow("nothing to do") << QStringList{"--overwrite"}
                                   << "没有要做的事：请给出 --port P --download 或 --import FILE。";
    QTest::newRow("year of one digit")
        << QStringList{"--import", "x.gtxt", "--export-name", "o.txt", "--year", "9"}
        << "--year 须是年份，如 2010 或 10。";
    QTest::newRow("year not digits") << QStringList{"--import", "x.gtxt", "--export-name",
                                                    "o.txt",    "--year", "20x0"}
                                     << "--year 须是年份，如 2010 或 10。";
    QTest::newRow("one file twice") << QStringList{"--import", "x.gtxt",       "--export-kml",
                                                   "o.x",      "--export-gpx", "o.x"}
                                    << "同一个文件不能作为两个输出：o.x";
    QTest::newRow("stray argument") << QStringList{"--import", "x.gtxt", "extra"} << "多余的参数：extra";
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = trekportRun(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.err, message);
}

void TestCli::helpListsEveryOption()
{
    const Run r = trekportRun({"-h"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.value(0).startsWith(QStringLiteral("Usage: trekport ")));
    const QString text = r.out.join(QLatin1Char('\n'));
    for (const char *option : {"-?, -h, --help", "--port <P>", "--download", "--quiet-ms <N>",
                               "--import <FILE>", "--export-gtxt <OUT>", "--export-name <OUT>", "--year <Y>",
                               "--export-kml <OUT>", "--export-gpx <OUT>", "--zone <ZONE>", "--overwrite"})
        QVERIFY2(text.contains(QStringLiteral("\n  ") + QLatin1String(option)), option);
}

void TestCli::importAndExport()
{
    const QString a = path(QStringLiteral("a.gtxt"));
    const QString b = path(QStringLiteral("b.txt"));
    writeFile(a, common::joinLinesCrLf({lineA, lineB}, common::TextEncoding::Gbk));
    writeFile(b, (lineC + QStringLiteral("\n")).toUtf8());
    const QString gtxt = path(QStringLiteral("all.gtxt"));
    const QString name = path(QStringLiteral("all.txt"));
    const QString kml = path(QStringLiteral("all.kml"));
    const Run r = trekportRun({"--import", a, "--import", b, "--export-gtxt", gtxt, "--export-name", name,
                               "--year", "2010", "--export-kml", kml});
    QCOMPARE(r.code, 0);
    // Messages on stderr: stdout is for the point lines of a download.
    QVERIFY(r.out.isEmpty());
    QCOMPARE(
        r.err.split(QLatin1Char('\n')),
        (QStringList{"已读取" + a + "，共2个轨迹点。", "已读取" + b + "，共1个轨迹点。",
                     "已写入GTXT文件" + gtxt + "，共3个轨迹点。", "已写入NAME文件" + name + "，共3个轨迹点。",
                     "已写入KML文件" + kml + "，共 1个标记点, 2个自动轨迹点。"}));
    QCOMPARE(testsupport::readAll(gtxt),
             common::joinLinesCrLf({lineA, lineB, lineC}, common::TextEncoding::Gbk));
    const QStringList nmea = common::splitLines(QString::fromLatin1(testsupport::readAll(name)));
    QCOMPARE(nmea.size(), 6);
    QCOMPARE(nmea.at(0), QStringLiteral("$GPRMC,022345.000,A,3112.3456,N,12123.4567,E,0.00,,120510,,*1E"));
    QCOMPARE(nmea.at(1),
             QStringLiteral("$GPGGA,022345.000,3112.3456,N,12123.4567,E,1,06,1.0,0,M,,,,0000*12"));
    QCOMPARE(nmea.at(4).section(QLatin1Char(','), 9, 9), QStringLiteral("311209"));
    const QString doc = QString::fromUtf8(testsupport::readAll(kml));
    QVERIFY(doc.contains(QStringLiteral("<description>05/12 10:23:45 TO 01/01 05:00:00</description>")));
    QVERIFY(doc.contains(QStringLiteral("      121.390945,31.2016831666667,0\r\n")));
}

void TestCli::existingOutputRefused()
{
    const QString a = path(QStringLiteral("a.gtxt"));
    writeFile(a, common::joinLinesCrLf({lineA}, common::TextEncoding::Gbk));
    const QString kml = path(QStringLiteral("old.kml"));
    const QString name = path(QStringLiteral("new.txt"));
    writeFile(kml, "precious");
    Run r = trekportRun({"--import", a, "--export-name", name, "--export-kml", kml});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, "文件已经存在：" + kml + "（加 --overwrite 覆盖）");
    QCOMPARE(testsupport::readAll(kml), QByteArray("precious"));
    QVERIFY(!QFile::exists(name));
    r = trekportRun({"--import", a, "--export-name", name, "--export-kml", kml, "--overwrite"});
    QCOMPARE(r.code, 0);
    QVERIFY(testsupport::readAll(kml).startsWith("<?xml"));
    QVERIFY(QFile::exists(name));
}

void TestCli::missingInput()
{
    const QString out = path(QStringLiteral("out.gtxt"));
    const Run r = trekportRun({"--import", path(QStringLiteral("gone.gtxt")), "--export-gtxt", out});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("gone.gtxt")));
    QVERIFY(!QFile::exists(out));
}

void TestCli::outputIsAnInput_data()
{
    QTest::addColumn<QString>("input"); // as given to --import, in the test's folder
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("output"); // the same file, spelled otherwise
    QTest::newRow("same name, KML") << "t.gtxt"
                                    << "--export-kml"
                                    << "t.gtxt";
    QTest::newRow("./ spelling, GTXT") << "t.gtxt"
                                       << "--export-gtxt"
                                       << "./t.gtxt";
    QTest::newRow("through a folder, NAME") << "./t.gtxt"
                                            << "--export-name"
                                            << "sub/../t.gtxt";
    QTest::newRow("symbolic link, GPX") << "t.gtxt"
                                        << "--export-gpx"
                                        << "link.gtxt";
    QTest::newRow("hard link, GTXT") << "hard.gtxt"
                                     << "--export-gtxt"
                                     << "t.gtxt";
}

void TestCli::outputIsAnInput()
{
    QFETCH(QString, input);
    QFETCH(QString, option);
    QFETCH(QString, output);
    const QByteArray track = common::joinLinesCrLf({lineA, lineB}, common::TextEncoding::Gbk) + "a note\r\n";
    writeFile(path(QStringLiteral("t.gtxt")), track);
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(path(QStringLiteral("t.gtxt")), path(QStringLiteral("link.gtxt"))));
    QCOMPARE(
        ::link(qPrintable(path(QStringLiteral("t.gtxt"))), qPrintable(path(QStringLiteral("hard.gtxt")))), 0);
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir_->path());
    const Run r = trekportRun({"--import", input, option, output, "--overwrite", "--year", "2010"});
    QDir::setCurrent(before);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.err, "输出文件不能是读取的文件：" + output);
    QCOMPARE(testsupport::readAll(path(QStringLiteral("t.gtxt"))), track);
}

void TestCli::impossiblePositionsLeftOut_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArrayList>("absent"); // what the file must not hold
    QTest::newRow("GTXT keeps the list") << "--export-gtxt"
                                         << "已写入GTXT文件%1，共4个轨迹点。" << QByteArrayList();
    QTest::newRow("NAME") << "--export-name"
                          << "已写入NAME文件%1，共2个轨迹点，2个轨迹点的坐标不可能存在，未写入。"
                          << QByteArrayList{"9999.9999", "3160.0000"};
    QTest::newRow("KML")
        << "--export-kml"
        << "已写入KML文件%1，共 1个标记点, 1个自动轨迹点，2个轨迹点的坐标不可能存在，未写入。"
        << QByteArrayList{"100.6", "121,32,0"};
    QTest::newRow("GPX")
        << "--export-gpx"
        << "已写入GPX文件%1，共 1个标记点, 1个自动轨迹点，2个轨迹点的坐标不可能存在，未写入。"
        << QByteArrayList{"100.6", "lat=\"32\""};
}

void TestCli::impossiblePositionsLeftOut()
{
    QFETCH(QString, option);
    QFETCH(QString, message);
    QFETCH(QByteArrayList, absent);
    // A day that does not exist either: the position alone decides.
    const QString nowhere = QStringLiteral("记录003| 标记| 02月30日 10:00:00| N99°99.9999',E999°99.9999'");
    const QString minutes = QStringLiteral("记录004| 自动| 05月12日 10:00:00| N31°60.0000',E121°00.0000'");
    const QString in = path(QStringLiteral("in.gtxt"));
    writeFile(in, common::joinLinesCrLf({lineA, nowhere, lineB, minutes}, common::TextEncoding::Gbk));
    const QString out = path(QStringLiteral("out"));
    const Run r = trekportRun({"--import", in, option, out, "--year", "2010"});
    QCOMPARE(r.err.split(QLatin1Char('\n')).last(), message.arg(out));
    QCOMPARE(r.code, absent.isEmpty() ? 0 : 1);
    const QByteArray written = testsupport::readAll(out);
    if (absent.isEmpty()) {
        QVERIFY(written.contains(nowhere.toUtf8())
                || written.contains(common::encodeText(nowhere, common::TextEncoding::Gbk)));
        return;
    }
    for (const QByteArray &text : absent)
        QVERIFY2(!written.contains(text), text.constData());
    if (option == QLatin1String("--export-gpx") || option == QLatin1String("--export-kml"))
        QCOMPARE(testsupport::runProgram(QStringLiteral("xmllint"), {"--noout", out}), 0);
}

void TestCli::oddFramesOfASoundUploadListed()
{
    // Frames a logger's memory may hold, here and there in a sound upload:
    // listed exactly as a frame-by-frame decoding lists them, exit 0.
    QByteArray upload = generateTrip(40, 5, 2);
    for (const auto &[frame, byte, value] : {std::tuple{0, 3, 0},
                                             {7, 3, 255},
                                             {15, 5, 255},
                                             {16, 10, 100},
                                             {22, 2, 0},
                                             {30, 0, 0x77},
                                             {39, 4, 0}})
        upload[frame * frameSize + byte] = char(value);
    PointStore store;
    FrameDecoder decoder;
    QStringList expected;
    for (char c : upload)
        if (const auto line = decoder.DecodeFrameByte(quint8(c), store, int(expected.size())))
            expected << *line;
    PtyLogger logger;
    const Run r = trekportWithLogger({"--port", logger.devicePath(), "--download", "--quiet-ms", "1000"},
                                     logger, upload, false);
    QVERIFY(r.loggerOk);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, expected);
}

void TestCli::downloadWithoutPoints()
{
    PtyLogger logger;
    const Run r = trekportWithLogger({"--port", logger.devicePath(), "--download", "--quiet-ms", "500"},
                                     logger, QByteArray(), false);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("没有收到轨迹点"));
    // Bytes that make no frame: skipped, and still no point.
    PtyLogger second;
    const Run partial = trekportWithLogger({"--port", second.devicePath(), "--download", "--quiet-ms", "500"},
                                           second, QByteArray::fromHex("0007410"), false);
    QCOMPARE(partial.code, 1);
    QCOMPARE(partial.err, QStringLiteral("1 个数据帧无效（可能丢失了字节），已跳过\n没有收到轨迹点"));
}

namespace {
// Starts the simulator and returns the device it plays on.
QString startSimulator(QProcess &sim, const QStringList &args)
{
    sim.start(testsupport::builtProgram(QStringLiteral("trekport-logger-sim")), args);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(10000))
        return QString();
    return QString::fromUtf8(sim.readLine()).trimmed();
}
} // namespace

void TestCli::simulatorGeneratedPoints()
{
    QProcess sim;
    const QString device = startSimulator(sim, {"--points", "40", "--mark-every", "5", "--once"});
    QVERIFY(device.startsWith(QStringLiteral("/dev/")));
    const QString kml = path(QStringLiteral("sim.kml"));
    const Run r = trekportRun({"--port", device, "--download", "--quiet-ms", "2000", "--export-kml", kml});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.size(), 40);
    for (int i = 0; i < 40; ++i) {
        QVERIFY2(r.out.at(i).startsWith(QStringLiteral("记录%1| %2| ")
                                            .arg(i + 1, 3, 10, QLatin1Char('0'))
                                            .arg((i + 1) % 5 ? "自动" : "标记")),
                 qPrintable(r.out.at(i)));
        QCOMPARE(r.out.at(i).size(), 54);
    }
    QCOMPARE(r.err, "已写入KML文件" + kml + "，共 8个标记点, 32个自动轨迹点。");
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

void TestCli::simulatorTripReadByPixplot()
{
    const QString pixplot = testsupport::builtProgram(QStringLiteral("pixplot"));
    if (!QFileInfo::exists(pixplot))
        QSKIP("pixplot not built");
    QProcess sim;
    const QString device = startSimulator(sim, {"--points", "60", "--fast", "--once"});
    const QString name = path(QStringLiteral("trip"));
    const Run r = trekportRun({"--port", device, "--download", "--quiet-ms", "2000", "--export-name", name});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.size(), 60);
    const testsupport::Run read = testsupport::run(pixplot, {"--read-path", name}, {}, 60000);
    QCOMPARE(read.code, 0);
    const QStringList rows = read.outLines();
    QCOMPARE(rows.size(), 60);
    QDateTime previousTime;
    double previousLon = 0, previousLat = 0;
    for (const QString &row : rows) {
        const QStringList f = row.split(QLatin1Char('\t'));
        QCOMPARE(f.size(), 6);
        const QDateTime time = QDateTime::fromString(f.at(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(time.isValid(), qPrintable(row));
        QVERIFY2(f.at(3).toInt() >= 0, qPrintable(row));
        const double lon = f.at(4).toDouble(), lat = f.at(5).toDouble();
        if (previousTime.isValid()) {
            QVERIFY2(time > previousTime, qPrintable(row));
            QCOMPARE(time.date(), previousTime.date());
            // Metres between fixes, on a local flat approximation.
            const double dy = (lat - previousLat) * 111320.0;
            const double dx = (lon - previousLon) * 111320.0 * std::cos(lat * M_PI / 180.0);
            const double metres = std::hypot(dx, dy);
            const double speed = metres / double(previousTime.secsTo(time));
            QVERIFY2(speed > 0.5 && speed < 40.0, qPrintable(row + QStringLiteral(" %1 m/s").arg(speed)));
        }
        previousTime = time;
        previousLon = lon;
        previousLat = lat;
    }
    QVERIFY(sim.waitForFinished(5000));
}

void TestCli::simulatorDropsAByte_data()
{
    QTest::addColumn<QStringList>("play");
    QTest::addColumn<int>("drop");
    QTest::addColumn<int>("lost"); // points at most missing after the fault
    // A trip of 200 points: bytes of a record number, a month, a minute,
    // a position; then one in the last frame, whose point alone is lost.
    const QStringList trip{"--points", "200", "--mark-every", "9"};
    QTest::newRow("record number") << trip << 100 * 16 + 1 << 2;
    QTest::newRow("minute") << trip << 57 * 16 + 6 << 2;
    QTest::newRow("longitude fraction") << trip << 140 * 16 + 15 << 2;
    QTest::newRow("last frame") << trip << 199 * 16 + 4 << 1;
    QTest::newRow("random points") << QStringList{"--random", "--points", "120"} << 60 * 16 + 9 << 2;
}

void TestCli::simulatorDropsAByte()
{
    QFETCH(QStringList, play);
    QFETCH(int, drop);
    QFETCH(int, lost);
    // The whole upload once per kind of points.
    static QHash<QStringList, Run> wholeRuns;
    if (!wholeRuns.contains(play)) {
        QProcess whole;
        const QString device = startSimulator(whole, play + QStringList{"--fast", "--once"});
        wholeRuns.insert(play, trekportRun({"--port", device, "--download", "--quiet-ms", "1000"}));
        QVERIFY(whole.waitForFinished(5000));
    }
    const Run good = wholeRuns.value(play);
    QProcess faulty;
    const QString device =
        startSimulator(faulty, play + QStringList{"--fast", "--once", "--drop-byte", QString::number(drop)});
    const QString kml = path(QStringLiteral("garbled.kml"));
    const Run bad = trekportRun({"--port", device, "--download", "--quiet-ms", "1000", "--export-kml", kml});
    QCOMPARE(good.code, 0);
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.contains(QStringLiteral("个数据帧无效（可能丢失了字节），已跳过")), qPrintable(bad.err));
    // Every point before the fault, nearly all after it, nothing invented.
    const int faultPoint = drop / 16;
    QCOMPARE(bad.out.mid(0, faultPoint), good.out.mid(0, faultPoint));
    QVERIFY2(bad.out.size() >= good.out.size() - lost, qPrintable(QString::number(bad.out.size())));
    for (const QString &line : bad.out.mid(faultPoint + 1))
        QVERIFY2(good.out.contains(line), qPrintable(line));
    // The file written holds only places that exist.
    QVERIFY(QFile::exists(kml));
    QVERIFY(!bad.err.contains(QStringLiteral("不可能存在")));
    QVERIFY(faulty.waitForFinished(5000));
}

void TestCli::simulatorSendsGtxtFile()
{
    const QStringList lines{lineA, lineB, lineC};
    const QString in = path(QStringLiteral("sim.gtxt"));
    writeFile(in, common::joinLinesCrLf(lines, common::TextEncoding::Gbk));
    QProcess sim;
    const QString device = startSimulator(sim, {"--gtxt", in, "--fast", "--once"});
    const Run r = trekportRun({"--port", device, "--download", "--quiet-ms", "2000"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, lines);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
