#include "ui/photolistmodel.h"

#include "ui/rowicons.h"

PhotoListModel::PhotoListModel(QObject *parent)
    : TextTableModel({QStringLiteral("照片名"), QStringLiteral("拍摄时间"), QStringLiteral("坐标")}, parent)
{
}

int PhotoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QString PhotoListModel::cellText(int row, int column) const
{
    const PhotoRow &r = rows_.at(row);
    switch (column) {
    case 0:
        return r.record.fileName;
    case 1:
        return r.timeText;
    default:
        return r.position;
    }
}

QVariant PhotoListModel::cellDecoration(int row, int column) const
{
    if (column != 0)
        return {};
    return rows_.at(row).record.hasExif ? rowicons::withTime() : rowicons::withoutTime();
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
