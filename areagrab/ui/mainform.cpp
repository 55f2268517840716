#include "ui/mainform.h"

#include "core/fitpreview.h"
#include "common/rounding.h"
#include "core/savename.h"
#include "core/imageformat.h"
#include "core/screenrect.h"
#include "ui/annotateform.h"
#include "ui/catform.h"
#include "ui/textform.h"
#include "ui/wrapbutton.h"
#include "common/clock.h"
#include "common/desktop.h"
#include "common/dialogs.h"
#include "common/folders.h"
#include "common/helpview.h"
#include "common/programfolder.h"
#include "common/safefile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QToolButton>

namespace areagrab {

namespace {

constexpr qint64 ClientWidthTwips = 5295;
// The strip below the preview, in pixels; the window is that much taller
// than its command row and preview alone.
constexpr int ToolStripHeight = 28;
constexpr int DelaySeconds[] = {0, 3, 5, 10};
constexpr int ReadPollMs = 100;
constexpr int PickPollMs = 20;
// How long a hidden or minimized window takes to leave the screen, how long
// windows that were just hidden or closed get before the overlay freezes
// the screen, and how long the whole-screen capture waits before showing
// the window again.
constexpr int LeaveScreenMs = 100;
constexpr int SettleBeforeOverlayMs = 60;
constexpr int ComeBackMs = 60;
// How long each tick of a pick shows its frame.
constexpr int HighlightMs = 400;
// Windows uncovered by the pick frame get this long to repaint before the
// screen is read.
constexpr qint64 RepaintAfterHighlightMs = 60;

void placeTwips(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(common::twipsToPixels(left), common::twipsToPixels(top), common::twipsToPixels(width),
                   common::twipsToPixels(height));
}

// The 29 x 24 target the user drags onto a window.
QPixmap targetPixmap()
{
    QPixmap pm(29, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawEllipse(QRectF(5.5, 3.5, 18, 17));
    p.drawEllipse(QRectF(10.5, 8.5, 8, 7));
    p.setPen(QPen(Qt::red, 1));
    p.drawLine(QPointF(14.5, 0), QPointF(14.5, 24));
    p.drawLine(QPointF(0, 12), QPointF(29, 12));
    return pm;
}

} // namespace

MainForm::MainForm(common::Dialogs &dialogs, WindowSystem &windowSystem, QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), ws_(windowSystem), runner_(windowSystem)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("areagrab"));
    setWindowIcon(QIcon(targetPixmap()));

    buildPickFrame();
    buildCaptureControls();
    buildToolStrip();

    // Tab goes through every control, row by row.
    QWidget *const order[] = {chk,           Command2, Command1, cmdSave, cboDelay,
                              chkAllScreens, cmdEdit,  cmdCopy,  cmdOcr};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    readPoll_.setInterval(ReadPollMs);
    connect(&readPoll_, &QTimer::timeout, this, [this] {
        if (reader_ && readProgress_)
            readProgress_->setValue(reader_->progress());
    });

    pollTimer_.setInterval(PickPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &MainForm::pollPickButton);

    // In the strip right of "图片另存", clear of the buttons.
    common::addHelpButton(this,
                          {QStringLiteral("areagrab"), QStringLiteral("截图"),
                           {common::Library::Qt, common::Library::LibJpegTurbo, common::Library::Tesseract}},
                          QPoint(0, 1))
        ->setFixedSize(11, 16);
    setFixedWidth(common::twipsToPixels(ClientWidthTwips));
    setWindowHeightTwips(InitialWindowHeight);
}

// The target to drag onto a window, and the hide-while-capturing choice.
void MainForm::buildPickFrame()
{
    Frame3 = new QGroupBox(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    placeTwips(Frame3, 60, 0, 3075, 855);

    picSnap = new QLabel(Frame3);
    picSnap->setObjectName(QStringLiteral("picSnap"));
    picSnap->setFrameShape(QFrame::Panel);
    picSnap->setFrameShadow(QFrame::Sunken);
    picSnap->setLineWidth(2);
    picSnap->setAlignment(Qt::AlignCenter);
    picSnap->setPixmap(targetPixmap());
    picSnap->setCursor(Qt::CrossCursor);
    placeTwips(picSnap, 180, 240, 495, 420);
    picSnap->installEventFilter(this);

    Label1 = new QLabel(QStringLiteral("拖动鼠标到需要捕获的窗口"), Frame3);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 780, 240, 2235, 165);

    chk = new QCheckBox(QStringLiteral("抓图时隐藏窗体(&M)"), Frame3);
    chk->setObjectName(QStringLiteral("chk"));
    chk->setChecked(true);
    placeTwips(chk, 780, 480, 2025, 255);
}

// The capture and save buttons, the capture's view and its holder.
void MainForm::buildCaptureControls()
{
    Command2 = new QPushButton(QStringLiteral("全屏截图"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    placeTwips(Command2, 3300, 120, 1080, 345);
    connect(Command2, &QPushButton::clicked, this, &MainForm::Command2_Click);

    Command1 = new QPushButton(QStringLiteral("选框截图"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1, 3300, 480, 1080, 345);
    connect(Command1, &QPushButton::clicked, this, &MainForm::Command1_Click);

    // 40 pixels wide: the caption takes two lines.
    cmdSave = new WrapButton(QStringLiteral("图片另存"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    placeTwips(cmdSave, 4560, 120, 600, 705);
    connect(cmdSave, &QPushButton::clicked, this, &MainForm::cmdSave_Click);
    // Nothing to save before the first capture.
    cmdSave->setEnabled(false);

    pic_img = new QLabel(this);
    pic_img->setObjectName(QStringLiteral("pic_img"));
    pic_img->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(pic_img, 60, 960, 5160, 3870);

    // Full-size holder of the capture, beyond the right edge of the client
    // area, so it is never seen.
    tem_img = new QLabel(this);
    tem_img->setObjectName(QStringLiteral("tem_img"));
    tem_img->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(tem_img, 5640, 120, 615, 1455);

    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    tmr->setInterval(400);
    connect(tmr, &QTimer::timeout, this, &MainForm::tmr_Timer);
}

// The strip below the capture: delay, screens, and what to do with the capture.
void MainForm::buildToolStrip()
{
    toolStrip = new QWidget(this);
    toolStrip->setObjectName(QStringLiteral("toolStrip"));
    auto *strip = new QHBoxLayout(toolStrip);
    strip->setContentsMargins(4, 2, 4, 2);
    strip->setSpacing(3);
    auto *delayLabel = new QLabel(QStringLiteral("延时"), toolStrip);
    cboDelay = new QComboBox(toolStrip);
    cboDelay->setObjectName(QStringLiteral("cboDelay"));
    for (const int seconds : DelaySeconds)
        cboDelay->addItem(QStringLiteral("%1 秒").arg(seconds), seconds);
    cboDelay->setToolTip(QStringLiteral("截图前等待的秒数，好先打开菜单等"));
    delayLabel->setBuddy(cboDelay);
    chkAllScreens = new QCheckBox(QStringLiteral("全部显示器"), toolStrip);
    chkAllScreens->setObjectName(QStringLiteral("chkAllScreens"));
    chkAllScreens->setToolTip(QStringLiteral("“全屏截图”截取所有显示器；不选时截取鼠标所在的显示器"));
    cmdEdit = new QPushButton(QStringLiteral("标注"), toolStrip);
    cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    cmdCopy = new QPushButton(QStringLiteral("复制"), toolStrip);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setToolTip(QStringLiteral("把截图放到剪贴板上（Ctrl+C）"));
    cmdOcr = new QPushButton(QStringLiteral("识别文字"), toolStrip);
    cmdOcr->setObjectName(QStringLiteral("cmdOcr"));
    strip->addWidget(delayLabel);
    strip->addWidget(cboDelay);
    strip->addWidget(chkAllScreens);
    strip->addStretch(1);
    for (QPushButton *b : {cmdEdit, cmdCopy, cmdOcr}) {
        // Just as wide as the caption: the strip shares the window's fixed
        // width, which styles' wide button minimums would overflow.
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 14);
        b->setEnabled(false); // nothing to work on before the first capture
        strip->addWidget(b);
    }
    connect(cmdEdit, &QPushButton::clicked, this, &MainForm::cmdEdit_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &MainForm::cmdCopy_Click);
    connect(cmdOcr, &QPushButton::clicked, this, &MainForm::cmdOcr_Click);
    new QShortcut(QKeySequence::Copy, this, [this] { cmdCopy_Click(); });
}

MainForm::~MainForm()
{
    if (readThread_) {
        reader_->cancel();
        readThread_->wait();
        delete readThread_;
    }
    if (overlay_)
        delete overlay_.data();
    ws_.removeHighlight();
}

CatForm *MainForm::overlay() const
{
    return overlay_.data();
}

AnnotateForm *MainForm::editor() const
{
    return editor_.data();
}

TextForm *MainForm::textForm() const
{
    return textForm_.data();
}

int MainForm::delayMs() const
{
    return cboDelay->currentData().toInt() * 1000;
}

QList<WindowId> MainForm::ownWindowIds() const
{
    QList<WindowId> ids;
    if (const WId id = internalWinId())
        ids.append(WindowId(id));
    if (overlay_ && overlay_->internalWinId())
        ids.append(WindowId(overlay_->internalWinId()));
    return ids;
}

void MainForm::setWindowHeightTwips(qint64 twips)
{
    windowHeightTwips_ = twips;
    applyWindowHeight();
}

void MainForm::applyWindowHeight()
{
    // The height counts the title bar and borders, where a window manager
    // draws them; without one the window is its client area alone. They are
    // known once the window is shown, so showing and moving apply it again.
    int frame = 0;
    if (isVisible())
        frame = std::max(0, frameGeometry().height() - geometry().height());
    const int client = std::max(1, common::twipsToPixels(windowHeightTwips_) + ToolStripHeight - frame);
    if (minimumHeight() != client || maximumHeight() != client)
        setFixedHeight(client);
    placeToolStrip(client);
}

void MainForm::placeToolStrip(int clientHeight)
{
    toolStrip->setGeometry(0, std::max(0, clientHeight - ToolStripHeight), width(), ToolStripHeight);
}

void MainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    applyWindowHeight();
}

void MainForm::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    applyWindowHeight();
}

void MainForm::changebig(bool fromClipboard)
{
    if (fromClipboard)
        temImage_ = runner_.forDisplay(common::desktop().clipboardImage());
    const QSizeF logical = temImage_.isNull() ? QSizeF(0, 0) : temImage_.deviceIndependentSize();
    tem_img->setPixmap(QPixmap::fromImage(temImage_));
    tem_img->resize(logical.toSize());

    const PreviewFit fit =
        fitPreview(common::pixelsToTwips(logical.width()), common::pixelsToTwips(logical.height()));
    pic_img->clear();
    pic_img->setScaledContents(fit.stretch);
    pic_img->resize(common::twipsToPixels(fit.width), common::twipsToPixels(fit.height));
    if (!temImage_.isNull())
        pic_img->setPixmap(QPixmap::fromImage(temImage_));
    setWindowHeightTwips(fit.windowHeight);
    cmdSave->setEnabled(!temImage_.isNull());
    for (QPushButton *b : {cmdEdit, cmdCopy, cmdOcr})
        b->setEnabled(!temImage_.isNull());
}

void MainForm::Command1_Click()
{
    if (isBusy())
        return;
    capturing_ = true;
    hideForCapture([this] {
        if (overlay_)
            overlay_->close();
        // Let the windows that have just been hidden or closed leave the screen.
        after(SettleBeforeOverlayMs,
              [this] { takeScreen([this](const QImage &frozen) { openOverlay(frozen); }); });
    });
}

void MainForm::openOverlay(const QImage &frozen)
{
    capturing_ = false;
    if (frozen.isNull())
        return;
    overlay_ = new CatForm(*this, frozen);
    overlay_->Form_Load();
}

void MainForm::takeScreen(std::function<void(const QImage &)> then)
{
    const QPointer<MainForm> self(this);
    runner_.requestDesktop([self, then = std::move(then)](const ScreenImage &shot) {
        if (!self)
            return;
        if (shot.image.isNull()) {
            self->show();
            self->raise();
            self->dialogs_.inform(self, shot.error, QStringLiteral("系统"), common::MessageIcon::Information);
        }
        then(shot.image);
    });
}

void MainForm::Command2_Click()
{
    if (isBusy())
        return;
    capturing_ = true;
    hideForCapture([this] { takeScreen([this](const QImage &screen) { wholeScreenTaken(screen); }); });
}

void MainForm::hideForCapture(const std::function<void()> &next)
{
    if (!chk->isChecked()) {
        after(delayMs(), next);
        return;
    }
    hide();
    after(LeaveScreenMs + delayMs(), next);
}

void MainForm::wholeScreenTaken(const QImage &desktop)
{
    QImage screen = desktop;
    if (!chkAllScreens->isChecked() && !desktop.isNull()) {
        const QList<QRect> screens = runner_.screens();
        const int under = runner_.screenUnderPointer();
        if (under < screens.size())
            screen = CaptureRunner::cropDesktop({desktop, {}}, desktopOf(screens), screens[under]).image;
    }
    if (screen.isNull()) {
        capturing_ = false;
        return;
    }
    common::desktop().setClipboardImage(screen);
    // The clipboard's own events run before it is read back.
    after(0, [this] {
        changebig(true);
        after(ComeBackMs, [this] {
            show();
            raise();
            activateWindow();
            capturing_ = false;
        });
    });
}

void MainForm::cmdSave_Click()
{
    if (temImage_.isNull())
        return;
    // A name to accept as it is: the time of saving, as screenshot tools do,
    // in the folder captures went to last.
    const QString proposed =
        QDir(common::rememberedFolder(common::FolderKind::Captures))
            .filePath(common::clock::now().toString(QStringLiteral("截图_yyyyMMdd_HHmmss"))
                      + QStringLiteral(".jpg"));
    QString name = dialogs_.getSaveFileName(
        this, QStringLiteral("另存为"), proposed,
        QStringLiteral("位图文件 (*.jpg)|*.jpg|PNG 图片 (*.png)|*.png|WebP 图片 (*.webp)|*.webp"));
    if (name.isEmpty())
        return;
    common::rememberFolder(common::FolderKind::Captures, name);
    // A name typed without an extension gets ".jpg", as desktop programs do.
    name = withDefaultSuffix(name, QStringLiteral("jpg"));
    if (!formatForName(name)) {
        dialogs_.inform(this, unsupportedSuffixMessage(name), QStringLiteral("系统"),
                        common::MessageIcon::Information);
        return;
    }
    // A device or FIFO is never replaced; no question about it either.
    QString reason;
    const common::SaveTarget target = common::checkSaveTarget(name, &reason);
    if (target == common::SaveTarget::Existing
        && !common::confirmOverwrite(dialogs_, this, name, QStringLiteral("询问")))
        return;
    // The user must not believe a capture was saved when it was not.
    if (target != common::SaveTarget::Refused && CaptureRunner::save(temImage_, name, &reason))
        return;
    dialogs_.inform(this, QStringLiteral("图片保存失败：\r\n") + name + QStringLiteral("\r\n原因：") + reason,
                    QStringLiteral("系统"), common::MessageIcon::Information);
}

void MainForm::cmdEdit_Click()
{
    if (temImage_.isNull() || editor_)
        return;
    editor_ = new AnnotateForm(temImage_, dialogs_, this);
    editor_->setAttribute(Qt::WA_DeleteOnClose);
    // A new capture meanwhile would be replaced by this one when it is done.
    editor_->setWindowModality(Qt::WindowModal);
    connect(editor_, &QDialog::accepted, this, [this] {
        // The marks are burned in: saving, copying and reading see them.
        temImage_ = editor_->result();
        changebig(false);
    });
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

void MainForm::cmdCopy_Click()
{
    if (temImage_.isNull())
        return;
    QImage image = temImage_;
    image.setDevicePixelRatio(1.0);
    QApplication::clipboard()->setImage(image);
}

void MainForm::cmdOcr_Click()
{
    if (temImage_.isNull() || reader_)
        return;
    if (const QStringList missing = TextReader::missingLanguages(); !missing.isEmpty()) {
        const QString error = TextReader().read(temImage_).error;
        dialogs_.inform(this, error, QStringLiteral("系统"), common::MessageIcon::Information);
        Q_EMIT textRead({}, error);
        return;
    }
    reader_ = std::make_unique<TextReader>();
    readProgress_ =
        new QProgressDialog(QStringLiteral("正在识别文字……"), QStringLiteral("取消"), 0, 100, this);
    readProgress_->setObjectName(QStringLiteral("readProgress"));
    readProgress_->setWindowTitle(QStringLiteral("识别文字"));
    readProgress_->setMinimumDuration(0);
    readProgress_->setAutoClose(false);
    readProgress_->setAutoReset(false);
    connect(readProgress_, &QProgressDialog::canceled, this, [this] {
        if (reader_)
            reader_->cancel();
    });
    cmdOcr->setEnabled(false);
    // The engine takes seconds: the window keeps answering meanwhile.
    readThread_ = QThread::create([this, image = temImage_] { readResult_ = reader_->read(image); });
    connect(readThread_, &QThread::finished, this, &MainForm::textReadingEnded);
    readThread_->start();
    readPoll_.start();
    readProgress_->show();
}

void MainForm::textReadingEnded()
{
    readPoll_.stop();
    readThread_->deleteLater();
    readThread_ = nullptr;
    const bool cancelled = reader_->isCancelled();
    reader_.reset();
    if (readProgress_) {
        readProgress_->deleteLater();
        readProgress_ = nullptr;
    }
    cmdOcr->setEnabled(!temImage_.isNull());
    const TextResult result = readResult_;
    if (cancelled) {
        // The user knows; no box about it.
    } else if (!result.error.isEmpty()) {
        dialogs_.inform(this, result.error, QStringLiteral("系统"), common::MessageIcon::Information);
    } else {
        if (textForm_)
            textForm_->close();
        textForm_ = new TextForm(result.text, this);
        textForm_->setAttribute(Qt::WA_DeleteOnClose);
        if (result.text.isEmpty())
            textForm_->txtResult->setPlaceholderText(QStringLiteral("截图中没有识别出文字。"));
        textForm_->show();
    }
    Q_EMIT textRead(result.text, result.error);
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == picSnap) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && me->buttons() == Qt::LeftButton) {
                picSnap_MouseDown();
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && pickStep_ != PickStep::Idle
                && pickStep_ != PickStep::Ending) {
                pickReleased();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool MainForm::isPicking() const
{
    return pickStep_ == PickStep::Following || pickStep_ == PickStep::Highlighting
        || pickStep_ == PickStep::Holding;
}

void MainForm::comeBackAfterPick()
{
    if (hiddenForPick_ || isMinimized() || !isVisible())
        showNormal();
    hiddenForPick_ = false;
    show();
    raise();
}

void MainForm::picSnap_MouseDown()
{
    if (isBusy())
        return;
    releasePending_ = false;
    tickPending_ = false;
    if (!ws_.findsWindows()) {
        // Nothing to follow under the cursor: the desktop's own chooser
        // picks once the target is dropped.
        pickStep_ = PickStep::Holding;
        picSnap->grabMouse();
        return;
    }
    pickStep_ = PickStep::Leaving;
    hiddenForPick_ = false;
    const bool leave = chk->isChecked();
    if (leave)
        showMinimized();
    after(leave ? LeaveScreenMs : 0, [this, leave] {
        // Without a window manager nobody minimizes; hiding gets the window
        // out of the way just the same.
        if (leave && ws_.isViewable(WindowId(winId()))) {
            hide();
            hiddenForPick_ = true;
        }
        startFollowing();
    });
}

void MainForm::startFollowing()
{
    temImage_ = QImage();
    tem_img->clear();
    // Only a window found during this pick is captured.
    pickedWindow_ = 0;
    pickRect_ = QRect();
    pickStep_ = PickStep::Following;
    picSnap->grabMouse();
    tmr->start();
    // Once the window is minimized or hidden its mouse grab is gone and the
    // release arrives elsewhere; the button state says when it happened.
    pollTimer_.start();
    if (releasePending_) {
        releasePending_ = false;
        picSnap_MouseUp();
    }
}

void MainForm::pickReleased()
{
    // A release while the window leaves or a frame shows ends the pick once
    // that step is over.
    if (pickStep_ == PickStep::Leaving || pickStep_ == PickStep::Highlighting)
        releasePending_ = true;
    else
        picSnap_MouseUp();
}

void MainForm::pollPickButton()
{
    if (isPicking() && !ws_.leftButtonDown())
        pickReleased();
}

void MainForm::tmr_Timer()
{
    if (pickStep_ == PickStep::Highlighting) {
        tickPending_ = true;
        return;
    }
    if (pickStep_ != PickStep::Following)
        return;
    // Every tick replaces the pick: where no window lies, the desktop does.
    const WindowPick pick = runner_.pickOrDesktop(ws_.cursorPos(), ownWindowIds());
    pickedWindow_ = pick.window;
    pickRect_ = pick.rect;
    if (pickRect_.isEmpty())
        return;
    ws_.highlight(pickRect_);
    pickStep_ = PickStep::Highlighting;
    after(HighlightMs, [this] { endHighlight(); });
}

void MainForm::endHighlight()
{
    ws_.removeHighlight();
    sinceHighlight_.start();
    pickStep_ = PickStep::Following;
    if (releasePending_) {
        releasePending_ = false;
        tickPending_ = false;
        picSnap_MouseUp();
    } else if (tickPending_) {
        // The tick that fell due while the frame showed.
        tickPending_ = false;
        tmr_Timer();
    }
}

void MainForm::picSnap_MouseUp()
{
    if (!isPicking())
        return;
    tmr->stop();
    pollTimer_.stop();
    picSnap->releaseMouse();
    pickStep_ = PickStep::Ending;
    if (!ws_.findsWindows()) {
        pickInDesktopChooser();
        return;
    }
    if (pickedWindow_ == 0 || pickRect_.isEmpty()) {
        comeBackAfterPick();
        endPick();
        return;
    }
    qint64 wait = 0;
    if (sinceHighlight_.isValid())
        wait = std::max<qint64>(0, RepaintAfterHighlightMs - sinceHighlight_.elapsed());
    after(int(wait), [this] {
        temImage_ = runner_.forDisplay(runner_.screenArea(pickRect_).image);
        comeBackAfterPick();
        changebig(false);
        endPick();
    });
}

void MainForm::endPick()
{
    pickStep_ = PickStep::Idle;
    Q_EMIT pickEnded();
}

void MainForm::pickInDesktopChooser()
{
    // Minimizing is no way out of the chooser's way here: some Wayland
    // desktops ignore it, and none says whether it happened.
    const bool hideSelf = chk->isChecked();
    hideForCapture([this, hideSelf] {
        const QPointer<MainForm> self(this);
        ws_.requestWindowImage([self, hideSelf](const ScreenImage &picked) {
            if (self)
                self->windowPicked(picked, hideSelf);
        });
    });
}

void MainForm::windowPicked(const ScreenImage &picked, bool comeBack)
{
    if (comeBack) {
        show();
        raise();
        activateWindow();
    }
    // No pick leaves the preview as it was.
    if (picked.image.isNull()) {
        dialogs_.inform(this, picked.error, QStringLiteral("系统"), common::MessageIcon::Information);
    } else {
        temImage_ = runner_.forDisplay(picked.image);
        changebig(false);
    }
    endPick();
}

} // namespace areagrab
