// Feeds arbitrary text to the RMC sentence parser and checks what an accepted
// fix must satisfy.
#include "core/datetimetext.h"
#include "core/nmeasentence.h"
#include "core/outputfiles.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using pixplot::GeoPoint;
using pixplot::PathPoint;
namespace systemfinction = pixplot::systemfinction;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const PathPoint p = systemfinction::ParseRmcSentence(line);
    if (p.position.isEmpty()) {
        if (!p.pointTime().isEmpty())
            std::abort();
        return 0;
    }
    // An accepted fix has a real local time and a position that reads back.
    if (!systemfinction::ParseDateTimeText(p.pointTime()) || p.pointTime().size() != 19)
        std::abort();
    const GeoPoint g = systemfinction::ParsePositionText(p.positionText());
    if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude))
        std::abort();
    (void)systemfinction::numberText(g.latitude);
    (void)systemfinction::numberText(g.longitude);
    (void)systemfinction::FormatNmeaAngle(line);
    return 0;
}
