// "批量执行" with frame and caption over 50 photos of 12 megapixels, against
// ImageMagick doing the same (border, caption line, quality 80) on copies of
// the same files. Both run as child processes so their peak memory is their
// own.
// pixplot runs once with one job and once with the default (one per core);
// targets: the default at most 0.6 x the one-job time, peak memory under
// 300 MB with 2 jobs. Also prints what optimized Huffman tables would cost
// and save on one framed photo.
//   bench_pixplot_batch [photos]               compare all
//   bench_pixplot_batch --window DIR JOBS      (child) pixplot's window on DIR
#include "benchsupport.h"

#include "core/photobatch.h"
#include "core/photooutput.h"
#include "core/photorow.h"
#include "ui/mainwindow.h"

#include "common/scripteddialogs.h"
#include "common/testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QCheckBox>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QString kNote = QStringLiteral("Trip");

int runWindow(const QString &folder, int jobs)
{
    common::ScriptedDialogs dialogs;
    pixplot::PixplotMain w(dialogs);
    if (jobs > 0)
        w.setBatchJobs(jobs);
    w.show();
    QStringList files;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files << folder + QLatin1Char('/') + name;
    dialogs.queueFiles(files);
    w.findChild<QPushButton *>(QStringLiteral("cmd_add"))->click();
    w.findChild<QCheckBox *>(QStringLiteral("Ck_backup"))->setChecked(false);
    w.findChild<QCheckBox *>(QStringLiteral("Ck_frame"))->setChecked(true);
    w.findChild<QLineEdit *>(QStringLiteral("frame_txt"))->setText(kNote);
    QElapsedTimer t;
    t.start();
    w.findChild<QPushButton *>(QStringLiteral("cmd_allmake"))->click();
    while (w.batchRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("    window batch alone: %.2f s; %s\n", t.nsecsElapsed() / 1e9,
                qUtf8Printable(dialogs.lastInfo().replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
    return dialogs.unexpected.isEmpty() ? 0 : 1;
}

QString fontFile()
{
    QByteArray out;
    testsupport::runProgram(
        QStringLiteral("fc-match"),
        {QStringLiteral("Noto Serif CJK SC:bold"), QStringLiteral("-f"), QStringLiteral("%{file}")}, &out);
    return QString::fromLocal8Bit(out).trimmed();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--window")
        return runWindow(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50;

    const QString convert = QStringLiteral("/usr/bin/convert");
    if (!QFileInfo(convert).isExecutable()) {
        std::fprintf(stderr, "ImageMagick's convert is needed (scripts/deps --bench)\n");
        return 1;
    }

    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("pixplot"));
    const QString oursOne = dir.filePath(QStringLiteral("pixplot-one"));
    const QString theirs = dir.filePath(QStringLiteral("magick"));
    QDir().mkpath(ours);
    QDir().mkpath(oursOne);
    QDir().mkpath(theirs);

    // 4000 x 3000 photos with texture, so the encoder has real work.
    QElapsedTimer gen;
    gen.start();
    QImage base(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < base.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(base.scanLine(y));
        for (int x = 0; x < base.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x / 16 + n) % 256, (y / 12 + n) % 256, ((x + y) / 28 + n) % 256);
        }
    }
    for (int i = 0; i < count; ++i) {
        const QByteArray time =
            QStringLiteral("2010:05:01 14:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')).toLatin1();
        const QByteArray jpeg = bench::jpegWithExif(base.copy(i, 0, 4000, 3000), time, 90);
        const QString name = QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (!bench::writeBytes(ours + name, jpeg) || !bench::writeBytes(oursOne + name, jpeg)
            || !bench::writeBytes(theirs + name, jpeg))
            return 1;
    }
    std::printf("inputs: %d photos of 4000 x 3000 (%.1f MB each) generated in %.1f s\n", count,
                QFileInfo(ours + QStringLiteral("/IMG_0000.jpg")).size() / 1048576.0,
                gen.nsecsElapsed() / 1e9);

    // Optimized Huffman tables on one framed photo: time, size, pixels.
    {
        const QImage framed = pixplot::photooutput::ComposeFramedImage(
            pixplot::photooutput::readUprightPhoto(ours + QStringLiteral("/IMG_0000.jpg")), kNote,
            Qt::lightGray);
        QByteArray plain, optimized;
        double plainMs = 1e9, optimizedMs = 1e9;
        for (int rep = 0; rep < 3; ++rep) {
            for (bool optimize : {false, true}) {
                QByteArray out;
                QBuffer buffer(&out);
                buffer.open(QIODevice::WriteOnly);
                QImageWriter writer(&buffer, "jpeg");
                writer.setQuality(80);
                writer.setOptimizedWrite(optimize);
                QElapsedTimer t;
                t.start();
                writer.write(framed);
                const double ms = t.nsecsElapsed() / 1e6;
                (optimize ? optimizedMs : plainMs) = std::min(optimize ? optimizedMs : plainMs, ms);
                (optimize ? optimized : plain) = out;
            }
        }
        const bool same = QImage::fromData(plain, "jpeg") == QImage::fromData(optimized, "jpeg");
        std::printf(
            "encode one framed photo at quality 80: plain %.0f ms %lld bytes; optimized Huffman %.0f ms "
            "%lld bytes (%.1f%% smaller, +%.0f ms), decoded pixels %s\n",
            plainMs, static_cast<long long>(plain.size()), optimizedMs,
            static_cast<long long>(optimized.size()),
            100.0 * (plain.size() - optimized.size()) / plain.size(), optimizedMs - plainMs,
            same ? "identical" : "DIFFERENT");
    }

    // pixplot: the window's "批量执行" in a child process, one job and the default.
    std::printf("pixplot (window, \"批量执行\", frame + caption, quality 80):\n");
    std::fflush(stdout); // the child writes to the same terminal
    const bench::ChildRun one = bench::runChild(QCoreApplication::applicationFilePath(),
                                                {QStringLiteral("--window"), oursOne, QStringLiteral("1")});
    std::printf("  --jobs 1: total %.2f s, peak memory %.1f MB, exit %d\n", one.seconds, one.peakKiB / 1024.0,
                one.exitCode);
    std::fflush(stdout);
    const bench::ChildRun mine = bench::runChild(QCoreApplication::applicationFilePath(),
                                                 {QStringLiteral("--window"), ours, QStringLiteral("0")});
    std::printf("  default (%d jobs): total %.2f s, peak memory %.1f MB, exit %d\n",
                pixplot::photobatch::defaultJobs(), mine.seconds, mine.peakKiB / 1024.0, mine.exitCode);
    const double ratio = one.seconds > 0 ? mine.seconds / one.seconds : 0;
    std::printf("  default / one job = %.2f (target at most 0.60: %s); peak %s 300 MB\n", ratio,
                ratio > 0 && ratio <= 0.6 ? "met" : "NOT met",
                mine.peakKiB < 300 * 1024 ? "under" : "NOT under");
    bool same = true;
    for (const QString &name : QDir(ours).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        same = same
            && bench::readBytes(ours + QLatin1Char('/') + name)
                == bench::readBytes(oursOne + QLatin1Char('/') + name);
    std::printf("  outputs of both runs byte for byte the same: %s\n", same ? "yes" : "NO");

    // ImageMagick: the same frame (22 px left, right and top, a 20 px caption
    // row and a 2 px strip), the same caption and font, quality 80.
    const QColor background = QGuiApplication::palette().color(QPalette::Window);
    const QString font = fontFile();
    double magickSeconds = 0;
    long magickPeak = 0;
    int magickFailures = 0;
    const QStringList names = QDir(theirs).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = theirs + QLatin1Char('/') + name;
        const QString caption = pixplot::photooutput::captionText(
            kNote, QString(), QStringLiteral("2010-05-01 14:00:00"), false, true);
        const bench::ChildRun r = bench::runChild(convert,
                                                  {path,
                                                   QStringLiteral("-auto-orient"),
                                                   QStringLiteral("-background"),
                                                   background.name(),
                                                   QStringLiteral("-bordercolor"),
                                                   background.name(),
                                                   QStringLiteral("-border"),
                                                   QStringLiteral("22x0"),
                                                   QStringLiteral("-gravity"),
                                                   QStringLiteral("north"),
                                                   QStringLiteral("-splice"),
                                                   QStringLiteral("0x22"),
                                                   QStringLiteral("-gravity"),
                                                   QStringLiteral("south"),
                                                   QStringLiteral("-splice"),
                                                   QStringLiteral("0x22"),
                                                   QStringLiteral("-font"),
                                                   font,
                                                   QStringLiteral("-pointsize"),
                                                   QStringLiteral("20"),
                                                   QStringLiteral("-fill"),
                                                   QStringLiteral("black"),
                                                   QStringLiteral("-gravity"),
                                                   QStringLiteral("southwest"),
                                                   QStringLiteral("-annotate"),
                                                   QStringLiteral("+22+2"),
                                                   caption,
                                                   QStringLiteral("-quality"),
                                                   QStringLiteral("80"),
                                                   path});
        magickSeconds += r.seconds;
        magickPeak = std::max(magickPeak, r.peakKiB);
        if (r.exitCode != 0)
            ++magickFailures;
    }
    std::printf("ImageMagick (convert, one process per photo):\n");
    std::printf("    total %.2f s, peak memory %.1f MB, failures %d\n", magickSeconds, magickPeak / 1024.0,
                magickFailures);

    const QSize a = QImageReader(ours + QStringLiteral("/IMG_0000.jpg")).size();
    const QSize b = QImageReader(theirs + QStringLiteral("/IMG_0000.jpg")).size();
    std::printf("output sizes: pixplot %dx%d, ImageMagick %dx%d\n", a.width(), a.height(), b.width(),
                b.height());
    if (mine.seconds > 0)
        std::printf("pixplot is %.2f times as fast as ImageMagick\n", magickSeconds / mine.seconds);
    return mine.exitCode == 0 && one.exitCode == 0 && same && magickFailures == 0 ? 0 : 1;
}
