#pragma once
// pixplot's command-line commands that need only the core.
#include <QCommandLineParser>
#include <optional>

namespace pixplot {

void addCoreOptions(QCommandLineParser &parser);
// Runs the command the options name; nullopt when none of them was given.
std::optional<int> runCoreOptions(const QCommandLineParser &parser);

} // namespace pixplot
