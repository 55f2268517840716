#include "ui/texttablemodel.h"

#include <utility>

namespace pixplot {

TextTableModel::TextTableModel(QStringList headers, QObject *parent)
    : QAbstractTableModel(parent), headers_(std::move(headers))
{
}

int TextTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(headers_.size());
}

QVariant TextTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= headers_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    if (role == Qt::DecorationRole)
        return cellDecoration(index.row(), index.column());
    return {};
}

QVariant TextTableModel::cellDecoration(int, int) const
{
    return {};
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size())
        return {};
    return headers_.at(section);
}

} // namespace pixplot
