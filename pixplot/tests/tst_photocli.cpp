// pixplot --match and --process: the window's matching and batch run
// headless on real files, checked through the program's own output.
#include "tst_files.h"

#include "core/photobatch.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>

using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;

class TestPhotoCli : public fixtures::FolderTest {
    Q_OBJECT
private:
    QString pathFile() const { return file("path.txt"); }

private slots:
    void initTestCase()
    {
        if (const QByteArray why = testsupport::missingPrograms({"pixplot", "exiftool"}); !why.isEmpty())
            QSKIP(why.constData());
    }
    void init()
    {
        FolderTest::init();
        // Points at 08:00:00, 08:10:00 and 08:20:00 local time.
        QVERIFY(fixtures::writeLines(pathFile(),
                                     {
                                         fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                         fixtures::rmc("001000", "010510", "3150.5000", "11846.5000"),
                                         fixtures::rmc("002000", "010510", "3151.0000", "11847.0000"),
                                     }));
        QVERIFY(fixtures::writeJpeg(file("a.jpg"), 40, 30));
        QVERIFY(fixtures::writeJpeg(file("b.JPG"), 40, 30));
        QVERIFY(fixtures::writeJpeg(file("c.jpg"), 40, 30));
        // Camera clock one hour slow.
        QVERIFY(fixtures::setExifTimes(
            {{file("a.jpg"), "2010:05:01 07:00:20"}, {file("b.JPG"), "2010:05:01 07:12:00"}}));
    }
    void matchPrintsOneLinePerPhoto();
    void matchUsesDefaultsWithoutOffset();
    void matchRefusesBadArguments_data();
    void matchRefusesBadArguments();
    void optionsWithoutCommandAreUsageErrors_data();
    void optionsWithoutCommandAreUsageErrors();
    void matchSkipsFilesThatAreNotPhotos();
    void processRenamesAndFrames();
    void processByPrefixWithoutBackup();
    void processReportsFailures();
    void parallelBatchMatchesOneJob_data();
    void parallelBatchMatchesOneJob();
    void processRefusesImageBombs_data();
    void processRefusesImageBombs();
    void batchSharesOneMemoryBudget_data();
    void batchSharesOneMemoryBudget();
};

void TestPhotoCli::matchPrintsOneLinePerPhoto()
{
    const Run r = runPixplot({"--match", "--path", pathFile(), "--offset", "+01:00:00", "--tolerance", "60",
                              file("a.jpg"), file("b.JPG"), file("c.jpg")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out,
             QStringLiteral("a.jpg\t2010-05-01 08:00:20\tN31°50.0000',E118°46.0000'\n"
                            "b.JPG\t2010-05-01 08:12:00\t\n"
                            "c.jpg\t\t\n"
                            "需要添加坐标 2个;\n"
                            "自动匹配并添加坐标 1个;\n"
                            "失败(超周期或误差) 1个!\n"));
    // A wider tolerance reaches b's point 120 s away.
    const Run wide = runPixplot(
        {"--match", "--path", pathFile(), "--offset", "+01:00:00", "--tolerance", "120", file("b.JPG")});
    QCOMPARE(wide.code, 0);
    QVERIFY2(wide.out.startsWith(QStringLiteral("b.JPG\t2010-05-01 08:12:00\tN31°50.5000',E118°46.5000'\n")),
             qPrintable(wide.out));
}

void TestPhotoCli::matchUsesDefaultsWithoutOffset()
{
    // No offset: 07:00:20 is before the path, 07:12 too.
    const Run r = runPixplot({"--match", "--path", pathFile(), file("a.jpg"), file("b.JPG")});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("a.jpg\t2010-05-01 07:00:20\t\n")));
    QVERIFY(r.out.endsWith(QStringLiteral("失败(超周期或误差) 2个!\n")));
    // A negative offset moves the other way.
    const Run back = runPixplot({"--match", "--path", pathFile(), "--offset", "-00:00:20", file("a.jpg")});
    QVERIFY(back.out.startsWith(QStringLiteral("a.jpg\t2010-05-01 07:00:00\t\n")));
}

void TestPhotoCli::matchRefusesBadArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::newRow("no path") << QStringList{"--match", "A"} << 2;
    QTest::newRow("no photo") << QStringList{"--match", "--path", "P"} << 2;
    QTest::newRow("offset hours 24") << QStringList{"--match", "--path", "P", "--offset", "24:00:00", "A"}
                                     << 2;
    QTest::newRow("offset text") << QStringList{"--match", "--path", "P", "--offset", "one hour", "A"} << 2;
    QTest::newRow("tolerance 601") << QStringList{"--match", "--path", "P", "--tolerance", "601", "A"} << 2;
    QTest::newRow("tolerance text") << QStringList{"--match", "--path", "P", "--tolerance", "abc", "A"} << 2;
    QTest::newRow("missing path file") << QStringList{"--match", "--path", "NOFILE", "A"} << 1;
    QTest::newRow("path without fixes") << QStringList{"--match", "--path", "EMPTY", "A"} << 1;
    QTest::newRow("process, path without fixes") << QStringList{"--process", "--path", "EMPTY", "A"} << 1;
    // A photo that cannot be listed stops the batch before any photo is touched.
    QTest::newRow("process, missing photo") << QStringList{"--process", "--frame", "A", "NOFILE"} << 1;
    QTest::newRow("bad rename") << QStringList{"--process", "--rename", "date", "A"} << 2;
    for (const char *prefix : {"prefix:../../x", "prefix:a/b", "prefix:a\\b", "prefix:.", "prefix:.."})
        QTest::newRow(prefix) << QStringList{"--process", "--no-backup", "--rename", prefix, "A"} << 2;
    QTest::newRow("both commands") << QStringList{"--match", "--process", "--path", "P", "A"} << 2;
    QTest::newRow("write-gps without path") << QStringList{"--process", "--write-gps", "A"} << 2;
    QTest::newRow("exif-gps without photo") << QStringList{"--exif-gps"} << 2;
}

void TestPhotoCli::matchRefusesBadArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    for (QString &a : args) {
        if (a == QLatin1String("P"))
            a = pathFile();
        else if (a == QLatin1String("A"))
            a = file("a.jpg");
        else if (a == QLatin1String("NOFILE"))
            a = file("missing.txt");
        else if (a == QLatin1String("EMPTY"))
            a = file("nofix.txt");
    }
    QVERIFY(fixtures::writeLines(file("nofix.txt"),
                                 {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000", "V"),
                                  QStringLiteral("$GPGGA,000000,,,,,0,00,,,M,,M,,*66")}));
    const QByteArray before = testsupport::readAll(file("a.jpg"));
    const Run r = runPixplot(args);
    QCOMPARE(r.code, code);
    QVERIFY(!r.err.isEmpty());
    QVERIFY(r.out.isEmpty());
    QCOMPARE(testsupport::readAll(file("a.jpg")), before);
}

void TestPhotoCli::optionsWithoutCommandAreUsageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("path alone") << QStringList{"--path", "P"};
    QTest::newRow("tolerance") << QStringList{"--tolerance", "5"};
    QTest::newRow("offset") << QStringList{"--offset", "+01:00:00"};
    QTest::newRow("frame and note") << QStringList{"--frame", "--note", "Trip"};
    QTest::newRow("overwrite") << QStringList{"--overwrite"};
}

// An option that belongs to a command, given without one, is a usage error:
// the program must not open a window nobody asked for and never end.
void TestPhotoCli::optionsWithoutCommandAreUsageErrors()
{
    QFETCH(QStringList, args);
    for (QString &a : args) {
        if (a == QLatin1String("P"))
            a = pathFile();
    }
    const Run r = runPixplot(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!r.err.isEmpty());
}

void TestPhotoCli::matchSkipsFilesThatAreNotPhotos()
{
    QImage png(8, 8, QImage::Format_RGB32);
    png.fill(Qt::red);
    QVERIFY(png.save(file("d.bmp")));
    const Run r =
        runPixplot({"--match", "--path", pathFile(), "--offset", "+01:00:00", file("d.bmp"), file("a.jpg")});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("d.bmp")));
    QVERIFY(r.out.startsWith(QStringLiteral("a.jpg\t")));
    QVERIFY(!r.out.contains(QStringLiteral("d.bmp")));
}

void TestPhotoCli::processRenamesAndFrames()
{
    const QByteArray sourceA = testsupport::readAll(file("a.jpg"));
    const Run r =
        runPixplot({"--process", "--rename", "time", "--frame", "--note", "Trip", "--gps", "--path",
                    pathFile(), "--offset", "+01:00:00", "--tolerance", "60", file("a.jpg"), file("b.JPG")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("批处理完成!\n共处理 2 个照片。\n"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files, QDir::Name),
             QStringList({"20100501_080020.jpg", "20100501_081200.JPG", "c.jpg", "path.txt"}));
    QCOMPARE(QImageReader(file("20100501_080020.jpg")).size(), QSize(84, 74));
    QCOMPARE(testsupport::readAll(file("BackUp/a.jpg")), sourceA);
    QVERIFY(QFileInfo::exists(file("BackUp/b.JPG")));
}

void TestPhotoCli::processByPrefixWithoutBackup()
{
    const Run r =
        runPixplot({"--process", "--no-backup", "--rename", "prefix:trip", file("c.jpg"), file("a.jpg")});
    QCOMPARE(r.code, 0);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files, QDir::Name),
             QStringList({"b.JPG", "path.txt", "trip0001.jpg", "trip0002.jpg"}));
    QVERIFY(!QFileInfo::exists(file("BackUp")));
    QCOMPARE(QImageReader(file("trip0001.jpg")).size(), QSize(40, 30));
}

void TestPhotoCli::processReportsFailures()
{
    QVERIFY(fixtures::writeLines(file("broken.jpg"), {QStringLiteral("no picture")}));
    const Run r = runPixplot({"--process", "--no-backup", "--frame", file("broken.jpg"), file("c.jpg")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QStringLiteral("批处理完成!\n共处理 2 个照片。\n其中 1 个照片处理失败。\n"));
    QVERIFY(r.err.contains(QStringLiteral("broken.jpg")));
    QCOMPARE(testsupport::readAll(file("broken.jpg")), QByteArray("no picture\r\n"));
    QCOMPARE(QImageReader(file("c.jpg")).size(), QSize(84, 74));
}

void TestPhotoCli::parallelBatchMatchesOneJob_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("time names, frame, backup")
        << QStringList{"--rename", "time", "--frame", "--note", "Trip"};
    QTest::newRow("prefix names, no frame") << QStringList{"--rename", "prefix:trip"};
    QTest::newRow("prefix names, frame, no backup")
        << QStringList{"--rename", "prefix:trip", "--frame", "--no-backup"};
    QTest::newRow("frame in place") << QStringList{"--frame"};
}

// The same photos in two folders, once with one job and once with four:
// every name, byte, message and count must come out the same. The set has
// photos of one second, names that are taken already, names that move to
// each other (trip0002 -> trip0001) and a photo that is not a picture.
void TestPhotoCli::parallelBatchMatchesOneJob()
{
    QFETCH(QStringList, options);
    const auto run = [&](const QString &sub, const QString &jobs) {
        const QString folder = file(sub) + QLatin1Char('/');
        QDir().mkpath(folder);
        const QStringList names{"trip0002.jpg", "trip0001.jpg", "a.jpg", "b.jpg", "d.jpg", "e.jpg", "c.jpg"};
        QList<QPair<QString, QString>> times;
        for (int i = 0; i < names.size(); ++i) {
            if (!fixtures::writeJpeg(folder + names[i], 120 + 8 * i, 90, QColor(40 * i, 90, 200 - 20 * i)))
                return Run{};
            if (names[i] != QLatin1String("c.jpg"))
                times.append({folder + names[i], i == 3 ? "2010:05:01 10:00:01" : "2010:05:01 10:00:00"});
        }
        if (!fixtures::writeLines(folder + "broken.jpg", {QStringLiteral("no picture")})
            || !fixtures::writeLines(folder + "20100501_100001.jpg", {QStringLiteral("taken")})
            || !fixtures::setExifTimes(times))
            return Run{};
        QStringList args{"--process", "--jobs", jobs};
        args += options;
        for (const char *n :
             {"trip0002.jpg", "trip0001.jpg", "a.jpg", "b.jpg", "broken.jpg", "d.jpg", "c.jpg", "e.jpg"})
            args << folder + QLatin1String(n);
        Run r = runPixplot(args);
        r.err.replace(folder, QStringLiteral("<folder>/"));
        // What the folder holds afterwards: every name with its bytes.
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext()) {
            const QString path = it.next();
            files << path.mid(folder.size()) + QLatin1Char(' ')
                    + QCryptographicHash::hash(testsupport::readAll(path), QCryptographicHash::Md5).toHex();
        }
        files.sort();
        r.out += files.join(QLatin1Char('\n'));
        return r;
    };
    const Run one = run(QStringLiteral("one"), QStringLiteral("1"));
    const Run four = run(QStringLiteral("four"), QStringLiteral("4"));
    QVERIFY2(one.out.contains(QStringLiteral("批处理完成!")), qPrintable(one.err));
    QCOMPARE(one.code, options.contains("--frame") ? 1 : 0); // the broken photo fails when decoded
    QCOMPARE(four.code, one.code);
    QCOMPARE(four.err, one.err);
    QCOMPARE(four.out, one.out);
}

void TestPhotoCli::processRefusesImageBombs_data()
{
    QTest::addColumn<QSize>("claimed");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("65500x65500") << QSize(65500, 65500) << QStringList{"--frame"};
    QTest::newRow("65500x30000, four jobs") << QSize(65500, 30000) << QStringList{"--frame", "--jobs", "4"};
    QTest::newRow("65500x65500, framed and tagged")
        << QSize(65500, 65500) << QStringList{"--frame", "--write-gps", "--path", "P"};
}

// A small file whose header claims gigapixels is refused, by its size,
// before memory is spent on it (the run is given 3 GB of address space,
// far less than decoding it would take); the next photo is framed.
void TestPhotoCli::processRefusesImageBombs()
{
    QFETCH(QSize, claimed);
    QFETCH(QStringList, options);
    options.replaceInStrings(QRegularExpression(QStringLiteral("^P$")), pathFile());
    QVERIFY(fixtures::writePhoto(file("bomb.jpg"), QStringLiteral("2010:05:01 08:00:20"), 48, 32));
    const QByteArray bomb =
        fixtures::withClaimedSize(testsupport::readAll(file("bomb.jpg")), claimed.width(), claimed.height());
    QVERIFY(fixtures::writeFile(file("bomb.jpg"), bomb));
    QCOMPARE(QImageReader(file("bomb.jpg")).size(), claimed);
    const Run r = fixtures::run(QStringLiteral("/bin/sh"),
                                QStringList{"-c", "ulimit -v 3000000; exec \"$0\" \"$@\"", pixplotProgram(),
                                            "--process", "--no-backup"}
                                    + options + QStringList{file("bomb.jpg"), file("c.jpg")});
    QCOMPARE(r.code, 1);
    const QString size = QStringLiteral("%1×%2").arg(claimed.width()).arg(claimed.height());
    QVERIFY2(r.err.contains(file("bomb.jpg")) && r.err.contains(size), qPrintable(r.err));
    QVERIFY(r.out.contains(QStringLiteral("其中 1 个照片处理失败。")));
    QCOMPARE(testsupport::readAll(file("bomb.jpg")), bomb);
    QCOMPARE(QImageReader(file("c.jpg")).size(), QSize(84, 74));
}

void TestPhotoCli::batchSharesOneMemoryBudget_data()
{
    QTest::addColumn<double>("budget"); // in photos' estimates
    QTest::addColumn<int>("most");      // photos worked on at once, at most
    QTest::newRow("less than one photo") << 0.5 << 1;
    QTest::newRow("one and a half") << 1.5 << 1;
    QTest::newRow("two and a half") << 2.5 << 2;
}

// Four workers, but the photos in flight never take more than the budget
// together; a photo larger than the whole budget is still done, alone.
void TestPhotoCli::batchSharesOneMemoryBudget()
{
    QFETCH(double, budget);
    QFETCH(int, most);
    pixplot::photooutput::Options options;
    options.backup = false;
    options.frame = true;
    options.background = Qt::white;
    QList<pixplot::photobatch::Item> items;
    for (int i = 0; i < 8; ++i) {
        const QString name = QStringLiteral("m%1.jpg").arg(i);
        QVERIFY(fixtures::writeJpeg(file(name), 600, 400));
        pixplot::photobatch::Item item;
        item.record.folder = dir->path() + QLatin1Char('/');
        item.record.fileName = name;
        items << item;
    }
    const qint64 each = pixplot::photooutput::memoryEstimate(file("m0.jpg"), options);
    QVERIFY(each > 600 * 400 * 8);
    pixplot::photobatch::PhotoBatch batch(items, options, 4, nullptr, qint64(budget * double(each)));
    batch.run();
    QCOMPARE(batch.finishedCount(), items.size());
    QCOMPARE(batch.failedCount(), 0);
    QVERIFY2(batch.mostInFlight() >= 1 && batch.mostInFlight() <= most,
             qPrintable(QString::number(batch.mostInFlight())));
}

QTEST_MAIN(TestPhotoCli)
#include "tst_photocli.moc"
