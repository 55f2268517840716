#include "common/bmp2jpg.h"
#include "common/about.h"
#include "common/consoletext.h"
#include "common/folders.h"
#include "common/helpview.h"
#include "common/keyvaluefile.h"
#include "common/recordingdesktop.h"
#include "common/dialogs.h"
#include "common/programfolder.h"
#include "common/rounding.h"
#include "common/safefile.h"
#include "common/scripteddialogs.h"
#include "common/textfile.h"
#include "common/testsupport.h"
#include "common/translations.h"

#include <QDir>
#include <QFile>
#include <QApplication>
#include <QCommandLineParser>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace common;

Q_DECLARE_METATYPE(common::SaveTarget)

class TestCommon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitLines_data();
    void splitLines();
    void gbkOnDisk();
    void utf8OrGbkDetection();
    void atomicWriteKeepsOldFileOnFailure();
    void writerKeepsWhatItMustNotReplace();
    void freeNameTakenAtPublication_data();
    void freeNameTakenAtPublication();
    void staleStagingSwept_data();
    void staleStagingSwept();
    void newFileResemblesItsModel_data();
    void newFileResemblesItsModel();
    void qtFilter_data();
    void qtFilter();
    void scriptedDialogsRecordAndAnswer();
    void jpegWritesDecodableFile();
    void jpegRefusesNullImageAndLeavesNoFile();
    void jpegUnwritablePathKeepsExistingFile();
    void jpegQualityReachesEncoder();
    void sharedProgramFolder_data();
    void sharedProgramFolder();
    void qtTextsInChinese();
    void usageErrorHints_data();
    void usageErrorHints();
    void rememberedFolders_data();
    void rememberedFolders();
    void foldersKeptByEarlierVersions();
    void keyValueStore_data();
    void keyValueStore();
    void readmeSections_data();
    void readmeSections();
    void aboutListsLicences();
    void openWrittenFile_data();
    void openWrittenFile();
    void roundHalfEven_data();
    void roundHalfEven();
    void twipsPixels();
    void saveTargets_data();
    void saveTargets();
    void consoleMessages_data();
    void consoleMessages();
};

void TestCommon::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lf") << "a\nb\n" << QStringList{"a", "b"};
    QTest::newRow("lone cr") << "a\rb\r" << QStringList{"a", "b"};
    QTest::newRow("mixed, no last end") << "a\r\nb\nc\rd" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty lines kept") << "a\r\n\r\nb" << QStringList{"a", "", "b"};
    QTest::newRow("empty text") << "" << QStringList{};
}

void TestCommon::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(common::splitLines(text), lines);
}

void TestCommon::gbkOnDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.gtxt");
    QVERIFY(writeTextLines(path, {QStringLiteral("记录001°")}, TextEncoding::Gbk));
    const QByteArray bytes = testsupport::readAll(path);
    QCOMPARE(bytes,
             QByteArray("\xBC\xC7\xC2\xBC"
                        "001"
                        "\xA1\xE3"
                        "\r\n"));
    QStringList lines;
    QVERIFY(readTextLines(path, TextEncoding::Utf8OrGbk, &lines));
    QCOMPARE(lines, QStringList{QStringLiteral("记录001°")});
}

void TestCommon::utf8OrGbkDetection()
{
    const QString text = QStringLiteral("记录| 自动| N31°");
    QCOMPARE(decodeText(text.toUtf8(), TextEncoding::Utf8OrGbk), text);
    QCOMPARE(decodeText(encodeText(text, TextEncoding::Gbk), TextEncoding::Utf8OrGbk), text);
    QCOMPARE(decodeText(QByteArray("\xEF\xBB\xBF") + text.toUtf8(), TextEncoding::Utf8OrGbk), text);
}

void TestCommon::writerKeepsWhatItMustNotReplace()
{
    QTemporaryDir dir;
    const auto listing = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QString file = dir.filePath("f.txt");
    const QString link = dir.filePath("link.txt");
    QVERIFY(writeFileAtomically(file, "old"));
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(file, link));
    QString error;

    // Replacing through a link replaces the file it names and keeps its mode.
    QVERIFY(writeFileAtomically(link, "new", &error));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(testsupport::readAll(file), QByteArray("new"));
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFile::permissions(file) & mode, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    // A new file never replaces one, not even a copy.
    QVERIFY(!writeNewFile(file, "other", &error));
    QCOMPARE(error, QStringLiteral("文件已经存在"));
    QVERIFY(!copyToNewFile(link, file, &error));
    QVERIFY(copyToNewFile(link, dir.filePath("copy.txt"), &error));
    QCOMPARE(testsupport::readAll(dir.filePath("copy.txt")), QByteArray("new"));

    // A folder or FIFO is neither read nor replaced; nothing is left beside it.
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
    const QStringList before = listing();
    for (const char *name : {"sub", "pipe"}) {
        QVERIFY(!writeFileAtomically(dir.filePath(name), "x", &error));
        QVERIFY2(error.startsWith(QStringLiteral("目标")) && error.endsWith(QStringLiteral("不是普通文件")),
                 qPrintable(error));
        QVERIFY(!checkInputFile(dir.filePath(name), &error));
        QStringList lines;
        QVERIFY(!readTextLines(dir.filePath(name), TextEncoding::Utf8, &lines, &error));
    }
    QCOMPARE(error, QStringLiteral("是管道（FIFO），不是普通文件"));
    QVERIFY(!writeFileAtomically(dir.filePath("no/such/f.txt"), "x", &error));
    QCOMPARE(error, QStringLiteral("文件或文件夹不存在"));
    QCOMPARE(listing(), before);
    QCOMPARE(systemErrorText(ENOSPC), QStringLiteral("磁盘已满"));
}

void TestCommon::freeNameTakenAtPublication_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("taken"); // a.jpg, a_1.jpg, ... that exist already
    QTest::addColumn<QString>("expected");
    QTest::newRow("write, name free") << "write" << 0 << "a.jpg";
    QTest::newRow("write, two taken") << "write" << 2 << "a_2.jpg";
    QTest::newRow("copy, one taken") << "copy" << 1 << "a_1.jpg";
    QTest::newRow("rename, three taken") << "rename" << 3 << "a_3.jpg";
}

// Names taken after they were chosen stay as they are; the file takes the
// next free one.
void TestCommon::freeNameTakenAtPublication()
{
    QFETCH(QString, operation);
    QFETCH(int, taken);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const NameCandidates names = [&](qint64 n) {
        return dir.filePath(n == 0 ? QStringLiteral("a.jpg") : QStringLiteral("a_%1.jpg").arg(n));
    };
    for (int n = 0; n < taken; ++n)
        QVERIFY(writeNewFile(names(n), "taken " + QByteArray::number(n)));
    const QString src = dir.filePath("src.jpg");
    QVERIFY(writeNewFile(src, "photo"));

    QString published, error;
    bool ok = false;
    if (operation == QLatin1String("write"))
        ok = writeUnderFreeName(names, {QByteArrayView("photo")}, {}, &published, &error);
    else if (operation == QLatin1String("copy"))
        ok = copyToFreeName(src, names, &published, &error);
    else
        ok = renameToFreeName(src, names, &published, &error);
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(published, dir.filePath(expected));
    QCOMPARE(testsupport::readAll(published), QByteArray("photo"));
    for (int n = 0; n < taken; ++n)
        QCOMPARE(testsupport::readAll(names(n)), "taken " + QByteArray::number(n));
    QCOMPARE(QFile::exists(src), operation != QLatin1String("rename"));
    QCOMPARE(QDir(dir.path()).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
}

void TestCommon::staleStagingSwept_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("held");      // a writer holds it
    QTest::addColumn<bool>("otherUser"); // it belongs to another user (as root only)
    QTest::addColumn<bool>("removed");
    const QString staging = QStringLiteral(".a.jpg.k3x9q.gpsuite.tmp");
    QTest::newRow("left by a writer that died") << staging << false << false << true;
    QTest::newRow("a writer still at work") << staging << true << false << false;
    QTest::newRow("another user's") << staging << false << true << false;
    QTest::newRow("another program's hidden file") << ".a.jpg.k3x9q.tmp" << false << false << false;
    QTest::newRow("upper case in its random part") << ".a.jpg.K3X9Q.gpsuite.tmp" << false << false << false;
    QTest::newRow("not hidden") << "a.jpg.k3x9q.gpsuite.tmp" << false << false << false;
}

// The next write into a folder removes the staging files of writers that
// died, and nothing else.
void TestCommon::staleStagingSwept()
{
    QFETCH(QString, name);
    QFETCH(bool, held);
    QFETCH(bool, otherUser);
    QFETCH(bool, removed);
    if (otherUser && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    {
        // Made without the writer, whose first write into the folder sweeps it.
        QFile half(path);
        QVERIFY(half.open(QIODevice::WriteOnly) && half.write("half a photo") == 12);
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    if (held)
        QCOMPARE(::flock(fd, LOCK_EX), 0);
    if (otherUser)
        QCOMPARE(::fchown(fd, 1234, 1234), 0);

    QVERIFY(writeFileAtomically(dir.filePath("b.txt"), "x"));
    ::close(fd);
    QCOMPARE(QFile::exists(path), !removed);
    QCOMPARE(testsupport::readAll(dir.filePath("b.txt")), QByteArray("x"));
}

void TestCommon::newFileResemblesItsModel_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("keepsTime");
    QTest::newRow("copy (a backup)") << "copy" << true;
    QTest::newRow("copy under a free name") << "free copy" << true;
    QTest::newRow("new name modelled on the source") << "write" << false;
    QTest::newRow("replacement") << "replace" << false;
}

// A 0640 file of another owner (as root) stays so; a backup also keeps the
// modification time.
void TestCommon::newFileResemblesItsModel()
{
    QFETCH(QString, operation);
    QFETCH(bool, keepsTime);
    QTemporaryDir dir;
    const QString src = dir.filePath("src.jpg");
    const QString dst = dir.filePath("dst.jpg");
    QVERIFY(writeNewFile(src, "photo"));
    const QByteArray native = QFile::encodeName(src);
    QCOMPARE(::chmod(native.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(native.constData(), 1234, 1235), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, native.constData(), old, 0), 0);

    QString error, published;
    bool ok = false;
    if (operation == QLatin1String("copy"))
        ok = copyToNewFile(src, dst, &error);
    else if (operation == QLatin1String("free copy"))
        ok = copyToFreeName(
            src, [&](qint64 n) { return n == 0 ? dst : QString(); }, &published, &error);
    else if (operation == QLatin1String("write"))
        ok = writeUnderFreeName([&](qint64 n) { return n == 0 ? dst : QString(); }, {QByteArrayView("new")},
                                FileLike{src, false}, &published, &error);
    else
        ok = writeFileAtomically(src, "new", &error);
    QVERIFY2(ok, qPrintable(error));
    struct stat st { };
    QCOMPARE(::stat(QFile::encodeName(operation == QLatin1String("replace") ? src : dst).constData(), &st),
             0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    if (root) {
        QCOMPARE(st.st_uid, uid_t(1234));
        QCOMPARE(st.st_gid, gid_t(1235));
    }
    QCOMPARE(st.st_mtim.tv_sec == old[1].tv_sec, keepsTime);
}

void TestCommon::atomicWriteKeepsOldFileOnFailure()
{
    // A file-size limit stops the write half way, for root as for anyone.
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.txt");
    QVERIFY(writeTextLines(path, {"old"}, TextEncoding::Ascii));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = writeTextLines(path, {QString(8192, QLatin1Char('x'))}, TextEncoding::Ascii, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("文件太大"));
    QCOMPARE(testsupport::readAll(path), QByteArray("old\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
}

void TestCommon::qtFilter_data()
{
    QTest::addColumn<QString>("vb");
    QTest::addColumn<QString>("qt");
    QTest::newRow("one") << QStringLiteral("文本文件 (*.gtxt)|*.gtxt")
                         << QStringLiteral("文本文件 (*.gtxt *.GTXT)");
    QTest::newRow("two patterns") << QStringLiteral("轨迹数据文件(*.gtxt)|*.gtxt;*.txt")
                                  << QStringLiteral("轨迹数据文件 (*.gtxt *.GTXT *.txt *.TXT)");
    QTest::newRow("upper in caption")
        << QStringLiteral("照片文件(*.JPG)|*.jpg") << QStringLiteral("照片文件 (*.jpg *.JPG)");
}

void TestCommon::qtFilter()
{
    QFETCH(QString, vb);
    QFETCH(QString, qt);
    QCOMPARE(toQtFilter(vb), qt);
}

void TestCommon::scriptedDialogsRecordAndAnswer()
{
    ScriptedDialogs d;
    d.queueFile("/tmp/a");
    d.queueNo();
    d.queueText("2011");
    QCOMPARE(d.getSaveFileName(nullptr, "t", "/dir", "f|*.f"), QString("/tmp/a"));
    QVERIFY(!d.askYesNo(nullptr, "q?", "系统", MessageIcon::Question));
    QCOMPARE(d.getText(nullptr, "p", "t").value_or("none"), QString("2011"));
    d.inform(nullptr, "done", "系统", MessageIcon::Information);
    QCOMPARE(d.calls.size(), 4);
    QCOMPARE(d.calls.at(1).icon, MessageIcon::Question);
    QCOMPARE(d.lastInfo(), QString("done"));
    QVERIFY(d.unexpected.isEmpty());
    // A dialog with nothing queued is recorded as unexpected and cancels.
    QVERIFY(d.getOpenFileName(nullptr, "x", {}, {}).isEmpty());
    QCOMPARE(d.unexpected.size(), 1);
}

static QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, h / 2, w / 2, h / 2, Qt::blue);
    return img;
}

void TestCommon::jpegWritesDecodableFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.jpg");
    QVERIFY(BMP2JPG::SavePictureAsJpeg(pattern(64, 48), path, 80));
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage back = reader.read();
    QCOMPARE(back.size(), QSize(64, 48));
    const QColor c = back.pixelColor(5, 5);
    QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(c.name()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.jpg"});
}

void TestCommon::jpegRefusesNullImageAndLeavesNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("null.jpg");
    QVERIFY(!BMP2JPG::SavePictureAsJpeg(QImage(), path, 80));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestCommon::jpegUnwritablePathKeepsExistingFile()
{
    QTemporaryDir dir;
    QVERIFY(!BMP2JPG::SavePictureAsJpeg(pattern(8, 8), dir.filePath("no/such/dir/x.jpg"), 80));
    if (::geteuid() == 0)
        return; // root writes into read-only folders; the missing folder case above still ran
    const QString path = dir.filePath("keep.jpg");
    QVERIFY(BMP2JPG::SavePictureAsJpeg(pattern(8, 8), path, 80));
    const QByteArray before = testsupport::readAll(path);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QVERIFY(!BMP2JPG::SavePictureAsJpeg(pattern(16, 16), path, 80));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(testsupport::readAll(path), before);
}

void TestCommon::jpegQualityReachesEncoder()
{
    QTemporaryDir dir;
    QImage noisy(128, 128, QImage::Format_RGB32);
    quint32 s = 1;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            s = s * 1103515245u + 12345u;
            noisy.setPixel(x, y, s >> 8);
        }
    QVERIFY(BMP2JPG::SavePictureAsJpeg(noisy, dir.filePath("q10.jpg"), 10));
    QVERIFY(BMP2JPG::SavePictureAsJpeg(noisy, dir.filePath("q95.jpg"), 95));
    // The existing file is replaced by the new encoding.
    QVERIFY(BMP2JPG::SavePictureAsJpeg(noisy, dir.filePath("q10.jpg"), 10));
    QVERIFY(QFileInfo(dir.filePath("q10.jpg")).size() * 2 < QFileInfo(dir.filePath("q95.jpg")).size());
}

void TestCommon::sharedProgramFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("shared");
    QTest::newRow("/usr/bin") << QStringLiteral("/usr/bin") << true;
    QTest::newRow("trailing slash") << QStringLiteral("/usr/local/bin/") << true;
    QTest::newRow("through ..") << QStringLiteral("/usr/lib/../bin") << true;
    QTest::newRow("/bin") << QStringLiteral("/bin") << true;
    QTest::newRow("/usr") << QStringLiteral("/usr") << false;
    QTest::newRow("/usr/bin/sub") << QStringLiteral("/usr/bin/sub") << false;
    QTest::newRow("empty") << QString() << false;
    // The build folder, where ./run starts the programs and SYS.ini is kept.
    QTest::newRow("test's own folder") << QCoreApplication::applicationDirPath() << false;
}

void TestCommon::sharedProgramFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, shared);
    QCOMPARE(isSharedProgramFolder(folder), shared);
}

void TestCommon::usageErrorHints_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("swapped letters") << QStringList{"--write-gsp"} << "未知选项：--write-gsp（是否指 --write-gps？）";
    QTest::newRow("letter missing") << QStringList{"--ful"} << "未知选项：--ful（是否指 --full？）";
    QTest::newRow("letter extra") << QStringList{"--fulll"} << "未知选项：--fulll（是否指 --full？）";
    QTest::newRow("start of one name") << QStringList{"--write"} << "未知选项：--write（是否指 --write-gps？）";
    QTest::newRow("start of two names") << QStringList{"--ove"} << "未知选项：--ove";
    QTest::newRow("nothing close") << QStringList{"--bogus"} << "未知选项：--bogus";
    QTest::newRow("short option") << QStringList{"-x"} << "未知选项：-x";
    QTest::newRow("two unknown") << QStringList{"--fll", "--zzz"} << "未知选项：--fll（是否指 --full？）、--zzz";
}

void TestCommon::usageErrorHints()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const QList<QCommandLineOption> options{
        helpOption(), QCommandLineOption("full"), QCommandLineOption("write-gps"),
        QCommandLineOption("overwrite"), QCommandLineOption("over-there"), QCommandLineOption("port", "", "P")};
    QCommandLineParser parser;
    parser.addOptions(options);
    QVERIFY(!parser.parse(QStringList{"prog"} + args));
    QCOMPARE(usageErrorText(parser.errorText(), parser.unknownOptionNames(), options), message);
}

void TestCommon::rememberedFolders_data()
{
    QTest::addColumn<QString>("chosen"); // "@" is a scratch folder; "" is a cancelled dialog
    QTest::addColumn<QString>("start");  // "@" as above; "home" for the home folder
    QTest::newRow("nothing yet") << "" << "home";
    QTest::newRow("a file's folder") << "@/sub/trip.gtxt" << "@/sub";
    QTest::newRow("a folder itself") << "@/sub" << "@/sub";
    QTest::newRow("a folder since removed") << "@/gone/trip.gtxt" << "home";
}

void TestCommon::rememberedFolders()
{
    QFETCH(QString, chosen);
    QFETCH(QString, start);
    const testsupport::ScratchConfig config;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("sub") && QDir(dir.path()).mkpath("gone"));
    chosen.replace('@', dir.path());
    start = start == "home" ? QDir::homePath() : start.replace('@', dir.path());
    rememberFolder(FolderKind::Tracks, chosen);
    QVERIFY(QDir(dir.filePath("gone")).removeRecursively());
    QCOMPARE(rememberedFolder(FolderKind::Tracks), start);
    // Each kind has its own folder.
    QCOMPARE(rememberedFolder(FolderKind::Paths), QDir::homePath());
    QVERIFY(foldersSettingsFile().startsWith(config.path() + "/"));
}

void TestCommon::foldersKeptByEarlierVersions()
{
    // Earlier versions kept the folders through QSettings: a user's file still counts.
    const testsupport::ScratchConfig config;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("照片, 2026"));
    QVERIFY(QDir().mkpath(folder));
    QSettings(foldersSettingsFile(), QSettings::IniFormat).setValue("folders/photos", folder);
    QCOMPARE(rememberedFolder(FolderKind::Photos), folder);
    rememberFolder(FolderKind::Tracks, dir.path());
    QCOMPARE(rememberedFolder(FolderKind::Photos), folder);
    QCOMPARE(rememberedFolder(FolderKind::Tracks), dir.path());
}

void TestCommon::keyValueStore_data()
{
    QTest::addColumn<QByteArray>("before"); // "-": no file
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("no file yet") << QByteArray("-") << "folders/photos" << "/p" << QByteArray("[folders]\nphotos=/p\n");
    QTest::newRow("other lines and lists kept")
        << QByteArray("zone=UTC\ncorrection=5\ta\ncorrection=6\tb\n") << "tolerance" << "60"
        << QByteArray("zone=UTC\ncorrection=5\ta\ncorrection=6\tb\ntolerance=60\n");
    QTest::newRow("replaced once, a doubled key dropped")
        << QByteArray("[folders]\nphotos=/a\ntracks=/t\nphotos=/b\n") << "folders/photos" << "/c"
        << QByteArray("[folders]\nphotos=/c\ntracks=/t\n");
    QTest::newRow("joins its group") << QByteArray("shown=true\n[folders]\nphotos=/a\n[map]\nx=1\n")
                                     << "folders/tracks" << "/t"
                                     << QByteArray("shown=true\n[folders]\nphotos=/a\ntracks=/t\n[map]\nx=1\n");
    QTest::newRow("a line break cannot split a line") << QByteArray("") << "shown" << "a\nb" << QByteArray("shown=a b\n");
}

void TestCommon::keyValueStore()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString file = dir.filePath("sub/prefs.ini");
    if (before != "-") {
        QVERIFY(QDir(dir.path()).mkpath("sub"));
        QVERIFY(writeFileAtomically(file, before));
    }
    QString error;
    QVERIFY2(storeKeyValue(file, key, value, &error), qPrintable(error));
    QCOMPARE(testsupport::readAll(file), after);
    QCOMPARE(keyValue(readKeyValues(file), key), QString(value).replace('\n', ' '));
    // Storing it again changes nothing, not even the file's identity.
    const auto inode = [&file] {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const ino_t written = inode();
    QVERIFY(storeKeyValue(file, key, value));
    QCOMPARE(inode(), written);
}

void TestCommon::readmeSections_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("next"); // the heading that must not be in it
    QTest::newRow("trekport") << "trekport" << "## pixplot";
    QTest::newRow("pixplot") << "pixplot" << "## areagrab";
    QTest::newRow("areagrab") << "areagrab" << "## For developers";
}

void TestCommon::readmeSections()
{
    QFETCH(QString, program);
    QFETCH(QString, next);
    const QString section = readmeSection(program);
    QVERIFY(section.startsWith("## " + program + "\n"));
    QVERIFY(section.size() > 500);
    QVERIFY(!section.contains(next));
    QVERIFY(readmeSection("nosuchprogram").isEmpty());
}

void TestCommon::aboutListsLicences()
{
    const AboutInfo info{"areagrab", "截图", {Library::Qt, Library::LibJpegTurbo, Library::Tesseract}};
    const QString text = aboutText(info);
    QVERIFY(text.contains("areagrab " + suiteVersion()));
    QVERIFY(text.contains("GPL-3.0-or-later") && text.contains(suiteHomepage()));
    for (const Library library : info.libraries) {
        const LibraryNote note = libraryNote(library);
        QVERIFY2(text.contains(note.name) && text.contains(note.licence) && text.contains(note.homepage),
                 qPrintable(note.name));
    }
    QVERIFY(!text.contains(libraryNote(Library::Exiv2).name));
}

void TestCommon::openWrittenFile_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("opened");
    QTest::newRow("page") << "/data/trip_map.html" << "/data/trip_map.html";
    QTest::newRow("KML") << "/data/trip.kml" << "/data";
    QTest::newRow("GPX") << "/data/trip.GPX" << "/data";
}

void TestCommon::openWrittenFile()
{
    QFETCH(QString, written);
    QFETCH(QString, opened);
    RecordingDesktop desktop;
    QVERIFY(common::openWrittenFile(written));
    QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(opened)});
}

void TestCommon::qtTextsInChinese()
{
    QVERIFY(loadQtTranslations(*qApp));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
    const struct {
        QMessageBox::StandardButton button;
        const char16_t *word;
    } expected[] = {{QMessageBox::Yes, u"是"},
                    {QMessageBox::No, u"否"},
                    {QMessageBox::Cancel, u"取消"},
                    {QMessageBox::Ok, u"确定"}};
    for (const auto &e : expected) {
        const QString text = box.button(e.button)->text();
        QVERIFY2(text.contains(QString::fromUtf16(e.word)), qPrintable(text));
    }
}

void TestCommon::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("2.5 down") << 2.5 << qint64(2);
    QTest::newRow("3.5 up") << 3.5 << qint64(4);
    QTest::newRow("0.5 down") << 0.5 << qint64(0);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("-1.5") << -1.5 << qint64(-2);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("2.5001") << 2.5001 << qint64(3);
    QTest::newRow("-0.4") << -0.4 << qint64(0);
    QTest::newRow("whole") << 7.0 << qint64(7);
}

void TestCommon::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(common::roundHalfEven(value), expected);
}

void TestCommon::twipsPixels()
{
    QCOMPARE(twipsToPixels(5160), 344);
    QCOMPARE(twipsToPixels(3870), 258);
    QCOMPARE(twipsToPixels(1275), 85);
    QCOMPARE(twipsToPixels(1410), 94);
    QCOMPARE(twipsToPixels(1500 + 22), 101); // 101.47
    QCOMPARE(twipsToPixels(7 * 15 + 7), 7);  // 7.47
    QCOMPARE(twipsToPixels(7 * 15 + 8), 8);  // 7.53
    QCOMPARE(pixelsToTwips(344), qint64(5160));
    QCOMPARE(pixelsToTwips(0.5), qint64(8)); // 7.5 -> 8
}


void TestCommon::saveTargets_data()
{
    // What lies at the output's name, the output as written, and the inputs.
    QTest::addColumn<QString>("lies");
    QTest::addColumn<QString>("output");
    QTest::addColumn<SaveTarget>("target");
    QTest::addColumn<QString>("replaces");
    QTest::newRow("nothing") << "" << "out" << SaveTarget::New << "";
    QTest::newRow("dangling link") << "link-nowhere" << "out" << SaveTarget::New << "";
    QTest::newRow("other file") << "file" << "out" << SaveTarget::Existing << "";
    QTest::newRow("input spelt again") << "file" << "./sub/../in" << SaveTarget::Existing << "in";
    QTest::newRow("link to input") << "link-in" << "out" << SaveTarget::Existing << "in";
    QTest::newRow("hard link to input") << "hard-in" << "out" << SaveTarget::Existing << "in";
    QTest::newRow("folder") << "folder" << "out" << SaveTarget::Refused << "";
    QTest::newRow("fifo") << "fifo" << "out" << SaveTarget::Refused << "";
}

void TestCommon::saveTargets()
{
    QFETCH(QString, lies);
    QFETCH(QString, output);
    QFETCH(SaveTarget, target);
    QFETCH(QString, replaces);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir().mkdir("sub"));
    QVERIFY(writeFileAtomically("in", "input"));
    const QByteArray out = QFile::encodeName("out");
    if (lies == "file")
        QVERIFY(writeFileAtomically("out", "older output"));
    else if (lies == "link-nowhere")
        QVERIFY(QFile::link("missing", "out"));
    else if (lies == "link-in")
        QVERIFY(QFile::link("in", "out"));
    else if (lies == "hard-in")
        QCOMPARE(::link("in", out.constData()), 0);
    else if (lies == "folder")
        QVERIFY(QDir().mkdir("out"));
    else if (lies == "fifo")
        QCOMPARE(::mkfifo(out.constData(), 0600), 0);
    QString error;
    QCOMPARE(checkSaveTarget(output, &error), target);
    QCOMPARE(error.isEmpty(), target != SaveTarget::Refused);
    QCOMPARE(inputReplacedBy(output, {QString(), "in"}), replaces);
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
}

void TestCommon::consoleMessages_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("oneLine");
    QTest::newRow("one line") << "已写入" << "已写入" << "已写入";
    QTest::newRow("two lines") << "读取失败\r\n原因" << "读取失败\n原因" << "读取失败 原因";
    QTest::newRow("paragraphs") << "a\r\n\r\nb\r\nc" << "a\n\nb\nc" << "a b c";
    QTest::newRow("plain line end kept") << "a\nb" << "a\nb" << "a\nb";
}

void TestCommon::consoleMessages()
{
    QFETCH(QString, message);
    QFETCH(QString, lines);
    QFETCH(QString, oneLine);
    QCOMPARE(consoleLines(message), lines);
    QCOMPARE(consoleOneLine(message), oneLine);
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
