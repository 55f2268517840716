#pragma once
// Text files as the suite reads and writes them: CR LF line ends on writing,
// any of CR LF, LF or a lone CR on reading, atomic replacement of the target.
#include "common/safefile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace common {

enum class TextEncoding {
    Utf8,      // UTF-8 without a byte order mark
    Gbk,       // code page 936
    Ascii,     // 7-bit; anything else is written as '?'
    Utf8OrGbk, // reading only: valid UTF-8 is UTF-8, anything else GBK
    Latin1     // reading only: one character per byte, never fails
};

// Decodes bytes; a UTF-8 byte order mark is dropped.
QString decodeText(const QByteArray &bytes, TextEncoding encoding);
QByteArray encodeText(const QString &text, TextEncoding encoding);
bool isValidUtf8(const QByteArray &bytes);

// Splits text into lines at CR LF, LF or a lone CR. A last line without an
// end is kept; a final line end does not make an extra empty line.
QStringList splitLines(const QString &text);

// Reads a whole text file into lines. False (and *error set) when the file
// is not a regular file or cannot be opened or read.
bool readTextLines(const QString &path, TextEncoding encoding, QStringList *lines, QString *error = nullptr);

// Joins lines, each ended by CR LF, in the given encoding.
QByteArray joinLinesCrLf(const QStringList &lines, TextEncoding encoding);

// writeFileAtomically(path, joinLinesCrLf(lines, encoding)) (safefile.h).
bool writeTextLines(const QString &path, const QStringList &lines, TextEncoding encoding,
                    QString *error = nullptr);

} // namespace common
