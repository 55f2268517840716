#include "common/bmp2jpg.h"

#include "common/safefile.h"

#include <QBuffer>
#include <QImageWriter>

namespace BMP2JPG {

bool SavePictureAsJpeg(const QImage &image, const QString &fileName, int quality, QString *error)
{
    if (image.isNull() || fileName.isEmpty()) {
        if (error)
            *error = QStringLiteral("没有图像或文件名");
        return false;
    }
    // Refused before the work of encoding is spent.
    if (!common::checkOutputTarget(fileName, error))
        return false;
    // Encoded in memory (a fraction of the image it comes from), then put
    // on disk by the checked writer, which alone sees the system's errors.
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    // Alpha would be dropped by the encoder anyway; RGB32 keeps the writer on
    // its fast path without a premultiplied conversion.
    const bool ok = image.hasAlphaChannel() ? writer.write(image.convertToFormat(QImage::Format_RGB32))
                                            : writer.write(image);
    if (!ok) {
        if (error)
            *error = QStringLiteral("JPEG 编码失败：") + writer.errorString();
        return false;
    }
    buffer.close();
    return common::writeFileAtomically(fileName, jpeg, error);
}

bool encodePictureAsJpeg(const QImage &image, int quality, QByteArray *out)
{
    if (image.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    const bool ok = image.hasAlphaChannel() ? writer.write(image.convertToFormat(QImage::Format_RGB32))
                                            : writer.write(image);
    if (!ok)
        return false;
    *out = bytes;
    return true;
}

} // namespace BMP2JPG
