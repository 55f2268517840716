#include "portrules.h"

#include "portdevice.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace trekport {

PortChoice resolvePort(const QString &portText)
{
    const QString text = portText.trimmed();
    bool isNumber = false;
    const qlonglong n = text.toLongLong(&isNumber);
    if (isNumber) {
        if (n < 1 || n > 32767)
            return {QString(), ErrBadPortNumber};
        const QString device = portdevice::numberedPort(n);
        if (!portdevice::mayExist(device))
            return {QString(), ErrBadPortNumber};
        return {device, 0};
    }
    if (text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        if (!portdevice::mayExist(text))
            return {QString(), ErrBadPortNumber};
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
        return portdevice::userMayOpen(deviceName) ? ErrPortInUse : ErrCannotOpen;
    }
    default:
        if (portdevice::noPortBehind(deviceName))
            return ErrBadPortNumber;
        return ErrCannotOpen;
    }
}

QString errorText(int errorNumber)
{
    switch (errorNumber) {
    case ErrDeviceUnavailable:
        return QStringLiteral("错误68,设备无效!");
    case ErrBadPortNumber:
        return QStringLiteral("错误8002,端口号无效!");
    case ErrPortInUse:
        return QStringLiteral("错误8005,端口已被占用!");
    case ErrCannotOpen:
        return QStringLiteral("错误8012,端口无法打开!");
    default:
        return QStringLiteral("错误") + QString::number(errorNumber);
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

QString openFailureText(int errorNumber, const QString &portText)
{
    QString text = errorText(errorNumber);
    if (errorNumber == ErrCannotOpen && portdevice::lacksDialoutGroup(resolvePort(portText).deviceName))
        text += dialoutHint;
    return text;
}

} // namespace trekport
