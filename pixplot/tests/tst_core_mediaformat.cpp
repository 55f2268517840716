// The registry of photo and video formats against the real files of the
// formats corpus, with what exiftool reports for each (expected.tsv) as the
// reference, and the box reader against movies built box by box.
#include "core/boxreader.h"
#include "core/mediaformat.h"
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

} // namespace

class TestMediaFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsCorpusTimes_data();
    void readsCorpusTimes();
    void movieHeader_data();
    void movieHeader();
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
        const bool video = format && format->video;
        QString local, offset = row.value(QStringLiteral("offset_time_original"));
        if (video) {
            local = listTime(row.value(QStringLiteral("quicktime_create_date_utc")));
            offset = local.isEmpty() ? QString() : QStringLiteral("Z");
        } else {
            local = listTime(row.value(QStringLiteral("date_time_original")));
            if (local.isEmpty())
                local = listTime(row.value(QStringLiteral("create_date")));
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

void TestMediaFormat::suffixes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("family"); // -1: none
    QTest::newRow("jpg") << "a.JPG" << int(mediaformat::Family::Jpeg);
    QTest::newRow("cr3") << "dir.x/IMG_1.CR3" << int(mediaformat::Family::Bmff);
    QTest::newRow("nef") << "b.nef" << int(mediaformat::Family::TiffRaw);
    QTest::newRow("mov") << "c.MOV" << int(mediaformat::Family::QuickTime);
    QTest::newRow("webp") << "d.webp" << int(mediaformat::Family::PngWebp);
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
