#include "framealigner.h"

#include <algorithm>

namespace trekport {
namespace {

constexpr int frameBytes = 16;

quint16 recordOf(const uchar *f)
{
    return quint16((f[0] << 8) | f[1]);
}

} // namespace

bool FrameAligner::isPossible(const uchar *f)
{
    const int month = f[3], day = f[4], hour = f[5], minute = f[6], second = f[7];
    const int latDeg = f[8], latWhole = f[9], lonDeg = f[12], lonWhole = f[13];
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59
        && latDeg <= 90 && latWhole <= 59 && lonDeg <= 180 && lonWhole <= 59;
}

void FrameAligner::restart()
{
    pending_.clear();
    pos_ = 0;
    havePrevious_ = false;
    previousPossible_ = false;
    untouched_ = true;
}

int FrameAligner::takeSkipped()
{
    const int n = skipped_;
    skipped_ = 0;
    return n;
}

QByteArray FrameAligner::push(QByteArrayView bytes)
{
    pending_.append(bytes);
    return judge(false);
}

QByteArray FrameAligner::finish()
{
    return judge(true);
}

// Possible frames plus record numbers that follow their predecessor, over
// `frames` frames from offset `from`: an aligned stream scores about twice
// its frame count, a shifted one next to nothing.
int FrameAligner::score(qsizetype from, int frames, int *possible) const
{
    const auto *d = reinterpret_cast<const uchar *>(pending_.constData()) + from;
    int s = 0;
    *possible = 0;
    for (int k = 0; k < frames; ++k) {
        const uchar *f = d + qsizetype(k) * frameBytes;
        if (isPossible(f)) {
            ++*possible;
            ++s;
        }
        if (k > 0 && recordOf(f) == quint16(recordOf(f - frameBytes) + 1))
            ++s;
    }
    return s;
}

QByteArray FrameAligner::judge(bool final)
{
    QByteArray out;
    const auto *d = reinterpret_cast<const uchar *>(pending_.constData());
    const auto accept = [&](const uchar *f, bool possible) {
        out.append(reinterpret_cast<const char *>(f), frameBytes);
        havePrevious_ = true;
        previousPossible_ = possible;
        previousRecord_ = recordOf(f);
        pos_ += frameBytes;
        untouched_ = false;
    };
    const auto drop = [&](qsizetype bytes) {
        pos_ += bytes;
        ++skipped_;
        havePrevious_ = false;
        previousPossible_ = false;
        untouched_ = false;
    };
    while (pending_.size() - pos_ >= frameBytes) {
        const qsizetype avail = pending_.size() - pos_;
        const uchar *f = d + pos_;
        const bool possible = isPossible(f);
        if (possible && (!havePrevious_ || recordOf(f) == quint16(previousRecord_ + 1))) {
            accept(f, true);
            continue;
        }
        // Doubtful: decide once the frames after it are here (or no more come).
        if (!final && avail < frameBytes - 1 + qsizetype(lookahead) * frameBytes)
            break;
        const int here = int(std::min<qsizetype>(lookahead, avail / frameBytes));
        int possibleHere = 0;
        const int scoreHere = score(pos_, here, &possibleHere);
        int best = 0, bestScore = scoreHere, bestPossible = 0, bestFrames = 0;
        for (int offset = 1; offset < frameBytes; ++offset) {
            const int frames = int(std::min<qsizetype>(lookahead, (avail - offset) / frameBytes));
            if (frames < 1)
                break;
            int p = 0;
            const int s = score(pos_ + offset, frames, &p);
            if (s > bestScore) {
                best = offset;
                bestScore = s;
                bestPossible = p;
                bestFrames = frames;
            }
        }
        // Another offset clearly reads as a logger's stream: bytes were lost.
        if (best > 0 && bestScore >= scoreHere + 2 && 2 * bestPossible > bestFrames) {
            drop(best);
            continue;
        }
        // An odd frame among sensible ones is the logger's own, and so is a
        // single frame that is all the upload brought; at the end of the
        // stream a length that is not whole frames says bytes went missing.
        bool keep = possible || possibleHere > 0;
        if (!keep && final)
            keep = avail % frameBytes == 0 && (previousPossible_ || (here == 1 && untouched_));
        if (keep)
            accept(f, possible);
        else
            drop(frameBytes);
    }
    if (final && pos_ < pending_.size())
        drop(pending_.size() - pos_);
    if (pos_ == pending_.size()) {
        pending_.clear();
        pos_ = 0;
    } else if (pos_ >= 4096) {
        pending_.remove(0, pos_);
        pos_ = 0;
    }
    return out;
}

} // namespace trekport
