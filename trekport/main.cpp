// trekport: with no options the window; with options the command line.
#include "common/qtdialogs.h"
#include "common/translations.h"
#include "core/commandline.h"
#include "core/portsettings.h"
#include "ui/mainform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (trekport::wantsCommandLine(arguments)) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("trekport"));
        QTextStream out(stdout);
        QTextStream err(stderr);
        out.setEncoding(QStringConverter::Utf8);
        err.setEncoding(QStringConverter::Utf8);
        const int code = trekport::run(app.arguments(), out, err);
        out.flush();
        err.flush();
        return code;
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("trekport"));
#ifdef SUITE_DESKTOP_ID
    // Ties the windows to their menu entry, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(SUITE_DESKTOP_ID));
#endif
    common::loadQtTranslations(app);
    common::QtDialogs dialogs;
    trekport::MainForm window(dialogs, trekport::defaultSettingsFolder());
    window.show();
    return app.exec();
}
