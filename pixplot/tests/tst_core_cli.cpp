// pixplot --exif-time and --read-path, run as the user runs them.
#include "tst_files.h"

#include <cstdio>

namespace {

using fixtures::photoWithTime;
using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;
using fixtures::writeBytes;

} // namespace

class TestCoreCli : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void exifTime();
    void exifTimeAllGood();
    void exifTimeCorpusPhoto();
    void readPath();
    void pathWithoutPointsFails_data();
    void pathWithoutPointsFails();
    void namesTheLocaleCannotReadAreSaid_data();
    void namesTheLocaleCannotReadAreSaid();
    void usage_data();
    void usage();
};

void TestCoreCli::initTestCase()
{
    QVERIFY2(QFileInfo(pixplotProgram()).isExecutable(), qPrintable("not built: " + pixplotProgram()));
}

void TestCoreCli::exifTime()
{
    const QString a = writeBytes(*dir, "a.jpg", photoWithTime("2010:05:01 14:03:22"));
    const QString b = writeBytes(*dir, "B.JPG", QByteArray("\xFF\xD8\xFF\xD9", 4));
    const QString png = writeBytes(*dir, "c.gif", photoWithTime("2010:05:01 14:03:22"));
    const QString zero = writeBytes(*dir, "d.jpg", photoWithTime("0000:00:00 00:00:00"));
    const QString missing = file("gone.jpg");
    const Run r = runPixplot({"--exif-time", a, png, b, missing, zero});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, a + "\t2010-05-01 14:03:22\n" + b + "\t\n" + zero + "\t\n");
    QVERIFY(r.err.contains(png));
    QVERIFY(r.err.contains(missing));
    QVERIFY(!r.err.contains(a));
}

void TestCoreCli::exifTimeAllGood()
{
    const QString a = writeBytes(*dir, "照片 1.jpg", photoWithTime("2012:02:29 23:59:59"));
    // The path is printed as given, relative or not (run in dir through env -C).
    const Run r = fixtures::run(QStringLiteral("env"),
                                {"-C", dir->path(), pixplotProgram(), "--exif-time", "照片 1.jpg", a});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("照片 1.jpg\t2012-02-29 23:59:59\n") + a + "\t2012-02-29 23:59:59\n");
}

void TestCoreCli::exifTimeCorpusPhoto()
{
    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty())
        QSKIP("corpus not present");
    const QString kodak = corpus + "/photos/Kodak PIXPRO FZ201.jpg";
    const QString fuji = corpus + "/photos/FujiFilm SP-2500.jpg";
    if (!QFileInfo::exists(kodak) || !QFileInfo::exists(fuji))
        QSKIP("corpus photos missing");
    // Motorola order with a negative exposure bias; and a time of blanks and colons.
    const Run r = runPixplot({"--exif-time", kodak, fuji});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, kodak + "\t2014-08-05 01:45:01\n" + fuji + "\t\n");
}

void TestCoreCli::readPath()
{
    const QString path = writeBytes(*dir, "path.name",
                                    "$GPRMC,155959,A,3150.1234,N,11846.5678,E,0.0,0.0,311210,,,A*74\r\n"
                                    "$GPGGA,155959,3150.1234,N,11846.5678,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                                    "$GNRMC,160101.00,A,4527.458,S,16709.165,W,0.0,0.0,311210,,\r\n");
    const Run r = runPixplot({"--read-path", path});
    QCOMPARE(r.code, 0);
    QCOMPARE(
        r.out,
        QString(
            "记录0001\t2010-12-31 23:59:59\tN31°50.1234',E118°46.5678'\t0\t118.77613\t31.83539\n"
            "记录0002\t2011-01-01 00:01:01\tS45°27.458',W167°09.165'\t62\t-167.15275\t-45.4576333333333\n"));
    QVERIFY(r.err.isEmpty() || !r.err.contains(path));

    const Run gone = runPixplot({"--read-path", file("gone.txt")});
    QCOMPARE(gone.code, 1);
    QVERIFY(gone.err.contains("gone.txt"));
    QCOMPARE(gone.out, QString());
}

void TestCoreCli::pathWithoutPointsFails_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text without fixes") << QByteArray("no fixes here\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("void fixes only") << QByteArray("$GPRMC,155959,V,,,,,,,311210,,,N*00\r\n");
    QTest::newRow("GPX without points")
        << QByteArray("<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg/></trk></gpx>\n");
}

// A path file that gives no point: --read-path fails as the conversions
// do, with their message, and prints nothing.
void TestCoreCli::pathWithoutPointsFails()
{
    QFETCH(QByteArray, content);
    const QString path = writeBytes(*dir, "none.txt", content);
    const Run read = runPixplot({"--read-path", path});
    const Run convert = runPixplot({"--path", path, "--to-kml"});
    QCOMPARE(convert.code, 1);
    QCOMPARE(read.code, 1);
    QCOMPARE(read.out, QString());
    QVERIFY(read.err.contains(path));
    QVERIFY2(convert.err.contains(read.err), qPrintable(read.err + convert.err));
}

void TestCoreCli::namesTheLocaleCannotReadAreSaid_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("read-path") << "--read-path"
                               << QByteArray(
                                      "$GPRMC,155959,A,3150.1234,N,11846.5678,E,0.0,0.0,311210,,,A*74\r\n");
    QTest::newRow("exif-time") << "--exif-time" << photoWithTime("2010:05:01 14:03:22");
    QTest::newRow("exif-gps") << "--exif-gps" << photoWithTime("2010:05:01 14:03:22");
}

// A file whose name is not valid in the locale's encoding (Latin-1 bytes
// under UTF-8), given as the shell passes it: the message says so rather
// than that the file does not exist.
void TestCoreCli::namesTheLocaleCannotReadAreSaid()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, content);
    const QByteArray name = QFile::encodeName(dir->path()) + "/caf\xE9.jpg";
    FILE *f = std::fopen(name.constData(), "wb");
    QVERIFY(f);
    QCOMPARE(std::fwrite(content.constData(), 1, size_t(content.size()), f), size_t(content.size()));
    std::fclose(f);
    // QTemporaryDir cannot remove a name it cannot decode.
    const auto remove = qScopeGuard([&] { std::remove(name.constData()); });
    const Run r = fixtures::run(QStringLiteral("/bin/sh"),
                                {"-c", "exec \"$0\" \"$1\" \"$(printf '%s/caf\\351.jpg' \"$2\")\"",
                                 pixplotProgram(), command, dir->path()});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("文件名无法在当前语言环境中读取")), qPrintable(r.err));
    QVERIFY(!r.err.contains(QStringLiteral("文件或文件夹不存在")));
}

void TestCoreCli::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no photos") << QStringList{"--exif-time"};
    QTest::newRow("read-path without file") << QStringList{"--read-path"};
    QTest::newRow("both commands") << QStringList{"--exif-time", "--read-path", "x.txt", "a.jpg"};
    QTest::newRow("photos with read-path") << QStringList{"--read-path", "x.txt", "a.jpg"};
}

void TestCoreCli::usage()
{
    QFETCH(QStringList, args);
    const Run r = runPixplot(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QVERIFY(!r.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestCoreCli)
#include "tst_core_cli.moc"
