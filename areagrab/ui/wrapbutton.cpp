#include "ui/wrapbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace areagrab {

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    const QRect area = rect().adjusted(2, 2, -2, -2);
    // Too wide for one line: two lines of equal length ("图片" over "另存"),
    // the way a narrow button of the old toolkit breaks a caption.
    QString text = caption;
    if (fontMetrics().horizontalAdvance(caption) > area.width() && caption.size() > 1) {
        const qsizetype half = (caption.size() + 1) / 2;
        text = caption.left(half) + QLatin1Char('\n') + caption.mid(half);
    }
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(area, Qt::AlignCenter, text);
}

} // namespace areagrab
