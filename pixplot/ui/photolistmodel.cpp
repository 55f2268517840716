#include "ui/photolistmodel.h"

#include "ui/rowicons.h"

#include <QColor>

namespace pixplot {

PhotoListModel::PhotoListModel(const QList<PhotoRow> &rows, QObject *parent)
    : TextTableModel({QStringLiteral("照片名"), QStringLiteral("拍摄时间"), QStringLiteral("坐标")}, parent),
      rows_(rows), shown_(rows.size())
{
}

int PhotoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_);
}

QVariant PhotoListModel::data(const QModelIndex &index, int role) const
{
    const QVariant cell = TextTableModel::data(index, role);
    if ((role != Qt::ToolTipRole && role != Qt::BackgroundRole) || !index.isValid()
        || index.row() >= rows_.size() || rows_.at(index.row()).failure.isEmpty())
        return cell;
    if (role == Qt::BackgroundRole)
        return QColor(255, 221, 221);
    const QString text = cell.toString();
    return text.isEmpty() ? rows_.at(index.row()).failure
                          : text + QLatin1Char('\n') + rows_.at(index.row()).failure;
}

QString PhotoListModel::cellText(int row, int column) const
{
    if (row >= rows_.size())
        return {};
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
    if (column != 0 || row >= rows_.size())
        return {};
    return rows_.at(row).record.hasExif ? rowicons::withTime() : rowicons::withoutTime();
}

void PhotoListModel::rowsEdited()
{
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(int(shown_) - 1, 2));
}

void PhotoListModel::rowEdited(qsizetype i)
{
    if (i >= 0 && i < shown_)
        emit dataChanged(index(int(i), 0), index(int(i), 2));
}

void PhotoListModel::rowsAppended()
{
    if (rows_.size() <= shown_)
        return;
    beginInsertRows({}, int(shown_), int(rows_.size()) - 1);
    shown_ = rows_.size();
    endInsertRows();
}

void PhotoListModel::rowRemoved(qsizetype i)
{
    if (i < 0 || i >= shown_)
        return;
    beginRemoveRows({}, int(i), int(i));
    --shown_;
    endRemoveRows();
}

void PhotoListModel::reset()
{
    beginResetModel();
    shown_ = rows_.size();
    endResetModel();
}

} // namespace pixplot
