#pragma once
// What the port rules need to know from the operating system: how a port
// number is spelt as a device, and what the device node itself says. The
// one place with POSIX calls; on Windows a port is a name, not a file.
#include <QString>

namespace trekport::portdevice {

// The device of port number n (n >= 1): COMn on Windows, /dev/ttyS(n-1)
// elsewhere.
QString numberedPort(qint64 n);

// False when deviceName is a path that names nothing. Windows port names
// are not files, so there it is always true.
bool mayExist(const QString &deviceName);

// True when this user may read and write the device (on Windows: yes; a
// refusal there is a port another program holds).
bool userMayOpen(const QString &deviceName);

// A serial device node with no port behind it: every /dev/ttySn exists on
// Linux, but one without a UART answers ENXIO, ENODEV or EIO on opening.
bool noPortBehind(const QString &deviceName);

// True when the device belongs to the dialout group, this user is not in
// it and may not open the device as it stands.
bool lacksDialoutGroup(const QString &deviceName);

} // namespace trekport::portdevice
