#include "commandline.h"

#include "common/clock.h"
#include "common/consoletext.h"
#include "common/safefile.h"
#include "gpxexport.h"
#include "gtxtfile.h"
#include "kmlexport.h"
#include "loggerlink.h"
#include "nmeaexport.h"
#include "portrules.h"
#include "statustext.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace trekport {

bool wantsCommandLine(const QStringList &arguments)
{
    // Qt's own window options (-platform, -style) keep the window.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a.startsWith(QLatin1String("--")) || a == QLatin1String("-h") || a == QLatin1String("-?"))
            return true;
    }
    return false;
}

namespace {

struct Track {
    PointStore store;
    int count = 0; // rows listed
};

// Downloads until the line has been quiet for quietMs. Returns 0 or the
// exit code after printing the failure; *lost tells that the device went
// away during the download, after the points listed before it.
int download(const QString &portText, int quietMs, Track &track, QTextStream &out, QTextStream &err,
             bool *lost)
{
    LoggerLink link(track.store, [&track] { return track.count; });
    const int error = link.open(portText);
    if (error != 0) {
        err << statusLine(true, portText, false, openFailureText(error, portText)) << Qt::endl;
        return ExitBadInput;
    }
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setInterval(quietMs);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&link, &LoggerLink::bytesReceived, &quiet, qOverload<>(&QTimer::start));
    QObject::connect(&link, &LoggerLink::pointCompleted, &loop, [&](const QString &line) {
        ++track.count;
        out << line << Qt::endl;
    });
    QObject::connect(&link, &LoggerLink::deviceLost, &loop, [&] {
        *lost = true;
        loop.quit();
    });
    link.requestUpload();
    quiet.start();
    if (link.isOpen())
        loop.exec();
    if (*lost) {
        err << statusLine(true, portText, false, errorText(ErrDeviceUnavailable)) << Qt::endl;
        return ExitBadInput;
    }
    link.close();
    return ExitOk;
}

bool refuseExisting(const QString &path, bool overwrite, QTextStream &err)
{
    if (path.isEmpty())
        return false;
    // Not even --overwrite replaces a device or a FIFO.
    QString reason;
    if (!common::checkOutputTarget(path, &reason)) {
        err << QStringLiteral("无法写入：") << path << QStringLiteral("（") << reason << QStringLiteral("）")
            << Qt::endl;
        return true;
    }
    if (overwrite || !QFileInfo::exists(path))
        return false;
    err << common::overwriteRefusal(path) << Qt::endl;
    return true;
}

// A window message on one line of the terminal.
QString oneLine(QString text)
{
    return text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "))
        .replace(QStringLiteral("\r\n"), QStringLiteral(" "));
}

} // namespace

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption helpOpt = common::helpOption();
    const QCommandLineOption portOpt(
        QStringLiteral("port"), QStringLiteral("串口：数字 n（/dev/ttyS<n-1>，Windows 下 COMn）或设备路径。"),
        QStringLiteral("P"));
    const QCommandLineOption downloadOpt(QStringLiteral("download"),
                                         QStringLiteral("发送上传指令，每收到一个轨迹点打印它的列表行。"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet-ms"),
                                      QStringLiteral("串口 N 毫秒没有数据即结束下载（默认 3000）。"),
                                      QStringLiteral("N"), QStringLiteral("3000"));
    const QCommandLineOption importOpt(QStringLiteral("import"),
                                       QStringLiteral("读取 GTXT 文件（可重复，轨迹点依次追加）。"),
                                       QStringLiteral("FILE"));
    const QCommandLineOption gtxtOpt(QStringLiteral("export-gtxt"), QStringLiteral("写 GTXT 文件。"),
                                     QStringLiteral("OUT"));
    const QCommandLineOption nameOpt(QStringLiteral("export-name"),
                                     QStringLiteral("写 NAME 文件（NMEA 语句）。"), QStringLiteral("OUT"));
    const QCommandLineOption yearOpt(
        QStringLiteral("year"), QStringLiteral("NAME 和 GPX 文件所用的轨迹年份：2010 或 10（默认今年）。"),
        QStringLiteral("Y"));
    const QCommandLineOption kmlOpt(QStringLiteral("export-kml"), QStringLiteral("写 KML 文件。"),
                                    QStringLiteral("OUT"));
    const QCommandLineOption gpxOpt(QStringLiteral("export-gpx"), QStringLiteral("写 GPX 1.1 文件。"),
                                    QStringLiteral("OUT"));
    const QCommandLineOption zoneOpt(
        QStringLiteral("zone"),
        QStringLiteral("NAME 和 GPX 所用的记录仪时钟时区：+08:00、-05:30、UTC、Europe/Berlin 之类的"
                       "时区名称，或 local（默认 UTC+08:00）。"),
        QStringLiteral("ZONE"));
    const QCommandLineOption overwriteOpt(QStringLiteral("overwrite"),
                                          QStringLiteral("替换已经存在的输出文件。"));
    const QList<QCommandLineOption> options{helpOpt, portOpt, downloadOpt, quietOpt, importOpt, gtxtOpt,
                                            nameOpt, yearOpt, kmlOpt,      gpxOpt,   zoneOpt,   overwriteOpt};
    parser.addOptions(options);

    if (!parser.parse(args)) {
        err << common::usageErrorText(parser.errorText(), parser.unknownOptionNames(), options) << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(helpOpt)) {
        out << common::helpText(QStringLiteral("trekport"),
                                {QStringLiteral("--port P --download [--quiet-ms N] [OUTPUTS] [--overwrite]"),
                                 QStringLiteral("--import FILE... [OUTPUTS] [--overwrite]")},
                                QStringLiteral("GPS 轨迹记录仪数据下载与轨迹文件转换；不带选项时打开窗口。\n"
                                               "OUTPUTS 为 --export-gtxt、--export-name、--export-kml、"
                                               "--export-gpx 中的一个或几个。"),
                                options);
        out.flush();
        return ExitOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << QStringLiteral("多余的参数：") << parser.positionalArguments().first() << Qt::endl;
        return ExitUsage;
    }
    const bool downloading = parser.isSet(downloadOpt);
    if (downloading != parser.isSet(portOpt)) {
        err << QStringLiteral("--download 和 --port 须一起使用。") << Qt::endl;
        return ExitUsage;
    }
    bool ok = false;
    const int quietMs = parser.value(quietOpt).toInt(&ok);
    if (!ok || quietMs < 1) {
        err << QStringLiteral("--quiet-ms 须是正整数（毫秒）。") << Qt::endl;
        return ExitUsage;
    }
    const QStringList imports = parser.values(importOpt);
    const QString gtxtOut = parser.value(gtxtOpt);
    const QString nameOut = parser.value(nameOpt);
    const QString kmlOut = parser.value(kmlOpt);
    const QString gpxOut = parser.value(gpxOpt);
    common::TimeZoneSetting zone;
    if (parser.isSet(zoneOpt)) {
        const auto parsed = common::TimeZoneSetting::parse(parser.value(zoneOpt));
        if (!parsed) {
            err << common::TimeZoneSetting::invalidMessage(parser.value(zoneOpt)) << Qt::endl;
            return ExitUsage;
        }
        zone = *parsed;
    }
    if (!downloading && imports.isEmpty()) {
        err << QStringLiteral("没有要做的事：请给出 --port P --download 或 --import FILE。") << Qt::endl;
        return ExitUsage;
    }
    QString dataYear = yearOf(common::clock::now());
    if (parser.isSet(yearOpt)) {
        const QString y = parser.value(yearOpt);
        // Only what the year box would take: four digits or two.
        const bool digits = !y.isEmpty()
            && std::all_of(y.begin(), y.end(), [](QChar c) { return c.isDigit() && c.unicode() < 0x80; });
        if (!digits || (y.size() != 2 && y.size() != 4)) {
            err << QStringLiteral("--year 须是年份，如 2010 或 10。") << Qt::endl;
            return ExitUsage;
        }
        dataYear = applyYearAnswer(dataYear, y);
    }

    // Two outputs on one file: the later would replace the earlier.
    QStringList outputs;
    for (const QString &path : {gtxtOut, nameOut, kmlOut, gpxOut}) {
        if (path.isEmpty())
            continue;
        const QString identity = common::outputIdentity(path);
        if (outputs.contains(identity)) {
            err << QStringLiteral("同一个文件不能作为两个输出：") << path << Qt::endl;
            return ExitUsage;
        }
        outputs << identity;
    }

    // Refuse before anything is downloaded or written.
    const bool overwrite = parser.isSet(overwriteOpt);
    bool refused = false;
    for (const QString &path : {gtxtOut, nameOut, kmlOut, gpxOut})
        refused = refuseExisting(path, overwrite, err) || refused;
    if (refused)
        return ExitBadInput;
    QString reason;
    for (const QString &path : imports) {
        if (!common::checkInputFile(path, &reason)) {
            err << oneLine(readFailedMessage(path, reason)) << Qt::endl;
            return ExitBadInput;
        }
    }

    Track track;
    for (const QString &path : imports) {
        QStringList fileLines;
        if (!readGtxtFile(path, &fileLines, &reason)) {
            err << oneLine(readFailedMessage(path, reason)) << Qt::endl;
            return ExitBadInput;
        }
        int ignored = 0;
        const int kept = parseTrackLines(fileLines, track.store, track.count, &ignored);
        if (kept == 0) {
            err << noTrackPointsMessage(path, ignored).replace(QStringLiteral("\r\n"), QString()) << Qt::endl;
            return ExitBadInput;
        }
        fileLines.clear();
        track.count += kept;
        out << QStringLiteral("已读取") << path << QStringLiteral("，共") << kept
            << QStringLiteral("个轨迹点。") << Qt::endl;
        if (ignored > 0)
            err << ignoredLinesMessage(ignored) << Qt::endl;
    }
    bool deviceLost = false;
    if (downloading) {
        const int code = download(parser.value(portOpt), quietMs, track, out, err, &deviceLost);
        // A logger unplugged on the way: what came before is still written.
        if (code != ExitOk && !deviceLost)
            return code;
    }

    const int n = track.count;
    if (n == 0 && !(gtxtOut.isEmpty() && nameOut.isEmpty() && kmlOut.isEmpty() && gpxOut.isEmpty())) {
        err << QStringLiteral("没有轨迹点，未写入任何文件。") << Qt::endl;
        return ExitBadInput;
    }
    QString error;
    if (!gtxtOut.isEmpty()) {
        if (!writeGtxtFile(gtxtOut, track.store, n, &error)) {
            err << oneLine(writeFailedMessage(gtxtOut, error)) << Qt::endl;
            return ExitBadInput;
        }
        out << QStringLiteral("已写入GTXT文件") << gtxtOut << QStringLiteral("，共") << n
            << QStringLiteral("个轨迹点。") << Qt::endl;
    }
    if (!nameOut.isEmpty()) {
        int skipped = 0;
        const QByteArray bytes = buildNameFile(track.store, n, dataYear, &skipped, zone);
        if (!writeNameFile(nameOut, bytes, &error)) {
            err << oneLine(writeFailedMessage(nameOut, error)) << Qt::endl;
            return ExitBadInput;
        }
        out << QStringLiteral("已写入NAME文件") << nameOut << QStringLiteral("，共") << (n - skipped)
            << QStringLiteral("个轨迹点");
        if (skipped > 0)
            out << QStringLiteral("，") << skipped << QStringLiteral("个轨迹点数据不是数字，未写入");
        out << QStringLiteral("。") << Qt::endl;
    }
    if (!kmlOut.isEmpty()) {
        const KmlFile doc = buildKmlFile(track.store, n);
        if (!writeKmlFile(kmlOut, doc.bytes, &error)) {
            err << oneLine(writeFailedMessage(kmlOut, error)) << Qt::endl;
            return ExitBadInput;
        }
        out << QStringLiteral("已写入KML文件") << kmlOut << QStringLiteral("，共 ") << doc.marked
            << QStringLiteral("个标记点, ") << (n - doc.marked) << QStringLiteral("个自动轨迹点。")
            << Qt::endl;
    }
    if (!gpxOut.isEmpty()) {
        const GpxExport doc = buildGpxDocument(track.store, n, dataYear, zone);
        if (!writeGpxFile(gpxOut, doc.bytes, &error)) {
            err << oneLine(writeFailedMessage(gpxOut, error)) << Qt::endl;
            return ExitBadInput;
        }
        out << QStringLiteral("已写入GPX文件") << gpxOut << QStringLiteral("，共 ") << doc.marked
            << QStringLiteral("个标记点, ") << doc.automatic << QStringLiteral("个自动轨迹点。") << Qt::endl;
    }
    return deviceLost ? ExitBadInput : ExitOk;
}

} // namespace trekport
