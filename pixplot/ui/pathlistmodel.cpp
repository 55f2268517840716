#include "ui/pathlistmodel.h"

#include <utility>

int PathListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(points_.size());
}

int PathListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 3; }

QString PathListModel::recordText(qsizetype row)
{
    return QStringLiteral("记录") + QStringLiteral("%1").arg(row, 4, 10, QLatin1Char('0'));
}

QVariant PathListModel::data(const QModelIndex &index, int role) const
{
    // The tooltip shows the whole text where a narrowed column cuts it.
    if (!index.isValid() || index.row() >= points_.size()
        || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const PathPoint &p = points_.at(index.row());
    switch (index.column()) {
    case 0:
        return recordText(index.row() + 1);
    case 1:
        return p.pointTime();
    case 2:
        return p.positionText();
    }
    return {};
}

QVariant PathListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("记录号");
    case 1:
        return QStringLiteral("记录时间");
    case 2:
        return QStringLiteral("坐标");
    }
    return {};
}

void PathListModel::setPoints(QList<PathPoint> points)
{
    beginResetModel();
    points_ = std::move(points);
    endResetModel();
}

void PathListModel::clear() { setPoints({}); }
