#pragma once
// The photo list's rows ("照片名", "拍摄时间", "坐标") with the record of
// each photo beside its row: row i (1-based) is rows()[i - 1].
#include "core/photorow.h"

#include <QAbstractTableModel>
#include <QList>

class PhotoListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<PhotoRow> &rows() const { return rows_; }
    // Editing in place; call rowsEdited() afterwards so the view redraws.
    QList<PhotoRow> &editRows() { return rows_; }
    void rowsEdited();
    void rowEdited(qsizetype index);

    void append(const QList<PhotoRow> &rows); // one insertion for all of them
    void removeAt(qsizetype index);
    void clear();

private:
    QList<PhotoRow> rows_;
};
