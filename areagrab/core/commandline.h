#pragma once
// areagrab without its window: capture the screen, a rectangle of it or the
// window under a point and save it as JPEG.
#include "core/windowsystem.h"

#include "common/consoletext.h"

#include <QStringList>
#include <QTextStream>

namespace areagrab {

// Whether the arguments (arguments[0] is the program) ask for a capture, so
// that the program needs a screen and a GUI application.
bool needsScreen(const QStringList &arguments);

// Runs the command line: parses, captures through the window system that
// openWindowSystem gives (null: no screen), prints the result line on out
// and messages on err. Returns the exit status.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err,
        const WindowSystemFactory &openWindowSystem);

} // namespace areagrab
