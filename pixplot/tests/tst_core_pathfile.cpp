// Reading NMEA path files: line ends, offsets, gpsbabel-written logs and the
// real receiver logs of the corpus.
#include "core/gpxfile.h"
#include "core/pathfile.h"
#include "core/photomatch.h"
#include "core/nmeasentence.h"
#include "tst_files.h"

#include <QDateTime>
#include <QHash>

#include <cmath>
#include <limits>

using pixplot::GeoPoint;
using pixplot::PathPoint;
using pixplot::PhotoRow;
namespace systemfinction = pixplot::systemfinction;

namespace {

using fixtures::writeBytes;

const char *const FixA = "$GPRMC,120000,A,3150.1234,N,11846.5678,E,0.0,0.0,010510,,,A*74";
const char *const FixB = "$GPRMC,120001.50,A,3150.1240,N,11846.5680,E,0.0,0.0,010510,,,A*74";
const char *const FixC = "$GNRMC,120101,A,3150.1250,S,11846.5690,W,0.0,0.0,010510,,,A*74";

QStringList times(const QList<PathPoint> &points)
{
    QStringList out;
    for (const PathPoint &p : points)
        out << p.pointTime();
    return out;
}

QList<qint64> offsets(const QList<PathPoint> &points)
{
    QList<qint64> out;
    for (const PathPoint &p : points)
        out << p.offsetSeconds;
    return out;
}

} // namespace

class TestPathFile : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void offsetsOverMidnightAndYearEnd();
    void unreadableFile();
    void garbageBetweenFixes();
    void gpsbabelWrittenLog();
    void corpusLogs_data();
    void corpusLogs();
    void gpxAttributeCount_data();
    void gpxAttributeCount();
    void motionThroughMatching_data();
    void motionThroughMatching();
    void corpusAltitudes_data();
    void corpusAltitudes();
};

void TestPathFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QList<QByteArray> lines{FixA,
                                  "$GPGGA,120000,3150.1234,N,11846.5678,E,1,08,0.9,545.4,M,46.9,M,,*47",
                                  "",
                                  FixB,
                                  "$GPRMC,120030,V,3150.1234,N,11846.5678,E,,,010510,,",
                                  FixC};
    QTest::newRow("CR LF") << lines.join("\r\n") + "\r\n";
    QTest::newRow("LF") << lines.join("\n") + "\n";
    QTest::newRow("lone CR") << lines.join("\r") + "\r";
    QTest::newRow("no final line end") << lines.join("\r\n");
    // The reader takes 1 MiB at a time: a CR LF split across two blocks ends
    // one line, and a junk line longer than a block is passed over.
    const qsizetype block = qsizetype(1) << 20;
    QByteArray split = lines[0] + "\r\n";
    split += QByteArray(block - split.size() - 1, 'x') + "\r\n";
    QTest::newRow("CR LF across blocks") << split + lines.mid(1).join("\r\n");
    QTest::newRow("junk over three blocks")
        << lines[0] + "\n" + QByteArray(3 * block, '$') + "\r\n" + lines.mid(1).join("\r\n");
    QTest::newRow("mixed") << lines[0] + "\n" + lines[1] + "\r\n" + lines[2] + "\r" + lines[3] + "\r\n\r\n"
            + lines[4] + "\n" + lines[5];
}

void TestPathFile::lineEnds()
{
    QFETCH(QByteArray, bytes);
    const QString path = writeBytes(*dir, "path.txt", bytes);
    QList<PathPoint> points{PathPoint{1, 7, "stale"}};
    QString error;
    QVERIFY(pixplot::pathfile::readPathFile(path, &points, &error));
    QCOMPARE(times(points),
             (QStringList{"2010-05-01 20:00:00", "2010-05-01 20:00:01", "2010-05-01 20:01:01"}));
    QCOMPARE(offsets(points), (QList<qint64>{0, 1, 61}));
    QCOMPARE(points[0].positionText(), QString("N31°50.1234',E118°46.5678'"));
    QCOMPARE(points[2].positionText(), QString("S31°50.1250',W118°46.5690'"));
}

void TestPathFile::offsetsOverMidnightAndYearEnd()
{
    const QByteArray bytes = "$GPRMC,155958,A,3150.1234,N,11846.5678,E,,,311210,,\r\n"
                             "$GPRMC,160003,A,3150.1234,N,11846.5678,E,,,311210,,\r\n"
                             "$GPRMC,000001,A,3150.1234,N,11846.5678,E,,,010111,,\r\n"
                             "$GPRMC,235959,A,3150.1234,N,11846.5678,E,,,280212,,\r\n"
                             "$GPRMC,000000,A,3150.1234,N,11846.5678,E,,,290212,,\r\n";
    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(writeBytes(*dir, "year.name", bytes), &points));
    QCOMPARE(times(points),
             (QStringList{"2010-12-31 23:59:58", "2011-01-01 00:00:03", "2011-01-01 08:00:01",
                          "2012-02-29 07:59:59", "2012-02-29 08:00:00"}));
    const qint64 toLeap = (365 + 31 + 28) * qint64(86400) + 8 * 3600 + 1;
    QCOMPARE(offsets(points), (QList<qint64>{0, 5, 8 * 3600 + 3, toLeap, toLeap + 1}));

    // Recomputing after the first point changes moves every offset with it.
    points.removeFirst();
    pixplot::pathfile::computeOffsets(points);
    QCOMPARE(points.constFirst().offsetSeconds, qint64(0));
    QCOMPARE(points[1].offsetSeconds, qint64(8 * 3600 - 2));
}

void TestPathFile::unreadableFile()
{
    QList<PathPoint> points{PathPoint{1, 1, "y"}};
    QString error;
    QVERIFY(!pixplot::pathfile::readPathFile(file("missing.txt"), &points, &error));
    QVERIFY(points.isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(!pixplot::pathfile::readPathFile(dir->path(), &points, &error)); // a folder
}

void TestPathFile::garbageBetweenFixes()
{
    QByteArray bytes = QByteArray(FixA) + "\r\n";
    bytes += QByteArray("\x00\xFF\xFE$GPRMC,\xB9\xFA\r\n", 14);                          // binary noise
    bytes += "$GPRMC,120000,A,3150.1234,N,11846.5678,E,0.0,0.0\r\n";                     // cut short
    bytes += "$GPRMC,120000,A,,N,,E,0.0,0.0,010510,,\r\n";                               // no position
    bytes += "$GPRMC,120000,A,3150.1234,N,11846.5678,E,0.0,0.0,010510,,$GPRMC,1200\r\n"; // two run together
    bytes += QByteArray(FixB) + "\r\n";
    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(writeBytes(*dir, "noisy.txt", bytes), &points));
    QCOMPARE(times(points),
             (QStringList{"2010-05-01 20:00:00", "2010-05-01 20:00:00", "2010-05-01 20:00:01"}));
}

void TestPathFile::gpsbabelWrittenLog()
{
    if (!testsupport::hasProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed");
    struct Fix {
        const char *utc;
        double lat, lon;
    };
    // Over midnight UTC, over the local year end, in all four quarters.
    const QList<Fix> fixes{{"2010-12-31T15:59:58Z", 31.83539, 118.77613},
                           {"2010-12-31T16:00:03Z", -33.856789, -70.123456},
                           {"2010-12-31T23:59:59Z", 47.661981, -122.326393},
                           {"2011-01-01T00:00:01Z", -45.457633, 167.15275},
                           {"2012-02-28T20:00:00Z", 0.5, 0.25}};
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    for (const Fix &f : fixes)
        gpx += QString("<trkpt lat=\"%1\" lon=\"%2\"><time>%3</time><fix>3d</fix></trkpt>\n")
                   .arg(f.lat, 0, 'f', 6)
                   .arg(f.lon, 0, 'f', 6)
                   .arg(f.utc)
                   .toUtf8();
    gpx += "</trkseg></trk></gpx>\n";
    const QString in = writeBytes(*dir, "track.gpx", gpx);
    const QString out = file("track.nmea");
    QByteArray err;
    QCOMPARE(
        testsupport::runProgram("gpsbabel", {"-i", "gpx", "-f", in, "-o", "nmea", "-F", out}, nullptr, &err),
        0);

    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(out, &points));
    QCOMPARE(points.size(), fixes.size());
    const QDateTime first = QDateTime::fromString(fixes[0].utc, Qt::ISODate);
    for (qsizetype i = 0; i < fixes.size(); ++i) {
        const QDateTime utc = QDateTime::fromString(fixes[i].utc, Qt::ISODate);
        QCOMPARE(points[i].pointTime(), utc.addSecs(8 * 3600).toString("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(points[i].offsetSeconds, first.secsTo(utc));
        const GeoPoint g = systemfinction::ParsePositionText(points[i].positionText());
        // gpsbabel writes minutes with three decimals: 1/60000 of a degree.
        QVERIFY2(qAbs(g.latitude - fixes[i].lat) < 1e-5, qPrintable(points[i].positionText()));
        QVERIFY2(qAbs(g.longitude - fixes[i].lon) < 1e-5, qPrintable(points[i].positionText()));
    }
}

void TestPathFile::corpusLogs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<QStringList>("gpsbabelFirst"); // utc, lat, lon
    QTest::addColumn<QStringList>("gpsbabelLast");
    QTest::addColumn<bool>("checksumsBad");
    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty())
        return;
    const QString folder = corpus + QStringLiteral("/nmea/");
    QFile tsv(folder + QStringLiteral("expected.tsv"));
    if (!tsv.open(QIODevice::ReadOnly))
        return;
    // Sentences grep counts as status-A RMC lines but that are garbled: a time
    // with letters or blanks, or a sentence cut off inside its latitude.
    const QHash<QString, int> garbled{{"gpsbabel_nmeadatetime.nmea", 6},
                                      {"gpsd_gp-320fw-2019-04-07-coldboot.log", 2}};
    auto column = [](const QStringList &header, const char *name) { return header.indexOf(QString(name)); };
    QString line = QString::fromUtf8(tsv.readLine()).trimmed();
    const QStringList header = line.split('\t');
    while (!tsv.atEnd()) {
        line = QString::fromUtf8(tsv.readLine());
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const QStringList row = line.split('\t');
        if (row.size() < header.size())
            continue;
        const QString file = row[column(header, "file")];
        QTest::newRow(qPrintable(file))
            << folder + file << row[column(header, "grep_rmc_status_A")].toInt() - garbled.value(file, 0)
            << QStringList{row[column(header, "first_fix_utc")], row[column(header, "first_lat")],
                           row[column(header, "first_lon")]}
            << QStringList{row[column(header, "last_fix_utc")], row[column(header, "last_lat")],
                           row[column(header, "last_lon")]}
            << (row[column(header, "gpsbabel_stderr_lines")].toInt() > 0);
    }
}

void TestPathFile::corpusLogs()
{
    QFETCH(QString, path);
    QFETCH(int, expectedCount);
    QFETCH(QStringList, gpsbabelFirst);
    QFETCH(QStringList, gpsbabelLast);
    QFETCH(bool, checksumsBad);
    if (testsupport::corpusDir().isEmpty())
        QSKIP("corpus not present");
    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(path, &points));
    QCOMPARE(points.size(), qsizetype(expectedCount));
    if (points.isEmpty())
        return;
    QCOMPARE(points.constFirst().offsetSeconds, qint64(0));

    // Where gpsbabel's first or last track point is the same fix as ours,
    // the positions agree. gpsbabel drops sentences with bad checksums, which
    // we read, and keeps sub-second fixes apart, which share one time here.
    if (checksumsBad)
        return;
    int compared = 0;
    for (const auto &[ours, theirs] :
         {std::pair{points.constFirst(), gpsbabelFirst}, std::pair{points.constLast(), gpsbabelLast}}) {
        QDateTime utc = QDateTime::fromString(theirs[0].left(19), "yyyy-MM-ddTHH:mm:ss");
        utc.setTimeSpec(Qt::UTC);
        if (!utc.isValid() || utc.addSecs(8 * 3600).toString("yyyy-MM-dd HH:mm:ss") != ours.pointTime())
            continue;
        if (std::count_if(points.cbegin(), points.cend(),
                          [&](const PathPoint &p) { return p.pointTime() == ours.pointTime(); })
            > 1)
            continue;
        const GeoPoint g = systemfinction::ParsePositionText(ours.positionText());
        QVERIFY2(qAbs(g.latitude - theirs[1].toDouble()) < 1e-6, qPrintable(ours.positionText()));
        QVERIFY2(qAbs(g.longitude - theirs[2].toDouble()) < 1e-6, qPrintable(ours.positionText()));
        ++compared;
    }
    if (compared == 0)
        qInfo("no end point of gpsbabel's pairs with one fix of ours; only the count was compared");
}

void TestPathFile::gpxAttributeCount_data()
{
    QTest::addColumn<QString>("element"); // the element given extra attributes
    QTest::addColumn<int>("extra");
    QTest::addColumn<bool>("read");
    QTest::newRow("namespaces on the root") << "gpx" << 12 << true;
    QTest::newRow("as many as allowed") << "trkpt" << pixplot::gpxfile::kMaxAttributes - 2 << true;
    QTest::newRow("one too many") << "trkpt" << pixplot::gpxfile::kMaxAttributes - 1 << false;
    QTest::newRow("100,000 on a point") << "trkpt" << 100000 << false;
    QTest::newRow("100,000 on the root") << "gpx" << 100000 << false;
}

// Attributes beyond any GPX's needs are refused as the file is read (the
// XML reader would take time growing with their square); a '=' inside a
// quoted value is not counted as one.
void TestPathFile::gpxAttributeCount()
{
    QFETCH(QString, element);
    QFETCH(int, extra);
    QFETCH(bool, read);
    QByteArray attributes;
    for (int i = 0; i < extra; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"x=y\"";
    const QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\""
        + (element == "gpx" ? attributes : QByteArray())
        + "><trk><trkseg>\n<trkpt lat=\"31.5\" lon=\"118.25\""
        + (element == "trkpt" ? attributes : QByteArray())
        + "><time>2010-05-01T00:00:00Z</time></trkpt>\n</trkseg></trk></gpx>\n";
    QList<PathPoint> points;
    QString error;
    QCOMPARE(pixplot::pathfile::readPathFile(writeBytes(*dir, "many.gpx", gpx), &points, &error), read);
    QCOMPARE(points.size(), read ? 1 : 0);
    QCOMPARE(error.contains(QString::number(pixplot::gpxfile::kMaxAttributes)), !read);
}

namespace {
constexpr double Missing = std::numeric_limits<double>::quiet_NaN();

QByteArray gpx(const QByteArray &eleA, const QByteArray &eleB)
{
    return "<?xml version=\"1.0\"?><gpx version=\"1.1\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>"
           "<trkpt lat=\"31.8\" lon=\"118.7\">"
        + eleA
        + "<time>2010-05-01T12:00:00Z</time></trkpt>"
          "<trkpt lat=\"31.9\" lon=\"118.8\">"
        + eleB
        + "<time>2010-05-01T12:00:10Z</time></trkpt>"
          "</trkseg></trk></gpx>";
}

void compareMotion(double got, double expected, const char *what)
{
    if (std::isnan(expected))
        QVERIFY2(std::isnan(got), what);
    else
        QVERIFY2(std::fabs(got - expected) < 1e-3, qPrintable(QString("%1: %2").arg(what).arg(got)));
}
} // namespace

// Altitude from the GGA of the same second (before or after its RMC) or
// GPX <ele>, speed and course from RMC, through the nearest fix or the
// interpolation to a photo row.
void TestPathFile::motionThroughMatching_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("photoTime");
    QTest::addColumn<bool>("interpolate");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("track");
    const QByteArray ggaFirst = "$GPGGA,120000.00,3150.0,N,11846.0,E,1,08,0.9,10.0,M,0.0,M,,*00\r\n"
                                "$GPRMC,120000.00,A,3150.0,N,11846.0,E,10.0,350.0,010510,,,A*00\r\n"
                                "$GPGGA,120010.00,3150.1,N,11846.1,E,1,08,0.9,20.0,M,0.0,M,,*00\r\n"
                                "$GPRMC,120010.00,A,3150.1,N,11846.1,E,20.0,10.0,010510,,,A*00\r\n";
    QTest::newRow("GGA before RMC, nearest")
        << ggaFirst << "2010-05-01 20:00:03" << false << 10.0 << 18.52 << 350.0;
    QTest::newRow("GGA before RMC, interpolated")
        << ggaFirst << "2010-05-01 20:00:05" << true << 15.0 << 27.78 << 0.0;
    QTest::newRow("GGA after RMC") << QByteArray(
        "$GNRMC,120000,A,3150.0,N,11846.0,E,1.0,90.5,010510,,,A*00\n"
        "$GNGGA,120000,3150.0,N,11846.0,E,2,08,0.9,-3.5,M,0.0,M,,*00\n")
                                   << "2010-05-01 20:00:00" << false << -3.5 << 1.852 << 90.5;
    QTest::newRow("no GGA") << QByteArray("$GPRMC,120000,A,3150.0,N,11846.0,E,5.0,45.0,010510,,,A*00\n")
                            << "2010-05-01 20:00:00" << false << Missing << 9.26 << 45.0;
    QTest::newRow("GGA without a fix")
        << QByteArray("$GPGGA,120000,,,,,0,00,,,M,,M,,*00\n"
                      "$GPRMC,120000,A,3150.0,N,11846.0,E,5.0,45.0,010510,,,A*00\n")
        << "2010-05-01 20:00:00" << false << Missing << 9.26 << 45.0;
    QTest::newRow("GGA of another second")
        << QByteArray("$GPGGA,115959,3150.0,N,11846.0,E,1,08,0.9,10.0,M,0.0,M,,*00\n"
                      "$GPRMC,120000,A,3150.0,N,11846.0,E,,,010510,,,A*00\n")
        << "2010-05-01 20:00:00" << false << Missing << Missing << Missing;
    QTest::newRow("GPX ele, interpolated") << gpx("<ele>100</ele>", "<ele> 50.5 </ele>")
                                           << "2010-05-01 20:00:02" << true << 90.1 << Missing << Missing;
    QTest::newRow("GPX one ele, interpolated")
        << gpx("<ele>100</ele>", "") << "2010-05-01 20:00:02" << true << Missing << Missing << Missing;
    QTest::newRow("GPX no ele, nearest")
        << gpx("", "") << "2010-05-01 20:00:02" << false << Missing << Missing << Missing;
}

void TestPathFile::motionThroughMatching()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, photoTime);
    QFETCH(bool, interpolate);
    QFETCH(double, altitude);
    QFETCH(double, speed);
    QFETCH(double, track);
    const QString path = writeBytes(*dir, content.startsWith('<') ? "path.gpx" : "path.txt", content);
    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(path, &points));
    QCOMPARE(points.size(), content.count("RMC") + content.count("<trkpt"));
    PhotoRow row;
    row.record.hasExif = true;
    row.timeText = photoTime;
    row.motion.altitude = 1; // stale values of an earlier match go
    QList<PhotoRow> rows{row};
    pixplot::photomatch::MatchOptions options;
    options.interpolate = interpolate;
    QCOMPARE(pixplot::photomatch::matchRows(rows, points, options).matched, 1);
    compareMotion(rows[0].motion.altitude, altitude, "altitude");
    compareMotion(rows[0].motion.speedKmh, speed, "speed");
    compareMotion(rows[0].motion.track, track, "track");
}

// Every fix of a real log carries the altitude of the GGA sentence of its
// time, read here field by field, and the RMC's speed in km/h.
void TestPathFile::corpusAltitudes_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("GGA before RMC") << "gpsbabel_track.nmea";
    QTest::newRow("half-second GGA and RMC") << "gpsbabel_nmea+ms.txt";
    QTest::newRow("5 Hz GNRMC") << "gpsd_quectel-l76k-nmea.log";
}

void TestPathFile::corpusAltitudes()
{
    QFETCH(QString, file);
    if (testsupport::corpusDir().isEmpty())
        QSKIP("no corpus");
    const QString path = testsupport::corpusDir() + "/nmea/" + file;
    QHash<qint64, double> altitudes; // by the time in milliseconds
    QList<qint64> fixTimes;
    QList<double> speeds;
    for (const QByteArray &line : testsupport::readAll(path).split('\n')) {
        const QList<QByteArray> f = line.trimmed().split(',');
        const qint64 ms = std::llround(f.value(1).toDouble() * 1000);
        if (f.size() > 10 && f[0].endsWith("GGA") && f[6] != "0" && !f[9].isEmpty())
            altitudes.insert(ms, f[9].toDouble());
        else if (f.size() > 9 && f[0].endsWith("RMC") && f[2] == "A") {
            fixTimes << ms;
            speeds << f[7].toDouble() * 1.852;
        }
    }
    QList<PathPoint> points;
    QVERIFY(pixplot::pathfile::readPathFile(path, &points));
    QCOMPARE(points.size(), fixTimes.size());
    qsizetype withAltitude = 0;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QByteArray at = QByteArray::number(fixTimes[i]);
        compareMotion(points[i].motion.altitude, altitudes.value(fixTimes[i], Missing), at);
        compareMotion(points[i].motion.speedKmh, speeds[i], at);
        withAltitude += !std::isnan(points[i].motion.altitude);
    }
    QVERIFY(withAltitude > 0);
}

QTEST_GUILESS_MAIN(TestPathFile)
#include "tst_core_pathfile.moc"
