// The marks drawn on a capture, without a window: each tool burned into a
// known picture, the mosaic hiding what was under it, undo and redo.
#include "core/annotation.h"

#include <QPainter>
#include <QPolygonF>
#include <QTest>

using namespace areagrab;

Q_DECLARE_METATYPE(areagrab::Shape)

namespace {

const QRgb Grey = qRgb(128, 128, 128);
const QRgb Red = qRgb(230, 0, 0);
const QRgb Blue = qRgb(0, 90, 230);

QImage grey()
{
    QImage img(200, 150, QImage::Format_RGB32);
    img.fill(Grey);
    return img;
}

// Every pixel differs from its neighbours: detail a mosaic must remove.
QImage detailed()
{
    QImage img(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, (x * y) & 255));
    return img;
}

Shape shape(ShapeKind kind, QList<QPointF> points, int width, QRgb colour = Red)
{
    Shape s;
    s.kind = kind;
    s.points = std::move(points);
    s.width = width;
    s.colour = QColor(colour);
    return s;
}

int countColour(const QImage &img, const QRect &area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestAnnotation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachToolDraws_data();
    void eachToolDraws();
    void mosaicIsConstantPerBlock_data();
    void mosaicIsConstantPerBlock();
    void mosaicBrushTakesWholeBlocks();
    void undoRedoRoundTrip();
    void stepsCountOn();
};

void TestAnnotation::eachToolDraws_data()
{
    QTest::addColumn<Shape>("mark");
    QTest::addColumn<QList<QPoint>>("painted");   // in the mark's colour
    QTest::addColumn<QList<QPoint>>("untouched"); // still grey
    QTest::addColumn<QRect>("inkArea");           // where ...
    QTest::addColumn<int>("minInk");              // ... at least this many pixels take the colour

    QTest::newRow("rectangle") << shape(ShapeKind::Rectangle, {{80, 60}, {20, 20}}, 4)
                               << QList<QPoint>{{20, 20}, {79, 40}, {50, 59}, {23, 30}, {76, 56}}
                               << QList<QPoint>{{24, 30}, {50, 40}, {19, 20}, {80, 40}, {50, 60}}
                               << QRect(20, 20, 60, 40) << 60 * 40 - 52 * 32;
    QTest::newRow("ellipse") << shape(ShapeKind::Ellipse, {{20, 20}, {120, 100}}, 4)
                             << QList<QPoint>{{70, 22}, {70, 97}, {22, 60}, {117, 60}}
                             << QList<QPoint>{{70, 60}, {24, 24}, {116, 96}, {70, 17}}
                             << QRect(20, 20, 100, 80) << 500;
    QTest::newRow("arrow") << shape(ShapeKind::Arrow, {{20, 75}, {180, 75}}, 4)
                           << QList<QPoint>{{25, 75}, {100, 75}, {160, 81}, {160, 69}, {176, 75}}
                           << QList<QPoint>{{100, 71}, {100, 79}, {17, 75}, {183, 75}, {150, 90}}
                           << QRect(150, 60, 31, 31) << 150;
    QTest::newRow("pen") << shape(ShapeKind::Pen, {{10, 10}, {100, 10}, {100, 100}}, 5)
                         << QList<QPoint>{{50, 10}, {100, 50}, {100, 10}}
                         << QList<QPoint>{{50, 50}, {50, 14}, {105, 50}} << QRect(8, 8, 95, 95) << 90 * 5;
    Shape text = shape(ShapeKind::Text, {{10, 10}}, 3, Blue);
    text.text = QStringLiteral("截图 OK");
    QTest::newRow("text") << text << QList<QPoint>{} << QList<QPoint>{{5, 5}, {150, 100}, {10, 60}}
                          << QRect(10, 10, 120, 36) << 40;
    Shape step = shape(ShapeKind::Step, {{100, 75}}, 3);
    step.number = 7;
    QTest::newRow("step marker") << step << QList<QPoint>{{88, 75}, {100, 64}, {100, 86}}
                                 << QList<QPoint>{{120, 75}, {100, 55}, {80, 60}} << QRect(85, 60, 31, 31)
                                 << 300;
}

void TestAnnotation::eachToolDraws()
{
    QFETCH(Shape, mark);
    QFETCH(QList<QPoint>, painted);
    QFETCH(QList<QPoint>, untouched);
    QFETCH(QRect, inkArea);
    QFETCH(int, minInk);
    const QImage out = renderAnnotations(grey(), {mark});
    QCOMPARE(out.size(), QSize(200, 150));
    for (const QPoint &p : painted)
        QVERIFY2(
            out.pixel(p) == mark.colour.rgb(),
            qPrintable(
                QStringLiteral("(%1,%2) not painted: %3").arg(p.x()).arg(p.y()).arg(out.pixel(p), 0, 16)));
    for (const QPoint &p : untouched)
        QVERIFY2(out.pixel(p) == Grey, qPrintable(QStringLiteral("(%1,%2) painted").arg(p.x()).arg(p.y())));
    const int ink = countColour(out, inkArea, mark.colour.rgb());
    QVERIFY2(ink >= minInk, qPrintable(QString::number(ink)));
    // Nothing outside the mark's own box (its points, the arrow's head).
    QImage outside = out;
    const QRect box = QPolygonF(mark.points).boundingRect().toAlignedRect().united(inkArea);
    QPainter(&outside).fillRect(box.adjusted(-14, -14, 14, 14), QColor(Grey));
    QCOMPARE(countColour(outside, outside.rect(), Grey), 200 * 150);
}

void TestAnnotation::mosaicIsConstantPerBlock_data()
{
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<int>("width");
    QTest::newRow("off the grid") << QRectF(QPointF(97, 83), QPointF(13, 17)) << 3;
    QTest::newRow("on the grid, fine") << QRectF(0, 0, 64, 48) << 2;
    QTest::newRow("past the edge") << QRectF(150, 100, 200, 200) << 5;
}

void TestAnnotation::mosaicIsConstantPerBlock()
{
    QFETCH(QRectF, area);
    QFETCH(int, width);
    const QImage base = detailed();
    const QImage out =
        renderAnnotations(base, {shape(ShapeKind::Mosaic, {area.topLeft(), area.bottomRight()}, width)});
    const QRect covered = area.normalized().toAlignedRect().intersected(base.rect());
    const int block = mosaicBlock(width);
    int changed = 0;
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            if (!covered.contains(x, y)) {
                QCOMPARE(out.pixel(x, y), base.pixel(x, y));
                continue;
            }
            // Each block of the grid, within the area, holds one colour:
            // its mean, which says nothing about any single pixel.
            const QPoint first(std::max(covered.left(), x / block * block),
                               std::max(covered.top(), y / block * block));
            QCOMPARE(out.pixel(x, y), out.pixel(first));
            changed += out.pixel(x, y) != base.pixel(x, y);
        }
    }
    QVERIFY(changed > covered.width() * covered.height() * 9 / 10);
}

void TestAnnotation::mosaicBrushTakesWholeBlocks()
{
    const QImage base = detailed();
    const Shape brush = shape(ShapeKind::MosaicBrush, {{20, 75}, {100, 70}, {180, 75}}, 2);
    const QImage out = renderAnnotations(base, {brush});
    const int block = mosaicBlock(brush.width);
    int changedBlocks = 0;
    for (int by = 0; by < base.height(); by += block) {
        for (int bx = 0; bx < base.width(); bx += block) {
            const QRect cell = QRect(bx, by, block, block).intersected(base.rect());
            // A block is left as it was or becomes one colour: never half.
            const bool changed = out.copy(cell) != base.copy(cell);
            changedBlocks += changed;
            if (changed)
                QCOMPARE(countColour(out, cell, out.pixel(cell.topLeft())), cell.width() * cell.height());
        }
    }
    // Along the stroke (about 24 pixels wide, 160 long) and nowhere far away.
    QVERIFY2(changedBlocks >= 20 * 3 && changedBlocks <= 23 * 6, qPrintable(QString::number(changedBlocks)));
    QVERIFY(out.pixel(100, 71) != base.pixel(100, 71));
    QCOMPARE(out.copy(0, 0, 200, 40), base.copy(0, 0, 200, 40));
    QCOMPARE(out.copy(0, 110, 200, 40), base.copy(0, 110, 200, 40));
}

void TestAnnotation::undoRedoRoundTrip()
{
    const QImage base = grey();
    Annotations marks;
    const Shape a = shape(ShapeKind::Rectangle, {{10, 10}, {50, 50}}, 2);
    const Shape b = shape(ShapeKind::Arrow, {{60, 60}, {150, 100}}, 3);
    const Shape c = shape(ShapeKind::Mosaic, {{0, 0}, {40, 40}}, 2);
    marks.add(a);
    marks.add(b);
    const QImage twoMarks = renderAnnotations(base, marks.shapes());
    marks.add(c);
    QCOMPARE(marks.shapes(), (QList<Shape>{a, b, c}));

    marks.undo();
    marks.undo();
    QCOMPARE(marks.shapes(), QList<Shape>{a});
    QVERIFY(marks.canRedo());
    marks.redo();
    QCOMPARE(renderAnnotations(base, marks.shapes()), twoMarks);
    // A new mark ends the redo history.
    marks.add(c);
    QVERIFY(!marks.canRedo());
    marks.redo();
    QCOMPARE(marks.shapes(), (QList<Shape>{a, b, c}));

    marks.clear();
    QVERIFY(marks.isEmpty());
    marks.undo();
    QCOMPARE(marks.shapes(), (QList<Shape>{a, b, c}));
    while (marks.canUndo())
        marks.undo();
    QCOMPARE(renderAnnotations(base, marks.shapes()), base);
}

void TestAnnotation::stepsCountOn()
{
    Annotations marks;
    QCOMPARE(marks.nextStepNumber(), 1);
    for (int i = 0; i < 3; ++i) {
        Shape s = shape(ShapeKind::Step, {{30.0 + 40 * i, 40}}, 3);
        s.number = marks.nextStepNumber();
        marks.add(s);
    }
    QCOMPARE(marks.nextStepNumber(), 4);
    marks.undo();
    QCOMPARE(marks.nextStepNumber(), 3);
    // The figure is drawn in white on a dark marker, and "1" and "2" differ.
    const QImage out = renderAnnotations(grey(), marks.shapes());
    const QRect first(16, 26, 29, 29), second(56, 26, 29, 29);
    QVERIFY(countColour(out, first, qRgb(255, 255, 255)) > 10);
    QVERIFY(out.copy(first) != out.copy(second));
}

QTEST_MAIN(TestAnnotation)
#include "tst_annotation.moc"
