#pragma once
// pixplot without its window: the EXIF times, the path, matching, the photo
// batch, the map page and the conversions, through the same session the
// window uses. Results go to out as UTF-8, messages in Chinese to err.
#include "common/consoletext.h"

#include <QStringList>
#include <QTextStream>

namespace pixplot {

// True when the arguments (arguments[0] is the program) ask for the command
// line: anything beyond the program's name.
bool wantsCommandLine(const QStringList &arguments);

// True when the command draws (frames, thumbnails, the window's colours)
// and so needs the GUI half of Qt; reading times and paths does not, and
// starts much faster without it.
bool commandNeedsGui(const QStringList &arguments);

// Parses, runs and returns the exit status: 0 done, 1 failure or bad input,
// 2 wrong usage (a malformed option value included). Needs a
// QCoreApplication, a QGuiApplication when commandNeedsGui().
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace pixplot
