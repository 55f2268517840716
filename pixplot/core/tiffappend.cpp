#include "core/tiffappend.h"

#include <algorithm>
#include <stdexcept>

namespace pixplot::tiffappend {

namespace {

constexpr qsizetype kEntrySize = 12;

// Tags of IFD0 whose value is itself an offset into the block.
constexpr quint16 kOffsetTags[] = {0x0111, 0x014A, 0x0201, 0x8769, 0x8825, 0xA005};

struct Block {
    const QByteArray &bytes;
    bool big = false;

    quint32 at(qsizetype pos, int width) const
    {
        if (pos < 0 || pos + width > bytes.size())
            throw std::runtime_error("TIFF offset past the end of the Exif block");
        quint32 v = 0;
        for (int i = 0; i < width; ++i) {
            const quint32 b = quint8(bytes.at(pos + i));
            v |= big ? b << (8 * (width - 1 - i)) : b << (8 * i);
        }
        return v;
    }
    quint16 u16(qsizetype pos) const { return quint16(at(pos, 2)); }
    quint32 u32(qsizetype pos) const { return at(pos, 4); }
};

void put(QByteArray &out, qsizetype pos, quint32 v, int width, bool big)
{
    for (int i = 0; i < width; ++i)
        out[pos + i] = char(big ? v >> (8 * (width - 1 - i)) : v >> (8 * i));
}

void append(QByteArray &out, quint32 v, int width, bool big)
{
    out.resize(out.size() + width);
    put(out, out.size() - width, v, width, big);
}

// data (big-endian values of type) in the block's order.
QByteArray ordered(const Entry &e, bool big)
{
    const int size = typeSize(e.type);
    if (size == 0 || e.data.size() != qsizetype(e.count) * size)
        throw std::logic_error("directory entry of inconsistent size");
    if (big)
        return e.data;
    const int unit = (e.type == Rational || e.type == SRational) ? 4 : size;
    QByteArray data = e.data;
    for (qsizetype i = 0; i + unit <= data.size(); i += unit)
        std::reverse(data.begin() + i, data.begin() + i + unit);
    return data;
}

void padToWord(QByteArray &out)
{
    if (out.size() % 2)
        out.append('\0');
}

// Appends the directory of entries (sorted by tag, their long values behind
// it) to out; returns its offset.
quint32 appendDirectory(QByteArray &out, QList<Entry> entries, bool big)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.tag < b.tag; });
    padToWord(out);
    const qsizetype start = out.size();
    qsizetype values = start + 2 + kEntrySize * entries.size() + 4;
    append(out, quint32(entries.size()), 2, big);
    QByteArray tail;
    for (const Entry &e : entries) {
        const QByteArray data = ordered(e, big);
        append(out, e.tag, 2, big);
        append(out, e.type, 2, big);
        append(out, e.count, 4, big);
        if (data.size() <= 4) {
            out += data + QByteArray(4 - data.size(), '\0');
        } else {
            append(out, quint32(values + tail.size()), 4, big);
            tail += data;
            padToWord(tail);
        }
    }
    append(out, 0, 4, big); // no next directory
    out += tail;
    if (out.size() > qsizetype(0xFFFFFFFFu))
        throw std::runtime_error("TIFF block too large");
    return quint32(start);
}

// Where the directory starting at offset ends, its long values included.
qsizetype directoryEnd(const Block &b, qsizetype offset)
{
    const qsizetype n = b.u16(offset);
    qsizetype end = offset + 2 + kEntrySize * n + 4;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype e = offset + 2 + kEntrySize * i;
        const qint64 size = qint64(typeSize(b.u16(e + 2))) * b.u32(e + 4);
        if (size > 4)
            end = std::max<qsizetype>(end, qsizetype(b.u32(e + 8)) + ((size + 1) & ~qint64(1)));
    }
    return end;
}

struct Range {
    qint64 begin, end;
    ValuePastEnd value;
};

// The values of the directory at offset (and of the Exif and
// interoperability directories it points at) that reach past limit.
void valuesPast(const Block &b, qsizetype offset, ValuePastEnd::Directory directory, qint64 limit,
                quint16 skipTag, QList<Range> *ranges, int depth = 0)
{
    if (depth > 2 || offset < 8 || offset + 2 > b.bytes.size())
        return;
    const qsizetype n = b.u16(offset);
    if (offset + 2 + kEntrySize * n > b.bytes.size())
        return;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype e = offset + 2 + kEntrySize * i;
        const quint16 tag = b.u16(e);
        if (tag == skipTag)
            continue;
        const qint64 size = qint64(typeSize(b.u16(e + 2))) * b.u32(e + 4);
        const qint64 value = b.u32(e + 8);
        if (size > 4 && value + size > limit)
            ranges->append({value, value + size, {directory, tag}});
        if (size == 4 && tag == 0x8769)
            valuesPast(b, value, ValuePastEnd::Photo, limit, skipTag, ranges, depth + 1);
        if (size == 4 && tag == 0xA005)
            valuesPast(b, value, ValuePastEnd::Interoperability, limit, skipTag, ranges, depth + 1);
    }
}

// Bytes appendDirectory adds for entries.
qsizetype directorySize(const QList<Entry> &entries)
{
    qsizetype size = 2 + 2 + kEntrySize * entries.size() + 4; // with a padding byte
    for (const Entry &e : entries)
        if (e.data.size() > 4)
            size += (e.data.size() + 1) & ~qsizetype(1);
    return size;
}

struct Ifd0Entries {
    QList<QByteArray> raw;        // every entry but the pointer, as they are
    qsizetype oldSub = -1;        // where the pointer pointed, if there was one
    qint64 highestReferenced = 0; // the end of what the rest of IFD0 refers to
};

Ifd0Entries scanIfd0(const Block &b, qsizetype ifd0, qsizetype count, quint32 next, quint16 pointerTag)
{
    Ifd0Entries found;
    found.highestReferenced = next;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype e = ifd0 + 2 + kEntrySize * i;
        const quint16 tag = b.u16(e);
        if (tag == pointerTag) {
            found.oldSub = b.u32(e + 8);
            continue;
        }
        const qint64 size = qint64(typeSize(b.u16(e + 2))) * b.u32(e + 4);
        const bool offsetValue =
            std::find(std::begin(kOffsetTags), std::end(kOffsetTags), tag) != std::end(kOffsetTags);
        if (size > 4)
            found.highestReferenced = std::max<qint64>(found.highestReferenced, qint64(b.u32(e + 8)) + size);
        else if (offsetValue)
            found.highestReferenced = std::max<qint64>(found.highestReferenced, qint64(b.u32(e + 8)) + 1);
        found.raw.append(b.bytes.mid(e, kEntrySize));
    }
    return found;
}

// Values that reached past the end stay unreadable garbage no more than
// they were: the new data (needed bytes) starts behind the last of them
// that it would otherwise cover, the gap zeroed.
qint64 startPastValues(const Block &b, qsizetype ifd0, quint32 next, qsizetype base, quint16 pointerTag,
                       qsizetype needed, QList<ValuePastEnd> *pastEnd)
{
    QList<Range> ranges;
    valuesPast(b, ifd0, ValuePastEnd::Image, base, pointerTag, &ranges);
    if (next != 0)
        valuesPast(b, next, ValuePastEnd::Thumbnail, base, pointerTag, &ranges);
    qint64 start = base;
    for (bool moved = true; moved;) {
        moved = false;
        for (const Range &r : ranges)
            if (r.begin < start + needed && r.end > start && r.end <= 0xFFFF) {
                start = r.end;
                moved = true;
            }
    }
    if (pastEnd)
        for (const Range &r : ranges)
            pastEnd->append(r.value);
    return start;
}

} // namespace

int typeSize(quint16 type)
{
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
        return 8;
    default:
        return 0;
    }
}

Entry Entry::bytes(quint16 tag, const QList<quint8> &values)
{
    Entry e{tag, Byte, quint32(values.size()), {}};
    for (quint8 v : values)
        e.data.append(char(v));
    return e;
}

Entry Entry::ascii(quint16 tag, const QByteArray &text)
{
    return {tag, Ascii, quint32(text.size() + 1), text + QByteArray(1, '\0')};
}

Entry Entry::rationals(quint16 tag, const QList<QPair<quint32, quint32>> &values)
{
    Entry e{tag, Rational, quint32(values.size()), {}};
    for (const auto &[n, d] : values) {
        append(e.data, n, 4, true);
        append(e.data, d, 4, true);
    }
    return e;
}

Entry Entry::srationals(quint16 tag, const QList<QPair<qint32, qint32>> &values)
{
    Entry e{tag, SRational, quint32(values.size()), {}};
    for (const auto &[n, d] : values) {
        append(e.data, quint32(n), 4, true);
        append(e.data, quint32(d), 4, true);
    }
    return e;
}

QByteArray withSubDirectory(const QByteArray &tiff, quint16 pointerTag, QList<Entry> entries,
                            QList<ValuePastEnd> *pastEnd)
{
    if (tiff.size() < 8 || !(tiff.startsWith("II") || tiff.startsWith("MM")))
        throw std::runtime_error("no TIFF header in the Exif block");
    const Block b{tiff, tiff.startsWith("MM")};
    if (b.u16(2) != 42)
        throw std::runtime_error("no TIFF header in the Exif block");
    const qsizetype ifd0 = b.u32(4);
    const qsizetype count = b.u16(ifd0);
    const qsizetype ifd0End = ifd0 + 2 + kEntrySize * count + 4;
    const quint32 next = b.u32(ifd0End - 4);

    const Ifd0Entries scanned = scanIfd0(b, ifd0, count, next, pointerTag);
    QList<QByteArray> ifd0Entries = scanned.raw;
    const qsizetype oldSub = scanned.oldSub;
    const qint64 highestReferenced = scanned.highestReferenced;

    // What an earlier append left at the end: the directory, then IFD0
    // closing the block, nothing else of IFD0 pointing into them. It is
    // replaced, so tagging a photo again does not grow it each time.
    qsizetype base = tiff.size();
    if (oldSub >= 8 && oldSub < ifd0 && ifd0End == tiff.size() && highestReferenced <= oldSub) {
        const qsizetype subEnd = directoryEnd(b, oldSub);
        if (subEnd <= ifd0 && ifd0 - subEnd <= 1)
            base = oldSub;
    }

    const qsizetype needed = directorySize(entries) + 2 + kEntrySize * (ifd0Entries.size() + 1) + 4 + 2;
    const qint64 start = startPastValues(b, ifd0, next, base, pointerTag, needed, pastEnd);

    QByteArray out = tiff.left(base) + QByteArray(qsizetype(start - base), '\0');
    const quint32 sub = appendDirectory(out, std::move(entries), b.big);

    QByteArray pointer;
    append(pointer, pointerTag, 2, b.big);
    append(pointer, Long, 2, b.big);
    append(pointer, 1, 4, b.big);
    append(pointer, sub, 4, b.big);
    qsizetype at = 0;
    while (at < ifd0Entries.size() && Block{ifd0Entries[at], b.big}.u16(0) < pointerTag)
        ++at;
    ifd0Entries.insert(at, pointer);

    padToWord(out);
    const qsizetype newIfd0 = out.size();
    append(out, quint32(ifd0Entries.size()), 2, b.big);
    for (const QByteArray &e : ifd0Entries)
        out += e;
    append(out, next, 4, b.big);
    if (newIfd0 > qsizetype(0xFFFFFFFFu))
        throw std::runtime_error("TIFF block too large");
    put(out, 4, quint32(newIfd0), 4, b.big);
    return out;
}

QByteArray newBlock(quint16 pointerTag, QList<Entry> entries)
{
    // Header, then IFD0 with its one entry, then the directory.
    QByteArray out("MM\0\x2A", 4);
    append(out, 8, 4, true);
    append(out, 1, 2, true);
    append(out, pointerTag, 2, true);
    append(out, Long, 2, true);
    append(out, 1, 4, true);
    const qsizetype pointerValue = out.size();
    append(out, 0, 4, true);
    append(out, 0, 4, true); // no IFD1
    put(out, pointerValue, appendDirectory(out, std::move(entries), true), 4, true);
    return out;
}

} // namespace pixplot::tiffappend
