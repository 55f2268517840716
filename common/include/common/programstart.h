#pragma once
// What each program's main() does around its window or its command line.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The menu entry the programs' windows belong to; a packaged build names it.
#ifndef SUITE_DESKTOP_ID
#define SUITE_DESKTOP_ID ""
#endif

class QApplication;
class QTextStream;
class QWidget;

namespace common {

class Dialogs;

// The program's arguments as texts, argv[0] first.
QStringList argumentsOf(int argc, char *argv[]);

// Names the application, ties its windows to the menu entry desktopId (none
// when empty), whose icon the desktop then shows, and loads Qt's Chinese texts.
void prepareWindowApplication(QApplication &app, const QString &name, const char *desktopId);

// Runs the program's window: the application prepared as above, then the
// window makeWindow makes (and shows) with the Qt dialogs; returns the
// application's exit status once the window has closed.
using WindowMaker = std::function<std::unique_ptr<QWidget>(Dialogs &dialogs)>;
int runWindow(int &argc, char *argv[], const QString &name, const char *desktopId,
              const WindowMaker &makeWindow);

// Runs a command line with its results and messages as UTF-8 on stdout and
// stderr; returns its exit status.
using CommandLine = std::function<int(const QStringList &args, QTextStream &out, QTextStream &err)>;
int runOnConsole(const CommandLine &run, const QStringList &args);

} // namespace common
