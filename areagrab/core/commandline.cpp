#include "core/commandline.h"

#include "core/capturerunner.h"
#include "core/cliargs.h"

#include <QCommandLineParser>

namespace areagrab {

bool needsScreen(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        for (const char *opt : {"--full", "--rect", "--window-at", "-full", "-rect", "-window-at"}) {
            const QString option = QLatin1String(opt);
            if (arg == option || arg.startsWith(option + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err,
        const WindowSystemFactory &openWindowSystem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Captures the primary screen, a rectangle of it or one window, and saves it as JPEG "
        "(quality 80). Without options the capture window opens."));
    const QCommandLineOption helpOpt = parser.addHelpOption();
    const QCommandLineOption fullOpt(QStringLiteral("full"), QStringLiteral("Capture the whole primary screen."));
    const QCommandLineOption rectOpt(QStringLiteral("rect"),
        QStringLiteral("Capture the rectangle X,Y,W,H (pixels from the primary screen's top-left; the "
                       "part off the screen is left out)."),
        QStringLiteral("X,Y,W,H"));
    const QCommandLineOption windowAtOpt(QStringLiteral("window-at"),
        QStringLiteral("Capture the innermost window under the point X,Y (pixels from the primary "
                       "screen's top-left), clipped to the screen."),
        QStringLiteral("X,Y"));
    const QCommandLineOption overwriteOpt(QStringLiteral("overwrite"), QStringLiteral("Replace an existing OUT."));
    parser.addOptions({fullOpt, rectOpt, windowAtOpt, overwriteOpt});
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The JPEG file to write."));

    if (!parser.parse(arguments)) {
        err << parser.errorText() << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(helpOpt)) {
        out << parser.helpText();
        out.flush();
        return ExitOk;
    }
    const int modes = int(parser.isSet(fullOpt)) + int(parser.isSet(rectOpt)) + int(parser.isSet(windowAtOpt));
    if (modes != 1 || parser.positionalArguments().size() != 1) {
        err << QStringLiteral("用法：一次只能用 --full、--rect 或 --window-at 之一，并给出一个输出文件。")
            << Qt::endl << parser.helpText();
        err.flush();
        return ExitUsage;
    }

    CaptureRequest request;
    request.out = parser.positionalArguments().constFirst();
    request.overwrite = parser.isSet(overwriteOpt);
    if (parser.isSet(rectOpt)) {
        const auto rect = parseRectArg(parser.value(rectOpt));
        if (!rect) {
            err << QStringLiteral("--rect 的值“%1”无效：应为 X,Y,W,H。").arg(parser.value(rectOpt)) << Qt::endl;
            return ExitUsage;
        }
        request.mode = CaptureRequest::Mode::Rect;
        request.rect = *rect;
    } else if (parser.isSet(windowAtOpt)) {
        const auto point = parsePointArg(parser.value(windowAtOpt));
        if (!point) {
            err << QStringLiteral("--window-at 的值“%1”无效：应为 X,Y。").arg(parser.value(windowAtOpt))
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
