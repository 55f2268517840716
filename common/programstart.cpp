#include "common/programstart.h"

#include "common/qtdialogs.h"
#include "common/translations.h"

#include <QApplication>
#include <QWidget>
#include <QTextStream>

#include <cstdio>

namespace common {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void prepareWindowApplication(QApplication &app, const QString &name, const char *desktopId)
{
    QCoreApplication::setApplicationName(name);
    if (desktopId && *desktopId)
        QGuiApplication::setDesktopFileName(QString::fromUtf8(desktopId));
    loadQtTranslations(app);
}

int runWindow(int &argc, char *argv[], const QString &name, const char *desktopId,
              const WindowMaker &makeWindow)
{
    QApplication app(argc, argv);
    prepareWindowApplication(app, name, desktopId);
    QtDialogs dialogs;
    const std::unique_ptr<QWidget> window = makeWindow(dialogs);
    return app.exec();
}

int runOnConsole(const CommandLine &run, const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    const int status = run(args, out, err);
    out.flush();
    err.flush();
    return status;
}

} // namespace common
