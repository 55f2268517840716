#pragma once
// The map drawn by the web engine: a page built into the program (Leaflet,
// its marker-cluster plug-in, the page's own script) fed through a web
// channel. Data is kept here and sent once the page has both loaded and
// connected its channel, whichever comes last.
#include "common/mapview.h"

#include <QHash>
#include <QVariant>

#include <functional>

class QLabel;
class QStackedLayout;
class QWebChannel;
class QWebEngineView;

namespace common {

class WebMapView;

// The object the page sees as "mapBridge": signals carry data to the page,
// slots are what the page calls.
class MapBridge : public QObject {
    Q_OBJECT
public:
    explicit MapBridge(WebMapView *view);

public Q_SLOTS:
    void pageReady();
    void drawn(const QString &json);
    void markerClicked(const QString &id);
    void markerMoved(const QString &id, double latitude, double longitude);
    void textDropped(const QString &text, double latitude, double longitude);
    void wantThumbnail(const QString &id);

Q_SIGNALS:
    void trackChanged(const QString &json);
    void markersChanged(const QString &json);
    void selectionChanged(const QString &id);
    void fixShown(double latitude, double longitude, const QString &text);
    void tilesChanged(const QString &json);
    void thumbnailReady(const QString &id, const QString &dataUri);

private:
    WebMapView *view_;
};

class WebMapView : public MapView {
    Q_OBJECT
public:
    explicit WebMapView(QWidget *parent = nullptr);
    ~WebMapView() override;

    bool isUsable() const override { return problem_.isEmpty(); }
    QString problem() const override { return problem_; }
    void setTrack(const QList<QList<MapCoordinate>> &segments) override;
    void setMarkers(const QList<MapMarker> &markers) override;
    void selectMarker(const QString &id) override;
    void showFix(const MapCoordinate &at, const QString &text) override;
    void setTiles(const MapTiles &tiles) override;
    MapReport lastReport() const override { return report_; }

    // The page has loaded and connected: data sent now is drawn.
    bool isLive() const { return loaded_ && connected_; }
    // Runs script in the page; done gets its result.
    void runScript(const QString &script, const std::function<void(const QVariant &)> &done = {});
    QWebEngineView *webView() const { return view_; }

    QSize sizeHint() const override { return {480, 480}; }

private:
    friend class MapBridge;
    void onLoadFinished(bool ok);
    void onPageReady();
    void onDrawn(const QString &json);
    void sendAll();
    void fail(const QString &reason);
    void provideThumbnail(const QString &id);

    QStackedLayout *stack_;
    QWebEngineView *view_;
    QLabel *message_;
    QWebChannel *channel_;
    MapBridge *bridge_;
    bool loaded_ = false;
    bool connected_ = false;
    QString problem_;
    MapReport report_;

    QString tilesJson_;
    QString trackJson_;
    QString markersJson_;
    QString selected_;
    QHash<QString, QString> photoOf_;     // marker id -> photo file
    QHash<QString, QString> thumbnail_;   // photo file -> data URI ("" when unreadable)
    QHash<QString, QStringList> waiting_; // photo file being decoded -> ids asking
};

} // namespace common
