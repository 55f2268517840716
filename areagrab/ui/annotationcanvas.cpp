#include "ui/annotationcanvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace areagrab {

AnnotationCanvas::AnnotationCanvas(const QImage &capture, Annotations &marks, QWidget *parent)
    : QWidget(parent), capture_(capture), marks_(marks)
{
    setObjectName(QStringLiteral("canvas"));
    setCursor(Qt::CrossCursor);
    setFixedSize(capture_.deviceIndependentSize().toSize());
}

QSize AnnotationCanvas::sizeHint() const
{
    return capture_.deviceIndependentSize().toSize();
}

QImage AnnotationCanvas::rendered() const
{
    QList<Shape> shapes = marks_.shapes();
    if (drawing_)
        shapes.append(*drawing_);
    return renderAnnotations(capture_, shapes);
}

QPointF AnnotationCanvas::toImage(const QPointF &widgetPoint) const
{
    return widgetPoint * capture_.devicePixelRatio();
}

void AnnotationCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(QPointF(0, 0), rendered());
}

Shape AnnotationCanvas::fresh(const QPointF &at) const
{
    Shape shape;
    shape.kind = tool_;
    shape.colour = colour_;
    // A line as thick on a scaled screen as the user sees it elsewhere.
    shape.width = std::max(1, int(width_ * capture_.devicePixelRatio() + 0.5));
    shape.points = {at};
    return shape;
}

void AnnotationCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = toImage(event->position());
    Shape shape = fresh(at);
    if (tool_ == ShapeKind::Step) {
        shape.number = marks_.nextStepNumber();
        marks_.add(shape);
        update();
        Q_EMIT marksChanged();
        return;
    }
    if (tool_ == ShapeKind::Text) {
        const std::optional<QString> words = textSource_ ? textSource_() : std::nullopt;
        if (words && !words->trimmed().isEmpty()) {
            shape.text = *words;
            marks_.add(shape);
            update();
            Q_EMIT marksChanged();
        }
        return;
    }
    const bool path = tool_ == ShapeKind::Pen || tool_ == ShapeKind::MosaicBrush;
    if (!path)
        shape.points.append(at);
    drawing_ = shape;
    update();
}

void AnnotationCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!drawing_)
        return;
    const QPointF at = toImage(event->position());
    if (drawing_->kind == ShapeKind::Pen || drawing_->kind == ShapeKind::MosaicBrush)
        drawing_->points.append(at);
    else
        drawing_->points.last() = at;
    update();
}

void AnnotationCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (!drawing_ || event->button() != Qt::LeftButton)
        return;
    // Where the button is let go ends the shape, moved there or not.
    const QPointF at = toImage(event->position());
    const bool path = drawing_->kind == ShapeKind::Pen || drawing_->kind == ShapeKind::MosaicBrush;
    if (path) {
        if (drawing_->points.last() != at)
            drawing_->points.append(at);
    } else {
        drawing_->points.last() = at;
    }
    Shape shape = *drawing_;
    drawing_.reset();
    // A click without a drag draws nothing, except a dot with a brush.
    const QPointF first = shape.points.first(), last = shape.points.last();
    const bool dragged = (last - first).manhattanLength() >= 2 || shape.points.size() > 2;
    if (dragged || path) {
        marks_.add(shape);
        Q_EMIT marksChanged();
    }
    update();
}

} // namespace areagrab
