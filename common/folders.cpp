#include "common/folders.h"

#include "common/keyvaluefile.h"

#include <QDir>
#include <QFileInfo>
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
    // Looked up each time, so a changed XDG_CONFIG_HOME is honoured.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("gpsphotosuite/folders.ini"));
}

QString rememberedFolder(FolderKind kind)
{
    const QString folder = keyValue(readKeyValues(foldersSettingsFile()), keyOf(kind));
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
    // A preference: the dialog goes on whether or not it could be kept.
    storeKeyValue(foldersSettingsFile(), keyOf(kind), folder);
}

} // namespace common
