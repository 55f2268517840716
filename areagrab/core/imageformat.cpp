#include "core/imageformat.h"

#include "common/bmp2jpg.h"
#include "common/safefile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace areagrab {

namespace {

constexpr int JpegQuality = 80;

struct Suffix {
    const char *suffix;
    ImageFormat format;
};
const Suffix Suffixes[] = {
    {"png", ImageFormat::Png}, {"jpg", ImageFormat::Jpeg}, {"jpeg", ImageFormat::Jpeg}, {"webp", ImageFormat::Webp}};

} // namespace

std::optional<ImageFormat> formatForName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const Suffix &s : Suffixes) {
        if (suffix == QLatin1String(s.suffix))
            return s.format;
    }
    return std::nullopt;
}

QString acceptedSuffixes()
{
    QStringList list;
    for (const Suffix &s : Suffixes)
        list << QLatin1Char('.') + QLatin1String(s.suffix);
    return list.join(QStringLiteral("、"));
}

QString unsupportedSuffixMessage(const QString &path)
{
    return QStringLiteral("不支持的文件类型：%1（可用的后缀：%2）").arg(path, acceptedSuffixes());
}

bool saveImage(const QImage &image, const QString &path, ImageFormat format, QString *reason)
{
    if (format == ImageFormat::Jpeg)
        return BMP2JPG::SavePictureAsJpeg(image, path, JpegQuality, reason);
    if (image.isNull()) {
        *reason = QStringLiteral("没有图像或文件名");
        return false;
    }
    if (!common::checkOutputTarget(path, reason))
        return false;
    const char *name = format == ImageFormat::Png ? "png" : "webp";
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, name);
    if (format == ImageFormat::Webp)
        writer.setQuality(100); // lossless: text in a capture stays sharp
    // A screen has no transparency; an alpha channel would only cost bytes.
    const QImage opaque = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    if (!writer.write(opaque)) {
        *reason = QStringLiteral("%1 编码失败：%2").arg(QString::fromLatin1(name).toUpper(), writer.errorString());
        return false;
    }
    buffer.close();
    return common::writeFileAtomically(path, bytes, reason);
}

} // namespace areagrab
