#pragma once
// pixplot's command-line conversions of a path to KML and to an HTML page.
#include <QCommandLineParser>
#include <optional>

namespace pixplot {

void addConvertOptions(QCommandLineParser &parser);
// Runs --to-kml / --to-html; nullopt when neither was given.
std::optional<int> runConvertOptions(const QCommandLineParser &parser);

} // namespace pixplot
