// Times `pixplot --read-path` on a generated GPX track against gpsbabel
// reading the same file, in one run.
// usage: bench_pixplot_gpx [--points N]   (default 1000000; target < 3 s)
#include "common/gpxwriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

// CPU seconds (user + system) of the children waited for so far.
double childCpu()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall seconds; *cpu the child's user + system seconds, the figure that
// holds when the machine is shared.
double timed(const QString &program, const QStringList &args, int *exitCode, double *cpu)
{
    const double cpuBefore = childCpu();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(-1)) {
        *exitCode = -1;
        return -1;
    }
    const double wall = clock.nsecsElapsed() / 1e9;
    *exitCode = p.exitCode();
    *cpu = childCpu() - cpuBefore;
    return wall;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("points"), QStringLiteral("Track points (default 1000000)."),
                      QStringLiteral("N"), QStringLiteral("1000000")});
    parser.process(app);
    const qint64 points = parser.value(QStringLiteral("points")).toLongLong();

    QTemporaryDir dir;
    const QString gpx = dir.filePath(QStringLiteral("track.gpx"));
    common::gpx::Document doc;
    doc.creator = QStringLiteral("bench");
    doc.segments.append(QList<common::gpx::Point>());
    doc.segments[0].reserve(points);
    const qint64 start = 1777600000; // 2026-05-01
    for (qint64 i = 0; i < points; ++i)
        doc.segments[0].append({31.0 + i * 1e-7, 121.0 + i * 1e-7, start + i, QString()});
    QFile f(gpx);
    const QByteArray bytes = common::gpx::write(doc);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(gpx));
        return 1;
    }
    f.close();
    std::printf("GPX of %lld points, %.1f MB\n", static_cast<long long>(points), bytes.size() / 1e6);

    const QString pixplot = QCoreApplication::applicationDirPath() + QStringLiteral("/pixplot");
    int code = 0;
    double cpu = 0;
    const double ours = timed(pixplot, {"--read-path", gpx}, &code, &cpu);
    std::printf("pixplot --read-path: %.2f s, %.2f s CPU (exit %d; target < 3 s)\n", ours, cpu, code);
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (gpsbabel.isEmpty()) {
        std::printf("gpsbabel: not installed\n");
    } else {
        const double peer =
            timed(gpsbabel, {"-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", "-"}, &code, &cpu);
        std::printf("gpsbabel -i gpx -o unicsv: %.2f s, %.2f s CPU (exit %d)\n", peer, cpu, code);
    }
    return 0;
}
