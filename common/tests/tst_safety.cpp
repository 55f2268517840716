// The three programs against a really full file system and against paths
// that are not regular files: what they were asked to replace stays byte for
// byte, nothing is left behind, the failure is told and the exit code says so.
#include "common/keyvaluefile.h"
#include "common/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace {

// Every entry under dir with what identifies it: a regular file by its
// bytes, anything else by its type and device number.
QMap<QString, QByteArray> snapshot(const QString &dir, const QString &skip = QString())
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        if (name == skip)
            continue;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        out[name] = S_ISREG(st.st_mode)
            ? testsupport::readAll(path)
            : QByteArray::number(st.st_mode) + ':' + QByteArray::number(quint64(st.st_rdev));
    }
    return out;
}

// A photo that does not compress to nothing, with an EXIF time from exiftool.
bool writeNoisyPhoto(const QString &path, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, rng.generate() | 0xff000000u);
    if (!image.save(path, "JPG", 90))
        return false;
    return testsupport::exiftoolWrite({"-DateTimeOriginal=2010:05:12 10:23:45", path});
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// A track of n points a minute apart, as a logger writes it.
QByteArray nmeaTrack(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += QStringLiteral("$GPRMC,%1%2%3,A,3150.%4,N,11846.5678,E,0.0,0.0,120510,,,A*00\r\n")
                   .arg(10 + i / 3600, 2, 10, QLatin1Char('0'))
                   .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i % 60, 2, 10, QLatin1Char('0'))
                   .arg(1000 + i, 4, 10, QLatin1Char('0'))
                   .toLatin1();
    return out;
}

QByteArray gtxtTrack(int n)
{
    QByteArray out;
    for (int i = 1; i <= n; ++i)
        out += QStringLiteral("记录%1| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'\r\n")
                   .arg(i, 3, 10, QLatin1Char('0'))
                   .toUtf8();
    return out;
}

// areagrab refuses to capture without a real screen, so it runs on the
// X server that ./test starts; the other programs need none. Empty when
// there is no X server.
QByteArray platformFor(const QString &program)
{
    if (program != QLatin1String("areagrab"))
        return "offscreen";
    return qEnvironmentVariableIsEmpty("DISPLAY") ? QByteArray() : QByteArray("xcb");
}

// A program that blocks on a FIFO would not come back: the time-out turns
// that into a failed run, not a hung test.
testsupport::Run run(const QString &name, const QStringList &args, const QByteArray &platform)
{
    return testsupport::run(testsupport::builtProgram(name), args, {{"QT_QPA_PLATFORM", platform}}, 60000);
}

QStringList placed(QStringList args, const QString &dir)
{
    for (QString &a : args)
        a.replace(QLatin1Char('@'), dir);
    return args;
}

} // namespace

class TestSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void fullDisk_data();
    void fullDisk();
    void notRegularFiles_data();
    void notRegularFiles();
    void preferencesOnFullDisk();

private:
    // Empties the tmpfs and fills it but for freeBytes.
    void fillLeaving(qint64 freeBytes);

    QTemporaryDir work_;
    QString mount_; // the small tmpfs, when it could be mounted
    QString whyNoMount_;
    QString gtxt_;     // an import file outside the tmpfs
    QByteArray photo_; // a noisy photo with an EXIF time
};

void TestSafety::initTestCase()
{
    for (const char *name : {"trekport", "pixplot", "areagrab"})
        QVERIFY2(QFileInfo(testsupport::builtProgram(name)).isExecutable(), name);
    if (!testsupport::hasProgram(QStringLiteral("exiftool")))
        QSKIP("exiftool is not installed (scripts/deps installs it)");
    gtxt_ = work_.filePath(QStringLiteral("track.gtxt"));
    QVERIFY(writeBytes(gtxt_, gtxtTrack(999)));
    const QString photo = work_.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(writeNoisyPhoto(photo, 200));
    photo_ = testsupport::readAll(photo);

    const QString dir = work_.filePath(QStringLiteral("tmpfs"));
    QVERIFY(QDir().mkpath(dir));
    QByteArray err;
    if (testsupport::runProgram(QStringLiteral("mount"),
                                {"-t", "tmpfs", "-o", "size=1m,mode=0755", "tmpfs", dir}, nullptr, &err)
        == 0)
        mount_ = dir;
    else
        whyNoMount_ =
            QStringLiteral("cannot mount a tmpfs here (root needed): ") + QString::fromLocal8Bit(err);
}

void TestSafety::cleanupTestCase()
{
    if (!mount_.isEmpty())
        QCOMPARE(testsupport::runProgram(QStringLiteral("umount"), {mount_}), 0);
}

void TestSafety::fillLeaving(qint64 freeBytes)
{
    const QDir dir(mount_);
    // The filler takes everything but freeBytes.
    struct statvfs fs;
    QCOMPARE(::statvfs(QFile::encodeName(mount_).constData(), &fs), 0);
    const qint64 available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    QVERIFY(available > freeBytes);
    QVERIFY(writeBytes(dir.filePath("filler"), QByteArray(available - freeBytes, 'f')));
    QCOMPARE(::statvfs(QFile::encodeName(mount_).constData(), &fs), 0);
    QCOMPARE(qint64(fs.f_bavail) * qint64(fs.f_frsize), qint64(freeBytes));
}

void TestSafety::preferencesOnFullDisk()
{
    // The remembered folders and the map's place: a full disk keeps the
    // file as it was, and says so.
    if (mount_.isEmpty())
        QSKIP(qPrintable(whyNoMount_));
    const QDir dir(mount_);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        QVERIFY(QFile::remove(dir.filePath(name)));
    const QString file = dir.filePath(QStringLiteral("prefs.ini"));
    const QByteArray old("[folders]\nphotos=/old\n");
    QVERIFY(writeBytes(file, old));
    fillLeaving(0);
    if (QTest::currentTestFailed())
        return;
    const QMap<QString, QByteArray> before = snapshot(mount_);
    QString error;
    QVERIFY(!common::storeKeyValue(file, QStringLiteral("folders/photos"), QString(2000, QLatin1Char('x')), &error));
    QVERIFY2(error.contains(QStringLiteral("磁盘已满")), qPrintable(error));
    QVERIFY(snapshot(mount_) == before);
}

void TestSafety::fullDisk_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("told"); // on stdout, besides the reason on stderr
    QTest::addColumn<int>("freeBytes");

    struct Case {
        const char *name, *program;
        QStringList args;
        QString told;
        QList<int> freeKb{0, 4, 12}; // a sidecar of about 1 KB fits in 4 KB
    };
    const QString batch = QStringLiteral("其中 1 个照片处理失败。");
    const QList<Case> cases{
        {"trekport gtxt", "trekport", {"--import", "GTXT", "--export-gtxt", "@/out.gtxt", "--overwrite"}, {}},
        {"trekport name",
         "trekport",
         {"--import", "GTXT", "--export-name", "@/out.txt", "--year", "2010", "--overwrite"},
         {}},
        {"trekport kml", "trekport", {"--import", "GTXT", "--export-kml", "@/out.kml", "--overwrite"}, {}},
        {"pixplot kml", "pixplot", {"--to-kml", "--path", "@/track.txt", "--overwrite"}, {}},
        {"pixplot html", "pixplot", {"--to-html", "--path", "@/track.txt", "--overwrite"}, {}},
        {"pixplot gpx", "pixplot", {"--to-gpx", "--path", "@/track.txt", "--overwrite"}, {}},
        {"trekport gpx", "trekport", {"--import", "GTXT", "--export-gpx", "@/out.gpx", "--overwrite"}, {}},
        {"pixplot sidecar",
         "pixplot",
         // The photo's 10:23:45 brought onto the track's 10:00-10:06 UTC.
         {"--process", "--no-backup", "--write-gps", "--sidecar", "always", "--path", "@/track.txt", "--zone",
          "UTC", "--offset", "-00:20:00", "@/photo.jpg"},
         batch,
         {0}},
        {"pixplot map", "pixplot", {"--to-map", "@/track.html", "--path", "@/track.txt", "--overwrite"}, {}},
        {"pixplot frame in place", "pixplot", {"--process", "--frame", "--no-backup", "@/photo.jpg"}, batch},
        {"pixplot frame renamed",
         "pixplot",
         {"--process", "--frame", "--no-backup", "--rename", "time", "@/photo.jpg"},
         batch},
        {"pixplot backup", "pixplot", {"--process", "@/photo.jpg"}, batch},
        {"areagrab full", "areagrab", {"--full", "--overwrite", "@/shot.jpg"}, {}},
    };
    for (const Case &c : cases)
        for (int kb : c.freeKb)
            QTest::addRow("%s, %d KB free", c.name, kb)
                << QString::fromLatin1(c.program) << c.args << c.told << kb * 1024;
}

void TestSafety::fullDisk()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QString, told);
    QFETCH(int, freeBytes);
    if (mount_.isEmpty())
        QSKIP(qPrintable(whyNoMount_));

    const QDir dir(mount_);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        QVERIFY(QFileInfo(dir.filePath(name)).isDir() ? QDir(dir.filePath(name)).removeRecursively()
                                                      : QFile::remove(dir.filePath(name)));
    // What a run may replace, as it was before.
    for (const char *name : {"out.gtxt", "out.txt", "out.kml", "out.gpx", "track.kml", "track.html", "track.gpx", "shot.jpg"})
        QVERIFY(writeBytes(dir.filePath(name), QByteArray("old ") + name + "\r\n"));
    QVERIFY(writeBytes(dir.filePath("track.txt"), nmeaTrack(400)));
    QVERIFY(writeBytes(dir.filePath("photo.jpg"), photo_));

    fillLeaving(freeBytes);
    if (QTest::currentTestFailed())
        return;

    const QMap<QString, QByteArray> before = snapshot(mount_);
    args = placed(args, mount_);
    args.replaceInStrings(QStringLiteral("GTXT"), gtxt_);
    const QByteArray platform = platformFor(program);
    if (platform.isEmpty())
        QSKIP("areagrab needs an X server (run under ./test)");
    const testsupport::Run r = run(program, args, platform);

    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("磁盘已满")), qPrintable(r.err));
    QVERIFY2(r.out.contains(told), qPrintable(r.out));
    // Byte for byte, and nothing new: no temporary file, no half backup.
    QCOMPARE(snapshot(mount_).keys(), before.keys());
    QVERIFY(snapshot(mount_) == before);
}

void TestSafety::notRegularFiles_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");

    const QString fifo = QStringLiteral("是管道（FIFO），不是普通文件");
    const QString device = QStringLiteral("是设备文件，不是普通文件");
    // Inputs: refused before they are opened, so a FIFO cannot block.
    QTest::newRow("exif-time fifo photo")
        << "pixplot" << QStringList{"--exif-time", "@/fifo.jpg"} << 1 << fifo;
    QTest::newRow("match fifo photo")
        << "pixplot" << QStringList{"--match", "--path", "@/track.txt", "@/fifo.jpg"} << 1 << fifo;
    QTest::newRow("match fifo path") << "pixplot"
                                     << QStringList{"--match", "--path", "@/fifo.txt", "@/photo.jpg"} << 1
                                     << fifo;
    QTest::newRow("process fifo photo")
        << "pixplot" << QStringList{"--process", "--frame", "@/fifo.jpg"} << 1 << fifo;
    QTest::newRow("process fifo path")
        << "pixplot" << QStringList{"--process", "--path", "@/fifo.txt", "@/photo.jpg"} << 1 << fifo;
    QTest::newRow("read-path fifo") << "pixplot" << QStringList{"--read-path", "@/fifo.txt"} << 1 << fifo;
    QTest::newRow("read-path device") << "pixplot" << QStringList{"--read-path", "@/null"} << 1 << device;
    QTest::newRow("read-path /dev/zero")
        << "pixplot" << QStringList{"--read-path", "/dev/zero"} << 1 << device;
    QTest::newRow("read-path folder")
        << "pixplot" << QStringList{"--read-path", "@/"} << 1 << QStringLiteral("是文件夹");
    QTest::newRow("to-kml fifo path")
        << "pixplot" << QStringList{"--to-kml", "--path", "@/fifo.txt"} << 1 << fifo;
    QTest::newRow("to-html fifo path")
        << "pixplot" << QStringList{"--to-html", "--path", "@/fifo.txt"} << 1 << fifo;
    QTest::newRow("import fifo") << "trekport"
                                 << QStringList{"--import", "@/fifo.txt", "--export-kml", "@/new.kml"} << 1
                                 << fifo;
    QTest::newRow("import device") << "trekport"
                                   << QStringList{"--import", "@/null", "--export-kml", "@/new.kml"} << 1
                                   << device;
    // Outputs: not even --overwrite replaces a device or a FIFO.
    QTest::newRow("export-kml onto device")
        << "trekport" << QStringList{"--import", "@/a.gtxt", "--export-kml", "@/null", "--overwrite"} << 1
        << device;
    QTest::newRow("export-gtxt onto fifo")
        << "trekport" << QStringList{"--import", "@/a.gtxt", "--export-gtxt", "@/fifo.txt", "--overwrite"}
        << 1 << fifo;
    QTest::newRow("to-kml onto device")
        << "pixplot" << QStringList{"--to-kml", "--path", "@/dev.txt", "--overwrite"} << 1 << device;
    QTest::newRow("to-html onto fifo")
        << "pixplot" << QStringList{"--to-html", "--path", "@/dev.txt", "--overwrite"} << 1 << fifo;
    QTest::newRow("to-map fifo path")
        << "pixplot" << QStringList{"--to-map", "@/map.html", "--path", "@/fifo.txt"} << 1 << fifo;
    QTest::newRow("to-map onto fifo")
        << "pixplot" << QStringList{"--to-map", "@/fifo.txt", "--path", "@/track.txt", "--overwrite"} << 1
        << fifo;
    QTest::newRow("areagrab onto fifo")
        << "areagrab" << QStringList{"--full", "--overwrite", "@/fifo.jpg"} << 1 << fifo;
    QTest::newRow("areagrab onto device")
        << "areagrab" << QStringList{"--full", "--overwrite", "@/null.jpg"} << 1 << device;
    // One file named twice as output, however spelled.
    QTest::newRow("trekport same output")
        << "trekport"
        << QStringList{"--import", "@/a.gtxt", "--export-gtxt", "@/same", "--export-kml", "@/./same"} << 2
        << QStringLiteral("同一个文件");
    QTest::newRow("pixplot same photo")
        << "pixplot" << QStringList{"--process", "@/photo.jpg", "@/../d/photo.jpg"} << 2
        << QStringLiteral("同一个照片");
}

void TestSafety::notRegularFiles()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, reason);

    QTemporaryDir tmp;
    const QDir dir(tmp.filePath(QStringLiteral("d")));
    QVERIFY(QDir().mkpath(dir.path()));
    QVERIFY(writeBytes(dir.filePath("track.txt"), nmeaTrack(3)));
    QVERIFY(writeBytes(dir.filePath("dev.txt"), nmeaTrack(3)));
    QVERIFY(writeBytes(dir.filePath("a.gtxt"), gtxtTrack(3)));
    QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(dir.filePath("photo.jpg"), "JPG"));
    for (const char *name : {"fifo.jpg", "fifo.txt", "dev.html"})
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(name)).constData(), 0644), 0);
    // Copies of /dev/null: should one be replaced, nothing of the machine's is lost.
    struct stat null;
    QCOMPARE(::stat("/dev/null", &null), 0);
    for (const char *name : {"null", "null.jpg", "dev.kml"}) {
        if (::mknod(QFile::encodeName(dir.filePath(name)).constData(), S_IFCHR | 0666, null.st_rdev) != 0) {
            if (args.join(' ').contains(QLatin1String("null")) || args.contains(QLatin1String("@/dev.txt")))
                QSKIP("cannot make a device node here (root needed)");
        }
    }

    const QMap<QString, QByteArray> before = snapshot(dir.path());
    const QByteArray platform = platformFor(program);
    if (platform.isEmpty())
        QSKIP("areagrab needs an X server (run under ./test)");
    const testsupport::Run r = run(program, placed(args, dir.path()), platform);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    QVERIFY(snapshot(dir.path()) == before);
}

QTEST_GUILESS_MAIN(TestSafety)
#include "tst_safety.moc"
