#pragma once
// Where the preview draws a photo inside its 4200 x 3150 twip box, and the
// caption of the preview frame.
#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>

namespace pixplot::preview {

inline constexpr int kBoxWidthTwips = 4200;  // 280 pixels
inline constexpr int kBoxHeightTwips = 3150; // 210 pixels

struct Placement {
    int x = 0, y = 0, width = 0, height = 0; // twips
    bool operator==(const Placement &) const = default;
};

// a / b rounded to the nearest integer, halves to even (b > 0, a >= 0).
qint64 roundHalfEvenDiv(qint64 a, qint64 b);

// r = H / W to two decimals; r > 0.75 fills the height, else the width;
// the picture is centred. A zero size gives an empty placement.
Placement placePicture(int widthPixels, int heightPixels);

// The photo upright (orientation tag applied) as the box shows it: decoded
// straight at the size it is drawn (times deviceRatio), so a photo of any
// size shows without decoding its full pixels. *fullSize receives the
// upright size of the photo itself. Null when the file does not decode.
QImage readPreviewImage(const QString &path, QSize *fullSize, qreal deviceRatio = 1.0);

// "照片预览 (尺寸W×H 大小x.xxMB" (no closing parenthesis).
QString captionText(int widthPixels, int heightPixels, qint64 fileBytes);
// The caption when the listed file is gone or does not decode.
QString missingCaption(const QString &fileName);
QString unreadableCaption(const QString &fileName);

} // namespace pixplot::preview
