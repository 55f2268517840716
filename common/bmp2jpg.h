#pragma once
// The suite's one JPEG writer: encodes an image at a given quality.
#include <QImage>
#include <QString>

namespace BMP2JPG {

// Writes image as a JPEG file at fileName with quality 0..100 (handed to the
// encoder unchanged). Returns false on any failure (null image, unwritable
// path, encoder error) and then leaves no file behind; an existing file is
// replaced only once the new one is complete. Never shows a message.
bool SavePictureAsJpeg(const QImage &image, const QString &fileName, int quality);

} // namespace BMP2JPG
