// Feeds arbitrary bytes to the AVCHD stream reader, and checks that it
// reads no further than its bound and returns a time only from a stream.
#include "core/mtsreader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const pixplot::mtsreader::StreamInfo info = pixplot::mtsreader::readStream(buffer);
    if (info.bytesRead > qMin<qint64>(qint64(size), pixplot::mtsreader::kMaxScan))
        std::abort();
    if (!info.isTransportStream && (!info.shotTime.isEmpty() || info.bytesRead > 0))
        std::abort();
    if (!info.shotTime.isEmpty() && info.shotTime.size() != 19)
        std::abort();
    if (info.utcOffset && (*info.utcOffset < -15 * 3600 || *info.utcOffset > 16 * 3600))
        std::abort();
    // The packs alone, as a payload of any length.
    pixplot::mtsreader::StreamInfo packs;
    if (pixplot::mtsreader::readMdpm(bytes, &packs) && packs.shotTime.size() != 19)
        std::abort();
    return 0;
}
