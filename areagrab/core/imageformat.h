#pragma once
// The file formats a capture is saved in, chosen by the name's suffix:
// PNG (lossless, best for text), JPEG at the suite's quality, WebP.
#include <QImage>
#include <QString>
#include <optional>

namespace areagrab {

enum class ImageFormat { Jpeg, Png, Webp };

// The format the name's suffix asks for (case does not matter); nullopt for
// a suffix of none of them, or no suffix.
std::optional<ImageFormat> formatForName(const QString &path);

// The suffixes a capture may be saved under, for messages: ".png、.jpg、…".
QString acceptedSuffixes();

// "不支持的文件类型：PATH（可用的后缀：.png、.jpg、.jpeg、.webp）".
QString unsupportedSuffixMessage(const QString &path);

// Writes image to path in format through the checked writer; false with
// *reason on any failure, an existing file then untouched.
bool saveImage(const QImage &image, const QString &path, ImageFormat format, QString *reason);

} // namespace areagrab
