#include "ui/photolistmodel.h"

#include "ui/rowicons.h"

int PhotoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int PhotoListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 3; }

QVariant PhotoListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const PhotoRow &row = rows_.at(index.row());
    // The tooltip shows the whole text where a narrowed column cuts it.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case 0:
            return row.record.fileName;
        case 1:
            return row.timeText;
        case 2:
            return row.position;
        }
    } else if (role == Qt::DecorationRole && index.column() == 0) {
        return row.record.hasExif ? rowicons::withTime() : rowicons::withoutTime();
    }
    return {};
}

QVariant PhotoListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("照片名");
    case 1:
        return QStringLiteral("拍摄时间");
    case 2:
        return QStringLiteral("坐标");
    }
    return {};
}

void PhotoListModel::rowsEdited()
{
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, 2));
}

void PhotoListModel::rowEdited(qsizetype i)
{
    if (i >= 0 && i < rows_.size())
        emit dataChanged(index(int(i), 0), index(int(i), 2));
}

void PhotoListModel::append(const QList<PhotoRow> &rows)
{
    if (rows.isEmpty())
        return;
    const int at = int(rows_.size());
    beginInsertRows({}, at, at + int(rows.size()) - 1);
    rows_.append(rows);
    endInsertRows();
}

void PhotoListModel::removeAt(qsizetype i)
{
    if (i < 0 || i >= rows_.size())
        return;
    beginRemoveRows({}, int(i), int(i));
    rows_.removeAt(i); // later rows move up with their records
    endRemoveRows();
}

void PhotoListModel::clear()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}
