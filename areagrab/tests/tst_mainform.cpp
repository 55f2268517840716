// Window `main` without a screen: its controls, fitting the preview to a
// capture, and saving the capture.
#include "testwindows.h"

#include "ui/annotateform.h"
#include "ui/annotationcanvas.h"
#include "ui/textform.h"
#include "common/clock.h"
#include "common/folders.h"
#include "common/programfolder.h"
#include "common/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QToolButton>
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
    void otherSuffixRefusedWithTheList();
    void tabGoesThroughEveryControl();
    void marksAreBurnedIn();
    void textMarkTakesTypedWords();
    void copyPutsTheCaptureOnTheClipboard();
    void readTextShowsIt();
    void missingLanguagePackSaysSo();
    void delayWaitsBeforeFreezing();
    void noRealScreenIsRefused();

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
    QTest::newRow("chkAllScreens") << "chkAllScreens" << QRect() << "全部显示器";
    QTest::newRow("cmdEdit") << "cmdEdit" << QRect() << "标注";
    QTest::newRow("cmdCopy") << "cmdCopy" << QRect() << "复制";
    QTest::newRow("cmdOcr") << "cmdOcr" << QRect() << "识别文字";
}

void TestMainForm::controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QVERIFY(rig_->show());
    auto *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    if (geometry.isValid())
        QCOMPARE(w->geometry(), geometry);
    else // inside the strip, laid out by it
        QVERIFY(form->toolStrip->isAncestorOf(w) && form->toolStrip->rect().contains(w->geometry()));
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
    QCOMPARE(form->frameGeometry().height(), 85 + 28); // 1275 twips and the strip
    // The strip lies below the Part's controls, across the whole width.
    QCOMPARE(form->toolStrip->geometry(), QRect(0, form->height() - 28, 353, 28));
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
    // The Part's heights and the strip's 28 pixels.
    QTest::newRow("small, natural size") << QSize(100, 50) << false << QSize(100, 50) << 144 + 28;
    QTest::newRow("exactly box height") << QSize(200, 258) << true << QSize(200, 258) << 352 + 28;
    QTest::newRow("wide") << QSize(688, 200) << true << QSize(344, 100) << 194 + 28;
    QTest::newRow("whole screen") << QSize(1280, 1024) << true << QSize(323, 258) << 352 + 28;
    QTest::newRow("tall") << QSize(100, 516) << true << QSize(50, 258) << 352 + 28;
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
    QCOMPARE(form->toolStrip->geometry(), QRect(0, form->height() - 28, 353, 28));
    QVERIFY(form->toolStrip->y() >= form->pic_img->geometry().bottom());
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
    QCOMPARE(form->height(), 114 + 28); // (300 + 1410) / 15 and the strip
}

void TestMainForm::saveWritesDecodableJpeg_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("no extension") << "截图"
                                  << "截图.jpg" << QByteArray("jpeg");
    QTest::newRow("ends in a dot") << "截图."
                                   << "截图.jpg" << QByteArray("jpeg");
    QTest::newRow("dot file") << ".shot"
                              << ".shot.jpg" << QByteArray("jpeg");
    QTest::newRow(".jpg") << "a.jpg"
                          << "a.jpg" << QByteArray("jpeg");
    QTest::newRow("other extension kept") << "a.jpeg"
                                          << "a.jpeg" << QByteArray("jpeg");
    QTest::newRow("png") << "a.png"
                         << "a.png" << QByteArray("png");
    QTest::newRow("webp") << "a.webp"
                          << "a.webp" << QByteArray("webp");
}

void TestMainForm::saveWritesDecodableJpeg()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QFETCH(QByteArray, format);
    QTemporaryDir dir;
    common::clock::setFixed(QDateTime(QDate(2026, 12, 8), QTime(15, 30, 12)));
    rig_->captureViaClipboard(stripes(123, 45));
    const QString path = dir.filePath(saved);
    dialogs->queueFile(dir.filePath(typed));
    const QString start = common::rememberedFolder(common::FolderKind::Captures);
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QVERIFY(dialogs->unexpected.isEmpty());
    const auto saves = dialogs->callsOf(DialogCall::SaveFile);
    QCOMPARE(saves.size(), 1);
    QCOMPARE(saves[0].filter,
             QStringLiteral("位图文件 (*.jpg)|*.jpg|PNG 图片 (*.png)|*.png|WebP 图片 (*.webp)|*.webp"));
    // A name offered, after the time of saving, where captures went last
    // (never beside the program).
    QCOMPARE(saves[0].initialDir, start + QStringLiteral("/截图_20261208_153012.jpg"));
    QVERIFY(start != common::programFolder());
    QCOMPARE(common::rememberedFolder(common::FolderKind::Captures), dir.path());
    common::clock::clearFixed();
    QVERIFY(dialogs->callsOf(DialogCall::YesNo).isEmpty());
    QVERIFY(dialogs->callsOf(DialogCall::Info).isEmpty());
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
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

void TestMainForm::otherSuffixRefusedWithTheList()
{
    QTemporaryDir dir;
    rig_->captureViaClipboard(stripes(10, 10));
    const QString path = dir.filePath(QStringLiteral("a.bmp"));
    dialogs->queueFile(path);
    QTest::mouseClick(form->cmdSave, Qt::LeftButton);
    QCOMPARE(dialogs->lastInfo(),
             QStringLiteral("不支持的文件类型：%1（可用的后缀：.png、.jpg、.jpeg、.webp）").arg(path));
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestMainForm::tabGoesThroughEveryControl()
{
    QVERIFY(rig_->show());
    rig_->captureViaClipboard(stripes(10, 10));
    QApplication::setActiveWindow(form);
    form->chk->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form->chk);
    QStringList visited;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited,
             (QStringList{"Command2", "Command1", "cmdSave", "cboDelay", "chkAllScreens", "cmdEdit",
                          "cmdCopy", "cmdOcr", "chk"}));
}

void TestMainForm::marksAreBurnedIn()
{
    QVERIFY(rig_->show());
    const QImage capture = stripes(200, 150);
    rig_->captureViaClipboard(capture);
    QTest::mouseClick(form->cmdEdit, Qt::LeftButton);
    AnnotateForm *editor = form->editor();
    QVERIFY(editor && QTest::qWaitForWindowExposed(editor));
    QVERIFY(!editor->cmdUndo->isEnabled());
    editor->toolButton(ShapeKind::Rectangle)->click();
    editor->cboColour->setCurrentIndex(4); // black
    QTest::mousePress(editor->canvas, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(editor->canvas, QPoint(40, 30));
    QTest::mouseRelease(editor->canvas, Qt::LeftButton, {}, QPoint(60, 40));
    QCOMPARE(editor->marks().shapes().size(), 1);
    const QImage marked = editor->result();
    QCOMPARE(marked.pixel(10, 10), qRgb(0, 0, 0));
    QCOMPARE(marked.pixel(59, 39), qRgb(0, 0, 0));
    QCOMPARE(marked.pixel(30, 25), capture.pixel(30, 25));
    // Undo and redo through the window's own buttons.
    QTest::mouseClick(editor->cmdUndo, Qt::LeftButton);
    QCOMPARE(editor->result(), capture);
    QVERIFY(editor->cmdRedo->isEnabled());
    QTest::mouseClick(editor->cmdRedo, Qt::LeftButton);
    QCOMPARE(editor->result(), marked);
    // And from the keyboard, with either spelling of redo.
    QApplication::setActiveWindow(editor);
    for (const QKeyCombination redo : {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}) {
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->result(), capture);
        QTest::keyClick(editor, redo.key(), redo.keyboardModifiers());
        QCOMPARE(editor->result(), marked);
    }
    // "复制" takes the marks along.
    QTest::mouseClick(editor->cmdCopy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), marked);
    QTest::mouseClick(editor->cmdDone, Qt::LeftButton);
    QTRY_VERIFY(!form->editor());
    QCOMPARE(form->temImage().convertToFormat(QImage::Format_RGB32), marked);
    QCOMPARE(form->pic_img->pixmap().toImage().convertToFormat(QImage::Format_RGB32), marked);
}

void TestMainForm::textMarkTakesTypedWords()
{
    QVERIFY(rig_->show());
    rig_->captureViaClipboard(stripes(200, 150));
    QTest::mouseClick(form->cmdEdit, Qt::LeftButton);
    AnnotateForm *editor = form->editor();
    QVERIFY(editor);
    editor->toolButton(ShapeKind::Text)->click();
    dialogs->queueText(QStringLiteral("第一步 OK"));
    QTest::mouseClick(editor->canvas, Qt::LeftButton, {}, QPoint(20, 30));
    dialogs->queueCancel();
    QTest::mouseClick(editor->canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QVERIFY(dialogs->unexpected.isEmpty());
    QCOMPARE(dialogs->callsOf(DialogCall::Input).size(), 2);
    QCOMPARE(editor->marks().shapes().size(), 1);
    const Shape &text = editor->marks().shapes().first();
    QCOMPARE(text.kind, ShapeKind::Text);
    QCOMPARE(text.text, QStringLiteral("第一步 OK"));
    QCOMPARE(text.points.first(), QPointF(20, 30));
    QTest::mouseClick(editor->cmdCancel, Qt::LeftButton);
    QTRY_VERIFY(!form->editor());
    QCOMPARE(form->temImage().convertToFormat(QImage::Format_RGB32), stripes(200, 150));
}

void TestMainForm::copyPutsTheCaptureOnTheClipboard()
{
    QVERIFY(rig_->show());
    const QImage capture = stripes(64, 48);
    rig_->captureViaClipboard(capture);
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    QTest::mouseClick(form->cmdCopy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), capture);
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    QApplication::setActiveWindow(form);
    QTest::keyClick(form, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), capture);
}

void TestMainForm::readTextShowsIt()
{
    if (!TextReader::missingLanguages().isEmpty())
        QSKIP("the Tesseract language data (tesseract-ocr-chi-sim, -eng) is not installed");
    QVERIFY(rig_->show());
    rig_->captureViaClipboard(testwin::sampleTextImage());
    QSignalSpy done(form, &MainForm::textRead);
    QTest::mouseClick(form->cmdOcr, Qt::LeftButton);
    // The click returns while the engine works on its own thread.
    QVERIFY(form->isReadingText());
    QVERIFY(form->findChild<QProgressDialog *>(QStringLiteral("readProgress")));
    QVERIFY(done.wait(60000));
    QCOMPARE(done.first().at(1).toString(), QString());
    QVERIFY(form->textForm());
    const QString text = form->textForm()->txtResult->toPlainText();
    QVERIFY2(testwin::shareFound(testwin::sampleText(), text) >= 0.95, qPrintable(text));
    QVERIFY(dialogs->calls.isEmpty());
}

void TestMainForm::missingLanguagePackSaysSo()
{
    QTemporaryDir empty;
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", QFile::encodeName(empty.path()));
    rig_->captureViaClipboard(stripes(40, 30));
    QTest::mouseClick(form->cmdOcr, Qt::LeftButton);
    saved.isNull() ? qunsetenv("TESSDATA_PREFIX") : qputenv("TESSDATA_PREFIX", saved);
    QCOMPARE(dialogs->lastInfo(),
             QStringLiteral("缺少文字识别的语言包：chi_sim、eng（在 %1 中没有找到；Debian 上请安装 "
                            "tesseract-ocr-chi-sim tesseract-ocr-eng）")
                 .arg(empty.path()));
    QVERIFY(!form->textForm());
}

void TestMainForm::delayWaitsBeforeFreezing()
{
    QCOMPARE(form->cboDelay->count(), 4);
    QCOMPARE(form->cboDelay->itemText(3), QStringLiteral("10 秒"));
    QVERIFY(rig_->show());
    form->chk->setChecked(false);
    form->cboDelay->setCurrentIndex(1); // 3 s
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!form->temImage().isNull(), 8000);
    QVERIFY2(clock.elapsed() >= 3000, qPrintable(QString::number(clock.elapsed())));
}

void TestMainForm::noRealScreenIsRefused()
{
    // The offscreen platform draws nothing: its screen would be all black.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("a.png"));
    const testwin::Run r =
        testwin::runAreagrab({QStringLiteral("--full"), out}, {{"QT_QPA_PLATFORM", "offscreen"}});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("没有可用的屏幕")), qPrintable(r.err));
    QVERIFY(!QFile::exists(out));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
