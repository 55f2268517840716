#include "savename.h"

#include <QFileInfo>

namespace areagrab {

QString withDefaultSuffix(const QString &name, const QString &suffix)
{
    if (name.isEmpty())
        return name;
    const QString file = QFileInfo(name).fileName();
    // "shot." has an empty extension; a dot file (".hidden") has none.
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < file.size() - 1)
        return name;
    if (file.endsWith(QLatin1Char('.')))
        return name + suffix;
    return name + QLatin1Char('.') + suffix;
}

} // namespace areagrab
