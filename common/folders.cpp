#include "common/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace common {

namespace {

QString keyOf(FolderKind kind)
{
    switch (kind) {
    case FolderKind::Photos:
        return QStringLiteral("folders/photos");
    case FolderKind::Paths:
        return QStringLiteral("folders/paths");
    case FolderKind::Tracks:
        return QStringLiteral("folders/tracks");
    case FolderKind::Captures:
        return QStringLiteral("folders/captures");
    }
    return QStringLiteral("folders/other");
}

QString defaultFolder(FolderKind kind)
{
    if (kind == FolderKind::Photos || kind == FolderKind::Captures) {
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
            return pictures;
    }
    return QDir::homePath();
}

} // namespace

QString foldersSettingsFile()
{
    // Read anew each time (not QSettings' cached user path), so a changed
    // XDG_CONFIG_HOME is honoured.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("gpsphotosuite/folders.ini"));
}

QString rememberedFolder(FolderKind kind)
{
    const QSettings settings(foldersSettingsFile(), QSettings::IniFormat);
    const QString folder = settings.value(keyOf(kind)).toString();
    // A folder since removed (or a stick since unplugged) is no place to start.
    if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir())
        return folder;
    return defaultFolder(kind);
}

void rememberFolder(FolderKind kind, const QString &chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    const QFileInfo info(chosenPath);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    QSettings settings(foldersSettingsFile(), QSettings::IniFormat);
    if (settings.value(keyOf(kind)).toString() != folder)
        settings.setValue(keyOf(kind), folder);
}

} // namespace common
