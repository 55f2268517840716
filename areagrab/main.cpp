// areagrab: with no options the window; with options the command line,
// which captures through the same core and saves a JPEG.
#include "core/commandline.h"
#include "platform/windowsystem.h"
#include "ui/mainform.h"
#include "common/qtdialogs.h"
#include "common/translations.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    if (argc <= 1) {
        QApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("areagrab"));
#ifdef SUITE_DESKTOP_ID
        // Ties the windows to their menu entry, whose icon the desktop then shows.
        QGuiApplication::setDesktopFileName(QStringLiteral(SUITE_DESKTOP_ID));
#endif
        common::loadQtTranslations(app);
        common::QtDialogs dialogs;
        const auto ws = areagrab::createWindowSystem();
        areagrab::MainForm form(dialogs, *ws);
        form.show();
        return app.exec();
    }

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // A capture needs a GUI application, which aborts where no screen answers.
    std::unique_ptr<QCoreApplication> app;
    if (areagrab::needsScreen(arguments) && areagrab::screenReachable())
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    app->setApplicationName(QStringLiteral("areagrab"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    const int status = areagrab::run(app->arguments(), out, err, areagrab::createWindowSystem);
    out.flush();
    err.flush();
    return status;
}
