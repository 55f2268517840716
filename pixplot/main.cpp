// pixplot: with no options the window; with options the command line.
#include "core/commandline.h"
#include "ui/mainwindow.h"

#include "common/qtdialogs.h"
#include "common/translations.h"

#include <QApplication>
#include <QTextStream>

#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    if (pixplot::wantsCommandLine(arguments)) {
        // Command-line runs need no screen; fonts and painting still work offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        std::unique_ptr<QCoreApplication> app;
        if (pixplot::commandNeedsGui(arguments))
            app = std::make_unique<QApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("pixplot"));
        QTextStream out(stdout);
        QTextStream err(stderr);
        out.setEncoding(QStringConverter::Utf8);
        err.setEncoding(QStringConverter::Utf8);
        const int status = pixplot::run(arguments, out, err);
        out.flush();
        err.flush();
        return status;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pixplot"));
#ifdef SUITE_DESKTOP_ID
    // Ties the windows to their menu entry, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(SUITE_DESKTOP_ID));
#endif
    common::loadQtTranslations(app);
    common::QtDialogs dialogs;
    pixplot::PixplotMain window(dialogs);
    window.show();
    return app.exec();
}
