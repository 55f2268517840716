#include "core/convertcli.h"

#include "core/corecli.h"
#include "core/gpxfile.h"
#include "core/nmeaconvert.h"
#include "core/pathfile.h"
#include "core/systemfinction.h"

#include "common/consoletext.h"
#include "common/safefile.h"

#include <QFileInfo>
#include <cstdio>

namespace pixplot {

namespace {

const QString kToKml = QStringLiteral("to-kml");
const QString kToHtml = QStringLiteral("to-html");
const QString kToGpx = QStringLiteral("to-gpx");
const QString kPreset = QStringLiteral("preset");
const QString kLatOffset = QStringLiteral("lat-offset");
const QString kLonOffset = QStringLiteral("lon-offset");

void printErr(const QString &text) { common::printLine(stderr, text); }
void printOut(const QString &text) { common::printLine(stdout, text); }

// An offset option's value; 'fallback' when the option is absent.
bool offsetOption(const QCommandLineParser &parser, const QString &name, double fallback,
                  double *value)
{
    if (!parser.isSet(name)) {
        *value = fallback;
        return true;
    }
    const std::optional<double> v = nmeaconvert::ParseOffsetText(parser.value(name));
    if (!v) {
        printErr(QStringLiteral("--%1 的值“%2”不是有效的十进制数。").arg(name, parser.value(name)));
        return false;
    }
    *value = *v;
    return true;
}

struct Target {
    QString fileName;
    enum class Kind { Kml, Html, Gpx } kind = Kind::Kml;
    QString message;
};

} // namespace

void addConvertOptions(QCommandLineParser &parser)
{
    parser.addOption({kToKml, QStringLiteral("Write the path (--path) as KML beside the path file.")});
    parser.addOption({kToHtml, QStringLiteral("Write the path (--path) as an HTML map page beside the path file.")});
    parser.addOption({kToGpx, QStringLiteral("Write the path (--path) as a GPX 1.1 file beside the path file.")});
    parser.addOption({kPreset,
                      QStringLiteral("Offsets of the HTML page: none, map or satellite (default: none)."),
                      QStringLiteral("none|map|satellite")});
    parser.addOption({kLatOffset,
                      QStringLiteral("Decimal degrees added to every latitude written (overrides --preset)."),
                      QStringLiteral("D")});
    parser.addOption({kLonOffset,
                      QStringLiteral("Decimal degrees added to every longitude written (overrides --preset)."),
                      QStringLiteral("D")});
}

std::optional<int> runConvertOptions(const QCommandLineParser &parser)
{
    const bool toKml = parser.isSet(kToKml);
    const bool toHtml = parser.isSet(kToHtml);
    const bool toGpx = parser.isSet(kToGpx);
    if (!toKml && !toHtml && !toGpx) {
        for (const QString &name : {kPreset, kLatOffset, kLonOffset}) {
            if (parser.isSet(name)) {
                printErr(QStringLiteral("--%1 只能与 --to-kml 或 --to-html 一起使用。").arg(name));
                return 2;
            }
        }
        return std::nullopt;
    }

    const QString pathName = parser.value(QStringLiteral("path"));
    if (pathName.isEmpty()) {
        printErr(QStringLiteral("--to-kml、--to-html 和 --to-gpx 需要 --path FILE。"));
        return 2;
    }
    common::TimeZoneSetting zone;
    if (!readZoneOption(parser, &zone))
        return 2;

    // The page's offsets start from the preset; explicit offsets override it.
    nmeaconvert::Preset preset = nmeaconvert::Preset::None;
    if (parser.isSet(kPreset)) {
        const QString p = parser.value(kPreset);
        if (!toHtml) {
            printErr(QStringLiteral("--preset 只用于 --to-html。"));
            return 2;
        }
        if (p == QLatin1String("none"))
            preset = nmeaconvert::Preset::None;
        else if (p == QLatin1String("map"))
            preset = nmeaconvert::Preset::MapView;
        else if (p == QLatin1String("satellite"))
            preset = nmeaconvert::Preset::SatelliteView;
        else {
            printErr(QStringLiteral("--preset 的值“%1”无效：应为 none、map 或 satellite。").arg(p));
            return 2;
        }
    }
    const nmeaconvert::PresetTexts presetTexts = nmeaconvert::PresetOffsetTexts(preset);
    // Preset texts are fixed decimals, so these always parse.
    const double presetLat = nmeaconvert::ParseOffsetText(presetTexts.latitude).value_or(0);
    const double presetLon = nmeaconvert::ParseOffsetText(presetTexts.longitude).value_or(0);

    nmeaconvert::Offsets kmlOffsets;
    nmeaconvert::Offsets htmlOffsets;
    if (!offsetOption(parser, kLatOffset, 0, &kmlOffsets.latitude)
        || !offsetOption(parser, kLonOffset, 0, &kmlOffsets.longitude)
        || !offsetOption(parser, kLatOffset, presetLat, &htmlOffsets.latitude)
        || !offsetOption(parser, kLonOffset, presetLon, &htmlOffsets.longitude))
        return 2;

    // The documents need the positions and the first and last time only:
    // the points are read as a stream and kept as plain numbers.
    nmeaconvert::PathInput path;
    pathfile::PathReader reader;
    QString error;
    if (!reader.open(pathName, &error, zone)) {
        printErr(QStringLiteral("无法读取路径文件 %1：%2").arg(pathName, error));
        return 1;
    }
    path.points.reserve(reader.expectedPoints());
    // GPX needs the times and segments too, so only then are the points kept.
    QList<PathPoint> gpxPoints;
    PathPoint p, first;
    while (reader.next(&p)) {
        if (path.points.isEmpty())
            first = p;
        path.points.append(systemfinction::ParsePositionText(p.positionText()));
        if (toGpx)
            gpxPoints.append(p);
    }
    if (reader.failed()) {
        printErr(QStringLiteral("无法读取路径文件 %1：%2").arg(pathName, reader.errorString()));
        return 1;
    }
    if (path.points.isEmpty()) {
        printErr(QStringLiteral("路径文件 %1 中没有有效的轨迹点。").arg(pathName));
        return 1;
    }
    path.count = path.points.size();
    path.timeSpan = first.pointTime() + QStringLiteral(" to ") + p.pointTime();

    // Beside the path file, named as the window names it: the full path
    // without its last four characters.
    const QString base = QFileInfo(pathName).absoluteFilePath().chopped(4);

    QList<Target> targets;
    if (toKml) {
        const QString f = nmeaconvert::KmlFileName(base);
        targets.append({f, Target::Kind::Kml, nmeaconvert::KmlSavedMessage(f, path.count)});
    }
    if (toHtml) {
        const QString f = nmeaconvert::HtmlFileName(base);
        targets.append({f, Target::Kind::Html, nmeaconvert::HtmlSavedMessage(f)});
    }
    if (toGpx) {
        const QString f = gpxfile::GpxFileName(base);
        targets.append({f, Target::Kind::Gpx, gpxfile::GpxSavedMessage(f, path.count)});
    }

    // Refuse before writing anything, so a run either writes all or nothing new.
    for (const Target &t : std::as_const(targets)) {
        if (!common::checkOutputTarget(t.fileName, &error)) {
            printErr(nmeaconvert::WriteFailedMessage(t.fileName, error).replace(QStringLiteral("\r\n"),
                                                                               QStringLiteral("\n")));
            return 1;
        }
    }
    if (!parser.isSet(QStringLiteral("overwrite"))) {
        for (const Target &t : std::as_const(targets)) {
            if (QFileInfo::exists(t.fileName)) {
                printErr(common::overwriteRefusal(t.fileName));
                return 1;
            }
        }
    }
    // One document at a time is made and written.
    for (const Target &t : std::as_const(targets)) {
        bool written = false;
        if (t.kind == Target::Kind::Gpx) {
            written = common::writeFileAtomically(
                t.fileName, gpxfile::PathDocument(gpxPoints, QFileInfo(pathName).completeBaseName()),
                &error);
        } else {
            const QByteArray document = t.kind == Target::Kind::Kml ? nmeaconvert::KmlDocument(path, kmlOffsets)
                                                                    : nmeaconvert::HtmlPage(path, htmlOffsets);
            written = nmeaconvert::WriteDocument(t.fileName, document, &error);
        }
        if (!written) {
            printErr(nmeaconvert::WriteFailedMessage(t.fileName, error).replace(QStringLiteral("\r\n"),
                                                                               QStringLiteral("\n")));
            return 1;
        }
        printOut(t.message);
    }
    return 0;
}

} // namespace pixplot
