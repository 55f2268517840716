#include "core/exifreader.h"

#include "core/osfile.h"

#include <QFile>

#include <cstring>
#include <limits>

namespace pixplot {

namespace {

constexpr qint32 ExifSubIfdTag = 34665;

// Clears the borrowed file pointer however parsing ends.
struct BytesGuard {
    const uchar *&bytes;
    ~BytesGuard() { bytes = nullptr; }
};

// Thrown while only the head of a file is at hand and the parse reaches past it.
struct NeedWholeFile { };

// Cameras write the EXIF block right behind the start of the file and its
// directories first: the head usually holds every value the walk reads, and
// a short read keeps listing many photos cheap. Anything further is mapped.
constexpr qint64 HeadBytes = 4 * 1024;

// Decimal text of each byte, appended without separator.
QString byteNumbers(const uchar *bytes, qint64 count, bool downwards)
{
    QByteArray text(count * 3, Qt::Uninitialized);
    char *out = text.data();
    for (qint64 j = 0; j < count; ++j) {
        const uchar b = bytes[downwards ? count - 1 - j : j];
        if (b >= 100)
            *out++ = char('0' + b / 100);
        if (b >= 10)
            *out++ = char('0' + b / 10 % 10);
        *out++ = char('0' + b % 10);
    }
    return QString::fromLatin1(text.constData(), out - text.constData());
}

int typeSize(qint32 type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
        return 4;
    case 5:
    case 10:
        return 8;
    default:
        return 0;
    }
}

QString hex2(quint8 b)
{
    static const char digits[] = "0123456789ABCDEF";
    const QChar chars[2] = {QLatin1Char(digits[b >> 4]), QLatin1Char(digits[b & 15])};
    return QString(chars, 2);
}

} // namespace

void ExifReader::Load(const QString &fileName)
{
    if (picFile.isEmpty())
        picFile = fileName;
    if (picFile.isEmpty())
        return;
    QByteArray head(HeadBytes, Qt::Uninitialized);
    const qint64 got = pixplot::osfile::readHead(picFile, head.data(), HeadBytes);
    if (got < 0)
        throw ExifError(ExifError::FileNotFound, "photo cannot be read");
    const auto *headBytes = reinterpret_cast<const uchar *>(head.constData());
    if (got < HeadBytes) {
        loadBytes(headBytes, got); // the whole file
        return;
    }
    // Parse the head alone; only when that reaches past it is the whole file
    // mapped (a map keeps large photos out of the heap) and parsed again.
    const qsizetype entryCount = Entries.size();
    const bool allocated = EntriesAllocated, hadExif = HasExif, intel = Intel;
    const qint32 app1 = App1Pos;
    const qint64 tiff = TiffStart, next = NextIfdOffset, exifIfd = ExifIfdOffset;
    try {
        Partial = true;
        loadBytes(headBytes, got);
        Partial = false;
        return;
    } catch (const NeedWholeFile &) {
        Partial = false;
        Entries.resize(entryCount);
        EntriesAllocated = allocated;
        HasExif = hadExif;
        Intel = intel;
        App1Pos = app1;
        TiffStart = tiff;
        NextIfdOffset = next;
        ExifIfdOffset = exifIfd;
    } catch (...) {
        Partial = false;
        throw;
    }
    QFile file(picFile);
    if (!file.open(QIODevice::ReadOnly))
        throw ExifError(ExifError::FileNotFound, "photo cannot be opened");
    const qint64 size = file.size();
    if (uchar *mapped = file.map(0, size)) {
        loadBytes(mapped, size); // QFile unmaps when it closes, also on a throw
        return;
    }
    // Files that cannot be mapped are read whole.
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ExifError(ExifError::FileNotFound, "photo cannot be read");
    loadBytes(reinterpret_cast<const uchar *>(all.constData()), all.size());
}

void ExifReader::requireRange(qint64 first, qint64 last) const
{
    if (first < 0)
        throw ExifError(ExifError::OutOfRange, "position outside the file");
    if (last >= Length && Partial)
        throw NeedWholeFile{};
    if (last > Length)
        throw ExifError(ExifError::OutOfRange, "position outside the file");
}

void ExifReader::loadBytes(const uchar *data, qsizetype length)
{
    Bytes = data;
    Length = length;
    DecodedBytes = 0;
    DecodedEntries = 0;
    BytesGuard guard{Bytes};
    if (!FindExifBlock()) {
        HasExif = false;
        return;
    }
    Intel = IsIntelOrder();
    const qint32 ifd0 = readOffset32(TiffStart + 4);
    HasExif = true;
    ReadDirectoryChain(TiffStart + ifd0);
}

QVariant ExifReader::Tag(qint32 tagId)
{
    if (!HasExif) {
        if (picFile.isEmpty())
            return {};
        Load(picFile);
    }
    if (tagId == 0)
        return EntriesAllocated ? QVariant(qint32(Entries.size())) : QVariant();
    if (!EntriesAllocated)
        throw ExifError(ExifError::OutOfRange, "no EXIF entries");
    for (const ExifEntry &entry : Entries) {
        if (entry.TagId == tagId)
            return entry.Value;
    }
    return {};
}

QVariant ExifReader::MakerNoteTag(qint32 tagId) const
{
    if (!HasExif)
        return {};
    for (const ExifEntry &entry : Entries) {
        if (entry.TagId == tagId && entry.IsMakerNote)
            return entry.Value;
    }
    return {};
}

quint8 ExifReader::byteAt(qint64 index) const
{
    if (index >= 0 && index < Length)
        return Bytes[index];
    requireRange(index, index);
    return 0; // the one zero byte behind the end
}

quint32 ExifReader::read16(qint64 index) const
{
    const quint32 b0 = byteAt(index), b1 = byteAt(index + 1);
    return Intel ? (b1 << 8 | b0) : (b0 << 8 | b1);
}

quint32 ExifReader::read32(qint64 index) const
{
    const quint32 b0 = byteAt(index), b1 = byteAt(index + 1), b2 = byteAt(index + 2), b3 = byteAt(index + 3);
    return Intel ? (b3 << 24 | b2 << 16 | b1 << 8 | b0) : (b0 << 24 | b1 << 16 | b2 << 8 | b3);
}

qint32 ExifReader::readOffset32(qint64 index) const
{
    const quint32 v = read32(index);
    if (v > quint32(std::numeric_limits<qint32>::max()))
        throw ExifError(ExifError::Overflow, "offset or count of 2^31 or more");
    return qint32(v);
}

bool ExifReader::FindExifBlock()
{
    if (byteAt(0) != 0xFF || byteAt(1) != 0xD8)
        return false;
    // A plain byte scan: the first FF E1 pair anywhere counts, segment or not.
    for (qint64 i = 2; i + 1 < Length;) {
        const void *hit = std::memchr(Bytes + i, 0xFF, size_t(Length - 1 - i));
        if (!hit)
            break;
        const qint64 at = static_cast<const uchar *>(hit) - Bytes;
        if (Bytes[at + 1] == 0xE1) {
            if (at > std::numeric_limits<qint32>::max())
                throw ExifError(ExifError::Overflow, "APP1 beyond 2 GB");
            App1Pos = qint32(at);
            break;
        }
        i = at + 1;
    }
    if (App1Pos == 0 && Partial)
        throw NeedWholeFile{}; // the pair may lie further on
    TiffStart = qint64(App1Pos) + 10;
    return byteAt(App1Pos + 4) == 'E' && byteAt(App1Pos + 5) == 'x' && byteAt(App1Pos + 6) == 'i'
        && byteAt(App1Pos + 7) == 'f';
}

bool ExifReader::IsIntelOrder() const
{
    return byteAt(TiffStart) == 0x49;
}

void ExifReader::ReadDirectoryChain(qint64 p)
{
    bool exifDone = false;
    // Directory positions already read: a chain that points back ends there.
    QSet<qint64> visited;
    for (;;) {
        visited.insert(p);
        const quint32 n = read16(p);
        // Every entry fills 12 bytes of the file, so a file of Length bytes
        // holds at most Length / 12 of them. Directories that overlap would
        // decode the same bytes again and again (200 directories of 65,535
        // entries in under a megabyte); the walk stops at what the file holds.
        const qint64 fileSlots = Length / 12;
        Entries.reserve(Entries.size() + qMin<qint64>(n, qMax<qint64>(0, fileSlots - DecodedEntries)));
        EntriesAllocated = true;
        for (quint32 i = 0; i < n; ++i) {
            const qint64 e = p + 2 + 12 * qint64(i);
            if (DecodedEntries >= fileSlots) {
                if (Partial)
                    throw NeedWholeFile{};
                throw ExifError(ExifError::Overflow, "more directory entries than the file holds");
            }
            ++DecodedEntries;
            ExifEntry entry;
            entry.TagId = qint32(read16(e));
            entry.DataType = qint32(read16(e + 2));
            entry.Count = readOffset32(e + 4);
            decodeValue(entry, e);
            if (entry.TagId == ExifSubIfdTag) {
                bool ok = false;
                const qint64 v = entry.Value.toLongLong(&ok);
                if (ok && (v > std::numeric_limits<qint32>::max() || v < std::numeric_limits<qint32>::min()))
                    throw ExifError(ExifError::Overflow, "Exif sub-IFD offset too large");
                // A pointer of the wrong type (text) is no pointer.
                ExifIfdOffset = ok ? v : 0;
            }
            Entries.append(entry);
        }
        NextIfdOffset = exifDone ? 0 : readOffset32(p + 2 + 12 * qint64(n));
        if (NextIfdOffset != 0 && visited.contains(TiffStart + NextIfdOffset))
            NextIfdOffset = 0;
        if (NextIfdOffset == 0 && !exifDone) {
            NextIfdOffset = ExifIfdOffset;
            exifDone = true;
            if (NextIfdOffset < 0)
                throw ExifError(ExifError::OutOfRange, "Exif sub-IFD before the TIFF header");
            if (NextIfdOffset != 0 && visited.contains(TiffStart + NextIfdOffset))
                NextIfdOffset = 0;
        }
        if (NextIfdOffset == 0)
            return;
        p = TiffStart + NextIfdOffset;
    }
}

void ExifReader::countDecodedBytes(qint64 count)
{
    // Real photos render each byte of the file as a value once at most; a
    // damaged directory whose entries all point at the same long stretch
    // would otherwise turn a few megabytes into gigabytes of text.
    DecodedBytes += count;
    if (DecodedBytes > 8 * Length + (qint64(1) << 20)) {
        if (Partial)
            throw NeedWholeFile{};
        throw ExifError(ExifError::Overflow, "values repeat the file over and over");
    }
}

void ExifReader::decodeValue(ExifEntry &entry, qint64 e)
{
    const qint32 type = entry.DataType;
    const qint64 total = qint64(entry.Count) * typeSize(type);
    if (total > std::numeric_limits<qint32>::max())
        throw ExifError(ExifError::Overflow, "value size of 2^31 or more");
    if (total <= 4)
        decodeInlineValue(entry, e);
    else
        decodeOffsetValue(entry, e);
}

void ExifReader::decodeInlineValue(ExifEntry &entry, qint64 e)
{
    const qint32 type = entry.DataType;
    // The four value bytes, most significant first.
    const qint64 order[4] = {Intel ? e + 11 : e + 8, Intel ? e + 10 : e + 9, Intel ? e + 9 : e + 10,
                             Intel ? e + 8 : e + 11};
    switch (type) {
    case 1:
    case 6: {
        QString text;
        text.reserve(8);
        for (qint64 at : order)
            text += hex2(byteAt(at));
        entry.Value = text;
        break;
    }
    case 2:
    case 7: {
        QString text;
        text.reserve(4);
        for (qint64 at : order)
            text += QLatin1Char(char(byteAt(at)));
        entry.Value = text;
        break;
    }
    case 3:
    case 8:
        entry.Value = qint64(read16(e + 8)) + qint64(read16(e + 10));
        break;
    case 4:
        entry.Value = qint64(read32(e + 8));
        break;
    case 9:
        entry.Value = qint64(qint32(read32(e + 8)));
        break;
    default:
        break;
    }
}

void ExifReader::decodeOffsetValue(ExifEntry &entry, qint64 e)
{
    const qint32 type = entry.DataType;
    if ((type == 5 || type == 10) && Intel)
        return; // Intel-order rationals are not decoded
    entry.ValueOffset = readOffset32(e + 8);
    const qint64 o = TiffStart + entry.ValueOffset;
    const qint64 count = entry.Count;
    switch (type) {
    case 1:
    case 6:
    case 4:
    case 9:
    case 3:
    case 8: {
        requireRange(o, o + count - 1);
        countDecodedBytes(count);
        const bool downwards = (type == 3 || type == 8) && !Intel;
        if (o + count - 1 == Length) {
            // The range ends on the zero byte behind the file.
            QByteArray copy(reinterpret_cast<const char *>(Bytes + o), count - 1);
            copy.append(char(0));
            entry.Value = byteNumbers(reinterpret_cast<const uchar *>(copy.constData()), count, downwards);
        } else {
            entry.Value = byteNumbers(Bytes + o, count, downwards);
        }
        break;
    }
    case 2:
    case 7: {
        requireRange(o, o + count - 1);
        countDecodedBytes(count);
        const uchar last = byteAt(o + count - 1);
        // Text without its terminator (some cameras leave it out) keeps every character.
        const qint64 used = (type == 2 && last != 0) ? count : count - 1;
        const qint64 inFile = qMin(used, Length - o);
        QString text = QString::fromLatin1(reinterpret_cast<const char *>(Bytes + o), inFile);
        if (used > inFile)
            text.append(QChar(0));
        entry.Value = text;
        break;
    }
    case 5:
    case 10: {
        const quint32 num = read32(o), den = read32(o + 4);
        if (type == 5)
            entry.Value = QString::number(num) + QLatin1Char('/') + QString::number(den);
        else
            entry.Value = QString::number(qint32(num)) + QLatin1Char('/') + QString::number(qint32(den));
        break;
    }
    default:
        break;
    }
}

} // namespace pixplot
