#include "columnheader.h"

#include <QPainter>

namespace trekport {

void ColumnHeader::setStops(const QList<int> &stops)
{
    stops_ = stops;
    update();
}

void ColumnHeader::paintEvent(QPaintEvent *event)
{
    const QStringList pieces = text().split(QLatin1Char('|'));
    if (stops_.size() < pieces.size() - 1) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QRect r = contentsRect();
    // pieces[0] is what comes before the first "|" (nothing, normally).
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString part = QLatin1Char('|') + pieces.at(i).trimmed();
        p.drawText(QRect(stops_.at(i - 1), r.top(), r.width(), r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   part);
    }
}

} // namespace trekport
