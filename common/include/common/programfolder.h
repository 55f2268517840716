#pragma once
// The folder the running program lives in, and where its file dialogs start.
#include <QString>

namespace common {

QString programFolder();

// True for a folder that holds the installed programs of the system or of
// the user (/usr/bin, /usr/local/bin, the folder this build installs to):
// the suite writes nothing there, even where it could (as root).
bool isSharedProgramFolder(const QString &folder);

// Where file dialogs start: the program's folder, or the home folder when
// the program is installed in a shared program folder.
QString dialogStartFolder();

} // namespace common
