// trekport: with no options the window; with options the command line.
#include "common/mapview.h"
#include "common/programstart.h"
#include "core/commandline.h"
#include "core/portsettings.h"
#include "ui/mainform.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    const QStringList arguments = common::argumentsOf(argc, argv);
    if (trekport::wantsCommandLine(arguments)) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("trekport"));
        return common::runOnConsole(trekport::run, app.arguments());
    }
    common::prepareMapEngine();
    const auto makeWindow = [](common::Dialogs &dialogs) {
        auto window = std::make_unique<trekport::MainForm>(dialogs, trekport::defaultSettingsFolder());
        window->show();
        return window;
    };
    return common::runWindow(argc, argv, QStringLiteral("trekport"), SUITE_DESKTOP_ID, makeWindow);
}
