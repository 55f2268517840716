#pragma once
// The suite's one JPEG writer: encodes an image at a given quality.
#include <QImage>
#include <QString>

namespace BMP2JPG {

// Writes image as a JPEG file at fileName with quality 0..100 (handed to the
// encoder unchanged). Returns false on any failure (null image, a target that
// is not a regular file, unwritable path, full disk, encoder error) and then
// leaves no file behind and an existing file byte for byte; *error, when
// given, holds the reason. An existing file is replaced only once the new one
// is completely on disk. Never shows a message.
bool SavePictureAsJpeg(const QImage &image, const QString &fileName, int quality, QString *error = nullptr);

// The same encoding into memory, for callers that add metadata before the
// file is written. False (out untouched) on any failure.
bool encodePictureAsJpeg(const QImage &image, int quality, QByteArray *out);

} // namespace BMP2JPG
