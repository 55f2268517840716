#include "common/webmapview.h"

#include "common/bmp2jpg.h"
#include <QFutureWatcher>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QStackedLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

namespace common {

namespace {

constexpr int kThumbnailSide = 160; // px, longest side; the marker shows a crop of it

// The photo upright and small, as a JPEG data URI; "" when it cannot be read.
QString thumbnailOf(const QString &file)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kThumbnailSide || size.height() > kThumbnailSide))
        reader.setScaledSize(size.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    QByteArray jpeg;
    if (!BMP2JPG::encodePictureAsJpeg(image.convertToFormat(QImage::Format_RGB32), 80, &jpeg))
        return {};
    return QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64());
}

void appendNumber(QByteArray &out, double v)
{
    out += QByteArray::number(v, 'f', 7);
}

} // namespace

// ------------------------------------------------------------------ bridge

MapBridge::MapBridge(WebMapView *view) : QObject(view), view_(view)
{
}

void MapBridge::pageReady()
{
    view_->onPageReady();
}

void MapBridge::drawn(const QString &json)
{
    view_->onDrawn(json);
}

void MapBridge::markerClicked(const QString &id)
{
    emit view_->markerClicked(id);
}

void MapBridge::markerMoved(const QString &id, double latitude, double longitude)
{
    emit view_->markerMoved(id, {latitude, longitude});
}

void MapBridge::textDropped(const QString &text, double latitude, double longitude)
{
    emit view_->textDropped(text, {latitude, longitude});
}

void MapBridge::wantThumbnail(const QString &id)
{
    view_->provideThumbnail(id);
}

// -------------------------------------------------------------------- view

WebMapView::WebMapView(QWidget *parent)
    : MapView(parent), stack_(new QStackedLayout(this)), view_(new QWebEngineView(this)),
      message_(new QLabel(this)), channel_(new QWebChannel(this)), bridge_(new MapBridge(this))
{
    setObjectName(QStringLiteral("map_view"));
    view_->setObjectName(QStringLiteral("map_web"));
    message_->setObjectName(QStringLiteral("map_text"));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(view_);
    stack_->addWidget(message_);
    setMinimumSize(200, 200);

    channel_->registerObject(QStringLiteral("mapBridge"), bridge_);
    view_->page()->setWebChannel(channel_);
    // The page comes from the program's resources; tiles are its only
    // network use.
    view_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    connect(view_, &QWebEngineView::loadFinished, this, &WebMapView::onLoadFinished);
    connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                if (status != QWebEnginePage::NormalTerminationStatus || code != 0)
                    fail(QStringLiteral("网页引擎的进程意外结束（代码 %1）").arg(code));
            });
    view_->setUrl(QUrl(QStringLiteral("qrc:/commonmap/map.html")));
}

WebMapView::~WebMapView()
{
    // The page goes before the channel and the bridge it still refers to.
    delete view_;
}

void WebMapView::fail(const QString &reason)
{
    if (!problem_.isEmpty())
        return;
    problem_ = reason;
    loaded_ = connected_ = false;
    message_->setText(mapUnavailableText(reason));
    stack_->setCurrentWidget(message_);
    emit failed();
}

void WebMapView::onLoadFinished(bool ok)
{
    if (!ok) {
        fail(QStringLiteral("地图网页无法加载"));
        return;
    }
    loaded_ = true;
    if (isLive())
        sendAll();
}

void WebMapView::onPageReady()
{
    connected_ = true;
    if (isLive())
        sendAll();
}

void WebMapView::sendAll()
{
    if (!tilesJson_.isEmpty())
        emit bridge_->tilesChanged(tilesJson_);
    if (!trackJson_.isEmpty())
        emit bridge_->trackChanged(trackJson_);
    if (!markersJson_.isEmpty())
        emit bridge_->markersChanged(markersJson_);
    if (!selected_.isEmpty())
        emit bridge_->selectionChanged(selected_);
}

void WebMapView::onDrawn(const QString &json)
{
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    MapReport r;
    r.vertices = o.value(QStringLiteral("vertices")).toInteger(-1);
    r.selected = o.value(QStringLiteral("selected")).toString();
    r.gcj02 = o.value(QStringLiteral("gcj02")).toBool();
    for (const QJsonValue &v : o.value(QStringLiteral("markers")).toArray()) {
        const QJsonObject m = v.toObject();
        r.markers.insert(
            m.value(QStringLiteral("id")).toString(),
            {m.value(QStringLiteral("lat")).toDouble(), m.value(QStringLiteral("lng")).toDouble()});
    }
    report_ = r;
    emit reported();
}

void WebMapView::setTrack(const QList<QList<MapCoordinate>> &segments)
{
    // Built by hand: a thinned long track is still tens of thousands of
    // pairs, which QJsonDocument makes slowly.
    QByteArray json = "[";
    for (qsizetype s = 0; s < segments.size(); ++s) {
        if (s)
            json += ',';
        json += '[';
        const QList<MapCoordinate> &seg = segments.at(s);
        json.reserve(json.size() + seg.size() * 24);
        for (qsizetype i = 0; i < seg.size(); ++i) {
            if (i)
                json += ',';
            json += '[';
            appendNumber(json, seg.at(i).latitude);
            json += ',';
            appendNumber(json, seg.at(i).longitude);
            json += ']';
        }
        json += ']';
    }
    json += ']';
    trackJson_ = QString::fromLatin1(json);
    if (isLive())
        emit bridge_->trackChanged(trackJson_);
}

void WebMapView::setMarkers(const QList<MapMarker> &markers)
{
    QJsonArray list;
    photoOf_.clear();
    for (const MapMarker &m : markers) {
        QJsonObject o;
        o[QStringLiteral("id")] = m.id;
        o[QStringLiteral("lat")] = m.at.latitude;
        o[QStringLiteral("lng")] = m.at.longitude;
        o[QStringLiteral("title")] = m.title;
        o[QStringLiteral("text")] = m.text;
        o[QStringLiteral("photo")] = !m.photoFile.isEmpty();
        o[QStringLiteral("drag")] = m.draggable;
        o[QStringLiteral("hand")] = m.byHand;
        list.append(o);
        if (!m.photoFile.isEmpty())
            photoOf_.insert(m.id, m.photoFile);
    }
    markersJson_ = QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
    if (isLive())
        emit bridge_->markersChanged(markersJson_);
}

void WebMapView::selectMarker(const QString &id)
{
    selected_ = id;
    if (isLive())
        emit bridge_->selectionChanged(id);
}

void WebMapView::showFix(const MapCoordinate &at, const QString &text)
{
    if (isLive())
        emit bridge_->fixShown(at.latitude, at.longitude, text);
}

void WebMapView::setTiles(const MapTiles &tiles)
{
    QJsonObject o;
    o[QStringLiteral("url")] = tiles.urlTemplate;
    o[QStringLiteral("attribution")] = tiles.attributionHtml;
    o[QStringLiteral("gcj02")] = tiles.gcj02;
    tilesJson_ = QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    if (isLive())
        emit bridge_->tilesChanged(tilesJson_);
}

void WebMapView::runScript(const QString &script, const std::function<void(const QVariant &)> &done)
{
    if (done)
        view_->page()->runJavaScript(script, [done](const QVariant &v) { done(v); });
    else
        view_->page()->runJavaScript(script);
}

void WebMapView::provideThumbnail(const QString &id)
{
    const QString file = photoOf_.value(id);
    if (file.isEmpty())
        return;
    if (const auto cached = thumbnail_.constFind(file); cached != thumbnail_.constEnd()) {
        if (!cached->isEmpty())
            emit bridge_->thumbnailReady(id, *cached);
        return;
    }
    QStringList &asking = waiting_[file];
    asking << id;
    if (asking.size() > 1)
        return;
    // Decoded away from the window; the watcher dies with the view, so a
    // result that comes later is dropped.
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, file] {
        const QString uri = watcher->result();
        watcher->deleteLater();
        thumbnail_.insert(file, uri);
        for (const QString &who : waiting_.take(file))
            if (!uri.isEmpty() && photoOf_.value(who) == file && isLive())
                emit bridge_->thumbnailReady(who, uri);
    });
    watcher->setFuture(QtConcurrent::run(thumbnailOf, file));
}

} // namespace common
