#include "common/safefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace common {

namespace {

// Ends the name of every staging file, so that a sweep removes nothing else.
constexpr char kStagingSuffix[] = ".gpsuite.tmp";

// What a staged file may do to its target: replace it, only be created
// under it, or be named later from candidates (the target only places it).
enum class Target { Replace, New, Free };

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The file a write to path lands on: a link is followed to what it names.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

#ifdef Q_OS_WIN
// Windows has neither FIFOs nor device nodes among its files: what is not a
// regular file there is a folder (or a reserved name such as NUL).
QString notRegularText(const QFileInfo &info)
{
    return info.isDir() ? QStringLiteral("是文件夹，不是普通文件") : QStringLiteral("不是普通文件");
}

const wchar_t *nativePath(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

// The reason for a Windows error code: the usual ones as their errno
// counterparts read, the system's own text otherwise.
QString windowsErrorText(DWORD code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return systemErrorText(ENOSPC);
    case ERROR_ACCESS_DENIED:
        return systemErrorText(EACCES);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return systemErrorText(ENOENT);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return systemErrorText(EEXIST);
    case ERROR_WRITE_PROTECT:
        return systemErrorText(EROFS);
    case ERROR_FILENAME_EXCED_RANGE:
        return systemErrorText(ENAMETOOLONG);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return systemErrorText(EBUSY);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return systemErrorText(ENOMEM);
    default:
        break;
    }
    return qt_error_string(int(code)) + QStringLiteral("（错误号 %1）").arg(code);
}

// MoveFileExW that fails with ERROR_ALREADY_EXISTS rather than replace,
// its data on disk before it returns; 0 or a Windows error code.
DWORD moveFile(const QString &from, const QString &to, bool replace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    const QString nativeFrom = QDir::toNativeSeparators(from);
    const QString nativeTo = QDir::toNativeSeparators(to);
    return MoveFileExW(nativePath(nativeFrom), nativePath(nativeTo), flags) ? 0 : GetLastError();
}

// Removes, once per folder and process, the staging files a writer that
// died left in folder. Windows refuses to delete a file another process
// has open for writing, so a live writer's file stays.
void removeStaleStaging(const QString &folder)
{
    static std::mutex mutex;
    static QSet<QString> swept;
    const QString key = QFileInfo(folder).canonicalFilePath();
    {
        const std::lock_guard lock(mutex);
        if (key.isEmpty() || swept.contains(key))
            return;
        swept.insert(key);
    }
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (isStagingName(name))
            QFile::remove(dir.filePath(name));
}

// New content staged in a file beside its target; the file is removed
// again unless publish() gave it the target's name.
class Staged {
public:
    explicit Staged(const QString &target) : target_(target) { }
    Staged(const Staged &) = delete;
    Staged &operator=(const Staged &) = delete;
    ~Staged()
    {
        file_.close();
        if (!temp_.isEmpty())
            QFile::remove(temp_);
    }

    bool open(Target mode, const FileLike &like, QString *error)
    {
        const QFileInfo info(target_);
        if (mode != Target::Free && info.exists()) {
            if (!info.isFile()) {
                setError(error, QStringLiteral("目标") + notRegularText(info));
                return false;
            }
            if (mode == Target::New) {
                setError(error, systemErrorText(EEXIST));
                return false;
            }
        }
        if (like.modificationTime && !like.model.isEmpty())
            modified_ = QFileInfo(like.model).lastModified();
        const QString dir = info.absolutePath() + QLatin1Char('/');
        removeStaleStaging(dir);
        const QString name = info.fileName().left(200);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString temp = dir + QLatin1Char('.') + name + QLatin1Char('.')
                + QString::number(QRandomGenerator::global()->generate(), 36) + QLatin1String(kStagingSuffix);
            file_.setFileName(temp);
            if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                temp_ = temp;
                return true;
            }
            if (!QFileInfo::exists(temp)) {
                setError(error, windowsErrorText(GetLastError()));
                return false;
            }
        }
        setError(error, systemErrorText(EEXIST));
        return false;
    }

    bool write(const char *data, qint64 size, QString *error)
    {
        while (size > 0) {
            const qint64 n = file_.write(data, size);
            if (n <= 0) {
                setError(error, windowsErrorText(GetLastError()));
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

    // QFile's buffer handed over, the system's cache written to the disk and
    // the file closed without complaint; then the name moves: to the target
    // (replace), or to the first of names free at that moment.
    bool publish(bool replace, const NameCandidates &names, QString *published, QString *error)
    {
        DWORD failure = 0;
        if (modified_.isValid() && !file_.setFileTime(modified_, QFileDevice::FileModificationTime))
            failure = GetLastError();
        if (failure == 0 && !file_.flush())
            failure = GetLastError();
        else if (failure == 0 && !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file_.handle()))))
            failure = GetLastError();
        file_.close();
        if (failure == 0 && file_.error() != QFileDevice::NoError)
            failure = ERROR_WRITE_FAULT;
        QString name = target_;
        for (qint64 n = 0; failure == 0; ++n) {
            if (names && !replace) {
                name = names(n);
                if (name.isEmpty()) {
                    failure = ERROR_ALREADY_EXISTS;
                    break;
                }
            }
            failure = moveFile(temp_, name, replace);
            if (!names || replace || (failure != ERROR_ALREADY_EXISTS && failure != ERROR_FILE_EXISTS))
                break;
            failure = 0;
        }
        if (failure != 0) {
            setError(error, windowsErrorText(failure));
            return false;
        }
        temp_.clear();
        if (published)
            *published = name;
        return true;
    }

private:
    QString target_;
    QString temp_;
    QFile file_;
    QDateTime modified_;
};

#else
QString notRegularText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("是文件夹，不是普通文件");
    if (S_ISFIFO(mode))
        return QStringLiteral("是管道（FIFO），不是普通文件");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("是设备文件，不是普通文件");
    if (S_ISSOCK(mode))
        return QStringLiteral("是套接字，不是普通文件");
    return QStringLiteral("不是普通文件");
}

// stat() through links; false with errno set when there is nothing there.
bool statPath(const QByteArray &native, struct stat *st)
{
    return !native.isEmpty() && ::stat(native.constData(), st) == 0;
}

// rename() that fails with EEXIST rather than replace; 0 or an errno value.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // A file system without the no-replace rename: a hard link fails on an
    // existing name just as well.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat st;
    if (statPath(to, &st) || errno != ENOENT)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

// A hidden staging name beside target; it stays within the file system's
// name length.
QByteArray stagingName(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return folderOf(target) + '.' + target.mid(slash + 1).left(200) + '.'
        + QByteArray::number(QRandomGenerator::global()->generate(), 36) + kStagingSuffix;
}

// Removes, once per folder and process, the staging files a writer that
// died left in folder. A live writer holds a lock on its staging file from
// creation to publication (the system drops it when the process ends, even
// killed), so a file that can be locked has no writer. Files of other users
// and files the lock cannot be taken on are left alone.
void removeStaleStaging(const QByteArray &folder)
{
    static std::mutex mutex;
    static QSet<QByteArray> swept;
    const QByteArray dir = folder.isEmpty() ? QByteArrayLiteral(".") : folder;
    char *real = ::realpath(dir.constData(), nullptr);
    const QByteArray key = real ? QByteArray(real) : dir;
    std::free(real);
    {
        const std::lock_guard lock(mutex);
        if (swept.contains(key))
            return;
        swept.insert(key);
    }
    DIR *d = ::opendir(dir.constData());
    if (!d)
        return;
    const int dfd = ::dirfd(d);
    while (const dirent *e = ::readdir(d)) {
        if (!isStagingName(QFile::decodeName(e->d_name)))
            continue;
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held;
        struct stat named;
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(dfd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev
            && named.st_ino == held.st_ino)
            ::unlinkat(dfd, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(d);
}

// New content staged beside its target, where possible in a file without a
// name (O_TMPFILE) that a crash cannot leave behind, else in a hidden file
// that is removed again unless publish() gave it the target's name.
class Staged {
public:
    explicit Staged(const QString &target) : target_(QFile::encodeName(target)) { }
    Staged(const Staged &) = delete;
    Staged &operator=(const Staged &) = delete;
    ~Staged()
    {
        if (!temp_.isEmpty())
            ::unlink(temp_.constData());
        if (fd_ >= 0)
            ::close(fd_);
    }

    // Refuses a target that is not a regular file (or, for a new file, one
    // that exists at all), then creates the staging file. A replacement
    // resembles the file it replaces unless like names another model.
    bool open(Target mode, const FileLike &like, QString *error)
    {
        struct stat st;
        bool hasModel = false;
        if (mode == Target::Free) {
            // the names are tried at publication
        } else if (statPath(target_, &st)) {
            if (!S_ISREG(st.st_mode)) {
                setError(error, QStringLiteral("目标") + notRegularText(st.st_mode));
                return false;
            }
            if (mode == Target::New) {
                setError(error, systemErrorText(EEXIST));
                return false;
            }
            hasModel = true;
        } else if (errno != ENOENT) {
            setError(error, systemErrorText(errno));
            return false;
        }
        if (!like.model.isEmpty()) {
            hasModel = statPath(QFile::encodeName(like.model), &st);
            if (!hasModel) {
                setError(error, systemErrorText(errno));
                return false;
            }
        }
        const QByteArray dir = folderOf(target_);
        removeStaleStaging(dir);
        if (!openUnnamed(dir) && !openNamed(error))
            return false;
        if (hasModel)
            resemble(st, like.modificationTime);
        return true;
    }

    bool write(const char *data, qint64 size, QString *error)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                setError(error, systemErrorText(n < 0 ? errno : ENOSPC));
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

    // Everything on disk, then the name: the target's, replacing a file
    // there (replace), or the first of names free at that moment (else the
    // target's, free or a failure). *published is the path given.
    bool publish(bool replace, const NameCandidates &names, QString *published, QString *error)
    {
        if (times_[1].tv_nsec != UTIME_OMIT)
            (void)::futimens(fd_, times_);
        if (::fsync(fd_) != 0 && errno != EINVAL) { // EINVAL: a file system without sync
            setError(error, systemErrorText(errno));
            return false;
        }
        int failure = 0;
        QByteArray name = target_;
        if (replace) {
            failure = replaceTarget();
        } else {
            for (qint64 n = 0;; ++n) {
                if (names) {
                    name = QFile::encodeName(names(n));
                    if (name.isEmpty()) {
                        failure = EEXIST;
                        break;
                    }
                }
                failure = claim(name);
                if (failure != EEXIST || !names)
                    break;
            }
        }
        // Closing only now keeps the staging file locked until it is named.
        const bool closed = ::close(fd_) == 0 || errno == EINTR;
        if (failure == 0 && !closed)
            failure = errno;
        fd_ = -1;
        if (failure != 0) {
            setError(error, systemErrorText(failure));
            return false;
        }
        if (published)
            *published = QFile::decodeName(name);
        return true;
    }

private:
    // The name by which the process reaches its unnamed file to link it.
    QByteArray procPath() const { return QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd_); }

    bool openUnnamed(const QByteArray &dir)
    {
#ifdef O_TMPFILE
        const QByteArray where = dir.isEmpty() ? QByteArrayLiteral(".") : dir;
        fd_ = ::open(where.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ < 0)
            return false;
        // Linking it later needs /proc; without it the named way is taken.
        if (::access(procPath().constData(), F_OK) == 0 && ::flock(fd_, LOCK_EX) == 0)
            return true;
        ::close(fd_);
        fd_ = -1;
#else
        Q_UNUSED(dir);
#endif
        return false;
    }

    // A hidden file, locked for as long as it is written; one a sweep of
    // another process removed between creating and locking is given up.
    bool openNamed(QString *error)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray temp = stagingName(target_);
            fd_ = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0) {
                if (errno == EEXIST)
                    continue;
                setError(error, systemErrorText(errno));
                return false;
            }
            temp_ = temp;
            struct stat st;
            (void)::flock(fd_, LOCK_EX); // a file system without locks: no sweep removes it either
            if (::fstat(fd_, &st) == 0 && st.st_nlink > 0)
                return true;
            ::close(fd_);
            fd_ = -1;
            temp_.clear();
        }
        setError(error, systemErrorText(EEXIST));
        return false;
    }

    // Owner and group first (changing them clears set-id bits), then the
    // permissions; the time is set once the content is written.
    void resemble(const struct stat &model, bool modificationTime)
    {
        if (::geteuid() == 0)
            (void)::fchown(fd_, model.st_uid, model.st_gid);
        else
            (void)::fchown(fd_, uid_t(-1), model.st_gid); // allowed when the user is in that group
        (void)::fchmod(fd_, model.st_mode & 07777);
        if (modificationTime) {
            times_[0] = model.st_atim;
            times_[1] = model.st_mtim;
        }
    }

    // Gives the staged file the name, never replacing a file there; 0 or
    // an errno value (EEXIST: the name is taken).
    int claim(const QByteArray &name)
    {
        if (temp_.isEmpty()) {
            if (::linkat(AT_FDCWD, procPath().constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW)
                == 0)
                return 0;
            return errno;
        }
        const int failure = renameNoReplace(temp_, name);
        if (failure == 0)
            temp_.clear();
        return failure;
    }

    // An unnamed file gets a staging name first: only rename() replaces a
    // file in one step.
    int replaceTarget()
    {
        if (temp_.isEmpty()) {
            int failure = EEXIST;
            for (int attempt = 0; attempt < 100 && failure == EEXIST; ++attempt) {
                const QByteArray temp = stagingName(target_);
                failure = claim(temp);
                if (failure == 0)
                    temp_ = temp;
            }
            if (failure != 0)
                return failure;
        }
        if (::rename(temp_.constData(), target_.constData()) != 0)
            return errno;
        temp_.clear();
        return 0;
    }

    QByteArray target_;
    QByteArray temp_; // the staging file's name while it has one
    int fd_ = -1;
    struct timespec times_[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
};

#endif

bool writeBytes(const QString &path, const QList<QByteArrayView> &pieces, bool replace, QString *error)
{
    if (path.isEmpty()) {
        setError(error, systemErrorText(ENOENT));
        return false;
    }
    const QString target = resolvedTarget(path);
    // A name that is free now is taken without replacing: a file that
    // appears there while the content is written stays, and this write fails.
    if (replace && !QFileInfo::exists(target) && !QFileInfo(target).isSymLink())
        replace = false;
    Staged staged(target);
    if (!staged.open(replace ? Target::Replace : Target::New, {}, error))
        return false;
    for (const QByteArrayView piece : pieces)
        if (!staged.write(piece.data(), piece.size(), error))
            return false;
    return staged.publish(replace, {}, nullptr, error);
}

bool writeBytes(const QString &path, const QByteArray &bytes, bool replace, QString *error)
{
    return writeBytes(path, QList<QByteArrayView>{bytes}, replace, error);
}

} // namespace

QString systemErrorText(int errnum)
{
    switch (errnum) {
    case ENOSPC:
        return QStringLiteral("磁盘已满");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
#endif
    case EFBIG:
        return QStringLiteral("文件太大");
    case EACCES:
        return QStringLiteral("没有访问权限");
    case EPERM:
        return QStringLiteral("不允许此操作");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR:
        return QStringLiteral("是文件夹，不是普通文件");
    case EEXIST:
        return QStringLiteral("文件已经存在");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case ELOOP:
        return QStringLiteral("符号链接层数太多");
    case EIO:
        return QStringLiteral("设备读写错误");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return QStringLiteral("文件正被占用");
    default:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(errnum)) + QStringLiteral("（错误号 %1）").arg(errnum);
}

#ifdef Q_OS_WIN
bool checkInputFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        setError(error, systemErrorText(ENOENT));
        return false;
    }
    if (!info.isFile()) {
        setError(error, notRegularText(info));
        return false;
    }
    return true;
}

bool checkOutputTarget(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true; // a new file; whether it can be made, the write tells
    setError(error, QStringLiteral("目标") + notRegularText(info));
    return false;
}
#else
bool checkInputFile(const QString &path, QString *error)
{
    struct stat st;
    if (!statPath(QFile::encodeName(path), &st)) {
        const int cause = path.isEmpty() ? ENOENT : errno;
        // A name whose bytes the locale could not decode came in with
        // replacement characters: no file has the name asked for, but one
        // may well have the name the user typed.
        if (cause == ENOENT && path.contains(QChar::ReplacementCharacter))
            setError(error, QStringLiteral("文件名无法在当前语言环境中读取"));
        else
            setError(error, systemErrorText(cause));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, notRegularText(st.st_mode));
        return false;
    }
    return true;
}

bool checkOutputTarget(const QString &path, QString *error)
{
    struct stat st;
    if (!statPath(QFile::encodeName(path), &st))
        return true; // a new file; whether it can be made, the write tells
    if (!S_ISREG(st.st_mode)) {
        setError(error, QStringLiteral("目标") + notRegularText(st.st_mode));
        return false;
    }
    return true;
}

#endif

SaveTarget checkSaveTarget(const QString &path, QString *error)
{
    if (!checkOutputTarget(path, error))
        return SaveTarget::Refused;
    return QFileInfo::exists(path) ? SaveTarget::Existing : SaveTarget::New;
}

QString outputIdentity(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

bool sameFile(const QString &a, const QString &b)
{
#ifndef Q_OS_WIN
    struct stat sa { };
    struct stat sb { };
    const QByteArray ea = QFile::encodeName(a);
    const QByteArray eb = QFile::encodeName(b);
    if (::stat(ea.constData(), &sa) == 0 && ::stat(eb.constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
    return outputIdentity(a) == outputIdentity(b);
}

QString outputIsInputText(const QString &output, const QString &input)
{
    return QStringLiteral("%1：输出文件就是输入文件 %2，不能覆盖。").arg(output, input);
}

QString inputReplacedBy(const QString &output, const QStringList &inputs)
{
    for (const QString &input : inputs)
        if (!input.isEmpty() && sameFile(output, input))
            return input;
    return {};
}

bool writePiecesAtomically(const QString &path, const QList<QByteArrayView> &pieces, QString *error)
{
    return writeBytes(path, pieces, true, error);
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeBytes(path, bytes, true, error);
}

bool writeNewFile(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeBytes(path, bytes, false, error);
}

bool isStagingName(const QString &name)
{
    // ".NAME.RANDOM" + suffix, RANDOM being base-36 digits.
    const QLatin1StringView suffix(kStagingSuffix);
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(suffix))
        return false;
    const QStringView rest = QStringView(name).chopped(suffix.size());
    const qsizetype dot = rest.lastIndexOf(QLatin1Char('.'));
    if (dot < 2 || dot == rest.size() - 1)
        return false;
    for (const QChar c : rest.sliced(dot + 1))
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
              || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))))
            return false;
    return true;
}

bool writeUnderFreeName(const NameCandidates &names, const QList<QByteArrayView> &pieces,
                        const FileLike &like, QString *published, QString *error)
{
    const QString first = names ? names(0) : QString();
    if (first.isEmpty()) {
        setError(error, systemErrorText(ENOENT));
        return false;
    }
    // Staged beside the first name, so that every name is on its file system.
    Staged staged(first);
    if (!staged.open(Target::Free, like, error))
        return false;
    for (const QByteArrayView piece : pieces)
        if (!staged.write(piece.data(), piece.size(), error))
            return false;
    return staged.publish(false, names, published, error);
}

namespace {

bool copyFile(const QString &src, const QString &dst, const NameCandidates &names, QString *published,
              QString *error)
{
    if (!checkInputFile(src, error))
        return false;
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        setError(error, in.errorString());
        return false;
    }
    Staged staged(resolvedTarget(dst));
    // A free-name copy is decided at publication; a plain one refuses at once.
    bool ok = staged.open(names ? Target::Free : Target::New, FileLike{src, true}, error);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (ok) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            setError(error, in.errorString());
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            ok = staged.write(buffer.constData(), n, error);
        }
    }
    return ok && staged.publish(false, names, published, error);
}

} // namespace

bool copyToNewFile(const QString &src, const QString &dst, QString *error)
{
    return copyFile(src, dst, {}, nullptr, error);
}

bool copyToFreeName(const QString &src, const NameCandidates &names, QString *published, QString *error)
{
    const QString first = names ? names(0) : QString();
    if (first.isEmpty()) {
        setError(error, systemErrorText(ENOENT));
        return false;
    }
    return copyFile(src, first, names, published, error);
}

#ifdef Q_OS_WIN
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const DWORD failure = moveFile(from, to, false);
    if (failure != 0)
        setError(error, windowsErrorText(failure));
    return failure == 0;
}

bool renameToFreeName(const QString &from, const NameCandidates &names, QString *renamed, QString *error)
{
    for (qint64 n = 0;; ++n) {
        const QString to = names ? names(n) : QString();
        if (to.isEmpty()) {
            setError(error, systemErrorText(EEXIST));
            return false;
        }
        const DWORD failure = moveFile(from, to, false);
        if (failure == 0) {
            if (renamed)
                *renamed = to;
            return true;
        }
        if (failure != ERROR_ALREADY_EXISTS && failure != ERROR_FILE_EXISTS) {
            setError(error, windowsErrorText(failure));
            return false;
        }
    }
}
#else
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const int failure = renameNoReplace(QFile::encodeName(from), QFile::encodeName(to));
    if (failure != 0)
        setError(error, systemErrorText(failure));
    return failure == 0;
}

bool renameToFreeName(const QString &from, const NameCandidates &names, QString *renamed, QString *error)
{
    const QByteArray source = QFile::encodeName(from);
    for (qint64 n = 0;; ++n) {
        const QString to = names ? names(n) : QString();
        if (to.isEmpty()) {
            setError(error, systemErrorText(EEXIST));
            return false;
        }
        const int failure = renameNoReplace(source, QFile::encodeName(to));
        if (failure == 0) {
            if (renamed)
                *renamed = to;
            return true;
        }
        if (failure != EEXIST) {
            setError(error, systemErrorText(failure));
            return false;
        }
    }
}
#endif

} // namespace common
