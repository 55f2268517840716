#include "ui/photomap.h"

#include "core/mappage.h"
#include "core/photosession.h"
#include "ui/photolistmodel.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace pixplot {

namespace {

common::MapCoordinate coordinateOf(const GeoPoint &p)
{
    return {p.latitude, p.longitude};
}

common::MapTiles mapTilesOf(const mappage::Tiles &t)
{
    return {t.urlTemplate, t.attributionHtml, t.gcj02};
}

} // namespace

PhotoMap::PhotoMap(PhotoSession &session, const common::MapFactory &factory, QWidget *parent)
    : QGroupBox(QStringLiteral("地图"), parent), session_(session), factory_(factory),
      rowsTimer_(new QTimer(this)), pathTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("map_box"));
    // The engine takes a good half second to start: the window opens
    // first, and the map follows once the pane has been painted.
    wait_ = new QLabel(QStringLiteral("地图加载中…"), this);
    wait_->setObjectName(QStringLiteral("map_wait"));
    wait_->setAlignment(Qt::AlignCenter);
    auto *tilesLabel = new QLabel(QStringLiteral("瓦片:"), this);
    map_tiles = new QComboBox(this);
    map_tiles->setObjectName(QStringLiteral("map_tiles"));
    map_tiles->setEditable(true);
    map_tiles->setInsertPolicy(QComboBox::NoInsert);
    map_tiles->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    map_tiles->setMinimumContentsLength(12);
    for (const mappage::TilePreset &p : mappage::tilePresets()) {
        map_tiles->addItem(p.text);
        map_tiles->setItemData(map_tiles->count() - 1, p.label, Qt::ToolTipRole);
    }
    map_tiles->setCurrentText(session_.tilesText());
    map_tiles->setToolTip(QStringLiteral("{z}/{x}/{y} 瓦片地址模板；none 为不用瓦片；"
                                         "gcj02: 开头的为 GCJ-02 坐标系的瓦片"));
    cmd_undo = new QPushButton(QStringLiteral("撤销"), this);
    cmd_undo->setObjectName(QStringLiteral("cmd_undo"));
    cmd_undo->setToolTip(QStringLiteral("撤销上一次在地图上放置照片"));
    cmd_undo->setEnabled(session_.canUndoPlacement());
    {
        auto *l = new QVBoxLayout(this);
        l->setContentsMargins(4, 4, 4, 4);
        auto *bar = new QHBoxLayout;
        bar->addWidget(tilesLabel);
        bar->addWidget(map_tiles, 1);
        bar->addWidget(cmd_undo);
        l->addLayout(bar);
        l->addWidget(wait_, 1);
    }

    // A burst of changes (a match touches every row) is sent once.
    for (QTimer *t : {rowsTimer_, pathTimer_}) {
        t->setSingleShot(true);
        t->setInterval(0);
    }
    connect(rowsTimer_, &QTimer::timeout, this, &PhotoMap::sendMarkers);
    connect(pathTimer_, &QTimer::timeout, this, &PhotoMap::sendTrack);
    const auto rowsLater = [this] { rowsTimer_->start(); };
    connect(&session_, &PhotoSession::rowsAppended, rowsTimer_, rowsLater);
    connect(&session_, &PhotoSession::rowRemoved, rowsTimer_, rowsLater);
    connect(&session_, &PhotoSession::rowsReset, rowsTimer_, rowsLater);
    connect(&session_, &PhotoSession::rowsChanged, rowsTimer_, rowsLater);
    connect(&session_, &PhotoSession::rowChanged, rowsTimer_, rowsLater);
    connect(&session_, &PhotoSession::pathChanged, pathTimer_, qOverload<>(&QTimer::start));
    connect(&session_, &PhotoSession::tilesChanged, this, [this] {
        if (map_tiles->currentText() != session_.tilesText())
            map_tiles->setCurrentText(session_.tilesText());
        sendTiles();
    });
    connect(map_tiles, &QComboBox::activated, this, &PhotoMap::map_tiles_Change);
    connect(map_tiles->lineEdit(), &QLineEdit::editingFinished, this, &PhotoMap::map_tiles_Change);
    connect(cmd_undo, &QPushButton::clicked, this, &PhotoMap::cmd_undo_Click);
}

bool PhotoMap::event(QEvent *e)
{
    if (e->type() == QEvent::Paint && !view_ && !viewPending_) {
        viewPending_ = true;
        QTimer::singleShot(0, this, &PhotoMap::makeView);
    }
    return QGroupBox::event(e);
}

void PhotoMap::makeView()
{
    view_ = factory_ ? factory_(this) : common::createMapView(this);
    layout()->replaceWidget(wait_, view_);
    delete wait_;
    wait_ = nullptr;
    connect(view_, &common::MapView::markerClicked, this, [this](const QString &id) {
        const qsizetype row = id.toLongLong();
        if (row >= 1 && row <= session_.rowCount())
            emit photoClicked(row);
    });
    connect(view_, &common::MapView::markerMoved, this,
            [this](const QString &id, const common::MapCoordinate &at) { place(id.toLongLong(), at); });
    connect(view_, &common::MapView::textDropped, this,
            [this](const QString &text, const common::MapCoordinate &at) {
                place(PhotoListModel::rowOfDragText(text), at);
            });
    sendTiles();
    sendTrack();
    sendMarkers();
    if (selectedRow_ > 0)
        selectPhoto(selectedRow_);
}

void PhotoMap::sendTiles()
{
    bool ok = false;
    if (view_)
        view_->setTiles(mapTilesOf(mappage::tilesFromText(session_.tilesText(), &ok)));
}

void PhotoMap::flush()
{
    if (pathTimer_->isActive()) {
        pathTimer_->stop();
        sendTrack();
    }
    if (rowsTimer_->isActive()) {
        rowsTimer_->stop();
        sendMarkers();
    }
}

void PhotoMap::sendTrack()
{
    if (!view_)
        return;
    const QList<QList<GeoPoint>> drawn = mappage::drawnSegments(session_.pathPoints());
    QList<QList<common::MapCoordinate>> track;
    track.reserve(drawn.size());
    for (const QList<GeoPoint> &seg : drawn) {
        QList<common::MapCoordinate> line;
        line.reserve(seg.size());
        for (const GeoPoint &p : seg)
            line.append(coordinateOf(p));
        track.append(line);
    }
    view_->setTrack(track);
}

void PhotoMap::sendMarkers()
{
    cmd_undo->setEnabled(session_.canUndoPlacement());
    if (!view_)
        return;
    QList<common::MapMarker> markers;
    const QList<PhotoRow> &rows = session_.rows();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const PhotoRow &r = rows.at(i);
        if (r.position.isEmpty())
            continue;
        common::MapMarker m;
        m.id = markerId(i + 1);
        m.at = coordinateOf(r.positionDegrees());
        m.title = r.record.fileName;
        m.text = r.record.fileName + QStringLiteral("\n拍摄时间: ") + r.timeText + QStringLiteral("\n坐标: ")
            + r.position + (r.byHand ? QStringLiteral("（手动）") : QString());
        m.photoFile = r.record.folder + r.record.fileName;
        m.draggable = true;
        m.byHand = r.byHand;
        markers.append(m);
    }
    view_->setMarkers(markers);
    cmd_undo->setEnabled(session_.canUndoPlacement());
}

void PhotoMap::selectPhoto(qsizetype row)
{
    const bool placed =
        row >= 1 && row <= session_.rowCount() && !session_.rows().at(row - 1).position.isEmpty();
    selectedRow_ = row;
    if (!view_)
        return;
    flush();
    view_->selectMarker(placed ? markerId(row) : QString());
}

void PhotoMap::showPathPoint(qsizetype row)
{
    const QList<PathPoint> &points = session_.pathPoints();
    if (row < 1 || row > points.size())
        return;
    const PathPoint &p = points.at(row - 1);
    if (p.position.isEmpty() || !view_)
        return;
    view_->showFix(coordinateOf(p.degrees()), p.pointTime() + QLatin1Char('\n') + p.positionText());
}

void PhotoMap::place(qsizetype row, const common::MapCoordinate &at)
{
    if (!session_.placeByHand(row, {at.longitude, at.latitude}))
        sendMarkers(); // the marker goes back where the session has it
}

void PhotoMap::cmd_undo_Click()
{
    session_.undoPlacement();
    cmd_undo->setEnabled(session_.canUndoPlacement());
}

void PhotoMap::map_tiles_Change()
{
    const QString text = map_tiles->currentText().trimmed();
    bool ok = false;
    mappage::tilesFromText(text, &ok);
    if (!ok) {
        map_tiles->setCurrentText(session_.tilesText());
        map_tiles->setToolTip(mappage::badTilesMessage(text));
        return;
    }
    session_.setTilesText(text);
}

} // namespace pixplot
