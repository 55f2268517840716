#pragma once
// What each program's main() does around its window or its command line.
#include <QString>
#include <QStringList>

#include <functional>

class QApplication;
class QTextStream;

namespace common {

// The program's arguments as texts, argv[0] first.
QStringList argumentsOf(int argc, char *argv[]);

// Names the application, ties its windows to the menu entry desktopId (none
// when empty), whose icon the desktop then shows, and loads Qt's Chinese texts.
void prepareWindowApplication(QApplication &app, const QString &name, const char *desktopId);

// Runs a command line with its results and messages as UTF-8 on stdout and
// stderr; returns its exit status.
using CommandLine = std::function<int(const QStringList &args, QTextStream &out, QTextStream &err)>;
int runOnConsole(const CommandLine &run, const QStringList &args);

} // namespace common
