#include "core/convertcli.h"

namespace pixplot {

void addConvertOptions(QCommandLineParser &) {}

std::optional<int> runConvertOptions(const QCommandLineParser &) { return std::nullopt; }

} // namespace pixplot
