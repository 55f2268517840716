#include "core/cameraclock.h"

#include <algorithm>
#include <cmath>

namespace pixplot::cameraclock {

QString unknownCamera()
{
    return QStringLiteral("未知相机");
}

QString allCameras()
{
    return QStringLiteral("所有相机");
}

QString displayName(const QString &camera)
{
    if (camera.isEmpty())
        return unknownCamera();
    // Most models repeat the maker's name ("Canon Canon EOS 40D", "NIKON
    // CORPORATION NIKON D70"): the list shows the model from there on.
    const QStringList words = camera.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k < words.size(); ++k)
        if (words.at(k).compare(words.first(), Qt::CaseInsensitive) == 0)
            return words.mid(k).join(QLatin1Char(' '));
    return camera;
}

bool namesCamera(const QString &name, const QString &camera)
{
    if (camera.isEmpty())
        return name == unknownCamera();
    // Whole words of the camera's text: the model alone, or with its serial
    // number left off, names it too.
    return (QLatin1Char(' ') + camera + QLatin1Char(' ')).contains(QLatin1Char(' ') + name.trimmed() + QLatin1Char(' '));
}

qint64 Clock::correctionAt(qint64 cameraSeconds) const
{
    if (syncs_.isEmpty())
        return fixed_;
    const Sync &a = syncs_.first();
    if (syncs_.size() == 1 || cameraSeconds <= a.cameraSeconds)
        return a.correction;
    const Sync &b = syncs_.last();
    if (cameraSeconds >= b.cameraSeconds)
        return b.correction;
    const double f = double(cameraSeconds - a.cameraSeconds) / double(b.cameraSeconds - a.cameraSeconds);
    return a.correction + qint64(std::llround(f * double(b.correction - a.correction)));
}

void Clock::setFixed(qint64 seconds)
{
    fixed_ = seconds;
    syncs_.clear();
}

void Clock::addSync(const Sync &sync)
{
    syncs_.removeIf([&](const Sync &s) { return s.cameraSeconds == sync.cameraSeconds; });
    if (syncs_.size() == 2)
        syncs_.removeFirst();
    syncs_.append(sync);
    std::sort(syncs_.begin(), syncs_.end(),
              [](const Sync &x, const Sync &y) { return x.cameraSeconds < y.cameraSeconds; });
}

void Clock::shift(qint64 seconds)
{
    fixed_ += seconds;
    for (Sync &s : syncs_)
        s.correction += seconds;
}

std::optional<double> Clock::driftPerDay() const
{
    if (syncs_.size() < 2)
        return std::nullopt;
    const Sync &a = syncs_.first();
    const Sync &b = syncs_.last();
    return double(b.correction - a.correction) * 86400.0 / double(b.cameraSeconds - a.cameraSeconds);
}

QString signedText(qint64 seconds)
{
    const qint64 a = std::abs(seconds);
    return QStringLiteral("%1%2:%3:%4")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(a / 3600, 2, 10, QLatin1Char('0'))
        .arg(a / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(a % 60, 2, 10, QLatin1Char('0'));
}

QString driftText(double secondsPerDay)
{
    return QStringLiteral("漂移 %1 秒/天").arg(secondsPerDay, 0, 'f', 1);
}

QString correctionSentence(qint64 seconds)
{
    if (seconds == 0)
        return QStringLiteral("相机与GPS时间一致：照片时间不变");
    const qint64 a = std::abs(seconds);
    QString amount = QStringLiteral("%1 分 %2 秒").arg(a / 60 % 60).arg(a % 60);
    if (a >= 3600)
        amount = QStringLiteral("%1 小时 ").arg(a / 3600) + amount;
    const QString hms = signedText(a).mid(1);
    return seconds < 0 ? QStringLiteral("相机比GPS快 %1：照片时间将减去 %2").arg(amount, hms)
                       : QStringLiteral("相机比GPS慢 %1：照片时间将加上 %2").arg(amount, hms);
}

} // namespace pixplot::cameraclock
