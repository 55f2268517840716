#include "portsettings.h"

#include "common/programfolder.h"
#include "common/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace trekport {
namespace {
const QString fileName = QStringLiteral("SYS.ini");

QStringList allLines(const QString &path)
{
    QStringList lines;
    if (!QFileInfo::exists(path) || !common::readTextLines(path, common::TextEncoding::Utf8OrGbk, &lines))
        return {};
    return lines;
}

QString firstLine(const QString &path)
{
    const QStringList lines = allLines(path);
    return lines.isEmpty() ? QString() : lines.first();
}
} // namespace

PortSettings::PortSettings(const QString &programFolder, const QString &userFolder)
    : programFolder_(programFolder),
      userFolder_(userFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                                       : userFolder)
{
}

QString PortSettings::programFile() const
{
    return QDir(programFolder_).filePath(fileName);
}
QString PortSettings::userFile() const
{
    return QDir(userFolder_).filePath(fileName);
}

bool PortSettings::programFolderWritable() const
{
    // An installed program's folder (/usr/bin) is no place for settings,
    // even for root, who could write there.
    if (common::isSharedProgramFolder(programFolder_))
        return false;
    const QFileInfo folder(programFolder_);
    const QFileInfo file(programFile());
    return folder.isDir() && folder.isWritable() && (!file.exists() || file.isWritable());
}

QString PortSettings::load()
{
    // Where the program folder cannot be written, what the user chose last
    // was saved in the user folder and must win over a shipped file.
    QString text;
    if (!programFolderWritable())
        text = firstLine(userFile());
    if (text.isEmpty())
        text = firstLine(programFile());
    if (!text.isEmpty())
        return text;
    text = QStringLiteral("0");
    save(text);
    return text;
}

QStringList PortSettings::currentLines()
{
    QStringList lines;
    if (!programFolderWritable())
        lines = allLines(userFile());
    if (lines.isEmpty() || lines.first().isEmpty())
        lines = allLines(programFile());
    return lines;
}

bool PortSettings::save(const QString &portText)
{
    QStringList lines = currentLines();
    if (lines.isEmpty())
        lines.append(portText);
    else
        lines[0] = portText;
    return saveLines(lines);
}

QString PortSettings::loadZone()
{
    const QStringList lines = currentLines();
    return lines.size() > 1 ? lines.at(1).trimmed() : QString();
}

bool PortSettings::saveZone(const QString &zoneText)
{
    QStringList lines = currentLines();
    if (lines.isEmpty())
        lines.append(QStringLiteral("0"));
    lines = lines.mid(0, 1);
    if (!zoneText.isEmpty())
        lines.append(zoneText);
    return saveLines(lines);
}

bool PortSettings::saveLines(const QStringList &lines)
{
    if (programFolderWritable() && common::writeTextLines(programFile(), lines, common::TextEncoding::Utf8))
        return true;
    if (userFolder_.isEmpty() || !QDir().mkpath(userFolder_))
        return false;
    return common::writeTextLines(userFile(), lines, common::TextEncoding::Utf8);
}

QString defaultSettingsFolder()
{
    const QString env = qEnvironmentVariable("TREKPORT_SETTINGS_DIR");
    return env.isEmpty() ? common::programFolder() : env;
}

} // namespace trekport
