// Geotagging photos in place: pixplot (one process, --process --no-backup
// --write-gps) against exiftool -geotag (one process over the folder) on
// identical copies of photos of about 5 MB, with the wall time and peak
// memory of each (GNU time, from scripts/deps --bench).
//
// bench_pixplot_geotag [photos (1000)] [photo-mb (5)]
#include "../pixplot-window/benchsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>
#include <unistd.h>

namespace {

// A photo-like picture (gradients and grain) encoded near the wanted size.
QByteArray photoOfAbout(qint64 bytes)
{
    auto encode = [](int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        QRandomGenerator rng(12);
        for (int y = 0; y < h; ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int grain = int(rng.bounded(48));
                line[x] =
                    qRgb((x * 255 / w + grain) & 255, (y * 255 / h + grain) & 255, (x + y + grain) & 255);
            }
        }
        QByteArray jpeg;
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        image.save(&buf, "JPG", 92);
        return jpeg;
    };
    int w = 1600, h = 1200;
    QByteArray jpeg = encode(w, h);
    const double scale = std::sqrt(double(bytes) / double(jpeg.size()));
    w = int(w * scale);
    h = int(h * scale);
    return encode(w, h);
}

// Photo i is taken at 08:00:00 + 7 i seconds local time (UTC + 8 h); the
// path has a fix every 5 seconds over that span.
const QDateTime kStartUtc(QDate(2010, 5, 1), QTime(0, 0, 0), QTimeZone::utc());

bool writePath(const QString &path, int photos)
{
    QStringList lines;
    for (int s = -60; s <= photos * 7 + 60; s += 5) {
        const QDateTime t = kStartUtc.addSecs(s);
        const double minutes = 50.0 + s * 0.0001;
        lines << bench::rmcNear(t, minutes);
    }
    return bench::writeBytes(path, lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
}

QStringList writePhotos(const QString &folder, const QByteArray &jpeg, int count)
{
    QStringList files;
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QByteArray time = kStartUtc.addSecs(8 * 3600 + qint64(i) * 7)
                                    .toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"))
                                    .toLatin1();
        const QString name = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (!bench::writeBytes(name, jpeg.left(2) + bench::exifApp1(time) + jpeg.mid(2)))
            return {};
        files << name;
    }
    return files;
}

// Runs a child under GNU time, whose own fork gives the child's true peak
// (a child spawned from this process would count this process's pages).
// Also reports the processor time, which a busy disk or machine changes far
// less than the wall time.
bench::ChildRun timed(const QString &timeFile, const QString &program, const QStringList &args)
{
    bench::ChildRun run = bench::runChild(QStringLiteral("/usr/bin/time"),
                                          QStringList{"-f", "%M %U %S", "-o", timeFile, program} + args);
    QFile f(timeFile);
    const QList<QByteArray> fields =
        f.open(QIODevice::ReadOnly) ? f.readAll().simplified().split(' ') : QList<QByteArray>();
    if (fields.size() == 3) {
        run.peakKiB = fields[0].toLong();
        std::printf("    processor time %.2f s (user %.2f s, system %.2f s)\n",
                    fields[1].toDouble() + fields[2].toDouble(), fields[1].toDouble(), fields[2].toDouble());
    }
    return run;
}

// How long the writes still in the page cache take to reach the disk.
double syncSeconds()
{
    QElapsedTimer timer;
    timer.start();
    ::sync();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // pixplot's command line needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 1000;
    const double mb = args.size() > 2 && args[2] != QLatin1String("--") ? args[2].toDouble() : 5.0;
    // Anything after "--" goes to pixplot as well (--jobs N, say).
    const qsizetype dashes = args.indexOf(QStringLiteral("--"));
    const QStringList extra = dashes > 0 ? args.mid(dashes + 1) : QStringList();
    if (count < 1 || mb <= 0) {
        std::fprintf(stderr, "usage: bench_pixplot_geotag [photos] [photo-mb] [-- pixplot options]\n");
        return 2;
    }
    const QString pixplot = QCoreApplication::applicationDirPath() + QStringLiteral("/pixplot");
    const QString exiftool = QStringLiteral("exiftool");

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("path.nmea"));
    const QByteArray jpeg = photoOfAbout(qint64(mb * 1048576));
    if (!dir.isValid() || jpeg.isEmpty() || !writePath(log, count))
        return 1;
    std::printf("inputs: %d photos of %.1f MB each\n", count, jpeg.size() / 1048576.0);

    const QString folder = dir.filePath(QStringLiteral("photos"));
    const QStringList files = writePhotos(folder, jpeg, count);
    if (files.isEmpty())
        return 1;
    // Both runs start with the copies on disk, so neither pays for the
    // writing back of the copies made for it.
    ::sync();
    std::printf("pixplot --process --no-backup --write-gps:\n");
    std::fflush(stdout);
    const QString timeFile = dir.filePath(QStringLiteral("time.txt"));
    const bench::ChildRun mine =
        timed(timeFile, pixplot,
              QStringList{QStringLiteral("--process"), QStringLiteral("--no-backup"),
                          QStringLiteral("--write-gps"), QStringLiteral("--path"), log}
                  + extra + files);
    std::printf("    total %.2f s, peak memory %.1f MB, exit %d\n", mine.seconds, mine.peakKiB / 1024.0,
                mine.exitCode);
    const double mineFlush = syncSeconds();

    // The same copies, fresh, for exiftool.
    QDir(folder).removeRecursively();
    if (writePhotos(folder, jpeg, count).isEmpty())
        return 1;
    ::sync();
    std::printf("exiftool -geotag (one process over the folder):\n");
    std::fflush(stdout);
    const bench::ChildRun theirs = timed(timeFile, exiftool,
                                         {QStringLiteral("-q"), QStringLiteral("-geotag"), log,
                                          QStringLiteral("-geotime<${DateTimeOriginal}+08:00"),
                                          QStringLiteral("-overwrite_original"), folder});
    std::printf("    total %.2f s, peak memory %.1f MB, exit %d\n", theirs.seconds, theirs.peakKiB / 1024.0,
                theirs.exitCode);
    const double theirsFlush = syncSeconds();
    if (mine.seconds > 0) {
        std::printf("pixplot is %.2f times as fast as exiftool\n", theirs.seconds / mine.seconds);
        // pixplot has each photo on disk before it replaces it; exiftool
        // leaves its writes in the page cache. Until both are on disk:
        std::printf("until the results are on disk (sync after each run: pixplot %.2f s, exiftool %.2f s): "
                    "%.2f times as fast\n",
                    mineFlush, theirsFlush, (theirs.seconds + theirsFlush) / (mine.seconds + mineFlush));
    }
    return mine.exitCode == 0 && theirs.exitCode == 0 ? 0 : 1;
}
