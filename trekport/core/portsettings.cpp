#include "portsettings.h"

#include "common/programfolder.h"
#include "common/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace trekport {
namespace {
const QString fileName = QStringLiteral("SYS.ini");

QString firstLine(const QString &path)
{
    QStringList lines;
    if (!QFileInfo::exists(path) || !common::readTextLines(path, common::TextEncoding::Utf8OrGbk, &lines))
        return QString();
    return lines.isEmpty() ? QString() : lines.first();
}
} // namespace

PortSettings::PortSettings(const QString &programFolder, const QString &userFolder)
    : programFolder_(programFolder),
      userFolder_(userFolder.isEmpty()
                      ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                      : userFolder)
{
}

QString PortSettings::programFile() const { return QDir(programFolder_).filePath(fileName); }
QString PortSettings::userFile() const { return QDir(userFolder_).filePath(fileName); }

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

bool PortSettings::save(const QString &portText)
{
    const QStringList lines{portText};
    if (programFolderWritable()
        && common::writeTextLines(programFile(), lines, common::TextEncoding::Utf8))
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
