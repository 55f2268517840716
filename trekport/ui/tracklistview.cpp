#include "tracklistview.h"

namespace trekport {

TrackListView::TrackListView(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TrackListView::setTrackModel(TrackListModel *model)
{
    model_ = model;
    setModel(model);
}

int TrackListView::currentRow() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() : -1;
}

void TrackListView::setCurrentRow(int row)
{
    if (model_)
        setCurrentIndex(model_->index(row, 0));
}

QRect TrackListView::rowRect(int row) const
{
    return model_ ? visualRect(model_->index(row, 0)) : QRect();
}

} // namespace trekport
