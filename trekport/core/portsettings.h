#pragma once
// SYS.ini: the one remembered setting, the port text. It lives in the
// program's folder; an installed program (folder not writable, or a shared
// one such as /usr/bin) keeps it in the per-user configuration folder instead.
#include <QString>

namespace trekport {

class PortSettings {
public:
    // userFolder empty: QStandardPaths::AppConfigLocation.
    explicit PortSettings(const QString &programFolder, const QString &userFolder = QString());

    // The remembered port text; "0" (and that written back) when there is
    // none or its first line is empty.
    QString load();
    // Writes the port text as the file's only line. False when neither
    // folder could take it.
    bool save(const QString &portText);

    QString programFile() const;
    QString userFile() const;

private:
    bool programFolderWritable() const;
    QString programFolder_;
    QString userFolder_;
};

// The folder SYS.ini is looked for in: $TREKPORT_SETTINGS_DIR when set,
// otherwise the program's own folder.
QString defaultSettingsFolder();

} // namespace trekport
