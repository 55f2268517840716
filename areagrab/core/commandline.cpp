#include "core/commandline.h"

#include "core/capturerunner.h"
#include "core/cliargs.h"

#include <QCommandLineParser>

namespace areagrab {

namespace {

// The command line's options, known to a parser.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption full{QStringLiteral("full"), QStringLiteral("Capture the whole primary screen.")};
    QCommandLineOption rect{
        QStringLiteral("rect"),
        QStringLiteral("Capture the rectangle X,Y,W,H (pixels from the primary screen's top-left; the "
                       "part off the screen is left out)."),
        QStringLiteral("X,Y,W,H")};
    QCommandLineOption windowAt{
        QStringLiteral("window-at"),
        QStringLiteral("Capture the innermost window under the point X,Y (pixels from the primary "
                       "screen's top-left), clipped to the screen."),
        QStringLiteral("X,Y")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"), QStringLiteral("Replace an existing OUT.")};

    Options()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Captures the primary screen, a rectangle of it or one window, and saves it as JPEG "
            "(quality 80). Without options the capture window opens."));
        parser.addOptions({full, rect, windowAt, overwrite});
        parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The JPEG file to write."));
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
        err << parser.errorText() << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(options.help)) {
        out << parser.helpText();
        out.flush();
        return ExitOk;
    }
    if (options.modes() != 1 || parser.positionalArguments().size() != 1) {
        err << QStringLiteral("用法：一次只能用 --full、--rect 或 --window-at 之一，并给出一个输出文件。")
            << Qt::endl
            << parser.helpText();
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
