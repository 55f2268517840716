#include "core/mappage.h"

#include "common/bmp2jpg.h"
#include "core/mediaformat.h"
#include "core/photooutput.h"
#include "core/pathsimplify.h"
#include "core/nmeasentence.h"

#include "common/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QBuffer>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <cmath>

namespace pixplot::mappage {

namespace {

// FOSSGIS e.V.'s tiles (German OpenStreetMap style) answer requests without
// a Referer, which is all a page opened from disk can send.
const QString kDefaultTemplate = QStringLiteral("https://tile.openstreetmap.de/{z}/{x}/{y}.png");
const QString kDefaultAttribution = QStringLiteral(
    "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors, "
    "tiles &copy; <a href=\"https://www.openstreetmap.de\">FOSSGIS e.V.</a> "
    "(<a href=\"https://www.openstreetmap.org/fixthemap\">fix the map</a>)");

// AutoNavi (高德地图) serves its maps in GCJ-02, as every map service
// licensed in mainland China must.
const QString kGcjPrefix = QStringLiteral("gcj02:");
const QString kAutoNaviRoads =
    QStringLiteral("https://webrd01.is.autonavi.com/appmaptile?lang=zh_cn&size=1&scale=1&style=8&x={x}&y={y}&z={z}");
const QString kAutoNaviImagery = QStringLiteral("https://webst01.is.autonavi.com/appmaptile?style=6&x={x}&y={y}&z={z}");
const QString kAutoNaviAttribution = QStringLiteral("&copy; 高德地图 (AutoNavi)");

// For tiles drawn in GCJ-02: the published WGS-84 -> GCJ-02 conversion
// applied to what the page draws (China's bounds only), before it draws.
QByteArray gcjShiftScript()
{
    return R"JS((function () {
var A = 6378245.0, EE = 0.00669342162296594323;
function t(x, y, lat) {
    var r = lat ? -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * Math.sqrt(Math.abs(x))
                : 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * Math.sqrt(Math.abs(x));
    r += (20.0 * Math.sin(6.0 * x * Math.PI) + 20.0 * Math.sin(2.0 * x * Math.PI)) * 2.0 / 3.0;
    if (lat) {
        r += (20.0 * Math.sin(y * Math.PI) + 40.0 * Math.sin(y / 3.0 * Math.PI)) * 2.0 / 3.0;
        r += (160.0 * Math.sin(y / 12.0 * Math.PI) + 320 * Math.sin(y * Math.PI / 30.0)) * 2.0 / 3.0;
    } else {
        r += (20.0 * Math.sin(x * Math.PI) + 40.0 * Math.sin(x / 3.0 * Math.PI)) * 2.0 / 3.0;
        r += (150.0 * Math.sin(x / 12.0 * Math.PI) + 300.0 * Math.sin(x / 30.0 * Math.PI)) * 2.0 / 3.0;
    }
    return r;
}
function shift(lat, lng) {
    if (lng < 72.004 || lng > 137.8347 || lat < 0.8293 || lat > 55.8271)
        return [lat, lng];
    var radLat = lat / 180.0 * Math.PI, magic = Math.sin(radLat);
    magic = 1 - EE * magic * magic;
    var sqrtMagic = Math.sqrt(magic);
    return [lat + (t(lng - 105.0, lat - 35.0, true) * 180.0) / ((A * (1 - EE)) / (magic * sqrtMagic) * Math.PI),
            lng + (t(lng - 105.0, lat - 35.0, false) * 180.0) / (A / sqrtMagic * Math.cos(radLat) * Math.PI)];
}
segments.forEach(function (s) { s.forEach(function (p) { var g = shift(p[0], p[1]); p[0] = g[0]; p[1] = g[1]; }); });
photos.forEach(function (p) { var g = shift(p.lat, p.lng); p.lat = g[0]; p.lng = g[1]; });
window.pixplotShift = shift;
})();
)JS";
}

QByteArray resource(const QString &name)
{
    QFile f(QStringLiteral(":/leaflet/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Leaflet's script without its source-map reference (the map file is not
// in the page) and safe inside a script element.
QByteArray leafletScript()
{
    QByteArray js = resource(QStringLiteral("leaflet.min.js"));
    const qsizetype map = js.lastIndexOf("//# sourceMappingURL=");
    if (map >= 0)
        js.truncate(map);
    return js.replace("</script", "<\\/script").replace("</SCRIPT", "<\\/SCRIPT");
}

QString escapeHtml(const QString &text)
{
    return text.toHtmlEscaped();
}

// JSON that can stand inside a script element.
QByteArray scriptJson(const QJsonValue &value)
{
    QByteArray json = value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                      : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    return json.replace("<", "\\u003c").replace(">", "\\u003e");
}

void appendCoordinate(QByteArray &out, double v)
{
    out += QByteArray::number(v, 'f', 6);
}

// Past the vertex cap the one line strays several metres from the points.
// The page then also carries the track in pieces of consecutive points, each
// thinned with the tolerance alone, and draws the pieces in view in place of
// the line from the zoom where a metre begins to show.
constexpr qsizetype kPiecePoints = 4096;
constexpr int kFineZoom = 15;

// [[south, west, north, east, "lat,lng,dlat,dlng,..."], ...]: millionths of
// a degree, each pair after the first as the step from the one before.
QByteArray piecesJson(const QList<QList<GeoPoint>> &segments)
{
    QByteArray out = "[";
    for (const QList<GeoPoint> &seg : segments) {
        for (qsizetype from = 0; from + 1 < seg.size(); from += kPiecePoints) {
            // Each piece ends on the point the next one starts with.
            const QList<GeoPoint> piece = seg.mid(from, std::min(kPiecePoints, seg.size() - 1 - from) + 1);
            const QList<qsizetype> kept = pathsimplify::keptIndexes(piece, kToleranceMeters, piece.size());
            double south = 90, west = 180, north = -90, east = -180;
            for (const GeoPoint &p : piece) {
                south = std::min(south, p.latitude);
                north = std::max(north, p.latitude);
                west = std::min(west, p.longitude);
                east = std::max(east, p.longitude);
            }
            QByteArray steps;
            qint64 lastLat = 0, lastLng = 0;
            for (qsizetype k : kept) {
                const qint64 lat = std::llround(piece[k].latitude * 1e6);
                const qint64 lng = std::llround(piece[k].longitude * 1e6);
                if (!steps.isEmpty())
                    steps += ',';
                steps += QByteArray::number(lat - lastLat) + ',' + QByteArray::number(lng - lastLng);
                lastLat = lat;
                lastLng = lng;
            }
            if (out.size() > 1)
                out += ',';
            out += '[';
            for (double b : {south, west, north, east}) {
                appendCoordinate(out, b);
                out += ',';
            }
            out += '"' + steps + "\"]";
        }
    }
    return out + ']';
}

QByteArray piecesScript(const QByteArray &pieces)
{
    return "(function () {\r\nvar pieces = " + pieces + ", fineZoom = " + QByteArray::number(kFineZoom)
        + ";\r\n" + R"JS(var map = window.pixplotMap, shift = window.pixplotShift;
var layer = L.layerGroup().addTo(map), drawn = {};
function decode(text) {
    var v = text.split(','), out = [], lat = 0, lng = 0;
    for (var i = 0; i + 1 < v.length; i += 2) {
        lat += +v[i];
        lng += +v[i + 1];
        out.push(shift ? shift(lat / 1e6, lng / 1e6) : [lat / 1e6, lng / 1e6]);
    }
    return out;
}
function update() {
    var fine = map.getZoom() >= fineZoom;
    map.eachLayer(function (l) {
        if (l.options && l.options.className === 'pixplot-track')
            l.setStyle({opacity: fine ? 0 : 0.85});
    });
    var view = map.getBounds().pad(0.5);
    pieces.forEach(function (p, i) {
        var show = fine && view.intersects(L.latLngBounds([p[0], p[1]], [p[2], p[3]]));
        if (show && !drawn[i])
            drawn[i] = L.polyline(decode(p[4]), {color: '#1736e6', weight: 4, opacity: 0.85,
                                                className: 'pixplot-fine'}).addTo(layer);
        else if (!show && drawn[i]) {
            layer.removeLayer(drawn[i]);
            delete drawn[i];
        }
    });
}
map.on('zoomend moveend', update);
update();
})();
)JS";
}

// Draws the page's segments and photos, from the variables segments,
// photos and tiles the page sets before it.
QByteArray drawingScript()
{
    return R"JS(var map = L.map('map');
window.pixplotMap = map;
if (tiles.url)
    L.tileLayer(tiles.url, {attribution: tiles.attribution, maxZoom: 19}).addTo(map);
L.control.scale({imperial: false}).addTo(map);
var bounds = L.latLngBounds([]);
segments.forEach(function (segment) {
    if (segment.length === 0)
        return;
    var line = L.polyline(segment, {color: '#1736e6', weight: 4, opacity: 0.85,
                                    className: 'pixplot-track'}).addTo(map);
    bounds.extend(line.getBounds());
});
// Start and end are drawn larger than photo markers, so a photo taken at
// either end leaves a ring of its colour visible around it.
function endMarker(at, colour, name, text) {
    L.circleMarker(at, {radius: 10, color: '#ffffff', weight: 2, fillColor: colour,
                        fillOpacity: 1, className: name}).bindTooltip(text).addTo(map);
}
var drawn = segments.filter(function (s) { return s.length > 0; });
if (drawn.length > 0) {
    endMarker(drawn[0][0], '#1a9c2e', 'pixplot-start', '起点');
    var last = drawn[drawn.length - 1];
    endMarker(last[last.length - 1], '#d3201c', 'pixplot-end', '终点');
}
function popupFor(photo) {
    var box = document.createElement('div');
    box.className = 'pixplot-popup';
    if (photo.thumb) {
        var img = document.createElement('img');
        img.src = photo.thumb;
        img.alt = photo.name;
        box.appendChild(img);
    }
    var name = document.createElement('div');
    var link = document.createElement('a');
    link.href = photo.href;
    link.textContent = photo.name;
    name.appendChild(link);
    box.appendChild(name);
    var time = document.createElement('div');
    time.textContent = '拍摄时间: ' + photo.time;
    box.appendChild(time);
    var pos = document.createElement('div');
    pos.textContent = '坐标: ' + photo.pos + ' (' + photo.lat.toFixed(6) + ', ' + photo.lng.toFixed(6) + ')';
    box.appendChild(pos);
    return box;
}
photos.forEach(function (photo) {
    var at = [photo.lat, photo.lng];
    L.circleMarker(at, {radius: 6, color: '#ffffff', weight: 2, fillColor: '#f08c00',
                        fillOpacity: 1, className: 'pixplot-photo'})
        .bindPopup(popupFor(photo), {maxWidth: 260, minWidth: 200}).addTo(map);
    bounds.extend(at);
});
if (!bounds.isValid())
    map.setView([0, 0], 2);
else if (bounds.getNorthEast().equals(bounds.getSouthWest()))
    map.setView(bounds.getCenter(), 17);
else
    map.fitBounds(bounds, {padding: [24, 24], maxZoom: 18});
})();
)JS";
}

QByteArray segmentsJson(const QList<QList<GeoPoint>> &segments)
{
    QByteArray out = "[";
    for (qsizetype s = 0; s < segments.size(); ++s) {
        if (s)
            out += ',';
        out += '[';
        const QList<GeoPoint> &seg = segments[s];
        for (qsizetype i = 0; i < seg.size(); ++i) {
            if (i)
                out += ',';
            out += '[';
            appendCoordinate(out, seg[i].latitude);
            out += ',';
            appendCoordinate(out, seg[i].longitude);
            out += ']';
        }
        out += ']';
    }
    return out + ']';
}

// A relative URL from the page's folder to file, each part percent-encoded.
QString relativeLink(const QString &pageFolder, const QString &file)
{
    const QString rel = QDir(pageFolder).relativeFilePath(QFileInfo(file).absoluteFilePath());
    QStringList parts = rel.split(QLatin1Char('/'));
    for (QString &p : parts)
        p = QString::fromLatin1(QUrl::toPercentEncoding(p));
    return parts.join(QLatin1Char('/'));
}

QJsonObject photoJson(const Photo &photo, const QString &pageFolder)
{
    const GeoPoint at = photo.degrees ? *photo.degrees : systemfinction::ParsePositionText(photo.position);
    QJsonObject o;
    o[QStringLiteral("lat")] = at.latitude;
    o[QStringLiteral("lng")] = at.longitude;
    o[QStringLiteral("name")] = QFileInfo(photo.file).fileName();
    o[QStringLiteral("time")] = photo.time;
    o[QStringLiteral("pos")] = photo.position;
    o[QStringLiteral("href")] = relativeLink(pageFolder, photo.file);
    o[QStringLiteral("thumb")] = thumbnailDataUri(photo.file);
    return o;
}

// Debian's copyright file: blank-line separated stanzas of "Field: value"
// lines, continuation lines indented, " ." for an empty line.
QList<QList<QPair<QString, QString>>> copyrightStanzas(const QString &text)
{
    QList<QList<QPair<QString, QString>>> stanzas;
    QList<QPair<QString, QString>> current;
    for (const QString &line : common::splitLines(text)) {
        if (line.trimmed().isEmpty()) {
            if (!current.isEmpty())
                stanzas.append(current);
            current.clear();
        } else if (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'))) {
            if (current.isEmpty())
                continue;
            const QString body = line.mid(1);
            current.last().second += QLatin1Char('\n') + (body == QLatin1String(".") ? QString() : body);
        } else {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            current.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    }
    if (!current.isEmpty())
        stanzas.append(current);
    return stanzas;
}

QString field(const QList<QPair<QString, QString>> &stanza, const QString &name)
{
    for (const auto &f : stanza)
        if (f.first.compare(name, Qt::CaseInsensitive) == 0)
            return f.second;
    return {};
}

} // namespace

Tiles defaultTiles()
{
    return {kDefaultTemplate, kDefaultAttribution};
}

Tiles tilesFromText(const QString &text, bool *ok)
{
    *ok = true;
    QString t = text.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return {};
    if (t == kDefaultTemplate)
        return defaultTiles();
    if (t.startsWith(kGcjPrefix, Qt::CaseInsensitive)) {
        Tiles shifted = tilesFromText(t.mid(kGcjPrefix.size()), ok);
        if (!*ok || shifted.urlTemplate.isEmpty()) {
            *ok = false;
            return {};
        }
        if (shifted.urlTemplate == kAutoNaviRoads || shifted.urlTemplate == kAutoNaviImagery)
            shifted.attributionHtml = kAutoNaviAttribution;
        shifted.gcj02 = true;
        return shifted;
    }
    const QUrl url(t);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.host().isEmpty() || !t.contains(QLatin1String("{z}")) || !t.contains(QLatin1String("{x}"))
        || !t.contains(QLatin1String("{y}"))) {
        *ok = false;
        return {};
    }
    return {t, QStringLiteral("Tiles: ") + escapeHtml(url.host())};
}

QList<TilePreset> tilePresets()
{
    return {
        {kDefaultTemplate, QStringLiteral("OpenStreetMap（FOSSGIS），WGS-84")},
        {kGcjPrefix + kAutoNaviRoads, QStringLiteral("高德地图 道路，GCJ-02")},
        {kGcjPrefix + kAutoNaviImagery, QStringLiteral("高德地图 卫星，GCJ-02")},
        {QStringLiteral("none"), QStringLiteral("不用瓦片")},
    };
}

QList<Photo> photosOfRows(const QList<PhotoRow> &rows)
{
    QList<Photo> photos;
    for (const PhotoRow &r : rows)
        if (!r.position.isEmpty())
            photos.append({r.record.folder + r.record.fileName, r.timeText, r.position, r.degrees});
    return photos;
}

QList<QList<GeoPoint>> segmentsOfPath(const nmeaconvert::PathInput &path)
{
    if (path.count <= 0)
        return {};
    return {path.points.first(std::min(path.count, path.points.size()))};
}

QList<QList<GeoPoint>> drawnSegments(const QList<PathPoint> &points)
{
    QList<QList<GeoPoint>> segments;
    qint32 current = 0;
    for (const PathPoint &p : points) {
        if (p.position.isEmpty())
            continue;
        if (segments.isEmpty() || p.segment != current) {
            segments.append(QList<GeoPoint>());
            current = p.segment;
        }
        segments.last().append(systemfinction::ParsePositionText(p.positionText()));
    }
    return pathsimplify::simplify(segments, kToleranceMeters, kMaxVertices);
}

QString thumbnailDataUri(const QString &photoFile)
{
    if (!mediaformat::isJpeg(photoFile)) {
        // Raw, HEIF and video rows: their preview through the registry.
        const QImage image =
            mediaformat::previewImage(photoFile, QSize(kThumbnailSide, kThumbnailSide), nullptr, QString());
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        if (image.isNull() || !buffer.open(QIODevice::WriteOnly)
            || !image.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPG", 80))
            return {};
        return QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64());
    }
    QImageReader reader(photoFile);
    reader.setAutoTransform(true);
    // Scaling before the turn upright is fine: a quarter turn keeps the
    // longest side the longest. JPEG decodes straight at the smaller size.
    const QSize size = reader.size();
    if (!photooutput::oversizeReason(size).isEmpty())
        return {};
    if (size.isValid() && (size.width() > kThumbnailSide || size.height() > kThumbnailSide))
        reader.setScaledSize(size.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > kThumbnailSide || image.height() > kThumbnailSide)
        image = image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray jpeg;
    if (!BMP2JPG::encodePictureAsJpeg(image.convertToFormat(QImage::Format_RGB32), 80, &jpeg))
        return {};
    return QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64());
}

QString leafletNotice()
{
    static const QRegularExpression versionRe(QStringLiteral("\\.version=\"([^\"]+)\""));
    const QString version =
        versionRe.match(QString::fromUtf8(resource(QStringLiteral("leaflet.min.js")))).captured(1);
    const QString copyright = QString::fromUtf8(resource(QStringLiteral("copyright")));
    const auto stanzas = copyrightStanzas(copyright);

    QString holders, license, licenseText;
    for (const auto &s : stanzas) {
        if (field(s, QStringLiteral("Files")) == QLatin1String("*")) {
            holders = field(s, QStringLiteral("Copyright")).trimmed();
            license = field(s, QStringLiteral("License")).section(QLatin1Char('\n'), 0, 0).trimmed();
        }
    }
    for (const auto &s : stanzas) {
        const QString l = field(s, QStringLiteral("License"));
        if (!license.isEmpty() && s.size() == 1 && l.section(QLatin1Char('\n'), 0, 0).trimmed() == license)
            licenseText = l.section(QLatin1Char('\n'), 1).trimmed();
    }
    QString notice = QStringLiteral("Leaflet %1, https://leafletjs.com\n").arg(version);
    if (holders.isEmpty() || licenseText.isEmpty())
        return notice + copyright; // an unexpected layout: keep all of it
    for (const QString &h : holders.split(QLatin1Char('\n')))
        if (!h.trimmed().isEmpty())
            notice += QStringLiteral("Copyright ") + h.simplified() + QLatin1Char('\n');
    return notice + QStringLiteral("License: ") + license + QStringLiteral("\n\n") + licenseText
        + QLatin1Char('\n');
}

namespace {

// The page's head: the title, the Leaflet notice, the styles and Leaflet.
QByteArray pageHead(const QString &span)
{
    // An HTML comment ends at "-->"; the notice never holds one, but make sure.
    QString notice = leafletNotice();
    notice.replace(QLatin1String("--"), QLatin1String("- -"));

    QByteArray html;
    const auto line = [&html](const QString &text) { html += text.toUtf8() + "\r\n"; };
    line(QStringLiteral("<!DOCTYPE html>"));
    line(QStringLiteral("<html lang=\"zh-CN\">"));
    line(QStringLiteral("<head>"));
    line(QStringLiteral("<meta charset=\"utf-8\">"));
    line(QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"));
    line(QStringLiteral("<title>Paths ") + span + QStringLiteral("</title>"));
    line(QStringLiteral("<!--"));
    html += notice.toUtf8().replace("\n", "\r\n");
    line(QStringLiteral("-->"));
    line(QStringLiteral("<style>"));
    html += resource(QStringLiteral("leaflet.css"));
    line(QString());
    line(QStringLiteral("html, body { height: 100%; margin: 0; }"));
    line(QStringLiteral("body { display: flex; flex-direction: column; font-family: sans-serif; }"));
    line(QStringLiteral("#title { font-size: medium; font-weight: bold; padding: 0 8px; }"));
    line(QStringLiteral("#title p { margin: 6px 0; }"));
    line(QStringLiteral("#map { flex: 1; min-height: 300px; }"));
    line(QStringLiteral(".leaflet-container { background: #eef0ea; }"));
    line(QStringLiteral(".pixplot-popup img { display: block; margin-bottom: 4px; }"));
    // Long lines (the coordinates with their decimal degrees) wrap inside
    // the popup's width instead of running out of it.
    line(QStringLiteral(".pixplot-popup div { overflow-wrap: anywhere; }"));
    line(QStringLiteral("</style>"));
    line(QStringLiteral("<script>"));
    html += leafletScript();
    line(QString());
    line(QStringLiteral("</script>"));
    line(QStringLiteral("</head>"));
    return html;
}

} // namespace

QByteArray pageHtml(const Page &page, const QString &pageFolder)
{
    const QList<QList<GeoPoint>> drawn =
        pathsimplify::simplify(page.segments, kToleranceMeters, kMaxVertices);

    QJsonArray photos;
    for (const Photo &p : page.photos)
        photos.append(photoJson(p, pageFolder));
    QJsonObject tiles;
    if (!page.tiles.urlTemplate.isEmpty()) {
        tiles[QStringLiteral("url")] = page.tiles.urlTemplate;
        tiles[QStringLiteral("attribution")] = page.tiles.attributionHtml;
    }

    const QString span = escapeHtml(page.timeSpan);
    QByteArray html = pageHead(span);
    const auto line = [&html](const QString &text) { html += text.toUtf8() + "\r\n"; };
    line(QStringLiteral("<body>"));
    line(QStringLiteral("<div id=\"title\"><p>Log Date And Time: ") + span + QStringLiteral("</p></div>"));
    line(QStringLiteral("<div id=\"map\"></div>"));
    line(QStringLiteral("<script>"));
    line(QStringLiteral("(function () {"));
    html += "var segments = " + segmentsJson(drawn) + ";\r\n";
    html += "var photos = " + scriptJson(photos) + ";\r\n";
    html += "var tiles = " + scriptJson(tiles) + ";\r\n";
    if (page.tiles.gcj02)
        html += gcjShiftScript();
    html += drawingScript();
    line(QStringLiteral("</script>"));
    qsizetype vertices = 0;
    for (const QList<GeoPoint> &seg : drawn)
        vertices += seg.size();
    if (vertices >= kMaxVertices) {
        line(QStringLiteral("<script>"));
        html += piecesScript(piecesJson(page.segments));
        line(QStringLiteral("</script>"));
    }
    line(QStringLiteral("</body>"));
    line(QStringLiteral("</html>"));
    return html;
}

bool writePage(const QString &fileName, const Page &page, QString *error)
{
    return common::writeFileAtomically(fileName, pageHtml(page, QFileInfo(fileName).absolutePath()), error);
}

QString mapFileName(const QString &pathFileBase)
{
    return pathFileBase + QStringLiteral("_map.html");
}

QString mapSavedMessage(const QString &fileName)
{
    return QStringLiteral("地图网页文件已保存到\r\n") + fileName + QStringLiteral("！");
}

QString badTilesMessage(const QString &text)
{
    return QStringLiteral("瓦片地址“%1”无效：应为含 {z}、{x}、{y} 的 http(s) 地址，或 none（不用瓦片）。")
        .arg(text);
}

} // namespace pixplot::mappage
