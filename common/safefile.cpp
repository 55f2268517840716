#include "common/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_WIN
#include <QDir>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace common {

namespace {

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

    bool open(bool replace, QString *error)
    {
        const QFileInfo info(target_);
        if (info.exists()) {
            if (!info.isFile()) {
                setError(error, QStringLiteral("目标") + notRegularText(info));
                return false;
            }
            if (!replace) {
                setError(error, systemErrorText(EEXIST));
                return false;
            }
        }
        const QString dir = info.absolutePath() + QLatin1Char('/');
        const QString name = info.fileName().left(200);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString temp = dir + QLatin1Char('.') + name + QLatin1Char('.')
                + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
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
    // the file closed without complaint; then the name moves.
    bool publish(bool replace, QString *error)
    {
        DWORD failure = 0;
        if (!file_.flush())
            failure = GetLastError();
        else if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file_.handle()))))
            failure = GetLastError();
        file_.close();
        if (failure == 0 && file_.error() != QFileDevice::NoError)
            failure = ERROR_WRITE_FAULT;
        if (failure == 0)
            failure = moveFile(temp_, target_, replace);
        if (failure != 0) {
            setError(error, windowsErrorText(failure));
            return false;
        }
        temp_.clear();
        return true;
    }

private:
    QString target_;
    QString temp_;
    QFile file_;
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

// New content staged in a file beside its target; the file is removed
// again unless publish() gave it the target's name.
class Staged {
public:
    explicit Staged(const QString &target) : target_(QFile::encodeName(target)) { }
    Staged(const Staged &) = delete;
    Staged &operator=(const Staged &) = delete;
    ~Staged()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!temp_.isEmpty())
            ::unlink(temp_.constData());
    }

    // Refuses a target that is not a regular file (or, for a new file, one
    // that exists at all), then creates the file beside it.
    bool open(bool replace, QString *error)
    {
        struct stat st;
        bool exists = false;
        if (statPath(target_, &st)) {
            if (!S_ISREG(st.st_mode)) {
                setError(error, QStringLiteral("目标") + notRegularText(st.st_mode));
                return false;
            }
            if (!replace) {
                setError(error, systemErrorText(EEXIST));
                return false;
            }
            exists = true;
        } else if (errno != ENOENT) {
            setError(error, systemErrorText(errno));
            return false;
        }
        const qsizetype slash = target_.lastIndexOf('/');
        const QByteArray dir = slash < 0 ? QByteArray() : target_.left(slash + 1);
        // A hidden name that stays within the file system's name length.
        const QByteArray name = target_.mid(slash + 1).left(200);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray temp = dir + '.' + name + '.'
                + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
            fd_ = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                temp_ = temp;
                break;
            }
            if (errno != EEXIST) {
                setError(error, systemErrorText(errno));
                return false;
            }
        }
        if (fd_ < 0) {
            setError(error, systemErrorText(EEXIST));
            return false;
        }
        // The replacement keeps the permissions of the file it replaces.
        if (exists)
            (void)::fchmod(fd_, st.st_mode & 07777);
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

    // Everything on disk and closed without complaint, then the name moves.
    bool publish(bool replace, QString *error)
    {
        int failure = 0;
        if (::fsync(fd_) != 0 && errno != EINVAL) // EINVAL: a file system without sync
            failure = errno;
        if (::close(fd_) != 0 && failure == 0 && errno != EINTR)
            failure = errno;
        fd_ = -1;
        if (failure == 0)
            failure = rename(replace);
        if (failure != 0) {
            setError(error, systemErrorText(failure));
            return false;
        }
        temp_.clear();
        return true;
    }

private:
    int rename(bool replace)
    {
        if (replace)
            return ::rename(temp_.constData(), target_.constData()) == 0 ? 0 : errno;
        return renameNoReplace(temp_, target_);
    }

    QByteArray target_;
    QByteArray temp_;
    int fd_ = -1;
};

#endif

bool writeBytes(const QString &path, const QList<QByteArrayView> &pieces, bool replace, QString *error)
{
    if (path.isEmpty()) {
        setError(error, systemErrorText(ENOENT));
        return false;
    }
    Staged staged(resolvedTarget(path));
    if (!staged.open(replace, error))
        return false;
    for (const QByteArrayView piece : pieces)
        if (!staged.write(piece.data(), piece.size(), error))
            return false;
    return staged.publish(replace, error);
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

#ifdef Q_OS_WIN
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const DWORD failure = moveFile(from, to, false);
    if (failure != 0)
        setError(error, windowsErrorText(failure));
    return failure == 0;
}

bool copyToNewFile(const QString &src, const QString &dst, QString *error)
{
    if (!checkInputFile(src, error))
        return false;
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, windowsErrorText(GetLastError()));
        return false;
    }
    Staged staged(resolvedTarget(dst));
    bool ok = staged.open(false, error);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (ok) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            setError(error, windowsErrorText(GetLastError()));
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            ok = staged.write(buffer.constData(), n, error);
        }
    }
    return ok && staged.publish(false, error);
}
#else
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const int failure = renameNoReplace(QFile::encodeName(from), QFile::encodeName(to));
    if (failure != 0)
        setError(error, systemErrorText(failure));
    return failure == 0;
}

bool copyToNewFile(const QString &src, const QString &dst, QString *error)
{
    if (!checkInputFile(src, error))
        return false;
    const int in = ::open(QFile::encodeName(src).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setError(error, systemErrorText(errno));
        return false;
    }
    Staged staged(resolvedTarget(dst));
    bool ok = staged.open(false, error);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setError(error, systemErrorText(errno));
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            ok = staged.write(buffer.constData(), n, error);
        }
    }
    ::close(in);
    return ok && staged.publish(false, error);
}
#endif

} // namespace common
