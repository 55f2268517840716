// Times "pixplot --to-map" on a long generated RMC log and prints the page's
// size and drawn vertices, beside gpsbabel converting the same log to GPX
// (its simplify filter takes far longer than minutes on a million points)
// and the time headless Chromium takes to open the page.
// usage: bench_pixplot_mappage [--points N]
#include "../pixplot-window/benchsupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cmath>
#include <cstdio>

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

// Seconds a program took, or -1 when it could not run or failed.
double runTimed(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(-1))
        return -1;
    const double s = clock.nsecsElapsed() / 1e9;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? s : -1;
}

QString figure(double seconds)
{
    return seconds < 0 ? QStringLiteral("n/a") : QString::number(seconds, 'f', 2) + QStringLiteral(" s");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("points"), QStringLiteral("Fixes in the log (default 1000000)."),
                      QStringLiteral("N")});
    parser.addHelpOption();
    parser.process(app);
    const qint64 points = parser.isSet(QStringLiteral("points"))
        ? parser.value(QStringLiteral("points")).toLongLong()
        : 1000000;

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("long.nmea"));
    if (!bench::writeWanderingLog(log, points)) {
        say(QStringLiteral("cannot write the log"));
        return 1;
    }
    say(QStringLiteral("path: %1 fixes, %2 MB").arg(points).arg(QFile(log).size() / 1e6, 0, 'f', 1));

    const QString pixplot = QCoreApplication::applicationDirPath() + QStringLiteral("/pixplot");
    const QString page = dir.filePath(QStringLiteral("long_map.html"));
    const double ours = runTimed(pixplot,
                                 {QStringLiteral("--path"), log, QStringLiteral("--to-map"), page,
                                  QStringLiteral("--tiles"), QStringLiteral("none")});
    QFile f(page);
    QByteArray html;
    if (f.open(QIODevice::ReadOnly))
        html = f.readAll();
    static const QRegularExpression segLine(QStringLiteral("^var segments = (.*);\\r$"),
                                            QRegularExpression::MultilineOption);
    const qsizetype vertices =
        segLine.match(QString::fromUtf8(html)).captured(1).count(QStringLiteral("],[")) + 1;
    say(QStringLiteral("pixplot --to-map:            %1, page %2 MB, %3 vertices drawn")
            .arg(figure(ours))
            .arg(html.size() / 1e6, 0, 'f', 2)
            .arg(vertices));

    if (!QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty()) {
        const QString gpx = dir.filePath(QStringLiteral("all.gpx"));
        const double peer = runTimed(QStringLiteral("gpsbabel"),
                                     {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("nmea"),
                                      QStringLiteral("-f"), log, QStringLiteral("-o"), QStringLiteral("gpx"),
                                      QStringLiteral("-F"), gpx});
        say(QStringLiteral("gpsbabel the same log to GPX:  %1, %2 MB")
                .arg(figure(peer))
                .arg(QFile(gpx).size() / 1e6, 0, 'f', 2));
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty()) {
        QTemporaryDir profile;
        QByteArray dom;
        const double open = runTimed(QStringLiteral("chromium"),
                                     {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                                      QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                                      QStringLiteral("--disable-background-networking"),
                                      QStringLiteral("--user-data-dir=") + profile.path(),
                                      QStringLiteral("--dump-dom"), QUrl::fromLocalFile(page).toString()},
                                     &dom);
        say(QStringLiteral("chromium opens the page (start to DOM dump, incl. browser start): %1")
                .arg(figure(open)));
        QProcess none;
        QTemporaryDir profile2;
        QFile blank(dir.filePath(QStringLiteral("blank.html")));
        if (blank.open(QIODevice::WriteOnly))
            blank.write("<!DOCTYPE html><title>x</title>");
        blank.close();
        const double empty = runTimed(
            QStringLiteral("chromium"),
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
             QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
             QStringLiteral("--user-data-dir=") + profile2.path(), QStringLiteral("--dump-dom"),
             QUrl::fromLocalFile(blank.fileName()).toString()});
        say(QStringLiteral("chromium opens an empty page, same way:                        %1")
                .arg(figure(empty)));
    }
    return 0;
}
