#pragma once
// What a photo's tags say about its camera and its clock, as plain text
// rules shared by the JPEG reader and the other formats' readers.
#include <QString>
#include <QtGlobal>

#include <optional>

namespace pixplot::cameratime {

// OffsetTimeOriginal's "+02:00" (or "+0200", "Z") as seconds east of UTC;
// nullopt for anything else.
std::optional<qint32> parseUtcOffset(QString text);

// "Make Model serial", the parts present, so one camera gives one text
// whatever format it wrote.
QString cameraText(const QString &make, const QString &model, const QString &serial);

} // namespace pixplot::cameratime
