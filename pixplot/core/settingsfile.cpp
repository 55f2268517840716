#include "core/settingsfile.h"

#include "common/keyvaluefile.h"

#include <QStandardPaths>

namespace pixplot::settingsfile {

QString defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/pixplot/pixplot.ini");
}

Settings read(const QString &file)
{
    Settings s;
    for (const auto &[key, value] : common::readKeyValues(file)) {
        bool ok = false;
        if (key == QLatin1String("zone"))
            s.zone = value;
        else if (key == QLatin1String("tolerance")) {
            const qint64 v = value.toLongLong(&ok);
            s.tolerance = ok && v >= 0 ? v : -1;
        }
        else if (key == QLatin1String("interpolate"))
            s.interpolate = value == QLatin1String("1");
        else if (key == QLatin1String("maxGap")) {
            const qint64 v = value.toLongLong(&ok);
            s.maxGap = ok && v >= 0 ? v : -1;
        }
        else if (key == QLatin1String("correction")) {
            // "seconds<TAB>camera": camera names hold "=" and spaces, never a tab.
            const qsizetype tab = value.indexOf(QLatin1Char('\t'));
            const qint64 seconds = value.left(tab).toLongLong(&ok);
            if (tab > 0 && ok)
                s.corrections.insert(value.mid(tab + 1), seconds);
        }
    }
    return s;
}

bool write(const QString &file, const Settings &settings, QString *error)
{
    common::KeyValues values;
    values.append({QStringLiteral("zone"), settings.zone});
    if (settings.tolerance >= 0)
        values.append({QStringLiteral("tolerance"), QString::number(settings.tolerance)});
    values.append({QStringLiteral("interpolate"), settings.interpolate ? QStringLiteral("1") : QStringLiteral("0")});
    if (settings.maxGap >= 0)
        values.append({QStringLiteral("maxGap"), QString::number(settings.maxGap)});
    QStringList cameras = settings.corrections.keys();
    cameras.sort(); // the same settings give the same file
    for (const QString &camera : cameras)
        values.append({QStringLiteral("correction"),
                       QStringLiteral("%1\t%2").arg(settings.corrections.value(camera)).arg(camera)});
    return common::writeKeyValues(file, values, error);
}

} // namespace pixplot::settingsfile
