// The registry of photo and video formats against the real files of the
// formats corpus, with what exiftool reports for each (expected.tsv) as the
// reference, and the box reader against movies built box by box.
#include "core/boxreader.h"
#include "core/mediaformat.h"
#include "core/mtsreader.h"
#include "core/photosession.h"
#include "tst_files.h"

#include <QBuffer>
#include <QtEndian>

using namespace pixplot;

namespace {

QString formatsDir()
{
    return testsupport::corpusDir() + QStringLiteral("/formats/");
}

// expected.tsv as rows of column name -> value ("-" for none).
QList<QHash<QString, QString>> expectedRows()
{
    QList<QHash<QString, QString>> rows;
    const QStringList lines =
        QString::fromUtf8(testsupport::readAll(formatsDir() + QStringLiteral("expected.tsv"))).split(u'\n');
    const QStringList head = lines.value(0).split(u'\t');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines.at(i).split(u'\t');
        if (cells.size() != head.size())
            continue;
        QHash<QString, QString> row;
        for (qsizetype c = 0; c < head.size(); ++c)
            row.insert(head.at(c), cells.at(c) == QLatin1String("-") ? QString() : cells.at(c));
        rows << row;
    }
    return rows;
}

// exiftool's "2020:05:04 18:39:11[+hh:mm]" as the list's local time and
// the offset it names.
QString listTime(const QString &exif)
{
    if (exif.size() < 19 || exif.startsWith(QLatin1String("0000")) || exif.startsWith(QLatin1String("1904")))
        return {};
    QString t = exif.left(19);
    t[4] = u'-';
    t[7] = u'-';
    return t;
}

QByteArray box(const char *type, const QByteArray &payload)
{
    QByteArray b(4, 0);
    qToBigEndian<quint32>(quint32(8 + payload.size()), b.data());
    return b + QByteArray(type, 4) + payload;
}

QByteArray mvhd(int version, quint64 created)
{
    QByteArray p(version == 1 ? 12 : 8, 0);
    p[0] = char(version);
    if (version == 1)
        qToBigEndian<quint64>(created, p.data() + 4);
    else
        qToBigEndian<quint32>(quint32(created), p.data() + 4);
    return box("mvhd", p + QByteArray(80, 0));
}

// exiftool reads an AVI's IDIT of the form "2009/10/27 12:14:34" to the
// minute ("12:14:00"); the file, and the camera's own block beside it,
// give the seconds too.
const QHash<QString, QString> kSecondsExiftoolDrops = {
    {QStringLiteral("Pentax_K-x_ExifTool_Pentax.avi"), QStringLiteral("2009-10-27 12:14:34")}};

QByteArray corpusFile(const char *name)
{
    return testsupport::readAll(formatsDir() + QLatin1String(name));
}

// bytes with those from `at` on replaced by the ones the hex digits give.
QByteArray patched(QByteArray bytes, qsizetype at, const char *hex)
{
    const QByteArray with = QByteArray::fromHex(hex);
    bytes.replace(at, with.size(), with);
    return bytes;
}

// A RIFF chunk, padded to an even size; a list when form is given.
QByteArray chunk(const char *id, const QByteArray &data, const char *form = nullptr)
{
    const QByteArray body = form ? QByteArray(form, 4) + data : data;
    QByteArray c(id, 4);
    c.resize(8);
    qToLittleEndian<quint32>(quint32(body.size()), c.data() + 4);
    return c + body + (body.size() % 2 ? QByteArray(1, 0) : QByteArray());
}

QByteArray aviWithIdit(const QByteArray &idit)
{
    return chunk("RIFF", chunk("LIST", chunk("avih", QByteArray(56, 0)) + chunk("IDIT", idit), "hdrl")
                     + chunk("LIST", QByteArray(64, 'x'), "movi"),
                 "AVI ");
}

} // namespace

class TestMediaFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsCorpusTimes_data();
    void readsCorpusTimes();
    void movieHeader_data();
    void movieHeader();
    void headerTimes_data();
    void headerTimes();
    void endlessStreamBounded();
    void suffixes_data();
    void suffixes();
    void filePositions_data();
    void filePositions();
    void jpegCameraAndOffset_data();
    void jpegCameraAndOffset();
};

void TestMediaFormat::readsCorpusTimes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("local");  // "" = rejected, or listed without a time
    QTest::addColumn<QString>("offset"); // OffsetTimeOriginal, "Z" for video, "" none
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("model");
    const auto rows = expectedRows();
    QVERIFY(rows.size() >= 55);
    for (const auto &row : rows) {
        const QString file = row.value(QStringLiteral("file"));
        const auto *format = mediaformat::formatOf(file);
        QString local, offset = row.value(QStringLiteral("offset_time_original"));
        if (format && format->family == mediaformat::Family::QuickTime) {
            local = listTime(row.value(QStringLiteral("quicktime_create_date_utc")));
            offset = local.isEmpty() ? QString() : QStringLiteral("Z");
        } else {
            const QString original = row.value(QStringLiteral("date_time_original"));
            local = listTime(original);
            if (offset.isEmpty() && !local.isEmpty())
                offset = original.mid(19); // a video's own zone, as in "2008:12:31 23:16:24+01:00"
            if (local.isEmpty())
                local = listTime(row.value(QStringLiteral("create_date")));
        }
        if (kSecondsExiftoolDrops.contains(file)) {
            QCOMPARE(kSecondsExiftoolDrops.value(file).left(16), local.left(16));
            local = kSecondsExiftoolDrops.value(file);
        }
        QTest::newRow(qPrintable(file)) << file << local << offset << row.value(QStringLiteral("make"))
                                        << row.value(QStringLiteral("model"));
    }
}

// Every file the registry takes is listed; its time is exiftool's, its
// offset and camera too; a file without one says why.
void TestMediaFormat::readsCorpusTimes()
{
    QFETCH(QString, file);
    QFETCH(QString, local);
    QFETCH(QString, offset);
    QFETCH(QString, make);
    QFETCH(QString, model);
    PhotoSession session;
    const PhotoLoad load = session.addPhotos({formatsDir() + file});
    if (!mediaformat::formatOf(file)) {
        QCOMPARE(load.rejects.size(), 1);
        QCOMPARE(load.rejects.first().kind, PhotoReject::Kind::NotJpeg);
        return;
    }
    QCOMPARE(load.loaded, 1);
    const PhotoRecord &r = session.rows().first().record;
    QCOMPARE(r.shotTime, local);
    QCOMPARE(r.hasExif, !local.isEmpty());
    if (local.isEmpty()) {
        QCOMPARE(load.untimed.size(), 1);
        QVERIFY(!load.untimed.first().reason.isEmpty());
        return;
    }
    QCOMPARE(r.utcOffset, offset.isEmpty() ? std::nullopt : cameratime::parseUtcOffset(offset));
    if (!make.isEmpty() && !model.isEmpty())
        QVERIFY2(r.camera.startsWith(make + u' ' + model), qPrintable(r.camera));
}

void TestMediaFormat::movieHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("utc"); // -1: none
    const qint64 t = 1564000000 + boxreader::kQuickTimeEpochOffset;
    const QByteArray ftyp = box("ftyp", "qt  \0\0\0\0");
    QTest::newRow("version 0") << ftyp + box("moov", mvhd(0, t)) << qint64(1564000000);
    QTest::newRow("version 1") << ftyp + box("moov", mvhd(1, t)) << qint64(1564000000);
    QTest::newRow("moov after mdat") << ftyp + box("mdat", QByteArray(100, 'x')) + box("moov", mvhd(0, t))
                                     << qint64(1564000000);
    QTest::newRow("zero time") << ftyp + box("moov", mvhd(0, 0)) << qint64(-1);
    QTest::newRow("mvhd outside moov") << ftyp + mvhd(0, t) << qint64(-1);
    QByteArray longer = ftyp + box("moov", mvhd(0, t));
    qToBigEndian<quint32>(quint32(longer.size()), longer.data() + ftyp.size()); // claims past the end
    QTest::newRow("moov larger than file") << longer << qint64(-1);
    QByteArray cut = ftyp + box("moov", mvhd(1, t));
    cut.chop(90);
    QTest::newRow("truncated") << cut << qint64(-1);
    QTest::newRow("not boxes") << QByteArray("GIF89a and more bytes") << qint64(-1);
}

void TestMediaFormat::movieHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, utc);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const auto info = boxreader::readMovie(buffer);
    QCOMPARE(info.creationUtc.value_or(-1), utc);
}

void TestMediaFormat::headerTimes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("time"); // "" = none, with a reason
    QTest::addColumn<int>("offset");   // seconds east; 99 = none
    QTest::addColumn<int>("family");

    const int avi = int(mediaformat::Family::Avi), mts = int(mediaformat::Family::Avchd);
    const int kyocera = int(mediaformat::Family::KyoceraRaw), tiffRaw = int(mediaformat::Family::TiffRaw);
    const QByteArray pentax = corpusFile("Pentax_K-x_ExifTool_Pentax.avi");
    QTest::newRow("avi: Pentax") << "a.avi" << pentax << "2009-10-27 12:14:34" << 99 << avi;
    QTest::newRow("avi: RIFF size past the end") << "a.avi" << patched(pentax, 4, "ffffff7f")
                                                 << "2009-10-27 12:14:34" << 99 << avi;
    QTest::newRow("avi: header list size past the end")
        << "a.avi" << patched(pentax, 0x10, "f0ffffff") << "" << 99 << avi;
    QTest::newRow("avi: IDIT size past its list") << "a.avi" << patched(pentax, 0x348, "00010000") << ""
                                                  << 99 << avi;
    QTest::newRow("avi: cut in the IDIT") << "a.avi" << pentax.left(0x352) << "" << 99 << avi;
    QTest::newRow("avi: ctime form") << "a.avi" << aviWithIdit("Tue Oct 27 12:14:34 2009\n") << "2009-10-27 12:14:34"
                                     << 99 << avi;
    QTest::newRow("avi: 12-hour clock") << "a.avi" << aviWithIdit("2001/ 1/27  1:42PM") << "2001-01-27 13:42:00"
                                        << 99 << avi;
    QTest::newRow("avi: no such month") << "a.avi" << aviWithIdit("2009/13/27 12:14:34") << "" << 99 << avi;
    QTest::newRow("avi: not RIFF") << "a.avi" << QByteArray(300, 'x') << "" << 99 << avi;

    const QByteArray canon = corpusFile("Canon_ExifTool_M2TS.mts");
    const qsizetype zone = canon.indexOf("MDPM") + 6; // the date pack: 0x18, zone, century...
    QTest::newRow("mts: Canon") << "a.mts" << canon << "2008-12-31 23:16:24" << 3600 << mts;
    QTest::newRow("mts: west, half hour, summer")
        << "a.m2ts" << patched(canon, zone, "67") << "2008-12-31 23:16:24" << -(3 * 3600 + 1800) + 3600 << mts;
    QTest::newRow("mts: zone never set") << "a.mts" << patched(canon, zone, "ff") << "2008-12-31 23:16:24" << 99
                                         << mts;
    QTest::newRow("mts: month not BCD") << "a.mts" << patched(canon, zone + 3, "1a") << "" << 99 << mts;
    QTest::newRow("mts: SEI size past its NAL") << "a.mts" << patched(canon, zone - 23, "ff") << "" << 99 << mts;
    QTest::newRow("mts: program table length past the packet")
        << "a.mts" << patched(canon, 0xca, "bfff") << "" << 99 << mts;
    QTest::newRow("mts: cut before the video") << "a.mts" << canon.left(4 * 192) << "" << 99 << mts;
    QTest::newRow("mts: sync lost") << "a.mts" << patched(canon, 4 * 192 + 4, "48") << "" << 99 << mts;
    QTest::newRow("mts: not a stream") << "a.mts" << QByteArray(1000, 'G') << "" << 99 << mts;

    const QByteArray n = corpusFile("Kyocera_N-Digital_ExifTool_KyoceraRaw.raw");
    QTest::newRow("raw: Kyocera") << "a.raw" << n << "2005-07-16 18:14:30" << 99 << kyocera;
    QTest::newRow("raw: Kyocera, time not a time")
        << "a.raw" << patched(n, 0x2d, "3331") << "" << 99 << kyocera; // month 13
    QTest::newRow("raw: cut inside the header") << "a.raw" << n.left(0x40) << "" << 99 << tiffRaw;
    QTest::newRow("raw: Panasonic's, TIFF-like")
        << "a.raw" << corpusFile("Panasonic_DMC-LX3_ExifTool_Panasonic.rw2") << "2008-08-06 15:21:56" << 99 << tiffRaw;
    QTest::newRow("raw: another maker's") << "a.RAW" << QByteArray("IIU\0", 4) + QByteArray(200, 0) << "" << 99
                                          << tiffRaw;
}

// The families with headers of their own: time, zone and family by
// content, from the real files and from them with their sizes and fields
// cut or made to lie.
void TestMediaFormat::headerTimes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, time);
    QFETCH(int, offset);
    QFETCH(int, family);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(fixtures::writeFile(path, bytes));
    const auto *format = mediaformat::formatOfFile(path);
    QVERIFY(format);
    QCOMPARE(int(format->family), family);
    const mediaformat::ShotInfo info = mediaformat::readShotInfo(path);
    QCOMPARE(info.shotTime, time);
    QCOMPARE(info.utcOffset, offset == 99 ? std::nullopt : std::optional<qint32>(offset));
    QCOMPARE(info.reason.isEmpty(), !time.isEmpty());
    QCOMPARE(testsupport::readAll(path), bytes);
}

// A stream of nothing but filler packets is not read to its end.
void TestMediaFormat::endlessStreamBounded()
{
    QByteArray packet(192, char(0xff));
    packet[4] = 0x47;
    packet[5] = 0x1f; // the null PID
    packet[6] = char(0xff);
    packet[7] = 0x10;
    QByteArray bytes = packet.repeated(int(mtsreader::kMaxScan / 192) + 1000);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const mtsreader::StreamInfo info = mtsreader::readStream(buffer);
    QVERIFY(info.isTransportStream);
    QVERIFY(info.shotTime.isEmpty());
    QVERIFY2(info.bytesRead <= mtsreader::kMaxScan && info.bytesRead > mtsreader::kMaxScan - 192,
             qPrintable(QString::number(info.bytesRead)));
}

void TestMediaFormat::suffixes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("family"); // -1: none
    QTest::newRow("jpg") << "a.JPG" << int(mediaformat::Family::Jpeg);
    QTest::newRow("cr3") << "dir.x/IMG_1.CR3" << int(mediaformat::Family::Bmff);
    QTest::newRow("nef") << "b.nef" << int(mediaformat::Family::TiffRaw);
    QTest::newRow("mov") << "c.MOV" << int(mediaformat::Family::QuickTime);
    QTest::newRow("webp") << "d.webp" << int(mediaformat::Family::PngWebp);
    QTest::newRow("avi") << "e.AVI" << int(mediaformat::Family::Avi);
    QTest::newRow("mts") << "00001.MTS" << int(mediaformat::Family::Avchd);
    QTest::newRow("m2ts") << "00001.m2ts" << int(mediaformat::Family::Avchd);
    QTest::newRow("raw by name: the TIFF-like makers") << "f.raw" << int(mediaformat::Family::TiffRaw);
    QTest::newRow("xmp") << "a.jpg.xmp" << -1;
    QTest::newRow("no suffix in name") << "dir.cr2/file" << -1;
}

void TestMediaFormat::suffixes()
{
    QFETCH(QString, name);
    QFETCH(int, family);
    const auto *f = mediaformat::formatOf(name);
    QCOMPARE(f ? int(f->family) : -1, family);
}

void TestMediaFormat::filePositions_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("lat"); // "" = none
    QTest::addColumn<QString>("lon");
    for (const auto &row : expectedRows()) {
        const QString file = row.value(QStringLiteral("file"));
        const auto *format = mediaformat::formatOf(file);
        // Video positions live in their own boxes, not in Exif.
        if (format && !format->video && format->family != mediaformat::Family::Jpeg)
            QTest::newRow(qPrintable(file)) << file << row.value(QStringLiteral("gps_latitude"))
                                            << row.value(QStringLiteral("gps_longitude"));
    }
}

// The position a file carries itself, as exiftool reads it (for
// --exif-gps when there is no sidecar).
void TestMediaFormat::filePositions()
{
    QFETCH(QString, file);
    QFETCH(QString, lat);
    QFETCH(QString, lon);
    const auto p = mediaformat::readFilePosition(formatsDir() + file);
    QCOMPARE(p.has_value(), !lat.isEmpty());
    if (p) {
        QVERIFY2(std::fabs(p->latitude - lat.toDouble()) < 1e-6, qPrintable(QString::number(p->latitude, 'f', 9)));
        QVERIFY2(std::fabs(p->longitude - lon.toDouble()) < 1e-6, qPrintable(QString::number(p->longitude, 'f', 9)));
    }
}

void TestMediaFormat::jpegCameraAndOffset_data()
{
    QTest::addColumn<QStringList>("tags"); // exiftool assignments
    QTest::addColumn<QString>("camera");
    QTest::addColumn<int>("offset"); // seconds east; 99 = none
    QTest::newRow("all") << QStringList{"-Make=Canon", "-Model=Canon EOS R6", "-SerialNumber=012345",
                                        "-OffsetTimeOriginal=+02:00"}
                         << "Canon Canon EOS R6 012345" << 7200;
    QTest::newRow("west, no serial") << QStringList{"-Make=Apple", "-Model=iPhone 8", "-OffsetTimeOriginal=-04:30"}
                                     << "Apple iPhone 8" << -16200;
    QTest::newRow("nothing but the time") << QStringList{} << "" << 99;
    QTest::newRow("malformed offset") << QStringList{"-Model=X", "-OffsetTimeOriginal=8 hours"} << "X" << 99;
}

// A JPEG's row gets its camera and offset from the tags beside its time.
void TestMediaFormat::jpegCameraAndOffset()
{
    QFETCH(QStringList, tags);
    QFETCH(QString, camera);
    QFETCH(int, offset);
    if (!testsupport::hasProgram(QStringLiteral("exiftool")))
        QSKIP("exiftool writes the tags");
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(fixtures::writePhoto(photo, QStringLiteral("2021:05:12 12:21:21")));
    if (!tags.isEmpty())
        QCOMPARE(testsupport::runProgram(QStringLiteral("exiftool"),
                                         QStringList{"-q", "-m", "-overwrite_original"} + tags + QStringList{photo}),
                 0);
    PhotoSession session;
    QCOMPARE(session.addPhotos({photo}).loaded, 1);
    const PhotoRecord &r = session.rows().first().record;
    QCOMPARE(r.shotTime, QStringLiteral("2021-05-12 12:21:21"));
    QCOMPARE(r.camera, camera);
    QCOMPARE(r.utcOffset, offset == 99 ? std::nullopt : std::optional<qint32>(offset));
}

QTEST_GUILESS_MAIN(TestMediaFormat)
#include "tst_core_mediaformat.moc"
