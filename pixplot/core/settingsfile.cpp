#include "core/settingsfile.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pixplot::settingsfile {

namespace {

// A line never holds a line break: one in a folder name would split it.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

} // namespace

QString defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/pixplot/pixplot.ini");
}

Settings read(const QString &file)
{
    Settings s;
    QFile f(file);
    // A settings file is small; anything larger is not ours.
    if (!common::checkInputFile(file) || f.size() > (1 << 20) || !f.open(QIODevice::ReadOnly))
        return s;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
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
    QString text;
    text += QStringLiteral("zone=%1\n").arg(oneLine(settings.zone));
    if (settings.tolerance >= 0)
        text += QStringLiteral("tolerance=%1\n").arg(settings.tolerance);
    text += QStringLiteral("interpolate=%1\n").arg(settings.interpolate ? 1 : 0);
    if (settings.maxGap >= 0)
        text += QStringLiteral("maxGap=%1\n").arg(settings.maxGap);
    QStringList cameras = settings.corrections.keys();
    cameras.sort(); // the same settings give the same file
    for (const QString &camera : cameras)
        text += QStringLiteral("correction=%1\t%2\n").arg(settings.corrections.value(camera)).arg(oneLine(camera));
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        if (error)
            *error = QStringLiteral("无法建立文件夹 %1").arg(QFileInfo(file).absolutePath());
        return false;
    }
    return common::writeFileAtomically(file, text.toUtf8(), error);
}

} // namespace pixplot::settingsfile
