#pragma once
// The capture with its marks, drawn at its logical size; the mouse draws
// the shape of the chosen tool, which goes into the list once let go.
#include "core/annotation.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace areagrab {

class AnnotationCanvas : public QWidget {
    Q_OBJECT
public:
    // capture in device pixels at the screen's ratio; marks is the list the
    // editor keeps.
    AnnotationCanvas(const QImage &capture, Annotations &marks, QWidget *parent = nullptr);

    void setTool(ShapeKind tool) { tool_ = tool; }
    ShapeKind tool() const { return tool_; }
    void setColour(const QColor &colour) { colour_ = colour; }
    void setLineWidth(int width) { width_ = width; }
    // Asks for the words of a text mark; nullopt when the user cancels.
    void setTextSource(std::function<std::optional<QString>()> source) { textSource_ = std::move(source); }

    // The capture with every mark burned in, device pixels.
    QImage rendered() const;
    // Where a point of this widget lies on the capture (device pixels).
    QPointF toImage(const QPointF &widgetPoint) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    // A mark was added (undo and redo are the editor's).
    void marksChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Shape fresh(const QPointF &at) const;

    QImage capture_;
    Annotations &marks_;
    ShapeKind tool_ = ShapeKind::Rectangle;
    QColor colour_ = Qt::red;
    int width_ = 3;
    std::optional<Shape> drawing_;
    std::function<std::optional<QString>()> textSource_;
};

} // namespace areagrab
