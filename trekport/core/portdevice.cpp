#include "portdevice.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace trekport::portdevice {

#ifdef Q_OS_WIN

QString numberedPort(qint64 n)
{
    return QStringLiteral("COM%1").arg(n);
}

bool mayExist(const QString &)
{
    return true;
}

bool userMayOpen(const QString &)
{
    return true;
}

bool noPortBehind(const QString &)
{
    return false;
}

bool lacksDialoutGroup(const QString &)
{
    return false;
}

#else

QString numberedPort(qint64 n)
{
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

bool mayExist(const QString &deviceName)
{
    return QFileInfo::exists(deviceName);
}

bool userMayOpen(const QString &deviceName)
{
    const QFileInfo info(deviceName);
    return info.isReadable() && info.isWritable();
}

bool noPortBehind(const QString &deviceName)
{
    const int fd = ::open(QFile::encodeName(deviceName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == ENXIO || errno == ENODEV || errno == EIO;
}

bool lacksDialoutGroup(const QString &deviceName)
{
    const QByteArray path = QFile::encodeName(deviceName);
    struct stat st { };
    if (deviceName.isEmpty() || ::stat(path.constData(), &st) != 0
        || ::access(path.constData(), R_OK | W_OK) == 0)
        return false;
    const group *g = ::getgrgid(st.st_gid);
    if (!g || QByteArray(g->gr_name) != "dialout")
        return false;
    if (::getegid() == st.st_gid)
        return false;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(n > 0 ? n : 0));
    if (n > 0 && ::getgroups(n, groups.data()) == n)
        return std::find(groups.begin(), groups.end(), st.st_gid) == groups.end();
    return true;
}

#endif

} // namespace trekport::portdevice
