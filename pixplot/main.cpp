// pixplot: with no options the window; with options the command line.
#include "core/commandline.h"
#include "core/settingsfile.h"
#include "ui/mainwindow.h"

#include "common/mapview.h"
#include "common/programstart.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    const QStringList arguments = common::argumentsOf(argc, argv);
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
        return common::runOnConsole(pixplot::run, arguments);
    }

    common::prepareMapEngine();
    const auto makeWindow = [](common::Dialogs &dialogs) {
        auto window = std::make_unique<pixplot::PixplotMain>(dialogs);
        window->keepSettingsIn(pixplot::settingsfile::defaultFile());
        window->show();
        window->restoreMap();
        return window;
    };
    return common::runWindow(argc, argv, QStringLiteral("pixplot"), SUITE_DESKTOP_ID, makeWindow);
}
