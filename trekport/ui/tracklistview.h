#pragma once
// The track list `Lis`: a list view over the track list model, with the
// few calls the window makes of a list box.
#include "core/tracklistmodel.h"

#include <QListView>

namespace trekport {

class TrackListView : public QListView {
public:
    explicit TrackListView(QWidget *parent = nullptr);
    void setTrackModel(TrackListModel *model);
    TrackListModel *trackModel() const { return model_; }

    int count() const { return model_ ? model_->count() : 0; }
    QString line(int row) const { return model_ ? model_->lineAt(row) : QString(); }
    int currentRow() const;
    void setCurrentRow(int row);
    QRect rowRect(int row) const;

private:
    TrackListModel *model_ = nullptr;
};

} // namespace trekport
