// The files photo output makes, on real files: a name taken while a photo
// is worked on, what a photo keeps, outputs that would replace inputs, two
// batches on one folder and batches killed midway.
#include "tst_files.h"

#include "core/gpstagwriter.h"
#include "core/photooutput.h"
#include "core/photofiles.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QTimeZone>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pixplot;
using fixtures::runPixplot;

namespace {

const QString kPosition = QStringLiteral("N31°50.1234',E118°46.5678'");
const QString kRenamed = QStringLiteral("20100501_080020.jpg");

// Photos of 40 × 30 pixels, framed 84 × 74: a photo framed twice is larger.
const QSize kFramedOnce(84, 74);

QSize sizeOf(const QString &path)
{
    return QImageReader(path).size();
}

QStringList hiddenIn(const QString &folder)
{
    return QDir(folder).entryList(QStringList{QStringLiteral(".*")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

QStringList photosIn(const QString &folder)
{
    QStringList photos;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        photos << folder + QLatin1Char('/') + name;
    return photos;
}

// A path of fixes every minute from 00:00 to 00:05 UTC on 2010-05-01: the
// photos' times (08:00 in the default zone, UTC+8) all match one.
bool writePath(const QString &path)
{
    QStringList lines;
    for (int minute = 0; minute <= 5; ++minute)
        lines << fixtures::rmc(QStringLiteral("00%1").arg(minute * 100, 4, 10, QLatin1Char('0')), "010510");
    return fixtures::writeLines(path, lines);
}

photooutput::Options options(bool frame, bool gps, bool rename)
{
    photooutput::Options o;
    o.frame = frame;
    o.writeGps = gps;
    o.rename = rename ? photooutput::RenameMode::ByTime : photooutput::RenameMode::Keep;
    o.background = Qt::white;
    return o;
}

// count photos, photo i shot at 08:00:00 + offset + i seconds.
bool writePhotos(const QString &folder, const QString &prefix, int count, int offset = 0)
{
    const QDateTime start(QDate(2010, 5, 1), QTime(8, 0, 0));
    for (int i = 0; i < count; ++i) {
        const QByteArray time =
            start.addSecs(offset + i).toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1();
        if (!fixtures::writeFile(
                folder + QStringLiteral("/%1%2.jpg").arg(prefix).arg(i, 3, 10, QLatin1Char('0')),
                fixtures::photoWithTime(time)))
            return false;
    }
    return true;
}

} // namespace

class TestPhotoFiles : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void nameTakenWhileWorking_data();
    void nameTakenWhileWorking();
    void fullDiskAfterRenameGivesTheNameBack();
    void photoKeepsWhatMadeItTheUsers_data();
    void photoKeepsWhatMadeItTheUsers();
    void outputIsNeverAnInput_data();
    void outputIsNeverAnInput();
    void twoBatchesOnOneFolderLoseNothing();
    void killedBatchesLeaveNothingAndFrameOnce();
};

void TestPhotoFiles::nameTakenWhileWorking_data()
{
    QTest::addColumn<bool>("frame");
    QTest::addColumn<bool>("gps");
    QTest::newRow("framed") << true << false;
    QTest::newRow("geotagged") << false << true;
    QTest::newRow("framed and geotagged") << true << true;
    QTest::newRow("renamed only") << false << false;
}

// The new name is chosen, then a file of the user's appears under it before
// the photo is written: that file stays and the photo takes the next name.
void TestPhotoFiles::nameTakenWhileWorking()
{
    QFETCH(bool, frame);
    QFETCH(bool, gps);
    const QString folder = dir->path() + QLatin1Char('/');
    QVERIFY(fixtures::writeFile(file("p.jpg"), fixtures::photoWithTime("2010:05:01 08:00:20")));
    const PhotoRecord record = systemfinction::ReadPhotoRecord(QStringLiteral("p.jpg"), folder);
    QVERIFY(record.hasExif);
    const photooutput::Options o = options(frame, gps, true);
    const photooutput::Prepared prepared = photooutput::preparePhoto(record, 1, record.shotTime, o);
    QCOMPARE(prepared.newName, kRenamed);
    QVERIFY(fixtures::writeFile(file(kRenamed), "the user's own file"));

    const photooutput::Outcome out =
        photooutput::completePhoto(record, prepared, record.shotTime, kPosition, o);
    QVERIFY2(out.ok(), qPrintable(photooutput::failureText(out)));
    QCOMPARE(out.fileName, QStringLiteral("20100501_080020_1.jpg"));
    QCOMPARE(testsupport::readAll(file(kRenamed)), QByteArray("the user's own file"));
    QVERIFY(!QFile::exists(file("p.jpg")));
    QCOMPARE(sizeOf(file(out.fileName)), frame ? kFramedOnce : QSize(40, 30));
    QCOMPARE(gpstagwriter::readGpsPosition(testsupport::readAll(file(out.fileName))).has_value(), gps);
    QCOMPARE(hiddenIn(dir->path()), QStringList());
}

// The photo has its new name when the disk turns out full for its framed
// content: it gets its old name back, its bytes as they were.
void TestPhotoFiles::fullDiskAfterRenameGivesTheNameBack()
{
    const QString mountPoint = file("small");
    QVERIFY(QDir().mkpath(mountPoint));
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=256k") != 0)
        QSKIP("a tmpfs cannot be mounted here");
    const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(mountPoint).constData()); });
    const QString photo = mountPoint + QStringLiteral("/p.jpg");
    const QByteArray source = fixtures::photoWithTime("2010:05:01 08:00:20");
    QVERIFY(fixtures::writeFile(photo, source));
    {
        QFile filler(mountPoint + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) { }
    }
    const PhotoRecord record = systemfinction::ReadPhotoRecord(QStringLiteral("p.jpg"), mountPoint + '/');
    photooutput::Options o = options(true, false, true);
    o.backup = false;
    const photooutput::Outcome out = photooutput::ProcessPhoto(record, 1, record.shotTime, kPosition, o);
    QCOMPARE(out.failure, photooutput::Failure::WriteFailed);
    QCOMPARE(out.fileName, QStringLiteral("p.jpg"));
    QCOMPARE(out.reason, QStringLiteral("磁盘已满"));
    QCOMPARE(testsupport::readAll(photo), source);
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"filler", "p.jpg"}));
}

void TestPhotoFiles::photoKeepsWhatMadeItTheUsers_data()
{
    QTest::addColumn<bool>("frame");
    QTest::addColumn<bool>("gps");
    QTest::addColumn<bool>("rename");
    QTest::newRow("framed under a new name") << true << false << true;
    QTest::newRow("framed in place") << true << false << false;
    QTest::newRow("geotagged in place") << false << true << false;
    QTest::newRow("geotagged under a new name") << false << true << true;
    QTest::newRow("renamed") << false << false << true;
}

// A 0600 photo (of another owner, when run as root) stays so, and so does
// its backup, which also keeps the photo's modification time.
void TestPhotoFiles::photoKeepsWhatMadeItTheUsers()
{
    QFETCH(bool, frame);
    QFETCH(bool, gps);
    QFETCH(bool, rename);
    const QString folder = dir->path() + QLatin1Char('/');
    const QString photo = file("p.jpg");
    QVERIFY(fixtures::writeFile(photo, fixtures::photoWithTime("2010:05:01 08:00:20")));
    QCOMPARE(::chmod(QFile::encodeName(photo).constData(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(QFile::encodeName(photo).constData(), 1234, 1235), 0);
    const QDateTime shot(QDate(2011, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    {
        QFile f(photo);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(shot, QFileDevice::FileModificationTime));
    }
    const PhotoRecord record = systemfinction::ReadPhotoRecord(QStringLiteral("p.jpg"), folder);
    photooutput::Options o = options(frame, gps, rename);
    const photooutput::Outcome out = photooutput::ProcessPhoto(record, 1, record.shotTime, kPosition, o);
    QVERIFY2(out.ok(), qPrintable(photooutput::failureText(out)));
    QCOMPARE(out.fileName, rename ? kRenamed : QStringLiteral("p.jpg"));
    QCOMPARE(out.backupPath, file("BackUp/p.jpg"));

    for (const QString &path : {file(out.fileName), out.backupPath}) {
        struct stat st { };
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
        if (root) {
            QCOMPARE(st.st_uid, uid_t(1234));
            QCOMPARE(st.st_gid, gid_t(1235));
        }
    }
    QCOMPARE(QFileInfo(out.backupPath).lastModified().toUTC(), shot);
}

void TestPhotoFiles::outputIsNeverAnInput_data()
{
    // GPX: a GPX path file, LINK: a link to it, NMEA: an NMEA path file,
    // PHOTO: a photo.
    QTest::addColumn<QStringList>("args");
    QTest::newRow("GPX over its own input") << QStringList{"--path", "GPX", "--to-gpx", "--overwrite"};
    QTest::newRow("GPX over its input through a link")
        << QStringList{"--path", "LINK", "--to-gpx", "--overwrite"};
    QTest::newRow("map over the path") << QStringList{"--path", "NMEA", "--to-map", "NMEA", "--overwrite"};
    QTest::newRow("map over a photo")
        << QStringList{"--path", "NMEA", "--to-map", "PHOTO", "--overwrite", "PHOTO"};
    QTest::newRow("map over a photo, spelled otherwise")
        << QStringList{"--path", "NMEA", "--to-map", "./PHOTO", "--overwrite", "PHOTO"};
}

// Refused as a usage error before anything is written.
void TestPhotoFiles::outputIsNeverAnInput()
{
    QFETCH(QStringList, args);
    QVERIFY(writePath(file("x.txt")));
    QVERIFY(fixtures::writeFile(file("p.jpg"), fixtures::photoWithTime("2010:05:01 08:00:20")));
    fixtures::Run made = runPixplot({"--path", file("x.txt"), "--to-gpx"});
    QCOMPARE(made.code, 0);
    QVERIFY(QFile::rename(file("x.gpx"), file("t.gpx")));
    QVERIFY(QFile::link(file("t.gpx"), file("link.gpx")));
    QMap<QString, QByteArray> before;
    for (const QString &name : QDir(dir->path()).entryList(QDir::Files))
        before[name] = testsupport::readAll(file(name));

    const QString relative = QDir::current().relativeFilePath(dir->path());
    for (QString &a : args) {
        if (a == QLatin1String("./PHOTO"))
            a = QStringLiteral("./") + relative + QStringLiteral("/p.jpg");
        else
            a = a == QLatin1String("GPX")     ? file("t.gpx")
                : a == QLatin1String("LINK")  ? file("link.gpx")
                : a == QLatin1String("NMEA")  ? file("x.txt")
                : a == QLatin1String("PHOTO") ? file("p.jpg")
                                              : a;
    }
    const fixtures::Run r = runPixplot(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("输出文件就是输入文件")), qPrintable(r.err));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList(before.keys()));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(testsupport::readAll(file(it.key())), it.value());
}

// Two batches renaming photos of the same seconds into one folder: every
// photo and every backup is there afterwards, each framed once.
void TestPhotoFiles::twoBatchesOnOneFolderLoseNothing()
{
    const int count = 15;
    QVERIFY(writePhotos(dir->path(), QStringLiteral("a"), count));
    QVERIFY(writePhotos(dir->path(), QStringLiteral("b"), count));
    const QStringList all = photosIn(dir->path());
    const QStringList options{"--process", "--frame", "--rename", "time", "--jobs", "2"};
    QProcess first, second;
    first.start(fixtures::pixplotProgram(), options + all.mid(0, count));
    second.start(fixtures::pixplotProgram(), options + all.mid(count));
    QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    const QStringList photos = photosIn(dir->path());
    QCOMPARE(photos.size(), 2 * count);
    for (const QString &photo : photos)
        QCOMPARE(sizeOf(photo), kFramedOnce);
    QCOMPARE(photosIn(file("BackUp")).size(), 2 * count);
}

// A framed, renamed and geotagged batch killed at random moments and run
// again over what is in its folder: no hidden file remains, every photo is
// there once, framed once and geotagged.
void TestPhotoFiles::killedBatchesLeaveNothingAndFrameOnce()
{
    // Each write is flushed to the disk; in memory (tmpfs, where there is
    // one) the twenty rounds take seconds rather than a minute.
    const QTemporaryDir memory(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                   ? QStringLiteral("/dev/shm/pixplot-test-XXXXXX")
                                   : dir->filePath(QStringLiteral("XXXXXX")));
    QVERIFY(memory.isValid());
    const auto file = [&](const QString &name) { return memory.filePath(name); };
    const int count = 200;
    const QString originals = file("originals");
    QVERIFY(QDir().mkpath(originals));
    QVERIFY(writePhotos(originals, QStringLiteral("p"), count));
    QVERIFY(writePath(file("path.txt")));
    const QStringList options{"--process",   "--frame", "--rename",      "time",
                              "--write-gps", "--path",  file("path.txt")};
    const auto copyOriginals = [&](const QString &folder) {
        QDir().mkpath(folder);
        for (const QString &photo : photosIn(originals))
            if (!QFile::copy(photo, folder + QLatin1Char('/') + QFileInfo(photo).fileName()))
                return false;
        return true;
    };

    // How long an uninterrupted batch takes: the kills fall within it.
    QVERIFY(copyOriginals(file("whole")));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(runPixplot(options + photosIn(file("whole"))).code, 0);
    const int span = int(timer.elapsed());

    for (int round = 0; round < 20; ++round) {
        const QString folder = file(QStringLiteral("round%1").arg(round));
        QVERIFY(copyOriginals(folder));
        QProcess batch;
        batch.start(fixtures::pixplotProgram(), options + photosIn(folder));
        QVERIFY(batch.waitForStarted());
        QThread::msleep(QRandomGenerator::global()->bounded(span + 1));
        ::kill(pid_t(batch.processId()), SIGKILL);
        batch.waitForFinished();

        const fixtures::Run again = runPixplot(options + photosIn(folder));
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(hiddenIn(folder), QStringList());
        QCOMPARE(hiddenIn(folder + QStringLiteral("/BackUp")), QStringList());
        const QStringList photos = photosIn(folder);
        QCOMPARE(photos.size(), count);
        for (const QString &photo : photos) {
            QVERIFY2(QFileInfo(photo).fileName().startsWith(QStringLiteral("20100501_080")),
                     qPrintable(photo));
            QCOMPARE(sizeOf(photo), kFramedOnce);
            QVERIFY(gpstagwriter::readGpsPosition(testsupport::readAll(photo)).has_value());
        }
    }
}

QTEST_MAIN(TestPhotoFiles)
#include "tst_core_photofiles.moc"
