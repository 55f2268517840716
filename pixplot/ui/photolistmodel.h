#pragma once
// The photo list's rows ("照片名", "拍摄时间", "坐标") with the record of
// each photo beside its row: row i (1-based) is rows()[i - 1].
#include "core/photorow.h"
#include "ui/texttablemodel.h"

#include <QList>

class PhotoListModel : public TextTableModel {
    Q_OBJECT
public:
    explicit PhotoListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;

    const QList<PhotoRow> &rows() const { return rows_; }
    // Editing in place; call rowsEdited() afterwards so the view redraws.
    QList<PhotoRow> &editRows() { return rows_; }
    void rowsEdited();
    void rowEdited(qsizetype index);

    void append(const QList<PhotoRow> &rows); // one insertion for all of them
    void removeAt(qsizetype index);
    void clear();

private:
    QString cellText(int row, int column) const override;
    QVariant cellDecoration(int row, int column) const override; // the time icon in column 0

    QList<PhotoRow> rows_;
};
