#include "core/xmpsidecar.h"

#include "core/mediaformat.h"

#include "common/safefile.h"

#include <exiv2/exiv2.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace pixplot::xmpsidecar {

namespace {

const QString kXmp = QStringLiteral(".xmp");

// "31,50.12345678N": degrees and decimal minutes, the form XMP gives GPS
// coordinates. Eight decimals of a minute keep far below 1e-7 degree.
std::string coordinate(double value, char positive, char negative)
{
    const double a = std::fabs(value);
    int degrees = int(a);
    double minutes = (a - degrees) * 60.0;
    QString m = QString::number(minutes, 'f', 8);
    if (m.startsWith(QLatin1String("60"))) { // rounding reached the next degree
        ++degrees;
        m = QString::number(0.0, 'f', 8);
    }
    if (m.indexOf(QLatin1Char('.')) == 1)
        m.prepend(QLatin1Char('0'));
    return QStringLiteral("%1,%2%3")
        .arg(degrees)
        .arg(m)
        .arg(QLatin1Char(value < 0 ? negative : positive))
        .toStdString();
}

// A non-negative value as a rational with a fixed denominator.
std::string rational(double value, int denominator)
{
    return std::to_string(qint64(std::llround(value * denominator))) + "/" + std::to_string(denominator);
}

// "NAME" of "folder/NAME.EXT".
QString baseOf(const QFileInfo &info)
{
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

// NAME.xmp, when no other photo of that base name lies beside photoPath.
QString sharedSidecar(const QString &photoPath)
{
    const QFileInfo info(photoPath);
    const QString base = baseOf(info);
    const QString shared = info.absolutePath() + QLatin1Char('/') + base + kXmp;
    if (!QFileInfo::exists(shared))
        return {};
    const QStringList siblings =
        QDir(info.absolutePath()).entryList({base + QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    for (const QString &s : siblings)
        if (s != info.fileName() && mediaformat::formatOf(s))
            return {}; // another photo would read it as its own
    return shared;
}

} // namespace

QString sidecarPath(const QString &photoPath)
{
    const QString own = photoPath + kXmp;
    if (QFileInfo::exists(own))
        return own;
    const QString shared = sharedSidecar(photoPath);
    return shared.isEmpty() ? own : shared;
}

QStringList companions(const QString &photoPath)
{
    QStringList list;
    if (QFileInfo::exists(photoPath + kXmp))
        list << photoPath + kXmp;
    if (const QString shared = sharedSidecar(photoPath); !shared.isEmpty())
        list << shared;
    return list;
}

QString companionFor(const QString &companion, const QString &photoPath, const QString &newPhotoPath)
{
    if (companion == photoPath + kXmp)
        return newPhotoPath + kXmp;
    const QFileInfo info(newPhotoPath);
    return info.absolutePath() + QLatin1Char('/') + baseOf(info) + kXmp;
}

bool writeFix(const QString &photoPath, const Fix &fix, QString *written, QString *error)
{
    const auto held = mediaformat::holdExiv2();
    const QString target = sidecarPath(photoPath);
    if (written)
        *written = target;
    QString reason;
    if (!common::checkOutputTarget(target, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    try {
        Exiv2::XmpData xmp;
        if (QFileInfo::exists(target)) {
            QFile file(target);
            if (!file.open(QIODevice::ReadOnly)) {
                if (error)
                    *error = file.errorString();
                return false;
            }
            const QByteArray packet = file.readAll();
            // A sidecar that does not parse is someone's work we cannot keep:
            // it is left alone and the photo fails.
            if (Exiv2::XmpParser::decode(xmp, packet.toStdString()) != 0) {
                if (error)
                    *error = QStringLiteral("XMP附属文件无法解析");
                return false;
            }
        }
        // Replaced as a whole, so an earlier position never lingers beside the new one.
        for (auto it = xmp.begin(); it != xmp.end();) {
            if (it->key().rfind("Xmp.exif.GPS", 0) == 0)
                it = xmp.erase(it);
            else
                ++it;
        }
        xmp["Xmp.exif.GPSVersionID"] = "2.3.0.0";
        xmp["Xmp.exif.GPSLatitude"] = coordinate(fix.latitude, 'N', 'S');
        xmp["Xmp.exif.GPSLongitude"] = coordinate(fix.longitude, 'E', 'W');
        xmp["Xmp.exif.GPSMapDatum"] = "WGS-84";
        if (fix.utc.isValid())
            xmp["Xmp.exif.GPSTimeStamp"] =
                fix.utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toStdString();
        if (fix.altitude) {
            xmp["Xmp.exif.GPSAltitude"] = rational(std::fabs(*fix.altitude), 1000);
            xmp["Xmp.exif.GPSAltitudeRef"] = *fix.altitude < 0 ? "1" : "0";
        }
        if (fix.speedKmh) {
            xmp["Xmp.exif.GPSSpeed"] = rational(std::fabs(*fix.speedKmh), 1000);
            xmp["Xmp.exif.GPSSpeedRef"] = "K";
        }
        if (fix.track) {
            xmp["Xmp.exif.GPSTrack"] = rational(std::fmod(std::fmod(*fix.track, 360.0) + 360.0, 360.0), 100);
            xmp["Xmp.exif.GPSTrackRef"] = "T";
        }
        std::string packet;
        if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::omitPacketWrapper) != 0) {
            if (error)
                *error = QStringLiteral("无法生成XMP附属文件");
            return false;
        }
        return common::writeFileAtomically(target, QByteArray::fromStdString(packet), error);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
}

std::optional<GeoPoint> readPosition(const QString &sidecar)
{
    const auto held = mediaformat::holdExiv2();
    QFile file(sidecar);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        Exiv2::XmpData xmp;
        if (Exiv2::XmpParser::decode(xmp, file.readAll().toStdString()) != 0)
            return std::nullopt;
        const auto parse = [&xmp](const char *key) -> std::optional<double> {
            const auto it = xmp.findKey(Exiv2::XmpKey(key));
            if (it == xmp.end())
                return std::nullopt;
            // "DDD,MM.mmmmk" or "DDD,MM,SSk".
            QString s = QString::fromStdString(it->toString()).trimmed();
            if (s.size() < 2)
                return std::nullopt;
            const QChar ref = s.back().toUpper();
            s.chop(1);
            const QStringList parts = s.split(QLatin1Char(','));
            double value = 0, scale = 1;
            for (const QString &p : parts) {
                bool ok = false;
                value += p.toDouble(&ok) / scale;
                if (!ok)
                    return std::nullopt;
                scale *= 60;
            }
            if (ref == QLatin1Char('S') || ref == QLatin1Char('W'))
                value = -value;
            else if (ref != QLatin1Char('N') && ref != QLatin1Char('E'))
                return std::nullopt;
            return value;
        };
        const auto lat = parse("Xmp.exif.GPSLatitude");
        const auto lon = parse("Xmp.exif.GPSLongitude");
        if (!lat || !lon || std::fabs(*lat) > 90 || std::fabs(*lon) > 180)
            return std::nullopt;
        return GeoPoint{*lon, *lat};
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

} // namespace pixplot::xmpsidecar
