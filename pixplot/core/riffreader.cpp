#include "core/riffreader.h"

#include "core/datetimetext.h"

#include <QRegularExpression>
#include <QtEndian>

#include <cstring>

namespace pixplot::riffreader {

namespace {

// Chunks looked at per list: real files have a few dozen; a file of
// millions of empty chunks is not walked to its end.
constexpr int kMaxChunksPerList = 4096;
// The texts read are a line at most.
constexpr qint64 kMaxText = 256;

struct Chunk {
    QByteArray id;      // four characters
    QByteArray form;    // a RIFF or LIST chunk's type ("AVI ", "hdrl"), else empty
    qint64 payload = 0; // first byte after the header (after the type of a list)
    qint64 end = 0;     // one past the data, before the pad byte
    qint64 next = 0;    // where the next chunk starts
};

bool readExactly(QIODevice &d, qint64 at, char *into, qint64 n)
{
    return d.seek(at) && d.read(into, n) == n;
}

// The chunk at `at` inside [.., limit); false when its header does not fit
// or its size leaves the parent.
bool readChunk(QIODevice &d, qint64 at, qint64 limit, Chunk *chunk)
{
    char head[12];
    if (limit - at < 8 || !readExactly(d, at, head, 8))
        return false;
    chunk->id = QByteArray(head, 4);
    const qint64 size = qFromLittleEndian<quint32>(head + 4);
    if (size > limit - at - 8)
        return false;
    chunk->payload = at + 8;
    chunk->end = at + 8 + size;
    chunk->next = qMin(limit, chunk->end + (size & 1));
    chunk->form.clear();
    if (chunk->id == "LIST" || chunk->id == "RIFF") {
        if (size < 4 || !readExactly(d, at + 8, head + 8, 4))
            return false;
        chunk->form = QByteArray(head + 8, 4);
        chunk->payload += 4;
    }
    return true;
}

QByteArray chunkText(QIODevice &d, const Chunk &chunk)
{
    const qint64 n = qMin(chunk.end - chunk.payload, kMaxText);
    QByteArray text(n, Qt::Uninitialized);
    if (n <= 0 || !readExactly(d, chunk.payload, text.data(), n))
        return {};
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    return text.trimmed();
}

// The header list's chunks: IDIT among them.
void walkHeaderList(QIODevice &d, qint64 from, qint64 to, AviInfo *info)
{
    qint64 at = from;
    for (int count = 0; count < kMaxChunksPerList && at < to; ++count) {
        Chunk chunk;
        if (!readChunk(d, at, to, &chunk))
            return;
        if (chunk.id == "IDIT" && info->shotTime.isEmpty())
            info->shotTime = iditTime(chunkText(d, chunk));
        at = chunk.next;
    }
}

int monthOf(QByteArrayView name)
{
    static const char *const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3)
        return 0;
    const QByteArray lower = name.toByteArray().toLower();
    for (int m = 0; m < 12; ++m)
        if (lower == kMonths[m])
            return m + 1;
    return 0;
}

} // namespace

bool looksLikeAvi(QByteArrayView head)
{
    return head.size() >= 12 && head.first(4) == QByteArrayView("RIFF")
        && head.sliced(8, 4) == QByteArrayView("AVI ");
}

QString iditTime(QByteArrayView text)
{
    const QString s = QString::fromLatin1(text).trimmed();
    // "Mon Mar 10 15:04:43 2003"
    static const QRegularExpression ctime(QStringLiteral(
        "^[A-Za-z]{3}\\s+([A-Za-z]{3})\\s+(\\d{1,2})\\s+(\\d{1,2}):(\\d{2}):(\\d{2})\\s+(\\d{4})$"));
    if (const auto m = ctime.match(s); m.hasMatch()) {
        const int month = monthOf(m.captured(1).toLatin1());
        return month == 0 ? QString()
                          : systemfinction::cameraTimeText(m.captured(6).toInt(), month, m.captured(2).toInt(),
                                     m.captured(3).toInt(), m.captured(4).toInt(), m.captured(5).toInt());
    }
    // Year first, with "/", "-" or ":" between the parts of the date, some
    // padded with blanks, the seconds or a 12-hour clock's AM/PM optional.
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{4})[-/:]\\s*(\\d{1,2})[-/:]\\s*(\\d{1,2})/?\\s+(\\d{1,2}):\\s*(\\d{2})"
                       "(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));
    const auto m = numeric.match(s);
    if (!m.hasMatch())
        return {};
    int hour = m.captured(4).toInt();
    if (const QString half = m.captured(7).toUpper(); !half.isEmpty()) {
        if (hour < 1 || hour > 12)
            return {};
        hour = hour % 12 + (half == QLatin1String("PM") ? 12 : 0);
    }
    return systemfinction::cameraTimeText(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), hour,
                    m.captured(5).toInt(), m.captured(6).toInt());
}

AviInfo readAvi(QIODevice &d)
{
    AviInfo info;
    char head[12];
    if (!readExactly(d, 0, head, 12) || !looksLikeAvi(QByteArrayView(head, 12)))
        return info;
    info.isAvi = true;
    // A file cut short (a recording the camera never closed) keeps its
    // header: the RIFF chunk is read as far as the file goes.
    const qint64 riffEnd = qMin(d.size(), 8 + qint64(qFromLittleEndian<quint32>(head + 4)));
    qint64 at = 12;
    for (int count = 0; count < kMaxChunksPerList && at < riffEnd; ++count) {
        Chunk chunk;
        if (!readChunk(d, at, riffEnd, &chunk))
            break;
        // The movie data ("movi") and the index are skipped by their sizes.
        if (chunk.id == "LIST" && chunk.form == "hdrl")
            walkHeaderList(d, chunk.payload, chunk.end, &info);
        at = chunk.next;
    }
    return info;
}

} // namespace pixplot::riffreader
