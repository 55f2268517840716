#pragma once
// Help for the windows: the program's section of the README in a window of
// its own, and the small "?" button (帮助 F1, 关于) in a window's corner.
#include "common/about.h"

#include <QPoint>
#include <QString>

class QToolButton;
class QWidget;

namespace common {

// The "## program" section of the README built into the programs, as
// Markdown; empty if there is none.
QString readmeSection(const QString &program);

// Shows that section (object name "help", not modal) and returns it.
QWidget *showHelp(QWidget *parent, const QString &program);

// A small "?" button floating in window's top-right corner, outside its
// layout, with the entries "帮助" and "关于"; F1 anywhere in window opens
// the help as well. margin: from the corner to the button's top-right.
QToolButton *addHelpButton(QWidget *window, const AboutInfo &info, QPoint margin = QPoint(1, 1));

} // namespace common
