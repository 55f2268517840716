#include "core/commandline.h"
#include "core/mediaformat.h"
#include "core/xmpsidecar.h"

#include "core/gpstagwriter.h"
#include "core/gpxfile.h"
#include "core/mappage.h"
#include "core/nmeaconvert.h"
#include "core/pathfile.h"
#include "core/photosession.h"
#include "core/stepping.h"
#include "core/nmeasentence.h"
#include "core/outputfiles.h"

#include "common/consoletext.h"
#include "common/safefile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>

#include <cerrno>
#include <charconv>
#include <optional>

namespace pixplot {

using common::ExitFailed;
using common::ExitOk;
using common::ExitUsage;

namespace {

// The commands; each run does exactly one of them. The three conversions
// count as one, as they can be written together.
const QString kExifTime = QStringLiteral("exif-time");
const QString kReadPath = QStringLiteral("read-path");
const QString kToKml = QStringLiteral("to-kml");
const QString kToHtml = QStringLiteral("to-html");
const QString kToGpx = QStringLiteral("to-gpx");
const QString kMatch = QStringLiteral("match");
const QString kProcess = QStringLiteral("process");
const QString kToMap = QStringLiteral("to-map");
const QString kExifGps = QStringLiteral("exif-gps");
const QString kSuggestOffset = QStringLiteral("suggest-offset");
const QString kSync = QStringLiteral("sync");

const QString kPath = QStringLiteral("path");
const QString kOverwrite = QStringLiteral("overwrite");
const QString kZone = QStringLiteral("zone");
const QString kPreset = QStringLiteral("preset");
const QString kLatOffset = QStringLiteral("lat-offset");
const QString kLonOffset = QStringLiteral("lon-offset");
const QString kOffset = QStringLiteral("offset");
const QString kTolerance = QStringLiteral("tolerance");
const QString kTiles = QStringLiteral("tiles");
const QString kInterpolate = QStringLiteral("interpolate");
const QString kMaxGap = QStringLiteral("max-gap");
const QString kNoBackup = QStringLiteral("no-backup");
const QString kRename = QStringLiteral("rename");
const QString kFrame = QStringLiteral("frame");
const QString kReframe = QStringLiteral("reframe");
const QString kNote = QStringLiteral("note");
const QString kGps = QStringLiteral("gps");
const QString kNoTime = QStringLiteral("no-time");
const QString kWriteGps = QStringLiteral("write-gps");
const QString kJobs = QStringLiteral("jobs");
const QString kSidecar = QStringLiteral("sidecar");

const QCommandLineOption kHelp = common::helpOption();

// Adds every option to parser; the list in the order --help shows them.
QList<QCommandLineOption> addOptions(QCommandLineParser &parser)
{
    QList<QCommandLineOption> options{kHelp};
    const auto add = [&options](const QString &name, const QString &text, const QString &value = {}) {
        options.append(QCommandLineOption(name, text, value));
    };
    // Commands.
    add(kExifTime, QStringLiteral("打印每张照片的 EXIF 拍摄时间（路径、制表符、时间）。"));
    add(kReadPath, QStringLiteral("打印从 NMEA 或 GPX 路径文件读到的路径点。"),
        QStringLiteral("FILE"));
    add(kToKml, QStringLiteral("把路径（--path）写成 KML 文件，放在路径文件旁边。"));
    add(kToHtml, QStringLiteral("把路径（--path）写成 HTML 地图网页，放在路径文件旁边。"));
    add(kToGpx, QStringLiteral("把路径（--path）写成 GPX 1.1 文件，放在路径文件旁边。"));
    add(kMatch, QStringLiteral("按 --path 的路径给照片匹配坐标，每张照片打印一行。"));
    add(kProcess, QStringLiteral("像“批量执行”一样备份、重命名照片并加边框。"));
    add(kToMap, QStringLiteral("把路径（--path）和定位在路径上的照片写成地图网页。"),
        QStringLiteral("OUT.html"));
    add(kExifGps, QStringLiteral("打印每张照片 EXIF 中的 GPS 坐标。"));
    add(kSuggestOffset,
        QStringLiteral("打印让最多照片落在 --path 路径时间内的三个相机时间差（以一刻钟为单位），"
                       "以及每个差值能匹配的照片数。"));
    // What the commands read.
    add(kPath, QStringLiteral("NMEA 或 GPX 路径文件。"), QStringLiteral("FILE"));
    add(kOverwrite, QStringLiteral("替换已经存在的输出文件。"));
    add(kZone,
        QStringLiteral("路径本地时间所用的时区：+08:00、-05:30、UTC、Europe/Berlin 之类的"
                       "时区名称，或 local（默认 UTC+08:00）。"),
        QStringLiteral("ZONE"));
    add(kPreset, QStringLiteral("HTML 网页的坐标偏移：none、map 或 satellite（默认 none）。"),
        QStringLiteral("none|map|satellite"));
    add(kLatOffset, QStringLiteral("写出的每个纬度加上的十进制度数（优先于 --preset）。"),
        QStringLiteral("D"));
    add(kLonOffset, QStringLiteral("写出的每个经度加上的十进制度数（优先于 --preset）。"),
        QStringLiteral("D"));
    add(kOffset,
        QStringLiteral("相机时钟校正（默认 +00:00:00）：对所有相机，对一台相机（\"Canon EOS R6=+00:02:00\"，"
                       "可重复），或 auto（按建议的时间差）。"),
        QStringLiteral("[CAMERA=]±hh:mm:ss|auto"));
    add(kSync,
        QStringLiteral("照片中拍到的时钟显示 TIME（2026-05-12T09:03:27+02:00）：由此得出该相机的校正；"
                       "同一相机的两张这样的照片给出它的漂移。"),
        QStringLiteral("PHOTO=TIME"));
    add(kTolerance,
        QStringLiteral("与路径点相差的最大秒数，0..600（默认 %1）。").arg(photomatch::kDefaultTolerance),
        QStringLiteral("N"));
    add(kInterpolate,
        QStringLiteral("按时间把照片放在两个定位点之间，而不是放在最近的点上。"));
    add(kMaxGap,
        QStringLiteral("--interpolate：两个定位点之间的最大间隔秒数（默认 %1）。").arg(photomatch::kDefaultMaxGap),
        QStringLiteral("N"));
    add(kTiles, QStringLiteral("--to-map：地图瓦片，{z}/{x}/{y} 形式的网址模板，或 none。"),
        QStringLiteral("URL"));
    add(kNoBackup, QStringLiteral("--process：不做备份。"));
    add(kRename, QStringLiteral("--process：按拍摄时间或“前缀加序号”重命名。"),
        QStringLiteral("time|prefix:TEXT"));
    add(kFrame, QStringLiteral("--process：加边框和说明文字。"));
    add(kReframe, QStringLiteral("--frame：以前加过边框的照片也再加一次（否则跳过）。"));
    add(kNote, QStringLiteral("--frame：说明文字开头的备注。"), QStringLiteral("TEXT"));
    add(kGps, QStringLiteral("--frame：说明文字中写入坐标。"));
    add(kNoTime, QStringLiteral("--frame：说明文字中不写时间。"));
    add(kWriteGps, QStringLiteral("--process：把匹配到的坐标写入 EXIF GPS 标签（需要 --path）。"));
    add(kJobs, QStringLiteral("--process：同时处理的照片数（默认每个处理器核心一张）。"),
        QStringLiteral("N"));
    add(kSidecar,
        QStringLiteral("--write-gps：auto 把 JPEG 的坐标写进文件本身，其他格式写进附属文件 NAME.EXT.xmp；"
                       "always 对每张照片都写附属文件（默认 auto）。"),
        QStringLiteral("auto|always"));
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("PHOTO"), QStringLiteral("要处理的照片。"),
                                 QStringLiteral("[PHOTO...]"));
    return options;
}

QString helpText(const QList<QCommandLineOption> &options)
{
    return common::helpText(
        QStringLiteral("pixplot"),
        {QStringLiteral("--exif-time PHOTO..."), QStringLiteral("--read-path FILE [--zone ZONE]"),
         QStringLiteral(
             "--path FILE --to-kml|--to-html|--to-gpx [--preset P] [--lat-offset D] [--lon-offset D]"),
         QStringLiteral("--match --path FILE [MATCHING] PHOTO..."),
         QStringLiteral("--process [OUTPUT] [--path FILE [MATCHING]] [--jobs N] PHOTO..."),
         QStringLiteral("--path FILE --to-map OUT.html [MATCHING] [--tiles URL] [PHOTO...]"),
         QStringLiteral("--exif-gps PHOTO..."),
         QStringLiteral("--suggest-offset --path FILE [MATCHING] PHOTO...")},
        QStringLiteral("给照片加上 GPS 路径（NMEA 或 GPX）的位置；不带选项时打开窗口。\n"
                       "MATCHING 为 --offset、--sync、--tolerance、--interpolate、--max-gap、--zone；"
                       "OUTPUT 为 --no-backup、--rename、--frame、--reframe、--note、--gps、--no-time、--write-gps。"),
        options);
}

// One file --to-kml, --to-html or --to-gpx writes.
struct ConversionTarget {
    QString file;
    enum class Kind { Kml, Html, Gpx } kind;
    QString message;
    bool existed = false; // when the run checked it
};

// The KML's offsets and the page's, which start from --preset.
struct ConversionOffsets {
    nmeaconvert::Offsets kml;
    nmeaconvert::Offsets html;
};

// One run: the parsed options, the two streams and the session.
class Run {
public:
    Run(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
        : p_(parser), out_(out), err_(err)
    {
    }

    int exifTime();
    int readPath();
    int convert();
    int match();
    // The matching options read, the photos listed (*allListed: every one
    // was) and the path loaded with the clock corrections: ExitOk, or the
    // status to end with.
    int loadForMatching(const QStringList &photos, bool *allListed);
    int process();
    int toMap();
    int exifGps();
    int suggestOffset();

private:
    void say(const QString &text)
    {
        out_ << common::consoleLines(text) << '\n';
        out_.flush();
    }
    void complain(const QString &text)
    {
        err_ << common::consoleLines(text) << '\n';
        err_.flush();
    }
    // Bytes already UTF-8, written as they are.
    void writeOut(const QByteArray &bytes);

    bool isSet(const QString &name) const { return p_.isSet(name); }
    QString value(const QString &name) const { return p_.value(name); }
    // "--name 的值“v”无效：hint" as a usage error.
    int badValue(const QString &name, const QString &hint)
    {
        complain(QStringLiteral("--%1 的值“%2”无效：%3").arg(name, value(name), hint));
        return ExitUsage;
    }

    // The photos given; none after saying that option needs one at least.
    QStringList photosFor(const QString &option)
    {
        const QStringList photos = p_.positionalArguments();
        if (photos.isEmpty())
            complain(QStringLiteral("%1 至少需要一个照片。").arg(option));
        return photos;
    }
    bool readZone();
    bool readMatchOptions();
    // The corrections of --offset and --sync on the listed photos, and the
    // suggested shift of --offset auto (which needs the path); false after
    // saying why.
    bool applyCorrections();
    // Lists the photos, naming on err each file that was not listed; false when one was not.
    bool addPhotos(const QStringList &files);
    void reject(const PhotoReject &r);
    // Loads --path; false, with the reason on err, when it cannot be read or holds no point.
    bool loadPath(PhotoSession::PathKeep keep = PhotoSession::PathKeep::Points);
    bool mayWrite(const QString &file, QString *error);
    // False, with the complaint on err, when output is one of the inputs.
    bool notAnInput(const QString &output, const QStringList &inputs);
    // What --process does to each photo; an exit status after saying what
    // is wrong with the options.
    std::optional<int> readOutputOptions(photooutput::Options *options);
    // --preset, --lat-offset and --lon-offset; an exit status after saying
    // what is wrong with them.
    std::optional<int> readConversionOffsets(bool toHtml, ConversionOffsets *offsets);
    // Writes every target once none is refused; the exit status.
    int writeConversions(QList<ConversionTarget> &targets, const ConversionInput &input,
                         const ConversionOffsets &offsets);

    const QCommandLineParser &p_;
    QTextStream &out_;
    QTextStream &err_;
    PhotoSession session_;
    QList<std::pair<QString, qint64>> corrections_; // camera (or all cameras), seconds
    bool autoOffset_ = false;
};

void Run::writeOut(const QByteArray &bytes)
{
    out_.flush();
    if (QIODevice *device = out_.device()) {
        device->write(bytes);
        if (auto *file = qobject_cast<QFileDevice *>(device))
            file->flush();
    } else {
        out_ << QString::fromUtf8(bytes);
    }
}

bool Run::readZone()
{
    if (!isSet(kZone))
        return true;
    const auto zone = common::TimeZoneSetting::parse(value(kZone));
    if (!zone) {
        complain(common::TimeZoneSetting::invalidMessage(value(kZone)));
        return false;
    }
    session_.setZone(*zone);
    return true;
}

bool Run::readMatchOptions()
{
    const bool interpolate = isSet(kInterpolate);
    qint64 maxGap = photomatch::kDefaultMaxGap;
    if (isSet(kMaxGap)) {
        if (!interpolate) {
            complain(QStringLiteral("--max-gap 只能与 --interpolate 一起使用。"));
            return false;
        }
        bool ok = false;
        maxGap = value(kMaxGap).toLongLong(&ok);
        if (!ok || maxGap < 0) {
            badValue(kMaxGap, QStringLiteral("应为 0 或更大的整秒数。"));
            return false;
        }
    }
    session_.setInterpolation(interpolate, maxGap);
    if (!readZone())
        return false;
    for (const QString &v : p_.values(kOffset)) {
        if (v == QLatin1String("auto")) {
            autoOffset_ = true;
            continue;
        }
        // Camera names may hold anything but the offset holds no "=".
        const qsizetype eq = v.lastIndexOf(QLatin1Char('='));
        const QString camera = eq < 0 ? cameraclock::allCameras() : v.left(eq).trimmed();
        const auto o = photomatch::parseClockOffset(eq < 0 ? v : v.mid(eq + 1));
        if (!o || camera.isEmpty()) {
            complain(QStringLiteral("--offset 的值“%1”无效：应为 ±hh:mm:ss，例如 +01:00:00。").arg(v));
            return false;
        }
        const qint64 seconds = o->hours * 3600 + o->minutes * 60 + o->seconds;
        corrections_.append({camera, o->negative ? -seconds : seconds});
    }
    if (isSet(kTolerance)) {
        bool ok = false;
        const qint64 tolerance = value(kTolerance).toLongLong(&ok);
        if (!ok || tolerance < 0 || tolerance > photomatch::kMaxTolerance) {
            badValue(kTolerance, QStringLiteral("应为 0 到 600 的整秒数。"));
            return false;
        }
        session_.setTolerance(tolerance);
    }
    return true;
}

bool Run::applyCorrections()
{
    const QStringList cameras = session_.cameras();
    for (const auto &[name, seconds] : std::as_const(corrections_)) {
        if (name == cameraclock::allCameras()) {
            session_.setCorrection(name, seconds);
            continue;
        }
        // A name without the serial number stands for each body of that model.
        bool found = false;
        for (const QString &camera : cameras) {
            if (cameraclock::namesCamera(name, camera)) {
                session_.setCorrection(camera, seconds);
                found = true;
            }
        }
        if (!found) {
            complain(QStringLiteral("--offset：所列照片中没有相机“%1”拍的照片。").arg(name));
            return false;
        }
    }
    for (const QString &v : p_.values(kSync)) {
        const qsizetype eq = v.lastIndexOf(QLatin1Char('='));
        const QString photo = QFileInfo(v.left(eq)).absoluteFilePath();
        qsizetype row = 0;
        for (qsizetype r = 1; r <= session_.rowCount() && row == 0; ++r) {
            const PhotoRecord &rec = session_.rows().at(r - 1).record;
            if (rec.folder + rec.fileName == photo)
                row = r;
        }
        QString error;
        if (eq < 0 || row == 0) {
            complain(QStringLiteral("--sync 的值“%1”无效：应为所列照片之一=时间，例如 "
                                    "IMG_0001.JPG=2026-05-12T09:03:27+02:00。")
                         .arg(v));
            return false;
        }
        if (!session_.syncFromPhoto(row, v.mid(eq + 1), &error)) {
            complain(QStringLiteral("--sync %1：%2").arg(v, error));
            return false;
        }
    }
    if (!autoOffset_)
        return true;
    if (session_.pathPointCount() == 0) {
        complain(QStringLiteral("--offset auto 需要 --path FILE。"));
        return false;
    }
    const photomatch::OffsetSuggestion s = session_.suggestOffset();
    const std::optional<photomatch::ShiftCount> best = s.helpful();
    if (!best) {
        QStringList lines{QStringLiteral("--offset auto：没有能让更多照片落在路径时间范围内的修正（现有 %1/%2 张）。")
                              .arg(s.inside)
                              .arg(s.photos)};
        for (const photomatch::ShiftCount &c : s.best)
            lines << photomatch::suggestionLine(c, s.photos);
        complain(lines.join(QLatin1Char('\n')));
        return false;
    }
    session_.applyShift(best->shift);
    return true;
}

void Run::reject(const PhotoReject &r)
{
    if (r.kind == PhotoReject::Kind::NotJpeg)
        complain(QStringLiteral("%1: %2，未加入。").arg(r.file, r.why()));
    else
        complain(QStringLiteral("%1: %2").arg(r.file, r.why()));
}

bool Run::addPhotos(const QStringList &files)
{
    const PhotoLoad load = session_.addPhotos(files);
    for (const PhotoReject &r : load.rejects)
        reject(r);
    for (const PhotoLoad::Untimed &u : load.untimed)
        complain(QStringLiteral("%1: %2").arg(u.file, u.reason));
    return load.rejects.isEmpty();
}

bool Run::loadPath(PhotoSession::PathKeep keep)
{
    const QString file = value(kPath);
    const PathLoad load = session_.loadPath(file, keep);
    if (!load) {
        complain(QStringLiteral("无法读取路径文件 %1：%2").arg(file, load.error));
        return false;
    }
    // Without a point there is nothing to match or draw; a summary that
    // counts no photo as needing a position would be false.
    if (session_.pathPointCount() == 0) {
        complain(QStringLiteral("路径文件 %1 中没有有效的轨迹点。").arg(file));
        return false;
    }
    return true;
}

bool Run::mayWrite(const QString &file, QString *error)
{
    const common::SaveTarget target = common::checkSaveTarget(file, error);
    if (target == common::SaveTarget::Refused) {
        complain(nmeaconvert::writeFailedMessage(file, *error));
        return false;
    }
    if (target == common::SaveTarget::Existing && !isSet(kOverwrite)) {
        complain(common::overwriteRefusal(file));
        return false;
    }
    return true;
}

bool Run::notAnInput(const QString &output, const QStringList &inputs)
{
    const QString input = common::inputReplacedBy(output, inputs);
    if (input.isEmpty())
        return true;
    complain(common::outputIsInputText(output, input));
    return false;
}

// Appends v in decimal, zero-padded to at least width digits.
void appendInteger(QByteArray &out, qint64 v, int width)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    const qsizetype n = r.ptr - digits;
    if (v >= 0 && n < width)
        out.append(QByteArray::size_type(width - n), '0');
    out.append(digits, n);
}

// Appends text as UTF-8 without a temporary array for the usual ASCII text.
void appendText(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *d = out.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            out.resize(at);
            out += text.toUtf8();
            return;
        }
        d[i] = char(c);
    }
}

int Run::exifTime()
{
    const QStringList photos = photosFor(QStringLiteral("--exif-time"));
    if (photos.isEmpty())
        return ExitUsage;
    int status = ExitOk;
    for (const QString &photo : photos) {
        // One at a time, so each line names the photo as it was given.
        const PhotoLoad load = session_.addPhotos({photo});
        for (const PhotoReject &r : load.rejects)
            reject(r);
        for (const PhotoLoad::Untimed &u : load.untimed)
            complain(QStringLiteral("%1: %2").arg(u.file, u.reason));
        if (load.loaded == 0) {
            status = ExitFailed;
            continue;
        }
        say(photo + QLatin1Char('\t') + session_.rows().constLast().record.shotTime);
        session_.clearRows();
    }
    return status;
}

int Run::readPath()
{
    if (!p_.positionalArguments().isEmpty()) {
        complain(QStringLiteral("--read-path 不接受照片参数。"));
        return ExitUsage;
    }
    if (!readZone())
        return ExitUsage;
    const QString file = value(kReadPath);
    // Printed as read: no point is kept, however long the log.
    pathfile::PathReader reader;
    QString error;
    if (!reader.open(file, &error, session_.zone())) {
        complain(QStringLiteral("无法读取路径文件 %1：%2").arg(file, error));
        return ExitFailed;
    }
    // Written in blocks straight from the texts: a long log gives a million lines.
    QByteArray block;
    block.reserve(1 << 20);
    qsizetype row = 0;
    const QByteArray recordPrefix = QStringLiteral("记录").toUtf8();
    PathPoint p;
    qint64 first = 0;
    while (reader.next(&p)) {
        if (row == 0)
            first = p.utcSeconds();
        p.offsetSeconds = p.utcSeconds() - first;
        ++row;
        // A GPX point with every digit of its file, an NMEA fix as its text.
        const std::optional<GeoPoint> exact = p.exactDegrees();
        const QString position = gpxfile::fullPositionText(p);
        const GeoPoint g = exact ? *exact : systemfinction::ParsePositionText(position);
        const auto number = exact ? gpxfile::fullNumberText : systemfinction::numberText;
        block += recordPrefix;
        appendInteger(block, row, 4);
        block += '\t';
        appendText(block, p.pointTime());
        block += '\t';
        appendText(block, position);
        block += '\t';
        appendInteger(block, p.offsetSeconds, 1);
        block += '\t';
        appendText(block, number(g.longitude));
        block += '\t';
        appendText(block, number(g.latitude));
        block += '\n';
        if (block.size() > (1 << 20) - 512) {
            writeOut(block);
            block.clear();
        }
    }
    writeOut(block);
    if (reader.failed()) {
        complain(QStringLiteral("无法读取路径文件 %1：%2").arg(file, reader.errorString()));
        return ExitFailed;
    }
    // An empty listing would pass for a path read in full.
    if (row == 0) {
        complain(QStringLiteral("路径文件 %1 中没有有效的轨迹点。").arg(file));
        return ExitFailed;
    }
    return ExitOk;
}

// An offset option's value; fallback when the option is absent.
std::optional<double> offsetOption(const QCommandLineParser &parser, const QString &name, double fallback)
{
    if (!parser.isSet(name))
        return fallback;
    return nmeaconvert::parseOffsetText(parser.value(name));
}

int Run::convert()
{
    const bool toKml = isSet(kToKml);
    const bool toHtml = isSet(kToHtml);
    const bool toGpx = isSet(kToGpx);
    if (value(kPath).isEmpty()) {
        complain(QStringLiteral("--to-kml、--to-html 和 --to-gpx 需要 --path FILE。"));
        return ExitUsage;
    }
    if (!readZone())
        return ExitUsage;
    ConversionOffsets offsets;
    if (const std::optional<int> status = readConversionOffsets(toHtml, &offsets))
        return *status;

    // GPX needs the times and segments too, so only then are the points kept.
    if (!loadPath(toGpx ? PhotoSession::PathKeep::Points : PhotoSession::PathKeep::PositionsOnly))
        return ExitFailed;
    const ConversionInput input = session_.conversionInput();

    QList<ConversionTarget> targets;
    if (toKml) {
        const QString f = nmeaconvert::kmlFileName(input.fileBase);
        targets.append({f, ConversionTarget::Kind::Kml, nmeaconvert::kmlSavedMessage(f, input.path.count)});
    }
    if (toHtml) {
        const QString f = nmeaconvert::htmlFileName(input.fileBase);
        targets.append({f, ConversionTarget::Kind::Html, nmeaconvert::htmlSavedMessage(f)});
    }
    if (toGpx) {
        const QString f = gpxfile::gpxFileName(input.fileBase);
        targets.append({f, ConversionTarget::Kind::Gpx, gpxfile::gpxSavedMessage(f, input.path.count)});
    }
    return writeConversions(targets, input, offsets);
}

std::optional<int> Run::readConversionOffsets(bool toHtml, ConversionOffsets *offsets)
{
    // The page's offsets start from the preset; explicit offsets override it.
    nmeaconvert::Preset preset = nmeaconvert::Preset::None;
    if (isSet(kPreset)) {
        const QString name = value(kPreset);
        if (!toHtml) {
            complain(QStringLiteral("--preset 只用于 --to-html。"));
            return ExitUsage;
        }
        if (name == QLatin1String("none"))
            preset = nmeaconvert::Preset::None;
        else if (name == QLatin1String("map"))
            preset = nmeaconvert::Preset::MapView;
        else if (name == QLatin1String("satellite"))
            preset = nmeaconvert::Preset::SatelliteView;
        else
            return badValue(kPreset, QStringLiteral("应为 none、map 或 satellite。"));
    }
    const nmeaconvert::PresetTexts presetTexts = nmeaconvert::presetOffsetTexts(preset);
    // Preset texts are fixed decimals, so these always parse.
    const double presetLat = nmeaconvert::parseOffsetText(presetTexts.latitude).value_or(0);
    const double presetLon = nmeaconvert::parseOffsetText(presetTexts.longitude).value_or(0);
    for (const QString &name : {kLatOffset, kLonOffset}) {
        if (!offsetOption(p_, name, 0))
            return badValue(name, QStringLiteral("不是有效的十进制数。"));
    }
    offsets->kml = {*offsetOption(p_, kLonOffset, 0), *offsetOption(p_, kLatOffset, 0)};
    offsets->html = {*offsetOption(p_, kLonOffset, presetLon), *offsetOption(p_, kLatOffset, presetLat)};
    return std::nullopt;
}

int Run::writeConversions(QList<ConversionTarget> &targets, const ConversionInput &input,
                          const ConversionOffsets &offsets)
{
    // Refuse before writing anything, so a run either writes all or nothing new.
    for (const ConversionTarget &t : std::as_const(targets)) {
        if (!notAnInput(t.file, {value(kPath)}))
            return ExitUsage;
    }
    QString error;
    for (ConversionTarget &t : targets) {
        if (!mayWrite(t.file, &error))
            return ExitFailed;
        t.existed = QFileInfo::exists(t.file);
    }
    // One document at a time is made and written.
    for (const ConversionTarget &t : std::as_const(targets)) {
        const QByteArray document = t.kind == ConversionTarget::Kind::Gpx
            ? gpxfile::pathDocument(session_.pathPoints(), QFileInfo(value(kPath)).completeBaseName())
            : t.kind == ConversionTarget::Kind::Kml ? nmeaconvert::kmlDocument(input.path, offsets.kml)
                                                    : nmeaconvert::htmlPage(input.path, offsets.html);
        // A file that appeared since the check above is not the one --overwrite was about.
        const bool written = t.existed ? common::writeFileAtomically(t.file, document, &error)
                                       : common::writeNewFile(t.file, document, &error);
        if (!written) {
            complain(nmeaconvert::writeFailedMessage(t.file, error));
            return ExitFailed;
        }
        say(t.message);
    }
    return ExitOk;
}

int Run::loadForMatching(const QStringList &photos, bool *allListed)
{
    if (!readMatchOptions())
        return ExitUsage;
    *allListed = addPhotos(photos);
    return loadPath() && applyCorrections() ? ExitOk : ExitFailed;
}

int Run::match()
{
    const QStringList photos = p_.positionalArguments();
    if (value(kPath).isEmpty() || photos.isEmpty()) {
        complain(QStringLiteral("用法：pixplot --match --path FILE [--offset ±hh:mm:ss] [--tolerance N] "
                                "[--interpolate [--max-gap N]] [--zone ZONE] PHOTO..."));
        return ExitUsage;
    }
    bool allListed = false;
    if (const int status = loadForMatching(photos, &allListed); status != ExitOk)
        return status;
    const photomatch::MatchSummary summary = session_.match();
    if (const QStringList rows = session_.rowTexts(); !rows.isEmpty())
        out_ << rows.join(QLatin1Char('\n')) << '\n';
    say(photomatch::matchMessage(summary));
    return allListed ? ExitOk : ExitFailed;
}

std::optional<int> Run::readOutputOptions(photooutput::Options *options)
{
    options->backup = !isSet(kNoBackup);
    if (isSet(kRename)) {
        const QString mode = value(kRename);
        if (mode == QLatin1String("time")) {
            options->rename = photooutput::RenameMode::ByTime;
        } else if (mode.startsWith(QLatin1String("prefix:"))) {
            options->rename = photooutput::RenameMode::ByPrefix;
            options->prefix = mode.mid(7);
            if (!photooutput::isUsablePrefix(options->prefix)) {
                complain(photooutput::badPrefixMessage(options->prefix));
                return ExitUsage;
            }
        } else {
            return badValue(kRename, QStringLiteral("应为 time 或 prefix:TEXT。"));
        }
    }
    options->frame = isSet(kFrame);
    options->reframe = isSet(kReframe);
    options->note = value(kNote);
    options->withGps = isSet(kGps);
    options->withTime = !isSet(kNoTime);
    options->background = QGuiApplication::palette().color(QPalette::Window);
    options->writeGps = isSet(kWriteGps);
    if (isSet(kSidecar)) {
        const QString mode = value(kSidecar);
        if (mode == QLatin1String("always"))
            options->sidecar = photooutput::SidecarMode::Always;
        else if (mode != QLatin1String("auto"))
            return badValue(kSidecar, QStringLiteral("应为 auto 或 always。"));
    }
    if (options->writeGps && !isSet(kPath)) {
        complain(QStringLiteral("--write-gps 需要 --path FILE 给出的位置。"));
        return ExitUsage;
    }
    return std::nullopt;
}

int Run::process()
{
    const QStringList photos = p_.positionalArguments();
    if (photos.isEmpty()) {
        complain(QStringLiteral("用法：pixplot --process [选项] PHOTO..."));
        return ExitUsage;
    }
    int jobs = photobatch::defaultJobs();
    if (isSet(kJobs)) {
        bool ok = false;
        jobs = value(kJobs).toInt(&ok);
        if (!ok || jobs < 1)
            return badValue(kJobs, QStringLiteral("应为同时处理的照片数，1 或更大。"));
    }
    photooutput::Options options;
    if (const std::optional<int> status = readOutputOptions(&options))
        return *status;
    if (!readMatchOptions())
        return ExitUsage;
    // Each photo is an output: a second run over it would frame the frame.
    QStringList seen;
    for (const QString &photo : photos) {
        const QString identity = common::outputIdentity(photo);
        if (seen.contains(identity)) {
            complain(QStringLiteral("%1: 同一个照片给了两次").arg(photo));
            return ExitUsage;
        }
        seen << identity;
    }
    // A batch changes files: a photo that cannot be listed stops it before
    // anything is touched.
    if (!addPhotos(photos))
        return ExitFailed;
    if (isSet(kPath) && !loadPath())
        return ExitFailed;
    if (!applyCorrections())
        return ExitFailed;
    if (isSet(kPath))
        session_.match();
    // Tags asked for and no photo has a position: nothing would be written.
    if (options.writeGps && session_.unplacedCount() == session_.rowCount()) {
        QStringList lines{QStringLiteral("没有照片得到坐标，不会写入任何GPS信息；照片未处理。")};
        lines += session_.unplacedReport();
        if (const QString hint = photomatch::suggestionHint(session_.suggestOffset()); !hint.isEmpty())
            lines << hint;
        complain(lines.join(QLatin1Char('\n')));
        return ExitFailed;
    }
    // Failures are named in row order, whatever order the photos finish in.
    QObject::connect(
        &session_, &PhotoSession::batchPhotoDone, &session_,
        [this](qsizetype row, const photooutput::Outcome &out) {
            const PhotoRecord &rec = session_.rows().at(row - 1).record;
            if (out.framingSkipped)
                complain(photooutput::framingSkippedText(rec.folder + rec.fileName));
            if (out.alreadyFramed)
                say(photooutput::alreadyFramedText(rec.folder + rec.fileName)
                    + QStringLiteral("（加 --reframe 可再加一次边框）"));
            if (out.ok())
                return;
            complain(QStringLiteral("%1: %2").arg(rec.folder + rec.fileName, photooutput::failureText(out)));
        });
    const BatchResult result = session_.runBatch(options, jobs);
    say(result.message());
    // Each photo that got no GPS tags, and why.
    if (!result.unplaced.isEmpty())
        complain(result.unplacedMessage());
    return result.failed == 0 ? ExitOk : ExitFailed;
}

int Run::toMap()
{
    const QString out = value(kToMap);
    if (value(kPath).isEmpty() || out.isEmpty()) {
        complain(QStringLiteral("用法：pixplot --path FILE --to-map OUT.html [--offset ±hh:mm:ss] "
                                "[--tolerance N] [--tiles URL] [--overwrite] [PHOTO...]"));
        return ExitUsage;
    }
    if (!readMatchOptions())
        return ExitUsage;
    mappage::Page page;
    page.tiles = mappage::defaultTiles();
    if (isSet(kTiles)) {
        bool ok = false;
        page.tiles = mappage::tilesFromText(value(kTiles), &ok);
        if (!ok) {
            complain(mappage::badTilesMessage(value(kTiles)));
            return ExitUsage;
        }
    }
    if (!notAnInput(out, QStringList{value(kPath)} + p_.positionalArguments()))
        return ExitUsage;
    QString error;
    if (!mayWrite(out, &error) || !loadPath())
        return ExitFailed;
    const ConversionInput input = session_.conversionInput();
    page.segments = mappage::segmentsOfPath(input.path);
    page.timeSpan = input.path.timeSpan;

    const bool allListed = addPhotos(p_.positionalArguments());
    if (session_.rowCount() > 0) {
        if (!applyCorrections())
            return ExitFailed;
        say(photomatch::matchMessage(session_.match()));
    }
    page.photos = mappage::photosOfRows(session_.rows());
    if (!mappage::writePage(QFileInfo(out).absoluteFilePath(), page, &error)) {
        complain(nmeaconvert::writeFailedMessage(out, error));
        return ExitFailed;
    }
    say(mappage::mapSavedMessage(out));
    return allListed ? ExitOk : ExitFailed;
}

// One line per photo: the path, a tab and its EXIF GPS position as the lists
// show it with the decimal latitude and longitude, or nothing after the tab.
int Run::exifGps()
{
    const QStringList photos = photosFor(QStringLiteral("--exif-gps"));
    if (photos.isEmpty())
        return ExitUsage;
    int status = ExitOk;
    for (const QString &photo : photos) {
        QString reason;
        QFile file(photo);
        // A FIFO or device would block or never end.
        if (common::checkInputFile(photo, &reason)) {
            errno = 0;
            if (!file.open(QIODevice::ReadOnly))
                reason = errno != 0 ? common::systemErrorText(errno) : file.errorString();
        }
        if (!reason.isEmpty()) {
            complain(QStringLiteral("无法读取照片 %1：%2").arg(photo, reason));
            status = ExitFailed;
            continue;
        }
        // The sidecar first: where a position goes for the formats that are
        // not written, and for every photo with --sidecar always.
        const QString sidecar = xmpsidecar::sidecarPath(photo);
        auto point = QFileInfo::exists(sidecar) ? xmpsidecar::readPosition(sidecar) : std::nullopt;
        if (!point)
            point = mediaformat::formatOf(photo) && !mediaformat::isJpeg(photo)
                ? mediaformat::readFilePosition(photo)
                : gpstagwriter::readGpsPosition(file.readAll());
        QString line = photo + QLatin1Char('\t');
        if (point)
            line += gpstagwriter::positionText(*point) + QLatin1Char('\t')
                + QString::number(point->latitude, 'f', 8) + QLatin1Char('\t')
                + QString::number(point->longitude, 'f', 8);
        say(line);
    }
    return status;
}

int Run::suggestOffset()
{
    const QStringList photos = p_.positionalArguments();
    if (value(kPath).isEmpty() || photos.isEmpty()) {
        complain(QStringLiteral("用法：pixplot --suggest-offset --path FILE [MATCHING] PHOTO..."));
        return ExitUsage;
    }
    bool allListed = false;
    if (const int status = loadForMatching(photos, &allListed); status != ExitOk)
        return status;
    const photomatch::OffsetSuggestion s = session_.suggestOffset();
    for (const photomatch::ShiftCount &c : s.best)
        say(photomatch::suggestionLine(c, s.photos));
    return allListed ? ExitOk : ExitFailed;
}

// The commands the arguments name (the conversions as one).
QStringList commandsOf(const QCommandLineParser &parser)
{
    QStringList commands;
    for (const QString &name : {kExifTime, kReadPath, kMatch, kProcess, kToMap, kExifGps, kSuggestOffset})
        if (parser.isSet(name))
            commands << QStringLiteral("--") + name;
    if (parser.isSet(kToKml) || parser.isSet(kToHtml) || parser.isSet(kToGpx))
        commands << QStringLiteral("--to-kml/--to-html/--to-gpx");
    return commands;
}

} // namespace

bool wantsCommandLine(const QStringList &arguments)
{
    return arguments.size() > 1;
}

bool commandNeedsGui(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return true;
    return !(parser.isSet(kExifTime) || parser.isSet(kReadPath) || parser.isSet(kExifGps)
             || parser.isSet(kSuggestOffset));
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QList<QCommandLineOption> options = addOptions(parser);
    const auto usage = [&err](const QString &text) {
        err << text << '\n';
        err.flush();
        return ExitUsage;
    };
    if (!parser.parse(arguments))
        return usage(common::usageErrorText(parser.errorText(), parser.unknownOptionNames(), options));
    if (parser.isSet(kHelp)) {
        out << helpText(options);
        out.flush();
        return ExitOk;
    }
    const QStringList commands = commandsOf(parser);
    if (commands.size() > 1)
        return usage(
            QStringLiteral("一次只能用一个命令，这里给了：%1。").arg(commands.join(QStringLiteral("、"))));
    if (commands.isEmpty()) {
        // Photos or options without a command: the window is not what was
        // asked for (and on the offscreen platform it would never end).
        err << QStringLiteral("没有给出命令。") << '\n' << helpText(options);
        err.flush();
        return ExitUsage;
    }
    if (parser.isSet(kTiles) && !parser.isSet(kToMap))
        return usage(QStringLiteral("--tiles 只能与 --to-map 一起使用。"));
    const bool converting = parser.isSet(kToKml) || parser.isSet(kToHtml) || parser.isSet(kToGpx);
    for (const QString &name : {kPreset, kLatOffset, kLonOffset})
        if (parser.isSet(name) && !converting)
            return usage(QStringLiteral("--%1 只能与 --to-kml 或 --to-html 一起使用。").arg(name));

    Run r(parser, out, err);
    if (parser.isSet(kExifTime))
        return r.exifTime();
    if (parser.isSet(kReadPath))
        return r.readPath();
    if (converting)
        return r.convert();
    if (parser.isSet(kMatch))
        return r.match();
    if (parser.isSet(kProcess))
        return r.process();
    if (parser.isSet(kToMap))
        return r.toMap();
    if (parser.isSet(kSuggestOffset))
        return r.suggestOffset();
    return r.exifGps();
}

} // namespace pixplot
