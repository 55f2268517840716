#pragma once
// The path list's rows ("记录号", "记录时间", "坐标") as a view of the
// session's points: row i (1-based) is points[i - 1].
#include "core/types.h"
#include "ui/texttablemodel.h"

#include <QList>

namespace pixplot {

class PathListModel : public TextTableModel {
    Q_OBJECT
public:
    PathListModel(const QList<PathPoint> &points, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;

    // After the session loaded, cleared or re-timed the points.
    void reset();

    // "记录0001" for row 1.
    static QString recordText(qsizetype row);

private:
    QString cellText(int row, int column) const override;

    const QList<PathPoint> &points_;
    qsizetype shown_ = 0; // the rows the views know of
};

} // namespace pixplot
