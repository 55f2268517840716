#pragma once
// pixplot's window and the command-line commands that work as its buttons do.
#include <QCommandLineParser>
#include <optional>

class QApplication;

namespace pixplot {

void addAppOptions(QCommandLineParser &parser);
// Runs the command the options name; nullopt when none of them was given.
std::optional<int> runAppOptions(const QCommandLineParser &parser);
// Shows the main window and runs the event loop.
int showMainWindow(QApplication &app);

} // namespace pixplot
