#include "tracklistmodel.h"

namespace trekport {

TrackListModel::TrackListModel(const PointStore &store, QObject *parent)
    : QAbstractListModel(parent), store_(store)
{
}

void TrackListModel::appendRows(int n)
{
    if (n <= 0)
        return;
    beginInsertRows(QModelIndex(), count_, count_ + n - 1);
    count_ += n;
    endInsertRows();
}

void TrackListModel::clear()
{
    beginResetModel();
    count_ = 0;
    endResetModel();
}

int TrackListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count_;
}

QVariant TrackListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_)
        return QVariant();
    return store_.line(index.row());
}

} // namespace trekport
