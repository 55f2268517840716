// pixplot: with no options the window; with options the same core, headless.
#include "core/convertcli.h"
#include "core/corecli.h"
#include "ui/appcli.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Geotags JPEG photos from an NMEA path."));
    parser.addHelpOption();
    // Options more than one command reads; each command looks them up by name.
    parser.addOption({QStringLiteral("path"), QStringLiteral("NMEA or GPX path file."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Replace existing output files.")});
    parser.addOption({QStringLiteral("zone"),
                      QStringLiteral("Time zone of the path's local times: +08:00, -05:30, UTC, an IANA "
                                     "name such as Europe/Berlin, or local (default UTC+08:00)."),
                      QStringLiteral("ZONE")});
    pixplot::addCoreOptions(parser);
    pixplot::addConvertOptions(parser);
    pixplot::addAppOptions(parser);
    parser.addPositionalArgument(QStringLiteral("PHOTO"), QStringLiteral("Photos to work on."),
                                 QStringLiteral("[PHOTO...]"));
    // Parsed before the application exists, so the command decides which one
    // to start: reading EXIF times and paths needs neither fonts nor painting,
    // and starting without the GUI half of Qt makes them start much faster.
    const bool parsed = parser.parse(arguments);
    const bool coreOnly = parsed
        && (parser.isSet(QStringLiteral("exif-time")) || parser.isSet(QStringLiteral("read-path"))
            || parser.isSet(QStringLiteral("exif-gps")));

    // Command-line runs need no screen; fonts and painting still work offscreen.
    if (argc > 1 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (coreOnly)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pixplot"));
#ifdef SUITE_DESKTOP_ID
    // Ties the windows to their menu entry, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(SUITE_DESKTOP_ID));
#endif

    if (!parsed) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    if (const auto rc = pixplot::runCoreOptions(parser))
        return *rc;
    if (const auto rc = pixplot::runConvertOptions(parser))
        return *rc;
    if (const auto rc = pixplot::runAppOptions(parser))
        return *rc;
    // Photos or options without a command: the window is not what was asked
    // for (and with the offscreen platform set above it would never end).
    if (coreOnly || !parser.positionalArguments().isEmpty() || !parser.optionNames().isEmpty()) {
        std::fputs(qUtf8Printable(parser.helpText()), stderr);
        return 2;
    }
    return pixplot::showMainWindow(static_cast<QApplication &>(*app));
}
