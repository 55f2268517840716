#include "ui/photolistmodel.h"

#include "ui/rowicons.h"

#include "core/cameraclock.h"

#include <QColor>
#include <QMimeData>

namespace pixplot {

PhotoListModel::PhotoListModel(const QList<PhotoRow> &rows, QObject *parent)
    : TextTableModel({QStringLiteral("照片名"), QStringLiteral("拍摄时间"), QStringLiteral("坐标"),
                      QStringLiteral("相机")},
                     parent),
      rows_(rows), shown_(rows.size())
{
}

int PhotoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_);
}

QVariant PhotoListModel::data(const QModelIndex &index, int role) const
{
    // A position set by hand carries a pin and says so.
    if (index.isValid() && index.column() == 2 && index.row() < rows_.size() && index.row() < shown_
        && rows_.at(index.row()).byHand) {
        if (role == Qt::DecorationRole)
            return rowicons::byHand();
        if (role == Qt::ToolTipRole && rows_.at(index.row()).failure.isEmpty())
            return cellText(index.row(), 2) + QStringLiteral("（手动）");
    }
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
    case 2:
        return r.position;
    default:
        return cameraclock::displayName(r.record.camera);
    }
}

QVariant PhotoListModel::cellDecoration(int row, int column) const
{
    if (row >= rows_.size())
        return {};
    if (column == 2)
        return rows_.at(row).byHand ? QVariant(rowicons::byHand()) : QVariant();
    if (column != 0)
        return {};
    return rows_.at(row).record.hasExif ? rowicons::withTime() : rowicons::withoutTime();
}

namespace {
const QString kDragPrefix = QStringLiteral("pixplot-photo-row:");
}

Qt::ItemFlags PhotoListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = TextTableModel::flags(index);
    if (index.isValid())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList PhotoListModel::mimeTypes() const
{
    return {QStringLiteral("text/plain")};
}

QMimeData *PhotoListModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty() || !indexes.first().isValid())
        return nullptr;
    auto *data = new QMimeData;
    data->setText(rowDragText(indexes.first().row() + 1));
    return data;
}

QString PhotoListModel::rowDragText(qsizetype row)
{
    return kDragPrefix + QString::number(row);
}

qsizetype PhotoListModel::rowOfDragText(const QString &text)
{
    if (!text.startsWith(kDragPrefix))
        return 0;
    bool ok = false;
    const qsizetype row = text.mid(kDragPrefix.size()).trimmed().toLongLong(&ok);
    return ok && row > 0 ? row : 0;
}


void PhotoListModel::rowsEdited()
{
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(int(shown_) - 1, columnCount() - 1));
}

void PhotoListModel::rowEdited(qsizetype i)
{
    if (i >= 0 && i < shown_)
        emit dataChanged(index(int(i), 0), index(int(i), columnCount() - 1));
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
