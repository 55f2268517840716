#pragma once
// The shape both lists of the main window share: rows shown in text
// columns under fixed headers, each cell's tooltip its whole text (a
// narrowed column cuts it).
#include <QAbstractTableModel>
#include <QStringList>

namespace pixplot {

class TextTableModel : public QAbstractTableModel {
public:
    explicit TextTableModel(QStringList headers, QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    // Called for rows below rowCount() and columns below columnCount() only.
    virtual QString cellText(int row, int column) const = 0;
    virtual QVariant cellDecoration(int row, int column) const;

private:
    QStringList headers_;
};

} // namespace pixplot
