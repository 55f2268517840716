#pragma once
// The suite's one way to put bytes on disk and its one test of what may be
// read: a write goes to a file beside the target, is flushed and checked, and
// only then takes the target's name; a path that is not a regular file is
// neither read nor replaced. Every reason is one a user can act on.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace common {

// The system's reason for an errno value: Simplified Chinese for the usual
// ones ("磁盘已满"), the system's own text otherwise; never "Unknown error".
QString systemErrorText(int errnum);

// True when path is a regular file (or a link to one). Decided from the file
// system's record alone: nothing is opened, so a FIFO cannot block and a
// device is not disturbed. Otherwise false and *error says why ("是管道
// （FIFO），不是普通文件", "文件不存在", ...).
bool checkInputFile(const QString &path, QString *error = nullptr);

// True when path may be written: it does not exist yet or is a regular file
// (or a link to one). A device, FIFO, folder or socket is refused.
bool checkOutputTarget(const QString &path, QString *error = nullptr);

// Where an output may go: a new file, over an existing regular file (only
// once the user agreed), or nowhere (a device, FIFO, folder or socket, which
// not even an agreed overwrite replaces; *error then says why).
enum class SaveTarget { New, Existing, Refused };
SaveTarget checkSaveTarget(const QString &path, QString *error = nullptr);

// The file a write to path lands on, as one absolute text: links and the
// folder resolved, so two spellings of one output compare equal.
QString outputIdentity(const QString &path);

// True when a and b name one file: the same device and inode where both
// exist (hard links, symbolic links, "./x" and "x" alike), else the same
// outputIdentity. The test for an output that would replace an input.
bool sameFile(const QString &a, const QString &b);
// The refusal of an output that is one of the inputs.
QString outputIsInputText(const QString &output, const QString &input);

// The first of inputs (empty ones passed over) that a write to output would
// replace; empty when none.
QString inputReplacedBy(const QString &output, const QStringList &inputs);

// The names tried in turn for a new file, n counting from 0 ("a.jpg",
// "a_1.jpg", "a_2.jpg", ...): a name is taken only while it is free, at the
// moment the file gets it, so a file that appeared under one meanwhile stays
// and the next is tried. An empty name ends the search.
using NameCandidates = std::function<QString(qint64 n)>;

// How a new file is to resemble the file it stands for: the permissions
// and, where the system allows it (run as root), the owner and group of
// model; with modificationTime also model's modification time. An empty
// model: a replacement resembles the file it replaces, a new file gets the
// usual permissions.
struct FileLike {
    QString model;
    bool modificationTime = false;
};

// Writes bytes to path, replacing a regular file there only once the new
// content is completely on disk. On any failure (full disk included) an
// existing file is left byte for byte, no temporary file remains, and *error
// holds the reason. Links are followed: the file they name is replaced.
// A name that is free when the write starts is taken without replacing, so a
// file that appears there meanwhile stays and the write fails ("文件已经存在").
// (Also declared in textfile.h, where most callers find it.)
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// As writeFileAtomically, the new content being the pieces one after another:
// a large file made of a new head and an old body needs no joined copy.
bool writePiecesAtomically(const QString &path, const QList<QByteArrayView> &pieces,
                           QString *error = nullptr);

// As writeFileAtomically, but never replaces anything: fails when path exists.
bool writeNewFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// As writeNewFile, under the first of names that is free when the content
// is completely on disk; *published is that path.
bool writeUnderFreeName(const NameCandidates &names, const QList<QByteArrayView> &pieces,
                        const FileLike &like, QString *published, QString *error = nullptr);

// Gives the file from the name to (same file system), never replacing a file
// there and never falling back to a copy. False (and *error set) otherwise.
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error = nullptr);

// As renameWithoutReplacing, to the first of names that is free at that
// moment; *renamed is that path.
bool renameToFreeName(const QString &from, const NameCandidates &names, QString *renamed,
                      QString *error = nullptr);

// Copies the regular file src to dst, which must not exist yet (backups):
// streamed, checked and published as writeNewFile does, with src's
// permissions, owner (as root) and modification time.
bool copyToNewFile(const QString &src, const QString &dst, QString *error = nullptr);
// The same under the first of names that is free at the moment of publishing.
bool copyToFreeName(const QString &src, const NameCandidates &names, QString *published,
                    QString *error = nullptr);

// Whether name has the form of the hidden files the writer stages content
// in (".NAME.RANDOM.gpsuite.tmp"). Where the system can give a file no
// name until it is complete, none is made; elsewhere one left by a writer
// that died is removed by the next write into its folder, once no process
// holds it open for writing.
bool isStagingName(const QString &name);

} // namespace common
