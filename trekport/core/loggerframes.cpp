#include "loggerframes.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <cmath>

namespace trekport {
namespace {

std::optional<quint8> byteOf(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > 255)
        return std::nullopt;
    return quint8(v);
}

// A decimal text as a byte would print it: no sign, no leading zero.
bool isPlainByteText(QStringView s)
{
    if (s.isEmpty() || s.size() > 3 || (s.size() > 1 && s.front() == u'0'))
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return s.toInt() <= 255;
}

} // namespace

std::optional<std::array<quint8, 3>> encodeMinutes(const QString &minutes)
{
    const qsizetype dot = minutes.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    const std::optional<quint8> whole = byteOf(minutes.left(dot));
    bool ok = false;
    const int fraction = minutes.mid(dot + 1).toInt(&ok);
    if (!whole || !ok || fraction < 0)
        return std::nullopt;
    // The decoder pads the joined number to four digits, so only the number
    // matters; split its digits into two byte texts.
    if (fraction <= 255)
        return std::array<quint8, 3>{*whole, 0, quint8(fraction)};
    const QString digits = QString::number(fraction);
    for (int k = 1; k < digits.size(); ++k) {
        const QStringView a = QStringView(digits).left(k);
        const QStringView b = QStringView(digits).mid(k);
        if (isPlainByteText(a) && isPlainByteText(b))
            return std::array<quint8, 3>{*whole, quint8(a.toInt()), quint8(b.toInt())};
    }
    return std::nullopt;
}

std::optional<QByteArray> encodeFrame(const TrackRow &r)
{
    bool ok = false;
    const int record = r[ColRecord].toInt(&ok);
    if (!ok || record < 0 || record > 0xFFFF)
        return std::nullopt;
    QByteArray f;
    f.reserve(frameSize);
    f.append(char(record >> 8)).append(char(record & 0xFF));
    f.append(char(r[ColKind] == kindAuto ? 0x41 : 0x4D));
    for (int c : {ColMonth, ColDay, ColHour, ColMinute, ColSecond, ColLatDeg}) {
        const std::optional<quint8> b = byteOf(r[c]);
        if (!b)
            return std::nullopt;
        f.append(char(*b));
    }
    const auto lat = encodeMinutes(r[ColLatMin]);
    const std::optional<quint8> lonDeg = byteOf(r[ColLonDeg]);
    const auto lon = encodeMinutes(r[ColLonMin]);
    if (!lat || !lonDeg || !lon)
        return std::nullopt;
    for (quint8 b : *lat)
        f.append(char(b));
    f.append(char(*lonDeg));
    for (quint8 b : *lon)
        f.append(char(b));
    return f;
}

QByteArray generateFrames(int count, int markEvery, quint32 variant)
{
    QRandomGenerator rng(variant);
    QByteArray out;
    out.reserve(count * frameSize);
    for (int i = 0; i < count; ++i) {
        const int record = (i + 1) & 0xFFFF;
        const bool marked = markEvery > 0 && (i + 1) % markEvery == 0;
        const quint8 f[frameSize] = {
            quint8(record >> 8),          quint8(record & 0xFF),       quint8(marked ? 0x4D : 0x41),
            quint8(rng.bounded(1, 13)),   quint8(rng.bounded(1, 29)),  quint8(rng.bounded(0, 24)),
            quint8(rng.bounded(0, 60)),   quint8(rng.bounded(0, 60)),  quint8(rng.bounded(18, 54)),
            quint8(rng.bounded(0, 60)),   quint8(rng.bounded(0, 100)), quint8(rng.bounded(0, 100)),
            quint8(rng.bounded(73, 136)), quint8(rng.bounded(0, 60)),  quint8(rng.bounded(0, 100)),
            quint8(rng.bounded(0, 100)),
        };
        out.append(reinterpret_cast<const char *>(f), frameSize);
    }
    return out;
}

namespace {
// Degrees and minutes cells of a coordinate; the last fraction digit is
// nudged (0.0001' is a few centimetres) where the two fraction bytes cannot
// spell the fraction.
std::optional<std::pair<QString, QString>> coordinateCells(double degrees)
{
    const int whole = int(degrees);
    const double minutes = (degrees - whole) * 60.0;
    int tenThousandths = int(std::lround(minutes * 10000.0));
    for (int nudge = 0; nudge < 20; ++nudge, ++tenThousandths) {
        const int m = tenThousandths / 10000 % 60;
        const QString cell = QString::asprintf("%02d.%04d", m, tenThousandths % 10000);
        if (encodeMinutes(cell))
            return std::pair{QString::number(whole), cell};
    }
    return std::nullopt;
}
} // namespace

QByteArray generateTrip(int count, int markEvery, quint32 variant)
{
    constexpr double pi = 3.14159265358979323846;
    constexpr double metresPerDegree = 111320.0;
    constexpr int secondsPerPoint = 5;
    constexpr double speed = 10.0; // metres per second
    // Ten hours of driving a day, from 09:00; the next day starts where the
    // last one stopped.
    constexpr int pointsPerDay = 10 * 3600 / secondsPerPoint;
    // The road keeps turning one way, about 20 km around, so a trip of any
    // length stays in the same country side instead of drifting away.
    constexpr double turnPerPoint = speed * secondsPerPoint / 20000.0;
    QRandomGenerator rng(variant);
    const double baseHeading = rng.bounded(360.0) * pi / 180.0;
    double lat = 31.83 + rng.bounded(0.05);
    double lon = 118.77 + rng.bounded(0.05);
    const QDateTime start(QDate(2026, 5, 12), QTime(9, 0, 0));
    QByteArray out;
    out.reserve(qsizetype(count) * frameSize);
    for (int i = 0; i < count; ++i) {
        const QDateTime t =
            start.addDays(i / pointsPerDay).addSecs(qint64(i % pointsPerDay) * secondsPerPoint);
        const bool marked = markEvery > 0 && (i + 1) % markEvery == 0;
        TrackRow row;
        // The logger's counter has 16 bits: it wraps as the logger's does.
        row[ColRecord] = QString::number((i + 1) & 0xFFFF);
        row[ColKind] = marked ? kindMarked : kindAuto;
        row[ColMonth] = QString::number(t.date().month());
        row[ColDay] = QString::number(t.date().day());
        row[ColHour] = QString::number(t.time().hour());
        row[ColMinute] = QString::number(t.time().minute());
        row[ColSecond] = QString::number(t.time().second());
        const auto latCells = coordinateCells(lat);
        const auto lonCells = coordinateCells(lon);
        // Positions near Nanjing always have cells a frame can carry.
        Q_ASSERT(latCells && lonCells);
        row[ColLatDeg] = latCells->first;
        row[ColLatMin] = latCells->second;
        row[ColLonDeg] = lonCells->first;
        row[ColLonMin] = lonCells->second;
        const std::optional<QByteArray> frame = encodeFrame(row);
        Q_ASSERT(frame);
        out += frame.value_or(QByteArray(frameSize, '\0'));
        // The road bends slowly either way while it turns.
        const double heading = baseHeading + turnPerPoint * i + 0.6 * std::sin(i / 40.0);
        const double step = speed * secondsPerPoint;
        lat += step * std::cos(heading) / metresPerDegree;
        lon += step * std::sin(heading) / (metresPerDegree * std::cos(lat * pi / 180.0));
    }
    return out;
}

} // namespace trekport
