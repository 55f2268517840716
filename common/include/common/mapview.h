#pragma once
// The map pane the windows show a track and placed markers on. Windows talk
// to the MapView interface only; createMapView() makes the web map, or a
// pane that says why no map can be shown, and a test may hand a window a
// factory of its own.
#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

namespace common {

// Decimal degrees, WGS-84.
struct MapCoordinate {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const MapCoordinate &) const = default;
};

struct MapMarker {
    QString id; // the caller's key, handed back by the signals
    MapCoordinate at;
    QString title;     // shown on hovering
    QString text;      // the popup's lines
    QString photoFile; // drawn as this photo's thumbnail; a plain dot when empty
    bool draggable = false;
    bool byHand = false; // drawn with the by-hand frame
    bool operator==(const MapMarker &) const = default;
};

// A tile source; an empty template draws on a plain background. gcj02: the
// server's maps are in the GCJ-02 system, so what is drawn is shifted to it.
struct MapTiles {
    QString urlTemplate;
    QString attributionHtml;
    bool gcj02 = false;
};

// What the page last said it drew: the track's vertices and each marker's
// position (WGS-84), or vertices -1 before it drew anything.
struct MapReport {
    qint64 vertices = -1;
    QHash<QString, MapCoordinate> markers;
    QString selected;
    bool gcj02 = false;
};

class MapView : public QWidget {
    Q_OBJECT
public:
    explicit MapView(QWidget *parent = nullptr) : QWidget(parent) { }

    // False when the pane only says why there is no map.
    virtual bool isUsable() const = 0;
    // Why there is no map ("" while there is one).
    virtual QString problem() const = 0;

    // Each segment is drawn as one line, as given (thin a long one first).
    virtual void setTrack(const QList<QList<MapCoordinate>> &segments) = 0;
    virtual void setMarkers(const QList<MapMarker> &markers) = 0;
    // Pans to the marker and opens its popup; "" selects none.
    virtual void selectMarker(const QString &id) = 0;
    // Marks one point of the track (a selected fix) with its text.
    virtual void showFix(const MapCoordinate &at, const QString &text) = 0;
    virtual void setTiles(const MapTiles &tiles) = 0;
    virtual MapReport lastReport() const = 0;

Q_SIGNALS:
    void markerClicked(const QString &id);
    // The user dragged a marker to at and let go.
    void markerMoved(const QString &id, const common::MapCoordinate &at);
    // Text dragged from elsewhere (a list row) was dropped at at.
    void textDropped(const QString &text, const common::MapCoordinate &at);
    // The page drew what it was last given; lastReport() says what.
    void reported();
    // The map stopped working; problem() says why.
    void failed();
};

using MapFactory = std::function<MapView *(QWidget *parent)>;

// The web map where the engine can run, else a pane with the reason.
MapView *createMapView(QWidget *parent = nullptr);
// A pane that shows reason in place of the map.
MapView *createMapMessage(const QString &reason, QWidget *parent = nullptr);

// Before the application object: what the web engine needs set that early
// (shared GL contexts; no sandbox when running as root, where it refuses to
// start otherwise).
void prepareMapEngine();

// Great-circle distance in metres.
double mapDistance(const MapCoordinate &a, const MapCoordinate &b);

// "地图暂不可用：" and the reason, as the pane shows it.
QString mapUnavailableText(const QString &reason);

} // namespace common

Q_DECLARE_METATYPE(common::MapCoordinate)
