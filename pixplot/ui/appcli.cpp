#include "ui/appcli.h"

#include "core/corecli.h"
#include "core/gpstagwriter.h"
#include "core/mappage.h"
#include "core/pathfile.h"
#include "core/photobatch.h"
#include "core/photomatch.h"
#include "core/photooutput.h"
#include "core/stepping.h"
#include "core/systemfinction.h"
#include "ui/mainwindow.h"

#include "common/qtdialogs.h"
#include "common/translations.h"
#include "common/safefile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include "common/consoletext.h"

#include <cstdio>

namespace pixplot {

namespace {

using common::printLine;

void printMessage(const QString &message) { printLine(stdout, message); }

struct Loaded {
    QList<PhotoRow> rows;
    bool allAccepted = true;
};

// The photos as "加入..." lists them; files it would not accept are named
// on stderr and left out.
Loaded loadPhotos(const QStringList &files)
{
    Loaded out;
    for (const QString &file : files) {
        QString reason;
        if (!common::checkInputFile(file, &reason)) {
            printLine(stderr, QStringLiteral("%1: %2").arg(file, reason));
            out.allAccepted = false;
            continue;
        }
        const QFileInfo info(file);
        QString folder = info.absolutePath();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const PhotoRecord rec = systemfinction::ReadPhotoRecord(info.fileName(), folder);
        if (rec.fileName.isEmpty()) {
            printLine(stderr, QStringLiteral("%1: not an existing .jpg photo, skipped").arg(file));
            out.allAccepted = false;
            continue;
        }
        out.rows.append({rec, rec.shotTime, QString()});
    }
    return out;
}

// Reads --offset, --tolerance, --interpolate, --max-gap and --zone; false
// (message printed) when malformed.
bool readMatchOptions(const QCommandLineParser &parser, photomatch::ClockOffset *offset,
                      photomatch::MatchOptions *match)
{
    qint64 *tolerance = &match->tolerance;
    match->interpolate = parser.isSet(QStringLiteral("interpolate"));
    if (parser.isSet(QStringLiteral("max-gap"))) {
        bool ok = false;
        match->maxGap = parser.value(QStringLiteral("max-gap")).toLongLong(&ok);
        if (!match->interpolate) {
            printLine(stderr, QStringLiteral("--max-gap goes with --interpolate"));
            return false;
        }
        if (!ok || match->maxGap < 0) {
            printLine(stderr, QStringLiteral("--max-gap takes a whole number of seconds, 0 or more"));
            return false;
        }
    }
    if (!readZoneOption(parser, &match->zone))
        return false;
    if (parser.isSet(QStringLiteral("offset"))) {
        const auto o = photomatch::ParseClockOffset(parser.value(QStringLiteral("offset")));
        if (!o) {
            printLine(stderr, QStringLiteral("--offset takes ±hh:mm:ss, e.g. +01:00:00"));
            return false;
        }
        *offset = *o;
    }
    *tolerance = 120;
    if (parser.isSet(QStringLiteral("tolerance"))) {
        bool ok = false;
        *tolerance = parser.value(QStringLiteral("tolerance")).toLongLong(&ok);
        if (!ok || *tolerance < 0 || *tolerance > stepping::kMaxTolerance) {
            printLine(stderr, QStringLiteral("--tolerance takes a whole number from 0 to 600"));
            return false;
        }
    }
    return true;
}

// Loads the path file and matches the rows; false when it cannot be read.
bool matchAgainstPath(const QString &pathFile, QList<PhotoRow> &rows, const photomatch::MatchOptions &options,
                      photomatch::MatchSummary *summary)
{
    QList<PathPoint> points;
    QString error;
    if (!pathfile::ReadPathFile(pathFile, &points, &error, options.zone)) {
        printLine(stderr, QStringLiteral("%1: cannot read the path file %2").arg(pathFile, error));
        return false;
    }
    // Without a point there is nothing to match against; a summary that
    // counts no photo as needing a position would be false.
    if (points.isEmpty()) {
        printLine(stderr, QStringLiteral("%1: the path file holds no valid RMC sentence").arg(pathFile));
        return false;
    }
    *summary = photomatch::MatchRows(rows, points, options);
    return true;
}

int runMatch(const QCommandLineParser &parser)
{
    const QString pathFile = parser.value(QStringLiteral("path"));
    const QStringList photos = parser.positionalArguments();
    if (pathFile.isEmpty() || photos.isEmpty()) {
        printLine(stderr, QStringLiteral("usage: pixplot --match --path FILE [--offset ±hh:mm:ss] "
                                         "[--tolerance N] [--interpolate [--max-gap N]] [--zone ZONE] PHOTO..."));
        return 2;
    }
    photomatch::ClockOffset offset;
    photomatch::MatchOptions matchOptions;
    if (!readMatchOptions(parser, &offset, &matchOptions))
        return 2;
    Loaded loaded = loadPhotos(photos);
    photomatch::ApplyCorrection(loaded.rows, offset);
    photomatch::MatchSummary summary;
    if (!matchAgainstPath(pathFile, loaded.rows, matchOptions, &summary))
        return 1;
    for (const PhotoRow &row : loaded.rows)
        printLine(stdout, row.record.fileName + QLatin1Char('\t') + row.timeText + QLatin1Char('\t')
                              + row.position);
    printMessage(photomatch::MatchMessage(summary));
    return loaded.allAccepted ? 0 : 1;
}

int runProcess(const QCommandLineParser &parser)
{
    const QStringList photos = parser.positionalArguments();
    if (photos.isEmpty()) {
        printLine(stderr, QStringLiteral("usage: pixplot --process [options] PHOTO..."));
        return 2;
    }
    int jobs = photobatch::defaultJobs();
    if (parser.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        jobs = parser.value(QStringLiteral("jobs")).toInt(&ok);
        if (!ok || jobs < 1) {
            printLine(stderr, QStringLiteral("--jobs takes a number of photos worked on at once, 1 or more"));
            return 2;
        }
    }
    photooutput::Options options;
    options.backup = !parser.isSet(QStringLiteral("no-backup"));
    if (parser.isSet(QStringLiteral("rename"))) {
        const QString mode = parser.value(QStringLiteral("rename"));
        if (mode == QLatin1String("time")) {
            options.rename = photooutput::RenameMode::ByTime;
        } else if (mode.startsWith(QLatin1String("prefix:"))) {
            options.rename = photooutput::RenameMode::ByPrefix;
            options.prefix = mode.mid(7);
            if (!photooutput::IsUsablePrefix(options.prefix)) {
                printLine(stderr, photooutput::BadPrefixMessage(options.prefix));
                return 2;
            }
        } else {
            printLine(stderr, QStringLiteral("--rename takes time or prefix:TEXT"));
            return 2;
        }
    }
    options.frame = parser.isSet(QStringLiteral("frame"));
    options.note = parser.value(QStringLiteral("note"));
    options.withGps = parser.isSet(QStringLiteral("gps"));
    options.withTime = !parser.isSet(QStringLiteral("no-time"));
    options.background = QGuiApplication::palette().color(QPalette::Window);
    options.writeGps = parser.isSet(QStringLiteral("write-gps"));
    if (options.writeGps && !parser.isSet(QStringLiteral("path"))) {
        printLine(stderr, QStringLiteral("--write-gps needs the positions of --path FILE"));
        return 2;
    }

    photomatch::ClockOffset offset;
    photomatch::MatchOptions matchOptions;
    if (!readMatchOptions(parser, &offset, &matchOptions))
        return 2;
    options.zone = matchOptions.zone;
    // Each photo is an output: a second run over it would frame the frame.
    QStringList seen;
    for (const QString &photo : photos) {
        const QString identity = common::outputIdentity(photo);
        if (seen.contains(identity)) {
            printLine(stderr, QStringLiteral("%1: 同一个照片给了两次").arg(photo));
            return 2;
        }
        seen << identity;
    }
    Loaded loaded = loadPhotos(photos);
    photomatch::ApplyCorrection(loaded.rows, offset);
    const QString pathFile = parser.value(QStringLiteral("path"));
    if (!pathFile.isEmpty()) {
        photomatch::MatchSummary summary;
        if (!matchAgainstPath(pathFile, loaded.rows, matchOptions, &summary))
            return 1;
    }

    QList<photobatch::Item> items;
    items.reserve(loaded.rows.size());
    for (const PhotoRow &row : loaded.rows)
        items.append({row.record, row.timeText, row.position});
    photobatch::PhotoBatch batch(items, options, jobs);
    qint64 gpsWritten = 0;
    // Failures are named in row order, whatever order the photos finish in.
    QObject::connect(&batch, &photobatch::PhotoBatch::photoDone, &batch,
                     [&loaded, &gpsWritten](qint64 i, const photooutput::Outcome &out) {
                         if (out.ok()) {
                             gpsWritten += out.gpsWritten ? 1 : 0;
                             return;
                         }
                         const PhotoRow &row = loaded.rows.at(i);
                         printLine(stderr, QStringLiteral("%1: %2").arg(row.record.folder + row.record.fileName,
                                                                        photooutput::FailureText(out)));
                     });
    batch.run();
    const qint64 failed = batch.failedCount();
    printMessage(photooutput::BatchMessage(loaded.rows.size(), failed,
                                           options.writeGps ? std::optional<qint64>(gpsWritten)
                                                            : std::nullopt));
    return failed == 0 && loaded.allAccepted ? 0 : 1;
}

// --to-map: the path and the photos placed on it as one map page.
int runToMap(const QCommandLineParser &parser)
{
    const QString pathFile = parser.value(QStringLiteral("path"));
    const QString out = parser.value(QStringLiteral("to-map"));
    if (pathFile.isEmpty() || out.isEmpty()) {
        printLine(stderr, QStringLiteral("usage: pixplot --path FILE --to-map OUT.html [--offset ±hh:mm:ss] "
                                         "[--tolerance N] [--tiles URL] [--overwrite] [PHOTO...]"));
        return 2;
    }
    photomatch::ClockOffset offset;
    photomatch::MatchOptions matchOptions;
    if (!readMatchOptions(parser, &offset, &matchOptions))
        return 2;
    mappage::Page page;
    page.tiles = mappage::DefaultTiles();
    if (parser.isSet(QStringLiteral("tiles"))) {
        bool ok = false;
        page.tiles = mappage::TilesFromText(parser.value(QStringLiteral("tiles")), &ok);
        if (!ok) {
            printLine(stderr, mappage::BadTilesMessage(parser.value(QStringLiteral("tiles"))));
            return 2;
        }
    }
    const QFileInfo target(out);
    QString reason;
    if (!common::checkOutputTarget(out, &reason)) {
        printLine(stderr, QStringLiteral("%1: %2").arg(out, reason));
        return 1;
    }
    if (target.exists() && !parser.isSet(QStringLiteral("overwrite"))) {
        printLine(stderr, common::overwriteRefusal(out));
        return 1;
    }

    QList<PathPoint> points;
    QString error;
    if (!pathfile::ReadPathFile(pathFile, &points, &error, matchOptions.zone)) {
        printLine(stderr, QStringLiteral("%1: cannot read the path file %2").arg(pathFile, error));
        return 1;
    }
    page.segments = mappage::SegmentsOfPath(points);
    if (page.segments.isEmpty()) {
        printLine(stderr, QStringLiteral("%1: the path file holds no valid RMC sentence").arg(pathFile));
        return 1;
    }
    page.timeSpan = points.first().pointTime() + QStringLiteral(" to ") + points.last().pointTime();

    Loaded loaded = loadPhotos(parser.positionalArguments());
    if (!loaded.rows.isEmpty()) {
        photomatch::ApplyCorrection(loaded.rows, offset);
        printMessage(photomatch::MatchMessage(photomatch::MatchRows(loaded.rows, points, matchOptions)));
    }
    page.photos = mappage::PhotosOfRows(loaded.rows);

    if (!mappage::WritePage(target.absoluteFilePath(), page, &error)) {
        printLine(stderr, QStringLiteral("%1: %2").arg(out, error));
        return 1;
    }
    printMessage(mappage::MapSavedMessage(out).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    return loaded.allAccepted ? 0 : 1;
}

// One line per photo: the path, a tab and its EXIF GPS position as the lists
// show it with the decimal latitude and longitude, or nothing after the tab.
int runExifGps(const QCommandLineParser &parser)
{
    const QStringList photos = parser.positionalArguments();
    if (photos.isEmpty()) {
        printLine(stderr, QStringLiteral("usage: pixplot --exif-gps PHOTO..."));
        return 2;
    }
    int status = 0;
    for (const QString &photo : photos) {
        QFile file(photo);
        // A FIFO or device would block or never end.
        if (!QFileInfo(photo).isFile() || !file.open(QIODevice::ReadOnly)) {
            printLine(stderr, QStringLiteral("%1: cannot read the photo %2").arg(photo, file.errorString()));
            status = 1;
            continue;
        }
        const auto point = gpstagwriter::ReadGpsPosition(file.readAll());
        QString line = photo + QLatin1Char('\t');
        if (point)
            line += gpstagwriter::PositionText(*point) + QLatin1Char('\t')
                + QString::number(point->latitude, 'f', 8) + QLatin1Char('\t')
                + QString::number(point->longitude, 'f', 8);
        printLine(stdout, line);
    }
    return status;
}

} // namespace

void addAppOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("match"),
                      QStringLiteral("Match the photos against --path and print one line each.")});
    parser.addOption({QStringLiteral("process"),
                      QStringLiteral("Back up, rename and frame the photos as \"批量执行\" does.")});
    parser.addOption({QStringLiteral("offset"),
                      QStringLiteral("Camera clock correction (default +00:00:00)."),
                      QStringLiteral("±hh:mm:ss")});
    parser.addOption({QStringLiteral("tolerance"),
                      QStringLiteral("Largest gap in seconds to a path point, 0..600 (default 120)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("to-map"),
                      QStringLiteral("Write the path (--path) and the photos placed on it as a map page."),
                      QStringLiteral("OUT.html")});
    parser.addOption({QStringLiteral("tiles"),
                      QStringLiteral("--to-map: map tiles, an {z}/{x}/{y} URL template, or none."),
                      QStringLiteral("URL")});
    parser.addOption({QStringLiteral("interpolate"),
                      QStringLiteral("Place photos between two fixes by time instead of on the nearest one.")});
    parser.addOption({QStringLiteral("max-gap"),
                      QStringLiteral("--interpolate: largest gap in seconds between the two fixes (default 1800)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("no-backup"), QStringLiteral("--process: make no backup copy.")});
    parser.addOption({QStringLiteral("rename"),
                      QStringLiteral("--process: new names after the time or a prefix and the number."),
                      QStringLiteral("time|prefix:TEXT")});
    parser.addOption({QStringLiteral("frame"), QStringLiteral("--process: add the frame and caption.")});
    parser.addOption({QStringLiteral("note"), QStringLiteral("--frame: the note that starts the caption."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("gps"), QStringLiteral("--frame: put the position into the caption.")});
    parser.addOption({QStringLiteral("no-time"), QStringLiteral("--frame: leave the time out of the caption.")});
    parser.addOption({QStringLiteral("write-gps"),
                      QStringLiteral("--process: write the matched positions as EXIF GPS tags (needs --path).")});
    parser.addOption({QStringLiteral("exif-gps"),
                      QStringLiteral("Print the EXIF GPS position of each photo.")});
    parser.addOption({QStringLiteral("jobs"),
                      QStringLiteral("--process: photos worked on at once (default: one per core)."),
                      QStringLiteral("N")});
}

std::optional<int> runAppOptions(const QCommandLineParser &parser)
{
    const bool match = parser.isSet(QStringLiteral("match"));
    const bool process = parser.isSet(QStringLiteral("process"));
    if (match && process) {
        printLine(stderr, QStringLiteral("--match and --process cannot be given together"));
        return 2;
    }
    const bool toMap = parser.isSet(QStringLiteral("to-map"));
    if (toMap && (match || process)) {
        printLine(stderr, QStringLiteral("--to-map cannot be given with --match or --process"));
        return 2;
    }
    if (toMap)
        return runToMap(parser);
    if (parser.isSet(QStringLiteral("tiles"))) {
        printLine(stderr, QStringLiteral("--tiles is used only with --to-map"));
        return 2;
    }
    if (match)
        return runMatch(parser);
    if (process)
        return runProcess(parser);
    if (parser.isSet(QStringLiteral("exif-gps")))
        return runExifGps(parser);
    return std::nullopt;
}

int showMainWindow(QApplication &app)
{
    common::loadQtTranslations(app);
    common::QtDialogs dialogs;
    PixplotMain window(dialogs);
    window.show();
    return app.exec();
}

} // namespace pixplot
