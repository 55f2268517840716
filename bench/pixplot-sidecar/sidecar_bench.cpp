// Sidecars and shooting times of files that are not JPEG, against exiftool
// on identical copies of the formats corpus:
//  1. geotagging raw files into NAME.EXT.xmp sidecars: pixplot --process
//     --no-backup --write-gps beside exiftool -geotag -o %d%f.%e.xmp, each
//     one process over all files;
//  2. reading the shooting times of raw and HEIF files: pixplot --exif-time
//     beside exiftool -DateTimeOriginal.
//
// bench_pixplot_sidecar [files (1000)]
#include "../pixplot-window/benchsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>

namespace {

struct Source {
    const char *name;
    const char *localTime; // the shooting time (UTC+08:00 for the path)
};

// Raw files of the corpus with their shooting times.
const Source kRaw[] = {
    {"Canon_EOS-350D_ExifTool_CanonRaw.cr2", "2005-08-03 18:59:18"},
    {"Nikon_D70_ExifTool_Nikon.nef", "2004-06-09 16:02:35"},
    {"Panasonic_DMC-LX3_ExifTool_Panasonic.rw2", "2008-08-06 15:21:56"},
    {"Canon_EOS-350D_ExifTool_DNG.dng", "2005-08-03 18:59:18"},
    {"FujiFilm_FinePix-S5Pro_ExifTool_FujiFilm.raf", "2007-05-22 13:58:30"},
    {"Canon_EOS-R6_Canon-R6-pruned.CR3", "2021-05-12 12:21:21"},
};
// Raw and HEIF files for reading times.
const char *const kMixed[] = {"Canon_EOS-350D_ExifTool_CanonRaw.cr2", "Nikon_D70_ExifTool_Nikon.nef",
                              "Canon_EOS-R6_Canon-R6-pruned.CR3", "Apple_iPhone-8_IMG_1034.heic",
                              "Apple_iPhone-XR_2021-02-13-1929.heic", "Sony_ILCE-1_Sony.HIF",
                              "Apple_iPhone-12-Pro_IMG_1361.dng", "Nikon_D5300_Stonehenge.heic"};

// A fix every 5 seconds for two minutes around each raw file's time.
bool writePath(const QString &path)
{
    QList<QDateTime> times;
    for (const Source &s : kRaw)
        times << QDateTime::fromString(QString::fromLatin1(s.localTime), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                     .addSecs(-8 * 3600);
    std::sort(times.begin(), times.end());
    QStringList lines;
    for (const QDateTime &at : times) {
        for (int s = -60; s <= 60; s += 5) {
            const QDateTime t = QDateTime(at.date(), at.time(), QTimeZone::utc()).addSecs(s);
            const double minutes = 50.0 + (s + 60) * 0.0001;
            lines << bench::rmcNear(t, minutes);
        }
    }
    return bench::writeBytes(path, lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
}

QStringList copies(const QString &folder, const QStringList &names, int count)
{
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString name = names.at(i % names.size());
        const QString to = folder + QStringLiteral("/F%1_").arg(i, 4, 10, QLatin1Char('0')) + name;
        if (!QFile::copy(QStringLiteral(FORMATS_DIR "/") + name, to))
            return {};
        files << to;
    }
    return files;
}

int countSidecars(const QString &folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*.xmp")}, QDir::Files).size());
}

// As bench::runChild, with the program's standard output discarded (a line
// per file would bury the figures).
bench::ChildRun runQuiet(const QString &program, const QStringList &args)
{
    return bench::runChild(QStringLiteral("/bin/sh"),
                           QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" > /dev/null"), program}
                               + args);
}

void report(const char *what, const bench::ChildRun &run)
{
    std::printf("%s\n    total %.2f s, peak memory %.1f MB, exit %d\n", what, run.seconds, run.peakKiB / 1024.0,
                run.exitCode);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    if (count < 1) {
        std::fprintf(stderr, "usage: bench_pixplot_sidecar [files]\n");
        return 2;
    }
    const QString pixplot = QCoreApplication::applicationDirPath() + QStringLiteral("/pixplot");
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("path.nmea"));
    if (!dir.isValid() || !writePath(log))
        return 1;

    QStringList raw;
    for (const Source &s : kRaw)
        raw << QString::fromLatin1(s.name);
    const QString mineDir = dir.filePath(QStringLiteral("pixplot")), theirDir = dir.filePath(QStringLiteral("exiftool"));
    const QStringList mineFiles = copies(mineDir, raw, count);
    if (mineFiles.isEmpty() || copies(theirDir, raw, count).isEmpty())
        return 1;
    std::printf("sidecars for %d raw files (copies of %d corpus files)\n", count, int(raw.size()));
    const bench::ChildRun mine = runQuiet(
        pixplot, QStringList{QStringLiteral("--process"), QStringLiteral("--no-backup"), QStringLiteral("--write-gps"),
                             QStringLiteral("--path"), log}
                     + mineFiles);
    report("pixplot --process --no-backup --write-gps:", mine);
    const bench::ChildRun theirs = bench::runChild(
        QStringLiteral("exiftool"), {QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("-geotag"), log,
                                     QStringLiteral("-geotime<${DateTimeOriginal}+08:00"), QStringLiteral("-o"),
                                     QStringLiteral("%d%f.%e.xmp"), theirDir});
    report("exiftool -geotag TRACK -o %d%f.%e.xmp:", theirs);
    std::printf("sidecars written: pixplot %d, exiftool %d\n", countSidecars(mineDir), countSidecars(theirDir));
    if (mine.seconds > 0)
        std::printf("pixplot is %.2f times as fast as exiftool\n\n", theirs.seconds / mine.seconds);

    QStringList mixed;
    for (const char *n : kMixed)
        mixed << QString::fromLatin1(n);
    const QString readDir = dir.filePath(QStringLiteral("mixed"));
    const QStringList readFiles = copies(readDir, mixed, count);
    if (readFiles.isEmpty())
        return 1;
    std::printf("shooting times of %d raw and HEIF files (copies of %d corpus files)\n", count, int(mixed.size()));
    const bench::ChildRun mineRead = runQuiet(pixplot, QStringList{QStringLiteral("--exif-time")} + readFiles);
    report("pixplot --exif-time:", mineRead);
    const bench::ChildRun theirRead = runQuiet(
        QStringLiteral("exiftool"), {QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("-T"),
                                     QStringLiteral("-DateTimeOriginal"), readDir});
    report("exiftool -T -DateTimeOriginal:", theirRead);
    if (mineRead.seconds > 0)
        std::printf("pixplot is %.2f times as fast as exiftool\n", theirRead.seconds / mineRead.seconds);
    return mine.exitCode == 0 && theirs.exitCode == 0 && mineRead.exitCode == 0 ? 0 : 1;
}
