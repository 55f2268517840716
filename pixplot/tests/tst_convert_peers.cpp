// What other programs make of the files: gpsbabel reads the KML, xmllint
// parses both documents, and headless Chromium runs the map page against a
// stand-in for the hosted map script.
#include "core/nmeaconvert.h"
#include "tst_files.h"

#include "common/clock.h"
#include "common/testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>
#include <cmath>

using pixplot::GeoPoint;

using namespace pixplot::nmeaconvert;

namespace {

const QString kSpan = QStringLiteral("2010-05-01 14:03:22 to 2010-05-01 16:40:05");

// Point i of a test path: latitude 30 + i/1000, longitude 120 + i/2000, so
// a coordinate tells which point it came from.
PathInput steppedPath(int count)
{
    PathInput p;
    for (int i = 0; i < count; ++i)
        p.points.append({120.0 + i * 0.0005, 30.0 + i * 0.001});
    p.count = count;
    p.timeSpan = kSpan;
    return p;
}

bool near(double a, double b)
{
    return std::fabs(a - b) < 1e-9;
}

struct LatLon {
    double lat = 0, lon = 0;
};

struct GpxContent {
    QList<QPair<QString, LatLon>> waypoints;
    QList<LatLon> trackPoints;
};

GpxContent parseGpx(const QByteArray &gpx)
{
    GpxContent c;
    QXmlStreamReader x(gpx);
    QString element;
    LatLon current;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            const auto n = x.name();
            if (n == QLatin1String("wpt") || n == QLatin1String("trkpt")) {
                current.lat = x.attributes().value(QLatin1String("lat")).toDouble();
                current.lon = x.attributes().value(QLatin1String("lon")).toDouble();
                element = n.toString();
                if (element == QLatin1String("trkpt"))
                    c.trackPoints.append(current);
            } else if (n == QLatin1String("name") && element == QLatin1String("wpt")) {
                c.waypoints.append({x.readElementText(), current});
            }
        } else if (x.isEndElement() && x.name() == QLatin1String("wpt")) {
            element.clear();
        }
    }
    return c;
}

QString writeInto(const QTemporaryDir &dir, const QString &name, const QStringList &lines)
{
    const QString file = dir.filePath(name);
    QString error;
    if (!writeDocument(file, lines, &error))
        qWarning("writing %s failed: %s", qPrintable(file), qPrintable(error));
    return file;
}

} // namespace

class TestConvertPeers : public QObject {
    Q_OBJECT
private slots:
    void init() { common::clock::setFixed(QDateTime(QDate(2010, 5, 1), QTime(16, 41, 0))); }
    void cleanup() { common::clock::clearFixed(); }

    void gpsbabelReadsKml_data();
    void gpsbabelReadsKml();
    void xmllintFindsWellFormed_data();
    void xmllintFindsWellFormed();
    void browserDrawsPage_data();
    void browserDrawsPage();
};

void TestConvertPeers::gpsbabelReadsKml_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("dLon");
    QTest::addColumn<double>("dLat");
    QTest::newRow("one point") << 1 << 0.0 << 0.0;
    QTest::newRow("three points") << 3 << 0.0 << 0.0;
    QTest::newRow("long path with offsets") << 1500 << 0.003265375977 << -0.0015125498454;
}

void TestConvertPeers::gpsbabelReadsKml()
{
    if (!testsupport::hasProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed (scripts/deps installs it)");
    QFETCH(int, count);
    QFETCH(double, dLon);
    QFETCH(double, dLat);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const PathInput path = steppedPath(count);
    const QString kml = writeInto(dir, QStringLiteral("path.kml"), kmlDocumentLines(path, {dLon, dLat}));

    QByteArray out, err;
    const int rc = testsupport::runProgram(QStringLiteral("gpsbabel"),
                                           {QStringLiteral("-i"), QStringLiteral("kml"), QStringLiteral("-f"),
                                            kml, QStringLiteral("-o"), QStringLiteral("gpx"),
                                            QStringLiteral("-F"), QStringLiteral("-")},
                                           &out, &err);
    QVERIFY2(rc == 0, err.constData());
    const GpxContent gpx = parseGpx(out);

    QCOMPARE(gpx.waypoints.size(), 2);
    QCOMPARE(gpx.waypoints[0].first, QStringLiteral("Start"));
    QCOMPARE(gpx.waypoints[1].first, QStringLiteral("End"));
    const GeoPoint first = path.points.first();
    const GeoPoint last = path.points.last();
    QVERIFY(near(gpx.waypoints[0].second.lat, first.latitude + dLat));
    QVERIFY(near(gpx.waypoints[0].second.lon, first.longitude + dLon));
    QVERIFY(near(gpx.waypoints[1].second.lat, last.latitude + dLat));
    QVERIFY(near(gpx.waypoints[1].second.lon, last.longitude + dLon));

    QCOMPARE(gpx.trackPoints.size(), count);
    for (int i = 0; i < count; ++i) {
        QVERIFY2(near(gpx.trackPoints[i].lat, path.points[i].latitude + dLat),
                 qPrintable(QString::number(i)));
        QVERIFY2(near(gpx.trackPoints[i].lon, path.points[i].longitude + dLon),
                 qPrintable(QString::number(i)));
    }
}

void TestConvertPeers::xmllintFindsWellFormed_data()
{
    QTest::addColumn<bool>("page");
    QTest::addColumn<int>("count");
    for (int count : {1, 3, 1200}) {
        QTest::addRow("kml, %d points", count) << false << count;
        QTest::addRow("html, %d points", count) << true << count;
    }
}

void TestConvertPeers::xmllintFindsWellFormed()
{
    if (!testsupport::hasProgram(QStringLiteral("xmllint")))
        QSKIP("xmllint is not installed (scripts/deps installs libxml2-utils)");
    QFETCH(bool, page);
    QFETCH(int, count);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PathInput path = steppedPath(count);
    // Text the user controls ends up in the documents; it must not break them.
    path.timeSpan = QStringLiteral("2010-05-01 14:03:22 to 2010-05-02 00:00:00");
    const QString file = page
        ? writeInto(dir, QStringLiteral("p.html"), htmlPageLines(path, {0.001, -0.002}))
        : writeInto(dir, QStringLiteral("p.kml"), kmlDocumentLines(path, {0.001, -0.002}));
    QByteArray out, err;
    // --nonet: the page's DTD is never fetched; well-formedness needs no DTD.
    const int rc = testsupport::runProgram(
        QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"), file}, &out, &err);
    QVERIFY2(rc == 0, err.constData());
    QVERIFY2(err.isEmpty(), err.constData());
}

void TestConvertPeers::browserDrawsPage_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("dLon");
    QTest::addColumn<double>("dLat");
    QTest::newRow("three points") << 3 << 0.0 << 0.0;
    QTest::newRow("1200 points, map view correction") << 1200 << 0.003265375977 << 0.0015125498454;
}

void TestConvertPeers::browserDrawsPage()
{
    if (!testsupport::hasProgram(QStringLiteral("chromium")))
        QSKIP("chromium is not installed (scripts/deps installs it)");
    QFETCH(int, count);
    QFETCH(double, dLon);
    QFETCH(double, dLat);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // The page as written, then a copy whose loader address points at the
    // stand-in script beside it.
    const PathInput path = steppedPath(count);
    const QString written = writeInto(dir, QStringLiteral("path.html"), htmlPageLines(path, {dLon, dLat}));
    QString pageText = QString::fromUtf8(testsupport::readAll(written));
    static const QRegularExpression loader(QStringLiteral("<script src=\"([^\"]*)\""));
    const QRegularExpressionMatch m = loader.match(pageText);
    QVERIFY(m.hasMatch());
    QVERIFY2(m.captured(1).contains(QStringLiteral("v=2")), qPrintable(m.captured(1)));
    pageText.replace(m.capturedStart(1), m.capturedLength(1), QStringLiteral("mapapi_standin.js"));
    const QString copy = dir.filePath(QStringLiteral("local.html"));
    QVERIFY(writeDocument(copy, {pageText}));
    const QString standin =
        qEnvironmentVariable("SUITE_SOURCE_DIR") + QStringLiteral("/pixplot/tests/data/mapapi_standin.js");
    QVERIFY2(QFile::copy(standin, dir.filePath(QStringLiteral("mapapi_standin.js"))), qPrintable(standin));

    QTemporaryDir profile;
    QVERIFY(profile.isValid());
    QByteArray dom, err;
    const int rc =
        testsupport::runProgram(QStringLiteral("chromium"),
                                fixtures::chromiumArgs(profile.path())
                                    << QStringLiteral("--dump-dom") << QUrl::fromLocalFile(copy).toString(),
                                &dom, &err, 120000);
    QVERIFY2(rc == 0, err.right(2000).constData());

    // The title line.
    const QString domText = QString::fromUtf8(dom);
    static const QRegularExpression title(QStringLiteral("<div id=\"title\">\\s*<p>\\s*([^<]*?)\\s*</p>"));
    const QRegularExpressionMatch t = title.match(domText);
    QVERIFY2(t.hasMatch(), qPrintable(domText.left(3000)));
    QCOMPARE(t.captured(1), QStringLiteral("Log Date And Time: ") + kSpan);
    QVERIFY(!domText.contains(QStringLiteral(">NONE<")));

    // What load() asked of the map.
    static const QRegularExpression logPre(QStringLiteral("<pre id=\"standin-log\">(.*?)</pre>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch l = logPre.match(domText);
    QVERIFY2(l.hasMatch(), "load() never reached the map script");
    QString json = l.captured(1);
    json.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    json.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    QJsonParseError perr;
    const QJsonArray log = QJsonDocument::fromJson(json.toUtf8(), &perr).array();
    QVERIFY2(perr.error == QJsonParseError::NoError, qPrintable(perr.errorString()));

    QStringList calls, controls;
    QList<QJsonObject> overlays;
    QJsonObject map, centre, bounds;
    for (const QJsonValue &v : log) {
        const QJsonObject o = v.toObject();
        const QString call = o.value(QLatin1String("call")).toString();
        calls << call;
        if (call == QLatin1String("GMap2"))
            map = o;
        else if (call == QLatin1String("addControl"))
            controls << o.value(QLatin1String("control")).toString();
        else if (call == QLatin1String("setCenter"))
            centre = o;
        else if (call == QLatin1String("getBoundsZoomLevel"))
            bounds = o;
        else if (call == QLatin1String("addOverlay"))
            overlays << o;
    }
    QCOMPARE(calls.first(), QStringLiteral("GBrowserIsCompatible"));
    QCOMPARE(map.value(QLatin1String("container")).toString(), QStringLiteral("map"));
    QCOMPARE(map.value(QLatin1String("width")).toDouble(), 900.0);
    QCOMPARE(map.value(QLatin1String("height")).toDouble(), 768.0);
    QCOMPARE(controls,
             (QStringList{QStringLiteral("GLargeMapControl"), QStringLiteral("GMapTypeControl"),
                          QStringLiteral("GScaleControl"), QStringLiteral("GOverviewMapControl")}));
    QVERIFY(calls.contains(QStringLiteral("setMapType")));
    QVERIFY(calls.contains(QStringLiteral("enableDoubleClickZoom")));
    QVERIFY(calls.contains(QStringLiteral("GKeyboardHandler")));

    // Centred on the first point, at the zoom of the first point's bounds.
    const double lat0 = path.points[0].latitude + dLat;
    const double lon0 = path.points[0].longitude + dLon;
    const QJsonArray c = centre.value(QLatin1String("center")).toArray();
    QVERIFY(near(c[0].toDouble(), lat0) && near(c[1].toDouble(), lon0));
    QCOMPARE(centre.value(QLatin1String("zoom")).toInt(), 17);
    for (const char *corner : {"sw", "ne"}) {
        const QJsonArray b = bounds.value(QLatin1String(corner)).toArray();
        QVERIFY(near(b[0].toDouble(), lat0) && near(b[1].toDouble(), lon0));
    }

    // Index of the path point a recorded coordinate belongs to.
    const auto indexOf = [&](const QJsonValue &v) {
        const QJsonArray p = v.toArray();
        const int i = int(std::lround((p[0].toDouble() - dLat - 30.0) / 0.001));
        if (i < 0 || i >= count || !near(p[1].toDouble(), path.points[i].longitude + dLon))
            return -1;
        return i;
    };

    QCOMPARE(overlays.size(), 2);
    const QJsonObject green = overlays[0];
    const QJsonObject cyan = overlays[1];
    QCOMPARE(green.value(QLatin1String("pushed")).toInt(), count);
    QCOMPARE(green.value(QLatin1String("color")).toString(), QStringLiteral("#00FF00"));
    QCOMPARE(green.value(QLatin1String("weight")).toDouble(), 5.0);
    QCOMPARE(green.value(QLatin1String("opacity")).toDouble(), 0.5);
    QCOMPARE(green.value(QLatin1String("count")).toInt(), count); // the whole path
    QCOMPARE(indexOf(green.value(QLatin1String("first"))), 0);
    QCOMPARE(indexOf(green.value(QLatin1String("last"))), count - 1);

    QCOMPARE(cyan.value(QLatin1String("color")).toString(), QStringLiteral("#00ffff"));
    QCOMPARE(cyan.value(QLatin1String("weight")).toDouble(), 5.0);
    QCOMPARE(cyan.value(QLatin1String("opacity")).toDouble(), 0.5);
    const int cyanCount = int(qBound(0, qMin(count, 1072) - 1043, 29));
    QCOMPARE(cyan.value(QLatin1String("count")).toInt(), cyanCount);
    if (cyanCount > 0) {
        QCOMPARE(indexOf(cyan.value(QLatin1String("first"))), 1043);
        QCOMPARE(indexOf(cyan.value(QLatin1String("last"))), 1043 + cyanCount - 1);
    }
}

QTEST_GUILESS_MAIN(TestConvertPeers)
#include "tst_convert_peers.moc"
