#include "framedecoder.h"

namespace trekport {

std::optional<QString> FrameDecoder::DecodeFrameByte(quint8 byte, PointStore &store, int row)
{
    auto &b = frameBuffer_;
    b[frameIndex_] = byte;
    switch (frameIndex_) {
    case 1:
        // Unsigned: a record number of 0xFFFF is 65535, not a negative one.
        store.setNumber(row, ColRecord, quint32(b[0] * 256 + b[1]), 3);
        break;
    case 2:
        store.setMarked(row, b[2] != 0x41);
        break;
    case 3:
        store.setNumber(row, ColMonth, b[3], 2);
        break;
    case 4:
        store.setNumber(row, ColDay, b[4], 2);
        break;
    case 5:
        store.setNumber(row, ColHour, b[5], 2);
        break;
    case 6:
        store.setNumber(row, ColMinute, b[6], 2);
        break;
    case 7:
        store.setNumber(row, ColSecond, b[7], 2);
        break;
    case 8:
        store.setNumber(row, ColLatDeg, b[8], 2);
        break;
    case 11:
        store.setMinutes(row, ColLatMin, b[9], minutesFraction(b[10], b[11]));
        break;
    case 12:
        store.setNumber(row, ColLonDeg, b[12], 3);
        break;
    case 15:
        store.setMinutes(row, ColLonMin, b[13], minutesFraction(b[14], b[15]));
        break;
    default:
        break;
    }
    if (frameIndex_ < 15) {
        ++frameIndex_;
        return std::nullopt;
    }
    frameIndex_ = 0;
    return store.line(row);
}

} // namespace trekport
