#pragma once
// The "地图" pane of pixplot's window: the session's path and placed
// photos on the common map, kept current as the session changes; dragging
// a photo or dropping a list row on the map places it by hand, "撤销"
// takes the last placement back.
#include "common/mapview.h"

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace pixplot {

class PhotoSession;

class PhotoMap : public QGroupBox {
    Q_OBJECT
public:
    PhotoMap(PhotoSession &session, const common::MapFactory &factory, QWidget *parent = nullptr);

    // The map, once the pane has been painted (null before).
    common::MapView *view() const { return view_; }
    // Marker ids are the rows' numbers.
    static QString markerId(qsizetype row) { return QString::number(row); }

    // Follows the lists' selection.
    void selectPhoto(qsizetype row);
    void showPathPoint(qsizetype row);
    // Sends what changed now rather than on the next turn of the event loop.
    void flush();

    void cmd_undo_Click();
    void map_tiles_Change();

Q_SIGNALS:
    void photoClicked(qsizetype row);

protected:
    bool event(QEvent *e) override;

private:
    void makeView();
    void sendTiles();
    void sendTrack();
    void sendMarkers();
    void place(qsizetype row, const common::MapCoordinate &at);

    PhotoSession &session_;
    common::MapFactory factory_;
    common::MapView *view_ = nullptr;
    QLabel *wait_ = nullptr;
    bool viewPending_ = false;
    qsizetype selectedRow_ = 0;
    QComboBox *map_tiles;
    QPushButton *cmd_undo;
    QTimer *rowsTimer_;
    QTimer *pathTimer_;
};

} // namespace pixplot
