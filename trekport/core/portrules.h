#pragma once
// Which device a port text names, and the error numbers and texts the user
// reads when the port cannot be used.
#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace trekport {

enum PortError {
    ErrNotANumber = 13,
    ErrDeviceUnavailable = 68,
    ErrBadPortNumber = 8002,
    ErrPortInUse = 8005,
    ErrCannotOpen = 8012,
};

struct PortChoice {
    QString deviceName; // empty when errorNumber is set
    int errorNumber = 0;
};

// "3" -> /dev/ttyS2 (COM3 on Windows); "/dev/pts/4" or "COM4" as they are;
// a number below 1 or a device that does not exist -> 8002; other text -> 13.
PortChoice resolvePort(const QString &portText);

// The error number for a port that QSerialPort failed to open; a device
// node with no port behind it (a /dev/ttyS without a UART) is 8002.
int openErrorNumber(QSerialPort::SerialPortError error, const QString &deviceName);

// "错误8002,端口号无效!" and the like; an unknown number gives "错误" + n.
QString errorText(int errorNumber);

// The serial settings "4800,N,8,1" applied to a port.
void applyLineSettings(QSerialPort &port);
inline const QString lineSettingsText = QStringLiteral("4800,N,8,1");

// One item of the port combo: what the list shows ("/dev/ttyUSB0 — CP2102
// USB to UART") and the port text it stands for ("/dev/ttyUSB0").
struct PortItem {
    QString text;
    QString port;
};
// "1".."9", then the system's serial ports with their description, read
// anew on every call so an adapter plugged in meanwhile is listed.
QList<PortItem> portComboEntries();
QString portItemText(const QString &port, const QString &description);

// The status text for a port that would not open: the error text, and on
// Linux the way out when the device belongs to the dialout group and the
// user is not in it.
QString openFailureText(int errorNumber, const QString &portText);
inline const QString dialoutHint = QStringLiteral("端口无权限：请把用户加入 dialout 组后重新登录。");

} // namespace trekport
