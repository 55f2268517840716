// The EXIF reader against photos built byte by byte, photos exiftool writes,
// and the real camera photos of the corpus.
#include "core/exifreader.h"
#include "core/datetimetext.h"
#include "core/photofiles.h"
#include "tst_files.h"

#include <QRegularExpression>

using pixplot::ExifEntry;
using pixplot::ExifError;
using pixplot::ExifReader;
using pixplot::PhotoRecord;
namespace systemfinction = pixplot::systemfinction;

namespace {

using fixtures::writeBytes;

// One directory entry as a test writes it. data holds the value bytes in
// file order; up to four go into the entry, more go behind the directory.
struct TestEntry {
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    QByteArray data;
    int dirRef = -1;       // LONG value = offset of that directory
    qint64 rawOffset = -1; // value offset written as is, no data stored
};

struct TestDir {
    QList<TestEntry> entries;
    int next = -1;       // index of the chained directory, -1 = none
    qint64 rawNext = -1; // next-IFD offset written as is
};

class TiffWriter {
public:
    explicit TiffWriter(bool intel) : intel(intel) { }

    QByteArray u16(quint32 v) const
    {
        QByteArray b(2, 0);
        b[intel ? 0 : 1] = char(v & 0xFF);
        b[intel ? 1 : 0] = char(v >> 8 & 0xFF);
        return b;
    }
    QByteArray u32(quint32 v) const
    {
        QByteArray b(4, 0);
        for (int i = 0; i < 4; ++i)
            b[intel ? i : 3 - i] = char(v >> (8 * i) & 0xFF);
        return b;
    }

    // The TIFF block: header, then each directory followed by its data.
    QByteArray build(const QList<TestDir> &dirs, qint64 rawIfd0 = -1) const
    {
        QList<quint32> dirOffset;
        QList<QList<quint32>> dataOffset;
        quint32 at = 8;
        for (const TestDir &d : dirs) {
            dirOffset.append(at);
            at += 2 + 12 * quint32(d.entries.size()) + 4;
            QList<quint32> offs;
            for (const TestEntry &e : d.entries) {
                offs.append(at);
                if (e.data.size() > 4 && e.rawOffset < 0)
                    at += quint32(e.data.size() + (e.data.size() & 1));
            }
            dataOffset.append(offs);
        }
        QByteArray out = intel ? QByteArray("II") : QByteArray("MM");
        out += u16(42);
        out += u32(rawIfd0 >= 0 ? quint32(rawIfd0) : dirOffset.value(0, 0));
        for (qsizetype di = 0; di < dirs.size(); ++di) {
            const TestDir &d = dirs[di];
            out += u16(quint32(d.entries.size()));
            QByteArray data;
            for (qsizetype ei = 0; ei < d.entries.size(); ++ei) {
                const TestEntry &e = d.entries[ei];
                out += u16(e.tag) + u16(e.type) + u32(e.count);
                if (e.dirRef >= 0) {
                    out += u32(dirOffset[e.dirRef]);
                } else if (e.rawOffset >= 0) {
                    out += u32(quint32(e.rawOffset));
                } else if (e.data.size() <= 4) {
                    out += e.data + QByteArray(4 - e.data.size(), 0);
                } else {
                    out += u32(dataOffset[di][ei]);
                    data += e.data;
                    if (e.data.size() & 1)
                        data += char(0);
                }
            }
            const quint32 next = d.rawNext >= 0 ? quint32(d.rawNext) : d.next >= 0 ? dirOffset[d.next] : 0;
            out += u32(next);
            out += data;
        }
        return out;
    }

    bool intel;
};

QByteArray app1(const QByteArray &tiff)
{
    QByteArray seg("\xFF\xE1", 2);
    const int len = int(tiff.size() + 8);
    seg += char(len >> 8 & 0xFF);
    seg += char(len & 0xFF);
    seg += QByteArray("Exif\0\0", 6);
    return seg + tiff;
}

// A JPEG skeleton around one EXIF block; the reader needs no image data.
QByteArray jpeg(const QByteArray &tiff, const QByteArray &before = {})
{
    return QByteArray("\xFF\xD8", 2) + before + app1(tiff) + QByteArray("\xFF\xD9", 2);
}

QByteArray ascii(const char *text, bool terminator = true)
{
    QByteArray b(text);
    if (terminator)
        b += char(0);
    return b;
}

TestEntry asciiEntry(quint16 tag, const QByteArray &bytes)
{
    return {tag, 2, quint32(bytes.size()), bytes};
}

// IFD0 with Make, then the Exif sub-IFD holding DateTimeOriginal and extras.
QByteArray photoWithTime(bool intel, const QByteArray &timeBytes, const QList<TestEntry> &extra = {})
{
    TestDir ifd0;
    ifd0.entries = {asciiEntry(271, ascii("Maker")), {34665, 4, 1, {}, 1}};
    TestDir exif;
    exif.entries = {asciiEntry(36867, timeBytes)};
    exif.entries += extra;
    return jpeg(TiffWriter(intel).build({ifd0, exif}));
}

// Loads bytes as a file would be; the error code or 0.
int loadBytes(ExifReader &reader, const QByteArray &bytes)
{
    try {
        reader.loadBytes(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    } catch (const ExifError &e) {
        return e.code;
    }
    return 0;
}

QByteArray be32(quint32 v)
{
    return TiffWriter(false).u32(v);
}

QByteArray le32(quint32 v)
{
    return TiffWriter(true).u32(v);
}

// A hostile block: `dirs` directories of 65,535 entries, directory k starting
// 12 bytes after directory k - 1, so all of them share one run of entry slots.
// Each slot is a SHORT whose value ends in FF FF: the count of the directory
// that starts there. The slots behind the last entry of directory k hold the
// pointer to directory k + 1.
QByteArray overlappingDirectories(int dirs)
{
    const TiffWriter w(true);
    const quint32 entries = 65535;
    QByteArray tiff = QByteArray("II") + w.u16(42) + w.u32(8) + w.u16(entries);
    const QByteArray slot = w.u16(1) + w.u16(3) + w.u32(1) + QByteArray("\0\0\xFF\xFF", 4);
    tiff.reserve(10 + 12 * (entries + dirs));
    for (quint32 i = 0; i < entries; ++i)
        tiff += slot;
    for (int k = 0; k < dirs; ++k)
        tiff += w.u32(k + 1 < dirs ? 8 + 12 * quint32(k + 1) : 0) + slot.mid(4);
    return jpeg(tiff);
}

} // namespace

class TestExifReader : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void valueDecoding_data();
    void valueDecoding();
    void directoryWalk();
    void walkEndsWithoutExifPointer();
    void loopingChainIsReadOnce_data();
    void loopingChainIsReadOnce();
    void exifBlockSearch_data();
    void exifBlockSearch();
    void failures_data();
    void failures();
    void entriesBeforeFailureStay();
    void overlappingDirectoriesBoundedByFileSize();
    void readerLifecycle();
    void mapsFileFromDisk();
    void valuesBeyondTheHead_data();
    void valuesBeyondTheHead();
    void readPhotoRecord_data();
    void readPhotoRecord();
    void exiftoolWritten_data();
    void exiftoolWritten();
    void corpusPhotos_data();
    void corpusPhotos();
};

void TestExifReader::valueDecoding_data()
{
    QTest::addColumn<bool>("intel");
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("count");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("outside");

    auto both = [](const char *name, int type, quint32 count, const QByteArray &ii, const QVariant &iiValue,
                   const QByteArray &mm, const QVariant &mmValue, bool outside) {
        QTest::addRow("%s II", name) << true << type << count << ii << iiValue << outside;
        QTest::addRow("%s MM", name) << false << type << count << mm << mmValue << outside;
    };
    const QByteArray b0202("\x02\x02\x00\x00", 4);
    both("BYTE x4 in entry", 1, 4, b0202, QString("00000202"), b0202, QString("02020000"), false);
    both("BYTE x1 keeps all four bytes", 1, 1, QByteArray("\x07\x00\x00\x00", 4), QString("00000007"),
         QByteArray("\x07\x00\x00\x00", 4), QString("07000000"), false);
    both("SBYTE x2 in entry", 6, 2, QByteArray("\xFF\x10\x00\x00", 4), QString("000010FF"),
         QByteArray("\xFF\x10\x00\x00", 4), QString("FF100000"), false);
    both("UNDEFINED ExifVersion", 7, 4, QByteArray("0230"), QString("0320"), QByteArray("0230"),
         QString("0230"), false);
    both("ASCII in entry keeps zeros", 2, 3, QByteArray("ab\0\0", 4), QString::fromLatin1("\0\0ba", 4),
         QByteArray("ab\0\0", 4), QString::fromLatin1("ab\0\0", 4), false);
    both("SHORT Orientation 6", 3, 1, QByteArray("\x06\x00\x00\x00", 4), QVariant(qint64(6)),
         QByteArray("\x00\x06\x00\x00", 4), QVariant(qint64(6)), false);
    both("SHORT x2 sums halves", 3, 2, QByteArray("\x01\x00\x02\x00", 4), QVariant(qint64(3)),
         QByteArray("\x00\x01\x00\x02", 4), QVariant(qint64(3)), false);
    both("SSHORT all ones", 8, 1, QByteArray("\xFF\xFF\x00\x00", 4), QVariant(qint64(65535)),
         QByteArray("\xFF\xFF\x00\x00", 4), QVariant(qint64(65535)), false);
    both("LONG", 4, 1, le32(1000), QVariant(qint64(1000)), be32(1000), QVariant(qint64(1000)), false);
    both("LONG of 2^31", 4, 1, le32(0x80000000u), QVariant(qint64(2147483648LL)), be32(0x80000000u),
         QVariant(qint64(2147483648LL)), false);
    both("LONG max", 4, 1, le32(0xFFFFFFFFu), QVariant(qint64(4294967295LL)), be32(0xFFFFFFFFu),
         QVariant(qint64(4294967295LL)), false);
    both("SLONG negative", 9, 1, le32(quint32(-5)), QVariant(qint64(-5)), be32(quint32(-5)),
         QVariant(qint64(-5)), false);
    both("SHORT x3 outside", 3, 3, QByteArray("\x01\x02\x03\x04\x05\x06", 6), QString("123"),
         QByteArray("\x01\x02\x03\x04\x05\x06", 6), QString("321"), true);
    both("BYTE x6 outside", 1, 6, QByteArray("\x01\x02\x03\x0A\xFF\x00", 6),
         QString("12310255"
                 "0"),
         QByteArray("\x01\x02\x03\x0A\xFF\x00", 6), QString("123102550"), true);
    both("LONG x2 renders two single bytes", 4, 2, QByteArray("\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11", 8),
         QString("1011"), QByteArray("\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11", 8), QString("1011"), true);
    both("SLONG x2 outside", 9, 2, QByteArray("\xFF\x01\x00\x00\x00\x00\x00\x00", 8), QString("2551"),
         QByteArray("\xFF\x01\x00\x00\x00\x00\x00\x00", 8), QString("2551"), true);
    both("ASCII outside drops its terminator", 2, 6, ascii("abcde"), QString("abcde"), ascii("abcde"),
         QString("abcde"), true);
    both("ASCII outside without terminator", 2, 19, ascii("2010:05:01 12:34:56", false),
         QString("2010:05:01 12:34:56"), ascii("2010:05:01 12:34:56", false), QString("2010:05:01 12:34:56"),
         true);
    both("UNDEFINED outside drops last byte", 7, 6, QByteArray("abcdef"), QString("abcde"),
         QByteArray("abcdef"), QString("abcde"), true);
    both("RATIONAL XResolution", 5, 1, le32(72) + le32(1), QVariant(), be32(72) + be32(1), QString("72/1"),
         true);
    both("RATIONAL x2 reads the first", 5, 2, le32(1) + le32(2) + le32(3) + le32(4), QVariant(),
         be32(1) + be32(2) + be32(3) + be32(4), QString("1/2"), true);
    both("RATIONAL of 2^31", 5, 1, le32(0x80000000u) + le32(1), QVariant(), be32(0x80000000u) + be32(1),
         QString("2147483648/1"), true);
    both("SRATIONAL negative bias", 10, 1, le32(quint32(-3)) + le32(10), QVariant(),
         be32(quint32(-3)) + be32(10), QString("-3/10"), true);
    both("FLOAT", 11, 1, le32(0x3F800000u), QVariant(), be32(0x3F800000u), QVariant(), false);
    both("DOUBLE", 12, 1, QByteArray(8, '\x01'), QVariant(), QByteArray(8, '\x01'), QVariant(), false);
    both("unknown type", 13, 1, le32(1), QVariant(), be32(1), QVariant(), false);
}

void TestExifReader::valueDecoding()
{
    QFETCH(bool, intel);
    QFETCH(int, type);
    QFETCH(quint32, count);
    QFETCH(QByteArray, data);
    QFETCH(QVariant, value);
    QFETCH(bool, outside);

    TestDir ifd0;
    ifd0.entries = {{0x1234, quint16(type), count, data}};
    ExifReader reader;
    QCOMPARE(loadBytes(reader, jpeg(TiffWriter(intel).build({ifd0}))), 0);
    QVERIFY(reader.hasExif());
    QCOMPARE(reader.intelOrder(), intel);
    const QVariant got = reader.Tag(0x1234);
    QCOMPARE(got.isValid(), value.isValid());
    if (value.isValid()) {
        QCOMPARE(got.typeId(), value.typeId());
        QCOMPARE(got, value);
    }
    const ExifEntry &entry = reader.entries().constFirst();
    QCOMPARE(entry.DataType, type);
    QCOMPARE(entry.Count, qint32(count));
    QCOMPARE(entry.IsMakerNote, false);
    // The offset is kept for values stored behind the directory (never for
    // Intel rationals, which are not decoded).
    const bool offsetKept = outside && !(intel && (type == 5 || type == 10));
    QCOMPARE(entry.ValueOffset != 0, offsetKept);
}

void TestExifReader::directoryWalk()
{
    for (bool intel : {true, false}) {
        TestDir ifd0, ifd1, exif;
        const TiffWriter w(intel);
        ifd0.entries = {{282, 4, 1, w.u32(72)}, {34665, 4, 1, {}, 2}};
        ifd0.next = 1;
        ifd1.entries = {{282, 4, 1, w.u32(300)}, {513, 4, 1, w.u32(99)}};
        exif.entries = {asciiEntry(36867, ascii("2010:05:01 12:34:56")), {0x927C, 7, 4, QByteArray("abcd")}};
        ExifReader reader;
        QCOMPARE(loadBytes(reader, jpeg(w.build({ifd0, ifd1, exif}))), 0);
        QCOMPARE(reader.Tag(0).toInt(), 6);
        QList<int> order;
        for (const ExifEntry &e : reader.entries())
            order.append(e.TagId);
        QCOMPARE(order, (QList<int>{282, 34665, 282, 513, 36867, 0x927C}));
        QCOMPARE(reader.Tag(282).toLongLong(), 72); // IFD0's, not IFD1's
        QCOMPARE(reader.Tag(513).toLongLong(), 99);
        QCOMPARE(reader.Tag(36867).toString(), QString("2010:05:01 12:34:56"));
        QVERIFY(!reader.Tag(0x8825).isValid());
        QVERIFY(!reader.MakerNoteTag(0x927C).isValid());
        QVERIFY(!reader.MakerNoteTag(282).isValid());
    }
}

void TestExifReader::walkEndsWithoutExifPointer()
{
    // A directory nobody points to is not read, and a pointer of 0 ends the walk.
    TestDir ifd0, stray;
    ifd0.entries = {{271, 2, 4, QByteArray("abc\0", 4)}, {34665, 4, 1, le32(0)}};
    stray.entries = {asciiEntry(36867, ascii("2010:05:01 12:34:56"))};
    ExifReader reader;
    QCOMPARE(loadBytes(reader, jpeg(TiffWriter(true).build({ifd0, stray}))), 0);
    QCOMPARE(reader.Tag(0).toInt(), 2);
    QVERIFY(!reader.Tag(36867).isValid());
}

void TestExifReader::loopingChainIsReadOnce_data()
{
    QTest::addColumn<int>("ifd0Next");
    QTest::addColumn<int>("ifd1Next");
    QTest::addColumn<int>("exifNext");
    QTest::addColumn<int>("exifTarget");
    QTest::addColumn<int>("entries");
    QTest::newRow("IFD0 points to itself") << 0 << -1 << -1 << 2 << 4;
    QTest::newRow("IFD1 points back to IFD0") << 1 << 0 << -1 << 2 << 6;
    QTest::newRow("IFD1 points to itself") << 1 << 1 << -1 << 2 << 6;
    QTest::newRow("Exif pointer to IFD0") << 1 << -1 << -1 << 0 << 4;
    QTest::newRow("Exif pointer to IFD1, chained") << 1 << -1 << -1 << 1 << 4;
    QTest::newRow("Exif IFD chains back") << 1 << -1 << 0 << 2 << 6;
}

void TestExifReader::loopingChainIsReadOnce()
{
    QFETCH(int, ifd0Next);
    QFETCH(int, ifd1Next);
    QFETCH(int, exifNext);
    QFETCH(int, exifTarget);
    QFETCH(int, entries);
    TestDir ifd0, ifd1, exif;
    ifd0.entries = {{282, 4, 1, le32(1)}, {34665, 4, 1, {}, exifTarget}};
    ifd0.next = ifd0Next;
    ifd1.entries = {{283, 4, 1, le32(2)}, {513, 4, 1, le32(3)}};
    ifd1.next = ifd1Next;
    exif.entries = {asciiEntry(36867, ascii("2010:05:01 12:34:56")), {36864, 7, 4, QByteArray("0230")}};
    exif.next = exifNext;
    ExifReader reader;
    QCOMPARE(loadBytes(reader, jpeg(TiffWriter(true).build({ifd0, ifd1, exif}))), 0);
    QCOMPARE(reader.Tag(0).toInt(), entries);
    QSet<int> seen;
    for (const ExifEntry &e : reader.entries()) {
        QVERIFY2(!seen.contains(e.TagId), "a directory was read twice");
        seen.insert(e.TagId);
    }
}

void TestExifReader::exifBlockSearch_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("hasExif");
    QTest::addColumn<QString>("time");

    TestDir a, b;
    a.entries = {asciiEntry(36867, ascii("2001:01:01 01:01:01"))};
    b.entries = {asciiEntry(36867, ascii("2002:02:02 02:02:02"))};
    const QByteArray tiffA = TiffWriter(true).build({a});
    const QByteArray tiffB = TiffWriter(false).build({b});

    QTest::newRow("plain") << jpeg(tiffA) << true << "2001:01:01 01:01:01";
    QTest::newRow("not a JPEG") << (QByteArray("\x89PNG", 4) + app1(tiffA)) << false << "";
    QByteArray xmp("\xFF\xE1\x00\x20http://ns.adobe.com/xap/1.0/\0", 33);
    QTest::newRow("XMP APP1 first") << jpeg(tiffA, xmp) << false << "";
    // An APP0 whose payload happens to hold FF E1 and an EXIF block: the
    // plain scan stops there.
    QByteArray app0("\xFF\xE0", 2);
    const QByteArray falseBlock = app1(tiffB);
    app0 += char((falseBlock.size() + 2) >> 8);
    app0 += char((falseBlock.size() + 2) & 0xFF);
    app0 += falseBlock;
    QTest::newRow("FF E1 inside APP0") << jpeg(tiffA, app0) << true << "2002:02:02 02:02:02";
    QByteArray app0Junk("\xFF\xE0\x00\x08JFIF\xFF\xE1", 10);
    QTest::newRow("false FF E1 pair without Exif") << jpeg(tiffA, app0Junk) << false << "";
    QTest::newRow("no FF E1 pair") << QByteArray("\xFF\xD8\xFF\xDB\x00\x04\x00\x00\xFF\xD9", 10) << false
                                   << "";
    // Without any pair the reader looks at bytes 4..7 and a TIFF header at 10.
    QTest::newRow("no pair, Exif at 4") << (QByteArray("\xFF\xD8\x00\x00"
                                                       "Exif\0\0",
                                                       10)
                                            + tiffA)
                                        << true << "2001:01:01 01:01:01";
}

void TestExifReader::exifBlockSearch()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, hasExif);
    QFETCH(QString, time);
    ExifReader reader;
    QCOMPARE(loadBytes(reader, file), 0);
    QCOMPARE(reader.hasExif(), hasExif);
    if (hasExif)
        QCOMPARE(reader.Tag(36867).toString(), time);
    else
        QVERIFY(!reader.Tag(0).isValid());
}

void TestExifReader::failures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("code");

    TestDir ok;
    ok.entries = {asciiEntry(36867, ascii("2010:05:01 12:34:56"))};
    const QByteArray good = jpeg(TiffWriter(false).build({ok}));
    QTest::newRow("cut in the directory") << good.left(12 + 8 + 6) << 9;
    QTest::newRow("cut in the value") << good.left(good.size() - 12) << 9;
    QTest::newRow("two bytes only") << QByteArray("\xFF\xD8", 2) << 9;
    QTest::newRow("empty file") << QByteArray() << 0; // its one extra zero byte is no FF D8

    TestDir beyond;
    beyond.entries = {{36867, 2, 20, {}, -1, 5000}};
    QTest::newRow("value offset past the end") << jpeg(TiffWriter(true).build({beyond})) << 9;
    TestDir huge;
    huge.entries = {{36867, 2, 20, {}, -1, 0x80000000LL}};
    QTest::newRow("value offset of 2^31") << jpeg(TiffWriter(true).build({huge})) << 6;
    TestDir bigCount;
    bigCount.entries = {{36867, 2, 0xFF000014u, {}, -1, 8}};
    QTest::newRow("count of 2^31 or more") << jpeg(TiffWriter(true).build({bigCount})) << 6;
    TestDir bigSize;
    bigSize.entries = {{0x1234, 4, 0x20000000u, {}, -1, 8}};
    QTest::newRow("count x size of 2^31") << jpeg(TiffWriter(false).build({bigSize})) << 6;
    QTest::newRow("IFD0 offset of 2^31") << jpeg(TiffWriter(false).build({ok}, 0x80000000LL)) << 6;
    QTest::newRow("IFD0 offset past the end") << jpeg(TiffWriter(false).build({ok}, 100000)) << 9;
    TestDir badNext = ok;
    badNext.rawNext = 0x90000000LL;
    QTest::newRow("next offset of 2^31") << jpeg(TiffWriter(true).build({badNext})) << 6;
    badNext.rawNext = 70000;
    QTest::newRow("next offset past the end") << jpeg(TiffWriter(true).build({badNext})) << 9;
    // A damaged directory whose entries all render the same long stretch of
    // the file: its text would outgrow the file many times over.
    TestDir repeats;
    for (int i = 0; i < 600; ++i)
        repeats.entries.append({quint16(0x1000 + i), quint16(i % 2 ? 1 : 7), 7000, {}, -1, 0});
    QTest::newRow("values repeating the file") << jpeg(TiffWriter(true).build({repeats})) << 6;
    // A few entries sharing a stretch still load.
    TestDir shared;
    for (int i = 0; i < 4; ++i)
        shared.entries.append({quint16(0x1000 + i), 1, 40, {}, -1, 0});
    QTest::newRow("a few values sharing bytes") << jpeg(TiffWriter(false).build({shared})) << 0;
    TestDir badExif;
    badExif.entries = {{34665, 9, 1, le32(quint32(-100))}};
    QTest::newRow("Exif pointer before the header") << jpeg(TiffWriter(true).build({badExif})) << 9;
}

void TestExifReader::failures()
{
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    ExifReader reader;
    QCOMPARE(loadBytes(reader, file), code);
}

void TestExifReader::entriesBeforeFailureStay()
{
    // DateTimeOriginal first, then a value that points outside the file.
    TestDir exif;
    exif.entries = {asciiEntry(36867, ascii("2010:05:01 12:34:56")), {37386, 5, 1, {}, -1, 90000}};
    ExifReader reader;
    QCOMPARE(loadBytes(reader, jpeg(TiffWriter(false).build({exif}))), 9);
    QVERIFY(reader.hasExif());
    QCOMPARE(reader.Tag(0).toInt(), 1);
    QCOMPARE(reader.Tag(36867).toString(), QString("2010:05:01 12:34:56"));
}

void TestExifReader::overlappingDirectoriesBoundedByFileSize()
{
    // 200 directories of 65,535 entries in 789 KB: 13 million entries if
    // each were walked, while the file has room for 65,735.
    const QByteArray file = overlappingDirectories(200);
    QCOMPARE(file.size() / 1000, 788);
    ExifReader reader;
    QCOMPARE(loadBytes(reader, file), int(ExifError::Overflow));
    QVERIFY(reader.decodedEntries() >= 65535); // the first directory is read whole
    QVERIFY2(reader.decodedEntries() <= file.size() / 12,
             qPrintable(QString::number(reader.decodedEntries())));
    QVERIFY(reader.entries().size() <= file.size() / 12);

    // Through a file on disk (head first, then the whole file), as listing reads it.
    const QString path = writeBytes(*dir, "crafted.jpg", file);
    QVERIFY(!path.isEmpty());
    ExifReader fromDisk;
    QVERIFY_THROWS_EXCEPTION(ExifError, fromDisk.Load(path));
    QVERIFY(fromDisk.decodedEntries() <= file.size() / 12);
    const PhotoRecord record = systemfinction::ReadPhotoRecord("crafted.jpg", dir->path() + "/");
    QCOMPARE(record.fileName, QString("crafted.jpg"));
    QVERIFY(!record.hasExif);
}

void TestExifReader::readerLifecycle()
{
    ExifReader fresh;
    fresh.Load(QString());
    QVERIFY(!fresh.hasExif());
    QVERIFY(!fresh.Tag(0).isValid());
    QVERIFY(!fresh.Tag(36867).isValid()); // no path: empty at once

    const QString photo = writeBytes(*dir, "a.jpg", photoWithTime(true, ascii("2010:05:01 12:34:56")));
    QVERIFY(!photo.isEmpty());
    ExifReader lazy;
    lazy.setPicFile(photo);
    QCOMPARE(lazy.Tag(36867).toString(), QString("2010:05:01 12:34:56")); // Tag loads
    QCOMPARE(lazy.Tag(0).toInt(), 3);
    lazy.Load(QStringLiteral("/ignored/other.jpg")); // the stored path wins; entries are appended again
    QCOMPARE(lazy.Tag(0).toInt(), 6);
    QCOMPARE(lazy.Tag(271).toString(), QString("Maker"));

    const QString plain = writeBytes(*dir, "plain.jpg", QByteArray("\xFF\xD8\xFF\xD9\0\0\0\0", 8));
    ExifReader none;
    none.Load(plain);
    QVERIFY(!none.hasExif());
    QVERIFY(!none.Tag(0).isValid());
    try {
        none.Tag(36867);
        QFAIL("Tag on a photo without EXIF must fail");
    } catch (const ExifError &e) {
        QCOMPARE(int(e.code), 9);
    }

    ExifReader missing;
    try {
        missing.Load(file("gone.jpg"));
        QFAIL("a missing file must fail");
    } catch (const ExifError &e) {
        QCOMPARE(int(e.code), int(ExifError::FileNotFound));
    }
}

void TestExifReader::mapsFileFromDisk()
{
    // A large photo: the block sits at the front, the scan must not need the rest.
    QByteArray bytes = photoWithTime(false, ascii("2011:12:31 23:59:59"));
    bytes.chop(2);
    bytes += QByteArray(6 * 1024 * 1024, '\x55') + QByteArray("\xFF\xD9", 2);
    const QString photo = writeBytes(*dir, "big.JPG", bytes);
    ExifReader reader;
    reader.Load(photo);
    QCOMPARE(reader.picFileName(), photo);
    QCOMPARE(reader.Tag(36867).toString(), QString("2011:12:31 23:59:59"));
}

void TestExifReader::valuesBeyondTheHead_data()
{
    // Files whose EXIF reaches past the first few kilobytes, read from disk.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("entries");

    const QByteArray time = ascii("2010:05:01 12:34:56");
    QByteArray app2("\xFF\xE2\x28\x02", 4);
    app2 += QByteArray(0x2800, 'i');
    QTest::newRow("EXIF behind a 10 KB APP2")
        << photoWithTime(true, time).insert(2, app2) << 0 << "2010:05:01 12:34:56" << 3;
    TestDir exif;
    exif.entries = {
        asciiEntry(271, ascii("Maker")), {37500, 7, 9000, QByteArray(9000, 'm')}, asciiEntry(36867, time)};
    QTest::newRow("time behind a 9 KB maker note")
        << jpeg(TiffWriter(false).build({exif})) << 0 << "2010:05:01 12:34:56" << 3;
    QByteArray straddle("\xFF\xD8\xFF\xE0", 4);
    const int fill = 4096 - 1 - 6;
    straddle += char(fill >> 8);
    straddle += char(fill & 0xFF);
    straddle += QByteArray(fill - 2, 'j');
    straddle += photoWithTime(true, time).mid(2); // FF at 4095, E1 at 4096
    QTest::newRow("FF E1 across the head's end") << straddle << 0 << "2010:05:01 12:34:56" << 3;
    QTest::newRow("100 KB without EXIF")
        << (QByteArray("\xFF\xD8", 2) + QByteArray(100000, 'x')) << 0 << "" << -1;
    TestDir far;
    far.entries = {asciiEntry(271, ascii("Maker")), {36867, 2, 20, {}, -1, 200000}};
    QByteArray farFile = jpeg(TiffWriter(true).build({far}));
    farFile += QByteArray(50000, 'z');
    QTest::newRow("offset past the end of 50 KB") << farFile << 9 << "" << 1;
}

void TestExifReader::valuesBeyondTheHead()
{
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    QFETCH(QString, time);
    QFETCH(int, entries);
    const QString path = writeBytes(*dir, "photo.jpg", file);
    QVERIFY(!path.isEmpty());
    ExifReader reader;
    int got = 0;
    try {
        reader.Load(path);
    } catch (const ExifError &e) {
        got = e.code;
    }
    QCOMPARE(got, code);
    QCOMPARE(reader.hasExif(), entries >= 0);
    if (entries >= 0) {
        QCOMPARE(reader.entries().size(), qsizetype(entries)); // nothing read twice
        if (!time.isEmpty())
            QCOMPARE(reader.Tag(36867).toString(), time);
    }
}

void TestExifReader::readPhotoRecord_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shotTime");

    const QByteArray good = photoWithTime(true, ascii("2010:05:01 14:03:22"));
    QTest::newRow("lower-case jpg") << "a.jpg" << true << good << true << "2010-05-01 14:03:22";
    QTest::newRow("upper-case JPG") << "B.JPG" << true << good << true << "2010-05-01 14:03:22";
    QTest::newRow("Motorola order") << "m.jpg" << true << photoWithTime(false, ascii("2012:02:29 00:00:00"))
                                    << true << "2012-02-29 00:00:00";
    QTest::newRow("png") << "c.png" << true << good << false << "";
    QTest::newRow("jpeg suffix") << "d.jpeg" << true << good << true << "2010-05-01 14:03:22";
    QTest::newRow("missing") << "gone.jpg" << false << QByteArray() << false << "";
    QTest::newRow("no EXIF") << "e.jpg" << true << QByteArray("\xFF\xD8\xFF\xE0\x00\x02\xFF\xD9", 8) << true
                             << "";
    QTest::newRow("not a JPEG inside") << "f.jpg" << true << QByteArray("hello") << true << "";
    QTest::newRow("empty file") << "g.jpg" << true << QByteArray("") << true << "";
    QTest::newRow("zero date") << "h.jpg" << true << photoWithTime(true, ascii("0000:00:00 00:00:00")) << true
                               << "";
    QTest::newRow("blanks and colons")
        << "i.jpg" << true << photoWithTime(true, ascii("    :  :     :  :  ")) << true << "";
    QTest::newRow("no such day") << "j.jpg" << true << photoWithTime(true, ascii("2011:02:29 10:00:00"))
                                 << true << "";
    QTest::newRow("19 bytes, no terminator")
        << "k.jpg" << true << photoWithTime(false, ascii("2010:05:01 14:03:22", false)) << true
        << "2010-05-01 14:03:22";
    QTest::newRow("padded with zero bytes")
        << "p.jpg" << true << photoWithTime(true, QByteArray("2010:05:01 14:03:22\0\0\0\0", 23)) << true
        << "2010-05-01 14:03:22";
    QTest::newRow("padded with zero bytes, Motorola")
        << "q.jpg" << true << photoWithTime(false, QByteArray("2012:02:29 23:59:59\0\0", 21)) << true
        << "2012-02-29 23:59:59";
    QTest::newRow("zero byte inside the time") << "r.jpg" << true
                                               << photoWithTime(true,
                                                                QByteArray("2010:05:01\0"
                                                                           "14:03:22\0",
                                                                           20))
                                               << true << "";
    QTest::newRow("negative bias, Motorola")
        << "l.jpg" << true
        << photoWithTime(false, ascii("2014:08:05 01:45:01"),
                         {{37380, 10, 1, be32(quint32(-100)) + be32(100)}})
        << true << "2014-08-05 01:45:01";
    QTest::newRow("broken after the time")
        << "n.jpg" << true
        << photoWithTime(true, ascii("2014:08:05 01:45:01"), {{37386, 2, 30, {}, -1, 88888}}) << true << "";
}

void TestExifReader::readPhotoRecord()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(QString, shotTime);
    QFETCH(bool, exists);
    if (exists) {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    const QString folder = dir->path() + QLatin1Char('/');
    const PhotoRecord r = systemfinction::ReadPhotoRecord(name, folder);
    QCOMPARE(r.fileName, accepted ? name : QString());
    QCOMPARE(r.folder, accepted ? folder : QString());
    QCOMPARE(r.shotTime, shotTime);
    QCOMPARE(r.hasExif, !shotTime.isEmpty());
}

void TestExifReader::exiftoolWritten_data()
{
    QTest::addColumn<QString>("byteOrder");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("bias"); // our ExposureBiasValue text, "" = not decoded
    QTest::newRow("Intel") << "II"
                           << "2010:05:01 14:03:22" << QStringList{} << "";
    QTest::newRow("Motorola") << "MM"
                              << "2012:02:29 23:59:59" << QStringList{} << "";
    QTest::newRow("Motorola, bias -0.3 EV")
        << "MM"
        << "2014:08:05 01:45:01" << QStringList{"-ExposureCompensation=-0.3"} << "-3/10";
    QTest::newRow("Intel, bias -0.3 EV")
        << "II"
        << "2008:03:15 09:52:01" << QStringList{"-ExposureCompensation=-0.3"} << "";
    QTest::newRow("Motorola, GPS and orientation")
        << "MM"
        << "1999:12:31 23:59:59"
        << QStringList{"-GPSLatitude=31.8353", "-GPSLatitudeRef=S", "-Orientation#=6", "-Make=Test Camera"}
        << "";
}

void TestExifReader::exiftoolWritten()
{
    QFETCH(QString, byteOrder);
    QFETCH(QString, time);
    QFETCH(QStringList, extra);
    QFETCH(QString, bias);
    if (!testsupport::hasProgram(QStringLiteral("exiftool")))
        QSKIP("exiftool is not installed");
    const QString photo = file(QStringLiteral("shot.jpg"));
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QVERIFY(image.save(photo, "JPEG", 90));

    QVERIFY(testsupport::exiftoolWrite(QStringList{"-ExifByteOrder=" + byteOrder, "-DateTimeOriginal=" + time,
                                                   "-ModifyDate=2000:01:01 00:00:00"}
                                       + extra + QStringList{photo}));

    QByteArray out;
    QCOMPARE(testsupport::runProgram(QStringLiteral("exiftool"),
                                     {"-s3", "-EXIF:DateTimeOriginal", "-n", "-ExifByteOrder", photo}, &out),
             0);
    const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], time);
    QCOMPARE(lines[1], byteOrder);

    ExifReader reader;
    reader.Load(photo);
    QVERIFY(reader.hasExif());
    QCOMPARE(reader.intelOrder(), byteOrder == QLatin1String("II"));
    QCOMPARE(reader.Tag(36867).toString(), lines[0]);
    QCOMPARE(reader.Tag(37380).toString(), bias);
    const PhotoRecord r =
        systemfinction::ReadPhotoRecord(QStringLiteral("shot.jpg"), dir->path() + QLatin1Char('/'));
    QCOMPARE(r.shotTime, QString(time).replace(4, 1, '-').replace(7, 1, '-'));
    QVERIFY(r.hasExif);
}

void TestExifReader::corpusPhotos_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("byteOrder");
    QTest::addColumn<QString>("exifTime");
    QTest::addColumn<bool>("xmpFirst");
    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty())
        return;
    const QString folder = corpus + QStringLiteral("/photos/");
    QFile tsv(folder + QStringLiteral("expected.tsv"));
    if (!tsv.open(QIODevice::ReadOnly))
        return;
    const QStringList header = QString::fromUtf8(tsv.readLine()).trimmed().split(QLatin1Char('\t'));
    const qsizetype iFile = header.indexOf("file"), iOrder = header.indexOf("byte_order"),
                    iTime = header.indexOf("date_time_original_exif"),
                    iXmp = header.indexOf("xmp_before_exif");
    while (!tsv.atEnd()) {
        QString line = QString::fromUtf8(tsv.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringList row = line.split(QLatin1Char('\t'));
        if (row.size() < header.size())
            continue;
        QTest::newRow(qPrintable(row[iFile]))
            << folder + row[iFile] << row[iOrder] << row[iTime] << (row[iXmp] == QLatin1String("yes"));
    }
}

void TestExifReader::corpusPhotos()
{
    QFETCH(QString, path);
    QFETCH(QString, byteOrder);
    QFETCH(QString, exifTime);
    QFETCH(bool, xmpFirst);
    if (testsupport::corpusDir().isEmpty())
        QSKIP("corpus not present");

    const QFileInfo info(path);
    const PhotoRecord r = systemfinction::ReadPhotoRecord(info.fileName(), info.path() + QLatin1Char('/'));
    QCOMPARE(r.fileName, info.fileName());
    // exiftool finds the block behind an XMP APP1; the first-FF-E1 rule does not.
    QString want = xmpFirst ? QString() : exifTime;
    const bool realTime =
        QRegularExpression("^\\d{4}:\\d\\d:\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(want).hasMatch()
        && systemfinction::ParseDateTimeText(QString(want).replace(4, 1, '-').replace(7, 1, '-')).has_value();
    if (!realTime)
        want.clear();
    else
        want = want.replace(4, 1, '-').replace(7, 1, '-');
    QCOMPARE(r.shotTime, want);
    QCOMPARE(r.hasExif, !want.isEmpty());

    ExifReader reader;
    try {
        reader.Load(path);
    } catch (const ExifError &) {
        // Corrupt photos may fail part-way; the byte order is read by then.
    }
    QCOMPARE(reader.hasExif(), !byteOrder.isEmpty() && !xmpFirst);
    if (reader.hasExif())
        QCOMPARE(reader.intelOrder(), byteOrder == QLatin1String("II"));
}

QTEST_GUILESS_MAIN(TestExifReader)
#include "tst_core_exifreader.moc"
