#include "consoletext.h"

#include <QByteArray>

namespace common {

void printLine(FILE *stream, const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

} // namespace common
