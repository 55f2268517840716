// areagrab: with no options the window; with a capture option the same core
// captures headless and saves a JPEG.
#include "core/capturecli.h"
#include "core/cliargs.h"
#include "ui/mainform.h"
#include "common/qtdialogs.h"
#include "common/consoletext.h"
#include "common/translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

namespace {

using common::printLine;

bool asksForScreen(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        for (const char *opt : {"--full", "--rect", "--window-at", "-full", "-rect", "-window-at"}) {
            if (arg == opt || arg.startsWith(QByteArray(opt) + '='))
                return true;
        }
    }
    return false;
}

bool displayAvailable()
{
#ifdef Q_OS_WIN
    return true;
#else
    // A platform other than X11 (offscreen, for one) is taken at its word;
    // for X11 the display must answer, or starting the GUI aborts.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))
        return true;
    if (areagrab::windowSystemReachable())
        return true;
    // A Wayland session without an X server: Qt's Wayland plugin, rather
    // than an abort on the missing display.
    if (platform.isEmpty() && areagrab::waylandReachable()) {
        qputenv("QT_QPA_PLATFORM", "wayland");
        return true;
    }
    return false;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (argc <= 1)
        app = std::make_unique<QApplication>(argc, argv);
    else if (asksForScreen(argc, argv) && displayAvailable())
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("areagrab"));
#ifdef SUITE_DESKTOP_ID
    // Ties the windows to their menu entry, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(SUITE_DESKTOP_ID));
#endif

    if (argc <= 1) {
        common::loadQtTranslations(*app);
        common::QtDialogs dialogs;
        auto ws = areagrab::createWindowSystem();
        areagrab::MainForm form(dialogs, *ws);
        form.show();
        return app->exec();
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Captures the primary screen, a rectangle of it or one window, and saves it as JPEG "
        "(quality 80). Without options the capture window opens."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("full"), QStringLiteral("Capture the whole primary screen.")});
    parser.addOption({QStringLiteral("rect"),
                      QStringLiteral("Capture the rectangle X,Y,W,H (pixels from the primary "
                                     "screen's top-left; the part off the screen is left out)."),
                      QStringLiteral("X,Y,W,H")});
    parser.addOption({QStringLiteral("window-at"),
                      QStringLiteral("Capture the innermost window under the point X,Y (pixels "
                                     "from the primary screen's top-left), clipped to the screen."),
                      QStringLiteral("X,Y")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Replace an existing OUT.")});
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The JPEG file to write."));
    if (!parser.parse(QCoreApplication::arguments())) {
        printLine(stderr, parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    const int modes = int(parser.isSet(QStringLiteral("full"))) + int(parser.isSet(QStringLiteral("rect")))
        + int(parser.isSet(QStringLiteral("window-at")));
    if (modes != 1 || parser.positionalArguments().size() != 1) {
        printLine(stderr, QStringLiteral("用法：一次只能用 --full、--rect 或 --window-at 之一，并给出一个输出文件。"));
        std::fputs(qUtf8Printable(parser.helpText()), stderr);
        return 2;
    }

    areagrab::CaptureRequest request;
    request.out = parser.positionalArguments().constFirst();
    request.overwrite = parser.isSet(QStringLiteral("overwrite"));
    if (parser.isSet(QStringLiteral("rect"))) {
        const auto rect = areagrab::parseRectArg(parser.value(QStringLiteral("rect")));
        if (!rect) {
            printLine(stderr, QStringLiteral("--rect 的值“%1”无效：应为 X,Y,W,H。")
                                  .arg(parser.value(QStringLiteral("rect"))));
            return 1;
        }
        request.mode = areagrab::CaptureRequest::Mode::Rect;
        request.rect = *rect;
    } else if (parser.isSet(QStringLiteral("window-at"))) {
        const auto point = areagrab::parsePointArg(parser.value(QStringLiteral("window-at")));
        if (!point) {
            printLine(stderr, QStringLiteral("--window-at 的值“%1”无效：应为 X,Y。")
                                  .arg(parser.value(QStringLiteral("window-at"))));
            return 1;
        }
        request.mode = areagrab::CaptureRequest::Mode::WindowAt;
        request.point = *point;
    }
    if (!qobject_cast<QGuiApplication *>(app.get())) {
        printLine(stderr, QStringLiteral("没有可用的屏幕（DISPLAY 未设置或无法连接）。"));
        return 1;
    }
    auto ws = areagrab::createWindowSystem();
    QString out, err;
    const int rc = areagrab::runCapture(request, *ws, &out, &err);
    if (!out.isEmpty())
        printLine(stdout, out);
    if (!err.isEmpty())
        printLine(stderr, err);
    return rc;
}
