#include "ui/trackmap.h"

#include "core/trackmap.h"
#include "core/tracksession.h"

#include <QTimer>
#include <QVBoxLayout>

namespace trekport {

TrackMap::TrackMap(TrackSession &session, const common::MapFactory &factory, QWidget *parent)
    : QWidget(parent, Qt::Window), session_(session), later_(new QTimer(this))
{
    setObjectName(QStringLiteral("track_map"));
    setWindowTitle(QStringLiteral("地图"));
    view_ = factory ? factory(this) : common::createMapView(this);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(view_);
    resize(640, 560);
    // Points stream in during a download: the map follows twice a second.
    later_->setSingleShot(true);
    later_->setInterval(500);
    connect(later_, &QTimer::timeout, this, &TrackMap::refresh);
    const auto soon = [this] {
        if (!later_->isActive())
            later_->start();
    };
    TrackListModel *model = &session_.listModel();
    connect(model, &QAbstractItemModel::modelReset, this, soon);
    connect(model, &QAbstractItemModel::rowsInserted, this, soon);
    connect(model, &QAbstractItemModel::rowsRemoved, this, soon);
    connect(model, &QAbstractItemModel::dataChanged, this, soon);
    connect(&session_, &TrackSession::pointsAppended, this, soon);
    refresh();
}

void TrackMap::refresh()
{
    later_->stop();
    const QList<TrackMapPoint> points = trackMapPoints(session_.store(), session_.count());
    QList<common::MapCoordinate> line;
    QList<common::MapMarker> marks;
    line.reserve(points.size());
    for (const TrackMapPoint &p : points) {
        line.append({p.latitude, p.longitude});
        if (p.marked) {
            common::MapMarker m;
            m.id = QString::number(p.row + 1);
            m.at = {p.latitude, p.longitude};
            m.title = session_.line(p.row);
            m.text = m.title;
            marks.append(m);
        }
    }
    view_->setTrack(line.isEmpty() ? QList<QList<common::MapCoordinate>>{}
                                   : QList<QList<common::MapCoordinate>>{line});
    view_->setMarkers(marks);
}

} // namespace trekport
