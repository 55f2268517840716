#pragma once
// Finds the logger's 16-byte frames in the received bytes. Frames of an
// aligned stream pass as they arrive, odd ones included (a logger's memory
// may hold them). A frame no logger sends, or one whose record number does
// not follow, holds the listing back until the frames after it show whether
// the stream lost a byte; if it did, listing resumes at the offset where
// frames make sense again and the frames in between are counted as skipped.
#include <QByteArray>
#include <QByteArrayView>

namespace trekport {

class FrameAligner {
public:
    // Frames looked at ahead of a doubtful one before deciding.
    static constexpr int lookahead = 8;

    // The upload request: counting starts afresh, a partial frame is dropped.
    void restart();
    // Bytes held of the frame being received (0 to 15 in an aligned stream).
    int frameIndex() const { return int((pending_.size() - pos_) % 16); }
    // Bytes received but not yet passed on or skipped.
    qsizetype held() const { return pending_.size() - pos_; }

    // Adds received bytes; returns the whole frames that may be listed now.
    QByteArray push(QByteArrayView bytes);
    // The stream has gone quiet: decides what is held with what there is.
    // Bytes left over that do not make a frame count as one skipped frame.
    QByteArray finish();

    // Frames skipped since the last call (a lost byte, garbage, leftovers).
    int takeSkipped();

    // A frame whose values a logger can hold: a date, a time of day and a
    // position that exist (kind and fraction bytes are not judged).
    static bool isPossible(const uchar *frame);

private:
    QByteArray judge(bool final);
    int score(qsizetype from, int frames, int *possible) const;

    QByteArray pending_;
    qsizetype pos_ = 0;
    int skipped_ = 0;
    bool havePrevious_ = false;
    bool previousPossible_ = false;
    quint16 previousRecord_ = 0;
    bool untouched_ = true; // nothing passed on or skipped since the request
};

} // namespace trekport
