#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace common {

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

} // namespace common
