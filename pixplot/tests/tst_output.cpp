// Photo output through the window's "编辑" options, "执行" and "批量执行",
// on real files in a temporary folder.
#include "tst_photofixtures.h"

#include "core/photooutput.h"
#include "core/photorow.h"
#include "core/photofiles.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>

using pixplot::PhotoRecord;
namespace systemfinction = pixplot::systemfinction;

using common::DialogCall;
using fixtures::Window;

namespace {

QByteArray bytesOf(const QString &path)
{
    return testsupport::readAll(path);
}

QSize sizeOf(const QString &path)
{
    QImageReader r(path);
    return r.size();
}

// JPEG keeps flat colours within a few levels away from edges.
bool near(const QColor &a, const QColor &b, int tolerance = 4)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// Makes a folder refuse new files for the length of a test, also for root
// (which write permissions do not stop): the immutable attribute.
class LockedFolder {
public:
    explicit LockedFolder(const QString &path) : path_(path)
    {
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (!canCreate())
            return;
        immutable_ = testsupport::runProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
    ~LockedFolder()
    {
        if (immutable_)
            testsupport::runProgram(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        QFile::setPermissions(path_,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool locked() const { return !canCreate(); }

private:
    bool canCreate() const
    {
        QFile probe(path_ + QStringLiteral("/probe.tmp"));
        if (!probe.open(QIODevice::WriteOnly))
            return false;
        probe.close();
        probe.remove();
        return true;
    }
    QString path_;
    bool immutable_ = false;
};

} // namespace

class TestOutput : public fixtures::FolderTest {
    Q_OBJECT
private:
    QStringList filesInFolder() const { return QDir(dir->path()).entryList(QDir::Files, QDir::Name); }

private slots:
    void initTestCase()
    {
        if (!testsupport::hasProgram(QStringLiteral("exiftool")))
            QSKIP("exiftool is needed to write EXIF times into the test photos");
    }

    void optionsStartStateAndEnabling();
    void newFileName_data();
    void newFileName();
    void captionText_data();
    void captionText();
    void uniqueFileName();
    void renameByTimeWhenNameIsTaken();
    void renameByTimeKeepsNameWithoutExif();
    void twoBackupsGetDistinctNames();
    void frameMakesBorderOfWindowColour();
    void captionLineIsDrawnOnlyWithText();
    void captionGlyphsStayInsideRow_data();
    void captionGlyphsStayInsideRow();
    void portraitPhotoIsFramedUpright();
    void photoOver33MegapixelsPreviewedAndFramed();
    void prefixNumberFollowsCurrentRow();
    void batchOfThreeReportsThree();
    void failedEncodeLeavesSourceUntouched();
    void vanishedAndCorruptPhotosCountAsFailed();
    void sameSecondPhotosWithFrameBothSurvive();
    void nameTakenWhileBatchRuns();
    void photoFramedInAnEarlierRunIsAskedAbout_data();
    void photoFramedInAnEarlierRunIsAskedAbout();
    void parallelBatchMatchesOneJob();
    void cancelLeavesEveryPhotoDoneOrUntouched();
};

void TestOutput::optionsStartStateAndEnabling()
{
    Window win;
    auto *backup = win.get<QCheckBox>(QStringLiteral("Ck_backup"));
    auto *rename = win.get<QCheckBox>(QStringLiteral("Ck_reanme"));
    auto *opTime = win.get<QRadioButton>(QStringLiteral("Op_time"));
    auto *opIncre = win.get<QRadioButton>(QStringLiteral("Op_incre"));
    auto *prefix = win.get<QLineEdit>(QStringLiteral("incre_txt"));
    auto *frame = win.get<QCheckBox>(QStringLiteral("Ck_frame"));
    auto *label2 = win.get<QLabel>(QStringLiteral("Label2"));
    auto *note = win.get<QLineEdit>(QStringLiteral("frame_txt"));
    auto *withTime = win.get<QCheckBox>(QStringLiteral("Ck_time"));
    auto *withGps = win.get<QCheckBox>(QStringLiteral("Ck_gps"));
    QCOMPARE(backup->text(), QStringLiteral("备份源文件  ...\\backup\\"));
    QCOMPARE(rename->text(), QStringLiteral("文件名更改"));
    QCOMPARE(opTime->text(), QStringLiteral("日期时间    格式:  YYYYMMDD_HHMMSS"));
    QCOMPARE(opIncre->text(), QStringLiteral("列表序号    前缀:"));
    QCOMPARE(frame->text(), QStringLiteral("加边框并压缩"));
    QCOMPARE(label2->text(), QStringLiteral("前注释:"));
    QCOMPARE(withTime->text(), QStringLiteral("日期时间  格式:YYYY-MM-DD HH:MM:SS"));
    QCOMPARE(withGps->text(), QStringLiteral("地理信息(经纬度)"));
    QCOMPARE(win.button(QStringLiteral("cmd_make"))->text(), QStringLiteral("执行"));
    QCOMPARE(win.button(QStringLiteral("cmd_allmake"))->text(), QStringLiteral("批量执行"));

    QVERIFY(backup->isChecked());
    QVERIFY(!rename->isChecked());
    QVERIFY(opTime->isChecked() && !opTime->isEnabled());
    QVERIFY(!opIncre->isChecked() && !opIncre->isEnabled());
    QVERIFY(prefix->text().isEmpty() && !prefix->isEnabled());
    QVERIFY(!frame->isChecked());
    QVERIFY(!label2->isEnabled() && !note->isEnabled());
    QVERIFY(withTime->isChecked() && !withTime->isEnabled());
    QVERIFY(!withGps->isChecked() && !withGps->isEnabled());

    win.clickCheck(QStringLiteral("Ck_reanme"));
    QVERIFY(opTime->isEnabled() && opIncre->isEnabled() && prefix->isEnabled());
    QVERIFY(!note->isEnabled());
    win.clickCheck(QStringLiteral("Ck_frame"));
    QVERIFY(label2->isEnabled() && note->isEnabled() && withTime->isEnabled() && withGps->isEnabled());
    win.clickCheck(QStringLiteral("Ck_reanme"));
    QVERIFY(!opTime->isEnabled() && !opIncre->isEnabled() && !prefix->isEnabled());
    QVERIFY(note->isEnabled());
}

void TestOutput::newFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("hasExif");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<qint64>("row");
    QTest::addColumn<QString>("expected");
    const int keep = int(pixplot::photooutput::RenameMode::Keep);
    const int byTime = int(pixplot::photooutput::RenameMode::ByTime);
    const int byPrefix = int(pixplot::photooutput::RenameMode::ByPrefix);
    QTest::newRow("time") << "IMG_0001.JPG" << true << "2010-05-01 14:03:22" << byTime << "" << qint64(1)
                          << "20100501_140322.JPG";
    QTest::newRow("time keeps lower extension")
        << "a.jpg" << true << "2010-05-01 14:03:22" << byTime << "" << qint64(1) << "20100501_140322.jpg";
    QTest::newRow("time without exif") << "a.jpg" << false << "" << byTime << "" << qint64(1) << "a.jpg";
    QTest::newRow("prefix row 7") << "DSC.JPG" << true << "" << byPrefix << "trip" << qint64(7)
                                  << "trip0007.JPG";
    QTest::newRow("prefix row 12345")
        << "x.jpg" << false << "" << byPrefix << "t" << qint64(12345) << "t12345.jpg";
    QTest::newRow("empty prefix") << "x.jpg" << false << "" << byPrefix << "" << qint64(3) << "0003.jpg";
    QTest::newRow("keep") << "x.jpg" << true << "2010-05-01 14:03:22" << keep << "p" << qint64(3) << "x.jpg";
}

void TestOutput::newFileName()
{
    QFETCH(QString, fileName);
    QFETCH(bool, hasExif);
    QFETCH(QString, time);
    QFETCH(int, mode);
    QFETCH(QString, prefix);
    QFETCH(qint64, row);
    QFETCH(QString, expected);
    PhotoRecord rec{hasExif, fileName, QStringLiteral("/tmp/"), time, std::nullopt, QString()};
    QCOMPARE(
        pixplot::photooutput::newFileName(rec, time, pixplot::photooutput::RenameMode(mode), prefix, row),
        expected);
}

void TestOutput::captionText_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("gps");
    QTest::addColumn<bool>("time");
    QTest::addColumn<QString>("expected");
    const QString pos = QStringLiteral("N31°50.1234',E118°46.5678'");
    QTest::newRow("both on") << "Trip" << true << true
                             << QStringLiteral(" Trip  ") + pos + QStringLiteral("  2010-05-01 14:03:22");
    QTest::newRow("both off") << "Trip" << false << false << " Trip    ";
    QTest::newRow("time only") << "" << false << true << "     2010-05-01 14:03:22";
    QTest::newRow("position only") << "Trip" << true << false << QStringLiteral(" Trip  ") + pos + "  ";
}

void TestOutput::captionText()
{
    QFETCH(QString, note);
    QFETCH(bool, gps);
    QFETCH(bool, time);
    QFETCH(QString, expected);
    QCOMPARE(pixplot::photooutput::captionText(note, QStringLiteral("N31°50.1234',E118°46.5678'"),
                                               QStringLiteral("2010-05-01 14:03:22"), gps, time),
             expected);
}

void TestOutput::uniqueFileName()
{
    const QString folder = dir->path() + QLatin1Char('/');
    QCOMPARE(systemfinction::UniqueFileName(folder, QStringLiteral("a.JPG")), QStringLiteral("a.JPG"));
    QVERIFY(fixtures::writeJpeg(file("a.JPG"), 8, 8));
    QCOMPARE(systemfinction::UniqueFileName(folder, QStringLiteral("a.JPG")), QStringLiteral("a_1.JPG"));
    QVERIFY(fixtures::writeJpeg(file("a_1.JPG"), 8, 8));
    QCOMPARE(systemfinction::UniqueFileName(folder, QStringLiteral("a.JPG")), QStringLiteral("a_2.JPG"));
}

void TestOutput::renameByTimeWhenNameIsTaken()
{
    QVERIFY(fixtures::writePhoto(file("IMG_0001.JPG"), QStringLiteral("2010:05:01 14:03:22")));
    QVERIFY(fixtures::writeJpeg(file("20100501_140322.JPG"), 10, 10, Qt::blue));
    const QByteArray source = bytesOf(file("IMG_0001.JPG"));
    const QByteArray other = bytesOf(file("20100501_140322.JPG"));
    Window win;
    win.addPhotos({file("IMG_0001.JPG")});
    win.clickCheck(QStringLiteral("Ck_reanme"));
    win.selectPhoto(1);
    win.click(QStringLiteral("cmd_make"));

    QCOMPARE(filesInFolder(), QStringList({"20100501_140322.JPG", "20100501_140322_1.JPG"}));
    QCOMPARE(bytesOf(file("20100501_140322_1.JPG")), source); // renamed, not re-encoded
    QCOMPARE(bytesOf(file("20100501_140322.JPG")), other);
    QCOMPARE(bytesOf(file("BackUp/IMG_0001.JPG")), source);
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("20100501_140322_1.JPG"));
    QCOMPARE(win.w->photoRows().at(0).record.fileName, QStringLiteral("20100501_140322_1.JPG"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 14:03:22"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("处理完成!\r\n照片 20100501_140322_1.JPG 已处理。"));
    // The preview follows the renamed file.
    QVERIFY(win.title(QStringLiteral("picture_review")).startsWith(QStringLiteral("照片预览 (尺寸64×48")));
}

void TestOutput::renameByTimeKeepsNameWithoutExif()
{
    QVERIFY(fixtures::writePhoto(file("plain.jpg"), QString()));
    Window win;
    win.addPhotos({file("plain.jpg")});
    win.clickChecks({"Ck_backup", "Ck_reanme"});
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(filesInFolder(), QStringList({"plain.jpg"}));
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("plain.jpg"));
}

void TestOutput::twoBackupsGetDistinctNames()
{
    QVERIFY(fixtures::writePhoto(file("IMG_0001.JPG"), QStringLiteral("2010:05:01 14:03:22")));
    const QByteArray source = bytesOf(file("IMG_0001.JPG"));
    Window win;
    win.addPhotos({file("IMG_0001.JPG")});
    win.click(QStringLiteral("cmd_make"));
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(QDir(file("BackUp")).entryList(QDir::Files, QDir::Name),
             QStringList({"IMG_0001.JPG", "IMG_0001_1.JPG"}));
    QCOMPARE(bytesOf(file("BackUp/IMG_0001.JPG")), source);
    QCOMPARE(bytesOf(file("BackUp/IMG_0001_1.JPG")), source);
    QCOMPARE(bytesOf(file("IMG_0001.JPG")), source);
}

void TestOutput::frameMakesBorderOfWindowColour()
{
    const QColor photoColour(30, 90, 200);
    QVERIFY(fixtures::writeJpeg(file("big.jpg"), 3000, 2000, photoColour));
    QVERIFY(fixtures::setExifTimes({{file("big.jpg"), "2010:05:01 14:03:22"}}));
    Window win;
    win.addPhotos({file("big.jpg")});
    win.clickChecks({"Ck_backup", "Ck_frame"});
    win.click(QStringLiteral("cmd_make"));

    QCOMPARE(filesInFolder(), QStringList({"big.jpg"})); // replaced in place
    QCOMPARE(sizeOf(file("big.jpg")), QSize(3044, 2044));
    const QImage out(file("big.jpg"));
    const QColor window = win.w->palette().color(QPalette::Window);
    QVERIFY2(near(out.pixelColor(10, 1000), window), "left border");
    QVERIFY2(near(out.pixelColor(3036, 1000), window), "right border");
    QVERIFY2(near(out.pixelColor(1500, 10), window), "top border");
    QVERIFY2(near(out.pixelColor(3000, 2043), window), "bottom strip");
    QVERIFY2(near(out.pixelColor(1522, 1022), photoColour), "photo");
    QVERIFY2(near(out.pixelColor(30, 30), photoColour), "photo corner");
    QVERIFY(win.title(QStringLiteral("picture_review"))
                .startsWith(QStringLiteral("照片预览 (尺寸3044×2044 大小")));
}

void TestOutput::captionLineIsDrawnOnlyWithText()
{
    QVERIFY(fixtures::writePhoto(file("a.jpg"), QStringLiteral("2010:05:01 14:03:22"), 400, 100));
    QVERIFY(fixtures::writePhoto(file("b.jpg"), QStringLiteral("2010:05:01 14:03:22"), 400, 100));
    Window win;
    win.addPhotos({file("a.jpg"), file("b.jpg")});
    win.clickChecks({"Ck_backup", "Ck_frame"});
    // Row 1: no note, no time, no position: the caption row stays plain.
    win.clickCheck(QStringLiteral("Ck_time"));
    win.selectPhoto(1);
    win.click(QStringLiteral("cmd_make"));
    // Row 2: the time is written.
    win.clickCheck(QStringLiteral("Ck_time"));
    win.selectPhoto(2);
    win.click(QStringLiteral("cmd_make"));

    const QColor window = win.w->palette().color(QPalette::Window);
    auto darkPixelsInCaption = [&](const QString &path) {
        const QImage img(path);
        int dark = 0;
        for (int y = 22 + 100; y < 22 + 100 + 20; ++y)
            for (int x = 22; x < 22 + 400; ++x)
                if (qGray(img.pixel(x, y)) < qGray(window.rgb()) - 80)
                    ++dark;
        return dark;
    };
    QCOMPARE(sizeOf(file("a.jpg")), QSize(444, 144));
    QCOMPARE(darkPixelsInCaption(file("a.jpg")), 0);
    QVERIFY(darkPixelsInCaption(file("b.jpg")) > 100);
}

void TestOutput::captionGlyphsStayInsideRow_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("descenders") << pixplot::photooutput::captionText("gjpqy()", {}, {}, false, false);
    QTest::newRow("full caption") << pixplot::photooutput::captionText(
        QStringLiteral("记录gjpqy()"), QStringLiteral("N31°50.1234',E118°46.5678'"),
        QStringLiteral("2010-05-01 14:03:22"), true, true);
}

void TestOutput::captionGlyphsStayInsideRow()
{
    // A glyph cut by the row's edge leaves ink on the row's first or last
    // line; one that fits leaves both clear.
    QFETCH(QString, caption);
    QImage photo(600, 40, QImage::Format_RGB32);
    photo.fill(Qt::white);
    const QImage framed = pixplot::photooutput::ComposeFramedImage(photo, caption, QColor(236, 236, 236));
    QCOMPARE(framed.size(), pixplot::photooutput::framedSize(photo.size()));
    const int top = pixplot::photooutput::kSideBorder + photo.height();
    auto darkOnLine = [&](int y) {
        int dark = 0;
        for (int x = pixplot::photooutput::kSideBorder; x < pixplot::photooutput::kSideBorder + photo.width();
             ++x)
            dark += qGray(framed.pixel(x, y)) < 128;
        return dark;
    };
    QCOMPARE(darkOnLine(top), 0);
    QCOMPARE(darkOnLine(top + pixplot::photooutput::kCaptionRow - 1), 0);
    int inked = 0;
    for (int y = top; y < top + pixplot::photooutput::kCaptionRow; ++y)
        inked += darkOnLine(y) > 0;
    QVERIFY2(inked >= pixplot::photooutput::kCaptionRow / 2, qPrintable(QString::number(inked)));
}

void TestOutput::portraitPhotoIsFramedUpright()
{
    // Stored 60 x 40 with orientation 6: shown (and framed) 40 x 60.
    QImage stored(60, 40, QImage::Format_RGB32);
    stored.fill(Qt::white);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 10; ++x)
            stored.setPixelColor(x, y, Qt::black); // left edge of the sensor
    QVERIFY(stored.save(file("turn.jpg"), "JPG", 95));
    QVERIFY(testsupport::exiftoolWrite({QStringLiteral("-Orientation#=6"), file("turn.jpg")}));
    Window win;
    win.addPhotos({file("turn.jpg")});
    win.clickChecks({"Ck_backup", "Ck_frame"});
    win.click(QStringLiteral("cmd_make"));
    QImageReader raw(file("turn.jpg"));
    raw.setAutoTransform(false);
    QCOMPARE(raw.size(), QSize(84, 104));
    const QImage img = raw.read();
    // Rotated clockwise: the sensor's left edge is now the top.
    QVERIFY(qGray(img.pixel(22 + 20, 22 + 3)) < 60);
    QVERIFY(qGray(img.pixel(22 + 20, 22 + 50)) > 200);
}

void TestOutput::photoOver33MegapixelsPreviewedAndFramed()
{
    // 45 megapixels decode to 180 MB, over Qt's default limit of 128 MB.
    const QColor colour(30, 90, 200);
    {
        QImage plain(8200, 5500, QImage::Format_RGB888);
        plain.fill(colour);
        QVERIFY(plain.save(file("large.jpg"), "JPG", 50));
    }
    Window win;
    win.addPhotos({file("large.jpg")});
    win.selectPhoto(1);
    QVERIFY(win.title(QStringLiteral("picture_review"))
                .startsWith(QStringLiteral("照片预览 (尺寸8200×5500 大小")));
    const QImage shown = win.get<QLabel>(QStringLiteral("Pictemp"))->pixmap().toImage();
    const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    QVERIFY2(qAbs(middle.blue() - colour.blue()) < 12 && qAbs(middle.red() - colour.red()) < 12,
             qPrintable(middle.name()));

    win.clickChecks({"Ck_backup", "Ck_frame"});
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(filesInFolder(), QStringList({"large.jpg"}));
    QCOMPARE(sizeOf(file("large.jpg")), QSize(8244, 5544));
}

void TestOutput::prefixNumberFollowsCurrentRow()
{
    QVERIFY(fixtures::writeJpeg(file("first.JPG"), 16, 16));
    QVERIFY(fixtures::writeJpeg(file("second.jpg"), 16, 16));
    Window win;
    win.addPhotos({file("first.JPG"), file("second.jpg")});
    win.selectPhoto(1);
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_del"));
    win.clickChecks({"Ck_backup", "Ck_reanme", "Op_incre"});
    QTest::keyClicks(win.get<QLineEdit>(QStringLiteral("incre_txt")), QStringLiteral("trip"));
    win.selectPhoto(1);
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(filesInFolder(), QStringList({"first.JPG", "trip0001.jpg"}));
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("trip0001.jpg"));

    // A prefix that would leave the folder: said so, nothing processed.
    for (const QString &bad : {QStringLiteral("../x"), QStringLiteral("..")}) {
        auto *prefix = win.get<QLineEdit>(QStringLiteral("incre_txt"));
        prefix->setText(bad);
        for (const char *button : {"cmd_make", "cmd_allmake"}) {
            win.click(QString::fromLatin1(button));
            QCOMPARE(win.dialogs.lastInfo(), pixplot::photooutput::badPrefixMessage(bad));
            QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                     QStringList({"first.JPG", "trip0001.jpg"}));
        }
    }
    QVERIFY(!QFile::exists(file("../x0001.jpg")));
}

void TestOutput::batchOfThreeReportsThree()
{
    QStringList files;
    for (const char *n : {"b1.jpg", "b2.jpg", "b3.jpg"}) {
        QVERIFY(fixtures::writeJpeg(file(n), 32, 24));
        files << file(n);
    }
    QVERIFY(fixtures::setExifTimes({{files[0], "2010:05:01 10:00:01"},
                                    {files[1], "2010:05:01 10:00:02"},
                                    {files[2], "2010:05:01 10:00:03"}}));
    Window win;
    win.addPhotos(files);
    win.clickChecks({"Ck_reanme", "Ck_frame"});
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("批处理完成!\r\n共处理 3 个照片。"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).last().title, QStringLiteral("系统"));
    QCOMPARE(filesInFolder(),
             QStringList({"20100501_100001.jpg", "20100501_100002.jpg", "20100501_100003.jpg"}));
    QCOMPARE(QDir(file("BackUp")).entryList(QDir::Files, QDir::Name),
             QStringList({"b1.jpg", "b2.jpg", "b3.jpg"}));
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(win.photoCell(r, 0), QStringLiteral("20100501_10000%1.jpg").arg(r));
        QCOMPARE(sizeOf(file(win.photoCell(r, 0))), QSize(76, 68));
    }
    QVERIFY(!win.get<QFrame>(QStringLiteral("pic_info"))->isVisible());
    QVERIFY(
        win.title(QStringLiteral("picture_review")).startsWith(QStringLiteral("照片预览 (尺寸76×68 大小")));
}

void TestOutput::failedEncodeLeavesSourceUntouched()
{
    QVERIFY(fixtures::writePhoto(file("keep.jpg"), QStringLiteral("2010:05:01 14:03:22"), 80, 60));
    const QByteArray source = bytesOf(file("keep.jpg"));
    Window win;
    win.addPhotos({file("keep.jpg")});
    win.clickChecks({"Ck_reanme", "Ck_frame"});
    {
        LockedFolder lock(dir->path());
        if (!lock.locked())
            QSKIP("cannot make a folder refuse new files here");
        // Without a backup the new name is the first change, and it fails.
        win.clickCheck(QStringLiteral("Ck_backup"));
        win.click(QStringLiteral("cmd_make"));
        // The system's reason follows ours (an immutable folder: not permitted).
        QVERIFY2(
            win.dialogs.lastInfo().startsWith(QStringLiteral("照片 keep.jpg 处理失败: 无法更改文件名（")),
            qPrintable(win.dialogs.lastInfo()));
        // With a backup, the backup fails first and nothing is written.
        win.clickCheck(QStringLiteral("Ck_backup"));
        win.click(QStringLiteral("cmd_allmake"));
        QVERIFY2(win.dialogs.lastInfo().startsWith(
                     QStringLiteral("批处理完成!\r\n共处理 1 个照片。\r\n其中 1 个照片处理失败。\r\n"
                                    "照片 keep.jpg 处理失败: 无法备份源文件（")),
                 qPrintable(win.dialogs.lastInfo()));
    }
    QCOMPARE(filesInFolder(), QStringList({"keep.jpg"}));
    QCOMPARE(bytesOf(file("keep.jpg")), source);
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("keep.jpg"));
}

void TestOutput::vanishedAndCorruptPhotosCountAsFailed()
{
    QVERIFY(fixtures::writeJpeg(file("ok.jpg"), 16, 16));
    QVERIFY(fixtures::writeJpeg(file("gone.jpg"), 16, 16));
    QVERIFY(fixtures::writeLines(file("bad.jpg"), {QStringLiteral("not a picture at all")}));
    const QByteArray bad = bytesOf(file("bad.jpg"));
    Window win;
    win.addPhotos({file("ok.jpg"), file("gone.jpg"), file("bad.jpg")});
    QCOMPARE(win.photos()->model()->rowCount(), 3);
    QVERIFY(QFile::remove(file("gone.jpg")));
    win.clickChecks({"Ck_backup", "Ck_frame"});
    win.selectPhoto(2);
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("照片 gone.jpg 处理失败: 文件不存在"));
    win.selectPhoto(3);
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("照片 bad.jpg 处理失败: 无法读取照片"));
    win.click(QStringLiteral("cmd_allmake"));
    // Every failed photo named with its reason, its row marked.
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("批处理完成!\r\n共处理 3 个照片。\r\n其中 2 个照片处理失败。\r\n"
                            "照片 gone.jpg 处理失败: 文件不存在\r\n照片 bad.jpg 处理失败: 无法读取照片"));
    const QAbstractItemModel *rows = win.photos()->model();
    const QStringList reasons{QString(), QStringLiteral("文件不存在"), QStringLiteral("无法读取照片")};
    for (int row = 0; row < 3; ++row) {
        const QString tip = rows->index(row, 0).data(Qt::ToolTipRole).toString();
        QCOMPARE(tip.section(QLatin1Char('\n'), 1), reasons[row]);
        QCOMPARE(rows->index(row, 1).data(Qt::BackgroundRole).isValid(), !reasons[row].isEmpty());
    }
    QCOMPARE(bytesOf(file("bad.jpg")), bad);
    QCOMPARE(sizeOf(file("ok.jpg")), QSize(60, 60));
    QCOMPARE(filesInFolder(), QStringList({"bad.jpg", "ok.jpg"}));
}

void TestOutput::sameSecondPhotosWithFrameBothSurvive()
{
    QVERIFY(fixtures::writeJpeg(file("one.jpg"), 40, 30, Qt::red));
    QVERIFY(fixtures::writeJpeg(file("two.jpg"), 50, 30, Qt::green));
    QVERIFY(fixtures::setExifTimes(
        {{file("one.jpg"), "2010:05:01 14:03:22"}, {file("two.jpg"), "2010:05:01 14:03:22"}}));
    Window win;
    win.addPhotos({file("one.jpg"), file("two.jpg")});
    win.clickChecks({"Ck_backup", "Ck_reanme", "Ck_frame"});
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(filesInFolder(), QStringList({"20100501_140322.jpg", "20100501_140322_1.jpg"}));
    QCOMPARE(sizeOf(file("20100501_140322.jpg")), QSize(84, 74));
    QCOMPARE(sizeOf(file("20100501_140322_1.jpg")), QSize(94, 74));
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("20100501_140322.jpg"));
    QCOMPARE(win.photoCell(2, 0), QStringLiteral("20100501_140322_1.jpg"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("批处理完成!\r\n共处理 2 个照片。"));
}

// "批量执行" has chosen the photos' new names; while it frames them, files
// of the user's appear under those names. They stay; the photos take the
// next names.
void TestOutput::nameTakenWhileBatchRuns()
{
    const QStringList taken{"20100501_140322.jpg", "20100501_140323.jpg"};
    QVERIFY(fixtures::writeJpeg(file("one.jpg"), 4000, 3000, Qt::red));
    QVERIFY(fixtures::writeJpeg(file("two.jpg"), 4000, 3000, Qt::green));
    QVERIFY(fixtures::setExifTimes(
        {{file("one.jpg"), "2010:05:01 14:03:22"}, {file("two.jpg"), "2010:05:01 14:03:23"}}));
    Window win;
    win.addPhotos({file("one.jpg"), file("two.jpg")});
    win.clickChecks({"Ck_backup", "Ck_reanme", "Ck_frame"});
    QTest::mouseClick(win.button(QStringLiteral("cmd_allmake")), Qt::LeftButton);
    QTest::qWait(30); // the names are chosen at once; framing 12 megapixels takes longer
    for (const QString &name : taken)
        QVERIFY(fixtures::writeFile(file(name), "the user's own file"));
    for (int i = 0; i < 6000 && win.w->batchRunning(); ++i)
        QTest::qWait(10);

    QCOMPARE(filesInFolder(),
             QStringList({"20100501_140322.jpg", "20100501_140322_1.jpg", "20100501_140323.jpg",
                          "20100501_140323_1.jpg"}));
    for (const QString &name : taken)
        QCOMPARE(bytesOf(file(name)), QByteArray("the user's own file"));
    QCOMPARE(sizeOf(file("20100501_140322_1.jpg")), QSize(4044, 3044));
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("20100501_140322_1.jpg"));
    QCOMPARE(win.photoCell(2, 0), QStringLiteral("20100501_140323_1.jpg"));
}

void TestOutput::photoFramedInAnEarlierRunIsAskedAbout_data()
{
    QTest::addColumn<bool>("again");
    QTest::newRow("no: skipped") << false;
    QTest::newRow("yes: framed again") << true;
}

// A photo framed by an earlier run carries the mark; the window asks before
// it frames it again.
void TestOutput::photoFramedInAnEarlierRunIsAskedAbout()
{
    QFETCH(bool, again);
    QVERIFY(fixtures::writeJpeg(file("p.jpg"), 40, 30, Qt::red));
    const QString folder = dir->path() + QLatin1Char('/');
    pixplot::photooutput::Options earlier;
    earlier.frame = true;
    earlier.backup = false;
    earlier.background = Qt::white;
    const PhotoRecord record = systemfinction::ReadPhotoRecord(QStringLiteral("p.jpg"), folder);
    QVERIFY(pixplot::photooutput::ProcessPhoto(record, 1, QString(), QString(), earlier).ok());
    QCOMPARE(sizeOf(file("p.jpg")), QSize(84, 74));
    const QByteArray framed = bytesOf(file("p.jpg"));

    Window win;
    win.addPhotos({file("p.jpg")});
    win.clickChecks({"Ck_backup", "Ck_frame"});
    if (again)
        win.dialogs.queueYes();
    else
        win.dialogs.queueNo();
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(win.dialogs.calls.at(win.dialogs.calls.size() - 2).text,
             pixplot::photooutput::framedAgainBatchQuestion(1));
    if (again) {
        QCOMPARE(sizeOf(file("p.jpg")), QSize(128, 118));
    } else {
        QCOMPARE(bytesOf(file("p.jpg")), framed);
    }
}

// "批量执行" with four jobs and with one on the same set: photos of one
// second, a name taken already, a photo that is not a picture and one that
// vanished after it was listed give the same names, bytes and message.
void TestOutput::parallelBatchMatchesOneJob()
{
    const auto run = [&](const QString &sub, int jobs) {
        const QString folder = file(sub) + QLatin1Char('/');
        QDir().mkpath(folder);
        QStringList files;
        QList<QPair<QString, QString>> times;
        for (int i = 0; i < 6; ++i) {
            files << folder + QStringLiteral("p%1.jpg").arg(i);
            if (!fixtures::writeJpeg(files.last(), 100 + 8 * i, 80, QColor(40 * i, 90, 200 - 20 * i)))
                return QStringList();
            times.append({files.last(), i == 4 ? "2010:05:01 10:00:01" : "2010:05:01 10:00:00"});
        }
        files << folder + "broken.jpg" << folder + "gone.jpg";
        if (!fixtures::writeLines(files[6], {QStringLiteral("no picture")})
            || !fixtures::writeJpeg(files[7], 16, 16)
            || !fixtures::writeLines(folder + "20100501_100001.jpg", {QStringLiteral("taken")})
            || !fixtures::setExifTimes(times))
            return QStringList();
        Window win;
        win.w->setBatchJobs(jobs);
        win.addPhotos(files);
        QFile::remove(files[7]);
        win.clickChecks({"Ck_reanme", "Ck_frame"});
        win.click(QStringLiteral("cmd_allmake"));
        QStringList seen{win.dialogs.lastInfo()};
        for (int r = 1; r <= files.size(); ++r)
            seen << win.photoCell(r, 0);
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        QStringList names;
        while (it.hasNext()) {
            const QString path = it.next();
            names << path.mid(folder.size()) + QLatin1Char(' ')
                    + QCryptographicHash::hash(bytesOf(path), QCryptographicHash::Md5).toHex();
        }
        names.sort();
        return seen + names;
    };
    const QStringList one = run(QStringLiteral("one"), 1);
    QVERIFY2(one.value(0).startsWith(
                 QStringLiteral("批处理完成!\r\n共处理 8 个照片。\r\n其中 2 个照片处理失败。\r\n照片 ")),
             qPrintable(one.value(0)));
    QCOMPARE(run(QStringLiteral("four"), 4), one);
}

// "取消" while the batch works: the window keeps answering, the photos in
// flight are finished, the others keep their bytes, names and no backup.
void TestOutput::cancelLeavesEveryPhotoDoneOrUntouched()
{
    const int count = 16;
    QStringList files;
    QList<QByteArray> sources;
    for (int i = 0; i < count; ++i) {
        files << file(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(fixtures::writeJpeg(files.last(), 900, 600, QColor(15 * i, 80, 120)));
        sources << bytesOf(files.last());
    }
    Window win;
    win.w->setBatchJobs(2);
    win.addPhotos(files);
    win.clickChecks({"Ck_reanme", "Op_incre"});
    win.get<QLineEdit>(QStringLiteral("incre_txt"))->setText(QStringLiteral("trip"));
    win.clickCheck(QStringLiteral("Ck_frame"));
    QTest::mouseClick(win.button(QStringLiteral("cmd_allmake")), Qt::LeftButton);
    QVERIFY(win.w->batchRunning());
    QVERIFY(!win.button(QStringLiteral("cmd_make"))->isEnabled());
    QTest::mouseClick(win.button(QStringLiteral("cmd_cancel")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!win.w->batchRunning(), 60000);
    QVERIFY(win.button(QStringLiteral("cmd_allmake"))->isEnabled());
    int done = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = QFileInfo(files[i]).fileName();
        const QString renamed = QStringLiteral("trip%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        if (QFileInfo::exists(files[i])) { // untouched
            QCOMPARE(bytesOf(files[i]), sources[i]);
            QVERIFY(!QFileInfo::exists(file(renamed)));
            QVERIFY(!QFileInfo::exists(file(QStringLiteral("BackUp/") + name)));
            QCOMPARE(win.photoCell(i + 1, 0), name);
        } else { // done: framed under its new name, backed up
            ++done;
            QCOMPARE(sizeOf(file(renamed)), QSize(944, 644));
            QCOMPARE(bytesOf(file(QStringLiteral("BackUp/") + name)), sources[i]);
            QCOMPARE(win.photoCell(i + 1, 0), renamed);
        }
    }
    QVERIFY2(done < count, "the batch ended before 取消 was read");
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("批处理已取消!\r\n已处理 %1 个照片，其余照片未改动。").arg(done));
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
