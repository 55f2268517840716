#pragma once
// trekport without its window: download from the logger, load GTXT files and
// write GTXT, NAME and KML files from the command line.
#include "common/consoletext.h"

#include <QStringList>
#include <QTextStream>

namespace trekport {

// True when the arguments ask for the command-line mode: any "--" option
// or -h; Qt's single-dash window options leave the window mode.
bool wantsCommandLine(const QStringList &arguments);

// Runs the command line: args as QCoreApplication::arguments() gives them
// (the program first). Results go to out, messages in Chinese to err. Needs a
// QCoreApplication; returns a common::ExitStatus.
int run(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace trekport
