#include "core/mtsreader.h"

#include "core/datetimetext.h"

#include <QSet>

#include <cstring>

namespace pixplot::mtsreader {

namespace {

constexpr int kTsPacket = 188;
// The start of each picture holds its SEI; the slices after it are not needed.
constexpr qsizetype kMaxPesHead = 64 << 10;
// The SEI identifier of the camera's metadata: 17ee8c60-f84d-11d9-8cd6-0800200c9a66.
const char kMdpmUuid[16] = {'\x17', '\xee', '\x8c', '\x60', '\xf8', '\x4d', '\x11', '\xd9',
                            '\x8c', '\xd6', '\x08', '\x00', '\x20', '\x0c', '\x9a', '\x66'};
constexpr quint8 kStreamTypeH264 = 0x1b;

quint8 byteAt(QByteArrayView v, qsizetype i)
{
    return quint8(v.at(i));
}

// A PSI section (PAT or PMT) at the start of a packet's payload: after its
// pointer field, the section as far as its length says and the packet holds,
// without the CRC. Empty when it does not fit.
QByteArrayView section(QByteArrayView payload, quint8 tableId)
{
    if (payload.isEmpty())
        return {};
    const qsizetype at = 1 + byteAt(payload, 0);
    if (payload.size() < at + 3 || byteAt(payload, at) != tableId)
        return {};
    const qsizetype length = ((byteAt(payload, at + 1) & 0x0f) << 8) | byteAt(payload, at + 2);
    if (length < 9 || payload.size() < at + 3 + length)
        return {};
    return payload.sliced(at, 3 + length - 4);
}

void readPat(QByteArrayView payload, QSet<int> *pmtPids)
{
    const QByteArrayView s = section(payload, 0x00);
    for (qsizetype i = 8; i + 4 <= s.size(); i += 4) {
        const int program = (byteAt(s, i) << 8) | byteAt(s, i + 1);
        if (program != 0) // 0 names the network table
            pmtPids->insert(((byteAt(s, i + 2) & 0x1f) << 8) | byteAt(s, i + 3));
    }
}

// The PID of the program's first H.264 stream, -1 when none.
int readPmt(QByteArrayView payload)
{
    const QByteArrayView s = section(payload, 0x02);
    if (s.size() < 12)
        return -1;
    qsizetype i = 12 + (((byteAt(s, 10) & 0x0f) << 8) | byteAt(s, 11));
    while (i + 5 <= s.size()) {
        const quint8 type = byteAt(s, i);
        const int pid = ((byteAt(s, i + 1) & 0x1f) << 8) | byteAt(s, i + 2);
        if (type == kStreamTypeH264)
            return pid;
        i += 5 + (((byteAt(s, i + 3) & 0x0f) << 8) | byteAt(s, i + 4));
    }
    return -1;
}

// The elementary stream's bytes in a PES packet's first piece; empty when
// the header does not fit or is no video PES.
QByteArrayView pesPayload(QByteArrayView payload)
{
    if (payload.size() < 9 || byteAt(payload, 0) != 0 || byteAt(payload, 1) != 0 || byteAt(payload, 2) != 1
        || (byteAt(payload, 3) & 0xf0) != 0xe0)
        return {};
    const qsizetype at = 9 + byteAt(payload, 8);
    return at <= payload.size() ? payload.sliced(at) : QByteArrayView();
}

// A NAL unit's payload without the bytes that keep start codes out of it
// (00 00 03 carries 00 00).
QByteArray unescape(QByteArrayView nal)
{
    QByteArray out;
    out.reserve(nal.size());
    int zeros = 0;
    for (const char c : nal) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

// The SEI messages of one NAL unit: the user data with the MDPM identifier.
bool readSei(QByteArrayView rbsp, StreamInfo *info)
{
    qsizetype at = 0;
    const auto number = [&](qint64 *value) {
        *value = 0;
        while (at < rbsp.size() && byteAt(rbsp, at) == 0xff) {
            *value += 255;
            ++at;
        }
        if (at >= rbsp.size())
            return false;
        *value += byteAt(rbsp, at++);
        return true;
    };
    // The last byte is the stop bit's.
    while (at < rbsp.size() && byteAt(rbsp, at) != 0x80) {
        qint64 type = 0, size = 0;
        if (!number(&type) || !number(&size) || size > rbsp.size() - at)
            return false;
        const QByteArrayView payload = rbsp.sliced(at, size);
        if (type == 5 && size >= 20 && std::memcmp(payload.data(), kMdpmUuid, 16) == 0
            && readMdpm(payload.sliced(16), info))
            return true;
        at += size;
    }
    return false;
}

// Every SEI NAL unit in the head of one picture.
bool scanPicture(QByteArrayView es, StreamInfo *info)
{
    static const QByteArrayView kStart("\0\0\1", 3);
    qsizetype at = es.indexOf(kStart);
    while (at >= 0) {
        const qsizetype start = at + 3;
        const qsizetype next = es.indexOf(kStart, start);
        QByteArrayView nal = es.sliced(start, (next < 0 ? es.size() : next) - start);
        while (!nal.isEmpty() && nal.back() == 0) // a four-byte start code's first zero
            nal.chop(1);
        if (!nal.isEmpty() && (byteAt(nal, 0) & 0x1f) == 6 && readSei(unescape(nal.sliced(1)), info))
            return true;
        at = next;
    }
    return false;
}

int bcd(quint8 b)
{
    return (b >> 4) > 9 || (b & 0x0f) > 9 ? -1 : (b >> 4) * 10 + (b & 0x0f);
}

// 192 for .M2TS (each packet after a four-byte arrival time), 188 for a
// plain transport stream, 0 when the head has no sync bytes where either
// would have them.
qsizetype packetSize(QByteArrayView head)
{
    const auto sync = [&](qsizetype at) { return head.size() > at && head.at(at) == 0x47; };
    if (head.size() >= kTsPacket + 4 && sync(4) && (head.size() < 2 * (kTsPacket + 4) || sync(kTsPacket + 8)))
        return kTsPacket + 4;
    if (head.size() >= kTsPacket && sync(0) && (head.size() < 2 * kTsPacket || sync(kTsPacket)))
        return kTsPacket;
    return 0;
}

} // namespace

bool looksLikeTransportStream(QByteArrayView head)
{
    return packetSize(head) > 0;
}

bool readMdpm(QByteArrayView packs, StreamInfo *info)
{
    if (packs.size() < 5 || packs.first(4) != QByteArrayView("MDPM"))
        return false;
    const int count = byteAt(packs, 4);
    const quint8 *date = nullptr, *time = nullptr;
    for (int i = 0; i < count && 5 + 5 * qsizetype(i) + 5 <= packs.size(); ++i) {
        const auto *pack = reinterpret_cast<const quint8 *>(packs.data()) + 5 + 5 * i;
        if (pack[0] == 0x18)
            date = pack + 1; // time zone, century, year, month
        else if (pack[0] == 0x19)
            time = pack + 1; // day, hour, minute, second
        else if (pack[0] == 0xe0) {
            switch ((pack[1] << 8) | pack[2]) {
            case 0x0103:
                info->make = QStringLiteral("Panasonic");
                break;
            case 0x0108:
                info->make = QStringLiteral("Sony");
                break;
            case 0x1011:
                info->make = QStringLiteral("Canon");
                break;
            case 0x1104:
                info->make = QStringLiteral("JVC");
                break;
            default:
                break;
            }
        }
    }
    if (!date || !time)
        return false;
    const int century = bcd(date[1]), year = bcd(date[2]), month = bcd(date[3]);
    const int day = bcd(time[0]), hour = bcd(time[1]), minute = bcd(time[2]), second = bcd(time[3]);
    info->shotTime = century < 0 || year < 0
        ? QString()
        : systemfinction::cameraTimeText(century * 100 + year, month, day, hour, minute, second);
    if (info->shotTime.isEmpty())
        return false;
    // The zone: half an hour in bit 0, hours in bits 1-4, west in bit 5,
    // daylight saving (one hour more than the zone) in bit 6. All ones is
    // a camera whose zone was never set.
    const quint8 zone = date[0];
    const int hours = (zone >> 1) & 0x0f;
    if (zone != 0xff && hours <= 14) {
        const int east = hours * 3600 + (zone & 1 ? 1800 : 0);
        info->utcOffset = (zone & 0x20 ? -east : east) + (zone & 0x40 ? 3600 : 0);
    }
    return true;
}

StreamInfo readStream(QIODevice &d)
{
    StreamInfo info;
    QByteArray packet(2 * (kTsPacket + 4), Qt::Uninitialized);
    if (!d.seek(0))
        return info;
    const qint64 got = d.read(packet.data(), packet.size());
    const qsizetype size = got > 0 ? packetSize(QByteArrayView(packet.constData(), got)) : 0;
    if (size == 0)
        return info;
    info.isTransportStream = true;
    const qsizetype sync = size - kTsPacket;

    QSet<int> pmtPids;
    int videoPid = -1;
    QByteArray pes; // the head of the current picture's PES packet
    bool collecting = false;
    if (!d.seek(0))
        return info;
    info.bytesRead = 0;
    while (info.bytesRead + size <= kMaxScan) {
        if (d.read(packet.data(), size) != size)
            break;
        info.bytesRead += size;
        const QByteArrayView p(packet.constData() + sync, kTsPacket);
        if (byteAt(p, 0) != 0x47)
            break; // lost its packet boundaries: not read on as noise
        const int pid = ((byteAt(p, 1) & 0x1f) << 8) | byteAt(p, 2);
        const bool unitStart = byteAt(p, 1) & 0x40;
        const int control = (byteAt(p, 3) >> 4) & 3;
        qsizetype at = 4;
        if (control & 2)
            at += 1 + byteAt(p, 4);
        if (!(control & 1) || at >= kTsPacket)
            continue;
        const QByteArrayView payload = p.sliced(at);
        if (pid == 0 && unitStart) {
            readPat(payload, &pmtPids);
        } else if (videoPid < 0 && unitStart && pmtPids.contains(pid)) {
            videoPid = readPmt(payload);
        } else if (pid == videoPid && videoPid >= 0) {
            if (unitStart) {
                if (collecting && scanPicture(pes, &info))
                    return info;
                pes = pesPayload(payload).toByteArray();
                collecting = true;
            } else if (collecting && pes.size() < kMaxPesHead) {
                pes.append(payload.data(), payload.size());
            }
        }
    }
    if (collecting)
        scanPicture(pes, &info);
    return info;
}

} // namespace pixplot::mtsreader
