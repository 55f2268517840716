#include "framedecoder.h"

namespace trekport {

std::optional<QString> FrameDecoder::DecodeFrameByte(quint8 byte, PointStore &store, int row)
{
    auto &b = frameBuffer_;
    b[frameIndex_] = byte;
    TrackRow &r = store.row(row);
    switch (frameIndex_) {
    case 1:
        // Unsigned: a record number of 0xFFFF is 65535, not a negative one.
        r[ColRecord] = pad(b[0] * 256 + b[1], 3);
        break;
    case 2: r[ColKind] = b[2] == 0x41 ? kindAuto : kindMarked; break;
    case 3: r[ColMonth] = pad(b[3], 2); break;
    case 4: r[ColDay] = pad(b[4], 2); break;
    case 5: r[ColHour] = pad(b[5], 2); break;
    case 6: r[ColMinute] = pad(b[6], 2); break;
    case 7: r[ColSecond] = pad(b[7], 2); break;
    case 8: r[ColLatDeg] = pad(b[8], 2); break;
    case 11: r[ColLatMin] = minutesText(b[9], b[10], b[11]); break;
    case 12: r[ColLonDeg] = pad(b[12], 3); break;
    case 15: r[ColLonMin] = minutesText(b[13], b[14], b[15]); break;
    default: break;
    }
    if (frameIndex_ < 15) {
        ++frameIndex_;
        return std::nullopt;
    }
    frameIndex_ = 0;
    return listLine(r);
}

} // namespace trekport
