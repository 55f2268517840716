#pragma once
// The folder each kind of file was last chosen in, kept between runs in the
// user's config folder, so every file dialog starts where the user was.
#include <QString>

namespace common {

enum class FolderKind { Photos, Paths, Tracks, Captures };

// Where a dialog for kind starts: the folder last used for it while it
// still exists, else the user's pictures folder (photos and captures) or
// home folder. Never the program's own folder: a bare name typed into a
// save dialog would land beside the program (in build/ under ./run).
QString rememberedFolder(FolderKind kind);

// Keeps the folder of chosenPath (a file, or a folder itself) for kind;
// an empty path (a cancelled dialog) changes nothing.
void rememberFolder(FolderKind kind, const QString &chosenPath);

// The settings file: folders.ini in the suite's folder under the user's
// config folder ($XDG_CONFIG_HOME, ~/.config).
QString foldersSettingsFile();

} // namespace common
