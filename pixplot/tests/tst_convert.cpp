// The KML document and the HTML map page as lines, the offsets, presets,
// messages and the file as it lands on disk.
#include "core/nmeaconvert.h"

#include "common/clock.h"
#include "tst_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace pixplot::nmeaconvert;

namespace {

PathInput threePoints()
{
    PathInput p;
    p.points = {{118.77613, 31.83539}, {118.7765, 31.8361}, {118.78, 31.837}};
    p.count = 3;
    p.timeSpan = QStringLiteral("2010-05-01 14:03:22 to 2010-05-01 14:05:00");
    return p;
}

void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (qsizetype i = 0; i < qMin(actual.size(), expected.size()); ++i)
        QVERIFY2(
            actual[i] == expected[i],
            qPrintable(
                QStringLiteral("line %1:\n got  [%2]\n want [%3]").arg(i + 1).arg(actual[i], expected[i])));
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT
private slots:
    void init() { common::clock::setFixed(QDateTime(QDate(2010, 5, 1), QTime(14, 3, 22))); }
    void cleanup() { common::clock::clearFixed(); }

    void threePointsLineByLine_data();
    void threePointsLineByLine();
    void kmlOnePointUsesItEverywhere();
    void kmlOffsetsGoToTheirCoordinates();
    void htmlOnePointCentreBoundsAndPush();
    void htmlOffsetsGoToTheirCoordinates();
    void htmlGreenLineSpansWholePath_data();
    void htmlGreenLineSpansWholePath();
    void offsetText_data();
    void offsetText();
    void presetTexts_data();
    void presetTexts();
    void fileNamesBesideThePath();
    void messages();
    void hasPoints_data();
    void hasPoints();
    void writtenAsUtf8WithCrLf();
    void failedWriteKeepsExistingFile();
};

void TestConvert::threePointsLineByLine_data()
{
    QTest::addColumn<QString>("expected"); // in tests/data, as the window writes it (LF here)
    QTest::newRow("kml") << "three-points.kml";
    QTest::newRow("html") << "three-points.html";
}

void TestConvert::threePointsLineByLine()
{
    QFETCH(QString, expected);
    const QStringList lines = expected.endsWith(QLatin1String(".kml")) ? kmlDocumentLines(threePoints(), {})
                                                                       : htmlPageLines(threePoints(), {});
    const QString path =
        qEnvironmentVariable("SUITE_SOURCE_DIR") + QStringLiteral("/pixplot/tests/data/") + expected;
    QStringList want = QString::fromUtf8(testsupport::readAll(path)).split(QLatin1Char('\n'));
    QVERIFY2(want.size() > 1, qPrintable(path));
    want.removeLast(); // after the last line end
    compareLines(lines, want);
}

void TestConvert::kmlOnePointUsesItEverywhere()
{
    PathInput p;
    p.points = {{121.5, 25.04}};
    p.count = 1;
    p.timeSpan = QStringLiteral("2010-05-01 08:00:00 to 2010-05-01 08:00:00");
    const QStringList lines = kmlDocumentLines(p, {});
    QCOMPARE(lines.size(), 36);
    QCOMPARE(lines[9], QStringLiteral("            <coordinates>121.5,25.04,0</coordinates>"));
    QCOMPARE(lines[16], QStringLiteral("            <coordinates>121.5,25.04,0</coordinates>"));
    QCOMPARE(lines[25], QStringLiteral("        <name>1 Point's Track</name>"));
    QCOMPARE(lines[30], QStringLiteral("            121.5,25.04,0"));
    QCOMPARE(lines[31], QStringLiteral("        </coordinates>"));
}

void TestConvert::kmlOffsetsGoToTheirCoordinates()
{
    // Longitude offset into the first number, latitude offset into the second.
    const QStringList lines = kmlDocumentLines(threePoints(), {0.5, -0.25});
    QCOMPARE(lines[9], QStringLiteral("            <coordinates>119.27613,31.58539,0</coordinates>"));
    QCOMPARE(lines[16], QStringLiteral("            <coordinates>119.28,31.587,0</coordinates>"));
    QCOMPARE(lines[30], QStringLiteral("            119.27613,31.58539,0"));
    QCOMPARE(lines[31], QStringLiteral("            119.2765,31.5861,0"));
    QCOMPARE(lines[32], QStringLiteral("            119.28,31.587,0"));
}

void TestConvert::htmlOnePointCentreBoundsAndPush()
{
    PathInput p;
    p.points = {{121.5, 25.04}};
    p.count = 1;
    p.timeSpan = QStringLiteral("x to x");
    const QStringList lines = htmlPageLines(p, {});
    QCOMPARE(lines.size(), 67);
    QCOMPARE(lines[39],
             QStringLiteral("map.setCenter(new GLatLng(25.04,121.5),map.getBoundsZoomLevel("
                            "new GLatLngBounds(new GLatLng(25.04,121.5),new GLatLng(25.04,121.5))));"));
    QCOMPARE(lines[44], QStringLiteral("    points.push(new GLatLng(25.04,121.5));"));
    QCOMPARE(lines[45],
             QStringLiteral("map.addOverlay(new GPolyline(points.slice(0,1),'#00FF00', 5, 0.5));"));
}

void TestConvert::htmlOffsetsGoToTheirCoordinates()
{
    // Latitude offset into the first number of GLatLng, longitude into the second.
    const QStringList lines = htmlPageLines(threePoints(), {0.003265375977, 0.0015125498454});
    QCOMPARE(lines[44], QStringLiteral("    points.push(new GLatLng(31.8369025498454,118.779395375977));"));
    QCOMPARE(lines[46], QStringLiteral("    points.push(new GLatLng(31.8385125498454,118.783265375977));"));
    QVERIFY(lines[39].startsWith(
        QStringLiteral("map.setCenter(new GLatLng(31.8369025498454,118.779395375977),")));
}

void TestConvert::htmlGreenLineSpansWholePath_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
    QTest::newRow("below the old fixed end") << 1106;
    QTest::newRow("at the old fixed end") << 1107;
    QTest::newRow("past the old fixed end") << 2500;
}

void TestConvert::htmlGreenLineSpansWholePath()
{
    QFETCH(int, count);
    PathInput p;
    for (int i = 0; i < count; ++i)
        p.points.append({118.0 + i * 0.0001, 31.0 + i * 0.0001});
    p.count = count;
    const QStringList lines = htmlPageLines(p, {});
    QCOMPARE(lines.size(), 66 + count);
    const int pushes = int(lines.filter(QStringLiteral("points.push(")).size());
    QCOMPARE(pushes, count);
    QCOMPARE(
        lines[44 + count],
        QStringLiteral("map.addOverlay(new GPolyline(points.slice(0,%1),'#00FF00', 5, 0.5));").arg(count));
    QCOMPARE(lines[45 + count],
             QStringLiteral("map.addOverlay(new GPolyline(points.slice(1043, 1072),'#00ffff', 5, 0.5));"));
    QCOMPARE(lines[43 + count],
             QStringLiteral("    points.push(%1);")
                 .arg(QStringLiteral("new GLatLng(%1,%2)")
                          .arg(31.0 + (count - 1) * 0.0001, 0, 'g', 15)
                          .arg(118.0 + (count - 1) * 0.0001, 0, 'g', 15)));
}

void TestConvert::offsetText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("initial box text") << "0.0000000000000" << true << 0.0;
    QTest::newRow("preset") << "0.0015125498454" << true << 0.0015125498454;
    QTest::newRow("negative") << "-0.00145" << true << -0.00145;
    QTest::newRow("plus sign") << "+1.5" << true << 1.5;
    QTest::newRow("integer") << "2" << true << 2.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("trailing point") << "3." << true << 3.0;
    QTest::newRow("blanks around") << "  0.25 " << true << 0.25;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << "   " << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("number then letters") << "0.1x" << false << 0.0;
    QTest::newRow("comma decimal") << "0,5" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("exponent") << "1e3" << false << 0.0;
    QTest::newRow("lone sign") << "-" << false << 0.0;
    QTest::newRow("lone point") << "." << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("inner blank") << "1 .5" << false << 0.0;
}

void TestConvert::offsetText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const std::optional<double> got = parseOffsetText(text);
    QCOMPARE(got.has_value(), valid);
    if (valid)
        QCOMPARE(*got, value);
}

void TestConvert::presetTexts_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("longitude");
    QTest::newRow("none") << int(Preset::None) << "0.0"
                          << "0.0";
    QTest::newRow("map view") << int(Preset::MapView) << "0.0015125498454"
                              << "0.003265375977";
    QTest::newRow("satellite view") << int(Preset::SatelliteView) << "0.003766666"
                                    << "-0.00145";
}

void TestConvert::presetTexts()
{
    QFETCH(int, preset);
    QFETCH(QString, latitude);
    QFETCH(QString, longitude);
    const PresetTexts t = presetOffsetTexts(Preset(preset));
    QCOMPARE(t.latitude, latitude);
    QCOMPARE(t.longitude, longitude);
    QVERIFY(parseOffsetText(t.latitude).has_value());
    QVERIFY(parseOffsetText(t.longitude).has_value());
}

void TestConvert::fileNamesBesideThePath()
{
    QCOMPARE(kmlFileName(QStringLiteral("/data/trip/day1")), QStringLiteral("/data/trip/day1.kml"));
    QCOMPARE(htmlFileName(QStringLiteral("/data/trip/day1")), QStringLiteral("/data/trip/day1.html"));
}

void TestConvert::messages()
{
    QCOMPARE(kmlSavedMessage(QStringLiteral("/t/a.kml"), 1107),
             QStringLiteral("KML文件已保存到\r\n/t/a.kml！\r\n\r\n共 1107个轨迹点。"));
    QCOMPARE(htmlSavedMessage(QStringLiteral("/t/a.html")),
             QStringLiteral("HTML 视图方式文件已保存到\r\n/t/a.html！"));
    // The box is named by its half and its axis.
    QCOMPARE(badOffsetMessage(0, QStringLiteral("x")),
             QStringLiteral("Google Earth 视图的纬度修正“x”不是有效的十进制数，文件未写入。"));
    QCOMPARE(badOffsetMessage(1, QStringLiteral("y")),
             QStringLiteral("Google Earth 视图的经度修正“y”不是有效的十进制数，文件未写入。"));
    QCOMPARE(badOffsetMessage(2, QStringLiteral("")),
             QStringLiteral("网页 视图的纬度修正“”不是有效的十进制数，文件未写入。"));
    QCOMPARE(badOffsetMessage(3, QStringLiteral("1,5")),
             QStringLiteral("网页 视图的经度修正“1,5”不是有效的十进制数，文件未写入。"));
}

void TestConvert::hasPoints_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("expected");
    QTest::newRow("none") << 0 << 0 << false;
    QTest::newRow("one") << 1 << 1 << true;
    QTest::newRow("fewer counted than stored") << 5 << 3 << true;
    QTest::newRow("count past the table") << 2 << 3 << false;
    QTest::newRow("negative count") << 2 << -1 << false;
}

void TestConvert::hasPoints()
{
    QFETCH(int, stored);
    QFETCH(int, count);
    QFETCH(bool, expected);
    PathInput p;
    for (int i = 0; i < stored; ++i)
        p.points.append({118.0 + i, 31.0});
    p.count = count;
    QCOMPARE(pixplot::nmeaconvert::hasPoints(p), expected);
}

void TestConvert::writtenAsUtf8WithCrLf()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PathInput p = threePoints();
    p.timeSpan = QStringLiteral("2010-05-01 14:03:22 to 2010-05-01 14:05:00 路径");
    const QString file = dir.filePath(QStringLiteral("day1.kml"));
    const QStringList lines = kmlDocumentLines(p, {});
    QString error;
    QVERIFY2(writeDocument(file, lines, &error), qPrintable(error));
    const QByteArray bytes = testsupport::readAll(file);
    QVERIFY(bytes.endsWith("</kml>\r\n"));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF")); // no byte order mark before <?xml
    QCOMPARE(bytes.count("\r\n"), qsizetype(lines.size()));
    QCOMPARE(bytes.count('\n'), qsizetype(lines.size()));                           // no bare LF
    QVERIFY(bytes.contains("14:05:00 \xE8\xB7\xAF\xE5\xBE\x84</description>\r\n")); // 路径 in UTF-8
    QCOMPARE(fixtures::crlfLines(bytes), lines);
}

void TestConvert::failedWriteKeepsExistingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The target is a folder: nothing can replace it, and it stays as it was.
    const QString target = dir.filePath(QStringLiteral("busy.kml"));
    QVERIFY(QDir().mkpath(target + QStringLiteral("/inner")));
    QString error;
    QVERIFY(!writeDocument(target, kmlDocumentLines(threePoints(), {}), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(target + QStringLiteral("/inner")).isDir());
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
