// A long track through trekport and through gpsbabel, in one run:
//  - the window: a GTXT file of N points loaded into the list, then the NAME,
//    KML and GPX files written through the handlers the buttons call; time, the
//    memory the loaded track holds and the peak of each step;
//  - the command line: the same file imported and written as GTXT, NAME and
//    KML, peak memory above the same run on a one-point file;
//  - gpsbabel reading the NAME file of the same track and writing KML and
//    GPX, peak memory above the same on a one-point file.
// Targets: each window step under one second; at most 250 bytes a point held
// (100,000 points under 45 MB above an empty start).
// Usage: bench_trekport [points] [--trekport PROGRAM] (another build to compare).
#include "common/scripteddialogs.h"
#include "core/framedecoder.h"
#include "core/gtxtfile.h"
#include "core/loggerframes.h"
#include "core/nmeaexport.h"
#include "ui/mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// kB from a line of /proc/self/status ("VmRSS:", "VmHWM:").
long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    return -1;
}

long heldKb()
{
    malloc_trim(0); // what is freed goes back, so RSS shows what is held
    return statusKb("VmRSS:");
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

struct Run {
    double ms = -1;
    long peakKb = -1;
    int status = -1;
};

// Runs a program with its output thrown away; wall time and peak RSS as
// /usr/bin/time reports them (our own fork would count our pages).
Run measure(const QStringList &argv, const QString &report)
{
    Run run;
    QStringList all{QStringLiteral("/usr/bin/time"), QStringLiteral("-f"), QStringLiteral("%M"),
                    QStringLiteral("-o"), report};
    all += argv;
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(127);
        std::vector<QByteArray> args;
        for (const QString &a : all)
            args.push_back(a.toLocal8Bit());
        std::vector<char *> raw;
        for (QByteArray &a : args)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return run;
    run.ms = double(t.nsecsElapsed()) / 1e6;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile f(report);
    if (f.open(QIODevice::ReadOnly))
        run.peakKb = f.readAll().trimmed().split('\n').last().toLong();
    return run;
}

void writeTrack(const QString &gtxt, int points)
{
    trekport::FrameDecoder decoder;
    trekport::PointStore store;
    int count = 0;
    for (char c : trekport::generateFrames(points, 25, 1))
        if (decoder.DecodeFrameByte(quint8(c), store, count))
            ++count;
    if (!trekport::writeGtxtFile(gtxt, store, count)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(gtxt));
        std::exit(1);
    }
}

void writeName(const QString &gtxt, const QString &name)
{
    QStringList lines;
    trekport::PointStore store;
    trekport::readGtxtFile(gtxt, &lines);
    const int n = trekport::parseTrackLines(lines, store, 0);
    trekport::writeNameFile(name, trekport::buildNameFile(store, n, QStringLiteral("26")));
}

double mb(long kb)
{
    return double(kb) / 1024.0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int points = 100000;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/trekport");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--trekport") && i + 1 < args.size())
            program = args.at(++i);
        else
            points = args.at(i).toInt();
    }
    if (points < 1) {
        std::fprintf(stderr, "usage: bench_trekport [points] [--trekport PROGRAM]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString gtxt = dir.filePath(QStringLiteral("track.gtxt"));
    const QString oneGtxt = dir.filePath(QStringLiteral("one.gtxt"));
    writeTrack(gtxt, points);
    writeTrack(oneGtxt, 1);
    bool ok = true;

    // The window.
    common::ScriptedDialogs dialogs;
    trekport::MainForm form(dialogs, dir.path(), dir.filePath(QStringLiteral("user")));
    form.show();
    QApplication::processEvents();
    const long emptyKb = heldKb();
    QElapsedTimer t;

    dialogs.queueFile(gtxt);
    resetPeak();
    t.start();
    form.inputxt_Click();
    QApplication::processEvents();
    const qint64 loadMs = t.elapsed();
    const long loadPeakKb = statusKb("VmHWM:");
    const long loadedKb = heldKb();
    form.Timer1_Timer();

    const QString name = dir.filePath(QStringLiteral("window.txt"));
    dialogs.queueFile(name);
    dialogs.queueYes();
    resetPeak();
    t.restart();
    form.name_mk_Click();
    const qint64 nameMs = t.elapsed();
    const long namePeakKb = statusKb("VmHWM:");

    const QString kml = dir.filePath(QStringLiteral("window.kml"));
    dialogs.queueFile(kml);
    resetPeak();
    t.restart();
    form.kml_mk_Click();
    const qint64 kmlMs = t.elapsed();
    const long kmlPeakKb = statusKb("VmHWM:");

    const QString gpx = dir.filePath(QStringLiteral("window.gpx"));
    dialogs.queueFile(gpx);
    dialogs.queueYes();
    resetPeak();
    t.restart();
    form.gpx_mk_Click();
    const qint64 gpxMs = t.elapsed();
    const long gpxPeakKb = statusKb("VmHWM:");
    ok = ok && QFileInfo(gpx).size() > 0;
    ok = ok && form.Lis->count() == points && QFileInfo(name).size() > 0 && QFileInfo(kml).size() > 0
        && dialogs.unexpected.isEmpty();

    const double perPoint = double(loadedKb - emptyKb) * 1024.0 / points;
    std::printf("trekport window, %d points (GTXT %lld bytes)\n", points,
                static_cast<long long>(QFileInfo(gtxt).size()));
    std::printf("  empty window              RSS %7.1f MB\n", mb(emptyKb));
    std::printf("  load GTXT into list  %6lld ms  held %+7.1f MB (%.0f bytes a point)  peak %+7.1f MB\n",
                static_cast<long long>(loadMs), mb(loadedKb - emptyKb), perPoint, mb(loadPeakKb - emptyKb));
    std::printf("  write NAME file      %6lld ms  peak %+7.1f MB above empty\n",
                static_cast<long long>(nameMs), mb(namePeakKb - emptyKb));
    std::printf("  write KML file       %6lld ms  peak %+7.1f MB above empty\n",
                static_cast<long long>(kmlMs), mb(kmlPeakKb - emptyKb));
    std::printf("  write GPX file       %6lld ms  peak %+7.1f MB above empty\n",
                static_cast<long long>(gpxMs), mb(gpxPeakKb - emptyKb));

    // The command line, and gpsbabel on the NAME file of the same track.
    const QString nameIn = dir.filePath(QStringLiteral("track.txt"));
    const QString oneName = dir.filePath(QStringLiteral("one.txt"));
    writeName(gtxt, nameIn);
    writeName(oneGtxt, oneName);
    const auto ours = [&](const QString &in) {
        return measure({program, QStringLiteral("--import"), in, QStringLiteral("--year"),
                        QStringLiteral("26"), QStringLiteral("--overwrite"), QStringLiteral("--export-gtxt"),
                        dir.filePath("o.gtxt"), QStringLiteral("--export-name"), dir.filePath("o.txt"),
                        QStringLiteral("--export-kml"), dir.filePath("o.kml")},
                       dir.filePath("time.txt"));
    };
    const Run ourEmpty = ours(oneGtxt);
    const Run ourRun = ours(gtxt);
    std::printf("trekport --import GTXT --export-gtxt --export-name --export-kml (%s)\n",
                qPrintable(program));
    std::printf(
        "  %d points            %8.0f ms  peak %7.1f MB, %+7.1f MB above one point (%.0f bytes a point)%s\n",
        points, ourRun.ms, mb(ourRun.peakKb), mb(ourRun.peakKb - ourEmpty.peakKb),
        double(ourRun.peakKb - ourEmpty.peakKb) * 1024.0 / points, ourRun.status == 0 ? "" : "  FAILED");
    ok = ok && ourRun.status == 0;
    const auto ourGpx = [&](const QString &in) {
        return measure({program, QStringLiteral("--import"), in, QStringLiteral("--year"),
                        QStringLiteral("26"), QStringLiteral("--overwrite"), QStringLiteral("--export-gpx"),
                        dir.filePath("o.gpx")},
                       dir.filePath("time.txt"));
    };
    const Run gpxEmpty = ourGpx(oneGtxt);
    const Run gpxRun = ourGpx(gtxt);
    std::printf("trekport --import GTXT --export-gpx\n");
    std::printf("  %d points            %8.0f ms  peak %7.1f MB, %+7.1f MB above one point%s\n", points,
                gpxRun.ms, mb(gpxRun.peakKb), mb(gpxRun.peakKb - gpxEmpty.peakKb),
                gpxRun.status == 0 ? "" : "  FAILED");
    ok = ok && gpxRun.status == 0;

    const QString babel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (babel.isEmpty()) {
        std::printf("gpsbabel not installed: no peer figures\n");
    } else {
        const auto theirs = [&](const QString &in, const QString &format, const QString &ext) {
            return measure({babel, QStringLiteral("-i"), QStringLiteral("nmea"), QStringLiteral("-f"), in,
                            QStringLiteral("-o"), format, QStringLiteral("-F"), dir.filePath("b." + ext)},
                           dir.filePath("time.txt"));
        };
        std::printf("gpsbabel -i nmea -f NAME -o FORMAT\n");
        for (const auto &[format, ext] : {std::pair{QStringLiteral("kml"), QStringLiteral("kml")},
                                          std::pair{QStringLiteral("gpx"), QStringLiteral("gpx")},
                                          std::pair{QStringLiteral("nmea"), QStringLiteral("nmea")}}) {
            const Run empty = theirs(oneName, format, ext);
            const Run run = theirs(nameIn, format, ext);
            std::printf("  -> %-4s %d points    %8.0f ms  peak %7.1f MB, %+7.1f MB above one point (%.0f "
                        "bytes a point)%s\n",
                        qPrintable(format), points, run.ms, mb(run.peakKb), mb(run.peakKb - empty.peakKb),
                        double(run.peakKb - empty.peakKb) * 1024.0 / points,
                        run.status == 0 ? "" : "  FAILED");
        }
    }

    const bool fast = loadMs < 1000 && nameMs < 1000 && kmlMs < 1000;
    const bool small =
        perPoint <= 250 && double(ourRun.peakKb - ourEmpty.peakKb) <= 45.0 * 1024 * points / 100000;
    std::printf("target each window step under 1000 ms: %s\n", fast ? "met" : "NOT met");
    std::printf(
        "target at most 250 bytes a point held, command line under 45 MB per 100,000 above one point: %s\n",
        small ? "met" : "NOT met");
    return ok ? 0 : 1;
}
