#include "bmp2jpg.h"

#include <QImageWriter>
#include <QSaveFile>

namespace BMP2JPG {

bool SavePictureAsJpeg(const QImage &image, const QString &fileName, int quality)
{
    if (image.isNull() || fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(quality);
    // Alpha would be dropped by the encoder anyway; RGB32 keeps the writer on
    // its fast path without a premultiplied conversion.
    const bool ok = image.hasAlphaChannel()
        ? writer.write(image.convertToFormat(QImage::Format_RGB32))
        : writer.write(image);
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace BMP2JPG
