#include "core/commandline.h"

#include "core/capturerunner.h"
#include "core/cliargs.h"
#include "core/imageformat.h"
#include "core/textreader.h"

#include "common/consoletext.h"

#include <QClipboard>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace areagrab {

using common::ExitFailed;
using common::ExitOk;
using common::ExitUsage;

namespace {

constexpr int DefaultClipboardSeconds = 60;

// The command line's options, known to a parser.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help = common::helpOption();
    QCommandLineOption full{QStringLiteral("full"), QStringLiteral("截取鼠标指针所在的显示器。")};
    QCommandLineOption allScreens{QStringLiteral("all-screens"),
                                  QStringLiteral("截取所有显示器（整个虚拟桌面）。")};
    QCommandLineOption screen{QStringLiteral("screen"),
                              QStringLiteral("截取第 N 个显示器（从 0 数起，按窗口系统列出的顺序）。"),
                              QStringLiteral("N")};
    QCommandLineOption rect{QStringLiteral("rect"),
                            QStringLiteral("截取矩形 X,Y,W,H（虚拟桌面的设备像素；屏幕以外的部分不截）。"),
                            QStringLiteral("X,Y,W,H")};
    QCommandLineOption windowAt{
        QStringLiteral("window-at"),
        QStringLiteral("截取点 X,Y（虚拟桌面的设备像素）下最里层的窗口，超出屏幕的部分不截。"),
        QStringLiteral("X,Y")};
    QCommandLineOption delay{QStringLiteral("delay"), QStringLiteral("等待 S 秒后再截图。"),
                             QStringLiteral("S")};
    QCommandLineOption clipboard{
        QStringLiteral("clipboard"),
        QStringLiteral("把截图放到剪贴板上，并等到别的程序接手剪贴板或超时后才退出。")};
    QCommandLineOption clipboardTimeout{
        QStringLiteral("clipboard-timeout"),
        QStringLiteral("--clipboard 最多等待 S 秒（默认 %1）。").arg(DefaultClipboardSeconds), QStringLiteral("S")};
    QCommandLineOption ocr{QStringLiteral("ocr"),
                           QStringLiteral("识别截图中的文字（简体中文和英文），输出到标准输出。")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"), QStringLiteral("覆盖已有的 OUT。")};
    QList<QCommandLineOption> all{help,  full,      allScreens,       screen, rect,
                                  windowAt, delay, clipboard, clipboardTimeout, ocr,    overwrite};

    Options()
    {
        parser.addOptions(all);
        parser.addPositionalArgument(QStringLiteral("OUT"),
                                     QStringLiteral("要写入的图片文件（.png、.jpg、.jpeg 或 .webp）。"));
    }
    QString helpText() const
    {
        return common::helpText(
            QStringLiteral("areagrab"),
            {QStringLiteral("--full|--all-screens|--screen N|--rect X,Y,W,H|--window-at X,Y OUT [--delay S] "
                            "[--overwrite]"),
             QStringLiteral("--full|--all-screens|--screen N|--rect X,Y,W,H|--window-at X,Y --clipboard|--ocr "
                            "[OUT]")},
            QStringLiteral("截取一个显示器、所有显示器、一个矩形或一个窗口，按 OUT 的后缀保存为 PNG、JPEG（质量 80）"
                           "或 WebP。不带选项时打开截图窗口。\nOUT 为 .png、.jpg、.jpeg 或 .webp 文件。"),
            all);
    }
    // How many of the capture options are given.
    int modes() const
    {
        return int(parser.isSet(full)) + int(parser.isSet(allScreens)) + int(parser.isSet(screen))
            + int(parser.isSet(rect)) + int(parser.isSet(windowAt));
    }
};

// A whole number of seconds, 0 to a day; nullopt otherwise.
std::optional<int> parseSeconds(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 24 * 3600)
        return std::nullopt;
    return v;
}

// Keeps image on the clipboard while nobody else owns it, up to seconds:
// on X11 the pixels live in the program that owns the clipboard. True when
// another program took the clipboard over.
bool holdOnClipboard(const QImage &image, int seconds)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setImage(image);
    // Our own change may still be announced; only later ones are others'.
    QCoreApplication::processEvents();
    QEventLoop loop;
    bool taken = false;
    const auto check = [&] {
        if (!clipboard->ownsClipboard()) {
            taken = true;
            loop.quit();
        }
    };
    // Not every platform announces the loss (X11 without XFixes does not):
    // ownership is also looked at now and then.
    QObject::connect(clipboard, &QClipboard::dataChanged, &loop, check);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(100);
    QTimer::singleShot(std::chrono::seconds(seconds), &loop, &QEventLoop::quit);
    if (clipboard->ownsClipboard())
        loop.exec();
    else
        taken = true;
    return taken;
}

// The capture mode and its value (--rect, --window-at, --screen,
// --all-screens; --full otherwise); false after saying which value is wrong.
bool readCaptureMode(const Options &options, CaptureRequest *request, QTextStream &err)
{
    const QCommandLineParser &parser = options.parser;
    if (parser.isSet(options.rect)) {
        const auto rect = parseRectArg(parser.value(options.rect));
        if (!rect) {
            err << QStringLiteral("--rect 的值“%1”无效：应为 X,Y,W,H。").arg(parser.value(options.rect))
                << Qt::endl;
            return false;
        }
        request->mode = CaptureRequest::Mode::Rect;
        request->rect = *rect;
    } else if (parser.isSet(options.windowAt)) {
        const auto point = parsePointArg(parser.value(options.windowAt));
        if (!point) {
            err << QStringLiteral("--window-at 的值“%1”无效：应为 X,Y。").arg(parser.value(options.windowAt))
                << Qt::endl;
            return false;
        }
        request->mode = CaptureRequest::Mode::WindowAt;
        request->point = *point;
    } else if (parser.isSet(options.screen)) {
        bool ok = false;
        request->screen = parser.value(options.screen).trimmed().toInt(&ok);
        if (!ok || request->screen < 0) {
            err << QStringLiteral("--screen 的值“%1”无效：应为显示器编号（0、1、……）。")
                       .arg(parser.value(options.screen))
                << Qt::endl;
            return false;
        }
        request->mode = CaptureRequest::Mode::Screen;
    } else if (parser.isSet(options.allScreens)) {
        request->mode = CaptureRequest::Mode::AllScreens;
    }
    return true;
}

// The seconds an option gives, fallback when it is not given; nullopt after
// saying why its value is wrong.
std::optional<int> secondsOption(const QCommandLineParser &parser, const QCommandLineOption &option,
                                 int fallback, QTextStream &err)
{
    if (!parser.isSet(option))
        return fallback;
    const auto seconds = parseSeconds(parser.value(option));
    if (!seconds)
        err << QStringLiteral("--%1 的值“%2”无效：应为 0 到 86400 之间的整数秒。")
                   .arg(option.names().constFirst(), parser.value(option))
            << Qt::endl;
    return seconds;
}

// The text read from the capture on out; false after saying why there is none.
bool printText(const QImage &captured, QTextStream &out, QTextStream &err)
{
    const TextResult text = TextReader().read(captured);
    if (!text.error.isEmpty()) {
        err << text.error << Qt::endl;
        return false;
    }
    out << text.text << Qt::endl;
    return true;
}

// Keeps the capture on the clipboard until another program takes it over or
// holdSeconds pass; says so when none did.
void offerOnClipboard(const QImage &captured, int holdSeconds, QTextStream &out, QTextStream &err)
{
    out.flush();
    if (!holdOnClipboard(captured, holdSeconds))
        err << QStringLiteral("%1 秒内没有别的程序接手剪贴板，截图已不在剪贴板上。").arg(holdSeconds) << Qt::endl;
}

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
    const QStringList positional = parser.positionalArguments();
    const bool wantsClipboard = parser.isSet(options.clipboard);
    const bool wantsText = parser.isSet(options.ocr);
    // Copying or reading the text needs no file.
    const bool outOptional = wantsClipboard || wantsText;
    if (options.modes() != 1 || positional.size() > 1 || (positional.isEmpty() && !outOptional)) {
        err << QStringLiteral("用法：一次只能用 --full、--all-screens、--screen、--rect 或 --window-at 之一，"
                              "并给出一个输出文件（用 --clipboard 或 --ocr 时可以不给）。")
            << Qt::endl
            << options.helpText();
        err.flush();
        return ExitUsage;
    }

    CaptureRequest request;
    request.out = positional.isEmpty() ? QString() : positional.constFirst();
    request.overwrite = parser.isSet(options.overwrite);
    if (!request.out.isEmpty() && !formatForName(request.out)) {
        err << unsupportedSuffixMessage(request.out) << Qt::endl;
        return ExitUsage;
    }
    const auto delaySeconds = secondsOption(parser, options.delay, 0, err);
    const auto holdSeconds = secondsOption(parser, options.clipboardTimeout, DefaultClipboardSeconds, err);
    if (!delaySeconds || !holdSeconds)
        return ExitUsage;
    if (!readCaptureMode(options, &request, err))
        return ExitUsage;
    const std::unique_ptr<WindowSystem> ws = openWindowSystem();
    if (!ws) {
        err << QStringLiteral("没有可用的屏幕（DISPLAY 未设置或无法连接）。") << Qt::endl;
        return ExitFailed;
    }
    if (wantsText) {
        // Said before the wait and the capture, not after them.
        if (const QStringList missing = TextReader::missingLanguages(); !missing.isEmpty()) {
            err << TextReader().read(QImage(1, 1, QImage::Format_RGB32)).error << Qt::endl;
            return ExitFailed;
        }
    }
    if (*delaySeconds > 0) {
        QEventLoop wait;
        QTimer::singleShot(std::chrono::seconds(*delaySeconds), &wait, &QEventLoop::quit);
        wait.exec();
    }
    QString result, message;
    QImage captured;
    const int status = runCapture(request, CaptureRunner(*ws), &result, &message, &captured);
    if (!result.isEmpty())
        out << result << Qt::endl;
    if (!message.isEmpty())
        err << message << Qt::endl;
    if (status != ExitOk)
        return status;
    if (wantsText && !printText(captured, out, err))
        return ExitFailed;
    if (wantsClipboard)
        offerOnClipboard(captured, *holdSeconds, out, err);
    return ExitOk;
}

} // namespace areagrab
