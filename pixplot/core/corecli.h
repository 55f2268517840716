#pragma once
// pixplot's command-line commands that need only the core.
#include "common/timezone.h"

#include <QCommandLineParser>
#include <optional>

namespace pixplot {

void addCoreOptions(QCommandLineParser &parser);
// Runs the command the options name; nullopt when none of them was given.
std::optional<int> runCoreOptions(const QCommandLineParser &parser);

// The --zone option (UTC+08:00 when absent); false, with the reason on
// stderr, when it names no zone (a usage error).
bool readZoneOption(const QCommandLineParser &parser, common::TimeZoneSetting *zone);

} // namespace pixplot
