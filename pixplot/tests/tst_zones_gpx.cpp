// Time zones, interpolation and GPX through pixplot's command line, checked
// against exiftool, gpsbabel and xmllint.
#include "core/gpxfile.h"
#include "common/gpxwriter.h"
#include "core/nmeasentence.h"
#include "tst_photofixtures.h"

#include <QBuffer>
#include <QComboBox>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <limits>
#include <cmath>

using pixplot::GeoPoint;
using pixplot::PathPoint;
namespace systemfinction = pixplot::systemfinction;

namespace {

using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;
using fixtures::writeBytes;

// pixplot with TZ set to tz (when not empty).
Run pixplotIn(const QString &tz, const QStringList &args)
{
    if (tz.isEmpty())
        return runPixplot(args);
    return fixtures::run(QStringLiteral("env"), QStringList{"TZ=" + tz, pixplotProgram()} + args);
}

// Column c of every line of a --read-path or --match output.
QStringList column(const QString &out, int c)
{
    QStringList values;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        values << line.split(QLatin1Char('\t')).value(c);
    return values;
}

// The documents name themselves after the clock (H:mm:ss), which moves
// between two runs.
QByteArray withoutClock(QByteArray document)
{
    static const QRegularExpression stamp(QStringLiteral("Paths \\d{5,6}"));
    return QString::fromUtf8(document).replace(stamp, QStringLiteral("Paths")).toUtf8();
}

constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

struct Fix {
    qint64 utc;
    double lat, lon;
};

// Track points (with time) of a GPX file as a peer wrote it.
QList<Fix> gpxFixes(const QString &gpx)
{
    QList<Fix> fixes;
    QXmlStreamReader x(gpx);
    Fix f{};
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("trkpt")) {
            f = {kNoTime, x.attributes().value(QLatin1String("lat")).toDouble(),
                 x.attributes().value(QLatin1String("lon")).toDouble()};
        } else if (x.isStartElement() && x.name() == QLatin1String("time")) {
            f.utc = pixplot::gpxfile::parseGpxTime(x.readElementText()).value_or(kNoTime);
        } else if (x.isEndElement() && x.name() == QLatin1String("trkpt") && f.utc != kNoTime) {
            fixes << f;
        }
    }
    return fixes;
}

// The --read-path lines as fixes, their times read back in UTC+08:00.
QList<Fix> readPathFixes(const QString &out)
{
    QList<Fix> fixes;
    const common::TimeZoneSetting zone;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList c = line.split(QLatin1Char('\t'));
        const auto local = common::calendarSecondsOfText(c.value(1));
        fixes << Fix{local ? zone.utcFromLocal(*local) : kNoTime, c.value(5).toDouble(),
                     c.value(4).toDouble()};
    }
    return fixes;
}

QString compareFixes(const QList<Fix> &a, const QList<Fix> &b, double tolerance)
{
    if (a.size() != b.size())
        return QStringLiteral("count %1 vs %2").arg(a.size()).arg(b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].utc != b[i].utc || std::fabs(a[i].lat - b[i].lat) > tolerance
            || std::fabs(a[i].lon - b[i].lon) > tolerance)
            return QStringLiteral("point %1: %2 %3,%4 vs %5 %6,%7")
                .arg(i + 1)
                .arg(a[i].utc)
                .arg(a[i].lat, 0, 'f', 9)
                .arg(a[i].lon, 0, 'f', 9)
                .arg(b[i].utc)
                .arg(b[i].lat, 0, 'f', 9)
                .arg(b[i].lon, 0, 'f', 9);
    }
    return {};
}

// Fixes either side of both changes of Europe/Berlin in 2026 (29 March,
// 25 October), as RMC sentences.
QStringList dstPath()
{
    return {fixtures::rmc("003000", "290326", "5230.0000", "01324.0000"),
            fixtures::rmc("013000", "290326", "5231.0000", "01325.0000"),
            fixtures::rmc("003000", "251026", "5232.0000", "01326.0000"),
            fixtures::rmc("013000", "251026", "5233.0000", "01327.0000")};
}

// A track in two segments: the second crosses the 180° meridian and ends
// after a gap longer than the default limit. Times from 2026-05-01 10:00:00Z.
const qint64 kTrackStart = common::calendarSeconds(2026, 5, 1, 10, 0, 0);
struct TrackFix {
    qint64 t;
    double lat, lon;
    int segment;
};
const TrackFix kTrack[] = {{0, 31.5, 120.1, 0},      {100, 31.6, 120.3, 0},     {200, 31.65, 120.25, 0},
                           {1000, -16.5, 179.99, 1}, {1060, -16.6, -179.98, 1}, {3500, -16.7, -179.9, 1}};

QByteArray trackGpx()
{
    common::gpx::Document doc;
    doc.creator = QStringLiteral("test");
    for (const TrackFix &f : kTrack) {
        if (doc.segments.size() <= f.segment)
            doc.segments.append(QList<common::gpx::Point>());
        doc.segments[f.segment].append({f.lat, f.lon, kTrackStart + f.t, QString()});
    }
    return common::gpx::write(doc);
}

QString positionOf(int fix)
{
    return systemfinction::positionTextFromDegrees(kTrack[fix].lat, kTrack[fix].lon);
}

} // namespace

class TestZonesGpx : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void zoneTable_data();
    void zoneTable();
    void matchAcrossDaylightSaving();
    void interpolation_data();
    void interpolation();
    void gpxWrittenReadByPeers();
    void corpusThroughGpsbabel_data();
    void corpusThroughGpsbabel();
    void segmentsFractionsAndOffsets();
    void coordinateSpellings_data();
    void coordinateSpellings();
    void trackReadAsStream();
    void windowZoneAndInterpolation();

private:
    QTemporaryDir dir_;
};

void TestZonesGpx::initTestCase()
{
    const QByteArray missing = testsupport::missingPrograms({"pixplot", "exiftool", "gpsbabel", "xmllint"});
    QVERIFY2(missing.isEmpty(), missing.constData());
    QVERIFY(dir_.isValid());
    QVERIFY(fixtures::writeLines(dir_.filePath(QStringLiteral("dst.txt")), dstPath()));
}

void TestZonesGpx::zoneTable_data()
{
    QTest::addColumn<QStringList>("zoneArgs");
    QTest::addColumn<QString>("tz");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("times");
    const QStringList eight{"2026-03-29 08:30:00", "2026-03-29 09:30:00", "2026-10-25 08:30:00",
                            "2026-10-25 09:30:00"};
    QTest::newRow("default") << QStringList() << QString() << 0 << eight;
    QTest::newRow("+08:00") << QStringList{"--zone", "+08:00"} << QString() << 0 << eight;
    QTest::newRow("UTC+08:00") << QStringList{"--zone", "UTC+08:00"} << QString() << 0 << eight;
    // 01:30 CET is followed by 03:30 CEST; 02:30 comes twice in October.
    QTest::newRow("Europe/Berlin") << QStringList{"--zone", "Europe/Berlin"} << QString() << 0
                                   << QStringList{"2026-03-29 01:30:00", "2026-03-29 03:30:00",
                                                  "2026-10-25 02:30:00", "2026-10-25 02:30:00"};
    QTest::newRow("-05:30") << QStringList{"--zone", "-05:30"} << QString() << 0
                            << QStringList{"2026-03-28 19:00:00", "2026-03-28 20:00:00",
                                           "2026-10-24 19:00:00", "2026-10-24 20:00:00"};
    QTest::newRow("UTC") << QStringList{"--zone", "UTC"} << QString() << 0
                         << QStringList{"2026-03-29 00:30:00", "2026-03-29 01:30:00", "2026-10-25 00:30:00",
                                        "2026-10-25 01:30:00"};
    QTest::newRow("local Tokyo") << QStringList{"--zone", "local"} << QStringLiteral("Asia/Tokyo") << 0
                                 << QStringList{"2026-03-29 09:30:00", "2026-03-29 10:30:00",
                                                "2026-10-25 09:30:00", "2026-10-25 10:30:00"};
    QTest::newRow("local New York") << QStringList{"--zone", "local"} << QStringLiteral("America/New_York")
                                    << 0
                                    << QStringList{"2026-03-28 20:30:00", "2026-03-28 21:30:00",
                                                   "2026-10-24 20:30:00", "2026-10-24 21:30:00"};
    for (const char *bad : {"Mars/Olympus", "+25:00", "08:00x", "bogus", ""})
        QTest::newRow(qPrintable(QStringLiteral("bad %1").arg(QString::fromLatin1(bad))))
            << QStringList{"--zone", QString::fromLatin1(bad)} << QString() << 2 << QStringList();
}

void TestZonesGpx::zoneTable()
{
    QFETCH(QStringList, zoneArgs);
    QFETCH(QString, tz);
    QFETCH(int, code);
    QFETCH(QStringList, times);
    const QString path = dir_.filePath(QStringLiteral("dst.txt"));
    const Run r = pixplotIn(tz, QStringList{"--read-path", path} + zoneArgs);
    QCOMPARE(r.code, code);
    if (code != 0) {
        QVERIFY(!r.err.isEmpty());
        // Every command that takes a zone refuses the bad one the same way.
        for (const QStringList &cmd :
             {QStringList{"--path", path, "--to-kml"}, QStringList{"--path", path, "--to-gpx"},
              QStringList{"--match", "--path", path, "x.jpg"}})
            QCOMPARE(runPixplot(cmd + zoneArgs).code, 2);
        return;
    }
    QCOMPARE(column(r.out, 1), times);
    // Offsets count elapsed time whatever the zone: one hour, then the
    // span between the two days.
    QCOMPARE(column(r.out, 3), (QStringList{"0", "3600", "18144000", "18147600"}));
    if (times.first() == QLatin1String("2026-03-29 08:30:00")) {
        // UTC+08:00 given or not: every output byte for byte the same.
        QCOMPARE(r.out, runPixplot({"--read-path", path}).out);
        for (const QString &option : {QStringLiteral("--to-kml"), QStringLiteral("--to-html")}) {
            const QString out = QFileInfo(path).absoluteFilePath().chopped(4)
                + (option == QLatin1String("--to-kml") ? QStringLiteral(".kml") : QStringLiteral(".html"));
            QCOMPARE(runPixplot({"--path", path, option, "--overwrite"}).code, 0);
            const QByteArray plain = withoutClock(testsupport::readAll(out));
            QCOMPARE(runPixplot(QStringList{"--path", path, option, "--overwrite"} + zoneArgs).code, 0);
            QCOMPARE(withoutClock(testsupport::readAll(out)), plain);
        }
    }
}

void TestZonesGpx::matchAcrossDaylightSaving()
{
    // 03:40 CEST on 29 March is ten minutes after the 01:30Z fix, though
    // the local texts lie 2 h 10 min apart; 02:35 on 25 October is read as
    // summer time, the first of the two, so it takes the 00:30Z fix.
    const QString a = file(QStringLiteral("a.jpg")), b = file(QStringLiteral("b.jpg"));
    QVERIFY(fixtures::writeJpeg(a, 16, 16) && QFile::copy(a, b));
    QVERIFY(fixtures::setExifTimes({{a, "2026:03:29 03:40:00"}, {b, "2026:10:25 02:35:00"}}));
    const Run r = runPixplot({"--match", "--zone", "Europe/Berlin", "--tolerance", "600", "--path",
                              dir_.filePath(QStringLiteral("dst.txt")), a, b});
    QCOMPARE(r.code, 0);
    QCOMPARE(column(r.out, 2).mid(0, 2),
             (QStringList{"N52°31.0000',E013°25.0000'", "N52°32.0000',E013°26.0000'"}));
}

void TestZonesGpx::interpolation_data()
{
    QTest::addColumn<qint64>("t");          // seconds after the track's start
    QTest::addColumn<QStringList>("extra"); // further options
    QTest::addColumn<QString>("expected");  // "peer": what exiftool writes
    QTest::newRow("first segment") << qint64(30) << QStringList() << "peer";
    QTest::newRow("second pair") << qint64(150) << QStringList() << "peer";
    QTest::newRow("across 180°") << qint64(1030) << QStringList() << "peer";
    QTest::newRow("on a fix") << qint64(100) << QStringList() << positionOf(1);
    // Between the segments the nearest rule holds: a tie goes to the later fix.
    QTest::newRow("between segments") << qint64(600) << QStringList() << positionOf(3);
    QTest::newRow("gap over the limit") << qint64(1500) << QStringList() << positionOf(4);
    QTest::newRow("gap over a lower limit") << qint64(150) << QStringList{"--max-gap", "99"} << positionOf(2);
    QTest::newRow("gap over the limit, beyond tolerance") << qint64(2300) << QStringList() << QString();
}

void TestZonesGpx::interpolation()
{
    QFETCH(qint64, t);
    QFETCH(QStringList, extra);
    QFETCH(QString, expected);
    const QString track = writeBytes(*dir, QStringLiteral("track.gpx"), trackGpx());
    const QString photo = file(QStringLiteral("p.jpg"));
    QVERIFY(fixtures::writeJpeg(photo, 16, 16));
    const QString exifTime =
        common::calendarText(kTrackStart + t).replace(QLatin1Char('-'), QLatin1Char(':'));
    QVERIFY(fixtures::setExifTimes({{photo, exifTime}}));

    const Run r = runPixplot(
        QStringList{"--match", "--interpolate", "--zone", "UTC", "--tolerance", "600", "--path", track, photo}
        + extra);
    QCOMPARE(r.code, 0);
    const QString position = column(r.out, 2).value(0);
    if (expected != QLatin1String("peer")) {
        QCOMPARE(position, expected);
        return;
    }
    QVERIFY(!position.isEmpty());
    QVERIFY(testsupport::exiftoolWrite({"-geotag", track, "-geotime<${DateTimeOriginal}+00:00", photo}));
    const Run read = fixtures::run(QStringLiteral("exiftool"),
                                   {"-n", "-T", "-Composite:GPSLatitude", "-Composite:GPSLongitude", photo});
    const QStringList peer = read.out.trimmed().split(QLatin1Char('\t'));
    QCOMPARE(peer.size(), 2);
    const GeoPoint ours = systemfinction::ParsePositionText(position);
    QVERIFY2(std::fabs(ours.latitude - peer[0].toDouble()) <= 1e-6
                 && std::fabs(ours.longitude - peer[1].toDouble()) <= 1e-6,
             qPrintable(position + QStringLiteral(" vs ") + peer.join(QLatin1Char(','))));
}

void TestZonesGpx::gpxWrittenReadByPeers()
{
    // Path file -> --to-gpx: xmllint finds it well-formed, gpsbabel reads
    // the same instants and positions to the nine decimals written.
    const QString path = file(QStringLiteral("dst.txt"));
    QVERIFY(QFile::copy(dir_.filePath(QStringLiteral("dst.txt")), path));
    const Run r = runPixplot({"--path", path, "--to-gpx", "--zone", "Europe/Berlin"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString gpx = file(QStringLiteral("dst.gpx"));
    QCOMPARE(runPixplot({"--path", path, "--to-gpx"}).code, 1); // exists; --overwrite replaces
    QCOMPARE(fixtures::run(QStringLiteral("xmllint"), {"--noout", gpx}).code, 0);
    const QByteArray bytes = testsupport::readAll(gpx);
    QVERIFY(bytes.contains("<time>2026-03-29T01:30:00Z</time>"));
    const Run peer =
        fixtures::run(QStringLiteral("gpsbabel"), {"-t", "-i", "gpx", "-f", gpx, "-o", "gpx", "-F", "-"});
    QCOMPARE(peer.code, 0);
    const QList<Fix> expected = readPathFixes(runPixplot({"--read-path", path}).out);
    QCOMPARE(expected.size(), 4);
    QCOMPARE(compareFixes(gpxFixes(peer.out), expected, 1e-9), QString());
    // Read back by pixplot: the same fixes, to the nine decimals written
    // (which --read-path of a GPX file shows in full).
    QCOMPARE(compareFixes(readPathFixes(runPixplot({"--read-path", gpx}).out), expected, 1e-9), QString());
}

void TestZonesGpx::corpusThroughGpsbabel_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("sameFixes");
    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty())
        QSKIP("no corpus");
    // gpsbabel reads these four differently from pixplot's RMC rule:
    // duplicate RMC of two talkers merged, times and checksums pixplot refuses.
    const QStringList differ{"gpsd_gp-320fw-2019-04-07-coldboot.log", "gpsd_telit-pls83-w.log",
                             "pynmeagps_nmeabadck.log", "gpsbabel_nmeadatetime.nmea"};
    const QStringList files = QDir(corpus + QStringLiteral("/nmea"))
                                  .entryList({"*.log", "*.nmea", "*.txt"}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 14);
    for (const QString &f : files)
        QTest::newRow(qPrintable(f)) << corpus + QStringLiteral("/nmea/") + f << !differ.contains(f);
}

void TestZonesGpx::corpusThroughGpsbabel()
{
    QFETCH(QString, file);
    QFETCH(bool, sameFixes);
    const QString gpx = FolderTest::file(QStringLiteral("log.gpx"));
    // Only RMC sentences, the ones pixplot reads.
    QCOMPARE(fixtures::run(QStringLiteral("gpsbabel"),
                           {"-i", "nmea,gpgga=0,gpvtg=0,gpgsa=0", "-f", file, "-o", "gpx", "-F", gpx})
                 .code,
             0);
    const Run fromGpx = runPixplot({"--read-path", gpx});
    const QList<Fix> written = gpxFixes(testsupport::readAll(gpx));
    QCOMPARE(fromGpx.code, written.isEmpty() ? 1 : 0); // a path without points fails
    const QList<Fix> loaded = readPathFixes(fromGpx.out);
    // What gpsbabel wrote, to the four decimals of minutes pixplot shows.
    QCOMPARE(compareFixes(loaded, written, 0.9e-6), QString());
    if (sameFixes)
        QCOMPARE(compareFixes(loaded, readPathFixes(runPixplot({"--read-path", file}).out), 0.9e-6),
                 QString());
}

void TestZonesGpx::segmentsFractionsAndOffsets()
{
    // GPX 1.0, two segments, a fraction, an offset time, a time without a
    // zone (UTC), a point without time, coordinates of eight and nine
    // decimals (shown in full); the name says nothing of GPX.
    const QByteArray gpx = R"(<?xml version="1.0"?>
<!-- from a watch -->
<gpx version="1.0" creator="x" xmlns="http://www.topografix.com/GPX/1/0">
 <wpt lat="1" lon="1"><time>2026-05-01T09:00:00Z</time></wpt>
 <trk><name>t</name>
  <trkseg>
   <trkpt lat="31.5" lon="120.1"><ele>5</ele><time>2026-05-01T10:00:00.750Z</time></trkpt>
   <trkpt lat="31.6" lon="120.3"><time>2026-05-01T12:00:01+02:00</time><extensions><time>x</time></extensions></trkpt>
  </trkseg>
  <trkseg>
   <trkpt lat="-16.5" lon="-0.5"><name>no time</name></trkpt>
   <trkpt lat="-16.5" lon="-0.5"><time>2026-05-01T10:00:02</time></trkpt>
   <trkpt lat="-16.61234567" lon="-0.612345678"><time>2026-05-01T05:30:03.5-04:30</time></trkpt>
  </trkseg>
 </trk>
</gpx>
)";
    const QString file = writeBytes(*dir, QStringLiteral("watch.dat"), gpx);
    const Run r = runPixplot({"--read-path", file, "--zone", "UTC"});
    QCOMPARE(r.code, 0);
    QCOMPARE(
        r.out,
        QStringLiteral("记录0001\t2026-05-01 10:00:00\tN31°30.0000',E120°06.0000'\t0\t120.1\t31.5\n"
                       "记录0002\t2026-05-01 10:00:01\tN31°36.0000',E120°18.0000'\t1\t120.3\t31.6\n"
                       "记录0003\t2026-05-01 10:00:02\tS16°30.0000',W000°30.0000'\t2\t-0.5\t-16.5\n"
                       "记录0004\t2026-05-01 10:00:03\tS16°36.7407402',W000°36.74074068'\t3\t-0.612345678"
                       "\t-16.61234567\n"));
    QList<PathPoint> points;
    qint64 untimed = -1;
    QVERIFY(pixplot::gpxfile::readGpx(gpx, common::TimeZoneSetting(), &points, &untimed, nullptr));
    QCOMPARE(untimed, 1);
    QCOMPARE(points.size(), 4);
    QCOMPARE(points[1].segment, points[0].segment);
    QVERIFY(points[2].segment != points[1].segment);
    QCOMPARE(points[0].pointTime(), QStringLiteral("2026-05-01 18:00:00"));
    // Without a track, the waypoints are the path; broken XML keeps what came before.
    QByteArray waypoints = gpx;
    waypoints.replace("<trk>", "<!--").replace("</trk>", "-->");
    QVERIFY(pixplot::gpxfile::readGpx(waypoints, common::TimeZoneSetting(), &points, &untimed, nullptr));
    QCOMPARE(points.size(), 1);
    QString error;
    QVERIFY(!pixplot::gpxfile::readGpx(gpx.left(gpx.indexOf("</trkseg>") + 9), common::TimeZoneSetting(),
                                       &points, &untimed, &error));
    QCOMPARE(points.size(), 2);
    QVERIFY(!error.isEmpty());
}

void TestZonesGpx::coordinateSpellings_data()
{
    // Plain decimals take a quick path; every other spelling must read as
    // before. An empty position: the point is refused and counted. The
    // lists' text rounds to 1/10000 of a minute; --read-path and --to-gpx
    // keep every digit of the value read.
    QTest::addColumn<QByteArray>("lat");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("full");   // --read-path's position
    QTest::addColumn<QString>("gpxLat"); // the latitude --read-path and --to-gpx write
    const auto row = [](const char *name, const QByteArray &lat, const QString &position,
                        const QString &gpxLat, const QString &full = QString()) {
        QTest::newRow(name) << lat << position << (full.isNull() ? position : full) << gpxLat;
    };
    const QString half = QStringLiteral("N31°30.0000',E120°00.0000'");
    row("plain", "31.5", half, "31.5");
    row("negative", "-16.75", QStringLiteral("S16°45.0000',E120°00.0000'"), "-16.75");
    row("leading zeros", "031.50", half, "31.5");
    row("many digits", "31.50000000000000000000000000000000000000001", half, "31.5");
    row("plus", "+31.5", half, "31.5");
    row("exponent", "3.15e1", half, "31.5");
    row("spaces", " 31.5 ", half, "31.5");
    row("no integer part", ".5", QStringLiteral("N00°30.0000',E120°00.0000'"), "0.5");
    row("trailing point", "31.", QStringLiteral("N31°00.0000',E120°00.0000'"), "31");
    row("character reference", "&#51;1.5", half, "31.5");
    row("comma", "31,5", QString(), QString());
    row("two points", "31.5.1", QString(), QString());
    row("sign alone", "-", QString(), QString());
    row("out of range", "90.0000001", QString(), QString());
    row("not a number", "nan", QString(), QString());
    row("nine decimals", "31.851234567", QStringLiteral("N31°51.0741',E120°00.0000'"), "31.851234567",
        QStringLiteral("N31°51.07407402',E120°00.0000'"));
    row("eight decimals, south", "-31.85123456", QStringLiteral("S31°51.0741',E120°00.0000'"), "-31.85123456",
        QStringLiteral("S31°51.0740736',E120°00.0000'"));
    row("a hundred-millionth", "-0.00000001", QStringLiteral("S00°00.0000',E120°00.0000'"), "-0.00000001",
        QStringLiteral("S00°00.0000006',E120°00.0000'"));
    row("seventeen digits", "31.851234567891234", QStringLiteral("N31°51.0741',E120°00.0000'"),
        "31.851234567891233", QStringLiteral("N31°51.07407407347398',E120°00.0000'"));
    row("a hair below the pole", "89.999999999999", QStringLiteral("N90°00.0000',E120°00.0000'"),
        "89.999999999999", QStringLiteral("N89°59.99999999994',E120°00.0000'"));
}

void TestZonesGpx::coordinateSpellings()
{
    QFETCH(QByteArray, lat);
    QFETCH(QString, position);
    QFETCH(QString, full);
    QFETCH(QString, gpxLat);
    const QByteArray gpx = "<gpx version=\"1.1\"><trk><trkseg><trkpt lat=\"" + lat
        + "\" lon=\"120\"><time>2026-05-01T10:00:00Z</time></trkpt></trkseg></trk></gpx>";
    QList<PathPoint> points;
    qint64 untimed = -1;
    QVERIFY(pixplot::gpxfile::readGpx(gpx, common::TimeZoneSetting(), &points, &untimed, nullptr));
    QCOMPARE(points.size(), position.isEmpty() ? 0 : 1);
    QCOMPARE(untimed, position.isEmpty() ? 1 : 0);
    if (points.isEmpty())
        return;
    QCOMPARE(points[0].positionText(), position);
    QCOMPARE(pixplot::gpxfile::fullPositionText(points[0]), full);
    // The minutes shown read back as the value read.
    const qsizetype mark = full.indexOf(QChar(0x00B0));
    const double minutes = full.mid(mark + 1, full.indexOf(QLatin1Char('\'')) - mark - 1).toDouble();
    QCOMPARE(std::fabs(full.mid(1, mark - 1).toDouble() + minutes / 60), std::fabs(points[0].latitude));
    QCOMPARE(pixplot::gpxfile::fullNumberText(points[0].latitude), gpxLat);
    const QByteArray written = pixplot::gpxfile::pathDocument(points, QStringLiteral("t"));
    QVERIFY2(written.contains("lat=\"" + gpxLat.toLatin1() + "\" lon=\"120\""), written.constData());
}

void TestZonesGpx::trackReadAsStream()
{
    // Track points come out while most of the file is still unread, and the
    // waypoints read before the track are dropped, not kept.
    common::gpx::Document doc;
    doc.waypoints.append({1, 2, kTrackStart, QStringLiteral("w")});
    doc.segments.append(QList<common::gpx::Point>());
    for (int i = 0; i < 20000; ++i)
        doc.segments[0].append({31 + i * 1e-5, 121, kTrackStart + i, QString()});
    QBuffer file;
    file.setData(common::gpx::write(doc));
    QVERIFY(file.open(QIODevice::ReadOnly));
    pixplot::gpxfile::GpxReader reader(&file, common::TimeZoneSetting::parse(QStringLiteral("UTC")).value());
    PathPoint p;
    QVERIFY(reader.next(&p));
    QCOMPARE(p.positionText(), QStringLiteral("N31°00.0000',E121°00.0000'"));
    QVERIFY2(file.pos() < file.size() / 10, qPrintable(QString::number(file.pos())));
    qint64 count = 1;
    while (reader.next(&p))
        ++count;
    QCOMPARE(count, 20000);
    QCOMPARE(p.utcSeconds(), kTrackStart + 19999);
    QVERIFY(!reader.failed());
    QCOMPARE(reader.untimed(), 0);
}

void TestZonesGpx::windowZoneAndInterpolation()
{
    const QString photo = file(QStringLiteral("p.jpg"));
    QVERIFY(fixtures::writePhoto(photo, QStringLiteral("2026:03:29 03:00:00")));
    fixtures::Window w;
    w.loadPath(dir_.filePath(QStringLiteral("dst.txt")));
    QCOMPARE(w.pathCell(2, 1), QStringLiteral("2026-03-29 09:30:00"));
    auto *zone = w.get<QComboBox>(QStringLiteral("zone_cs"));
    QCOMPARE(zone->currentText(), QStringLiteral("UTC+08:00"));
    QCOMPARE(zone->itemText(0), QStringLiteral("UTC+08:00"));

    // A valid zone re-reads the loaded path's times; a wrong one is refused.
    zone->setEditText(QStringLiteral("Europe/Berlin"));
    emit zone->lineEdit()->editingFinished();
    QCOMPARE(w.pathCell(2, 1), QStringLiteral("2026-03-29 03:30:00"));
    QCOMPARE(w.title(QStringLiteral("Gps_box")),
             QStringLiteral("GPS路径 4个轨迹点 (2026-03-29 01:30:00 到 2026-10-25 02:30:00)"));
    zone->setEditText(QStringLiteral("Nowhere/Land"));
    emit zone->lineEdit()->editingFinished();
    QCOMPARE(w.dialogs.calls.last().text,
             common::TimeZoneSetting::invalidMessage(QStringLiteral("Nowhere/Land")));
    QCOMPARE(zone->currentText(), QStringLiteral("Europe/Berlin"));
    QCOMPARE(w.pathCell(2, 1), QStringLiteral("2026-03-29 03:30:00"));

    // 03:00 CEST is 01:00Z, half way between two fixes an hour apart: only
    // with 插值 and a gap limit of an hour does it get a position.
    w.addPhotos({photo});
    w.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(w.photoCell(1, 2), QString());
    w.clickCheck(QStringLiteral("ck_interp"));
    w.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(w.photoCell(1, 2), QString());
    w.get<QLineEdit>(QStringLiteral("max_gap"))->setText(QStringLiteral("3600"));
    w.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(w.photoCell(1, 2), QStringLiteral("N52°30.5000',E013°24.5000'"));
}

QTEST_MAIN(TestZonesGpx)
#include "tst_zones_gpx.moc"
