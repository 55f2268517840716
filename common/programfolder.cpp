#include "common/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace common {

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

bool isSharedProgramFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    QStringList shared{QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/bin")};
#ifdef SUITE_INSTALL_BINDIR
    shared << QStringLiteral(SUITE_INSTALL_BINDIR);
#endif
    // /bin is a link to /usr/bin on Debian: compare where the names lead.
    const auto resolved = [](const QString &path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
    };
    const QString wanted = resolved(folder);
    for (const QString &candidate : shared) {
        if (resolved(candidate) == wanted)
            return true;
    }
    return false;
}

QString dialogStartFolder()
{
    const QString folder = programFolder();
    return isSharedProgramFolder(folder) ? QDir::homePath() : folder;
}

} // namespace common
