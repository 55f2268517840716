#include "core/annotation.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace areagrab {

int textPixelSize(int width)
{
    return 12 + 4 * std::max(1, width);
}

int stepDiameter(int width)
{
    return 18 + 4 * std::max(1, width);
}

int mosaicBlock(int width)
{
    return 4 * std::max(2, width);
}

int mosaicBrushDiameter(int width)
{
    return 12 + 6 * std::max(1, width);
}

QRectF spanned(const QPointF &a, const QPointF &b)
{
    return QRectF(a, b).normalized();
}

void Annotations::add(const Shape &shape)
{
    undo_.append(shapes_);
    redo_.clear();
    shapes_.append(shape);
}

void Annotations::clear()
{
    if (shapes_.isEmpty())
        return;
    undo_.append(shapes_);
    redo_.clear();
    shapes_.clear();
}

void Annotations::undo()
{
    if (undo_.isEmpty())
        return;
    redo_.append(shapes_);
    shapes_ = undo_.takeLast();
}

void Annotations::redo()
{
    if (redo_.isEmpty())
        return;
    undo_.append(shapes_);
    shapes_ = redo_.takeLast();
}

int Annotations::nextStepNumber() const
{
    int highest = 0;
    for (const Shape &s : shapes_) {
        if (s.kind == ShapeKind::Step)
            highest = std::max(highest, s.number);
    }
    return highest + 1;
}

namespace {

QFont annotationFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void pixelate(QImage &image, const QRect &area, int block)
{
    const QRect r = area.intersected(image.rect());
    if (r.isEmpty())
        return;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    // Blocks sit on the picture's grid, so two mosaics side by side match.
    const int x0 = r.left() / block * block;
    const int y0 = r.top() / block * block;
    for (int by = y0; by <= r.bottom(); by += block) {
        for (int bx = x0; bx <= r.right(); bx += block) {
            const QRect cell = QRect(bx, by, block, block).intersected(r);
            qint64 sum[4] = {0, 0, 0, 0};
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    sum[0] += qRed(line[x]);
                    sum[1] += qGreen(line[x]);
                    sum[2] += qBlue(line[x]);
                    sum[3] += qAlpha(line[x]);
                }
            }
            const qint64 n = qint64(cell.width()) * cell.height();
            const QRgb mean = qRgba(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n), int(sum[3] / n));
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                std::fill(line + cell.left(), line + cell.right() + 1, mean);
            }
        }
    }
}

// Every block of the picture's grid that the brush's stroke touches, whole.
void pixelateAlong(QImage &image, const Shape &s)
{
    QImage mask(image.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setPen(QPen(Qt::white, mosaicBrushDiameter(s.width), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath path(s.points.first());
        for (qsizetype i = 1; i < s.points.size(); ++i)
            path.lineTo(s.points[i]);
        if (s.points.size() == 1)
            p.drawPoint(s.points.first());
        else
            p.drawPath(path);
    }
    const int block = mosaicBlock(s.width);
    for (int by = 0; by < image.height(); by += block) {
        for (int bx = 0; bx < image.width(); bx += block) {
            const QRect cell = QRect(bx, by, block, block).intersected(image.rect());
            bool touched = false;
            for (int y = cell.top(); y <= cell.bottom() && !touched; ++y) {
                const uchar *line = mask.constScanLine(y);
                touched = std::any_of(line + cell.left(), line + cell.right() + 1, [](uchar v) { return v; });
            }
            if (touched)
                pixelate(image, cell, block);
        }
    }
}

void drawArrow(QPainter &p, const Shape &s)
{
    const QPointF tail = s.points.first(), head = s.points.last();
    const QLineF line(tail, head);
    if (line.length() < 1)
        return;
    const qreal headLength = std::min(line.length(), 10.0 + 4.0 * s.width);
    const qreal headHalf = headLength * 0.45;
    const QPointF dir = (head - tail) / line.length();
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = head - dir * headLength;
    // The shaft ends inside the head, so its square end never shows past it.
    p.setPen(QPen(s.colour, s.width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawLine(tail, base + dir * (headLength * 0.3));
    p.setPen(Qt::NoPen);
    p.setBrush(s.colour);
    p.drawPolygon(QPolygonF({head, base + normal * headHalf, base - normal * headHalf}));
}

void drawStep(QPainter &p, const Shape &s)
{
    const qreal d = stepDiameter(s.width);
    const QRectF circle(s.points.first() - QPointF(d / 2, d / 2), QSizeF(d, d));
    p.setPen(Qt::NoPen);
    p.setBrush(s.colour);
    p.drawEllipse(circle);
    // White or black figures, whichever reads better on the marker.
    p.setPen(qGray(s.colour.rgb()) > 160 ? Qt::black : Qt::white);
    p.setFont(annotationFont(int(d * 0.6), true));
    p.drawText(circle, Qt::AlignCenter, QString::number(s.number));
}

} // namespace

void drawShape(QImage &image, const Shape &shape)
{
    if (shape.points.isEmpty())
        return;
    if (shape.kind == ShapeKind::Mosaic) {
        pixelate(image, spanned(shape.points.first(), shape.points.last()).toAlignedRect(),
                 mosaicBlock(shape.width));
        return;
    }
    if (shape.kind == ShapeKind::MosaicBrush) {
        if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
            image.convertTo(QImage::Format_RGB32);
        pixelateAlong(image, shape);
        return;
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPen pen(shape.colour, shape.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (shape.kind) {
    case ShapeKind::Rectangle:
        // Square corners, the line along the inside of the dragged box.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(shape.colour);
        {
            const QRect r = spanned(shape.points.first(), shape.points.last()).toRect();
            const int w = std::min({shape.width, r.width(), r.height()});
            p.drawRect(r.left(), r.top(), r.width(), w);
            p.drawRect(r.left(), r.bottom() - w + 1, r.width(), w);
            p.drawRect(r.left(), r.top(), w, r.height());
            p.drawRect(r.right() - w + 1, r.top(), w, r.height());
        }
        break;
    case ShapeKind::Ellipse: {
        const qreal inset = shape.width / 2.0;
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(
            spanned(shape.points.first(), shape.points.last()).adjusted(inset, inset, -inset, -inset));
        break;
    }
    case ShapeKind::Arrow:
        drawArrow(p, shape);
        break;
    case ShapeKind::Pen: {
        p.setPen(pen);
        if (shape.points.size() == 1) {
            p.drawPoint(shape.points.first());
            break;
        }
        QPainterPath path(shape.points.first());
        for (qsizetype i = 1; i < shape.points.size(); ++i)
            path.lineTo(shape.points[i]);
        p.drawPath(path);
        break;
    }
    case ShapeKind::Text: {
        p.setPen(shape.colour);
        const QFont font = annotationFont(textPixelSize(shape.width), false);
        p.setFont(font);
        const QPointF origin = shape.points.first();
        p.drawText(QRectF(origin, QSizeF(image.width() - origin.x() + 1, image.height() - origin.y() + 1)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, shape.text);
        break;
    }
    case ShapeKind::Step:
        drawStep(p, shape);
        break;
    case ShapeKind::Mosaic:
    case ShapeKind::MosaicBrush:
        break;
    }
}

QImage renderAnnotations(const QImage &base, const QList<Shape> &shapes)
{
    QImage out = base.convertToFormat(QImage::Format_RGB32);
    out.setDevicePixelRatio(1.0);
    for (const Shape &shape : shapes)
        drawShape(out, shape);
    out.setDevicePixelRatio(base.devicePixelRatio());
    return out;
}

} // namespace areagrab
