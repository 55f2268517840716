#pragma once
// Marks drawn on a capture before it is saved or copied: the shapes as data,
// the list of them with undo and redo, and the renderer that burns them into
// the picture. Coordinates are the capture's device pixels.
#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

namespace areagrab {

enum class ShapeKind { Rectangle, Ellipse, Arrow, Pen, Text, Step, Mosaic, MosaicBrush };

struct Shape {
    ShapeKind kind = ShapeKind::Rectangle;
    // Rectangle, Ellipse, Mosaic: two opposite corners; Arrow: tail then
    // head; Pen, MosaicBrush: the path as drawn; Text: the top-left of the
    // first line; Step: the marker's centre.
    QList<QPointF> points;
    QColor colour = Qt::red;
    int width = 3; // line width; sets the size of text, markers and mosaic blocks too
    QString text;  // Text only
    int number = 0; // Step only

    bool operator==(const Shape &other) const = default;
};

// Sizes derived from a shape's width, in device pixels.
int textPixelSize(int width);
int stepDiameter(int width);
int mosaicBlock(int width);
int mosaicBrushDiameter(int width);

// The rectangle two corners span, whichever way they were dragged.
QRectF spanned(const QPointF &a, const QPointF &b);

// The shapes of one capture in drawing order, with undo and redo of every
// addition and of clearing.
class Annotations {
public:
    const QList<Shape> &shapes() const { return shapes_; }
    bool isEmpty() const { return shapes_.isEmpty(); }
    void add(const Shape &shape);
    // Removes every shape, as one step that undo brings back.
    void clear();
    bool canUndo() const { return !undo_.isEmpty(); }
    bool canRedo() const { return !redo_.isEmpty(); }
    void undo();
    void redo();
    // The number the next step marker carries: one more than the highest
    // now shown.
    int nextStepNumber() const;

private:
    QList<Shape> shapes_;
    QList<QList<Shape>> undo_; // the lists before each change
    QList<QList<Shape>> redo_;
};

// Draws shape onto image (device pixels). A mosaic replaces each block of
// its area by the block's mean colour, so nothing of what was under it can
// be read back; the mosaic brush does so for every whole block its stroke
// touches.
void drawShape(QImage &image, const Shape &shape);

// A copy of base with every shape burned in, in order.
QImage renderAnnotations(const QImage &base, const QList<Shape> &shapes);

} // namespace areagrab
