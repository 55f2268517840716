#pragma once
// A small reader of AVCHD video (MPEG-2 transport streams, .MTS/.M2TS): the
// recording time the camera carries in the H.264 stream, as "MDPM" packs of
// the SEI user data (date and time in BCD, with a time-zone byte). Only the
// head of a stream is read: the first picture carries the packs.
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <optional>

namespace pixplot::mtsreader {

// How far into a stream the packs are looked for: the first picture of a
// camera's recording is within its first megabytes; a stream without them
// (or an endless one) is not read further.
inline constexpr qint64 kMaxScan = qint64(8) << 20;

struct StreamInfo {
    bool isTransportStream = false;  // 188- or 192-byte packets with their sync bytes
    QString shotTime;                // YYYY-MM-DD hh:mm:ss, the camera's clock; "" when none
    std::optional<qint32> utcOffset; // seconds east of UTC, daylight saving included
    QString make;                    // the maker the packs name, "" when unknown
    qint64 bytesRead = 0;            // how much of the device was read
};

// True when head (the first bytes of a file) starts as a transport stream.
bool looksLikeTransportStream(QByteArrayView head);

// Reads the stream's tables and the first pictures of its H.264 video.
StreamInfo readStream(QIODevice &device);

// The packs of one SEI user-data payload after its 16-byte identifier
// ("MDPM", a count, then five-byte packs) into *info; false when there is
// no valid date and time among them.
bool readMdpm(QByteArrayView packs, StreamInfo *info);

} // namespace pixplot::mtsreader
