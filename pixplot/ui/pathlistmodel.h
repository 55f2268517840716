#pragma once
// The path list's rows ("记录号", "记录时间", "坐标") with the loaded points
// beside them: row i (1-based) is points()[i - 1].
#include "core/types.h"

#include <QAbstractTableModel>
#include <QList>

class PathListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<PathPoint> &points() const { return points_; }
    void setPoints(QList<PathPoint> points);
    void clear();

    // "记录0001" for row 1.
    static QString recordText(qsizetype row);

private:
    QList<PathPoint> points_;
};
