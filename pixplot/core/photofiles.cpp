// The two file-name rules of photo output: the backup copy and a free name.
#include "core/systemfinction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/safefile.h"

namespace systemfinction {

namespace {

// "IMG_0001.JPG" -> "IMG_0001" and ".JPG": the extension is the last four
// characters, as the photos are accepted by their ".JPG" ending.
void splitExtension(const QString &name, QString *base, QString *ext)
{
    *ext = name.right(4);
    *base = name.left(qMax<qsizetype>(0, name.size() - 4));
}

} // namespace

bool BackupPhotoFile(const PhotoRecord &record, QString *backupPath, QString *error)
{
    const QString src = record.folder + record.fileName;
    if (record.fileName.isEmpty() || !common::checkInputFile(src, error))
        return false;

    QString base, ext;
    splitExtension(record.fileName, &base, &ext);
    const QString dir = record.folder + QStringLiteral("BackUp/");
    const bool madeDir = !QFileInfo(dir).isDir();
    if (madeDir && !QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("无法建立备份文件夹 %1").arg(dir);
        return false;
    }

    QString dst = dir + record.fileName;
    for (qint64 n = 1; QFileInfo::exists(dst); ++n)
        dst = dir + base + QLatin1Char('_') + QString::number(n) + ext;
    // Checked copy that never replaces dst: a full disk leaves no half backup.
    if (!common::copyToNewFile(src, dst, error)) {
        if (madeDir) // no empty folder left by a backup that failed
            QDir().rmdir(dir);
        return false;
    }
    if (backupPath)
        *backupPath = dst;
    return true;
}

QString UniqueFileName(const QString &folder, const QString &name)
{
    QString base, ext;
    splitExtension(name, &base, &ext);
    QString candidate = name;
    for (qint64 n = 1; QFileInfo::exists(folder + candidate); ++n)
        candidate = base + QLatin1Char('_') + QString::number(n) + ext;
    return candidate;
}

} // namespace systemfinction
