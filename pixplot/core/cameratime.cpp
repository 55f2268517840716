#include "core/cameratime.h"

#include <QStringList>

namespace pixplot::cameratime {

std::optional<qint32> parseUtcOffset(QString s)
{
    s = s.trimmed();
    if (s == QLatin1String("Z"))
        return 0;
    s.remove(QLatin1Char(':'));
    if (s.size() != 5 || (s[0] != QLatin1Char('+') && s[0] != QLatin1Char('-')))
        return std::nullopt;
    bool okH = false, okM = false;
    const int h = s.mid(1, 2).toInt(&okH), m = s.mid(3, 2).toInt(&okM);
    if (!okH || !okM || h > 14 || m > 59 || !s[1].isDigit() || !s[3].isDigit())
        return std::nullopt;
    return (s[0] == QLatin1Char('-') ? -1 : 1) * (h * 3600 + m * 60);
}

QString cameraText(const QString &make, const QString &model, const QString &serial)
{
    QStringList parts;
    for (const QString &p : {make, model, serial})
        if (!p.trimmed().isEmpty())
            parts << p.trimmed();
    return parts.join(QLatin1Char(' '));
}

} // namespace pixplot::cameratime
