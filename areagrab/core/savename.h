#pragma once
// The name a capture is saved under.
#include <QString>

namespace areagrab {

// name with "." + suffix appended when its file part has no extension
// ("shot" -> "shot.jpg"); a name that has one is kept as typed.
QString withDefaultSuffix(const QString &name, const QString &suffix);

} // namespace areagrab
