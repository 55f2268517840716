#pragma once
// SYS.ini: the remembered settings, the port text on the first line and the
// zone of the exports on the second (only when it is not the default, so a
// one-line SYS.ini stays as it is). It lives in the program's folder; an
// installed program (folder not writable, or a shared one such as /usr/bin)
// keeps it in the per-user configuration folder instead.
#include <QString>
#include <QStringList>

namespace trekport {

class PortSettings {
public:
    // userFolder empty: QStandardPaths::AppConfigLocation.
    explicit PortSettings(const QString &programFolder, const QString &userFolder = QString());

    // The remembered port text; "0" (and that written back) when there is
    // none or its first line is empty.
    QString load();
    // Writes the port text as the file's first line, keeping the zone line.
    // False when neither folder could take it.
    bool save(const QString &portText);
    // The remembered zone text; "" (the default zone) when there is none.
    QString loadZone();
    // Writes the zone text as the second line ("" removes it), keeping the port.
    bool saveZone(const QString &zoneText);

    QString programFile() const;
    QString userFile() const;

private:
    bool programFolderWritable() const;
    QStringList currentLines();
    bool saveLines(const QStringList &lines);
    QString programFolder_;
    QString userFolder_;
};

// The folder SYS.ini is looked for in: $TREKPORT_SETTINGS_DIR when set,
// otherwise the program's own folder.
QString defaultSettingsFolder();

} // namespace trekport
