// Feeds arbitrary bytes to the box reader as a movie file, and checks that
// what it returns stays inside what the bytes could hold.
#include "core/boxreader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const pixplot::boxreader::MovieInfo info = pixplot::boxreader::readMovie(buffer);
    qint64 total = 0;
    for (const QByteArray &block : info.canonTiff)
        total += block.size();
    if (total > qint64(size))
        std::abort(); // every block is a part of the file, read once
    if (info.creationUtc && *info.creationUtc < -pixplot::boxreader::kQuickTimeEpochOffset)
        std::abort();
    if (!info.isBoxFile && (info.creationUtc || !info.canonTiff.isEmpty()))
        std::abort();
    QBuffer again(&bytes);
    again.open(QIODevice::ReadOnly);
    const auto props = pixplot::boxreader::readX3fProperties(again);
    if (props.size() > 4096)
        std::abort(); // the entry limit holds
    return 0;
}
