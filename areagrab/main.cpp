// areagrab: with no options the window; with options the command line,
// which captures through the same core and saves a JPEG.
#include "core/commandline.h"
#include "platform/windowsystem.h"
#include "ui/mainform.h"
#include "common/programstart.h"
#include "common/qtdialogs.h"

#include <QApplication>
#include <QTextStream>

#include <memory>

#ifdef Q_OS_LINUX
#include <cstdlib>
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
#ifdef Q_OS_LINUX
    // Tesseract's OpenMP workers spin while they wait: with a worker per
    // core they read a screen of text several times slower than one thread
    // does whenever the machine has other work (25 s against 4 s measured).
    // The limit is read as the library loads, before main, so the program
    // starts once more with it; a limit the user set is kept.
    if (!std::getenv("OMP_THREAD_LIMIT")) {
        setenv("OMP_THREAD_LIMIT", "1", 1);
        execv("/proc/self/exe", argv);
    }
#endif
    if (argc <= 1) {
        QApplication app(argc, argv);
        common::prepareWindowApplication(app, QStringLiteral("areagrab"), SUITE_DESKTOP_ID);
        common::QtDialogs dialogs;
        const auto ws = areagrab::createWindowSystem();
        areagrab::MainForm form(dialogs, *ws);
        form.show();
        return app.exec();
    }

    const QStringList arguments = common::argumentsOf(argc, argv);
    // A capture needs a GUI application, which aborts where no screen answers.
    std::unique_ptr<QCoreApplication> app;
    if (areagrab::needsScreen(arguments) && areagrab::screenReachable())
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    app->setApplicationName(QStringLiteral("areagrab"));
    return common::runOnConsole(
        [](const QStringList &args, QTextStream &out, QTextStream &err) {
            return areagrab::run(args, out, err, areagrab::createWindowSystem);
        },
        app->arguments());
}
