#pragma once
// Turns the logger's byte stream into track points: 16 bytes per point, the
// frame position counted from the last upload request.
#include "pointstore.h"

#include <QByteArray>
#include <QStringList>
#include <array>
#include <optional>

namespace trekport {

class FrameDecoder {
public:
    // The upload request starts counting afresh.
    void restart() { frameIndex_ = 0; }
    int frameIndex() const { return frameIndex_; }

    // Stores one byte at the current frame position and writes the cell it
    // completes into store row `row` (the list's current line count). Returns
    // the list line when the byte completes a point.
    std::optional<QString> DecodeFrameByte(quint8 byte, PointStore &store, int row);

private:
    std::array<int, 16> frameBuffer_{};
    int frameIndex_ = 0;
};

} // namespace trekport
