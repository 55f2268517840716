#include "ui/pathlistmodel.h"

namespace pixplot {

PathListModel::PathListModel(const QList<PathPoint> &points, QObject *parent)
    : TextTableModel({QStringLiteral("记录号"), QStringLiteral("记录时间"), QStringLiteral("坐标")}, parent),
      points_(points), shown_(points.size())
{
}

int PathListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_);
}

QString PathListModel::recordText(qsizetype row)
{
    return QStringLiteral("记录") + QStringLiteral("%1").arg(row, 4, 10, QLatin1Char('0'));
}

QString PathListModel::cellText(int row, int column) const
{
    if (row >= points_.size())
        return {};
    const PathPoint &p = points_.at(row);
    switch (column) {
    case 0:
        return recordText(row + 1);
    case 1:
        return p.pointTime();
    default:
        return p.positionText();
    }
}

void PathListModel::reset()
{
    beginResetModel();
    shown_ = points_.size();
    endResetModel();
}

} // namespace pixplot
