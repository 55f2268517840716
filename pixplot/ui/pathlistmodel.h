#pragma once
// The path list's rows ("记录号", "记录时间", "坐标") with the loaded points
// beside them: row i (1-based) is points()[i - 1].
#include "core/types.h"
#include "ui/texttablemodel.h"

#include <QList>

class PathListModel : public TextTableModel {
    Q_OBJECT
public:
    explicit PathListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;

    const QList<PathPoint> &points() const { return points_; }
    void setPoints(QList<PathPoint> points);
    void clear();

    // "记录0001" for row 1.
    static QString recordText(qsizetype row);

private:
    QString cellText(int row, int column) const override;

    QList<PathPoint> points_;
};
