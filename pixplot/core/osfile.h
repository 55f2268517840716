#pragma once
// The file calls pixplot makes below Qt, in one place: plain system calls
// where the system has them, QFile elsewhere.
#include <QString>

namespace pixplot::osfile {

// Reads up to size bytes from the start of path into buffer; the count read
// (less at the end of the file), or -1 when it cannot be opened or read.
qint64 readHead(const QString &path, char *buffer, qint64 size);

} // namespace pixplot::osfile
