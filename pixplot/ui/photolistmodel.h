#pragma once
// The photo list's rows ("照片名", "拍摄时间", "坐标", "相机") as a view of the
// session's rows: row i (1-based) is rows[i - 1]. The session's change
// signals drive the functions below.
#include "core/photorow.h"
#include "ui/texttablemodel.h"

#include <QList>

namespace pixplot {

class PhotoListModel : public TextTableModel {
    Q_OBJECT
public:
    PhotoListModel(const QList<PhotoRow> &rows, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    // A row whose photo failed to process is tinted, its reason the tooltip;
    // a position set by hand has a pin.
    QVariant data(const QModelIndex &index, int role) const override;

    // After the rows changed: edited in place, rows added at the end (one
    // insertion for all of them), one row removed, or anything else.
    void rowsEdited();
    void rowEdited(qsizetype index);
    void rowsAppended();
    void rowRemoved(qsizetype index);
    void reset();

    // A photo row dragged out (onto the map) carries its row (1-based) as text.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    static QString rowDragText(qsizetype row);
    static qsizetype rowOfDragText(const QString &text); // 0 when text names no row

private:
    QString cellText(int row, int column) const override;
    QVariant cellDecoration(int row, int column) const override; // the time icon in column 0

    const QList<PhotoRow> &rows_;
    qsizetype shown_ = 0; // the rows the views know of
};

} // namespace pixplot
