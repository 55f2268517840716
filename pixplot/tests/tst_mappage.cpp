// The map page: thinning long paths, and the page as headless Chromium
// opens it (offline, and with tiles from a loopback server).
#include "core/mappage.h"
#include "core/pathsimplify.h"

#include "tst_files.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <numbers>

using pixplot::GeoPoint;

namespace {

// Local metres around a point of the track <-> degrees.
constexpr double kLat0 = 31.8, kLon0 = 118.7, kMetresPerDegree = 111320.0;
double lonScale()
{
    return kMetresPerDegree * std::cos(kLat0 * std::numbers::pi / 180);
}
GeoPoint fromMetres(double x, double y)
{
    return {kLon0 + x / lonScale(), kLat0 + y / kMetresPerDegree};
}
QPointF toMetres(const GeoPoint &g)
{
    return {(g.longitude - kLon0) * lonScale(), (g.latitude - kLat0) * kMetresPerDegree};
}

enum Shape { Line, Still, Zigzag5, Noise04, Smooth };

// Deterministic tracks: a logger moving at about 5 m/s, 1 point a second.
QList<GeoPoint> track(Shape shape, qsizetype n)
{
    QList<GeoPoint> pts;
    pts.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const double t = double(i);
        const double side = (i % 2) ? 1 : -1;
        switch (shape) {
        case Line:
            pts.append(fromMetres(0, t));
            break;
        case Still:
            pts.append(fromMetres(3, 4));
            break;
        case Zigzag5:
            pts.append(fromMetres(10 * t, 5 * side));
            break;
        case Noise04:
            pts.append(fromMetres(2 * t, 0.4 * side));
            break;
        case Smooth:
            pts.append(fromMetres(5 * t * std::cos(t / 5000), 300 * std::sin(t / 300) + 0.3 * side));
            break;
        }
    }
    return pts;
}

// Largest distance from a dropped point to the chord of kept points around it.
double deviation(const QList<GeoPoint> &pts, const QList<qsizetype> &kept)
{
    double worst = 0;
    for (qsizetype k = 0; k + 1 < kept.size(); ++k) {
        const QPointF a = toMetres(pts[kept[k]]), b = toMetres(pts[kept[k + 1]]);
        const QPointF d = b - a;
        const double len2 = QPointF::dotProduct(d, d);
        for (qsizetype i = kept[k] + 1; i < kept[k + 1]; ++i) {
            const QPointF p = toMetres(pts[i]);
            const double u = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0) : 0;
            const QPointF e = p - (a + u * d);
            worst = std::max(worst, std::hypot(e.x(), e.y()));
        }
    }
    return worst;
}

// Serves one solid colour PNG for every request and notes the paths asked for.
class TileServer : public QObject {
public:
    QStringList requests;
    QByteArray png;
    explicit TileServer(QColor colour)
    {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(colour);
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        tile.save(&b, "PNG");
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

private:
    void answer(QTcpSocket *s)
    {
        QByteArray &buf = pending[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n"))
            return;
        requests.append(QString::fromLatin1(buf.left(buf.indexOf("\r\n")).split(' ').value(1)));
        pending.remove(s);
        s->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: "
                 + QByteArray::number(png.size()) + "\r\n\r\n" + png);
        s->disconnectFromHost();
    }
    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> pending;
};

// Chromium with a fresh profile; the event loop keeps running meanwhile so
// a tile server in this process can answer.
int chromium(const QStringList &extra, const QString &page, QByteArray *out)
{
    QTemporaryDir profile;
    QStringList args = fixtures::chromiumArgs(profile.path())
        << QStringLiteral("--window-size=900,700") << QStringLiteral("--virtual-time-budget=3000");
    args += extra;
    args << QUrl::fromLocalFile(page).toString();
    QProcess p;
    p.start(QStringLiteral("chromium"), args);
    if (!p.waitForStarted(10000))
        return -1;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);
    if (p.state() != QProcess::NotRunning)
        loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitCode();
}

// The page with two scripts of the test: one first in head noting every
// script error and console.error, one at the end of body that reads the
// map's layers, decodes each popup thumbnail and writes a JSON report.
const char *kErrorHook = R"(<script>window.checkErrors = [];
window.addEventListener('error', function (e) { checkErrors.push('error: ' + e.message); });
window.addEventListener('unhandledrejection', function (e) { checkErrors.push('rejection: ' + e.reason); });
(function () { var ce = console.error; console.error = function () {
  checkErrors.push('console: ' + Array.prototype.join.call(arguments, ' ')); ce.apply(console, arguments); }; })();
</script>)";
const char *kReport = R"(<script>(function () {
var map = window.pixplotMap, r = {lines: [], start: [], end: [], photos: []};
map.eachLayer(function (l) {
  if (l instanceof L.CircleMarker) {
    var at = l.getLatLng(), e = {lat: at.lat, lng: at.lng}, c = l.options.className;
    if (c === 'pixplot-start') r.start.push(e);
    if (c === 'pixplot-end') r.end.push(e);
    if (c === 'pixplot-photo') { e.popup = l.getPopup().getContent(); r.photos.push(e); }
  } else if (l instanceof L.Polyline) {
    r.lines.push(l.getLatLngs().map(function (p) { return [p.lat, p.lng]; }));
  }
});
var decoding = r.photos.map(function (p) {
  var box = p.popup, img = box.querySelector('img'), a = box.querySelector('a');
  delete p.popup;
  p.text = box.textContent; p.href = a ? a.getAttribute('href') : '';
  if (!img) return Promise.resolve();
  var im = new Image(); im.src = img.src;
  return im.decode().then(function () { p.thumb = [im.naturalWidth, im.naturalHeight]; },
                          function () { p.thumb = 'undecodable'; });
});
Promise.all(decoding).then(function () { setTimeout(function () {
  r.scale = document.querySelectorAll('.leaflet-control-scale-line').length;
  r.title = document.getElementById('title').textContent;
  r.tiles = Array.prototype.filter.call(document.querySelectorAll('img.leaflet-tile-loaded'),
                                        function (t) { return t.naturalWidth === 256; }).length;
  r.errors = window.checkErrors;
  var pre = document.createElement('pre'); pre.id = 'check-report';
  pre.textContent = JSON.stringify(r); document.body.appendChild(pre);
}, 500); });
})();</script>)";

bool writeCheckedCopy(const QString &page, const QString &copy)
{
    QByteArray html = testsupport::readAll(page);
    const qsizetype head = html.indexOf("<head>");
    const qsizetype body = html.lastIndexOf("</body>");
    if (head < 0 || body < 0)
        return false;
    html.insert(body, kReport);
    html.insert(head + 6, kErrorHook);
    QFile f(copy);
    return f.open(QIODevice::WriteOnly) && f.write(html) == html.size();
}

QJsonObject reportIn(const QByteArray &dom)
{
    static const QRegularExpression re(QStringLiteral("<pre id=\"check-report\">(.*?)</pre>"),
                                       QRegularExpression::DotMatchesEverythingOption);
    const QString json = re.match(QString::fromUtf8(dom)).captured(1);
    // textContent came back HTML-escaped inside the element.
    QString text = json;
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// What the checking scripts report of a copy of page that chromium ran with
// flags; *dom, the page as chromium left it. Empty when anything failed.
QJsonObject report(const QString &page, const QStringList &flags, QByteArray *dom)
{
    const QString copy = page.chopped(5) + QStringLiteral("-checked.html");
    if (!writeCheckedCopy(page, copy)
        || chromium(flags + QStringList{QStringLiteral("--dump-dom")}, copy, dom) != 0)
        return {};
    return reportIn(*dom);
}

// The page as chromium, run with flags, shows it; null when that failed.
QImage screenshot(const QString &page, const QStringList &flags)
{
    const QString shot = page.chopped(5) + QStringLiteral(".png");
    if (chromium(flags + QStringList{QStringLiteral("--screenshot=") + shot}, page, nullptr) != 0)
        return {};
    return QImage(shot);
}

// Pixels of a screenshot that match a test.
template <typename Pred> qsizetype countPixels(const QImage &image, Pred pred)
{
    qsizetype n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += pred(QColor(image.pixel(x, y))) ? 1 : 0;
    return n;
}
bool isTrack(const QColor &c)
{
    return c.blue() > 180 && c.red() < 110 && c.green() < 130;
}
bool isTile(const QColor &c)
{
    return c.red() > 230 && c.green() < 40 && c.blue() > 230;
}

const QStringList kOffline{QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND")};

} // namespace

class TestMapPage : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString page; // three points, two of three photos placed
    bool haveBrowser = false;

private slots:
    void initTestCase();
    void simplify_data();
    void simplify();
    void millionPointPage();
    void everyPointWithinTwoMetres_data();
    void everyPointWithinTwoMetres();
    void offlinePageInBrowser();
    void tilesFromLoopbackServer();
    void commandLine_data();
    void commandLine();
};

void TestMapPage::initTestCase()
{
    QVERIFY(dir.isValid());
    haveBrowser = testsupport::hasProgram(QStringLiteral("chromium"));
    if (!testsupport::hasProgram(QStringLiteral("exiftool")))
        QSKIP("exiftool is not installed (scripts/deps)");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("photos")));
    QVERIFY(fixtures::writeLines(dir.filePath(QStringLiteral("path.nmea")),
                                 {fixtures::rmc(QStringLiteral("020000"), QStringLiteral("010524"),
                                                QStringLiteral("3150.0000"), QStringLiteral("11846.0000")),
                                  fixtures::rmc(QStringLiteral("020100"), QStringLiteral("010524"),
                                                QStringLiteral("3150.3000"), QStringLiteral("11846.2000")),
                                  fixtures::rmc(QStringLiteral("020200"), QStringLiteral("010524"),
                                                QStringLiteral("3150.6000"), QStringLiteral("11846.1000"))}));
    // The camera runs an hour slow; the second photo is a portrait stored
    // sideways (Orientation 6), the third was taken after the path ended.
    const QString a = dir.filePath(QStringLiteral("photos/a.jpg"));
    const QString b = dir.filePath(QStringLiteral("photos/照片 b.jpg"));
    const QString c = dir.filePath(QStringLiteral("photos/c.jpg"));
    QVERIFY(fixtures::writeJpeg(a, 640, 480) && fixtures::writeJpeg(b, 400, 300)
            && fixtures::writeJpeg(c, 64, 48));
    QVERIFY(fixtures::setExifTimes({{a, QStringLiteral("2024:05:01 09:00:10")},
                                    {b, QStringLiteral("2024:05:01 09:01:55")},
                                    {c, QStringLiteral("2024:05:01 11:00:00")}}));
    QVERIFY(testsupport::exiftoolWrite({QStringLiteral("-Orientation#=6"), b}));
    page = dir.filePath(QStringLiteral("trip.html"));
    const fixtures::Run r = fixtures::runPixplot(
        {QStringLiteral("--path"), dir.filePath(QStringLiteral("path.nmea")), QStringLiteral("--to-map"),
         page, QStringLiteral("--offset"), QStringLiteral("+01:00:00"), a, b, c});
    QCOMPARE(r.code, 0);
    QVERIFY2(QFileInfo(page).isFile(), qPrintable(r.err));
}

void TestMapPage::simplify_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<qsizetype>("cap");
    QTest::addColumn<qsizetype>("keptMin");
    QTest::addColumn<qsizetype>("keptMax");
    QTest::addColumn<bool>("withinTolerance");
    QTest::newRow("straight line") << int(Line) << qsizetype(10001) << qsizetype(50000) << qsizetype(2)
                                   << qsizetype(2) << true;
    QTest::newRow("logger standing still")
        << int(Still) << qsizetype(200000) << qsizetype(50000) << qsizetype(2) << qsizetype(2) << true;
    QTest::newRow("5 m zigzag kept whole")
        << int(Zigzag5) << qsizetype(2001) << qsizetype(50000) << qsizetype(2001) << qsizetype(2001) << true;
    QTest::newRow("0.4 m jitter dropped")
        << int(Noise04) << qsizetype(20001) << qsizetype(50000) << qsizetype(2) << qsizetype(2) << true;
    // Many points of equal weight: the cap is filled, not emptied by the tie.
    QTest::newRow("zigzag over the cap") << int(Zigzag5) << qsizetype(200001) << qsizetype(50000)
                                         << qsizetype(50000) << qsizetype(50000) << false;
    QTest::newRow("small cap") << int(Smooth) << qsizetype(20000) << qsizetype(10) << qsizetype(2)
                               << qsizetype(10) << false;
    QTest::newRow("smooth track with jitter")
        << int(Smooth) << qsizetype(200000) << qsizetype(50000) << qsizetype(100) << qsizetype(50000) << true;
}

void TestMapPage::simplify()
{
    QFETCH(int, shape);
    QFETCH(qsizetype, count);
    QFETCH(qsizetype, cap);
    QFETCH(qsizetype, keptMin);
    QFETCH(qsizetype, keptMax);
    QFETCH(bool, withinTolerance);
    const QList<GeoPoint> pts = track(Shape(shape), count);
    const QList<qsizetype> kept =
        pixplot::pathsimplify::keptIndexes(pts, pixplot::mappage::kToleranceMeters, cap);
    QVERIFY2(kept.size() >= keptMin && kept.size() <= keptMax, qPrintable(QString::number(kept.size())));
    QCOMPARE(kept.first(), 0);
    QCOMPARE(kept.last(), count - 1);
    QVERIFY(std::is_sorted(kept.begin(), kept.end())
            && std::adjacent_find(kept.begin(), kept.end()) == kept.end());
    if (withinTolerance)
        QVERIFY2(deviation(pts, kept) <= pixplot::mappage::kToleranceMeters * 1.01,
                 qPrintable(QString::number(deviation(pts, kept))));
    // Several segments share the cap and each keeps its ends.
    const QList<QList<GeoPoint>> two =
        pixplot::pathsimplify::simplify({pts, pts}, pixplot::mappage::kToleranceMeters, cap);
    QCOMPARE(two.size(), 2);
    QVERIFY(two[0].size() + two[1].size() <= std::max<qsizetype>(cap, 4));
    for (const QList<GeoPoint> &s : two) {
        QCOMPARE(s.first().latitude, pts.first().latitude);
        QCOMPARE(s.last().longitude, pts.last().longitude);
    }
}

void TestMapPage::millionPointPage()
{
    pixplot::mappage::Page p;
    p.segments = {track(Smooth, 1000000)};
    p.timeSpan = QStringLiteral("2024-05-01 10:00:00 to 2024-05-12 23:46:39");
    const QByteArray html = pixplot::mappage::pageHtml(p, dir.path());
    static const QRegularExpression segLine(QStringLiteral("^var segments = (.*);\\r$"),
                                            QRegularExpression::MultilineOption);
    const QJsonArray segs =
        QJsonDocument::fromJson(segLine.match(QString::fromUtf8(html)).captured(1).toUtf8()).array();
    QCOMPARE(segs.size(), 1);
    const qsizetype vertices = segs[0].toArray().size();
    QVERIFY2(vertices > 100 && vertices <= pixplot::mappage::kMaxVertices,
             qPrintable(QString::number(vertices)));
    // Leaflet and its notice (~150 kB) plus about 23 bytes a vertex.
    QVERIFY2(html.size() < 200000 + vertices * 25, qPrintable(QString::number(html.size())));
}

void TestMapPage::everyPointWithinTwoMetres_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<qsizetype>("count");
    QTest::newRow("smooth million") << int(Smooth) << qsizetype(1000000);
    QTest::newRow("5 m zigzag over the cap") << int(Zigzag5) << qsizetype(200001);
}

// The page's finest drawing (the line, or the pieces it draws from the
// fine zoom on) passes within 2 m of every point, and the page stays small.
void TestMapPage::everyPointWithinTwoMetres()
{
    QFETCH(int, shape);
    QFETCH(qsizetype, count);
    QVERIFY(count > 1);
    pixplot::mappage::Page p;
    p.segments = {track(Shape(shape), count)};
    const QList<GeoPoint> &pts = p.segments[0];
    const QString html = QString::fromUtf8(pixplot::mappage::pageHtml(p, dir.path()));
    static const QRegularExpression segLine(QStringLiteral("^var segments = (.*);\\r$"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression pieceLine(QStringLiteral("^var pieces = (.*), fineZoom = \\d+;\\r$"),
                                              QRegularExpression::MultilineOption);
    const QJsonArray coarse =
        QJsonDocument::fromJson(segLine.match(html).captured(1).toUtf8()).array().at(0).toArray();
    QList<GeoPoint> line;
    for (const QJsonValue &v : coarse)
        line.append({v.toArray().at(1).toDouble(), v.toArray().at(0).toDouble()});
    const QRegularExpressionMatch pieces = pieceLine.match(html);
    if (pieces.hasMatch()) {
        QVERIFY(coarse.size() == pixplot::mappage::kMaxVertices);
        line.clear();
        for (const QJsonValue &piece : QJsonDocument::fromJson(pieces.captured(1).toUtf8()).array()) {
            qint64 lat = 0, lng = 0;
            const QStringList steps = piece.toArray().at(4).toString().split(QLatin1Char(','));
            for (qsizetype i = 0; i + 1 < steps.size(); i += 2) {
                lat += steps[i].toLongLong();
                lng += steps[i + 1].toLongLong();
                line.append({lng / 1e6, lat / 1e6});
            }
        }
    }
    // Walk the points along the line: a vertex is a point (give or take the
    // page's rounding), and the points between two vertices lie by the
    // stretch between them.
    const auto dist = [](const QPointF &a, const QPointF &b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); };
    double worst = 0;
    qsizetype j = 0;
    for (const GeoPoint &g : pts) {
        const QPointF q = toMetres(g);
        while (j + 1 < line.size() && dist(toMetres(line[j + 1]), q) < 0.2)
            ++j;
        const QPointF a = toMetres(line[j]), d = toMetres(line[std::min(j + 1, line.size() - 1)]) - a;
        const double len2 = QPointF::dotProduct(d, d);
        const double u = len2 > 0 ? std::clamp(QPointF::dotProduct(q - a, d) / len2, 0.0, 1.0) : 0;
        worst = std::max(worst, dist(q, a + u * d));
    }
    QVERIFY2(worst <= 2.0, qPrintable(QString::number(worst)));
    QCOMPARE(j, line.size() - 1); // the walk reached the line's end
    // Leaflet (~150 kB), the line's vertices as before, under 12 bytes a
    // vertex of the pieces.
    const qsizetype fine = pieces.hasMatch() ? line.size() : 0;
    QVERIFY2(html.size() < 200000 + 25 * coarse.size() + 12 * fine,
             qPrintable(QStringLiteral("%1 bytes, %2 + %3 vertices").arg(html.size()).arg(coarse.size()).arg(fine)));
    qInfo("%lld points: page %lld bytes, line %lld vertices, pieces %lld vertices, worst %.2f m", qint64(count),
          qint64(html.size()), qint64(coarse.size()), qint64(fine), worst);
}

void TestMapPage::offlinePageInBrowser()
{
    if (!haveBrowser)
        QSKIP("chromium is not installed (scripts/deps)");
    QByteArray dom;
    const QJsonObject r = report(page, kOffline, &dom);
    QVERIFY2(!r.isEmpty(), dom.right(2000).constData());
    QCOMPARE(r[QStringLiteral("errors")].toArray(), QJsonArray());
    QCOMPARE(r[QStringLiteral("title")].toString(),
             QStringLiteral("Log Date And Time: 2024-05-01 10:00:00 to 2024-05-01 10:02:00"));
    QCOMPARE(r[QStringLiteral("scale")].toInt(), 1);

    const double p[3][2] = {{31.833333, 118.766667}, {31.838333, 118.77}, {31.843333, 118.768333}};
    const auto near = [](const QJsonValue &lat, const QJsonValue &lng, const double at[2]) {
        return std::abs(lat.toDouble() - at[0]) < 1e-6 && std::abs(lng.toDouble() - at[1]) < 1e-6;
    };
    const QJsonArray lines = r[QStringLiteral("lines")].toArray();
    QCOMPARE(lines.size(), 1);
    const QJsonArray line = lines[0].toArray();
    QCOMPARE(line.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(near(line[i].toArray()[0], line[i].toArray()[1], p[i]), qPrintable(QString::number(i)));
    QCOMPARE(r[QStringLiteral("start")].toArray().size(), 1);
    QCOMPARE(r[QStringLiteral("end")].toArray().size(), 1);
    const QJsonObject start = r[QStringLiteral("start")].toArray()[0].toObject();
    const QJsonObject end = r[QStringLiteral("end")].toArray()[0].toObject();
    QVERIFY(near(start[QStringLiteral("lat")], start[QStringLiteral("lng")], p[0]));
    QVERIFY(near(end[QStringLiteral("lat")], end[QStringLiteral("lng")], p[2]));

    // Photo a at the first point, photo b at the last; c has no position.
    const QJsonArray photos = r[QStringLiteral("photos")].toArray();
    QCOMPARE(photos.size(), 2);
    struct Expect {
        const double *at;
        QString name, time, href;
        int w, h;
    };
    const Expect expect[2] = {{p[0], QStringLiteral("a.jpg"), QStringLiteral("2024-05-01 10:00:10"),
                               QStringLiteral("photos/a.jpg"), 200, 150},
                              {p[2], QStringLiteral("照片 b.jpg"), QStringLiteral("2024-05-01 10:01:55"),
                               QStringLiteral("photos/%E7%85%A7%E7%89%87%20b.jpg"), 150, 200}};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject ph = photos[i].toObject();
        QVERIFY(near(ph[QStringLiteral("lat")], ph[QStringLiteral("lng")], expect[i].at));
        const QString text = ph[QStringLiteral("text")].toString();
        QVERIFY2(text.contains(expect[i].name) && text.contains(expect[i].time), qPrintable(text));
        QCOMPARE(ph[QStringLiteral("href")].toString(), expect[i].href);
        QVERIFY(QFileInfo(dir.filePath(QUrl::fromPercentEncoding(expect[i].href.toUtf8()))).isFile());
        // Decoded, upright, longest side 200.
        QCOMPARE(ph[QStringLiteral("thumb")].toArray(), (QJsonArray{expect[i].w, expect[i].h}));
    }

    // The screenshot shows the track on the plain background.
    const QImage image = screenshot(page, kOffline);
    QVERIFY(!image.isNull());
    QVERIFY2(countPixels(image, isTrack) > 300, qPrintable(QString::number(countPixels(image, isTrack))));
}

void TestMapPage::tilesFromLoopbackServer()
{
    if (!haveBrowser)
        QSKIP("chromium is not installed (scripts/deps)");
    TileServer tiles(QColor(255, 0, 255));
    QVERIFY(tiles.listen());
    const QString tiled = dir.filePath(QStringLiteral("tiled.html"));
    QCOMPARE(fixtures::runPixplot({QStringLiteral("--path"), dir.filePath(QStringLiteral("path.nmea")),
                                   QStringLiteral("--to-map"), tiled, QStringLiteral("--tiles"),
                                   QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(tiles.port())})
                 .code,
             0);
    const QStringList loopbackOnly{
        QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1")};
    QByteArray dom;
    const QJsonObject r = report(tiled, loopbackOnly, &dom);
    QVERIFY2(!r.isEmpty(), dom.right(2000).constData());
    QCOMPARE(r[QStringLiteral("errors")].toArray(), QJsonArray());
    QVERIFY2(r[QStringLiteral("tiles")].toInt() > 0, dom.right(1500).constData());
    static const QRegularExpression tilePath(QStringLiteral("^/\\d+/\\d+/\\d+\\.png$"));
    QVERIFY(!tiles.requests.isEmpty());
    for (const QString &req : std::as_const(tiles.requests))
        QVERIFY2(tilePath.match(req).hasMatch(), qPrintable(req));

    const QImage image = screenshot(tiled, loopbackOnly);
    QVERIFY(!image.isNull());
    QVERIFY(countPixels(image, isTile) > image.width() * image.height() / 4);
    QVERIFY(countPixels(image, isTrack) > 300);
}

void TestMapPage::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("err");
    QTest::newRow("tiles not a template")
        << QStringList{"--to-map", "@new", "--tiles", "http://h/tile.png"} << 2 << "瓦片地址";
    QTest::newRow("tiles not http") << QStringList{"--to-map", "@new", "--tiles", "file:///{z}/{x}/{y}"} << 2
                                    << "瓦片地址";
    QTest::newRow("tiles without --to-map") << QStringList{"--tiles", "none"} << 2 << "--to-map";
    QTest::newRow("existing page kept") << QStringList{"--to-map", "@page"} << 1 << "--overwrite";
    QTest::newRow("no path points") << QStringList{"--to-map", "@new", "--path", "@empty"} << 1
                                    << "没有有效的轨迹点";
}

void TestMapPage::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, err);
    QVERIFY(fixtures::writeLines(dir.filePath(QStringLiteral("empty.nmea")), {QStringLiteral("$GPGGA,1")}));
    const QByteArray before = testsupport::readAll(page);
    if (!args.contains(QStringLiteral("--path")))
        args << QStringLiteral("--path") << dir.filePath(QStringLiteral("path.nmea"));
    for (QString &a : args)
        a.replace(QStringLiteral("@new"), dir.filePath(QStringLiteral("new.html")))
            .replace(QStringLiteral("@page"), page)
            .replace(QStringLiteral("@empty"), dir.filePath(QStringLiteral("empty.nmea")));
    const fixtures::Run r = fixtures::runPixplot(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("new.html"))));
    QCOMPARE(testsupport::readAll(page), before);
}

QTEST_MAIN(TestMapPage)
#include "tst_mappage.moc"
