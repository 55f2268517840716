#include "common/textfile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace common {

bool isValidUtf8(const QByteArray &bytes)
{
    // Strict check (no overlongs, no surrogates, nothing above U+10FFFF).
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned int cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else
            return false;
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

QString decodeText(const QByteArray &raw, TextEncoding encoding)
{
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    switch (encoding) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Ascii:
    case TextEncoding::Latin1:
        return QString::fromLatin1(bytes);
    case TextEncoding::Utf8OrGbk:
        if (isValidUtf8(bytes))
            return QString::fromUtf8(bytes);
        [[fallthrough]];
    case TextEncoding::Gbk: {
        QStringDecoder decoder("GBK");
        if (!decoder.isValid())
            return QString::fromLocal8Bit(bytes);
        return decoder.decode(bytes);
    }
    }
    return QString::fromUtf8(bytes);
}

QByteArray encodeText(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Gbk: {
        QStringEncoder encoder("GBK");
        if (encoder.isValid())
            return encoder.encode(text);
        return text.toLocal8Bit();
    }
    case TextEncoding::Ascii: {
        QByteArray out;
        out.reserve(text.size());
        for (QChar c : text)
            out.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
        return out;
    }
    case TextEncoding::Latin1:
        return text.toLatin1();
    case TextEncoding::Utf8:
    case TextEncoding::Utf8OrGbk:
        break;
    }
    return text.toUtf8();
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

bool readTextLines(const QString &path, TextEncoding encoding, QStringList *lines, QString *error)
{
    if (!checkInputFile(path, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *lines = splitLines(decodeText(bytes, encoding));
    return true;
}

QByteArray joinLinesCrLf(const QStringList &lines, TextEncoding encoding)
{
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return encodeText(text, encoding);
}

bool writeTextLines(const QString &path, const QStringList &lines, TextEncoding encoding, QString *error)
{
    return writeFileAtomically(path, joinLinesCrLf(lines, encoding), error);
}

} // namespace common
