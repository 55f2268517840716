#pragma once
// The track list's lines as a model over the point store: row i shows the
// store's line i, made when the view asks for it, so a listed point costs no
// text of its own.
#include "pointstore.h"

#include <QAbstractListModel>

namespace trekport {

class TrackListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TrackListModel(const PointStore &store, QObject *parent = nullptr);

    int count() const { return count_; }
    QString lineAt(int row) const { return store_.line(row); }
    // Shows n more of the store's rows (they are written already).
    void appendRows(int n);
    // Empties the list; the store keeps its rows.
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const PointStore &store_;
    int count_ = 0;
};

} // namespace trekport
