// The main window through its buttons: photo list and preview, path loading,
// clock correction and matching, on real files in a temporary folder.
#include "tst_photofixtures.h"

#include <sys/stat.h>

#include "core/photorow.h"
#include "ui/nmeaf.h"
#include "ui/rowicons.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>

using common::DialogCall;
using common::MessageIcon;
using fixtures::Window;

namespace {

const QString kInfoTitle = QStringLiteral("系统");

// Receives what the window hands to the desktop's default program.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class TestWindow : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!testsupport::hasProgram(QStringLiteral("exiftool")))
            QSKIP("exiftool is needed to write EXIF times into the test photos");
    }

    void formAtStart();
    void fitsSmallScreenWithoutJumping();
    void columnsFitTheirTexts();
    void previewFollowsSelection();
    void framingAgainAsksFirst();
    void addSkipsFilesThatAreNotJpeg();
    void photoWithoutExifGetsIconTwoAndNoTime();
    void cancelledAddShowsNothing();
    void fifoPhotoAndPathAreRefused();
    void removeRowCompactsTable();
    void removeAnsweredNoKeepsRow();
    void captionCountsZeroAfterAddOrRemove();
    void clearResetsCaption();
    void previewPlacement_data();
    void previewPlacement();
    void previewOfVanishedFileStaysEmpty();
    void progressPanel_data();
    void progressPanel();
    void doubleClickOpensWithDesktopProgram();

    void pathLoadsOnlyValidRmcSentences();
    void pathWithoutFixesReportsZero();
    void pathReloadKeepsPathUntilAnotherIsRead_data();
    void pathReloadKeepsPathUntilAnotherIsRead();
    void pathClearKeepsFileBase();
    void nameFileWrittenByTrekportLoads();
    void conversionHandsPathToNmeaf();
    void conversionFollowsPathLoadedLater();
    void pathLoadFailureNamesReasonAndCount_data();
    void pathLoadFailureNamesReasonAndCount();

    void offsetStepping_data();
    void offsetStepping();
    void toleranceStepping_data();
    void toleranceStepping();
    void signCaptionFollowsCheckBox();
    void fieldsRefuseNonNumericInput();
    void correctionAlwaysFromCameraTime();
    void matchingPicksNearestPoint_data();
    void matchingPicksNearestPoint();
    void matchingSummaryCountsExifPhotosOnly();
    void positionsClearedAndSetByHand();
    void loadedPathStartsWithFirstPointSelected();
    void suggestedShiftAppliedAndMatched();
    void correctionsPerCamera();
    void correctionSentence_data();
    void correctionSentence();
    void syncFromClockPhoto();
    void settingsKeptBetweenRuns();
};

void TestWindow::formAtStart()
{
    Window win;
    QCOMPARE(win.w->objectName(), QStringLiteral("main"));
    QCOMPARE(win.w->windowTitle(), QStringLiteral("坐标 --> 照片"));
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表"));
    QCOMPARE(win.title(QStringLiteral("Gps_box")), QStringLiteral("GPS路径"));
    QCOMPARE(win.title(QStringLiteral("picture_review")), QStringLiteral("照片预览"));
    QCOMPARE(win.get<QLabel>(QStringLiteral("Pictemp"))->size(), QSize(280, 210));
    QVERIFY(!win.get<QFrame>(QStringLiteral("pic_info"))->isVisible());
    QCOMPARE(win.get<QLineEdit>(QStringLiteral("wct"))->text(), QStringLiteral("120"));
    for (int k = 0; k < 3; ++k)
        QCOMPARE(win.get<QLineEdit>(QStringLiteral("tzt_%1").arg(k))->text(), QStringLiteral("00"));
    const QStringList photoHeaders{"照片名", "拍摄时间", "坐标"};
    const QStringList pathHeaders{"记录号", "记录时间", "坐标"};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(win.photos()->model()->headerData(c, Qt::Horizontal).toString(), photoHeaders[c]);
        QCOMPARE(win.path()->model()->headerData(c, Qt::Horizontal).toString(), pathHeaders[c]);
    }
    QCOMPARE(win.get<QLabel>(QStringLiteral("wctLabel"))->text(), QStringLiteral("容差(秒)"));
    QCOMPARE(win.get<QLabel>(QStringLiteral("wctLabel"))->buddy(), win.get<QLineEdit>(QStringLiteral("wct")));
    for (int i = 0; i < 6; ++i)
        QVERIFY(!win.button(QStringLiteral("tzc_%1").arg(i))->toolTip().isEmpty());
    for (int i = 0; i < 4; ++i)
        QVERIFY(!win.button(QStringLiteral("wcc_%1").arg(i))->toolTip().isEmpty());
    // Tab through the clock row goes left to right: -, field, + for each part.
    QStringList order;
    QWidget *w = win.get<QWidget>(QStringLiteral("tz_f"));
    for (int i = 0; i < 10; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    QCOMPARE(order,
             (QStringList{"tz_f", "tzc_3", "tzt_0", "tzc_0", "tzc_4", "tzt_1", "tzc_1", "tzc_5", "tzt_2",
                          "tzc_2"}));
}

void TestWindow::fitsSmallScreenWithoutJumping()
{
    // What a 1024 × 768 screen leaves for the window inside its frame.
    const QSize room(1024 - 16, 768 - 40);
    Window win;
    const QSize least = win.w->minimumSizeHint().expandedTo(win.w->minimumSize());
    QVERIFY2(least.width() <= room.width() && least.height() <= room.height(),
             qPrintable(QStringLiteral("%1×%2").arg(least.width()).arg(least.height())));
    QVERIFY(win.w->maximumWidth() > least.width()); // resizable
    const QRect screen = win.w->screen()->availableGeometry();
    QVERIFY(win.w->x() >= screen.x() && win.w->y() >= screen.y());
    win.w->resize(room);
    const QString path = file("long.txt");
    QVERIFY(
        fixtures::writeLines(path, {fixtures::rmc("235959", "311210"), fixtures::rmc("000101", "010111")}));
    const QSize before = win.w->size();
    win.loadPath(path);
    QCoreApplication::processEvents();
    QCOMPARE(win.w->size(), before);
    auto *box = win.get<QGroupBox>(QStringLiteral("Gps_box"));
    QCOMPARE(box->toolTip(), win.title(QStringLiteral("Gps_box")));
    QVERIFY(box->fontMetrics().horizontalAdvance(box->title()) <= box->width());
}

void TestWindow::columnsFitTheirTexts()
{
    QVERIFY(fixtures::writePhoto(file("a_rather_long_photo_name_from_a_phone_0001.jpg"),
                                 QStringLiteral("2004:08:07 11:29:58")));
    const QString path = file("p.txt");
    QVERIFY(fixtures::writeLines(path, {fixtures::rmc("032958", "070804")}));
    Window win;
    win.addPhotos({file("a_rather_long_photo_name_from_a_phone_0001.jpg")});
    win.loadPath(path);
    win.click(QStringLiteral("cmd_plgoto"));
    for (QTreeView *view : {win.photos(), win.path()}) {
        for (int c = 0; c < 3; ++c) {
            const QModelIndex i = view->model()->index(0, c);
            const QString text = i.data().toString();
            QVERIFY2(!text.isEmpty(), qPrintable(view->objectName()));
            QCOMPARE(i.data(Qt::ToolTipRole).toString(), text);
            // A photo name longer than its column is elided in the middle.
            if (c == 0 && view == win.photos())
                continue;
            QVERIFY2(view->header()->sectionSize(c) >= view->fontMetrics().horizontalAdvance(text),
                     qPrintable(view->objectName() + QLatin1Char(' ') + text));
        }
    }
    QVERIFY(win.photoCell(1, 2).startsWith(QStringLiteral("N31")));
}

void TestWindow::previewFollowsSelection()
{
    QStringList files;
    for (int i = 1; i <= 4; ++i) {
        files << file(QStringLiteral("P%1.JPG").arg(i));
        QVERIFY(fixtures::writePhoto(files.last(), QStringLiteral("2010:05:01 14:03:2%1").arg(i)));
    }
    Window win;
    win.addPhotos(files);
    auto *preview = win.get<QLabel>(QStringLiteral("Pictemp"));
    // The preview shows the photo of the selected row, or nothing.
    const auto shows = [&](const QString &photo) {
        return preview->toolTip() == photo
            && (photo.isEmpty()
                    ? win.title(QStringLiteral("picture_review")) == QStringLiteral("照片预览")
                    : win.title(QStringLiteral("picture_review")).startsWith(QStringLiteral("照片预览 (")));
    };
    win.selectPhoto(2);
    QVERIFY(shows(files[1]));
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_del"));
    QCOMPARE(win.w->selectedPhotoRow(), 2);
    QVERIFY(shows(files[2]));
    win.selectPhoto(3);
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(win.w->selectedPhotoRow(), 3);
    QVERIFY(shows(files[3]));
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_clear"));
    QVERIFY(shows(QString()));
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::framingAgainAsksFirst()
{
    QVERIFY(fixtures::writePhoto(file("A.JPG"), QStringLiteral("2010:05:01 14:03:22")));
    QVERIFY(fixtures::writePhoto(file("B.JPG"), QStringLiteral("2010:05:01 14:03:23")));
    Window win;
    win.addPhotos({file("A.JPG"), file("B.JPG")});
    win.clickCheck(QStringLiteral("Ck_frame"));
    win.selectPhoto(1);
    win.click(QStringLiteral("cmd_make"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("处理完成!\r\n照片 A.JPG 已处理。"));
    QVERIFY(win.dialogs.callsOf(DialogCall::YesNo).isEmpty());
    const QByteArray once = testsupport::readAll(file("A.JPG"));
    const QByteArray backup = testsupport::readAll(file("BackUp/A.JPG"));

    // Again on the same photo: asked first; No leaves it and its backup.
    win.dialogs.queueNo();
    win.click(QStringLiteral("cmd_make"));
    const QList<DialogCall> asked = win.dialogs.callsOf(DialogCall::YesNo);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].text, QStringLiteral("照片 A.JPG 已经加过边框，是否再加一次？"));
    QCOMPARE(asked[0].title, QStringLiteral("系统"));
    QCOMPARE(asked[0].icon, MessageIcon::Question);
    QCOMPARE(testsupport::readAll(file("A.JPG")), once);

    // The batch asks once; No frames only the photo not framed yet.
    const QByteArray untouched = testsupport::readAll(file("B.JPG"));
    win.dialogs.queueNo();
    win.click(QStringLiteral("cmd_allmake"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::YesNo).size(), 2);
    QCOMPARE(win.dialogs.callsOf(DialogCall::YesNo).last().text,
             QStringLiteral("其中 1 个照片已经加过边框，是否再加一次？\r\n(选\"否\"则跳过这些照片)"));
    QCOMPARE(testsupport::readAll(file("A.JPG")), once);
    QCOMPARE(testsupport::readAll(file("BackUp/A.JPG")), backup);
    QVERIFY(testsupport::readAll(file("B.JPG")) != untouched);
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::addSkipsFilesThatAreNotJpeg()
{
    QVERIFY(fixtures::writeJpeg(file("a.jpg"), 40, 30));
    QVERIFY(fixtures::writeJpeg(file("b.JPG"), 40, 30));
    QVERIFY(fixtures::setExifTimes(
        {{file("a.jpg"), "2010:05:01 14:03:22"}, {file("b.JPG"), "2010:05:01 14:05:00"}}));
    QImage png(40, 30, QImage::Format_RGB32);
    png.fill(Qt::green);
    QVERIFY(png.save(file("c.bmp")));

    Window win;
    win.addPhotos({file("a.jpg"), file("c.bmp"), file("b.JPG")});
    QVERIFY(win.dialogs.unexpected.isEmpty());
    const DialogCall open = win.dialogs.callsOf(DialogCall::OpenFiles).value(0);
    QCOMPARE(open.title, QStringLiteral("选择照片..."));
    // Every photo and video format first, then the JPEG filter, then all files.
    QVERIFY2(open.filter.startsWith(QStringLiteral("照片和视频(*.jpg ")), qPrintable(open.filter));
    for (const char *suffix : {"*.cr3", "*.heic", "*.mov", "*.avi", "*.mts", "*.m2ts", "*.raw"})
        QVERIFY2(open.filter.contains(QLatin1String(suffix)), suffix);
    QCOMPARE(open.filter.count(QStringLiteral("*.raw ")), 1); // two families read it, one pattern
    QVERIFY(open.filter.endsWith(QStringLiteral(";*.m2ts|照片文件(*.JPG)|*.jpg;*.jpeg|所有文件(*)|*")));

    QCOMPARE(win.photos()->model()->rowCount(), 2);
    // The file passed over is named with why.
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).first().text,
             QStringLiteral("以下文件未加入：\r\n") + file("c.bmp") + QStringLiteral("（不是支持的照片或视频文件）"));
    QCOMPARE(win.photoCell(1, 0), QStringLiteral("a.jpg"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 14:03:22"));
    QCOMPARE(win.photoCell(2, 0), QStringLiteral("b.JPG"));
    QCOMPARE(win.photoCell(2, 2), QString());
    QCOMPARE(win.w->photoRows().at(1).record.folder, dir->path() + QLatin1Char('/'));
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 2张照片"));
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("当次加载 2 张（其中 2 张含EXIF信息）照片!\r\n\r\n当前列表已加载共 2 张照片!"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).last().title, kInfoTitle);
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).last().icon, MessageIcon::Information);
    QVERIFY(!win.get<QFrame>(QStringLiteral("pic_info"))->isVisible());

    // The same file again makes a row of its own; the total grows.
    win.addPhotos({file("a.jpg")});
    QCOMPARE(win.photos()->model()->rowCount(), 3);
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("当次加载 1 张（其中 1 张含EXIF信息）照片!\r\n\r\n当前列表已加载共 3 张照片!"));
}

void TestWindow::photoWithoutExifGetsIconTwoAndNoTime()
{
    QVERIFY(fixtures::writePhoto(file("plain.jpg"), QString()));
    QVERIFY(fixtures::writePhoto(file("exif.jpg"), QStringLiteral("2010:05:01 14:03:22")));
    Window win;
    win.addPhotos({file("plain.jpg"), file("exif.jpg")});
    const QAbstractItemModel *m = win.photos()->model();
    QCOMPARE(win.photoCell(1, 1), QString());
    QVERIFY(!win.w->photoRows().at(0).record.hasExif);
    const QImage icon1 = iconImage(pixplot::rowicons::withTime());
    const QImage icon2 = iconImage(pixplot::rowicons::withoutTime());
    QVERIFY(icon1 != icon2);
    QCOMPARE(iconImage(m->index(0, 0).data(Qt::DecorationRole).value<QIcon>()), icon2);
    QCOMPARE(iconImage(m->index(1, 0).data(Qt::DecorationRole).value<QIcon>()), icon1);
    QCOMPARE(win.photoCell(2, 1), QStringLiteral("2010-05-01 14:03:22"));
    QVERIFY(win.dialogs.lastInfo().startsWith(QStringLiteral("当次加载 2 张（其中 1 张含EXIF信息）")));
}

void TestWindow::fifoPhotoAndPathAreRefused()
{
    QVERIFY(fixtures::writeJpeg(file("a.jpg"), 40, 30));
    for (const char *name : {"pipe.jpg", "pipe.txt"})
        QCOMPARE(::mkfifo(QFile::encodeName(file(name)).constData(), 0644), 0);
    Window win;
    // Opening a FIFO would block the window; it is named and left out.
    win.addPhotos({file("pipe.jpg"), file("a.jpg")});
    QCOMPARE(win.photos()->model()->rowCount(), 1);
    const auto infos = win.dialogs.callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), 2);
    QCOMPARE(infos[0].text,
             QStringLiteral("以下文件未加入：\r\n") + file("pipe.jpg")
                 + QStringLiteral("（是管道（FIFO），不是普通文件）"));
    QVERIFY(infos[1].text.startsWith(QStringLiteral("当次加载 1 张")));

    win.loadPath(file("pipe.txt"));
    QCOMPARE(win.path()->model()->rowCount(), 0);
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("路径文件无法读取：\r\n") + file("pipe.txt")
                 + QStringLiteral("\r\n原因：是管道（FIFO），不是普通文件"));
}

void TestWindow::cancelledAddShowsNothing()
{
    Window win;
    win.dialogs.queueCancel();
    win.click(QStringLiteral("cmd_add"));
    QCOMPARE(win.photos()->model()->rowCount(), 0);
    QVERIFY(win.dialogs.callsOf(DialogCall::Info).isEmpty());
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表"));
}

void TestWindow::removeRowCompactsTable()
{
    QStringList files;
    for (const char *n : {"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg"}) {
        QVERIFY(fixtures::writeJpeg(file(n), 20, 20));
        files << file(n);
    }
    QVERIFY(fixtures::setExifTimes({{files[2], "2010:05:01 10:00:03"}, {files[3], "2010:05:01 10:00:04"}}));
    Window win;
    win.addPhotos(files);
    win.selectPhoto(2);
    QCOMPARE(win.w->selectedPhotoRow(), 2);
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_del"));
    const DialogCall q = win.dialogs.callsOf(DialogCall::YesNo).value(0);
    QCOMPARE(q.text, QStringLiteral("确定移除 p2.jpg ?"));
    QCOMPARE(q.title, kInfoTitle);
    QCOMPARE(q.icon, MessageIcon::Information);

    QCOMPARE(win.photos()->model()->rowCount(), 3);
    const QStringList expected{"p1.jpg", "p3.jpg", "p4.jpg"};
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(win.photoCell(r, 0), expected[r - 1]);
        QCOMPARE(win.w->photoRows().at(r - 1).record.fileName, expected[r - 1]);
    }
    // The records moved up with their rows, times included.
    QCOMPARE(win.w->photoRows().at(1).record.shotTime, QStringLiteral("2010-05-01 10:00:03"));
    QCOMPARE(win.photoCell(3, 1), QStringLiteral("2010-05-01 10:00:04"));
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 3张照片"));
}

void TestWindow::removeAnsweredNoKeepsRow()
{
    QVERIFY(fixtures::writeJpeg(file("x.jpg"), 20, 20));
    Window win;
    win.addPhotos({file("x.jpg")});
    win.selectPhoto(1);
    win.dialogs.queueNo();
    win.click(QStringLiteral("cmd_del"));
    QCOMPARE(win.photos()->model()->rowCount(), 1);
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 1张照片"));
}

// Adding and removing always write the count, also when it is 0; only
// "清空..." gives the bare caption.
void TestWindow::captionCountsZeroAfterAddOrRemove()
{
    QImage png(10, 10, QImage::Format_RGB32);
    png.fill(Qt::green);
    QVERIFY(png.save(file("only.bmp")));
    QVERIFY(fixtures::writeJpeg(file("x.jpg"), 20, 20));
    Window win;
    win.addPhotos({file("only.bmp")});
    QCOMPARE(win.photos()->model()->rowCount(), 0);
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 0张照片"));
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("当次加载 0 张（其中 0 张含EXIF信息）照片!\r\n\r\n当前列表已加载共 0 张照片!"));

    win.addPhotos({file("x.jpg")});
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 1张照片"));
    win.selectPhoto(1);
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_del"));
    QCOMPARE(win.photos()->model()->rowCount(), 0);
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表 0张照片"));
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::clearResetsCaption()
{
    QVERIFY(fixtures::writeJpeg(file("x.jpg"), 20, 20));
    Window win;
    win.addPhotos({file("x.jpg"), file("x.jpg")});
    win.dialogs.queueNo();
    win.click(QStringLiteral("cmd_clear"));
    QCOMPARE(win.photos()->model()->rowCount(), 2);
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_clear"));
    const DialogCall q = win.dialogs.callsOf(DialogCall::YesNo).last();
    QCOMPARE(q.text, QStringLiteral("确定移除所有(共2张)照片?"));
    QCOMPARE(q.icon, MessageIcon::Question);
    QCOMPARE(win.photos()->model()->rowCount(), 0);
    QVERIFY(win.w->photoRows().isEmpty());
    QCOMPARE(win.title(QStringLiteral("pic_box")), QStringLiteral("照片列表"));
    // An empty list asks nothing.
    win.click(QStringLiteral("cmd_clear"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::YesNo).size(), 2);
}

void TestWindow::previewPlacement_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("4000x3000 fills the box") << 4000 << 3000 << QRect(0, 0, 4200, 3150);
    QTest::newRow("3000x4000 centred") << 3000 << 4000 << QRect(916, 0, 2368, 3150);
    QTest::newRow("wide 400x100") << 400 << 100 << QRect(0, 1050, 4200, 1050);
}

void TestWindow::previewPlacement()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QRect, twips);
    const QColor photoColour(20, 160, 30);
    QVERIFY(fixtures::writeJpeg(file("shot.jpg"), width, height, photoColour));
    Window win;
    win.addPhotos({file("shot.jpg")});
    win.selectPhoto(1);
    const pixplot::preview::Placement p = win.w->previewPlacement();
    QCOMPARE(QRect(p.x, p.y, p.width, p.height), twips);

    const qint64 bytes = QFileInfo(file("shot.jpg")).size();
    QCOMPARE(win.title(QStringLiteral("picture_review")),
             QStringLiteral("照片预览 (尺寸%1×%2 大小%3MB)")
                 .arg(width)
                 .arg(height)
                 .arg(bytes / 1024.0 / 1024.0, 0, 'f', 2));
    QCOMPARE(win.get<QLabel>(QStringLiteral("Pictemp"))->toolTip(), file("shot.jpg"));

    // The drawing itself: photo pixels inside the placement, background outside.
    const QImage shown = win.get<QLabel>(QStringLiteral("Pictemp"))->pixmap().toImage();
    const QRect px(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    const QColor centre = shown.pixelColor(px.center());
    QVERIFY2(qAbs(centre.red() - photoColour.red()) < 12 && qAbs(centre.green() - photoColour.green()) < 12,
             qPrintable(centre.name()));
    const QColor background = win.w->palette().color(QPalette::Window);
    if (px.x() > 2)
        QCOMPARE(shown.pixelColor(px.x() / 2, px.center().y()), background);
    if (px.y() > 2)
        QCOMPARE(shown.pixelColor(px.center().x(), px.y() / 2), background);
}

void TestWindow::previewOfVanishedFileStaysEmpty()
{
    QVERIFY(fixtures::writeJpeg(file("gone.jpg"), 400, 300));
    QVERIFY(fixtures::writeJpeg(file("here.jpg"), 400, 300));
    Window win;
    win.addPhotos({file("here.jpg"), file("gone.jpg")});
    win.selectPhoto(1);
    QVERIFY(QFile::remove(file("gone.jpg")));
    win.selectPhoto(2);
    QCOMPARE(win.title(QStringLiteral("picture_review")), QStringLiteral("照片预览 (文件不存在: gone.jpg)"));
    QCOMPARE(win.w->previewPlacement(), pixplot::preview::Placement{});
    const QImage shown = win.get<QLabel>(QStringLiteral("Pictemp"))->pixmap().toImage();
    QCOMPARE(shown.pixelColor(140, 105), win.w->palette().color(QPalette::Window));
}

void TestWindow::progressPanel_data()
{
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("barTwips");
    QTest::newRow("1 of 3") << qint64(1) << qint64(3) << "x 33%" << 1980;
    QTest::newRow("2 of 3 truncates") << qint64(2) << qint64(3) << "x 66%" << 3960;
    QTest::newRow("done") << qint64(3) << qint64(3) << "x 100%" << 6000;
    QTest::newRow("start") << qint64(0) << qint64(5000) << "x 0%" << 0;
}

void TestWindow::progressPanel()
{
    QFETCH(qint64, current);
    QFETCH(qint64, total);
    QFETCH(QString, text);
    QFETCH(int, barTwips);
    Window win;
    auto *panel = win.get<QFrame>(QStringLiteral("pic_info"));
    win.w->ShowProgress(QStringLiteral("x"), current, total);
    QVERIFY(panel->isVisible());
    QCOMPARE(win.get<QLabel>(QStringLiteral("txt_info"))->text(), text);
    QCOMPARE(win.get<QFrame>(QStringLiteral("sp_info"))->width() * 15, barTwips);
    win.w->ShowProgress(QString(), 0, 0);
    QVERIFY(!panel->isVisible());
}

void TestWindow::doubleClickOpensWithDesktopProgram()
{
    QVERIFY(fixtures::writeJpeg(file("open me.jpg"), 20, 20));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    Window win;
    win.addPhotos({file("open me.jpg")});
    QTreeView *v = win.photos();
    const QPoint at = v->visualRect(v->model()->index(0, 0)).center();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first().toLocalFile(), file("open me.jpg"));
}

// ---------------------------------------------------------------- path

void TestWindow::pathLoadsOnlyValidRmcSentences()
{
    const QString path = file("trip.txt");
    QVERIFY(fixtures::writeLines(
        path,
        {
            QStringLiteral("$GPRMC,235959,A,3150.1234,N,11846.5678,E,0.0,0.0,311210,,,A*74"),
            fixtures::rmc("000100", "010111", "3150.2000", "11846.6000", "V"),
            QStringLiteral("$GPGGA,000200,3150.1234,N,11846.5678,E,1,08,1.0,10.0,M,0.0,M,,*47"),
            QStringLiteral("$GPGSA,A,3,01,02,03,,,,,,,,,,1.0,1.0,1.0*30"),
            QString(),
            fixtures::rmc("160000", "010111", "3150.3000", "11846.7000"),
        }));
    Window win;
    win.loadPath(path);
    QVERIFY(win.dialogs.unexpected.isEmpty());
    const DialogCall open = win.dialogs.callsOf(DialogCall::OpenFile).value(0);
    QCOMPARE(open.title, QStringLiteral("打开轨迹路径文件..."));
    QCOMPARE(open.filter, QStringLiteral("NMEA文件(*.txt)|*.txt;*.name;*.nmea;*.log|GPX文件(*.gpx)|*.gpx|所有文件(*)|*"));

    QCOMPARE(win.path()->model()->rowCount(), 2);
    QCOMPARE(win.pathCell(1, 0), QStringLiteral("记录0001"));
    QCOMPARE(win.pathCell(1, 1), QStringLiteral("2011-01-01 07:59:59"));
    QCOMPARE(win.pathCell(1, 2), QStringLiteral("N31°50.1234',E118°46.5678'"));
    QCOMPARE(win.pathCell(2, 0), QStringLiteral("记录0002"));
    // 16:00 UTC is midnight of the next day, written in full.
    QCOMPARE(win.pathCell(2, 1), QStringLiteral("2011-01-02 00:00:00"));
    QCOMPARE(win.w->pathPoints().at(1).offsetSeconds, qint64(16 * 3600 + 1));
    QCOMPARE(win.title(QStringLiteral("Gps_box")),
             QStringLiteral("GPS路径 2个轨迹点 (2011-01-01 07:59:59 到 2011-01-02 00:00:00)"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("共成功加载路径轨迹点 2 个!"));
    QCOMPARE(win.w->session().pathFileBase(), dir->filePath("trip"));
}

void TestWindow::pathWithoutFixesReportsZero()
{
    const QString path = file("empty.name");
    QVERIFY(fixtures::writeLines(
        path, {fixtures::rmc("000100", "010111", "3150.2", "11846.6", "V"), QStringLiteral("garbage line")}));
    Window win;
    win.loadPath(path);
    QCOMPARE(win.path()->model()->rowCount(), 0);
    QCOMPARE(win.title(QStringLiteral("Gps_box")), QStringLiteral("GPS路径"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("共成功加载路径轨迹点 0 个!"));
}

void TestWindow::pathReloadKeepsPathUntilAnotherIsRead_data()
{
    QTest::addColumn<bool>("yes");       // the answer to the reload question
    QTest::addColumn<QString>("chosen"); // the file dialog's answer: "" cancels
    QTest::newRow("no") << false << QString();
    QTest::newRow("yes, then cancel") << true << QString();
    QTest::newRow("yes, then a folder") << true << QStringLiteral(".");
}

// The loaded path stays, with its caption, until another file is read.
void TestWindow::pathReloadKeepsPathUntilAnotherIsRead()
{
    QFETCH(bool, yes);
    QFETCH(QString, chosen);
    const QString path = file("trip.txt");
    QVERIFY(
        fixtures::writeLines(path, {fixtures::rmc("000000", "010510"), fixtures::rmc("000010", "010510")}));
    Window win;
    win.loadPath(path);
    QCOMPARE(win.path()->model()->rowCount(), 2);
    const QString caption = win.title(QStringLiteral("Gps_box"));

    if (!yes) {
        win.dialogs.queueNo();
    } else {
        win.dialogs.queueYes();
        if (chosen.isEmpty())
            win.dialogs.queueCancel();
        else
            win.dialogs.queueFile(dir->filePath(chosen));
    }
    win.click(QStringLiteral("cmd_addname"));
    const DialogCall q = win.dialogs.callsOf(DialogCall::YesNo).last();
    QCOMPARE(q.text, QStringLiteral("路径文件不为空,是否重新加载路径文件?"));
    QCOMPARE(q.icon, MessageIcon::Information);
    QCOMPARE(win.path()->model()->rowCount(), 2);
    QCOMPARE(win.w->pathPoints().size(), 2);
    QCOMPARE(win.title(QStringLiteral("Gps_box")), caption);
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::pathClearKeepsFileBase()
{
    const QString path = file("keep.txt");
    QVERIFY(fixtures::writeLines(path, {fixtures::rmc("000000", "010510")}));
    Window win;
    win.loadPath(path);
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_clearname"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::YesNo).last().text, QStringLiteral("确定移除路径文件?"));
    QCOMPARE(win.path()->model()->rowCount(), 0);
    QCOMPARE(win.title(QStringLiteral("Gps_box")), QStringLiteral("GPS路径"));
    QCOMPARE(win.w->session().pathFileBase(), dir->filePath("keep"));
}

void TestWindow::nameFileWrittenByTrekportLoads()
{
    const QString trekport = testsupport::builtProgram(QStringLiteral("trekport"));
    if (!QFileInfo(trekport).isExecutable())
        QSKIP("trekport is not built in this tree");
    // Two logger points in local time (UTC+8); the second crosses midnight
    // backwards into the previous UTC day and month.
    const QString gtxt = file("track.gtxt");
    QVERIFY(fixtures::writeLines(
        gtxt,
        {
            QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"),
            QStringLiteral("记录002| 标记| 05月01日 07:30:00| N31°12.4000',E121°23.5000'"),
        }));
    const QString name = file("track.name");
    QByteArray out, err;
    const int rc = testsupport::runProgram(trekport,
                                           {QStringLiteral("--import"), gtxt, QStringLiteral("--export-name"),
                                            name, QStringLiteral("--year"), QStringLiteral("2010")},
                                           &out, &err);
    QVERIFY2(rc == 0, err.constData());

    Window win;
    win.loadPath(name);
    QCOMPARE(win.path()->model()->rowCount(), 2);
    QCOMPARE(win.pathCell(1, 1), QStringLiteral("2010-05-12 10:23:45"));
    QCOMPARE(win.pathCell(1, 2), QStringLiteral("N31°12.3456',E121°23.4567'"));
    QCOMPARE(win.pathCell(2, 1), QStringLiteral("2010-05-01 07:30:00"));
    QCOMPARE(win.pathCell(2, 2), QStringLiteral("N31°12.4000',E121°23.5000'"));
}

void TestWindow::conversionHandsPathToNmeaf()
{
    const QString path = file("conv.txt");
    QVERIFY(fixtures::writeLines(
        path,
        {fixtures::rmc("000000", "010510"), fixtures::rmc("000010", "010510", "3151.0000", "11847.0000")}));
    Window win;
    win.click(QStringLiteral("cmd_ct")); // nothing loaded: nothing happens
    QVERIFY(win.w->findChildren<pixplot::NMEAF *>().isEmpty());

    win.loadPath(path);
    win.click(QStringLiteral("cmd_ct"));
    QCOMPARE(win.w->findChildren<pixplot::NMEAF *>().size(), 1);
    pixplot::NMEAF *form = win.w->findChildren<pixplot::NMEAF *>().first();
    QVERIFY(form->isVisible());
    QVERIFY(!form->isModal());
    form->hide();
    win.click(QStringLiteral("cmd_ct"));
    QCOMPARE(win.w->findChildren<pixplot::NMEAF *>().size(), 1);
    QCOMPARE(win.w->findChildren<pixplot::NMEAF *>().first(), form);
    QVERIFY(form->isVisible());
}

void TestWindow::conversionFollowsPathLoadedLater()
{
    QVERIFY(fixtures::writeLines(file("a.txt"), {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                                 fixtures::rmc("000010", "010510", "3150.1000", "11846.1000")}));
    QVERIFY(fixtures::writeLines(file("b.txt"), {fixtures::rmc("010000", "020510", "2230.0000", "11400.0000"),
                                                 fixtures::rmc("010010", "020510", "2230.6000", "11400.6000"),
                                                 fixtures::rmc("010020", "020510", "2231.2000", "11401.2000")}));
    Window win;
    win.loadPath(file("a.txt"));
    win.click(QStringLiteral("cmd_ct"));
    pixplot::NMEAF *form = win.w->findChild<pixplot::NMEAF *>();
    QVERIFY(form && form->isVisible());
    // The conversion window stays open while another path is loaded.
    win.dialogs.queueYes();
    win.loadPath(file("b.txt"));
    QTest::mouseClick(form->cmd_kml, Qt::LeftButton);
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("KML文件已保存到\r\n%1！\r\n\r\n共 3个轨迹点。").arg(file("b.kml")));
    QVERIFY(!QFileInfo::exists(file("a.kml")));
    const QString kml = QString::fromUtf8(testsupport::readAll(file("b.kml")));
    QVERIFY(kml.contains(QStringLiteral("114.02,22.52,0")));
    QVERIFY(kml.contains(QStringLiteral("2010-05-02 09:00:00 to 2010-05-02 09:00:20")));
    QVERIFY(!kml.contains(QStringLiteral("118.")));
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::pathLoadFailureNamesReasonAndCount_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("opening"); // the message starts so
    QTest::addColumn<QString>("ending");  // and ends so
    QTest::addColumn<MessageIcon>("icon");
    const QByteArray head = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                            "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n"
                            "<trkpt lat=\"31.5\" lon=\"118.5\"><time>2010-05-01T00:00:00Z</time></trkpt>\n"
                            "<trkpt lat=\"31.6\" lon=\"118.6\"><time>2010-05-01T00:00:10Z</time></trkpt>\n";
    QTest::newRow("whole") << head + "</trkseg></trk></gpx>\n" << QStringLiteral("共成功加载路径轨迹点 2 个!")
                           << QStringLiteral("2 个!") << MessageIcon::Information;
    QTest::newRow("broken off") << head + "<trkpt lat=\"31.7\" lo"
                                << QStringLiteral("路径文件未能完整读取：\r\n%1\r\n原因：Premature end of document")
                                << QStringLiteral("只加载了出错前的 2 个轨迹点，其余未加载。")
                                << MessageIcon::Warning;
}

void TestWindow::pathLoadFailureNamesReasonAndCount()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, opening);
    QFETCH(QString, ending);
    QFETCH(MessageIcon, icon);
    QVERIFY(fixtures::writeFile(file("trip.gpx"), content));
    Window win;
    win.loadPath(file("trip.gpx"));
    // What was read before the fault is shown.
    QCOMPARE(win.path()->model()->rowCount(), 2);
    const DialogCall info = win.dialogs.callsOf(DialogCall::Info).last();
    const QString start = opening.contains(QLatin1String("%1")) ? opening.arg(file("trip.gpx")) : opening;
    QVERIFY2(info.text.startsWith(start) && info.text.endsWith(ending), qPrintable(info.text));
    QCOMPARE(info.icon, icon);
}

// ------------------------------------------------------ clock and matching

void TestWindow::offsetStepping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("hours up wraps") << 0 << "23"
                                    << "00";
    QTest::newRow("hours up") << 0 << "08"
                              << "09";
    QTest::newRow("hours down wraps") << 3 << "00"
                                      << "23";
    QTest::newRow("minutes down wraps") << 4 << "00"
                                        << "59";
    QTest::newRow("minutes up wraps") << 1 << "59"
                                      << "00";
    QTest::newRow("seconds up") << 2 << "09"
                                << "10";
    QTest::newRow("seconds down") << 5 << "10"
                                  << "09";
    QTest::newRow("single digit") << 2 << "7"
                                  << "08";
}

void TestWindow::offsetStepping()
{
    QFETCH(int, index);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Window win;
    auto *field = win.get<QLineEdit>(QStringLiteral("tzt_%1").arg(index % 3));
    field->setText(before);
    win.click(QStringLiteral("tzc_%1").arg(index));
    QCOMPARE(field->text(), after);
}

void TestWindow::toleranceStepping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("+10 at 590") << 0 << "590"
                                << "600";
    QTest::newRow("+10 at 591") << 0 << "591"
                                << "0";
    QTest::newRow("+10 at 120") << 0 << "120"
                                << "130";
    QTest::newRow("-10 at 9") << 1 << "9"
                              << "600";
    QTest::newRow("-10 at 10") << 1 << "10"
                               << "0";
    QTest::newRow("+1 at 600") << 2 << "600"
                               << "0";
    QTest::newRow("+1 at 599") << 2 << "599"
                               << "600";
    QTest::newRow("-1 at 0") << 3 << "0"
                             << "600";
    QTest::newRow("-1 at 1") << 3 << "1"
                             << "0";
}

void TestWindow::toleranceStepping()
{
    QFETCH(int, index);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Window win;
    auto *wct = win.get<QLineEdit>(QStringLiteral("wct"));
    wct->setText(before);
    win.click(QStringLiteral("wcc_%1").arg(index));
    QCOMPARE(wct->text(), after);
}

void TestWindow::signCaptionFollowsCheckBox()
{
    Window win;
    auto *sign = win.get<QCheckBox>(QStringLiteral("tz_f"));
    QCOMPARE(sign->text(), QStringLiteral("+"));
    win.clickCheck(QStringLiteral("tz_f"));
    QVERIFY(sign->isChecked());
    QCOMPARE(sign->text(), QStringLiteral("-"));
    win.clickCheck(QStringLiteral("tz_f"));
    QCOMPARE(sign->text(), QStringLiteral("+"));
}

void TestWindow::fieldsRefuseNonNumericInput()
{
    Window win;
    auto *hours = win.get<QLineEdit>(QStringLiteral("tzt_0"));
    hours->clear();
    QTest::keyClicks(hours, QStringLiteral("2x5"));
    QCOMPARE(hours->text(), QStringLiteral("2")); // 25 is no hour
    auto *minutes = win.get<QLineEdit>(QStringLiteral("tzt_1"));
    minutes->clear();
    QTest::keyClicks(minutes, QStringLiteral("a59"));
    QCOMPARE(minutes->text(), QStringLiteral("59"));
    auto *wct = win.get<QLineEdit>(QStringLiteral("wct"));
    wct->clear();
    QTest::keyClicks(wct, QStringLiteral("7y00"));
    QCOMPARE(wct->text(), QStringLiteral("70"));
    wct->clear();
    QTest::keyClicks(wct, QStringLiteral("600"));
    QCOMPARE(wct->text(), QStringLiteral("600"));
}

void TestWindow::correctionAlwaysFromCameraTime()
{
    QVERIFY(fixtures::writeJpeg(file("cam.jpg"), 20, 20));
    QVERIFY(fixtures::writeJpeg(file("late.jpg"), 20, 20));
    QVERIFY(fixtures::writeJpeg(file("none.jpg"), 20, 20));
    QVERIFY(fixtures::setExifTimes(
        {{file("cam.jpg"), "2010:05:01 14:03:22"}, {file("late.jpg"), "2010:12:31 23:30:00"}}));
    Window win;
    win.addPhotos({file("cam.jpg"), file("none.jpg"), file("late.jpg")});
    const int infosBefore = int(win.dialogs.callsOf(DialogCall::Info).size());
    win.get<QLineEdit>(QStringLiteral("tzt_0"))->setText(QStringLiteral("01"));
    win.click(QStringLiteral("cmd_tedit"));
    win.click(QStringLiteral("cmd_tedit"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 15:03:22"));
    QCOMPARE(win.photoCell(2, 1), QString());
    QCOMPARE(win.photoCell(3, 1), QStringLiteral("2011-01-01 00:30:00"));
    QCOMPARE(win.w->photoRows().at(0).record.shotTime, QStringLiteral("2010-05-01 14:03:22"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("修正相机时间: +01:00:00"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).size(), infosBefore + 2);
    QVERIFY(win.get<QWidget>(QStringLiteral("tzbox"))->isEnabled());

    win.clickCheck(QStringLiteral("tz_f"));
    win.get<QLineEdit>(QStringLiteral("tzt_1"))->setText(QStringLiteral("30"));
    win.get<QLineEdit>(QStringLiteral("tzt_2"))->setText(QStringLiteral("5"));
    win.click(QStringLiteral("cmd_tedit"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 12:33:17"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("修正相机时间: -01:30:05"));

    // All fields "00": the camera's time again, without a message.
    for (int k = 0; k < 3; ++k)
        win.get<QLineEdit>(QStringLiteral("tzt_%1").arg(k))->setText(QStringLiteral("00"));
    win.click(QStringLiteral("cmd_tedit"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 14:03:22"));
    QCOMPARE(win.photoCell(3, 1), QStringLiteral("2010-12-31 23:30:00"));
    QCOMPARE(win.dialogs.callsOf(DialogCall::Info).size(), infosBefore + 3);
}

void TestWindow::matchingPicksNearestPoint_data()
{
    QTest::addColumn<QString>("photoTime"); // local (UTC + 8)
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<int>("point"); // 0: no position
    // Path points at offsets 0, 10, 20 and 1000 s from 08:00:00.
    QTest::newRow("t 15 ties to the later point") << "2010:05:01 08:00:15"
                                                  << "120" << 3;
    QTest::newRow("t 14 nearer the earlier") << "2010:05:01 08:00:14"
                                             << "120" << 2;
    QTest::newRow("start of the path") << "2010:05:01 08:00:00"
                                       << "0" << 1;
    QTest::newRow("gap 120 within 120") << "2010:05:01 08:02:20"
                                        << "120" << 3;
    QTest::newRow("gap 121 beyond 120") << "2010:05:01 08:02:21"
                                        << "120" << 0;
    QTest::newRow("gap 121 within 121") << "2010:05:01 08:02:21"
                                        << "121" << 3;
    QTest::newRow("1 s past the period fails at 600") << "2010:05:01 08:16:41"
                                                      << "600" << 0;
    QTest::newRow("before the path") << "2010:05:01 07:59:59"
                                     << "600" << 0;
    QTest::newRow("last point") << "2010:05:01 08:16:40"
                                << "0" << 4;
}

void TestWindow::matchingPicksNearestPoint()
{
    QFETCH(QString, photoTime);
    QFETCH(QString, tolerance);
    QFETCH(int, point);
    const QString path = file("path.txt");
    QVERIFY(fixtures::writeLines(path,
                                 {
                                     fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                     fixtures::rmc("000010", "010510", "3150.1000", "11846.1000"),
                                     fixtures::rmc("000020", "010510", "3150.2000", "11846.2000"),
                                     fixtures::rmc("001640", "010510", "3150.3000", "11846.3000"),
                                 }));
    QVERIFY(fixtures::writePhoto(file("p.jpg"), photoTime, 16, 16));
    Window win;
    win.addPhotos({file("p.jpg")});
    win.loadPath(path);
    win.get<QLineEdit>(QStringLiteral("wct"))->setText(tolerance);
    win.click(QStringLiteral("cmd_plgoto"));
    const QString expected = point == 0 ? QString() : win.pathCell(point, 2);
    QCOMPARE(win.photoCell(1, 2), expected);
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("需要添加坐标 1个;\r\n自动匹配并添加坐标 %1个;\r\n失败(超周期或误差) %2个!")
                 .arg(point ? 1 : 0)
                 .arg(point ? 0 : 1));
}

void TestWindow::matchingSummaryCountsExifPhotosOnly()
{
    const QString path = file("path.txt");
    QVERIFY(fixtures::writeLines(path,
                                 {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                  fixtures::rmc("001000", "010510", "3150.5000", "11846.5000")}));
    QList<QPair<QString, QString>> times;
    QStringList files;
    const char *stamps[5] = {"2010:05:01 08:00:30", "2010:05:01 07:00:00", "2010:05:01 08:09:00",
                             "2010:05:01 08:10:00", "2010:05:01 09:00:00"};
    for (int i = 0; i < 5; ++i) {
        const QString f = file(QStringLiteral("m%1.jpg").arg(i));
        QVERIFY(fixtures::writeJpeg(f, 16, 16));
        times.append({f, QString::fromLatin1(stamps[i])});
        files << f;
    }
    QVERIFY(fixtures::writeJpeg(file("noexif.jpg"), 16, 16));
    QVERIFY(fixtures::setExifTimes(times));
    files.insert(2, file("noexif.jpg"));

    Window win;
    win.addPhotos(files);
    win.loadPath(path);
    // A position given by hand to the photo without EXIF stays untouched.
    win.selectPhoto(3);
    win.selectPathRow(2);
    win.click(QStringLiteral("cmd_hdaddpl"));
    QCOMPARE(win.photoCell(3, 2), QString());

    win.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("需要添加坐标 5个;\r\n自动匹配并添加坐标 3个;\r\n失败(超周期或误差) 2个!"));
    QCOMPARE(win.photoCell(1, 2), win.pathCell(1, 2));
    QCOMPARE(win.photoCell(2, 2), QString());
    QCOMPARE(win.photoCell(4, 2), win.pathCell(2, 2));
    QCOMPARE(win.photoCell(5, 2), win.pathCell(2, 2)); // exactly the last point
    QCOMPARE(win.photoCell(6, 2), QString());          // after the path

    // A later run that fails clears an earlier match.
    win.get<QLineEdit>(QStringLiteral("wct"))->setText(QStringLiteral("0"));
    win.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(win.photoCell(1, 2), QString());
    QCOMPARE(win.photoCell(5, 2), win.pathCell(2, 2));
    QCOMPARE(win.dialogs.lastInfo(),
             QStringLiteral("需要添加坐标 5个;\r\n自动匹配并添加坐标 1个;\r\n失败(超周期或误差) 4个!"));
}

void TestWindow::positionsClearedAndSetByHand()
{
    const QString path = file("path.txt");
    QVERIFY(fixtures::writeLines(path,
                                 {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                  fixtures::rmc("000100", "010510", "3150.5000", "11846.5000")}));
    QVERIFY(fixtures::writeJpeg(file("a.jpg"), 16, 16));
    QVERIFY(fixtures::writeJpeg(file("b.jpg"), 16, 16));
    QVERIFY(fixtures::writeJpeg(file("c.jpg"), 16, 16));
    QVERIFY(fixtures::setExifTimes(
        {{file("a.jpg"), "2010:05:01 08:00:00"}, {file("b.jpg"), "2010:05:01 08:01:00"}}));
    Window win;
    win.addPhotos({file("a.jpg"), file("b.jpg"), file("c.jpg")});
    win.loadPath(path);
    win.click(QStringLiteral("cmd_plgoto"));
    QCOMPARE(win.photoCell(1, 2), win.pathCell(1, 2));
    QCOMPARE(win.photoCell(2, 2), win.pathCell(2, 2));

    win.selectPhoto(2);
    win.click(QStringLiteral("cmd_clrnowpl"));
    QCOMPARE(win.photoCell(2, 2), QString());
    QCOMPARE(win.photoCell(1, 2), win.pathCell(1, 2));

    win.selectPathRow(1);
    win.click(QStringLiteral("cmd_hdaddpl"));
    QCOMPARE(win.photoCell(2, 2), win.pathCell(1, 2));
    win.selectPhoto(3); // no EXIF time: gets nothing
    win.click(QStringLiteral("cmd_hdaddpl"));
    QCOMPARE(win.photoCell(3, 2), QString());

    win.click(QStringLiteral("cmd_plclr"));
    for (int r = 1; r <= 3; ++r)
        QCOMPARE(win.photoCell(r, 2), QString());
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::loadedPathStartsWithFirstPointSelected()
{
    const QString path = file("path.txt");
    QVERIFY(fixtures::writeLines(path,
                                 {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                  fixtures::rmc("000100", "010510", "3150.5000", "11846.5000")}));
    QVERIFY(fixtures::writePhoto(file("a.jpg"), QStringLiteral("2010:05:01 08:00:30"), 16, 16));
    Window win;
    win.addPhotos({file("a.jpg")});
    win.loadPath(path);
    QCOMPARE(win.w->selectedPathRow(), 1);
    // Without choosing a point, the photo takes the selected first one.
    win.click(QStringLiteral("cmd_hdaddpl"));
    QCOMPARE(win.photoCell(1, 2), QStringLiteral("N31°50.0000',E118°46.0000'"));
    // Another choice is kept until the next load.
    win.selectPathRow(2);
    win.click(QStringLiteral("cmd_hdaddpl"));
    QCOMPARE(win.photoCell(1, 2), QStringLiteral("N31°50.5000',E118°46.5000'"));
    win.dialogs.queueYes();
    win.loadPath(path);
    QCOMPARE(win.w->selectedPathRow(), 1);
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestWindow::suggestedShiftAppliedAndMatched()
{
    // Fixes 08:00 to 08:20 at UTC+08:00; the camera kept a time six hours ahead.
    QVERIFY(fixtures::writeLines(file("trip.txt"), {fixtures::rmc("000000", "010510", "3150.0000", "11846.0000"),
                                                    fixtures::rmc("001000", "010510", "3150.5000", "11846.5000"),
                                                    fixtures::rmc("002000", "010510", "3151.0000", "11847.0000")}));
    QVERIFY(fixtures::writePhoto(file("a.jpg"), QStringLiteral("2010:05:01 14:00:00"), 16, 16));
    QVERIFY(fixtures::writePhoto(file("b.jpg"), QStringLiteral("2010:05:01 14:10:00"), 16, 16));
    Window win;
    win.addPhotos({file("a.jpg"), file("b.jpg")});
    win.dialogs.queueFile(file("trip.txt"));
    win.dialogs.queueYes();
    win.click(QStringLiteral("cmd_addname"));
    const QList<DialogCall> asked = win.dialogs.callsOf(DialogCall::YesNo);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().text, QStringLiteral("有 2 张照片不在路径的时间范围内。相机时间若差 -06:00:00，"
                                                "可以匹配 2 张。是否按此修正？"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("需要添加坐标 2个;\r\n自动匹配并添加坐标 2个;\r\n失败(超周期或误差) 0个!"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 08:00:00"));
    QCOMPARE(win.photoCell(2, 2), QStringLiteral("N31°50.5000',E118°46.5000'"));
    // The controls show the correction now in force.
    QVERIFY(win.get<QCheckBox>(QStringLiteral("tz_f"))->isChecked());
    QCOMPARE(win.get<QLineEdit>(QStringLiteral("tzt_0"))->text(), QStringLiteral("06"));
    QVERIFY(win.dialogs.unexpected.isEmpty());

    // A later correction matches again; a position set by hand stays.
    win.selectPhoto(1);
    win.selectPathRow(3);
    win.click(QStringLiteral("cmd_hdaddpl"));
    win.get<QLineEdit>(QStringLiteral("tzt_1"))->setText(QStringLiteral("10"));
    win.click(QStringLiteral("cmd_tedit"));
    QCOMPARE(win.photoCell(2, 1), QStringLiteral("2010-05-01 08:00:00"));
    QCOMPARE(win.photoCell(2, 2), QStringLiteral("N31°50.0000',E118°46.0000'"));
    QCOMPARE(win.photoCell(1, 2), QStringLiteral("N31°51.0000',E118°47.0000'"));
    QVERIFY(!win.photos()->model()->index(0, 2).data(Qt::DecorationRole).isNull());
    QVERIFY(win.photos()->model()->index(1, 2).data(Qt::DecorationRole).isNull());
}

void TestWindow::correctionsPerCamera()
{
    QVERIFY(fixtures::writeTaggedPhoto(file("canon.jpg"), QStringLiteral("2010:05:01 08:00:00"),
                                       {QStringLiteral("-Make=Canon"), QStringLiteral("-Model=Canon EOS 40D")}));
    QVERIFY(fixtures::writePhoto(file("plain.jpg"), QStringLiteral("2010:05:01 08:00:00"), 16, 16));
    Window win;
    win.addPhotos({file("canon.jpg"), file("plain.jpg")});
    QCOMPARE(win.photoCell(1, 3), QStringLiteral("Canon EOS 40D"));
    QCOMPARE(win.photoCell(2, 3), QStringLiteral("未知相机"));
    auto *cameras = win.get<QComboBox>(QStringLiteral("camera_cs"));
    QCOMPARE(cameras->count(), 3);
    QCOMPARE(cameras->itemText(0), QStringLiteral("所有相机"));
    // With two cameras the controls follow the selected photo's.
    win.selectPhoto(2);
    QCOMPARE(cameras->currentText(), QStringLiteral("未知相机"));
    win.selectPhoto(1);
    QCOMPARE(cameras->currentText(), QStringLiteral("Canon EOS 40D"));
    win.get<QLineEdit>(QStringLiteral("tzt_1"))->setText(QStringLiteral("02"));
    win.click(QStringLiteral("cmd_tedit"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 08:02:00"));
    QCOMPARE(win.photoCell(2, 1), QStringLiteral("2010-05-01 08:00:00"));
    // Back on the other camera the fields show its own (none).
    win.selectPhoto(2);
    QCOMPARE(win.get<QLineEdit>(QStringLiteral("tzt_1"))->text(), QStringLiteral("00"));
}

void TestWindow::correctionSentence_data()
{
    QTest::addColumn<bool>("minus");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("camera slow") << false << QStringList{"00", "02", "00"}
                                 << QStringLiteral("相机比GPS慢 2 分 0 秒：照片时间将加上 00:02:00");
    QTest::newRow("camera fast") << true << QStringList{"00", "02", "00"}
                                 << QStringLiteral("相机比GPS快 2 分 0 秒：照片时间将减去 00:02:00");
    QTest::newRow("hours") << true << QStringList{"06", "00", "13"}
                           << QStringLiteral("相机比GPS快 6 小时 0 分 13 秒：照片时间将减去 06:00:13");
    QTest::newRow("none") << true << QStringList{"00", "00", "00"}
                          << QStringLiteral("相机与GPS时间一致：照片时间不变");
}

void TestWindow::correctionSentence()
{
    QFETCH(bool, minus);
    QFETCH(QStringList, fields);
    QFETCH(QString, sentence);
    Window win;
    QVERIFY(!win.get<QCheckBox>(QStringLiteral("tz_f"))->toolTip().isEmpty());
    if (minus)
        win.clickCheck(QStringLiteral("tz_f"));
    for (int k = 0; k < 3; ++k)
        win.get<QLineEdit>(QStringLiteral("tzt_%1").arg(k))->setText(fields.at(k));
    QCOMPARE(win.get<QLabel>(QStringLiteral("clock_text"))->text(), sentence);
}

void TestWindow::syncFromClockPhoto()
{
    QVERIFY(fixtures::writePhoto(file("clock.jpg"), QStringLiteral("2010:05:01 08:02:13"), 16, 16));
    QVERIFY(fixtures::writePhoto(file("later.jpg"), QStringLiteral("2010:05:02 08:02:43"), 16, 16));
    Window win;
    win.addPhotos({file("clock.jpg"), file("later.jpg")});
    win.selectPhoto(1);
    // The GPS on the photo shows 08:00:00 UTC+08:00: the camera is 2 min 13 s fast.
    win.dialogs.queueText(QStringLiteral("2010-05-01T02:00:00+02:00"));
    win.click(QStringLiteral("cmd_sync"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 08:00:00"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("未知相机 的时间修正为 -00:02:13"));
    QCOMPARE(win.get<QLabel>(QStringLiteral("clock_text"))->text(),
             QStringLiteral("相机比GPS快 2 分 13 秒：照片时间将减去 00:02:13"));
    // A time that is none changes nothing.
    win.dialogs.queueText(QStringLiteral("soon"));
    win.click(QStringLiteral("cmd_sync"));
    QVERIFY(win.dialogs.lastInfo().startsWith(QStringLiteral("“soon”不是有效的时间")));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 08:00:00"));
    // A day later the camera is 30 s further ahead: the drift between the two.
    win.selectPhoto(2);
    win.dialogs.queueText(QStringLiteral("2010-05-02 08:00:00"));
    win.click(QStringLiteral("cmd_sync"));
    QCOMPARE(win.dialogs.lastInfo(), QStringLiteral("未知相机 的时间修正为 -00:02:43，漂移 -30.0 秒/天"));
    QCOMPARE(win.photoCell(1, 1), QStringLiteral("2010-05-01 08:00:00"));
    QCOMPARE(win.photoCell(2, 1), QStringLiteral("2010-05-02 08:00:00"));
}

void TestWindow::settingsKeptBetweenRuns()
{
    const QString ini = file("config/pixplot.ini");
    {
        Window win;
        win.w->keepSettingsIn(ini);
        auto *zone = win.get<QComboBox>(QStringLiteral("zone_cs"));
        zone->setCurrentText(QStringLiteral("UTC+02:00"));
        emit zone->activated(0);
        win.get<QLineEdit>(QStringLiteral("wct"))->setText(QStringLiteral("45"));
        win.clickCheck(QStringLiteral("tz_f"));
        win.get<QLineEdit>(QStringLiteral("tzt_1"))->setText(QStringLiteral("03"));
        QVERIFY(fixtures::writePhoto(file("a.jpg"), QStringLiteral("2010:05:01 08:00:00"), 16, 16));
        win.addPhotos({file("a.jpg")});
        win.click(QStringLiteral("cmd_tedit"));
    }
    Window again;
    again.w->keepSettingsIn(ini);
    QCOMPARE(again.w->session().zone().text(), QStringLiteral("UTC+02:00"));
    QCOMPARE(again.get<QLineEdit>(QStringLiteral("wct"))->text(), QStringLiteral("45"));
    QVERIFY(again.get<QCheckBox>(QStringLiteral("tz_f"))->isChecked());
    QCOMPARE(again.get<QLineEdit>(QStringLiteral("tzt_1"))->text(), QStringLiteral("03"));
    // The photo folder is where the next "加入..." starts.
    again.dialogs.queueCancel();
    again.click(QStringLiteral("cmd_add"));
    QCOMPARE(again.dialogs.callsOf(DialogCall::OpenFiles).first().initialDir, dir->path());
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
