#pragma once
// Photo files and their names: reading a photo's record, backing it up, and
// the free names an output takes (with its sidecars).
#include "core/types.h"

#include "common/safefile.h"

#include <QString>

namespace pixplot::systemfinction {

// Accepts an existing regular file whose path ends (upper-cased) in ".JPG"
// and reads its EXIF shooting time. A blank record (empty fileName) means
// "not accepted"; a FIFO or device is refused without being opened. folder
// must end with "/".
PhotoRecord ReadPhotoRecord(const QString &name, const QString &folder);

// Copies the photo and its sidecars into folder + "BackUp/", adding "_1",
// "_2" ... before the extension when a backup of that name exists (also one
// that appears while the copy is made). The backup keeps the photo's
// permissions, owner (as root) and modification time. False (and *error
// set) when nothing was copied; a failed copy leaves no partial backup.
bool BackupPhotoFile(const PhotoRecord &record, QString *backupPath = nullptr, QString *error = nullptr);
// name, or base + "_n" + ext for the first n that is free in folder; with
// photo (the file that is to take the name), free for its sidecars too.
QString UniqueFileName(const QString &folder, const QString &name, const QString &photo = QString());
// The names UniqueFileName tries, in its order: n = 0 is name itself, n > 0
// base + "_n" + ext.
QString numberedFileName(const QString &name, qint64 n);
// The n of UniqueFileName's choice.
qint64 freeNameNumber(const QString &folder, const QString &name, const QString &photo = QString());
// The names a new file commits to in turn, from numberedFileName(name,
// from) on (those whose sidecar names are taken left out), when the one
// chosen has been taken meanwhile.
common::NameCandidates freeNames(const QString &folder, const QString &name, qint64 from = 0,
                                 const QString &photo = QString());

} // namespace pixplot::systemfinction
