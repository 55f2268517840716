#pragma once
// The clock correction of one camera: a fixed number of seconds added to
// the camera's times, or what photos of a clock showed (one such photo gives
// a fixed correction, two at different times a drift between them), and
// the words the window shows for it.
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace pixplot::cameraclock {

// The camera list's name for photos whose camera is not known, and the
// choice that stands for every camera.
QString unknownCamera(); // "未知相机"
QString allCameras();    // "所有相机"
// camera as the lists show it.
QString displayName(const QString &camera);
// Whether a name the user typed ("Canon EOS R6", "未知相机") stands for camera.
bool namesCamera(const QString &name, const QString &camera);

// What a photo of a clock showed: the correction found at the camera's time.
struct Sync {
    qint64 cameraSeconds = 0; // the photo's camera time, calendar seconds
    qint64 correction = 0;    // the true time minus the camera time, seconds
};

class Clock {
public:
    // The seconds added to a camera time: the fixed correction, or from the
    // syncs (constant outside two of them, linear between).
    qint64 correctionAt(qint64 cameraSeconds) const;
    // A fixed correction; forgets the syncs.
    void setFixed(qint64 seconds);
    // Adds a sync; with one at another time already there, the two give the
    // drift (the older of two earlier ones goes). One at the same time
    // replaces it.
    void addSync(const Sync &sync);
    // Moves every correction by seconds (a zone mistake found later).
    void shift(qint64 seconds);
    const QList<Sync> &syncs() const { return syncs_; }
    // Seconds per day the camera's clock loses (positive: the correction
    // grows), from two syncs; nullopt without them.
    std::optional<double> driftPerDay() const;
    // The correction where it does not vary: the fixed one, or the first
    // sync's.
    qint64 baseCorrection() const { return syncs_.isEmpty() ? fixed_ : syncs_.first().correction; }
    bool isZero() const { return syncs_.isEmpty() && fixed_ == 0; }

private:
    qint64 fixed_ = 0;
    QList<Sync> syncs_; // by camera time, at most two
};

// "+hh:mm:ss" / "-hh:mm:ss" (hours as many as it takes).
QString signedText(qint64 seconds);
// "漂移 x 秒/天" with x to one decimal.
QString driftText(double secondsPerDay);
// What a correction does, in words: "相机比GPS快 2 分 0 秒：照片时间将减去
// 00:02:00" (negative), "相机比GPS慢 …：照片时间将加上 …" (positive).
QString correctionSentence(qint64 seconds);

} // namespace pixplot::cameraclock
