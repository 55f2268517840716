#include "core/commandline.h"

#include "core/capturerunner.h"
#include "core/cliargs.h"

#include "common/consoletext.h"

#include <QCommandLineParser>

namespace areagrab {

namespace {

// The command line's options, known to a parser.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help = common::helpOption();
    QCommandLineOption full{QStringLiteral("full"), QStringLiteral("截取整个主屏幕。")};
    QCommandLineOption rect{
        QStringLiteral("rect"),
        QStringLiteral("截取矩形 X,Y,W,H（从主屏幕左上角算起的像素；屏幕以外的部分不截取）。"),
        QStringLiteral("X,Y,W,H")};
    QCommandLineOption windowAt{
        QStringLiteral("window-at"),
        QStringLiteral("截取点 X,Y（从主屏幕左上角算起的像素）下最里层的窗口，超出屏幕的部分不截取。"),
        QStringLiteral("X,Y")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"), QStringLiteral("替换已经存在的 OUT。")};
    QList<QCommandLineOption> all{help, full, rect, windowAt, overwrite};

    Options()
    {
        parser.addOptions(all);
        parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("要写入的 JPEG 文件。"));
    }
    QString helpText() const
    {
        return common::helpText(QStringLiteral("areagrab"),
                                {QStringLiteral("--full OUT [--overwrite]"),
                                 QStringLiteral("--rect X,Y,W,H OUT [--overwrite]"),
                                 QStringLiteral("--window-at X,Y OUT [--overwrite]")},
                                QStringLiteral("截取主屏幕、其中一个矩形或一个窗口，存为 JPEG 文件（质量 80）；"
                                               "不带选项时打开窗口。"),
                                all);
    }
    // How many of the capture options are given.
    int modes() const
    {
        return int(parser.isSet(full)) + int(parser.isSet(rect)) + int(parser.isSet(windowAt));
    }
};

} // namespace

bool needsScreen(const QStringList &arguments)
{
    // Qt's own options (-platform) are unknown here, and are gone by the
    // time run parses: only the capture options count.
    Options options;
    options.parser.parse(arguments);
    return options.modes() > 0;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err,
        const WindowSystemFactory &openWindowSystem)
{
    Options options;
    QCommandLineParser &parser = options.parser;
    if (!parser.parse(arguments)) {
        err << common::usageErrorText(parser.errorText(), parser.unknownOptionNames(), options.all)
            << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(options.help)) {
        out << options.helpText();
        out.flush();
        return ExitOk;
    }
    if (options.modes() != 1 || parser.positionalArguments().size() != 1) {
        err << QStringLiteral("用法：一次只能用 --full、--rect 或 --window-at 之一，并给出一个输出文件。")
            << Qt::endl
            << options.helpText();
        err.flush();
        return ExitUsage;
    }

    CaptureRequest request;
    request.out = parser.positionalArguments().constFirst();
    request.overwrite = parser.isSet(options.overwrite);
    if (parser.isSet(options.rect)) {
        const auto rect = parseRectArg(parser.value(options.rect));
        if (!rect) {
            err << QStringLiteral("--rect 的值“%1”无效：应为 X,Y,W,H。").arg(parser.value(options.rect))
                << Qt::endl;
            return ExitUsage;
        }
        request.mode = CaptureRequest::Mode::Rect;
        request.rect = *rect;
    } else if (parser.isSet(options.windowAt)) {
        const auto point = parsePointArg(parser.value(options.windowAt));
        if (!point) {
            err << QStringLiteral("--window-at 的值“%1”无效：应为 X,Y。").arg(parser.value(options.windowAt))
                << Qt::endl;
            return ExitUsage;
        }
        request.mode = CaptureRequest::Mode::WindowAt;
        request.point = *point;
    }
    const std::unique_ptr<WindowSystem> ws = openWindowSystem();
    if (!ws) {
        err << QStringLiteral("没有可用的屏幕（DISPLAY 未设置或无法连接）。") << Qt::endl;
        return ExitBadInput;
    }
    QString result, message;
    const int status = runCapture(request, CaptureRunner(*ws), &result, &message);
    if (!result.isEmpty())
        out << result << Qt::endl;
    if (!message.isEmpty())
        err << message << Qt::endl;
    return status;
}

} // namespace areagrab
