// EXIF GPS tags: written in place without loss, carried through framing,
// refused whole when exiv2 cannot write a photo, and read by exiftool and
// djpeg exactly as pixplot lists them.
#include "tst_photofixtures.h"

#include "core/datetimetext.h"
#include "core/nmeasentence.h"
#include "core/photofiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <unistd.h>

using pixplot::GeoPoint;
using pixplot::PhotoRecord;
namespace systemfinction = pixplot::systemfinction;

namespace {

using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;

// One exiftool run over many files: file name -> its tags.
QHash<QString, QJsonObject> exiftoolJson(const QStringList &files, const QStringList &options)
{
    QByteArray out;
    testsupport::runProgram(QStringLiteral("exiftool"),
                            QStringList{"-json", "-G1", "-n", "-x", "System:all", "-x", "File:all"} + options
                                + files,
                            &out, nullptr, 120000);
    QHash<QString, QJsonObject> tags;
    for (const QJsonValue &v : QJsonDocument::fromJson(out).array()) {
        QJsonObject o = v.toObject();
        tags.insert(o.take(QStringLiteral("SourceFile")).toString(), o);
    }
    return tags;
}

// One exiftool run listing every copy of a tag and the validation warnings
// (JSON keeps only the first copy of a tag): file -> its "[Group] Tag : value" lines.
QHash<QString, QStringList> exiftoolAllCopies(const QStringList &files)
{
    QByteArray out;
    testsupport::runProgram(
        QStringLiteral("exiftool"),
        QStringList{"-a", "-G1", "-s", "-n", "-validate", "-warning", "-GPS:GPSLatitude", "-GPS:GPSLongitude"}
            + files,
        &out, nullptr, 120000);
    QHash<QString, QStringList> lines;
    QString current = files.size() == 1 ? files.first() : QString();
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("======== ")))
            current = line.mid(9).trimmed();
        else if (line.startsWith(QLatin1Char('[')))
            lines[current].append(line.simplified());
    }
    return lines;
}

QByteArray decodedPixels(const QString &jpeg)
{
    QByteArray out;
    testsupport::runProgram(QStringLiteral("djpeg"), {QStringLiteral("-ppm"), jpeg}, &out);
    return out;
}

// The position a path gives the k-th photo: degrees and minutes as NMEA
// writes them, alternating hemispheres so both references are written.
struct Fix {
    QString lat, ns, lon, ew;
    double latitude() const { return sign(ns == "S") * nmeaDegrees(lat); }
    double longitude() const { return sign(ew == "W") * nmeaDegrees(lon); }
    static double sign(bool negative) { return negative ? -1.0 : 1.0; }
    static double nmeaDegrees(const QString &v)
    {
        const qsizetype dot = v.indexOf(QLatin1Char('.'));
        return v.left(dot - 2).toDouble() + v.mid(dot - 2).toDouble() / 60.0;
    }
};

Fix fixFor(int k)
{
    const double minutes = 1.2345 * k + 0.0007;
    Fix f;
    f.lat = QStringLiteral("%1%2")
                .arg(10 + k % 70, 2, 10, QLatin1Char('0'))
                .arg(std::fmod(minutes, 60.0), 7, 'f', 4, QLatin1Char('0'));
    f.lon = QStringLiteral("%1%2")
                .arg(5 + 3 * k % 175, 3, 10, QLatin1Char('0'))
                .arg(std::fmod(2 * minutes, 60.0), 7, 'f', 4, QLatin1Char('0'));
    f.ns = k % 2 ? QStringLiteral("S") : QStringLiteral("N");
    f.ew = k % 3 == 1 ? QStringLiteral("W") : QStringLiteral("E");
    return f;
}

// A path with one fix at the shooting time of every photo it can reach,
// the photos' clock being east of UTC by zone (west when behind); returns
// photo file -> (fix, UTC "YYYY:MM:DD hh:mm:ss"). NMEA reaches the photos of
// 2000 to 2099 (its two-digit years), GPX every photo with a time.
QHash<QString, QPair<Fix, QString>> writePathFor(const QStringList &photos, const QString &pathFile,
                                                 const QString &zone = QStringLiteral("08:00:00"),
                                                 bool behind = false, int firstFix = 0, bool gpx = false)
{
    QMap<QString, QStringList> byTime; // local shooting time -> photos
    for (const QString &photo : photos) {
        const QFileInfo info(photo);
        const PhotoRecord rec =
            systemfinction::ReadPhotoRecord(info.fileName(), info.absolutePath() + QLatin1Char('/'));
        const QString utc = systemfinction::ShiftDateTimeText(rec.shotTime, zone, !behind);
        if (rec.hasExif && (gpx || (utc >= QLatin1String("2000") && utc < QLatin1String("2100"))))
            byTime[rec.shotTime].append(photo);
    }
    QHash<QString, QPair<Fix, QString>> expected;
    QStringList lines;
    int k = firstFix;
    for (auto it = byTime.cbegin(); it != byTime.cend(); ++it, ++k) {
        const QString utc = systemfinction::ShiftDateTimeText(it.key(), zone, !behind);
        const Fix f = fixFor(k);
        const QString hhmmss = utc.mid(11).remove(QLatin1Char(':'));
        const QString ddmmyy = utc.mid(8, 2) + utc.mid(5, 2) + utc.mid(2, 2);
        if (gpx)
            lines << QStringLiteral("<trkpt lat=\"%1\" lon=\"%2\"><time>%3Z</time></trkpt>")
                         .arg(f.latitude(), 0, 'f', 10)
                         .arg(f.longitude(), 0, 'f', 10)
                         .arg(QString(utc).replace(QLatin1Char(' '), QLatin1Char('T')));
        else
            lines << QStringLiteral("$GPRMC,%1,A,%2,%3,%4,%5,0.0,0.0,%6,,,A*00")
                         .arg(hhmmss, f.lat, f.ns, f.lon, f.ew, ddmmyy);
        for (const QString &photo : it.value())
            expected.insert(photo, {f, QString(utc).replace(QLatin1Char('-'), QLatin1Char(':'))});
    }
    if (gpx) {
        lines.prepend(QStringLiteral("<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg>"));
        lines.append(QStringLiteral("</trkseg></trk></gpx>"));
    }
    if (!fixtures::writeLines(pathFile, lines))
        qWarning("cannot write the path file");
    return expected;
}

int countInMessage(const QString &out, const QString &pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// Every tag exiftool reads, every copy of it (numbered by family 4),
// binary values as base64: file name -> "Group:Copy:Tag" -> value.
QHash<QString, QJsonObject> exiftoolEverything(const QStringList &files)
{
    return exiftoolJson(files, {"-a", "-b", "-G1:4", "-x", "ExifTool:ExifToolVersion"});
}

// The length of a JPEG's Exif segment; 0 when it has none.
qint64 exifSegmentSize(const QString &jpeg)
{
    const QByteArray bytes = testsupport::readAll(jpeg);
    qsizetype pos = 2;
    while (pos + 4 <= bytes.size() && quint8(bytes[pos]) == 0xFF && quint8(bytes[pos + 1]) != 0xDA) {
        const qsizetype length = (qsizetype(quint8(bytes[pos + 2])) << 8) | quint8(bytes[pos + 3]);
        if (quint8(bytes[pos + 1]) == 0xE1 && bytes.mid(pos + 4, 6) == QByteArray("Exif\0\0", 6))
            return length;
        pos += 2 + length;
    }
    return 0;
}

// What writing a position may change: the GPS directory, the XMP GPS
// properties, and what exiftool derives from them or from the file's size.
bool isWrittenTag(const QString &key)
{
    const QString group = key.section(QLatin1Char(':'), 0, 0);
    const QString tag = key.section(QLatin1Char(':'), -1);
    return group == QLatin1String("GPS") || group == QLatin1String("Composite")
        || (group == QLatin1String("XMP-exif") && tag.startsWith(QLatin1String("GPS")));
}

void verifyGps(const QJsonObject &tags, const Fix &fix, const QString &utc, const QString &what)
{
    const QString date = utc.left(10), time = utc.mid(11);
    QVERIFY2(qAbs(tags.value("GPS:GPSLatitude").toDouble(-1) - qAbs(fix.latitude())) < 1e-7,
             qPrintable(what));
    QVERIFY2(qAbs(tags.value("GPS:GPSLongitude").toDouble(-1) - qAbs(fix.longitude())) < 1e-7,
             qPrintable(what));
    QCOMPARE(tags.value("GPS:GPSLatitudeRef").toString(), fix.ns);
    QCOMPARE(tags.value("GPS:GPSLongitudeRef").toString(), fix.ew);
    QCOMPARE(tags.value("GPS:GPSDateStamp").toString(), date);
    QCOMPARE(tags.value("GPS:GPSTimeStamp").toVariant().toString(), time);
    QCOMPARE(tags.value("GPS:GPSMapDatum").toString(), QStringLiteral("WGS-84"));
    QCOMPARE(tags.value("GPS:GPSVersionID").toString(), QStringLiteral("2 3 0 0"));
}

} // namespace

class TestGeotag : public fixtures::FolderTest {
    Q_OBJECT
private:
    QStringList copyCorpus(const QStringList &names = {});

private slots:
    void initTestCase()
    {
        // exiftool and djpeg read what pixplot writes.
        if (const QByteArray why = testsupport::missingPrograms({"pixplot", "exiftool", "djpeg"});
            !why.isEmpty())
            QSKIP(why.constData());
    }

    void corpusGeotaggedInPlaceWithoutLoss();
    void noOtherPositionRemains_data();
    void noOtherPositionRemains();
    void fullExifSegmentIsRefused();
    void framingNeverDamagesAnEmbeddedImage();
    void framedPhotosKeepTheirMetadata();
    void gpsTimeFollowsTheZone();
    void fullDiskLeavesThePhotoUntouched();
    void windowWritesThePositionsItLists();
    void windowGeotagsEveryFormat();
};

QStringList TestGeotag::copyCorpus(const QStringList &names)
{
    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty())
        return {};
    const QDir photos(corpus + QStringLiteral("/photos"));
    QStringList copies;
    for (const QString &name : names.isEmpty() ? photos.entryList({"*.jpg"}, QDir::Files, QDir::Name) : names)
        if (QFile::copy(photos.filePath(name), file(name)))
            copies << file(name);
    return copies;
}

// Every corpus photo a path reaches: geotagged in place, exiftool finds the
// path's position and the UTC time once each, every other tag, maker-note
// entry and embedded image as before (binary values compared too), no new
// validation warning, and djpeg decodes the same pixels.
void TestGeotag::corpusGeotaggedInPlaceWithoutLoss()
{
    const QStringList photos = copyCorpus();
    if (photos.isEmpty())
        QSKIP("the photo corpus is not here");
    const QString corpus = testsupport::corpusDir() + QStringLiteral("/photos/");
    const auto expected = writePathFor(photos, file("path.gpx"), QStringLiteral("08:00:00"), false, 0, true);
    QVERIFY2(expected.size() >= 25, qPrintable(QString::number(expected.size())));

    const Run r = runPixplot(
        QStringList{"--process", "--no-backup", "--write-gps", "--tolerance", "0", "--path", file("path.gpx")}
        + photos);
    // A photo without image data (a truncated file) is not a photo to tag:
    // it stays as it is, reported.
    QStringList written, refused;
    for (const QString &photo : photos) {
        const QString source = corpus + QFileInfo(photo).fileName();
        const bool changed = testsupport::readAll(photo) != testsupport::readAll(source);
        const bool image = !decodedPixels(source).isEmpty();
        QVERIFY2(changed == (expected.contains(photo) && image), qPrintable(photo + "\n" + r.err));
        (changed ? written : refused) << photo;
        if (expected.contains(photo) && !image)
            QVERIFY2(r.err.contains(photo + QStringLiteral(": ")), qPrintable(photo + " not reported"));
    }
    QCOMPARE(countInMessage(r.out, QStringLiteral("其中 (\\d+) 个照片写入了GPS信息。")), written.size());
    QCOMPARE(written.size() + 1, expected.size()); // one truncated file

    QStringList sources;
    for (const QString &photo : written)
        sources << corpus + QFileInfo(photo).fileName();
    const auto before = exiftoolEverything(sources);
    const auto after = exiftoolEverything(written);
    const auto gpsAfter = exiftoolJson(written, {});
    const auto copiesBefore = exiftoolAllCopies(sources);
    const auto copiesAfter = exiftoolAllCopies(written);
    int hadGps = 0;
    for (const QString &photo : written) {
        const QString source = corpus + QFileInfo(photo).fileName();
        const QJsonObject a = before.value(source), b = after.value(photo);
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        verifyGps(gpsAfter.value(photo), expected.value(photo).first, expected.value(photo).second, photo);
        hadGps += !copiesBefore.value(source).filter(QStringLiteral("[GPS] GPSLatitude :")).isEmpty();
        // A value that lay past the end of the Exif block (exiftool: "Bad
        // offset") had no bytes to keep; it may read as zeros now.
        const QStringList warnedBefore =
            copiesBefore.value(source).filter(QStringLiteral("Warning : Bad offset"));
        for (const QString &key : a.keys() + b.keys())
            if (!isWrittenTag(key)
                && warnedBefore.filter(QLatin1Char(' ') + key.section(QLatin1Char(':'), -1)).isEmpty())
                QVERIFY2(a.value(key) == b.value(key), qPrintable(photo + ": " + key));
        const QStringList &linesAfter = copiesAfter.value(photo);
        QCOMPARE(linesAfter.filter(QStringLiteral("[GPS] GPSLatitude :")).size(), 1);
        QCOMPARE(linesAfter.filter(QStringLiteral("[GPS] GPSLongitude :")).size(), 1);
        const auto aboutUnreadable = [&](const QString &warning) {
            for (const QString &w : warnedBefore)
                if (warning.contains(w.section(QLatin1Char(' '), -1)))
                    return true;
            return false;
        };
        for (const QString &warning : linesAfter.filter(QStringLiteral("Warning :")))
            QVERIFY2(copiesBefore.value(source).contains(warning) || aboutUnreadable(warning),
                     qPrintable(photo + ": " + warning));
        QCOMPARE(decodedPixels(photo), decodedPixels(source));
    }
    QVERIFY(hadGps > 0); // old GPS tags were replaced, not doubled

    // Reading back: the position text of the lists and the decimal degrees,
    // or nothing for a photo without GPS tags.
    QVERIFY(fixtures::writeJpeg(file("plain.jpg"), 16, 16));
    const Run back = runPixplot(QStringList{"--exif-gps"} + written + QStringList{file("plain.jpg")});
    QCOMPARE(back.code, 0);
    const QStringList lines = back.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), written.size() + 1);
    for (qsizetype i = 0; i < written.size(); ++i) {
        const Fix f = expected.value(written[i]).first;
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 4);
        QCOMPARE(fields[0], written[i]);
        QCOMPARE(fields[1],
                 f.ns + systemfinction::FormatNmeaAngle(f.lat) + QLatin1Char(',') + f.ew
                     + systemfinction::FormatNmeaAngle(f.lon));
        QVERIFY(qAbs(fields[2].toDouble() - f.latitude()) < 1e-7);
        QVERIFY(qAbs(fields[3].toDouble() - f.longitude()) < 1e-7);
    }
    QCOMPARE(lines.last(), file("plain.jpg") + QLatin1Char('\t'));
}

void TestGeotag::noOtherPositionRemains_data()
{
    QTest::addColumn<QStringList>("before"); // exiftool's assignments before tagging
    QTest::addColumn<bool>("frame");
    QTest::addColumn<int>("times");
    const QStringList exifGps{"-GPS:GPSAltitude=1234",  "-GPS:GPSAltitudeRef=0",   "-GPS:GPSLatitude=10.5",
                              "-GPS:GPSLatitudeRef=S",  "-GPS:GPSLongitude=20.25", "-GPS:GPSLongitudeRef=W",
                              "-GPS:GPSImgDirection=90"};
    const QStringList xmpGps{"-XMP-exif:GPSLatitude=10.5", "-XMP-exif:GPSLongitude=20.25",
                             "-XMP-exif:GPSAltitude=300", "-XMP-exif:GPSImgDirection=45"};
    QTest::newRow("EXIF altitude of another place") << exifGps << false << 1;
    QTest::newRow("EXIF altitude of another place, framed") << exifGps << true << 1;
    QTest::newRow("XMP position of another place") << xmpGps << false << 1;
    QTest::newRow("XMP position of another place, framed") << xmpGps << true << 1;
    QTest::newRow("both, tagged twice") << exifGps + xmpGps << false << 2;
}

// A photo that already names a place: after tagging, exiftool finds no
// value of that place anywhere, the XMP position (when the photo has one)
// is the new one, and tagging again does not grow the file.
void TestGeotag::noOtherPositionRemains()
{
    QFETCH(QStringList, before);
    QFETCH(bool, frame);
    QFETCH(int, times);
    const QStringList photos = copyCorpus({"Canon_40D.jpg"});
    if (photos.isEmpty())
        QSKIP("the photo corpus is not here");
    const QString photo = photos.first();
    QVERIFY(testsupport::exiftoolWrite(QStringList{"-n"} + before + photos));
    const QJsonObject seeded = exiftoolJson(photos, {}).value(photo);
    QStringList seededKeys;
    for (const QString &key : seeded.keys())
        if (isWrittenTag(key) && !key.startsWith(QLatin1String("Composite:"))
            && !key.endsWith(QLatin1String("Ref")) && !key.endsWith(QLatin1String("VersionID")))
            seededKeys << key;
    QVERIFY(seededKeys.size() >= 4);

    QPair<Fix, QString> fix;
    qint64 firstSize = 0;
    for (int k = 0; k < times; ++k) {
        fix = writePathFor(photos, file("path.txt"), QStringLiteral("08:00:00"), false, 3 + k).value(photo);
        QStringList args{"--process", "--no-backup", "--write-gps", "--path", file("path.txt"), photo};
        if (frame)
            args.insert(2, QStringLiteral("--frame"));
        const Run r = runPixplot(args);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        if (k == 0)
            firstSize = exifSegmentSize(photo);
    }
    const QJsonObject tags = exiftoolJson(photos, {}).value(photo);
    verifyGps(tags, fix.first, fix.second, photo);
    for (const QString &key : seededKeys)
        QVERIFY2(tags.value(key) != seeded.value(key), qPrintable(key));
    if (seeded.contains("XMP-exif:GPSLatitude")) {
        QVERIFY(qAbs(tags.value("XMP-exif:GPSLatitude").toDouble() - fix.first.latitude()) < 1e-7);
        QVERIFY(qAbs(tags.value("XMP-exif:GPSLongitude").toDouble() - fix.first.longitude()) < 1e-7);
    }
    if (times > 1 && !frame)
        QCOMPARE(exifSegmentSize(photo), firstSize);
}

// An Exif segment a few bytes short of its 64 KB limit has no room for
// the appended GPS directory: the photo is refused, says why and keeps
// every byte.
void TestGeotag::fullExifSegmentIsRefused()
{
    const QString photo = file("full.jpg");
    QVERIFY(fixtures::writePhoto(photo, QStringLiteral("2010:05:01 08:00:20"), 64, 48));
    const qint64 empty = exifSegmentSize(photo);
    QVERIFY(empty > 0);
    // The comment's 8-byte charset header, its entry and the Exif IFD it
    // adds take about 40 bytes; 100 are left, less than the GPS tags need.
    const QString comment(int(0xFFFF - empty - 100 - 40), QLatin1Char('x'));
    QVERIFY(testsupport::exiftoolWrite({"-ExifIFD:UserComment=" + comment, photo}));
    QVERIFY2(exifSegmentSize(photo) > 0xFFFF - 200, qPrintable(QString::number(exifSegmentSize(photo))));
    QVERIFY(fixtures::writeLines(file("path.txt"),
                                 {fixtures::rmc("000000", "010510"), fixtures::rmc("001000", "010510")}));
    const QByteArray before = testsupport::readAll(photo);
    const Run r = runPixplot({"--process", "--no-backup", "--write-gps", "--path", file("path.txt"), photo});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(photo + QStringLiteral(": 无法写入照片的EXIF信息（")) && r.err.contains("64 KB"),
             qPrintable(r.err));
    QCOMPARE(testsupport::readAll(photo), before);
}

// Every corpus photo framed: each embedded image exiftool finds in a framed
// photo (maker-note previews among them) is one the source had, byte for
// byte; a photo whose preview would not survive is refused and kept.
void TestGeotag::framingNeverDamagesAnEmbeddedImage()
{
    const QStringList photos = copyCorpus();
    if (photos.isEmpty())
        QSKIP("the photo corpus is not here");
    const QString corpus = testsupport::corpusDir() + QStringLiteral("/photos/");
    const Run r = runPixplot(QStringList{"--process", "--no-backup", "--frame", "--jobs", "2"} + photos);
    QStringList framed, sources;
    for (const QString &photo : photos) {
        const QString source = corpus + QFileInfo(photo).fileName();
        if (testsupport::readAll(photo) == testsupport::readAll(source)) {
            QVERIFY2(r.err.contains(photo + QStringLiteral(": ")), qPrintable(photo + " kept, not reported"));
            continue;
        }
        framed << photo;
        sources << source;
    }
    QVERIFY(framed.size() >= 20);
    const auto images = [](const QJsonObject &tags) {
        QStringList found;
        for (auto it = tags.begin(); it != tags.end(); ++it)
            if (it.value().toString().startsWith(QLatin1String("base64:"))
                && it.key().endsWith(QLatin1String("Image")))
                found << it.value().toString();
        return found;
    };
    const auto before = exiftoolEverything(sources);
    const auto after = exiftoolEverything(framed);
    int previews = 0;
    for (qsizetype i = 0; i < framed.size(); ++i) {
        const QStringList had = images(before.value(sources[i]));
        for (const QString &image : images(after.value(framed[i]))) {
            QVERIFY2(had.contains(image), qPrintable(framed[i]));
            ++previews;
        }
    }
    QVERIFY(previews > 0);
}

// Framing re-encodes the pixels but keeps the camera's tags: time, make,
// model and exposure as before, Orientation 1, no stale thumbnail, the
// new size, and the GPS tags. A photo without metadata stays without.
void TestGeotag::framedPhotosKeepTheirMetadata()
{
    QStringList photos = copyCorpus(
        {"Canon_40D.jpg", "Apple.jpg", "Nikon_D70.jpg", "Olympus_C8080WZ.jpg", "orientation_portrait_6.jpg"});
    if (photos.isEmpty())
        QSKIP("the photo corpus is not here");
    const QString corpus = testsupport::corpusDir() + QStringLiteral("/photos/");
    // An editor's XMP orientation must not turn the upright pixels again.
    QVERIFY(QFile::copy(corpus + "Canon_40D.jpg", file("xmp6.jpg")));
    QVERIFY(testsupport::exiftoolWrite({"-n", "-XMP-tiff:Orientation=6", file("xmp6.jpg")}));
    const auto withXmp = exiftoolJson({file("xmp6.jpg")}, {});
    photos << file("xmp6.jpg");
    const auto expected = writePathFor(photos, file("path.txt"));
    QVERIFY(fixtures::writeJpeg(file("plain.jpg"), 40, 30));

    QVERIFY(expected.size() >= 5);
    QVERIFY(withXmp.value(file("xmp6.jpg")).value("XMP-tiff:Orientation").toInt() == 6);
    const Run r = runPixplot(
        QStringList{"--process", "--no-backup", "--frame", "--write-gps", "--path", file("path.txt")} + photos
        + QStringList{file("plain.jpg")});
    QCOMPARE(r.code, 0);
    QCOMPARE(countInMessage(r.out, QStringLiteral("其中 (\\d+) 个照片写入了GPS信息。")), expected.size());

    QStringList sources;
    for (const QString &photo : photos)
        sources << corpus + QFileInfo(photo).fileName();
    sources.last() = file("xmp6.jpg.source");
    const QStringList kept{"ExifIFD:DateTimeOriginal", "IFD0:Make",          "IFD0:Model",
                           "ExifIFD:ExposureTime",     "ExifIFD:FNumber",    "ExifIFD:ISO",
                           "ExifIFD:ExposureProgram",  "ExifIFD:FocalLength"};
    auto before = exiftoolJson(sources, {});
    before.insert(sources.last(), withXmp.value(file("xmp6.jpg")));
    const auto after = exiftoolJson(photos + QStringList{file("plain.jpg")}, {});
    for (qsizetype i = 0; i < photos.size(); ++i) {
        const QString &photo = photos[i];
        const QJsonObject a = before.value(sources[i]), b = after.value(photo);
        for (const QString &key : kept)
            QVERIFY2(a.value(key) == b.value(key), qPrintable(photo + ": " + key));
        QCOMPARE(b.value("IFD0:Orientation").toInt(), 1);
        QCOMPARE(b.value("XMP-tiff:Orientation").toInt(1), 1);
        QVERIFY2(!b.contains("IFD1:ThumbnailOffset") && !b.contains("IFD1:ThumbnailImage"),
                 qPrintable(photo));
        const QImage framed(photo);
        QCOMPARE(b.value("ExifIFD:ExifImageWidth").toInt(), framed.width());
        QCOMPARE(b.value("ExifIFD:ExifImageHeight").toInt(), framed.height());
        if (expected.contains(photo))
            verifyGps(b, expected.value(photo).first, expected.value(photo).second, photo);
    }
    for (const QString &key : after.value(file("plain.jpg")).keys())
        QVERIFY2(key.startsWith(QLatin1String("JFIF:")) || key.startsWith(QLatin1String("Composite:"))
                     || key.startsWith(QLatin1String("ExifTool:"))
                     // the mark of the frame, in an XMP packet of its own
                     || key == QLatin1String("XMP-pixplot:Framed")
                     || key == QLatin1String("XMP-x:XMPToolkit"),
                 qPrintable(key));
}

// A clock five hours behind UTC: the path's UTC fixes match the photo's local
// time through the zone, and the GPS time written is UTC, not the default +8.
void TestGeotag::gpsTimeFollowsTheZone()
{
    const QStringList photos = copyCorpus({"Canon_40D.jpg"});
    if (photos.isEmpty())
        QSKIP("the photo corpus is not here");
    const auto expected = writePathFor(photos, file("path.txt"), QStringLiteral("05:00:00"), true);
    QCOMPARE(expected.size(), 1);
    const Run r = runPixplot(QStringList{"--process", "--no-backup", "--write-gps", "--tolerance", "0",
                                         "--zone", "-05:00", "--path", file("path.txt")}
                             + photos);
    QCOMPARE(r.code, 0);
    QCOMPARE(countInMessage(r.out, QStringLiteral("其中 (\\d+) 个照片写入了GPS信息。")), 1);
    const auto after = exiftoolJson(photos, {});
    verifyGps(after.value(photos.first()), expected.value(photos.first()).first,
              expected.value(photos.first()).second, photos.first());
}

// The disk fills while the tagged photo is written: the photo stays as it
// was, nothing is left beside it, and the failure is counted.
void TestGeotag::fullDiskLeavesThePhotoUntouched()
{
    if (geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    const QString mountPoint = file("disk");
    QVERIFY(QDir().mkpath(mountPoint));
    if (mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") != 0)
        QSKIP("a tmpfs cannot be mounted here");
    const auto unmount = qScopeGuard([&] { umount(mountPoint.toLocal8Bit().constData()); });

    const QString photo = mountPoint + QStringLiteral("/full.jpg");
    QVERIFY(fixtures::writePhoto(photo, QStringLiteral("2010:05:01 08:00:20"), 160, 120));
    QVERIFY(fixtures::writeLines(file("path.txt"),
                                 {fixtures::rmc("000000", "010510"), fixtures::rmc("001000", "010510")}));
    const QByteArray source = testsupport::readAll(photo);
    {
        QFile filler(mountPoint + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) { }
    }
    const Run r = runPixplot({"--process", "--no-backup", "--write-gps", "--path", file("path.txt"), photo});
    QCOMPARE(r.code, 1);
    QCOMPARE(countInMessage(r.out, QStringLiteral("其中 (\\d+) 个照片写入了GPS信息。")), 0);
    QCOMPARE(countInMessage(r.out, QStringLiteral("其中 (\\d+) 个照片处理失败。")), 1);
    QVERIFY(r.err.contains(QStringLiteral("无法写入照片文件")));
    QVERIFY2(r.err.contains(QStringLiteral("磁盘已满")), qPrintable(r.err));
    QCOMPARE(testsupport::readAll(photo), source);
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"filler", "full.jpg"}));
}

// The window: the check box is there, off, clear of its neighbours; ticked,
// "批量执行" writes the positions the list shows and counts them.
void TestGeotag::windowWritesThePositionsItLists()
{
    QVERIFY(fixtures::writeLines(file("path.txt"),
                                 {
                                     fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                     fixtures::rmc("001000", "010510", "3150.5000", "11846.5000"),
                                 }));
    const QStringList photos{file("p1.jpg"), file("p2.jpg"), file("p3.jpg")};
    for (const QString &p : photos)
        QVERIFY(fixtures::writeJpeg(p, 40, 30));
    // The third is an hour off the path: no position, processed as before.
    QVERIFY(fixtures::setExifTimes({{photos[0], "2010:05:01 08:00:20"},
                                    {photos[1], "2010:05:01 08:09:00"},
                                    {photos[2], "2010:05:01 09:30:00"}}));
    fixtures::Window win;
    auto *box = win.get<QCheckBox>(QStringLiteral("Ck_exifgps"));
    QCOMPARE(box->text(), QStringLiteral("写入GPS信息(EXIF)"));
    QVERIFY(!box->isChecked() && box->isEnabled());
    const QList<QWidget *> controls = win.get<QGroupBox>(QStringLiteral("editBox"))
                                          ->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *c : controls)
        QVERIFY2(c == box || !c->isVisible() || !c->geometry().intersects(box->geometry()),
                 qPrintable(c->objectName()));

    win.addPhotos(photos);
    win.loadPath(file("path.txt"));
    win.click(QStringLiteral("cmd_plgoto"));
    win.clickCheck(QStringLiteral("Ck_exifgps"));
    QVERIFY(box->isChecked());
    win.click(QStringLiteral("cmd_allmake"));
    // The photo that got no tags is named with why.
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("批处理完成!\r\n共处理 3 个照片。\r\n其中 2 个照片写入了GPS信息。\r\n\r\n"
                            "以下照片没有坐标，未写入GPS信息：\r\n")
                 + photos[2] + QStringLiteral(": 不在路径的时间范围内"));
    const auto tags = exiftoolJson(photos, {});
    for (int row = 1; row <= 3; ++row) {
        const QString listed = win.photoCell(row, 2);
        const QJsonObject t = tags.value(photos[row - 1]);
        QCOMPARE(t.contains("GPS:GPSLatitude"), !listed.isEmpty());
        if (listed.isEmpty())
            continue;
        const GeoPoint p = systemfinction::ParsePositionText(listed);
        QVERIFY(qAbs(t.value("GPS:GPSLatitude").toDouble() - p.latitude) < 1e-7);
        QVERIFY(qAbs(t.value("GPS:GPSLongitude").toDouble() - p.longitude) < 1e-7);
    }
    // The backup was taken first and holds the photo as it was.
    QVERIFY(
        !exiftoolJson({file("BackUp/p1.jpg")}, {}).value(file("BackUp/p1.jpg")).contains("GPS:GPSLatitude"));
}

// A HEIC, a CR3 and a MOV beside JPEGs: listed with their times, shown in
// the preview, placed (by the path, or by hand), and written: the JPEGs in
// the file, the others into sidecars with their bytes unchanged.
void TestGeotag::windowGeotagsEveryFormat()
{
    const QStringList others{"Apple_iPhone-8_IMG_1034.heic", "Canon_EOS-R6_Canon-R6-pruned.CR3",
                             "Apple_iPhone-6_with-gps.mov"};
    QStringList files;
    QList<QByteArray> bytes;
    for (const QString &name : others) {
        QVERIFY(fixtures::copyFormatsFile(name, file(name)));
        files << file(name);
        bytes << testsupport::readAll(file(name));
    }
    files << file("a.jpg") << file("b.jpg");
    QVERIFY(fixtures::writeJpeg(files[3], 40, 30) && fixtures::writeJpeg(files[4], 40, 30));
    QVERIFY(fixtures::setExifTimes({{files[3], "2018:02:05 15:11:40"}, {files[4], "2018:02:05 15:11:50"}}));
    QVERIFY(fixtures::writeLines(file("path.txt"), {fixtures::rmc("071140", "050218", "3150.0000", "11846.0000"),
                                                    fixtures::rmc("071150", "050218", "3151.0000", "11847.0000")}));
    fixtures::Window win;
    win.addPhotos(files);
    QCOMPARE(win.photos()->model()->rowCount(), 5);
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2018-02-05 15:11:44"));
    QCOMPARE(win.photoCell(2, 1), QStringLiteral("2021-05-12 12:21:21"));
    QCOMPARE(win.photoCell(3, 1), QStringLiteral("2019-07-24 08:25:57"));

    // Each shows a picture: the HEIC decoded, the raw's embedded preview,
    // the film frame of the video.
    auto *preview = win.get<QLabel>(QStringLiteral("Pictemp"));
    const QColor background = preview->palette().color(QPalette::Window);
    for (int row = 1; row <= 3; ++row) {
        win.selectPhoto(row);
        QVERIFY2(win.title(QStringLiteral("picture_review")).startsWith(QStringLiteral("照片预览 (尺寸")),
                 qPrintable(win.title(QStringLiteral("picture_review"))));
        const QImage shown = preview->pixmap().toImage();
        const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        QVERIFY2(centre != background, qPrintable(others[row - 1]));
    }
    // For a person to look at: the window at common screen sizes.
    if (const QString shot = qEnvironmentVariable("PIXPLOT_SCREENSHOT"); !shot.isEmpty()) {
        for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
            win.w->resize(size);
            QTest::qWait(50);
            win.w->grab().save(shot + QStringLiteral("-%1x%2.png").arg(size.width()).arg(size.height()));
        }
    }

    win.loadPath(file("path.txt"));
    win.click(QStringLiteral("cmd_plgoto"));
    QVERIFY(!win.photoCell(1, 2).isEmpty());
    // The raw and the video by hand, from the path's second point.
    for (int row : {2, 3}) {
        win.selectPhoto(row);
        win.selectPathRow(2);
        win.click(QStringLiteral("cmd_hdaddpl"));
        QCOMPARE(win.photoCell(row, 2), win.pathCell(2, 2));
    }
    win.clickCheck(QStringLiteral("Ck_exifgps"));
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("批处理完成!\r\n共处理 5 个照片。\r\n其中 5 个照片写入了GPS信息。"));
    QStringList sidecars;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(testsupport::readAll(files[i]), bytes[i]);
        sidecars << files[i] + ".xmp";
    }
    const auto read = exiftoolJson(sidecars + QStringList{files[3], files[4]}, {});
    for (int row = 1; row <= 5; ++row) {
        const QString source = row <= 3 ? sidecars[row - 1] : files[row - 1];
        const QJsonObject t = read.value(source);
        const GeoPoint p = systemfinction::ParsePositionText(win.photoCell(row, 2));
        const QString group = row <= 3 ? QStringLiteral("XMP-exif:") : QStringLiteral("GPS:");
        QVERIFY2(qAbs(t.value(group + "GPSLatitude").toDouble() - p.latitude) < 1e-7, qPrintable(source));
        QVERIFY(qAbs(t.value(group + "GPSLongitude").toDouble() - p.longitude) < 1e-7);
    }
    QVERIFY(!QFileInfo::exists(files[3] + ".xmp"));
}

QTEST_MAIN(TestGeotag)
#include "tst_geotag.moc"
