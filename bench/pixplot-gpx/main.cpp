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

namespace {

double timed(const QString &program, const QStringList &args, int *exitCode)
{
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
    *exitCode = p.exitCode();
    return clock.nsecsElapsed() / 1e9;
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
    const double ours = timed(pixplot, {"--read-path", gpx}, &code);
    std::printf("pixplot --read-path: %.2f s (exit %d; target < 3 s)\n", ours, code);
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (gpsbabel.isEmpty()) {
        std::printf("gpsbabel: not installed\n");
    } else {
        const double peer = timed(gpsbabel, {"-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", "-"}, &code);
        std::printf("gpsbabel -i gpx -o unicsv: %.2f s (exit %d)\n", peer, code);
    }
    return 0;
}
