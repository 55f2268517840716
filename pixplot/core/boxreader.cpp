#include "core/boxreader.h"

#include <QStringList>
#include <QtEndian>

#include <cstring>

namespace pixplot::boxreader {

namespace {

// Canon's CR3 metadata box: uuid 85c0b687-820f-11e0-8111-f4ce462b6a48.
const char kCanonUuid[16] = {'\x85', '\xc0', '\xb6', '\x87', '\x82', '\x0f', '\x11', '\xe0',
                             '\x81', '\x11', '\xf4', '\xce', '\x46', '\x2b', '\x6a', '\x48'};
// A camera's tag block is a few kilobytes; a larger claim is not believed.
constexpr qint64 kMaxTiffBlock = 4 << 20;
// Boxes looked at per level: real files have a handful; a file of millions of
// empty boxes is not walked to its end.
constexpr int kMaxBoxesPerLevel = 4096;
// Names and values of metadata are short texts.
constexpr qint64 kMaxText = 4096;

struct Box {
    QByteArray type; // four characters
    qint64 start = 0;       // of the header
    qint64 payload = 0;     // first byte after the header
    qint64 end = 0;         // one past the box
};

bool readExactly(QIODevice &d, qint64 at, char *into, qint64 n)
{
    return d.seek(at) && d.read(into, n) == n;
}

// The box at `at` inside [.., limit); false when its header does not fit or
// its size leaves the parent.
bool readBox(QIODevice &d, qint64 at, qint64 limit, Box *box)
{
    char head[16];
    if (limit - at < 8 || !readExactly(d, at, head, 8))
        return false;
    quint64 size = qFromBigEndian<quint32>(head);
    box->type = QByteArray(head + 4, 4);
    box->start = at;
    box->payload = at + 8;
    if (size == 1) {
        if (limit - at < 16 || !readExactly(d, at + 8, head + 8, 8))
            return false;
        size = qFromBigEndian<quint64>(head + 8);
        box->payload = at + 16;
    } else if (size == 0) {
        size = quint64(limit - at); // to the end of its parent
    }
    if (size < quint64(box->payload - at) || size > quint64(limit - at))
        return false;
    box->end = at + qint64(size);
    return true;
}

std::optional<qint64> movieHeaderTime(QIODevice &d, const Box &box)
{
    char buf[12];
    const qint64 n = box.end - box.payload;
    if (n < 8 || !readExactly(d, box.payload, buf, 1))
        return std::nullopt;
    quint64 seconds = 0;
    if (buf[0] == 1) {
        if (n < 12 || !readExactly(d, box.payload + 4, buf, 8))
            return std::nullopt;
        seconds = qFromBigEndian<quint64>(buf);
    } else {
        if (!readExactly(d, box.payload + 4, buf, 4))
            return std::nullopt;
        seconds = qFromBigEndian<quint32>(buf);
    }
    // Zero is what a device without a clock writes: no time at all.
    // Past year 9999 is no time either.
    if (seconds == 0 || seconds > quint64(253402300799LL + kQuickTimeEpochOffset))
        return std::nullopt;
    return qint64(seconds) - kQuickTimeEpochOffset;
}

QString boxText(QIODevice &d, qint64 at, qint64 n)
{
    if (n <= 0 || n > kMaxText)
        return {};
    QByteArray text(n, Qt::Uninitialized);
    if (!readExactly(d, at, text.data(), n))
        return {};
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    return QString::fromUtf8(text).trimmed();
}

// The value of an item list entry: its "data" box, after type and locale.
QString itemValue(QIODevice &d, const Box &item)
{
    Box data;
    if (!readBox(d, item.payload, item.end, &data) || data.type != "data")
        return {};
    return boxText(d, data.payload + 8, data.end - data.payload - 8);
}

// Make and model from the movie's "meta" (keys with an item list, as phones
// write) or "udta" (QuickTime's (c)mak and (c)mod texts).
void readMetadata(QIODevice &d, const Box &parent, MovieInfo *info)
{
    qint64 at = parent.payload;
    if (parent.type == "meta") {
        // ISO's meta carries version and flags before its boxes, QuickTime's not.
        char probe[8];
        if (readExactly(d, at, probe, 8) && memcmp(probe + 4, "hdlr", 4) != 0)
            at += 4;
    }
    QStringList keys;
    for (int count = 0; count < kMaxBoxesPerLevel && at < parent.end; ++count) {
        Box box;
        if (!readBox(d, at, parent.end, &box))
            return;
        if (box.type == "keys") {
            char head[8];
            if (!readExactly(d, box.payload, head, 8))
                return;
            const quint32 n = qFromBigEndian<quint32>(head + 4);
            qint64 k = box.payload + 8;
            for (quint32 i = 0; i < n && i < quint32(kMaxBoxesPerLevel); ++i) {
                Box key;
                if (!readBox(d, k, box.end, &key))
                    break;
                keys << boxText(d, key.payload, key.end - key.payload);
                k = key.end;
            }
        } else if (box.type == "ilst") {
            qint64 i = box.payload;
            for (int c = 0; c < kMaxBoxesPerLevel && i < box.end; ++c) {
                Box item;
                if (!readBox(d, i, box.end, &item))
                    break;
                const quint32 index = qFromBigEndian<quint32>(item.type.constData());
                const QString key = index >= 1 && index <= quint32(keys.size()) ? keys.at(index - 1) : QString();
                if (key == QLatin1String("com.apple.quicktime.make") && info->make.isEmpty())
                    info->make = itemValue(d, item);
                else if (key == QLatin1String("com.apple.quicktime.model") && info->model.isEmpty())
                    info->model = itemValue(d, item);
                i = item.end;
            }
        } else if (box.type == "\xa9mak" && info->make.isEmpty()) {
            info->make = boxText(d, box.payload + 4, box.end - box.payload - 4);
        } else if (box.type == "\xa9mod" && info->model.isEmpty()) {
            info->model = boxText(d, box.payload + 4, box.end - box.payload - 4);
        }
        at = box.end;
    }
}

void walk(QIODevice &d, qint64 from, qint64 to, int depth, MovieInfo *info)
{
    qint64 at = from;
    for (int count = 0; count < kMaxBoxesPerLevel && at < to; ++count) {
        Box box;
        if (!readBox(d, at, to, &box))
            return;
        if (depth == 0 && box.type == "moov") {
            walk(d, box.payload, box.end, depth + 1, info);
        } else if (box.type == "mvhd" && depth == 1) {
            if (!info->creationUtc)
                info->creationUtc = movieHeaderTime(d, box);
        } else if (box.type == "uuid" && depth == 1) {
            char uuid[16];
            if (box.end - box.payload >= 16 && readExactly(d, box.payload, uuid, 16)
                && memcmp(uuid, kCanonUuid, 16) == 0)
                walk(d, box.payload + 16, box.end, depth + 1, info);
        } else if (depth == 1 && (box.type == "meta" || box.type == "udta")) {
            readMetadata(d, box, info);
        } else if (depth == 2 && box.type.startsWith("CMT")) {
            const qint64 n = box.end - box.payload;
            if (n > 8 && n <= kMaxTiffBlock) {
                QByteArray block(n, Qt::Uninitialized);
                if (readExactly(d, box.payload, block.data(), n))
                    info->canonTiff << block;
            }
        }
        at = box.end;
    }
}

} // namespace

QHash<QString, QString> readX3fProperties(QIODevice &d)
{
    QHash<QString, QString> props;
    const qint64 size = d.size();
    char buf[24];
    if (size < 32 || !readExactly(d, 0, buf, 4) || memcmp(buf, "FOVb", 4) != 0
        || !readExactly(d, size - 4, buf, 4))
        return props;
    const qint64 dir = qFromLittleEndian<quint32>(buf);
    if (dir > size - 12 || !readExactly(d, dir, buf, 12) || memcmp(buf, "SECd", 4) != 0)
        return props;
    const quint32 entries = qFromLittleEndian<quint32>(buf + 8);
    for (quint32 e = 0; e < entries && e < 1024; ++e) {
        if (!readExactly(d, dir + 12 + 12 * qint64(e), buf, 12))
            return props;
        if (memcmp(buf + 8, "PROP", 4) != 0)
            continue;
        const qint64 at = qFromLittleEndian<quint32>(buf), length = qFromLittleEndian<quint32>(buf + 4);
        // The section: "SECp", version, count, format (0 = UTF-16), reserved,
        // character count, then count name/value offsets, then the characters.
        if (at > size || length > size - at || length < 24 || length > (1 << 20))
            return props;
        QByteArray section(length, Qt::Uninitialized);
        if (!readExactly(d, at, section.data(), length) || !section.startsWith("SECp"))
            return props;
        const quint32 count = qFromLittleEndian<quint32>(section.constData() + 8);
        const quint32 format = qFromLittleEndian<quint32>(section.constData() + 12);
        const qint64 textAt = 24 + 8 * qint64(count);
        if (format != 0 || textAt > length)
            return props;
        const qint64 chars = (length - textAt) / 2;
        const auto *text = reinterpret_cast<const uchar *>(section.constData() + textAt);
        const auto stringAt = [&](qint64 index) {
            QString s;
            for (qint64 i = index; i >= 0 && i < chars && i < index + kMaxText; ++i) {
                const char16_t c = qFromLittleEndian<quint16>(text + 2 * i);
                if (c == 0)
                    break;
                s.append(QChar(c));
            }
            return s;
        };
        for (quint32 i = 0; i < count && i < quint32(kMaxBoxesPerLevel); ++i) {
            const uchar *pair = reinterpret_cast<const uchar *>(section.constData()) + 24 + 8 * i;
            props.insert(stringAt(qFromLittleEndian<quint32>(pair)), stringAt(qFromLittleEndian<quint32>(pair + 4)));
        }
        return props;
    }
    return props;
}

MovieInfo readMovie(QIODevice &device)
{
    MovieInfo info;
    const qint64 size = device.size();
    Box first;
    // ftyp first (ISO media), or a QuickTime file's own first boxes.
    if (!readBox(device, 0, size, &first))
        return info;
    static const char *const kFirst[] = {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"};
    for (const char *t : kFirst)
        info.isBoxFile = info.isBoxFile || first.type == t;
    if (!info.isBoxFile)
        return info;
    walk(device, 0, size, 0, &info);
    return info;
}

} // namespace pixplot::boxreader
