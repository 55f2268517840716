#include "common/rounding.h"

#include <cmath>

namespace common {

qint64 roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return qint64(floor);
    if (diff > 0.5)
        return qint64(floor) + 1;
    const qint64 f = qint64(floor);
    return (f % 2 == 0) ? f : f + 1;
}

int twipsToPixels(qint64 twips)
{
    return int(roundHalfEven(double(twips) / TwipsPerPixel));
}

qint64 pixelsToTwips(double pixels)
{
    return roundHalfEven(pixels * TwipsPerPixel);
}

} // namespace common
