// Window `main` without a screen: its controls, fitting the preview to a
// capture, and saving the capture.
#include "testwindows.h"

#include "common/folders.h"
#include "common/programfolder.h"
#include "common/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace areagrab;
using common::DialogCall;

namespace {

QImage stripes(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, (x / 4 + y / 4) % 2 ? qRgb(250, 30, 30) : qRgb(20, 40, 220));
    return img;
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAtTheirPlaces_data();
    void controlsAtTheirPlaces();
    void startsShortWithCommandsOnly();
    void changebigSizesPreviewAndWindow_data();
    void changebigSizesPreviewAndWindow();
    void changebigReplacesPreviousCapture();
    void saveWritesDecodableJpeg_data();
    void saveWritesDecodableJpeg();
    void saveCancelledDoesNothing();
    void overwriteAsksFirst_data();
    void overwriteAsksFirst();
    void failedSaveIsReported();
    void saveDisabledBeforeCapture();

private:
    std::unique_ptr<testwin::FormRig> rig_;
    MainForm *form = nullptr;
    common::ScriptedDialogs *dialogs = nullptr;
};

void TestMainForm::init()
{
    rig_ = std::make_unique<testwin::FormRig>(std::make_unique<testwin::NoWindows>());
    form = &rig_->form;
    dialogs = &rig_->dialogs;
}

void TestMainForm::cleanup()
{
    rig_.reset();
}

void TestMainForm::controlsAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("Frame3") << "Frame3" << QRect(4, 0, 205, 57) << "";
    QTest::newRow("picSnap") << "picSnap" << QRect(12, 16, 33, 28) << "";
    QTest::newRow("Label1") << "Label1" << QRect(52, 16, 149, 11) << "拖动鼠标到需要捕获的窗口";
    QTest::newRow("chk") << "chk" << QRect(52, 32, 135, 17) << "抓图时隐藏窗体(&M)";
    QTest::newRow("Command2") << "Command2" << QRect(220, 8, 72, 23) << "全屏截图";
    QTest::newRow("Command1") << "Command1" << QRect(220, 32, 72, 23) << "选框截图";
    QTest::newRow("cmdSave") << "cmdSave" << QRect(304, 8, 40, 47) << "图片另存";
    QTest::newRow("pic_img") << "pic_img" << QRect(4, 64, 344, 258) << "";
    QTest::newRow("tem_img") << "tem_img" << QRect(376, 8, 41, 97) << "";
}

void TestMainForm::controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    auto *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(b->text(), text);
    else if (auto *l = qobject_cast<QLabel *>(w); l && !text.isEmpty())
        QCOMPARE(l->text(), text);
}

void TestMainForm::startsShortWithCommandsOnly()
{
    QVERIFY(rig_->show());
    QCOMPARE(form->objectName(), QStringLiteral("main"));
    QCOMPARE(form->windowTitle(), QStringLiteral("areagrab"));
    QCOMPARE(form->width(), 353);
    QCOMPARE(form->frameGeometry().height(), 85); // 1275 twips
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QVERIFY(form->chk->isChecked());
    QCOMPARE(form->tmr->interval(), 400);
    QVERIFY(!form->tmr->isActive());
    QVERIFY(form->temImage().isNull());
    // The full-size holder lies beyond the client area.
    QVERIFY(form->tem_img->x() >= form->width());
    QCOMPARE(form->Frame3->title(), QString());
    QVERIFY(!form->picSnap->pixmap().isNull());
    QCOMPARE(form->picSnap->pixmap().size(), QSize(29, 24));
}

void TestMainForm::changebigSizesPreviewAndWindow_data()
{
    QTest::addColumn<QSize>("capture");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<int>("windowHeight");
    QTest::newRow("small, natural size") << QSize(100, 50) << false << QSize(100, 50) << 144;
    QTest::newRow("exactly box height") << QSize(200, 258) << true << QSize(200, 258) << 352;
    QTest::newRow("wide") << QSize(688, 200) << true << QSize(344, 100) << 194;
    QTest::newRow("whole screen") << QSize(1280, 1024) << true << QSize(323, 258) << 352;
    QTest::newRow("tall") << QSize(100, 516) << true << QSize(50, 258) << 352;
}

void TestMainForm::changebigSizesPreviewAndWindow()
{
    QFETCH(QSize, capture);
    QFETCH(bool, scaled);
    QFETCH(QSize, preview);
    QFETCH(int, windowHeight);
    QVERIFY(rig_->show());
    const QImage image = stripes(capture.width(), capture.height());
    rig_->captureViaClipboard(image);
    QCOMPARE(form->temImage().convertToFormat(QImage::Format_RGB32), image);
    QCOMPARE(form->tem_img->size(), capture);
    QCOMPARE(form->pic_img->hasScaledContents(), scaled);
    QCOMPARE(form->pic_img->size(), preview);
    QCOMPARE(form->pic_img->pixmap().size(), capture);
    QTRY_COMPARE(form->frameGeometry().height(), windowHeight);
    QCOMPARE(form->width(), 353);
}

void TestMainForm::changebigReplacesPreviousCapture()
{
    rig_->captureViaClipboard(stripes(1280, 1024));
    QCOMPARE(form->pic_img->size(), QSize(323, 258));
    const QImage small = stripes(30, 20).mirrored();
    rig_->captureViaClipboard(small);
    QCOMPARE(form->temImage().convertToFormat(QImage::Format_RGB32), small);
    QCOMPARE(form->pic_img->size(), QSize(30, 20));
    QVERIFY(!form->pic_img->hasScaledContents());
    QCOMPARE(form->height(), 114); // (300 + 1410) / 15
}

void TestMainForm::saveWritesDecodableJpeg_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension") << "截图"
                                  << "截图.jpg";
    QTest::newRow("ends in a dot") << "截图."
                                   << "截图.jpg";
    QTest::newRow("dot file") << ".shot"
                              << ".shot.jpg";
    QTest::newRow(".jpg") << "a.jpg"
                          << "a.jpg";
    QTest::newRow("other extension kept") << "a.jpeg"
                                          << "a.jpeg";
}

void TestMainForm::saveWritesDecodableJpeg()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QTemporaryDir dir;
    rig_->captureViaClipboard(stripes(123, 45));
    const QString path = dir.filePath(saved);
    dialogs->queueFile(dir.filePath(typed));
    const QString start = common::rememberedFolder(common::FolderKind::Captures);
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->unexpected.isEmpty());
    const auto saves = dialogs->callsOf(DialogCall::SaveFile);
    QCOMPARE(saves.size(), 1);
    QCOMPARE(saves[0].filter, QStringLiteral("位图文件 (*.jpg)|*.jpg"));
    // Where captures went last, never beside the program.
    QCOMPARE(saves[0].initialDir, start);
    QVERIFY(start != common::programFolder());
    QCOMPARE(common::rememberedFolder(common::FolderKind::Captures), dir.path());
    QVERIFY(dialogs->callsOf(DialogCall::YesNo).isEmpty());
    QVERIFY(dialogs->callsOf(DialogCall::Info).isEmpty());
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage back = reader.read();
    QCOMPARE(back.size(), QSize(123, 45));
    // Quality 80 keeps the stripes: a pixel well inside a red block is red.
    const QColor c = back.pixelColor(5, 1);
    QVERIFY2(c.red() > 200 && c.blue() < 80, qPrintable(c.name()));
}

void TestMainForm::saveCancelledDoesNothing()
{
    QTemporaryDir dir;
    rig_->captureViaClipboard(stripes(10, 10));
    dialogs->queueCancel();
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->unexpected.isEmpty());
    QCOMPARE(dialogs->calls.size(), 1);
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestMainForm::overwriteAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no keeps the old bytes") << false;
    QTest::newRow("yes replaces") << true;
}

void TestMainForm::overwriteAsksFirst()
{
    QFETCH(bool, yes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.jpg"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old bytes");
    }
    rig_->captureViaClipboard(stripes(40, 30));
    dialogs->queueFile(path);
    yes ? dialogs->queueYes() : dialogs->queueNo();
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->unexpected.isEmpty());
    const auto asks = dialogs->callsOf(DialogCall::YesNo);
    QCOMPARE(asks.size(), 1);
    QCOMPARE(asks[0].text, QStringLiteral("文件已经存在，是否覆盖文件？"));
    QCOMPARE(asks[0].title, QStringLiteral("询问"));
    QCOMPARE(asks[0].icon, common::MessageIcon::Question);
    QVERIFY(dialogs->callsOf(DialogCall::Info).isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    if (yes)
        QCOMPARE(QImageReader(path).size(), QSize(40, 30));
    else
        QCOMPARE(testsupport::readAll(path), QByteArray("old bytes"));
}

void TestMainForm::failedSaveIsReported()
{
    QTemporaryDir dir;
    // A folder that cannot exist: its parent is a plain file (even root
    // cannot write there).
    const QString blocker = dir.filePath(QStringLiteral("plainfile"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString path = blocker + QStringLiteral("/shot.jpg");
    rig_->captureViaClipboard(stripes(40, 30));
    dialogs->queueFile(path);
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->unexpected.isEmpty());
    const auto infos = dialogs->callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), 1);
    QCOMPARE(infos[0].text,
             QStringLiteral("图片保存失败：\r\n") + path
                 + QStringLiteral("\r\n原因：路径中有一项不是文件夹"));
    QCOMPARE(infos[0].title, QStringLiteral("系统"));
    QCOMPARE(infos[0].icon, common::MessageIcon::Information);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("plainfile")});
    QCOMPARE(testsupport::readAll(blocker), QByteArray("x"));
}

void TestMainForm::saveDisabledBeforeCapture()
{
    QVERIFY(!form->cmdSave->isEnabled());
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->calls.isEmpty());
    rig_->captureViaClipboard(stripes(10, 10));
    QVERIFY(form->cmdSave->isEnabled());
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
