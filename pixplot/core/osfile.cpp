#include "core/osfile.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace pixplot::osfile {

// Listing a thousand photos opens a thousand files: plain system calls keep
// that to open, read and close.
qint64 readHead(const QString &path, char *buffer, qint64 size)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size_t(size - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            got = -1;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    return got;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    return file.read(buffer, size);
#endif
}

} // namespace pixplot::osfile
