#pragma once
// The caption above the track list: its "|" marks drawn at the x positions
// where the list's own columns begin, so the header lines up in any font.
#include <QLabel>
#include <QList>

namespace trekport {

class ColumnHeader : public QLabel {
public:
    using QLabel::QLabel;
    // x of each "|" of the caption, in the label's coordinates; empty: the
    // caption is drawn as plain text.
    void setStops(const QList<int> &stops);
    QList<int> stops() const { return stops_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<int> stops_;
};

} // namespace trekport
