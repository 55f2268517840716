// Times pixplot's core against established tools on generated inputs:
//   --exif-time over many 5 MB photos vs exiv2 and exiftool,
//   --read-path over a long RMC log,
//   SavePictureAsJpeg of a 12-megapixel image vs cjpeg -quality 80,
//   --exif-time of a hostile photo whose 200 directories overlap.
// usage: bench_pixplot_core [--photos N] [--photo-mb M] [--lines N]
//                           [--only exif|path|jpeg|crafted]
#include "common/bmp2jpg.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

struct Timed {
    double seconds = -1;
    int exitCode = -1;
    QByteArray out;
};

// Runs a program with its stdout captured to a file, so a pipe never stalls it.
Timed runTimed(const QString &program, const QStringList &args, const QString &outFile)
{
    Timed t;
    QProcess p;
    p.setStandardOutputFile(outFile);
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(-1))
        return t;
    t.seconds = clock.nsecsElapsed() / 1e9;
    t.exitCode = p.exitCode();
    QFile f(outFile);
    if (f.open(QIODevice::ReadOnly))
        t.out = f.readAll();
    return t;
}

QString figure(double seconds)
{
    return seconds < 0 ? QStringLiteral("n/a") : QString::number(seconds, 'f', 3) + QStringLiteral(" s");
}

// A photo-like picture: smooth gradients with sensor-like noise, so the JPEG
// encoder works as hard as on a real photo.
QImage photoLike(int width, int height, quint32 variant)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(variant);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(rng.bounded(48u)) - 24;
            const int r = qBound(0, (x * 255 / width) + n, 255);
            const int g = qBound(0, (y * 255 / height) + n, 255);
            const int b = qBound(0, ((x + y) * 127 / (width + height)) + 64 + n, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

QByteArray u16(quint32 v, bool intel)
{
    QByteArray b(2, 0);
    b[intel ? 0 : 1] = char(v & 0xFF);
    b[intel ? 1 : 0] = char(v >> 8);
    return b;
}

QByteArray u32(quint32 v, bool intel)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[intel ? i : 3 - i] = char(v >> (8 * i) & 0xFF);
    return b;
}

// A camera-like APP1: IFD0 (Make, Model, Orientation, XResolution, Exif
// pointer), then the Exif sub-IFD (DateTimeOriginal, ExposureBiasValue).
QByteArray exifApp1(bool intel, const QByteArray &time)
{
    QByteArray t = intel ? QByteArray("II") : QByteArray("MM");
    t += u16(42, intel) + u32(8, intel);
    const quint32 ifd0 = 8, ifd0Size = 2 + 5 * 12 + 4;
    const quint32 data0 = ifd0 + ifd0Size; // Make (8), Model (8), XResolution (8)
    const quint32 exif = data0 + 24, exifSize = 2 + 2 * 12 + 4;
    const quint32 data1 = exif + exifSize; // time (20), bias (8)
    t += u16(5, intel);
    t += u16(271, intel) + u16(2, intel) + u32(8, intel) + u32(data0, intel);
    t += u16(272, intel) + u16(2, intel) + u32(8, intel) + u32(data0 + 8, intel);
    t += u16(274, intel) + u16(3, intel) + u32(1, intel) + u16(1, intel) + u16(0, intel);
    t += u16(282, intel) + u16(5, intel) + u32(1, intel) + u32(data0 + 16, intel);
    t += u16(34665, intel) + u16(4, intel) + u32(1, intel) + u32(exif, intel);
    t += u32(0, intel);
    t += QByteArray("BenchCo\0", 8) + QByteArray("Model 1\0", 8) + u32(72, intel) + u32(1, intel);
    t += u16(2, intel);
    t += u16(36867, intel) + u16(2, intel) + u32(20, intel) + u32(data1, intel);
    t += u16(37380, intel) + u16(10, intel) + u32(1, intel) + u32(data1 + 20, intel);
    t += u32(0, intel);
    t += time + QByteArray(1, 0) + u32(quint32(-3), intel) + u32(10, intel);
    QByteArray seg("\xFF\xE1", 2);
    seg += char((t.size() + 8) >> 8);
    seg += char((t.size() + 8) & 0xFF);
    return seg + QByteArray("Exif\0\0", 6) + t;
}

void benchExif(const QString &pixplot, int photos, int megabytes, const QString &work)
{
    say(QStringLiteral("== --exif-time over %1 photos of about %2 MB").arg(photos).arg(megabytes));
    // One real JPEG body of the wanted size, shared by all photos behind
    // their own EXIF blocks (alternating byte orders, distinct times).
    QByteArray body;
    for (int side = 1600;; side += 200) {
        QBuffer buffer(&body);
        buffer.open(QIODevice::WriteOnly);
        photoLike(side, side * 3 / 4, 7).save(&buffer, "JPEG", 97);
        if (body.size() >= qint64(megabytes) * 1000 * 1000)
            break;
        body.clear();
    }
    body.remove(0, 2); // behind our own SOI
    QStringList files;
    QElapsedTimer gen;
    gen.start();
    for (int i = 0; i < photos; ++i) {
        const QString name = QStringLiteral("%1/IMG_%2.JPG").arg(work).arg(i, 4, 10, QLatin1Char('0'));
        const QByteArray time = QStringLiteral("2010:05:%1 %2:%3:%4")
                                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                    .arg(i / 60 % 24, 2, 10, QLatin1Char('0'))
                                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                                    .arg(i * 7 % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly))
            return say(QStringLiteral("cannot write ") + name);
        f.write("\xFF\xD8", 2);
        f.write(exifApp1(i % 2 == 0, time));
        f.write(body);
        files << name;
    }
    say(QStringLiteral("generated %1 files of %2 bytes in %3 (warm page cache from here on)")
            .arg(photos)
            .arg(body.size() + 200)
            .arg(figure(gen.nsecsElapsed() / 1e9)));

    // Written pages go to disk before timing starts, so no tool pays for that.
    QProcess::execute(QStringLiteral("sync"), {});
    const QString out = work + QStringLiteral("/exif.out");
    const bool hasExiv2 = !QStandardPaths::findExecutable("exiv2").isEmpty();
    const bool hasExiftool = !QStandardPaths::findExecutable("exiftool").isEmpty();
    const QStringList exiv2Args{"-q", "-K", "Exif.Photo.DateTimeOriginal", "-Pv"};
    const QStringList exiftoolArgs{"-q", "-s3", "-EXIF:DateTimeOriginal"};
    // Best of three rounds, the tools taking turns; exiftool, being slow, runs once.
    Timed ours, exiv2, et, oursOne, exiv2One;
    auto best = [](Timed &keep, const Timed &t) {
        if (keep.seconds < 0 || (t.seconds >= 0 && t.seconds < keep.seconds))
            keep = t;
    };
    for (int round = 0; round < 3; ++round) {
        best(ours, runTimed(pixplot, QStringList{"--exif-time"} + files, out));
        best(oursOne, runTimed(pixplot, {"--exif-time", files.first()}, out));
        if (hasExiv2) {
            best(exiv2, runTimed("exiv2", exiv2Args + files, out));
            best(exiv2One, runTimed("exiv2", exiv2Args + QStringList{files.first()}, out));
        }
    }
    if (hasExiftool)
        et = runTimed("exiftool", exiftoolArgs + files, out);
    say(QStringLiteral("pixplot --exif-time      %1  (%2 lines, %3 with a time, exit %4; one photo: %5)")
            .arg(figure(ours.seconds))
            .arg(ours.out.count('\n'))
            .arg(ours.out.count("\t2010-05-"))
            .arg(ours.exitCode)
            .arg(figure(oursOne.seconds)));
    if (hasExiv2)
        say(QStringLiteral("exiv2 -K DateTimeOriginal %1  (%2 times; one photo: %3)  pixplot is %4x as fast")
                .arg(figure(exiv2.seconds))
                .arg(exiv2.out.count("2010:05:"))
                .arg(figure(exiv2One.seconds))
                .arg(exiv2.seconds / ours.seconds, 0, 'f', 2));
    else
        say(QStringLiteral("exiv2 not installed (scripts/deps --bench)"));
    if (hasExiftool)
        say(QStringLiteral("exiftool -EXIF:DateTimeOriginal %1  (%2 times)  pixplot is %3x as fast")
                .arg(figure(et.seconds))
                .arg(et.out.count("2010:05:"))
                .arg(et.seconds / ours.seconds, 0, 'f', 1));
    else
        say(QStringLiteral("exiftool not installed"));
    for (const QString &f : files)
        QFile::remove(f);
}

// 789 KB: 200 directories of 65,535 SHORT entries, each starting 12 bytes
// after the one before, so all share one run of entry slots.
QByteArray overlappingExif()
{
    const bool intel = true;
    const quint32 entries = 65535;
    const int dirs = 200;
    QByteArray t = QByteArray("II") + u16(42, intel) + u32(8, intel) + u16(entries, intel);
    const QByteArray tail = u32(1, intel) + QByteArray("\0\0\xFF\xFF", 4);
    const QByteArray slot = u16(1, intel) + u16(3, intel) + tail;
    for (quint32 i = 0; i < entries; ++i)
        t += slot;
    for (int k = 0; k < dirs; ++k)
        t += u32(k + 1 < dirs ? 8 + 12 * quint32(k + 1) : 0, intel) + tail;
    return QByteArray("\xFF\xD8\xFF\xE1\xFF\xFF"
                      "Exif\0\0",
                      12)
        + t + QByteArray("\xFF\xD9", 2);
}

void benchCrafted(const QString &pixplot, const QString &work)
{
    say(QStringLiteral("== --exif-time of a photo with 200 overlapping directories of 65,535 entries"));
    const QString name = work + QStringLiteral("/crafted.jpg");
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly) || f.write(overlappingExif()) < 0)
        return say(QStringLiteral("cannot write ") + name);
    f.close();
    const QString out = work + QStringLiteral("/crafted.out");
    const Timed ours = runTimed(pixplot, {"--exif-time", name}, out);
    say(QStringLiteral("pixplot --exif-time      %1  (%2 bytes, exit %3; target well under 1 s)")
            .arg(figure(ours.seconds))
            .arg(f.size())
            .arg(ours.exitCode));
    if (!QStandardPaths::findExecutable("exiv2").isEmpty()) {
        const Timed t = runTimed("exiv2", {"-q", "-K", "Exif.Photo.DateTimeOriginal", "-Pv", name}, out);
        say(QStringLiteral("exiv2 -K DateTimeOriginal %1  (exit %2)").arg(figure(t.seconds)).arg(t.exitCode));
    }
    if (!QStandardPaths::findExecutable("exiftool").isEmpty()) {
        const Timed t = runTimed("exiftool", {"-q", "-s3", "-EXIF:DateTimeOriginal", name}, out);
        say(QStringLiteral("exiftool -EXIF:DateTimeOriginal %1  (exit %2)")
                .arg(figure(t.seconds))
                .arg(t.exitCode));
    }
    QFile::remove(name);
    QFile::remove(out);
}

void benchPath(const QString &pixplot, int lines, const QString &work)
{
    say(QStringLiteral("== --read-path over %1 RMC lines").arg(lines));
    const QString log = work + QStringLiteral("/long.nmea");
    {
        QFile f(log);
        if (!f.open(QIODevice::WriteOnly))
            return say(QStringLiteral("cannot write ") + log);
        QByteArray block;
        // One fix a second from 2010-05-01 00:00:00 UTC, drifting north-east.
        for (int i = 0; i < lines; ++i) {
            const int s = i % 86400;
            const int day = 1 + i / 86400;
            const double latMin = 50.1234 + (i % 6000) * 0.0001;
            const double lonMin = 46.5678 + (i % 7000) * 0.0001;
            block += QStringLiteral("$GPRMC,%1%2%3,A,31%4,N,118%5,E,0.0,0.0,%6%7%8,,,A*74\r\n")
                         .arg(s / 3600, 2, 10, QLatin1Char('0'))
                         .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(s % 60, 2, 10, QLatin1Char('0'))
                         .arg(latMin, 7, 'f', 4, QLatin1Char('0'))
                         .arg(lonMin, 7, 'f', 4, QLatin1Char('0'))
                         .arg(day % 28 + 1, 2, 10, QLatin1Char('0'))
                         .arg(5 + day / 28, 2, 10, QLatin1Char('0'))
                         .arg(10, 2, 10, QLatin1Char('0'))
                         .toLatin1();
            if (block.size() > (1 << 22)) {
                f.write(block);
                block.clear();
            }
        }
        f.write(block);
        say(QStringLiteral("generated %1 (%2 MB)").arg(log).arg(f.size() / 1e6, 0, 'f', 1));
    }
    const QString out = work + QStringLiteral("/path.out");
    runTimed(pixplot, {"--read-path", log}, out); // warm-up
    const Timed t = runTimed(pixplot, {"--read-path", log}, out);
    say(QStringLiteral("pixplot --read-path      %1  (%2 points printed, exit %3; target under 2 s)")
            .arg(figure(t.seconds))
            .arg(t.out.count('\n'))
            .arg(t.exitCode));
    // Peak memory through /usr/bin/time, ours and gpsbabel's on the same log.
    const QString report = work + QStringLiteral("/time.txt");
    const auto peakMb = [&report](const Timed &run) {
        QFile f(report);
        if (!f.open(QIODevice::ReadOnly) || run.exitCode != 0)
            return -1.0;
        return f.readAll().trimmed().split('\n').last().toDouble() / 1024.0;
    };
    const Timed mine =
        runTimed("/usr/bin/time", {"-f", "%M", "-o", report, pixplot, "--read-path", log}, out);
    const double minePeak = peakMb(mine);
    say(QStringLiteral("pixplot --read-path      %1  peak %2 MB (%3 bytes a line; target 100)")
            .arg(figure(mine.seconds))
            .arg(minePeak, 0, 'f', 1)
            .arg(minePeak * 1048576.0 / lines, 0, 'f', 0));
    if (QStandardPaths::findExecutable("gpsbabel").isEmpty()) {
        say(QStringLiteral("gpsbabel not installed"));
    } else {
        const Timed babel = runTimed("/usr/bin/time",
                                     {"-f", "%M", "-o", report, "gpsbabel", "-i", "nmea", "-f", log, "-o",
                                      "unicsv", "-F", work + "/babel.csv"},
                                     out);
        say(QStringLiteral("gpsbabel nmea -> unicsv  %1  peak %2 MB")
                .arg(figure(babel.seconds))
                .arg(peakMb(babel), 0, 'f', 1));
        QFile::remove(work + "/babel.csv");
    }
    QFile::remove(log);
    QFile::remove(out);
}

void benchJpeg(const QString &work)
{
    say(QStringLiteral("== SavePictureAsJpeg of a 12-megapixel image vs cjpeg -quality 80"));
    const QImage image = photoLike(4000, 3000, 11);
    const QString ours = work + QStringLiteral("/ours.jpg");
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!BMP2JPG::SavePictureAsJpeg(image, ours, 80))
            return say(QStringLiteral("SavePictureAsJpeg failed"));
        const double s = clock.nsecsElapsed() / 1e9;
        best = best < 0 ? s : qMin(best, s);
    }
    say(QStringLiteral("SavePictureAsJpeg        %1  (best of 3, %2 bytes)")
            .arg(figure(best))
            .arg(QFileInfo(ours).size()));

    if (QStandardPaths::findExecutable("cjpeg").isEmpty())
        return say(QStringLiteral("cjpeg not installed (scripts/deps --bench)"));
    const QString ppm = work + QStringLiteral("/in.ppm");
    if (!image.convertToFormat(QImage::Format_RGB888).save(ppm, "PPM"))
        return say(QStringLiteral("cannot write ") + ppm);
    const QString theirs = work + QStringLiteral("/cjpeg.jpg");
    double bestC = -1;
    for (int i = 0; i < 3; ++i) {
        const Timed t = runTimed("cjpeg", {"-quality", "80", "-outfile", theirs, ppm}, work + "/cjpeg.out");
        bestC = bestC < 0 ? t.seconds : qMin(bestC, t.seconds);
    }
    say(QStringLiteral("cjpeg -quality 80        %1  (best of 3, %2 bytes, reads a PPM file)")
            .arg(figure(bestC))
            .arg(QFileInfo(theirs).size()));
    say(QStringLiteral("ratio ours / cjpeg       %1 (target: within 1.5)").arg(best / bestC, 0, 'f', 2));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"photos", "Number of photos.", "N", "1000"});
    parser.addOption({"photo-mb", "Size of each photo in MB.", "M", "5"});
    parser.addOption({"lines", "RMC lines in the long log.", "N", "1000000"});
    parser.addOption({"only", "Run one benchmark: exif, path, jpeg or crafted.", "NAME"});
    parser.process(app);

    const QString pixplot = QCoreApplication::applicationDirPath() + QStringLiteral("/pixplot");
    if (!QFileInfo(pixplot).isExecutable()) {
        std::fprintf(stderr, "pixplot not found beside the benchmark: %s\n", qUtf8Printable(pixplot));
        return 1;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString only = parser.value("only");
    if (only.isEmpty() || only == "exif")
        benchExif(pixplot, parser.value("photos").toInt(), parser.value("photo-mb").toInt(), work.path());
    if (only.isEmpty() || only == "path")
        benchPath(pixplot, parser.value("lines").toInt(), work.path());
    if (only.isEmpty() || only == "jpeg")
        benchJpeg(work.path());
    if (only.isEmpty() || only == "crafted")
        benchCrafted(pixplot, work.path());
    return 0;
}
