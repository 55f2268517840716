// XMP sidecars read back by exiftool: the position, altitude, speed and
// direction written; an existing sidecar's other properties all kept; the
// sidecar's name chosen by the files beside the photo; and the batch of the
// command line writing sidecars while the originals stay byte for byte.
#include "core/mediaformat.h"
#include "core/xmpsidecar.h"
#include "tst_files.h"

#include <QCryptographicHash>
#include <QDir>

using namespace pixplot;
using fixtures::FolderTest;

namespace {

QByteArray digest(const QString &path)
{
    return QCryptographicHash::hash(testsupport::readAll(path), QCryptographicHash::Sha256);
}

// An edit history as raw editors keep it: an ordered list of structured
// steps with their own namespace, keywords and a title in two languages.
QByteArray editorSidecar(int steps)
{
    QByteArray history;
    for (int i = 1; i <= steps; ++i)
        history += QStringLiteral("<rdf:li darktable:num=\"%1\" darktable:operation=\"op%2\" "
                                  "darktable:enabled=\"1\" darktable:params=\"%3\"/>\n")
                       .arg(i)
                       .arg(i % 17)
                       .arg(QString::number(i * 7919, 16).repeated(3))
                       .toUtf8();
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                      "<rdf:Description rdf:about=\"\"\n"
                      " xmlns:darktable=\"http://darktable.sf.net/\"\n"
                      " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
                      " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
                      " xmlns:exif=\"http://ns.adobe.com/exif/1.0/\"\n"
                      " darktable:xmp_version=\"5\" darktable:history_end=\"")
        + QByteArray::number(steps)
        + "\" xmp:Rating=\"3\"\n"
          " exif:GPSLatitude=\"10,0.0N\" exif:GPSLongitude=\"20,0.0E\">\n"
          "<dc:subject><rdf:Bag><rdf:li>trip</rdf:li><rdf:li>南京</rdf:li></rdf:Bag></dc:subject>\n"
          "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Gate</rdf:li>"
          "<rdf:li xml:lang=\"zh-CN\">城门</rdf:li></rdf:Alt></dc:title>\n"
          "<darktable:history><rdf:Seq>\n"
        + history
        + "</rdf:Seq></darktable:history>\n"
          "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n";
}

// What exiftool reads but the GPS properties, the file's own facts and the
// toolkit's name (which every XMP writer puts its own into).
QJsonObject withoutGps(QJsonObject o)
{
    for (const QString &key : o.keys())
        if (key.contains(QLatin1String("GPS")) || key.startsWith(QLatin1String("File"))
            || key.startsWith(QLatin1String("System:")) || key == QLatin1String("SourceFile")
            || key.startsWith(QLatin1String("ExifTool:")) || key == QLatin1String("XMP-x:XMPToolkit"))
            o.remove(key);
    return o;
}

} // namespace

class TestSidecar : public FolderTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void exiftoolReadsFix_data();
    void exiftoolReadsFix();
    void keepsEditorHistory();
    void chosenName_data();
    void chosenName();
    void batchWritesSidecars();
    void alwaysSidecarsAndFramingJpegOnly();
    void motionReadBack_data();
    void motionReadBack();
    void corpusUnderAuto();
};

void TestSidecar::initTestCase()
{
    if (!testsupport::hasProgram(QStringLiteral("exiftool")))
        QSKIP("exiftool reads the sidecars back");
}

void TestSidecar::exiftoolReadsFix_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<QVariant>("alt");
    QTest::addColumn<QVariant>("speed");
    QTest::addColumn<QVariant>("track");
    QTest::newRow("north east, all values") << 31.8353456789 << 118.7761234567 << QVariant(23.456)
                                            << QVariant(54.321) << QVariant(271.25);
    QTest::newRow("south west, below sea") << -33.8688197 << -70.6693 << QVariant(-12.5) << QVariant()
                                           << QVariant(0.0);
    QTest::newRow("position only") << 0.0000001 << -0.0000001 << QVariant() << QVariant() << QVariant();
    QTest::newRow("whole degrees") << 45.0 << 179.99999999 << QVariant(8848.86) << QVariant(0.0) << QVariant();
}

// For every format the corpus holds, the sidecar exiftool reads gives what
// was written, and the photo itself stays byte for byte.
void TestSidecar::exiftoolReadsFix()
{
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(QVariant, alt);
    QFETCH(QVariant, speed);
    QFETCH(QVariant, track);
    const QStringList names = {"Canon_EOS-R6_Canon-R6-pruned.CR3", "Apple_iPhone-8_IMG_1034.heic",
                               "Apple_iPhone-6_with-gps.mov", "Nikon_D70_ExifTool_Nikon.nef",
                               "Canon_PowerShot-S40_png_with_exif_and_gps.png",
                               "Pentax_K-x_ExifTool_Pentax.avi"};
    xmpsidecar::Fix fix;
    fix.latitude = lat;
    fix.longitude = lon;
    fix.utc = QDateTime(QDate(2021, 5, 12), QTime(10, 21, 21), QTimeZone::utc());
    if (alt.isValid())
        fix.altitude = alt.toDouble();
    if (speed.isValid())
        fix.speedKmh = speed.toDouble();
    if (track.isValid())
        fix.track = track.toDouble();
    QStringList sidecars;
    for (const QString &name : names) {
        QVERIFY(fixtures::copyFormatsFile(name, file(name)));
        const QByteArray before = digest(file(name));
        QString written, error;
        QVERIFY2(xmpsidecar::writeFix(file(name), fix, &written, &error), qPrintable(error));
        QCOMPARE(written, file(name) + ".xmp");
        QCOMPARE(digest(file(name)), before);
        sidecars << written;
    }
    const QJsonArray read = fixtures::exiftoolJson(sidecars, {"-n", "-XMP:all"});
    QCOMPARE(read.size(), sidecars.size());
    for (const QJsonValue &v : read) {
        const QJsonObject o = v.toObject();
        QVERIFY2(std::fabs(o.value("GPSLatitude").toDouble() - lat) < 1e-7, qPrintable(o.value("SourceFile").toString()));
        QVERIFY(std::fabs(o.value("GPSLongitude").toDouble() - lon) < 1e-7);
        QCOMPARE(o.value("GPSDateTime").toString(), QStringLiteral("2021:05:12 10:21:21Z"));
        QCOMPARE(o.value("GPSMapDatum").toString(), QStringLiteral("WGS-84"));
        QCOMPARE(o.value("GPSVersionID").toString(), QStringLiteral("2.3.0.0"));
        QCOMPARE(o.contains("GPSAltitude"), alt.isValid());
        if (alt.isValid()) {
            const double signedAlt = o.value("GPSAltitude").toDouble() * (o.value("GPSAltitudeRef").toInt() ? -1 : 1);
            QVERIFY(std::fabs(signedAlt - alt.toDouble()) < 1e-3);
        }
        QCOMPARE(o.contains("GPSSpeed"), speed.isValid());
        if (speed.isValid()) {
            QVERIFY(std::fabs(o.value("GPSSpeed").toDouble() - speed.toDouble()) < 1e-3);
            QCOMPARE(o.value("GPSSpeedRef").toString(), QStringLiteral("K"));
        }
        QCOMPARE(o.contains("GPSTrack"), track.isValid());
        if (track.isValid()) {
            QVERIFY(std::fabs(o.value("GPSTrack").toDouble() - track.toDouble()) < 1e-2);
            QCOMPARE(o.value("GPSTrackRef").toString(), QStringLiteral("T"));
        }
    }
}

// A raw editor's sidecar of some hundreds of properties keeps every one;
// the position it had is replaced, not doubled.
void TestSidecar::keepsEditorHistory()
{
    const QString photo = file("IMG_1.CR3");
    QVERIFY(fixtures::copyFormatsFile("Canon_EOS-R6_Canon-R6-pruned.CR3", photo));
    const QString sidecar = photo + ".xmp";
    QVERIFY(fixtures::writeFile(sidecar, editorSidecar(120)));
    const QJsonArray before = fixtures::exiftoolJson({sidecar}, {"-G1", "-a", "-struct"});
    QVERIFY(before.size() == 1);
    QVERIFY(before.at(0).toObject().value("XMP-darktable:History").toArray().size() == 120);

    xmpsidecar::Fix fix;
    fix.latitude = 32.0603;
    fix.longitude = 118.7969;
    fix.utc = QDateTime(QDate(2021, 5, 12), QTime(10, 21, 21), QTimeZone::utc());
    fix.altitude = 15;
    for (int pass = 0; pass < 2; ++pass) { // again over its own sidecar
        QString error;
        QVERIFY2(xmpsidecar::writeFix(photo, fix, nullptr, &error), qPrintable(error));
    }
    const QJsonArray after = fixtures::exiftoolJson({sidecar}, {"-G1", "-a", "-struct"});
    QCOMPARE(after.size(), 1);
    QCOMPARE(withoutGps(after.at(0).toObject()), withoutGps(before.at(0).toObject()));
    const QByteArray text = testsupport::readAll(sidecar);
    QCOMPARE(text.count("GPSLatitude"), 2); // one property: its start and end tag, or one attribute
    const QJsonObject o = fixtures::exiftoolJson({sidecar}, {"-n", "-GPSLatitude"}).at(0).toObject();
    QVERIFY(std::fabs(o.value("GPSLatitude").toDouble() - 32.0603) < 1e-7);
}

void TestSidecar::chosenName_data()
{
    QTest::addColumn<QStringList>("present"); // files beside IMG_1.CR3
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList{} << "IMG_1.CR3.xmp";
    QTest::newRow("NAME.xmp alone") << QStringList{"IMG_1.xmp"} << "IMG_1.xmp";
    QTest::newRow("both") << QStringList{"IMG_1.xmp", "IMG_1.CR3.xmp"} << "IMG_1.CR3.xmp";
    QTest::newRow("NAME.xmp shared with a JPEG") << QStringList{"IMG_1.xmp", "IMG_1.JPG"} << "IMG_1.CR3.xmp";
    QTest::newRow("a text file of that base") << QStringList{"IMG_1.xmp", "IMG_1.txt"} << "IMG_1.xmp";
}

void TestSidecar::chosenName()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QVERIFY(fixtures::writeFile(file("IMG_1.CR3"), "x"));
    for (const QString &p : present)
        QVERIFY(fixtures::writeFile(file(p), "x"));
    QCOMPARE(xmpsidecar::sidecarPath(file("IMG_1.CR3")), file(expected));
}

// The command line's batch: HEIC and CR2 positions go into sidecars (the
// files unchanged), the JPEG's into the file; renaming and backups carry
// the sidecars; --exif-gps reads them back.
void TestSidecar::batchWritesSidecars()
{
    if (!QFileInfo(fixtures::pixplotProgram()).isExecutable())
        QSKIP("the pixplot program is not built in this tree");
    const QString heic = file("Apple_iPhone-8_IMG_1034.heic");
    const QString cr2 = file("Canon_EOS-350D_ExifTool_CanonRaw.cr2");
    QVERIFY(fixtures::copyFormatsFile(QFileInfo(heic).fileName(), heic));
    QVERIFY(fixtures::copyFormatsFile(QFileInfo(cr2).fileName(), cr2));
    QVERIFY(fixtures::writePhoto(file("a.jpg"), "2018:02:05 15:11:50"));
    // The CR2's old sidecar under the shared name, with a rating to keep.
    QVERIFY(fixtures::writeFile(file("Canon_EOS-350D_ExifTool_CanonRaw.xmp"), editorSidecar(3)));
    const QByteArray heicBytes = digest(heic), cr2Bytes = digest(cr2);
    // Local times are UTC+08:00 by default.
    QVERIFY(fixtures::writeLines(file("path.txt"), {fixtures::rmc("105900", "030805", "3150.0000", "11846.0000"),
                                                    fixtures::rmc("071140", "050218", "3151.0000", "11847.0000"),
                                                    fixtures::rmc("071150", "050218", "3151.0000", "11847.0000")}));
    const auto r = fixtures::runPixplot({"--process", "--write-gps", "--path", file("path.txt"), "--rename",
                                         "prefix:P", heic, cr2, file("a.jpg")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    // Renamed with their sidecars; the originals' bytes as they were.
    QCOMPARE(digest(file("P0001.heic")), heicBytes);
    QCOMPARE(digest(file("P0002.cr2")), cr2Bytes);
    QVERIFY(QFileInfo::exists(file("P0001.heic.xmp")));
    QVERIFY(QFileInfo::exists(file("P0002.xmp")));
    QVERIFY(!QFileInfo::exists(file("P0002.cr2.xmp")));
    QVERIFY(!QFileInfo::exists(file("P0003.jpg.xmp")));
    // Backups: the photos and their sidecars as they were before.
    QCOMPARE(digest(file("BackUp/Canon_EOS-350D_ExifTool_CanonRaw.cr2")), cr2Bytes);
    QCOMPARE(testsupport::readAll(file("BackUp/Canon_EOS-350D_ExifTool_CanonRaw.xmp")), editorSidecar(3));

    const auto gps = fixtures::runPixplot({"--exif-gps", file("P0001.heic"), file("P0002.cr2"), file("P0003.jpg")});
    QCOMPARE(gps.code, 0);
    const QStringList lines = gps.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).endsWith("\t31.85000000\t118.78333333"), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).endsWith("\t31.83333333\t118.76666667"), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).endsWith("\t31.85000000\t118.78333333"), qPrintable(lines.at(2)));
}

// --sidecar always: the JPEG too gets a sidecar and no GPS in the file;
// framing passes over the HEIC, says so, and still writes its position.
void TestSidecar::alwaysSidecarsAndFramingJpegOnly()
{
    if (!QFileInfo(fixtures::pixplotProgram()).isExecutable())
        QSKIP("the pixplot program is not built in this tree");
    const QString heic = file("IMG_1034.heic");
    QVERIFY(fixtures::copyFormatsFile("Apple_iPhone-8_IMG_1034.heic", heic));
    QVERIFY(fixtures::writePhoto(file("a.jpg"), "2018:02:05 15:11:50"));
    const QByteArray heicBytes = digest(heic);
    QVERIFY(fixtures::writeLines(file("path.txt"), {fixtures::rmc("071140", "050218", "3151.0000", "11847.0000"),
                                                    fixtures::rmc("071150", "050218", "3151.0000", "11847.0000")}));
    const auto r = fixtures::runPixplot({"--process", "--no-backup", "--write-gps", "--sidecar", "always", "--frame",
                                         "--path", file("path.txt"), heic, file("a.jpg")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(heic + QStringLiteral(" 不是JPEG照片，未加边框")), qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("其中 1 个文件不是JPEG照片，未加边框。")), qPrintable(r.out));
    QCOMPARE(digest(heic), heicBytes);
    const QJsonArray read =
        fixtures::exiftoolJson({heic + ".xmp", file("a.jpg.xmp"), file("a.jpg")}, {"-n", "-GPSLatitude"});
    QCOMPARE(read.size(), 3);
    QVERIFY(std::fabs(read.at(0).toObject().value("GPSLatitude").toDouble() - 31.85) < 1e-7);
    QVERIFY(std::fabs(read.at(1).toObject().value("GPSLatitude").toDouble() - 31.85) < 1e-7);
    QVERIFY(!read.at(2).toObject().contains("GPSLatitude"));
    // The JPEG was framed: wider than the 64 pixels it had.
    QVERIFY(QImage(file("a.jpg")).width() > 64);
    QCOMPARE(fixtures::runPixplot({"--process", "--sidecar", "sometimes", heic}).code, 2);
}

// Altitude from GGA, speed (knots in the log, km/h written) and course from
// RMC, or the position of GPX fixes with every decimal of their file and
// their <ele>, nearest or interpolated, as exiftool reads them from the
// JPEG itself and from sidecars.
void TestSidecar::motionReadBack_data()
{
    QTest::addColumn<QString>("sidecarMode");
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("readFrom");
    QTest::addColumn<QString>("path"); // "nmea" or "gpx"
    QTest::addColumn<bool>("interpolate");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("alt");
    QTest::addColumn<bool>("moving"); // speed and course given
    // The NMEA fixes lie at one place; the GPX fixes (see motionReadBack)
    // at 07:11:40Z and 07:12:00Z, which their texts round by up to 7e-7°.
    // The JPEG is shot at 07:11:50Z (a tie goes to the later fix), the HEIC
    // at 07:11:44Z.
    const double latA = 31.851234567, lonA = 118.783456123, latB = 31.852345678, lonB = 118.784567234;
    const auto at = [&](double f) { return std::pair(latA + f * (latB - latA), lonA + f * (lonB - lonA)); };
    const auto row = [](const char *name, const char *mode, const char *photo, const QString &from,
                        const char *path, bool interpolate, std::pair<double, double> position, double alt) {
        QTest::newRow(name) << mode << photo << from << path << interpolate << position.first
                            << position.second << alt << (QLatin1String(path) == QLatin1String("nmea"));
    };
    const std::pair<double, double> nmea(31.85, 118 + 47 / 60.0);
    row("JPEG in the file", "auto", "a.jpg", "a.jpg", "nmea", false, nmea, -12.5);
    row("JPEG sidecar", "always", "a.jpg", "a.jpg.xmp", "nmea", false, nmea, -12.5);
    row("HEIC sidecar", "auto", "IMG_1034.heic", "IMG_1034.heic.xmp", "nmea", false, nmea, -12.5);
    row("JPEG in the file, GPX nearest", "auto", "a.jpg", "a.jpg", "gpx", false, at(1), -14.5);
    row("JPEG in the file, GPX interpolated", "auto", "a.jpg", "a.jpg", "gpx", true, at(0.5), -13.5);
    row("JPEG sidecar, GPX interpolated", "always", "a.jpg", "a.jpg.xmp", "gpx", true, at(0.5), -13.5);
    row("HEIC sidecar, GPX nearest", "auto", "IMG_1034.heic", "IMG_1034.heic.xmp", "gpx", false, at(0),
        -12.5);
    row("HEIC sidecar, GPX interpolated", "auto", "IMG_1034.heic", "IMG_1034.heic.xmp", "gpx", true, at(0.2),
        -12.9);
}

void TestSidecar::motionReadBack()
{
    QFETCH(QString, sidecarMode);
    QFETCH(QString, photo);
    QFETCH(QString, readFrom);
    QFETCH(QString, path);
    QFETCH(bool, interpolate);
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(double, alt);
    QFETCH(bool, moving);
    if (!QFileInfo(fixtures::pixplotProgram()).isExecutable())
        QSKIP("the pixplot program is not built in this tree");
    if (photo.endsWith(".heic"))
        QVERIFY(fixtures::copyFormatsFile("Apple_iPhone-8_IMG_1034.heic", file(photo)));
    else
        QVERIFY(fixtures::writePhoto(file(photo), "2018:02:05 15:11:50"));
    // Below sea level, to see the altitude's reference too.
    QVERIFY(fixtures::writeLines(file("path.txt"),
                                 {"$GPGGA,071140,3151.0000,N,11847.0000,E,1,08,0.9,-12.5,M,0.0,M,,*00",
                                  "$GPRMC,071140,A,3151.0000,N,11847.0000,E,10.0,271.5,050218,,,A*00",
                                  "$GPRMC,071150,A,3151.0000,N,11847.0000,E,10.0,271.5,050218,,,A*00",
                                  "$GPGGA,071150,3151.0000,N,11847.0000,E,1,08,0.9,-12.5,M,0.0,M,,*00"}));
    QVERIFY(fixtures::writeLines(file("path.gpx"),
                                 {"<gpx version=\"1.1\"><trk><trkseg>",
                                  "<trkpt lat=\"31.851234567\" lon=\"118.783456123\">"
                                  "<ele>-12.5</ele><time>2018-02-05T07:11:40Z</time></trkpt>",
                                  "<trkpt lat=\"31.852345678\" lon=\"118.784567234\">"
                                  "<ele>-14.5</ele><time>2018-02-05T07:12:00Z</time></trkpt>",
                                  "</trkseg></trk></gpx>"}));
    QStringList args{"--process", "--no-backup", "--write-gps", "--sidecar", sidecarMode};
    args << "--path" << file(path == "gpx" ? "path.gpx" : "path.txt") << file(photo);
    if (interpolate)
        args << "--interpolate";
    const auto r = fixtures::runPixplot(args);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QJsonObject o =
        fixtures::exiftoolJson({file(readFrom)},
                               {"-n", "-GPSLatitude", "-GPSLongitude", "-GPSAltitude", "-GPSAltitudeRef",
                                "-GPSSpeed", "-GPSSpeedRef", "-GPSTrack", "-GPSTrackRef"})
            .at(0)
            .toObject();
    const QByteArray read = QJsonDocument(o).toJson();
    QVERIFY2(std::fabs(o.value("GPSLatitude").toDouble() - lat) < 1e-7, read.constData());
    QVERIFY2(std::fabs(o.value("GPSLongitude").toDouble() - lon) < 1e-7, read.constData());
    // exiftool applies the reference
    QVERIFY2(std::fabs(o.value("GPSAltitude").toDouble() - alt) < 1e-3, read.constData());
    QCOMPARE(o.value("GPSAltitudeRef").toInt(), 1);
    QCOMPARE(o.contains("GPSSpeed"), moving);
    QCOMPARE(o.contains("GPSTrack"), moving);
    if (!moving)
        return;
    QVERIFY2(std::fabs(o.value("GPSSpeed").toDouble() - 18.52) < 1e-6, read.constData());
    QCOMPARE(o.value("GPSSpeedRef").toString(), QString("K"));
    QCOMPARE(o.value("GPSTrack").toDouble(), 271.5);
    QCOMPARE(o.value("GPSTrackRef").toString(), QString("T"));
}

// Every file of the formats corpus through the batch with --sidecar auto
// and a path that spans all their times: each file with a time gets its
// position (a sidecar, or in the file for a JPEG), and no file but a JPEG
// changes by a byte.
void TestSidecar::corpusUnderAuto()
{
    if (!QFileInfo(fixtures::pixplotProgram()).isExecutable())
        QSKIP("the pixplot program is not built in this tree");
    const QDir corpus(testsupport::corpusDir() + QStringLiteral("/formats"));
    QStringList photos;
    QHash<QString, QByteArray> before;
    for (const QString &name : corpus.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".tsv")) || name.endsWith(QLatin1String(".md")))
            continue;
        QVERIFY(fixtures::copyFormatsFile(name, file(name)));
        photos << file(name);
        before.insert(name, digest(file(name)));
    }
    QCOMPARE(photos.size(), 55);
    QVERIFY(fixtures::writeLines(file("path.txt"), {fixtures::rmc("000000", "010100", "3150.0000", "11846.0000"),
                                                    fixtures::rmc("000000", "010130", "3151.0000", "11847.0000")}));
    const auto r = fixtures::runPixplot(QStringList{"--process", "--no-backup", "--write-gps", "--sidecar", "auto",
                                                    "--interpolate", "--max-gap", "2000000000", "--path",
                                                    file("path.txt")}
                                        + photos);
    int sidecars = 0;
    for (const QString &photo : photos) {
        const QString name = QFileInfo(photo).fileName();
        const auto *format = mediaformat::formatOf(photo);
        const bool jpeg = format && format->family == mediaformat::Family::Jpeg;
        if (!jpeg)
            QVERIFY2(digest(photo) == before.value(name), qPrintable(name));
        const QString folder = QFileInfo(photo).absolutePath() + u'/';
        const bool timed = format && !mediaformat::readRecord(name, folder).shotTime.isEmpty();
        QVERIFY2(QFileInfo::exists(photo + ".xmp") == (timed && !jpeg), qPrintable(name));
        sidecars += QFileInfo::exists(photo + ".xmp");
        // A file taken without a time, or not taken, is named with why.
        if (!timed)
            QVERIFY2(r.err.contains(photo), qPrintable(name + u'\n' + r.err));
    }
    QVERIFY2(sidecars >= 12, qPrintable(QString::number(sidecars)));
}

QTEST_GUILESS_MAIN(TestSidecar)
#include "tst_sidecar.moc"
