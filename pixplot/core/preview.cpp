#include "core/preview.h"

#include "core/photooutput.h"

#include "common/rounding.h"

#include <QImageReader>

#include <cmath>

namespace pixplot::preview {

qint64 roundHalfEvenDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    const qint64 twiceRest = 2 * (a % b);
    if (twiceRest > b || (twiceRest == b && (q % 2) != 0))
        ++q;
    return q;
}

Placement placePicture(int widthPixels, int heightPixels)
{
    if (widthPixels <= 0 || heightPixels <= 0)
        return {};
    // r in hundredths, so every step stays in exact integers.
    const qint64 r100 = roundHalfEvenDiv(qint64(heightPixels) * 100, widthPixels);
    Placement p;
    if (r100 > 75) {
        p.height = kBoxHeightTwips;
        p.width = int(roundHalfEvenDiv(qint64(kBoxHeightTwips) * 100, r100));
    } else {
        p.width = kBoxWidthTwips;
        p.height = int(roundHalfEvenDiv(r100 * kBoxWidthTwips, 100));
    }
    p.x = int(roundHalfEvenDiv(qMax(0, kBoxWidthTwips - p.width), 2));
    p.y = int(roundHalfEvenDiv(qMax(0, kBoxHeightTwips - p.height), 2));
    return p;
}

QImage readPreviewImage(const QString &path, QSize *fullSize, qreal deviceRatio)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize stored = reader.size();
    // The orientation tag turns a stored W x H into H x W when it rotates.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    QSize upright = turned ? stored.transposed() : stored;
    // A header claiming more than a photo can hold is not decoded at all.
    if (!photooutput::oversizeReason(stored).isEmpty())
        return {};
    if (!stored.isValid()) {
        // No size without decoding: decode whole, as small photos are.
        const QImage whole = reader.read();
        if (fullSize)
            *fullSize = whole.size();
        return whole;
    }
    const Placement p = placePicture(upright.width(), upright.height());
    QSize shown(int(std::ceil(p.width * deviceRatio / common::TwipsPerPixel)),
                int(std::ceil(p.height * deviceRatio / common::TwipsPerPixel)));
    shown = shown.boundedTo(upright).expandedTo(QSize(1, 1));
    reader.setScaledSize(turned ? shown.transposed() : shown);
    const QImage picture = reader.read();
    if (fullSize)
        *fullSize = picture.isNull() ? QSize() : upright;
    return picture;
}

QString captionText(int widthPixels, int heightPixels, qint64 fileBytes)
{
    const double megabytes = double(fileBytes) / 1024.0 / 1024.0;
    return QStringLiteral("照片预览 (尺寸%1×%2 大小%3MB)")
        .arg(widthPixels)
        .arg(heightPixels)
        .arg(megabytes, 0, 'f', 2);
}

QString missingCaption(const QString &fileName)
{
    return QStringLiteral("照片预览 (文件不存在: %1)").arg(fileName);
}

QString unreadableCaption(const QString &fileName)
{
    return QStringLiteral("照片预览 (无法读取: %1)").arg(fileName);
}

} // namespace pixplot::preview
