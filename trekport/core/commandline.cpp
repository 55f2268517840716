#include "commandline.h"

#include "common/clock.h"
#include "common/consoletext.h"
#include "common/safefile.h"
#include "gtxtfile.h"
#include "nmeaexport.h"
#include "portrules.h"
#include "statustext.h"
#include "tracksession.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>
#include <variant>

namespace trekport {

using common::ExitFailed;
using common::ExitOk;
using common::ExitUsage;

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

// What the arguments ask for.
struct Request {
    QString port;
    int quietMs = 3000;
    QStringList imports;
    QList<std::pair<TrackFormat, QString>> outputs; // given ones only
    QString dataYear;
    common::TimeZoneSetting zone;
    bool overwrite = false;
};

QList<QCommandLineOption> optionList()
{
    return {
        common::helpOption(),
        {QStringLiteral("port"),
         QStringLiteral("串口：数字 n（/dev/ttyS<n-1>，Windows 下 COMn）或设备路径。"), QStringLiteral("P")},
        {QStringLiteral("download"), QStringLiteral("发送上传指令，每收到一个轨迹点打印它的列表行。")},
        {QStringLiteral("quiet-ms"), QStringLiteral("串口 N 毫秒没有数据即结束下载（默认 3000）。"),
         QStringLiteral("N"), QStringLiteral("3000")},
        {QStringLiteral("import"), QStringLiteral("读取 GTXT 文件（可重复，轨迹点依次追加）。"),
         QStringLiteral("FILE")},
        {QStringLiteral("export-gtxt"), QStringLiteral("写 GTXT 文件。"), QStringLiteral("OUT")},
        {QStringLiteral("export-name"), QStringLiteral("写 NAME 文件（NMEA 语句）。"), QStringLiteral("OUT")},
        {QStringLiteral("year"), QStringLiteral("NAME 和 GPX 文件所用的轨迹年份：2010 或 10（默认今年）。"),
         QStringLiteral("Y")},
        {QStringLiteral("export-kml"), QStringLiteral("写 KML 文件。"), QStringLiteral("OUT")},
        {QStringLiteral("export-gpx"), QStringLiteral("写 GPX 1.1 文件。"), QStringLiteral("OUT")},
        {QStringLiteral("zone"),
         QStringLiteral("NAME 和 GPX 所用的记录仪时钟时区：+08:00、-05:30、UTC、Europe/Berlin 之类的"
                        "时区名称，或 local（默认 UTC+08:00）。"),
         QStringLiteral("ZONE")},
        {QStringLiteral("overwrite"), QStringLiteral("替换已经存在的输出文件。")},
    };
}

void printHelp(QTextStream &out, const QList<QCommandLineOption> &options)
{
    out << common::helpText(QStringLiteral("trekport"),
                            {QStringLiteral("--port P --download [--quiet-ms N] [OUTPUTS] [--overwrite]"),
                             QStringLiteral("--import FILE... [OUTPUTS] [--overwrite]")},
                            QStringLiteral("GPS 轨迹记录仪数据下载与轨迹文件转换；不带选项时打开窗口。\n"
                                           "OUTPUTS 为 --export-gtxt、--export-name、--export-kml、"
                                           "--export-gpx 中的一个或几个。"),
                            options);
    out.flush();
}

// Reads the values of the options; an exit code when they are wrong.
std::optional<int> readValues(const QCommandLineParser &parser, Request &r, QTextStream &err)
{
    bool ok = false;
    r.quietMs = parser.value(QStringLiteral("quiet-ms")).toInt(&ok);
    if (!ok || r.quietMs < 1) {
        err << QStringLiteral("--quiet-ms 须是正整数（毫秒）。") << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("zone"))) {
        const QString text = parser.value(QStringLiteral("zone"));
        const auto parsed = common::TimeZoneSetting::parse(text);
        if (!parsed) {
            err << common::TimeZoneSetting::invalidMessage(text) << Qt::endl;
            return ExitUsage;
        }
        r.zone = *parsed;
    }
    if (r.port.isEmpty() && r.imports.isEmpty()) {
        err << QStringLiteral("没有要做的事：请给出 --port P --download 或 --import FILE。") << Qt::endl;
        return ExitUsage;
    }
    r.dataYear = yearOf(common::clock::now());
    if (parser.isSet(QStringLiteral("year"))) {
        // Only what the year box would take: four digits or two.
        const QString y = parser.value(QStringLiteral("year"));
        if (!isYearText(y)) {
            err << QStringLiteral("--year 须是年份，如 2010 或 10。") << Qt::endl;
            return ExitUsage;
        }
        r.dataYear = applyYearAnswer(r.dataYear, y);
    }
    return std::nullopt;
}

// The request the arguments make, or the exit code after help or a usage error.
std::variant<Request, int> parseArguments(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QList<QCommandLineOption> options = optionList();
    parser.addOptions(options);
    if (!parser.parse(args)) {
        err << common::usageErrorText(parser.errorText(), parser.unknownOptionNames(), options) << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printHelp(out, options);
        return ExitOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << QStringLiteral("多余的参数：") << parser.positionalArguments().first() << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("download")) != parser.isSet(QStringLiteral("port"))) {
        err << QStringLiteral("--download 和 --port 须一起使用。") << Qt::endl;
        return ExitUsage;
    }
    Request r;
    r.port = parser.value(QStringLiteral("port"));
    r.imports = parser.values(QStringLiteral("import"));
    r.overwrite = parser.isSet(QStringLiteral("overwrite"));
    const std::pair<TrackFormat, const char *> outputs[] = {{TrackFormat::Gtxt, "export-gtxt"},
                                                            {TrackFormat::Name, "export-name"},
                                                            {TrackFormat::Kml, "export-kml"},
                                                            {TrackFormat::Gpx, "export-gpx"}};
    for (const auto &[format, name] : outputs)
        if (parser.isSet(QLatin1String(name)))
            r.outputs.append({format, parser.value(QLatin1String(name))});
    if (const std::optional<int> code = readValues(parser, r, err))
        return *code;
    return r;
}

// Refuses outputs that would replace one another, an input or (without
// --overwrite) an existing file, before anything is read or written.
int checkOutputs(const Request &r, QTextStream &err)
{
    QStringList identities;
    for (const auto &output : r.outputs) {
        const QString identity = common::outputIdentity(output.second);
        if (identities.contains(identity)) {
            err << QStringLiteral("同一个文件不能作为两个输出：") << output.second << Qt::endl;
            return ExitUsage;
        }
        identities << identity;
        if (!common::inputReplacedBy(output.second, r.imports).isEmpty()) {
            err << QStringLiteral("输出文件不能是读取的文件：") << output.second << Qt::endl;
            return ExitUsage;
        }
    }
    bool refused = false;
    for (const auto &output : r.outputs) {
        const QString &path = output.second;
        QString reason;
        const common::SaveTarget target = common::checkSaveTarget(path, &reason);
        if (target == common::SaveTarget::Refused) {
            err << QStringLiteral("无法写入：") << path << QStringLiteral("（") << reason
                << QStringLiteral("）") << Qt::endl;
            refused = true;
        } else if (target == common::SaveTarget::Existing && !r.overwrite) {
            err << common::overwriteRefusal(path) << Qt::endl;
            refused = true;
        }
    }
    return refused ? ExitFailed : ExitOk;
}

int importFiles(TrackSession &session, const QStringList &imports, QTextStream &err)
{
    QString reason;
    for (const QString &path : imports) {
        if (!common::checkInputFile(path, &reason)) {
            err << common::consoleOneLine(readFailedMessage(path, reason)) << Qt::endl;
            return ExitFailed;
        }
    }
    for (const QString &path : imports) {
        const LoadOutcome loaded = session.importGtxt(path);
        if (!loaded.read) {
            err << common::consoleOneLine(readFailedMessage(path, loaded.error)) << Qt::endl;
            return ExitFailed;
        }
        if (loaded.kept == 0) {
            err << noTrackPointsMessage(path, loaded.ignored).replace(QStringLiteral("\r\n"), QString())
                << Qt::endl;
            return ExitFailed;
        }
        err << loadedMessage(path, loaded.kept) << Qt::endl;
        if (loaded.ignored > 0)
            err << ignoredLinesMessage(loaded.ignored) << Qt::endl;
    }
    return ExitOk;
}

// Downloads until the line has been quiet for quietMs, printing each point.
// *opened: the port opened, so what arrived is worth writing even when the
// download ended badly (a lost device, skipped frames, an endless stream).
int download(TrackSession &session, const Request &r, QTextStream &out, QTextStream &err, bool *opened)
{
    LoggerLink &link = session.link();
    const int error = link.open(r.port);
    *opened = error == 0;
    if (error != 0) {
        err << statusLine(true, r.port, false, openFailureText(error, r.port)) << Qt::endl;
        return ExitFailed;
    }
    link.setSettleInterval(r.quietMs);
    QEventLoop loop;
    QObject scope; // the connections end with this download
    int status = ExitOk;
    bool lost = false;
    QObject::connect(&link, &LoggerLink::pointCompleted, &scope,
                     [&](const QString &line) { out << line << Qt::endl; });
    QObject::connect(&link, &LoggerLink::uploadSettled, &scope, [&](int, int skipped) {
        if (skipped > 0) {
            err << skippedFramesText(skipped) << Qt::endl;
            status = ExitFailed;
        }
        loop.quit();
    });
    QObject::connect(&link, &LoggerLink::streamStopped, &scope, [&](const QString &message) {
        err << message << Qt::endl;
        status = ExitFailed;
        loop.quit();
    });
    QObject::connect(&link, &LoggerLink::deviceLost, &scope, [&] {
        lost = true;
        loop.quit();
    });
    link.requestUpload();
    if (link.isOpen())
        loop.exec();
    if (lost) {
        link.settle(); // what came before the plug was pulled
        err << statusLine(true, r.port, false, errorText(ErrDeviceUnavailable)) << Qt::endl;
        return ExitFailed;
    }
    link.close();
    return status;
}

int writeOutputs(TrackSession &session, const Request &r, QTextStream &err)
{
    int status = ExitOk;
    for (const auto &[format, path] : r.outputs) {
        const ExportOutcome outcome = session.exportTo(format, path);
        err << exportConsoleLine(format, path, outcome) << Qt::endl;
        if (!outcome.written)
            return ExitFailed;
        if (outcome.impossible > 0)
            status = ExitFailed;
    }
    return status;
}

} // namespace

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const std::variant<Request, int> parsed = parseArguments(args, out, err);
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const Request &r = std::get<Request>(parsed);
    if (const int code = checkOutputs(r, err))
        return code;
    TrackSession session;
    session.setDataYear(r.dataYear);
    session.setZone(r.zone);
    if (const int code = importFiles(session, r.imports, err))
        return code;
    int status = ExitOk;
    if (!r.port.isEmpty()) {
        bool opened = false;
        status = download(session, r, out, err, &opened);
        if (!opened)
            return status;
    }
    if (session.count() == 0) {
        err << (r.outputs.isEmpty() ? QStringLiteral("没有收到轨迹点")
                                    : QStringLiteral("没有轨迹点，未写入任何文件。"))
            << Qt::endl;
        return ExitFailed;
    }
    return std::max(status, writeOutputs(session, r, err));
}

} // namespace trekport
