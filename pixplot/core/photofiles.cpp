// Photo files: which are accepted with what shooting time, and the two
// file-name rules of photo output (the backup copy and a free name).
#include "core/photofiles.h"

#include "core/cameratime.h"
#include "core/datetimetext.h"
#include "core/exifreader.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/safefile.h"

namespace pixplot::systemfinction {

namespace {

// A real EXIF shooting time: YYYY:MM:DD hh:mm:ss naming an existing moment.
bool isExifDateTime(const QString &s)
{
    if (s.size() != 19)
        return false;
    for (int i = 0; i < 19; ++i) {
        const QChar c = s.at(i);
        const bool wantColon = i == 4 || i == 7 || i == 13 || i == 16;
        if (i == 10         ? c != QLatin1Char(' ')
                : wantColon ? c != QLatin1Char(':')
                            : (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return false;
    }
    QString text = s;
    text[4] = QLatin1Char('-');
    text[7] = QLatin1Char('-');
    return ParseDateTimeText(text).has_value();
}

// "IMG_0001.JPG" -> "IMG_0001" and ".JPG", "IMG_1.heic" -> "IMG_1" and ".heic".
void splitExtension(const QString &name, QString *base, QString *ext)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    *ext = dot > 0 ? name.mid(dot) : QString();
    *base = dot > 0 ? name.left(dot) : name;
}

// Whether any sidecar of photo would land on a file that exists, were the
// photo called newPath.
bool companionTaken(const QStringList &companions, const QString &photo, const QString &newPath)
{
    for (const QString &c : companions)
        if (QFileInfo::exists(pixplot::xmpsidecar::companionFor(c, photo, newPath)))
            return true;
    return false;
}

} // namespace

PhotoRecord ReadPhotoRecord(const QString &name, const QString &folder)
{
    PhotoRecord record;
    const QString path = folder + name;
    // ".jpeg" is the same format under its longer name.
    const bool jpeg = path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive);
    if (path.isEmpty() || !jpeg || !common::checkInputFile(path))
        return record;
    record.fileName = name;
    record.folder = folder;
    try {
        ExifReader reader;
        reader.Load(path);
        if (!reader.hasExif())
            return record; // asking Tag would only read the file again and fail
        QString s = reader.Tag(36867).toString();
        // ASCII text ends at its first zero byte; some writers pad the field
        // with further zero bytes, which are no part of the time.
        if (const qsizetype zero = s.indexOf(QChar(0)); zero >= 0)
            s.truncate(zero);
        if (isExifDateTime(s)) {
            record.shotTime =
                s.left(10).replace(QLatin1Char(':'), QLatin1Char('-')) + QLatin1Char(' ') + s.right(8);
            record.hasExif = true;
            // Read beside the time, from the same block, for per-camera
            // clock corrections and photos that state their own offset.
            const auto text = [&reader](qint32 tag) {
                QString t = reader.Tag(tag).toString();
                if (const qsizetype zero = t.indexOf(QChar(0)); zero >= 0)
                    t.truncate(zero);
                return t.trimmed();
            };
            record.camera = pixplot::cameratime::cameraText(text(271), text(272), text(42033));
            record.utcOffset = pixplot::cameratime::parseUtcOffset(text(36881));
        }
    } catch (const ExifError &e) {
        // Only a file that is not there is refused; one whose EXIF cannot be
        // read is listed without a time. Checked after the fact, so a
        // readable photo costs no extra look-up.
        if (e.code == ExifError::FileNotFound) {
            const QFileInfo info(path);
            if (!info.exists() || info.isDir())
                return PhotoRecord();
        }
    }
    return record;
}

bool BackupPhotoFile(const PhotoRecord &record, QString *backupPath, QString *error)
{
    const QString src = record.folder + record.fileName;
    if (record.fileName.isEmpty() || !common::checkInputFile(src, error))
        return false;

    const QString dir = record.folder + QStringLiteral("BackUp/");
    const bool madeDir = !QFileInfo(dir).isDir();
    if (madeDir && !QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("无法建立备份文件夹 %1").arg(dir);
        return false;
    }

    // The photo's sidecars are backed up with it, under the same new base.
    // The photo's name is claimed as its copy is published, so a backup
    // appearing meanwhile (another batch on the same folder) is kept too.
    const QStringList companions = pixplot::xmpsidecar::companions(src);
    QString dst;
    bool copied = common::copyToFreeName(
        src, freeNames(dir, record.fileName, freeNameNumber(dir, record.fileName, src), src), &dst, error);
    QStringList made;
    for (qsizetype i = 0; copied && i < companions.size(); ++i) {
        const QString to = pixplot::xmpsidecar::companionFor(companions.at(i), src, dst);
        copied = common::copyToNewFile(companions.at(i), to, error);
        if (copied)
            made << to;
    }
    if (!copied) {
        if (!dst.isEmpty()) {
            // A backup without its sidecars is no backup of the user's work.
            for (const QString &m : made)
                QFile::remove(m);
            QFile::remove(dst);
        }
        if (madeDir) // no empty folder left by a backup that failed
            QDir().rmdir(dir);
        return false;
    }
    if (backupPath)
        *backupPath = dst;
    return true;
}

QString numberedFileName(const QString &name, qint64 n)
{
    if (n == 0)
        return name;
    QString base, ext;
    splitExtension(name, &base, &ext);
    return base + QLatin1Char('_') + QString::number(n) + ext;
}

qint64 freeNameNumber(const QString &folder, const QString &name, const QString &photo)
{
    // A name is free when the photo's sidecars may take it too.
    const QStringList companions = photo.isEmpty() ? QStringList() : pixplot::xmpsidecar::companions(photo);
    qint64 n = 0;
    while (QFileInfo::exists(folder + numberedFileName(name, n))
           || companionTaken(companions, photo, folder + numberedFileName(name, n)))
        ++n;
    return n;
}

QString UniqueFileName(const QString &folder, const QString &name, const QString &photo)
{
    return numberedFileName(name, freeNameNumber(folder, name, photo));
}

common::NameCandidates freeNames(const QString &folder, const QString &name, qint64 from, const QString &photo)
{
    const QStringList companions = photo.isEmpty() ? QStringList() : pixplot::xmpsidecar::companions(photo);
    return [folder, name, from, photo, companions](qint64 n) {
        for (qint64 k = from;; ++k) {
            const QString candidate = folder + numberedFileName(name, k);
            if (!companionTaken(companions, photo, candidate) && n-- == 0)
                return candidate;
        }
    };
}

} // namespace pixplot::systemfinction
