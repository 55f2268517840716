// The clock-shift suggestion over 10,000 photos and a 1,000,000-point path
// (one fix a second for eleven and a half days, with a gap every day), with
// the camera six hours ahead: it must take under a second.
#include "core/photomatch.h"
#include "core/nmeasentence.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

using namespace pixplot;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr qint64 kPoints = 1000000;
    constexpr qint64 kPhotos = 10000;
    const qint64 start = 1273000000; // 2010-05-04 UTC
    QList<PathPoint> path;
    path.reserve(kPoints);
    for (qint64 i = 0; i < kPoints; ++i) {
        // An hour without fixes every day: the path's time has gaps.
        const qint64 utc = start + i + (i / 82800) * 3600;
        path.append(systemfinction::makePathPoint(utc, QByteArrayLiteral("N31\xb0" "50.0000',E118\xb0" "46.0000'")));
    }
    std::vector<qint64> photos;
    photos.reserve(kPhotos);
    for (qint64 k = 0; k < kPhotos; ++k)
        photos.push_back(path.at(k * (kPoints / kPhotos)).utcSeconds() + 6 * 3600);

    QElapsedTimer timer;
    timer.start();
    const pixplot::photomatch::PathTimes times(path, pixplot::photomatch::kDefaultMaxGap,
                                               pixplot::photomatch::kDefaultTolerance);
    const pixplot::photomatch::OffsetSuggestion s = pixplot::photomatch::suggestOffset(photos, times);
    const qint64 ms = timer.elapsed();
    const QString best = pixplot::photomatch::suggestionLine(s.best.first(), s.photos);
    std::printf("suggestion over %lld photos and %lld points: %lld ms (best %s; target < 1000 ms)\n",
                kPhotos, kPoints, ms, best.toUtf8().constData());
    return ms < 1000 && s.best.first().shift == -6 * 3600 ? 0 : 1;
}
