#pragma once
// trekport's "地图" window: the listed track on the common map, marked
// points as markers, redrawn as points arrive or the list changes.
#include "common/mapview.h"

#include <QWidget>

class QTimer;

namespace trekport {

class TrackSession;

class TrackMap : public QWidget {
    Q_OBJECT
public:
    TrackMap(TrackSession &session, const common::MapFactory &factory, QWidget *parent = nullptr);
    common::MapView *view() const { return view_; }
    // Sends the list as it is now.
    void refresh();

private:
    TrackSession &session_;
    common::MapView *view_;
    QTimer *later_;
};

} // namespace trekport
