#pragma once
// The path and the placed photos as one self-contained HTML map page:
// Leaflet (embedded from the build machine's libjs-leaflet) and the data
// inline, thumbnails as data URIs, only the map tiles from the network.
#include "core/nmeaconvert.h"
#include "core/photorow.h"
#include "core/types.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace pixplot::mappage {

// Drawing limits for long paths.
constexpr double kToleranceMeters = 1.0;
constexpr qsizetype kMaxVertices = 50000;
constexpr int kThumbnailSide = 200; // longest side of a popup's picture, px

// One tile layer: an {z}/{x}/{y} URL template and the credit it requires.
// An empty template means no tiles: the page draws on a plain background.
// gcj02: the server's maps are drawn in GCJ-02, China's shifted system, so
// the track and photos are shifted to it where they are drawn (positions
// kept and written stay WGS-84).
struct Tiles {
    QString urlTemplate;
    QString attributionHtml;
    bool gcj02 = false;
};
// Tiles that serve pages opened from disk (no Referer sent).
Tiles defaultTiles();
// "none" or "" -> no tiles; the default template -> defaultTiles(); any
// other http(s) template holding {z}, {x} and {y} -> that template with its
// host named as the credit. A template after "gcj02:" serves GCJ-02 maps.
// nullopt-like: ok false for anything else.
Tiles tilesFromText(const QString &text, bool *ok);

// The tile sources offered for choosing: the text for "瓦片:" and what it is.
struct TilePreset {
    QString text;
    QString label;
};
QList<TilePreset> tilePresets();

// A photo placed on the map.
struct Photo {
    QString file;     // the photo's path
    QString time;     // corrected shooting time
    QString position; // position text, e.g. N31°50.1234',E118°46.5678'
    // Its degrees where the text rounds them (PhotoRow::degrees): the
    // marker stands where the photo's tags say.
    std::optional<GeoPoint> degrees = {};
};
// The rows that have a position, in list order.
QList<Photo> photosOfRows(const QList<PhotoRow> &rows);

struct Page {
    QList<QList<GeoPoint>> segments; // drawn as one line each
    QString timeSpan;                // first time " to " last time
    QList<Photo> photos;
    Tiles tiles;
};
// The conversions' path as the page draws it: its counted points as one line.
QList<QList<GeoPoint>> segmentsOfPath(const nmeaconvert::PathInput &path);
// The loaded points' fixes as lines, one per segment, thinned for drawing
// with the page's tolerance and cap.
QList<QList<GeoPoint>> drawnSegments(const QList<PathPoint> &points);

// The page, UTF-8. Links to photos are relative to pageFolder.
QByteArray pageHtml(const Page &page, const QString &pageFolder);
// Writes PageHtml through the atomic writer (the folder is fileName's).
bool writePage(const QString &fileName, const Page &page, QString *error = nullptr);

// The photo upright, longest side at most kThumbnailSide, as a JPEG data
// URI; "" when the file cannot be decoded.
QString thumbnailDataUri(const QString &photoFile);
// The embedded library's notice (version, copyright, licence text).
QString leafletNotice();

// Beside the path file: its base + "_map.html".
QString mapFileName(const QString &pathFileBase);
QString mapSavedMessage(const QString &fileName);
QString badTilesMessage(const QString &text);

} // namespace pixplot::mappage
