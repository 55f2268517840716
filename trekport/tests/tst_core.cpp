// Rules of the core without a serial line or a window: frame decoding, list
// lines, status and port texts, SYS.ini, GTXT lines, NAME sentences, KML.
#include "core/commandline.h"
#include "core/framealigner.h"
#include "core/framedecoder.h"
#include "core/gtxtfile.h"
#include "core/kmlexport.h"
#include "core/loggerframes.h"
#include "core/nmeaexport.h"
#include "core/portrules.h"
#include "core/portsettings.h"
#include "core/statustext.h"
#include "core/trackmap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace trekport;

namespace {
// Feeds bytes starting at row `row`; returns the completed lines.
QStringList decode(FrameDecoder &d, PointStore &store, const QByteArray &in, int row = 0)
{
    QStringList lines;
    for (char c : in)
        if (auto line = d.DecodeFrameByte(quint8(c), store, row + int(lines.size())))
            lines << *line;
    return lines;
}

const QByteArray exampleFrame = QByteArray::fromHex("0007410"
                                                    "50C0A172D1F0C2238791"
                                                    "72D43");

TrackRow row(const QString &rec, const QString &kind, const QString &mo, const QString &d, const QString &h,
             const QString &mi, const QString &s, const QString &latD, const QString &latM,
             const QString &lonD, const QString &lonM)
{
    return TrackRow{rec, kind, mo, d, h, mi, s, latD, latM, lonD, lonM};
}
} // namespace

class TestCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodeFrame_data();
    void decodeFrame();
    void mapPoints_data();
    void mapPoints();
    void minutesText_data();
    void minutesText();
    void seventeenthByteStartsNextFrame();
    void restartDropsPartialFrame();
    void storeGrowsBeyondTwoThousand();
    void storeKeepsCellsExactly_data();
    void storeKeepsCellsExactly();
    void statusLines_data();
    void statusLines();
    void resolvePort_data();
    void resolvePort();
    void errorTexts_data();
    void errorTexts();
    void settingsFirstStartWritesZero();
    void settingsReadsFirstLine();
    void settingsFallBackToUserFolder();
    void parseTrackLine_data();
    void parseTrackLine();
    void nmeaExampleByteForByte();
    void nmeaUtcDate_data();
    void nmeaUtcDate();
    void nmeaChecksumLeadingZero();
    void nmeaSkipsRowsThatAreNotNumbers_data();
    void nmeaSkipsRowsThatAreNotNumbers();
    void yearAnswer_data();
    void yearAnswer();
    void decimalDegrees_data();
    void decimalDegrees();
    void kmlOnlyAutomatic();
    void kmlOnlyMarkedAndNumbering();
    void kmlEscapesText();
    void frameEncodingRoundTrip();
    void commandLineOrWindow_data();
    void commandLineOrWindow();
    void alignment_data();
    void alignment();
    void impossiblePositions_data();
    void impossiblePositions();
    void longTripStaysATrip();
};

void TestCore::decodeFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("line");
    QTest::newRow("first example") << exampleFrame
                                   << QStringLiteral(
                                          "记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("kind 0x4D") << QByteArray::fromHex(
        "00074D050C0A172D1F0C2238791"
        "72D43") << QStringLiteral("记录007| 标记| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("kind 0x00") << QByteArray::fromHex(
        "000700050C0A172D1F0C2238791"
        "72D43") << QStringLiteral("记录007| 标记| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("record 1234") << QByteArray::fromHex(
        "04D241050C0A172D1F0C2238791"
        "72D43") << QStringLiteral("记录1234| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("record 65535") << QByteArray::fromHex(
        "FFFF41050C0A172D1F0C2238791"
        "72D43") << QStringLiteral("记录65535| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("fractions 0345 and 0000")
        << QByteArray::fromHex("000141050C0A172D1F0C032D790C0000")
        << QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.0345',E121°12.0000'");
    QTest::newRow("unvalidated bytes")
        << QByteArray::fromHex("0000FF00FF63FFFF00000000000000FF")
        << QStringLiteral("记录000| 标记| 00月255日 99:255:255| N00°00.0000',E000°00.0255'");
}

void TestCore::decodeFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, line);
    FrameDecoder d;
    PointStore store;
    QCOMPARE(decode(d, store, frame), QStringList{line});
    QCOMPARE(listLine(store.at(0)), line);
    QCOMPARE(d.frameIndex(), 0);
}

void TestCore::minutesText_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("f1");
    QTest::addColumn<int>("f2");
    QTest::addColumn<QString>("text");
    QTest::newRow("34 56") << 12 << 34 << 56 << "12.3456";
    QTest::newRow("3 45") << 12 << 3 << 45 << "12.0345";
    QTest::newRow("0 5") << 12 << 0 << 5 << "12.0005";
    QTest::newRow("12 5") << 12 << 12 << 5 << "12.0125";
    QTest::newRow("99 99") << 12 << 99 << 99 << "12.9999";
    QTest::newRow("five digits") << 12 << 100 << 99 << "12.10099";
    QTest::newRow("zero") << 5 << 0 << 0 << "05.0000";
}

void TestCore::minutesText()
{
    QFETCH(int, w);
    QFETCH(int, f1);
    QFETCH(int, f2);
    QFETCH(QString, text);
    QCOMPARE(trekport::minutesText(w, f1, f2), text);
}

void TestCore::seventeenthByteStartsNextFrame()
{
    FrameDecoder d;
    PointStore store;
    QByteArray in = exampleFrame;
    in.append(char(0x04));
    QCOMPARE(decode(d, store, in).size(), 1);
    QCOMPARE(d.frameIndex(), 1);
    // The 17th byte is the high byte of the next record number.
    const QStringList next = decode(d, store,
                                    QByteArray::fromHex("D241050C0A172D1F0C2238791"
                                                        "72D43"),
                                    1);
    QCOMPARE(next.size(), 1);
    QCOMPARE(store.at(1)[ColRecord], QStringLiteral("1234"));
}

void TestCore::restartDropsPartialFrame()
{
    FrameDecoder d;
    PointStore store;
    decode(d, store, exampleFrame.left(5));
    d.restart();
    QCOMPARE(decode(d, store, exampleFrame).size(), 1);
    QCOMPARE(store.at(0)[ColRecord], QStringLiteral("007"));
}

void TestCore::storeGrowsBeyondTwoThousand()
{
    FrameDecoder d;
    PointStore store;
    const QByteArray frames = generateFrames(2500, 0, 7);
    const QStringList lines = decode(d, store, frames);
    QCOMPARE(lines.size(), 2500);
    QCOMPARE(store.size(), 2500);
    QCOMPARE(store.at(2499)[ColRecord], QStringLiteral("2500"));
    QCOMPARE(listLine(store.at(2100)), lines.at(2100));
}

void TestCore::storeKeepsCellsExactly_data()
{
    QTest::addColumn<TrackRow>("cells");
    QTest::addColumn<QString>("listed");
    const TrackRow plain =
        row("007", kindAuto, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567");
    QTest::newRow("logger point") << plain << QString();
    const auto with = [&plain](int column, const QString &text) {
        TrackRow r = plain;
        r[column] = text;
        return r;
    };
    QTest::newRow("long record, zeros kept") << with(ColRecord, "0001234") << QString();
    QTest::newRow("nine digits") << with(ColRecord, "999999999") << QString();
    QTest::newRow("ten digits") << with(ColRecord, "4294967296") << QString();
    QTest::newRow("marked") << with(ColKind, kindMarked) << QString();
    QTest::newRow("other kind") << with(ColKind, "自?") << QString();
    QTest::newRow("empty cells") << TrackRow{} << QString();
    QTest::newRow("not digits") << with(ColDay, "1&") << QString();
    QTest::newRow("wide digits") << with(ColHour, "１０") << QString();
    QTest::newRow("sign") << with(ColMinute, "-5") << QString();
    QTest::newRow("five fraction digits") << with(ColLonMin, "23.45678") << QString();
    QTest::newRow("minutes without fraction") << with(ColLatMin, "12.") << QString();
    QTest::newRow("minutes without whole") << with(ColLatMin, ".3456") << QString();
    QTest::newRow("two points") << with(ColLonMin, "1.2.3") << QString();
    QTest::newRow("listed otherwise")
        << plain << QStringLiteral("记录007| 自动| 05月12日 10:23:45| garbled line");
}

void TestCore::storeKeepsCellsExactly()
{
    QFETCH(TrackRow, cells);
    QFETCH(QString, listed);
    PointStore store;
    store.setRow(3, cells, listed);
    QCOMPARE(store.size(), 4);
    QCOMPARE(store.at(3), cells);
    QCOMPARE(store.line(3), listed.isEmpty() ? listLine(cells) : listed);
    QCOMPARE(store.at(1), TrackRow{});
    // The logger's bytes written over the row make it a logger point again.
    FrameDecoder d;
    const QStringList decoded = decode(d, store, exampleFrame, 3);
    QCOMPARE(decoded, QStringList{store.line(3)});
    QCOMPARE(listLine(store.at(3)),
             QStringLiteral("记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"));
}

void TestCore::statusLines_data()
{
    QTest::addColumn<bool>("withPort");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("closed start") << true << false << "参数4800,N,8,1;"
                                  << "端口1关闭!参数4800,N,8,1;";
    QTest::newRow("open") << true << true << ""
                          << "端口1打开! ";
    QTest::newRow("no prefix") << false << true << "退出系统!"
                               << "退出系统!";
}

void TestCore::statusLines()
{
    QFETCH(bool, withPort);
    QFETCH(bool, open);
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(statusLine(withPort, QStringLiteral("1"), open, text), line);
}

void TestCore::resolvePort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("error");
    QTest::newRow("zero") << "0"
                          << "" << 8002;
    QTest::newRow("negative") << "-2"
                              << "" << 8002;
    QTest::newRow("no such ttyS") << "4000"
                                  << "" << 8002;
    QTest::newRow("beyond 16 bits") << "70000"
                                    << "" << 8002;
    QTest::newRow("words") << "abc"
                           << "" << 13;
    QTest::newRow("empty") << ""
                           << "" << 13;
    QTest::newRow("missing device") << "/dev/trekport-none"
                                    << "" << 8002;
    QTest::newRow("device path") << "/dev/null"
                                 << "/dev/null" << 0;
    if (QFile::exists(QStringLiteral("/dev/ttyS0")))
        QTest::newRow("number one") << "1"
                                    << "/dev/ttyS0" << 0;
}

void TestCore::resolvePort()
{
    QFETCH(QString, text);
    QFETCH(QString, device);
    QFETCH(int, error);
    const PortChoice c = trekport::resolvePort(text);
    QCOMPARE(c.errorNumber, error);
    QCOMPARE(c.deviceName, device);
}

void TestCore::errorTexts_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("68") << 68 << "错误68,设备无效!";
    QTest::newRow("8002") << 8002 << "错误8002,端口号无效!";
    QTest::newRow("8005") << 8005 << "错误8005,端口已被占用!";
    QTest::newRow("8012") << 8012 << "错误8012,端口无法打开!";
    QTest::newRow("13") << 13 << "错误13";
}

void TestCore::errorTexts()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(errorText(number), text);
}

void TestCore::settingsFirstStartWritesZero()
{
    QTemporaryDir dir;
    PortSettings s(dir.path(), dir.filePath(QStringLiteral("user")));
    QCOMPARE(s.load(), QStringLiteral("0"));
    QFile f(dir.filePath(QStringLiteral("SYS.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("0\r\n"));
}

void TestCore::settingsReadsFirstLine()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("SYS.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("3\r\nignored\r\n");
    f.close();
    PortSettings s(dir.path(), dir.filePath(QStringLiteral("user")));
    QCOMPARE(s.load(), QStringLiteral("3"));
    QVERIFY(s.save(QStringLiteral("/dev/pts/7")));
    QCOMPARE(PortSettings(dir.path()).load(), QStringLiteral("/dev/pts/7"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("user/SYS.ini"))));
}

void TestCore::settingsFallBackToUserFolder()
{
    // A program folder that cannot take a file: the user folder keeps it,
    // and what was saved there is what the next start reads.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("not-a-folder"));
    QFile blocker(program);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString user = dir.filePath(QStringLiteral("config/trekport"));
    PortSettings s(program, user);
    QCOMPARE(s.load(), QStringLiteral("0"));
    QVERIFY(QFile::exists(user + QStringLiteral("/SYS.ini")));
    QVERIFY(s.save(QStringLiteral("5")));
    QCOMPARE(PortSettings(program, user).load(), QStringLiteral("5"));
}

void TestCore::parseTrackLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QStringList>("cells");
    const QString l54 = QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    const QStringList cells54{"001", "自动", "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567"};
    QTest::newRow("54") << l54 << true << l54 << cells54;
    QTest::newRow("60 cut to 54") << l54 + QStringLiteral("abcdef") << true << l54 << cells54;
    QTest::newRow("53 skipped") << l54.left(53) << false << QString() << QStringList();
    QTest::newRow("empty skipped") << QString() << false << QString() << QStringList();
    const QString rec4 = QStringLiteral("记录1234| 标记| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QTest::newRow("four-digit record")
        << rec4 << true << rec4
        << QStringList{"1234", "标记", "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567"};
    const QString rec5 = QStringLiteral("记录65535| 自动| 01月02日 03:04:05| N31°12.10099',E121°23.4567'");
    QTest::newRow("five digits twice")
        << rec5 + QStringLiteral("\t") << true << rec5
        << QStringList{"65535", "自动", "01", "02", "03", "04", "05", "31", "12.10099", "121", "23.4567"};
    // Pieces found, but the line they make is shorter than a list line:
    // listed as its first 54 characters, which read back the same.
    const QString edited = QStringLiteral("记录1| 自动| 5月2日 1:2:3| N31°1.3',E121°2.4'  hand-edited note");
    QTest::newRow("short pattern match")
        << edited << true << edited.left(54)
        << QStringList{"1", "自动", "5", "2", "1", "2", "3", "31", "1.3", "121", "2.4"};
    // Not list lines: left out however long they are.
    QTest::newRow("junk") << QString(60, QLatin1Char('x')) << false << QString() << QStringList();
    QTest::newRow("NAME sentence") << QStringLiteral(
        "$GPRMC,022345,A,3112.3456,N,12123.4567,E,0.0,0.0,120526,,,A*6D")
                                   << false << QString() << QStringList();
}

void TestCore::parseTrackLine()
{
    QFETCH(QString, line);
    QFETCH(bool, kept);
    QFETCH(QString, listed);
    QFETCH(QStringList, cells);
    const auto parsed = ParseTrackLine(line);
    QCOMPARE(parsed.has_value(), kept);
    if (!kept)
        return;
    QCOMPARE(parsed->listed, listed);
    QCOMPARE(QStringList(parsed->row.begin(), parsed->row.end()), cells);
    // What is listed is what a save writes: it must read back the same.
    const auto reread = ParseTrackLine(listed);
    QVERIFY(reread.has_value());
    QCOMPARE(reread->listed, listed);
    QCOMPARE(reread->row, parsed->row);
    if (listed.startsWith(QStringLiteral("记录")) && listed.endsWith(QLatin1Char('\'')))
        QCOMPARE(listLine(parsed->row), listed);
}

void TestCore::nmeaExampleByteForByte()
{
    const TrackRow r = row("001", kindAuto, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567");
    QCOMPARE(*BuildNmeaRecord(r, QStringLiteral("10")),
             QStringLiteral("$GPRMC,022345.000,A,3112.3456,N,12123.4567,E,0.00,,120510,,*1E\r\n"
                            "$GPGGA,022345.000,3112.3456,N,12123.4567,E,1,06,1.0,0,M,,,,0000*12"));
}

void TestCore::nmeaUtcDate_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("utcTime");
    QTest::addColumn<QString>("utcDate");
    QTest::newRow("07:59:59 1 May") << "05"
                                    << "01"
                                    << "075959"
                                    << "10"
                                    << "235959"
                                    << "300410";
    QTest::newRow("00:30 1 March 12") << "03"
                                      << "01"
                                      << "003000"
                                      << "12"
                                      << "163000"
                                      << "290212";
    QTest::newRow("00:30 1 March 13") << "03"
                                      << "01"
                                      << "003000"
                                      << "13"
                                      << "163000"
                                      << "280213";
    QTest::newRow("08:00 keeps date") << "03"
                                      << "01"
                                      << "080000"
                                      << "13"
                                      << "000000"
                                      << "010313";
    QTest::newRow("05:00 15 July") << "07"
                                   << "15"
                                   << "050000"
                                   << "13"
                                   << "210000"
                                   << "140713";
    QTest::newRow("1 January steps year") << "01"
                                          << "01"
                                          << "050000"
                                          << "13"
                                          << "210000"
                                          << "311212";
    QTest::newRow("1 January year 00") << "01"
                                       << "01"
                                       << "050000"
                                       << "00"
                                       << "210000"
                                       << "311299";
    QTest::newRow("1 May to 30 April") << "05"
                                       << "01"
                                       << "010000"
                                       << "13"
                                       << "170000"
                                       << "300413";
    QTest::newRow("1 August to 31 July") << "08"
                                         << "01"
                                         << "010000"
                                         << "13"
                                         << "170000"
                                         << "310713";
    QTest::newRow("23:59 stays") << "12"
                                 << "31"
                                 << "235959"
                                 << "13"
                                 << "155959"
                                 << "311213";
}

void TestCore::nmeaUtcDate()
{
    QFETCH(QString, month);
    QFETCH(QString, day);
    QFETCH(QString, time);
    QFETCH(QString, year);
    QFETCH(QString, utcTime);
    QFETCH(QString, utcDate);
    const TrackRow r = row("001", kindAuto, month, day, time.mid(0, 2), time.mid(2, 2), time.mid(4, 2), "31",
                           "12.3456", "121", "23.4567");
    const QStringList lines = BuildNmeaRecord(r, year)->split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 2);
    const QStringList rmc = lines[0].split(QLatin1Char(','));
    QCOMPARE(rmc[1], utcTime + QStringLiteral(".000"));
    QCOMPARE(rmc[9], utcDate);
    QCOMPARE(lines[1].split(QLatin1Char(','))[1], utcTime + QStringLiteral(".000"));
    for (const QString &s : lines) {
        // Every sentence carries the XOR of what lies between $ and *.
        const qsizetype star = s.indexOf(QLatin1Char('*'));
        int x = 0;
        for (qsizetype i = 1; i < star; ++i)
            x ^= s[i].unicode();
        QCOMPARE(s.mid(star + 1), QString::asprintf("%02X", x));
    }
}

void TestCore::nmeaChecksumLeadingZero()
{
    QCOMPARE(NmeaChecksum(QStringLiteral("$AK*")), QStringLiteral("0A"));
    QCOMPARE(NmeaChecksum(QStringLiteral("$A*")), QStringLiteral("41"));
    QCOMPARE(NmeaChecksum(QStringLiteral("$*")), QStringLiteral("00"));
}

void TestCore::nmeaSkipsRowsThatAreNotNumbers_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::newRow("hour") << int(ColHour) << "1x";
    QTest::newRow("day") << int(ColDay) << "  ";
    QTest::newRow("month") << int(ColMonth) << "五月";
    QTest::newRow("latitude minutes") << int(ColLatMin) << "12.34a6";
    QTest::newRow("longitude degrees") << int(ColLonDeg) << "";
}

void TestCore::nmeaSkipsRowsThatAreNotNumbers()
{
    QFETCH(int, column);
    QFETCH(QString, value);
    PointStore store;
    store.setRow(0, row("001", kindAuto, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567"));
    store.setRow(1, store.at(0));
    store.setCell(1, Column(column), value);
    store.setRow(2, store.at(0));
    int skipped = -1;
    const QStringList lines = buildNameLines(store, 3, QStringLiteral("10"), &skipped);
    QCOMPARE(skipped, 1);
    QCOMPARE(lines.size(), 4);
    QVERIFY(!BuildNmeaRecord(store.at(1), QStringLiteral("10")).has_value());
}

void TestCore::yearAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("year");
    QTest::newRow("2011") << "2011"
                          << "11";
    QTest::newRow("10") << "10"
                        << "10";
    QTest::newRow("9") << "9"
                       << "26";
    QTest::newRow("abc") << "abc"
                         << "26";
    QTest::newRow("20x1") << "20x1"
                          << "26";
    QTest::newRow("empty") << ""
                           << "26";
}

void TestCore::yearAnswer()
{
    QFETCH(QString, answer);
    QFETCH(QString, year);
    QCOMPARE(applyYearAnswer(QStringLiteral("26"), answer), year);
}

void TestCore::decimalDegrees_data()
{
    QTest::addColumn<QString>("degrees");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("lon") << "121"
                         << "23.4567"
                         << "121.390945";
    QTest::newRow("lat") << "31"
                         << "12.3456"
                         << "31.20576";
    QTest::newRow("zero") << "31"
                          << "00.0000"
                          << "31";
    QTest::newRow("59.9999") << "31"
                             << "59.9999"
                             << "31.9999983333333";
    QTest::newRow("rounds up") << "31"
                               << "00.0002"
                               << "31.0000033333333";
    QTest::newRow("five digits") << "31"
                                 << "12.10099"
                                 << "31.2016831666667";
    QTest::newRow("many fraction digits") << "31"
                                          << "12.345678901234567890123456"
                                          << "31.2057613150206";
    QTest::newRow("many digits, rounds down") << "31"
                                              << "12.000000000000001234567891234"
                                              << "31.2";
}

void TestCore::decimalDegrees()
{
    QFETCH(QString, degrees);
    QFETCH(QString, minutes);
    QFETCH(QString, text);
    QCOMPARE(trekport::decimalDegrees(degrees, minutes), text);
}

void TestCore::kmlOnlyAutomatic()
{
    PointStore store;
    store.setRow(0, row("001", kindAuto, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567"));
    store.setRow(1, row("002", kindAuto, "05", "12", "10", "24", "00", "31", "00.0000", "121", "00.0000"));
    const KmlDocument doc = buildKmlDocument(store, 2);
    QCOMPARE(doc.marked, 0);
    const QStringList expected{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                               "<kml xmlns=\"http://www.opengis.net/kml/2.2\">",
                               "<Document>",
                               "<name>New Paths</name>",
                               "<description>05/12 10:23:45 TO 05/12 10:24:00</description>",
                               "<Style id=\"style0\"><LineStyle>",
                               "<color>ff00ffaa</color>",
                               "<width>2</width>",
                               "</LineStyle></Style>",
                               "  <Placemark>",
                               "    <name>Auto Track</name>",
                               "    <description>My Auto Track ......</description>",
                               "    <styleUrl>#style0</styleUrl>",
                               "    <LineString>",
                               "    <coordinates>",
                               "      121.390945,31.20576,0",
                               "      121,31,0",
                               "    </coordinates>",
                               "    </LineString>",
                               "  </Placemark>",
                               "</Document>",
                               "</kml>"};
    QCOMPARE(doc.lines, expected);
}

void TestCore::kmlOnlyMarkedAndNumbering()
{
    PointStore store;
    store.setRow(0, row("007", kindMarked, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567"));
    store.setRow(1, row("1234", kindMarked, "06", "01", "11", "00", "00", "31", "00.0000", "121", "00.0000"));
    const KmlDocument doc = buildKmlDocument(store, 2);
    QCOMPARE(doc.marked, 2);
    QVERIFY(!doc.lines.join(QString()).contains(QStringLiteral("Style")));
    QVERIFY(!doc.lines.join(QString()).contains(QStringLiteral("LineString")));
    QCOMPARE(doc.lines.mid(4, 8),
             (QStringList{"<description>05/12 10:23:45 TO 06/01 11:00:00</description>", "  <Placemark>",
                          "    <name>NO.007</name>",
                          "    <description> 05/12 10:23:45 N31°12.3456',E121°23.4567'</description>",
                          "    <Point>", "      <coordinates>121.390945,31.20576,0</coordinates>",
                          "    </Point>", "  </Placemark>"}));
    QCOMPARE(doc.lines.at(13), QStringLiteral("    <name>NO.1234</name>"));
}

void TestCore::kmlEscapesText()
{
    PointStore store;
    store.setRow(0, row("0<7", kindMarked, "05", "1&", "10", "23", "45", "31", "12.3456", "121", "23.4567"));
    const QString all = buildKmlDocument(store, 1).lines.join(QLatin1Char('\n'));
    QVERIFY(all.contains(QStringLiteral("<name>NO.0&lt;7</name>")));
    QVERIFY(all.contains(QStringLiteral("05/1&amp; 10:23:45")));
    QVERIFY(!all.contains(QStringLiteral("0<7")));
}

void TestCore::frameEncodingRoundTrip()
{
    // Every pair of fraction bytes prints a minutes text the logger side can
    // send again and that decodes to the same text.
    for (int f1 = 0; f1 < 256; ++f1) {
        for (int f2 = 0; f2 < 256; ++f2) {
            const QString text = trekport::minutesText(7, f1, f2);
            const auto m = encodeMinutes(text);
            QVERIFY2(m.has_value(), qPrintable(text));
            QCOMPARE(trekport::minutesText((*m)[0], (*m)[1], (*m)[2]), text);
        }
    }
    FrameDecoder d;
    PointStore store;
    const QByteArray frames = generateFrames(20, 3, 11);
    decode(d, store, frames);
    // Fraction bytes are not unique (6,121 and 61,21 print alike), so the
    // frames sent again must decode to the same lines.
    QByteArray again;
    for (int i = 0; i < 20; ++i)
        again += encodeFrame(store.at(i)).value();
    FrameDecoder d2;
    PointStore store2;
    decode(d2, store2, again);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(listLine(store2.at(i)), listLine(store.at(i)));
    QVERIFY(!encodeFrame(store.at(0)).value().isEmpty());
    TrackRow bad = store.at(0);
    bad[ColLatMin] = QStringLiteral("12.3000"); // 3000 splits into no two byte texts
    QVERIFY(!encodeFrame(bad).has_value());
}

void TestCore::commandLineOrWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("nothing") << QStringList{"trekport"} << false;
    QTest::newRow("qt platform") << QStringList{"trekport", "-platform", "offscreen"} << false;
    QTest::newRow("download") << QStringList{"trekport", "--port", "1", "--download"} << true;
    QTest::newRow("help") << QStringList{"trekport", "-h"} << true;
}

void TestCore::commandLineOrWindow()
{
    QFETCH(QStringList, args);
    QFETCH(bool, commandLine);
    QCOMPARE(wantsCommandLine(args), commandLine);
}

void TestCore::mapPoints_data()
{
    // One row each; the map takes those with a position that can exist.
    QTest::addColumn<TrackRow>("cells");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<bool>("marked");
    QTest::newRow("auto") << row("1", kindAuto, "05", "12", "10", "23", "45", "31", "12.3456", "121", "23.4567")
                          << true << false;
    QTest::newRow("marked") << row("2", kindMarked, "05", "12", "10", "23", "46", "31", "30.0000", "121", "0.6000")
                            << true << true;
    QTest::newRow("minutes of 60") << row("3", kindAuto, "05", "12", "10", "23", "47", "31", "60.0000", "121", "1.0")
                                   << false << false;
    QTest::newRow("latitude over 90") << row("4", kindMarked, "05", "12", "10", "23", "48", "95", "1.0", "121", "1.0")
                                      << false << false;
    QTest::newRow("no position") << row("5", kindAuto, "05", "12", "10", "23", "49", "", "", "", "") << false
                                 << false;
    QTest::newRow("text") << row("6", kindAuto, "05", "12", "10", "23", "50", "north", "1.0", "121", "1.0")
                          << false << false;
}

void TestCore::mapPoints()
{
    QFETCH(TrackRow, cells);
    QFETCH(bool, drawn);
    QFETCH(bool, marked);
    PointStore store;
    store.setRow(0, cells);
    const QList<TrackMapPoint> points = trackMapPoints(store, 1);
    QCOMPARE(points.size(), drawn ? 1 : 0);
    if (!drawn)
        return;
    QCOMPARE(points[0].marked, marked);
    QCOMPARE(points[0].latitude, cells[ColLatDeg].toDouble() + cells[ColLatMin].toDouble() / 60);
    QCOMPARE(points[0].longitude, cells[ColLonDeg].toDouble() + cells[ColLonMin].toDouble() / 60);
    QCOMPARE(trackMapPoints(store, 0).size(), 0); // only the listed rows
}

namespace {
// A frame of the trip with one byte set to value.
QByteArray withByte(QByteArray frames, int frame, int byte, int value)
{
    frames[frame * frameSize + byte] = char(value);
    return frames;
}
} // namespace

void TestCore::alignment_data()
{
    QTest::addColumn<QByteArray>("sent");     // frames as the logger holds them
    QTest::addColumn<QByteArray>("received"); // what the line delivered
    QTest::addColumn<int>("fault");           // first frame touched by the fault; -1 none
    QTest::addColumn<int>("skipped");         // frames reported skipped; -1: some

    const QByteArray trip = generateTrip(60, 7, 3);
    // Odd values a logger's memory may hold, here and there: listed as sent.
    QByteArray odd = withByte(trip, 0, 3, 0);                // month 0, the first frame
    odd = withByte(odd, 9, 3, 255);                          // month 255
    odd = withByte(odd, 20, 5, 255);                         // hour 255
    odd = withByte(withByte(odd, 31, 10, 100), 31, 11, 99);  // fraction 100/99
    odd = withByte(odd, 32, 2, 0);                           // kind 0x00
    odd = withByte(withByte(odd, 45, 0, 0x30), 45, 1, 0x39); // record jumps
    odd = withByte(odd, 59, 4, 0);                           // day 0, the last frame
    QTest::newRow("odd frames in a sound stream") << odd << odd << -1 << 0;
    const QByteArray edge = QByteArray::fromHex("000741050C0A172D1F0C223879172D43"
                                                "04D24D050C0A172D1F0C032D790C0000"
                                                "FFFF0001010000000000000000000102");
    QTest::newRow("record numbers all over") << edge << edge << -1 << 0;
    QTest::newRow("one odd frame alone")
        << withByte(edge.left(16), 0, 3, 13) << withByte(edge.left(16), 0, 3, 13) << -1 << 0;
    for (int at : {16 * 10 + 0, 16 * 25 + 3, 16 * 40 + 8, 16 * 52 + 14})
        QTest::addRow("byte %d dropped", at) << trip << QByteArray(trip).remove(at, 1) << at / 16 << -1;
    QTest::newRow("two faults") << trip << QByteArray(trip).remove(16 * 40 + 5, 1).remove(16 * 12 + 2, 1)
                                << 12 << -1;
    QTest::newRow("byte of the last frame dropped")
        << trip << QByteArray(trip).remove(16 * 59 + 6, 1) << 59 << 1;
    QTest::newRow("byte doubled") << trip << QByteArray(trip).insert(16 * 33 + 9, trip.at(16 * 33 + 9)) << 33
                                  << -1;
    QTest::newRow("noise burst") << trip
                                 << QByteArray(trip).insert(16 * 21 + 4, QByteArray::fromHex("ff3c0091a7"))
                                 << 21 << -1;
    QTest::newRow("bytes left over") << trip << trip + QByteArray::fromHex("0041050C0A") << 60 << 1;
}

void TestCore::alignment()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, received);
    QFETCH(int, fault);
    QFETCH(int, skipped);
    FrameAligner aligner;
    QByteArray listed;
    // In pieces, as reads of the line hand them over.
    for (qsizetype i = 0; i < received.size(); i += 7)
        listed += aligner.push(received.mid(i, 7));
    listed += aligner.finish();
    const int reported = aligner.takeSkipped();
    QCOMPARE(listed.size() % frameSize, 0);
    if (fault < 0) {
        QCOMPARE(listed, sent);
        QCOMPARE(reported, skipped);
        return;
    }
    QVERIFY(reported > 0);
    if (skipped >= 0)
        QCOMPARE(reported, skipped);
    // Every frame before the fault; after it nearly all, none made up.
    QCOMPARE(listed.left(fault * frameSize), sent.left(fault * frameSize));
    const int n = int(sent.size() / frameSize);
    QVERIFY2(listed.size() / frameSize >= n - 2 * reported, qPrintable(QString::number(listed.size() / 16)));
    for (qsizetype at = (fault + 1) * frameSize; at < listed.size(); at += frameSize) {
        QVERIFY(FrameAligner::isPossible(reinterpret_cast<const uchar *>(listed.constData()) + at));
        QVERIFY(sent.contains(listed.mid(at, frameSize)));
    }
}

void TestCore::impossiblePositions_data()
{
    QTest::addColumn<QString>("latDeg");
    QTest::addColumn<QString>("latMin");
    QTest::addColumn<QString>("lonDeg");
    QTest::addColumn<QString>("lonMin");
    QTest::addColumn<bool>("impossible");
    QTest::newRow("Nanjing") << "31"
                             << "12.3456"
                             << "121"
                             << "23.4567" << false;
    QTest::newRow("north pole") << "90"
                                << "00.0000"
                                << "000"
                                << "00.0000" << false;
    QTest::newRow("date line") << "00"
                               << "00.0000"
                               << "180"
                               << "00.0000" << false;
    QTest::newRow("latitude 99") << "99"
                                 << "99.9999"
                                 << "999"
                                 << "99.9999" << true;
    QTest::newRow("just past the pole") << "90"
                                        << "00.0001"
                                        << "010"
                                        << "00.0000" << true;
    QTest::newRow("longitude 181") << "31"
                                   << "00.0000"
                                   << "181"
                                   << "00.0000" << true;
    QTest::newRow("minutes 60") << "31"
                                << "60.0000"
                                << "121"
                                << "00.0000" << true;
    QTest::newRow("longitude minutes 127") << "03"
                                           << "12.7101"
                                           << "026"
                                           << "127.1310" << true;
    QTest::newRow("not numbers") << "3X"
                                 << "12.3456"
                                 << "121"
                                 << "2?.4567" << false;
}

void TestCore::impossiblePositions()
{
    QFETCH(QString, latDeg);
    QFETCH(QString, latMin);
    QFETCH(QString, lonDeg);
    QFETCH(QString, lonMin);
    QFETCH(bool, impossible);
    const TrackRow r = row("001", kindAuto, "05", "12", "10", "23", "45", latDeg, latMin, lonDeg, lonMin);
    QCOMPARE(positionImpossible(r), impossible);
}

void TestCore::longTripStaysATrip()
{
    // Exactly the points asked for, every one a fix a logger could hold, and
    // after days of driving still near where the trip began.
    const int n = 100000;
    const QByteArray trip = generateTrip(n, 10, 1);
    QCOMPARE(trip.size(), qsizetype(n) * frameSize);
    const auto *bytes = reinterpret_cast<const uchar *>(trip.constData());
    for (int i = 0; i < n; ++i) {
        const uchar *f = bytes + qsizetype(i) * frameSize;
        QVERIFY2(FrameAligner::isPossible(f), qPrintable(QString::number(i)));
        // Within about 50 km of Nanjing: 31° to 32° N, 118° to 119° E.
        QVERIFY2(f[8] >= 31 && f[8] <= 32 && f[12] >= 118 && f[12] <= 119, qPrintable(QString::number(i)));
        QCOMPARE((f[0] << 8) | f[1], (i + 1) & 0xFFFF);
    }
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
