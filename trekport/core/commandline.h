#pragma once
// trekport without its window: download from the logger, load GTXT files and
// write GTXT, NAME and KML files from the command line.
#include <QStringList>
#include <QTextStream>

namespace trekport {

enum ExitCode { ExitOk = 0, ExitBadInput = 1, ExitUsage = 2 };

// True when the arguments ask for the command-line mode: any "--" option
// or -h; Qt's single-dash window options leave the window mode.
bool wantsCommandLine(const QStringList &arguments);

// Runs the command line (arguments[0] is the program). Needs a
// QCoreApplication; returns the exit code.
int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace trekport
