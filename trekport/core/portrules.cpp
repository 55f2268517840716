#include "portrules.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace trekport {
namespace {
#ifndef Q_OS_WIN
// A serial device node with no port behind it: every /dev/ttySn exists on
// Linux, but one without a UART answers ENXIO, ENODEV or EIO on opening.
bool noPortBehind(const QString &deviceName)
{
    const int fd = ::open(QFile::encodeName(deviceName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == ENXIO || errno == ENODEV || errno == EIO;
}
#endif
} // namespace

PortChoice resolvePort(const QString &portText)
{
    const QString text = portText.trimmed();
    bool isNumber = false;
    const qlonglong n = text.toLongLong(&isNumber);
    if (isNumber) {
        if (n < 1 || n > 32767)
            return {QString(), ErrBadPortNumber};
#ifdef Q_OS_WIN
        return {QStringLiteral("COM%1").arg(n), 0};
#else
        const QString device = QStringLiteral("/dev/ttyS%1").arg(n - 1);
        if (!QFileInfo::exists(device))
            return {QString(), ErrBadPortNumber};
        return {device, 0};
#endif
    }
    if (text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
#ifndef Q_OS_WIN
        if (!QFileInfo::exists(text))
            return {QString(), ErrBadPortNumber};
#endif
        return {text, 0};
    }
    return {QString(), ErrNotANumber};
}

int openErrorNumber(QSerialPort::SerialPortError error, const QString &deviceName)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return ErrBadPortNumber;
    case QSerialPort::PermissionError: {
        // QSerialPort reports both a lock held by another program and a
        // device we may not open as a permission error; only the first is
        // "in use".
#ifdef Q_OS_WIN
        Q_UNUSED(deviceName);
        return ErrPortInUse;
#else
        const QFileInfo info(deviceName);
        return info.isReadable() && info.isWritable() ? ErrPortInUse : ErrCannotOpen;
#endif
    }
    default:
#ifndef Q_OS_WIN
        if (noPortBehind(deviceName))
            return ErrBadPortNumber;
#endif
        return ErrCannotOpen;
    }
}

QString errorText(int errorNumber)
{
    switch (errorNumber) {
    case ErrDeviceUnavailable: return QStringLiteral("错误68,设备无效!");
    case ErrBadPortNumber: return QStringLiteral("错误8002,端口号无效!");
    case ErrPortInUse: return QStringLiteral("错误8005,端口已被占用!");
    case ErrCannotOpen: return QStringLiteral("错误8012,端口无法打开!");
    default: return QStringLiteral("错误") + QString::number(errorNumber);
    }
}

void applyLineSettings(QSerialPort &port)
{
    port.setBaudRate(QSerialPort::Baud4800);
    port.setParity(QSerialPort::NoParity);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

QStringList portComboItems()
{
    QStringList items;
    for (int i = 1; i <= 9; ++i)
        items << QString::number(i);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.systemLocation();
        if (!items.contains(name))
            items << name;
    }
    return items;
}

QString portItemText(const QString &port, const QString &description)
{
    if (description.trimmed().isEmpty())
        return port;
    return port + QStringLiteral(" — ") + description.trimmed();
}

QList<PortItem> portComboEntries()
{
    QList<PortItem> items;
    for (int i = 1; i <= 9; ++i)
        items.append({QString::number(i), QString::number(i)});
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString port = info.systemLocation();
        if (std::none_of(items.cbegin(), items.cend(), [&](const PortItem &p) { return p.port == port; }))
            items.append({portItemText(port, info.description()), port});
    }
    return items;
}

bool lacksDialoutGroup(const QString &deviceName)
{
#ifdef Q_OS_WIN
    Q_UNUSED(deviceName);
    return false;
#else
    const QByteArray path = QFile::encodeName(deviceName);
    struct stat st {};
    if (deviceName.isEmpty() || ::stat(path.constData(), &st) != 0 || ::access(path.constData(), R_OK | W_OK) == 0)
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
#endif
}

QString openFailureText(int errorNumber, const QString &portText)
{
    QString text = errorText(errorNumber);
    if (errorNumber == ErrCannotOpen && lacksDialoutGroup(resolvePort(portText).deviceName))
        text += dialoutHint;
    return text;
}

} // namespace trekport
