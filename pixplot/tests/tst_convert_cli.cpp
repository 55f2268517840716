// pixplot --path FILE --to-kml / --to-html run as a user runs them: the real
// program, real path files (written here and from the corpus), the files it
// leaves beside the path file, and what gpsbabel makes of the KML.
#include "tst_files.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

namespace {

using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;
using fixtures::writeFile;

// Two fixes 1 minute apart: 31°50.1234'N 118°46.5678'E, then 31°50.2000'N 118°46.6000'E.
const QByteArray kPath = "$GPGGA,063000,3150.1234,N,11846.5678,E,1,08,1.0,10.0,M,0.0,M,,*00\r\n"
                         "$GPRMC,063000,A,3150.1234,N,11846.5678,E,0.0,0.0,010510,,,A*00\r\n"
                         "$GPRMC,063030,V,3150.1500,N,11846.5800,E,0.0,0.0,010510,,,A*00\r\n"
                         "$GPRMC,063100,A,3150.2000,N,11846.6000,E,0.0,0.0,010510,,,A*00\r\n";

// The line of a text file that starts with prefix (after indentation), or "".
QString lineStartingWith(const QString &file, const QString &prefix)
{
    const QStringList lines = QString::fromUtf8(testsupport::readAll(file)).split(QStringLiteral("\r\n"));
    for (const QString &l : lines)
        if (l.trimmed().startsWith(prefix))
            return l.trimmed();
    return {};
}

// Columns of the corpus's nmea/expected.tsv for one file.
QHash<QString, QString> expectedRow(const QString &file)
{
    const QStringList lines = QString::fromUtf8(testsupport::readAll(testsupport::corpusDir()
                                                                     + QStringLiteral("/nmea/expected.tsv")))
                                  .split('\n');
    if (lines.isEmpty())
        return {};
    const QStringList head = lines.first().split('\t');
    for (const QString &l : lines) {
        const QStringList cells = l.split('\t');
        if (cells.value(0) != file)
            continue;
        QHash<QString, QString> row;
        for (qsizetype i = 0; i < head.size(); ++i)
            row.insert(head[i], cells.value(i));
        return row;
    }
    return {};
}

// The fields of the first "$GPRMC" line with status A.
QStringList firstAcceptedRmc(const QString &file)
{
    const QString text = QString::fromLatin1(testsupport::readAll(file));
    for (const QString &line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
        const QStringList f = line.split(',');
        if (f.value(0) == QLatin1String("$GPRMC") && f.value(2) == QLatin1String("A"))
            return f;
    }
    return {};
}

// "ddmm.mmmm" (degreeDigits = 2) or "dddmm.mmmm" (3) as decimal degrees.
double nmeaDegrees(const QString &angle, int degreeDigits)
{
    return angle.left(degreeDigits).toDouble() + angle.mid(degreeDigits).toDouble() / 60.0;
}

} // namespace

class TestConvertCli : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void kmlBesideThePathFile();
    void kmlOffsets();
    void htmlPresetsAndOffsets_data();
    void htmlPresetsAndOffsets();
    void existingFileRefusedUnlessOverwrite();
    void nothingWrittenWhenOneTargetExists();
    void usageErrors_data();
    void usageErrors();
    void badPathFile_data();
    void badPathFile();
    void corpusLogReadBackByGpsbabel_data();
    void corpusLogReadBackByGpsbabel();
};

void TestConvertCli::initTestCase()
{
    QVERIFY2(QFileInfo(pixplotProgram()).isExecutable(),
             qPrintable(QStringLiteral("build the pixplot program first: %1").arg(pixplotProgram())));
}

void TestConvertCli::kmlBesideThePathFile()
{
    const QString path = file(QStringLiteral("trip.txt"));
    QVERIFY(writeFile(path, kPath));
    const Run r = runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString kml = file(QStringLiteral("trip.kml"));
    QVERIFY(QFileInfo::exists(kml));
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("trip.html"))));
    QCOMPARE(r.out, QStringLiteral("KML文件已保存到\n%1！\n\n共 2个轨迹点。\n").arg(kml));
    QCOMPARE(lineStartingWith(kml, QStringLiteral("<description>2")),
             QStringLiteral("<description>2010-05-01 14:30:00 to 2010-05-01 14:31:00</description>"));
    QCOMPARE(lineStartingWith(kml, QStringLiteral("<name>2")),
             QStringLiteral("<name>2 Point's Track</name>"));
    QCOMPARE(lineStartingWith(kml, QStringLiteral("118.77613,")), QStringLiteral("118.77613,31.83539,0"));
    QCOMPARE(lineStartingWith(kml, QStringLiteral("118.776666")),
             QStringLiteral("118.776666666667,31.8366666666667,0"));
}

void TestConvertCli::kmlOffsets()
{
    const QString path = file(QStringLiteral("trip.txt"));
    QVERIFY(writeFile(path, kPath));
    const Run r = runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml"),
                              QStringLiteral("--lat-offset"), QStringLiteral("0.5"),
                              QStringLiteral("--lon-offset=-0.25")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString kml = file(QStringLiteral("trip.kml"));
    QCOMPARE(lineStartingWith(kml, QStringLiteral("<coordinates>118")),
             QStringLiteral("<coordinates>118.52613,32.33539,0</coordinates>"));
}

void TestConvertCli::htmlPresetsAndOffsets_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("firstPush");
    QTest::newRow("no options") << QStringList{} << "points.push(new GLatLng(31.83539,118.77613));";
    QTest::newRow("none") << QStringList{QStringLiteral("--preset"), QStringLiteral("none")}
                          << "points.push(new GLatLng(31.83539,118.77613));";
    QTest::newRow("map") << QStringList{QStringLiteral("--preset"), QStringLiteral("map")}
                         << "points.push(new GLatLng(31.8369025498454,118.779395375977));";
    QTest::newRow("satellite") << QStringList{QStringLiteral("--preset"), QStringLiteral("satellite")}
                               << "points.push(new GLatLng(31.839156666,118.77468));";
    QTest::newRow("map, latitude by hand")
        << QStringList{QStringLiteral("--preset"), QStringLiteral("map"), QStringLiteral("--lat-offset"),
                       QStringLiteral("0.5")}
        << "points.push(new GLatLng(32.33539,118.779395375977));";
    QTest::newRow("negative longitude by hand")
        << QStringList{QStringLiteral("--lon-offset"), QStringLiteral("-0.00145")}
        << "points.push(new GLatLng(31.83539,118.77468));";
}

void TestConvertCli::htmlPresetsAndOffsets()
{
    QFETCH(QStringList, options);
    QFETCH(QString, firstPush);
    const QString path = file(QStringLiteral("trip.txt"));
    QVERIFY(writeFile(path, kPath));
    const Run r =
        runPixplot(QStringList{QStringLiteral("--path"), path, QStringLiteral("--to-html")} + options);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString html = file(QStringLiteral("trip.html"));
    QCOMPARE(r.out, QStringLiteral("HTML 视图方式文件已保存到\n%1！\n").arg(html));
    QCOMPARE(lineStartingWith(html, QStringLiteral("points.push(")), firstPush);
    QCOMPARE(lineStartingWith(html, QStringLiteral("Log Date")),
             QStringLiteral("Log Date And Time: 2010-05-01 14:30:00 to 2010-05-01 14:31:00"));
    QCOMPARE(lineStartingWith(html, QStringLiteral("map.addOverlay(new GPolyline(points.slice(0,")),
             QStringLiteral("map.addOverlay(new GPolyline(points.slice(0,2),'#00FF00', 5, 0.5));"));
}

void TestConvertCli::existingFileRefusedUnlessOverwrite()
{
    const QString path = file(QStringLiteral("trip.txt"));
    const QString kml = file(QStringLiteral("trip.kml"));
    QVERIFY(writeFile(path, kPath));
    QVERIFY(writeFile(kml, "mine\r\n"));

    Run r = runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml")});
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(kml), qPrintable(r.err));
    QCOMPARE(testsupport::readAll(kml), QByteArray("mine\r\n"));

    r = runPixplot(
        {QStringLiteral("--path"), path, QStringLiteral("--to-kml"), QStringLiteral("--overwrite")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(testsupport::readAll(kml).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
}

void TestConvertCli::nothingWrittenWhenOneTargetExists()
{
    const QString path = file(QStringLiteral("trip.txt"));
    QVERIFY(writeFile(path, kPath));
    QVERIFY(writeFile(file(QStringLiteral("trip.html")), "page"));
    const Run r =
        runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml"), QStringLiteral("--to-html")});
    QCOMPARE(r.code, 1);
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("trip.kml"))));
    QCOMPARE(testsupport::readAll(file(QStringLiteral("trip.html"))), QByteArray("page"));
}

void TestConvertCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    // Every row but the first also names a good path file.
    QTest::newRow("no path") << QStringList{QStringLiteral("--to-kml")};
    QTest::newRow("unknown preset") << QStringList{QStringLiteral("--to-html"), QStringLiteral("--preset"),
                                                   QStringLiteral("terrain")};
    QTest::newRow("preset for kml") << QStringList{QStringLiteral("--to-kml"), QStringLiteral("--preset"),
                                                   QStringLiteral("map")};
    QTest::newRow("offset not a number")
        << QStringList{QStringLiteral("--to-kml"), QStringLiteral("--lat-offset"), QStringLiteral("abc")};
    QTest::newRow("offset with comma")
        << QStringList{QStringLiteral("--to-html"), QStringLiteral("--lon-offset"), QStringLiteral("0,5")};
    QTest::newRow("offset without a conversion")
        << QStringList{QStringLiteral("--lat-offset"), QStringLiteral("1")};
    // A map page and a conversion are two commands: neither is written.
    for (const char *conversion : {"--to-kml", "--to-html"})
        QTest::newRow(conversion) << QStringList{QString::fromLatin1(conversion), QStringLiteral("--to-map"),
                                                 QStringLiteral("map.html")};
}

void TestConvertCli::usageErrors()
{
    QFETCH(QStringList, args);
    const QString path = file(QStringLiteral("trip.txt"));
    QVERIFY(writeFile(path, kPath));
    if (QTest::currentDataTag() != QByteArray("no path"))
        args << QStringLiteral("--path") << path;
    const Run r = runPixplot(args);
    QCOMPARE(r.code, 2);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("trip.txt")});
}

void TestConvertCli::badPathFile_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing file") << false << QByteArray();
    QTest::newRow("no accepted fix") << true
                                     << QByteArray(
                                            "$GPRMC,063030,V,3150.1500,N,11846.5800,E,0,0,010510,,,A*00\r\n"
                                            "garbage line\r\n\r\n");
    QTest::newRow("empty file") << true << QByteArray();
}

void TestConvertCli::badPathFile()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    const QString path = file(QStringLiteral("trip.txt"));
    if (exists)
        QVERIFY(writeFile(path, content));
    const Run r =
        runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml"), QStringLiteral("--to-html")});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(path), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("trip.kml"))));
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("trip.html"))));
}

void TestConvertCli::corpusLogReadBackByGpsbabel_data()
{
    QTest::addColumn<QString>("log");
    QTest::newRow("exiftool Geotag2, LF") << QStringLiteral("exiftool_Geotag2.log");
    QTest::newRow("gpsbabel nmea+ms, CR LF") << QStringLiteral("gpsbabel_nmea+ms.txt");
}

void TestConvertCli::corpusLogReadBackByGpsbabel()
{
    QFETCH(QString, log);
    if (testsupport::corpusDir().isEmpty())
        QSKIP("the corpus is not beside the checkout");
    if (!testsupport::hasProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed (scripts/deps installs it)");
    const QHash<QString, QString> expected = expectedRow(log);
    QVERIFY(!expected.isEmpty());

    // A copy, since the output lands beside the path file. The name keeps a
    // three-letter extension, as the window expects of path files.
    const QString path = file(QStringLiteral("log.txt"));
    QVERIFY(QFile::copy(testsupport::corpusDir() + QStringLiteral("/nmea/") + log, path));
    const Run r = runPixplot({QStringLiteral("--path"), path, QStringLiteral("--to-kml")});
    QVERIFY2(r.code == 0, qPrintable(r.err));

    QByteArray gpx, err;
    QCOMPARE(testsupport::runProgram(QStringLiteral("gpsbabel"),
                                     {QStringLiteral("-i"), QStringLiteral("kml"), QStringLiteral("-f"),
                                      file(QStringLiteral("log.kml")), QStringLiteral("-o"),
                                      QStringLiteral("unicsv"), QStringLiteral("-F"), QStringLiteral("-")},
                                     &gpx, &err),
             0);
    // unicsv lists the two pins, then the track points when asked with -t;
    // count them through the track read.
    QByteArray track;
    QCOMPARE(
        testsupport::runProgram(QStringLiteral("gpsbabel"),
                                {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("kml"),
                                 QStringLiteral("-f"), file(QStringLiteral("log.kml")), QStringLiteral("-o"),
                                 QStringLiteral("unicsv"), QStringLiteral("-F"), QStringLiteral("-")},
                                &track, &err),
        0);
    QStringList rows = QString::fromUtf8(track).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!rows.isEmpty());
    rows.removeFirst(); // header
    QCOMPARE(rows.size(), expected.value(QStringLiteral("grep_rmc_status_A")).toInt());
    // The first track point is the first accepted RMC fix of the log.
    const QStringList fix = firstAcceptedRmc(path);
    QVERIFY(fix.size() > 6);
    const QStringList first = rows.first().split(',');
    QVERIFY2(std::fabs(first.value(1).toDouble() - nmeaDegrees(fix[3], 2)) < 1e-6, qPrintable(rows.first()));
    QVERIFY2(std::fabs(first.value(2).toDouble() - nmeaDegrees(fix[5], 3)) < 1e-6, qPrintable(rows.first()));
    // ... and lies within a few metres of where gpsbabel puts the log's first fix.
    QVERIFY(std::fabs(first.value(1).toDouble() - expected.value(QStringLiteral("first_lat")).toDouble())
            < 1e-4);
    QVERIFY(std::fabs(first.value(2).toDouble() - expected.value(QStringLiteral("first_lon")).toDouble())
            < 1e-4);

    QStringList pins = QString::fromUtf8(gpx).split('\n', Qt::SkipEmptyParts);
    QVERIFY(pins.size() >= 3);
    QVERIFY2(pins[1].contains(QStringLiteral("\"Start\"")), qPrintable(pins[1]));
    QVERIFY2(pins[2].contains(QStringLiteral("\"End\"")), qPrintable(pins[2]));
}

QTEST_GUILESS_MAIN(TestConvertCli)
#include "tst_convert_cli.moc"
