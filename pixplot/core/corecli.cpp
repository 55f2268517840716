#include "core/corecli.h"

namespace pixplot {

void addCoreOptions(QCommandLineParser &) {}

std::optional<int> runCoreOptions(const QCommandLineParser &) { return std::nullopt; }

} // namespace pixplot
