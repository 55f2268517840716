// Feeds arbitrary bytes to the AVI chunk reader and to the Kyocera raw
// header, and checks that what they return is a time or nothing, and
// nothing from a file they did not take.
#include "core/kyoceraraw.h"
#include "core/riffreader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkTime(const QString &time)
{
    if (!time.isEmpty() && time.size() != 19)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const pixplot::riffreader::AviInfo avi = pixplot::riffreader::readAvi(buffer);
    checkTime(avi.shotTime);
    if (avi.isAvi != pixplot::riffreader::looksLikeAvi(bytes) || (!avi.isAvi && !avi.shotTime.isEmpty()))
        std::abort();
    checkTime(pixplot::riffreader::iditTime(bytes.left(64)));
    const pixplot::kyoceraraw::Header raw = pixplot::kyoceraraw::readHeader(buffer);
    checkTime(raw.shotTime);
    if (raw.isKyocera != pixplot::kyoceraraw::looksLikeKyocera(bytes.left(pixplot::kyoceraraw::kHeadSize)))
        std::abort();
    return 0;
}
