#include "ui/catform.h"

#include "core/screenrect.h"
#include "ui/mainform.h"
#include "common/cjkfont.h"
#include "common/desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace areagrab {

SelectionShape::SelectionShape(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("cat_cho"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SelectionShape::setBorderWidth(int width)
{
    if (width == borderWidth_)
        return;
    borderWidth_ = width;
    update();
}

void SelectionShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor red(255, 0, 0);
    const int w = width(), h = height(), b = borderWidth_;
    p.fillRect(0, 0, w, std::min(b, h), red);
    p.fillRect(0, std::max(0, h - b), w, std::min(b, h), red);
    p.fillRect(0, 0, std::min(b, w), h, red);
    p.fillRect(std::max(0, w - b), 0, std::min(b, w), h, red);
}

CatForm::CatForm(MainForm &owner, const QImage &frozen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), owner_(owner),
      frozen_(frozen)
{
    setObjectName(QStringLiteral("catform"));
    setWindowTitle(QStringLiteral("捕捉窗口"));
    setAttribute(Qt::WA_DeleteOnClose);

    cat_cho = new SelectionShape(this);
    cat_cho->hide();

    cat_big = new QLabel(QStringLiteral("0×0"), this);
    cat_big->setObjectName(QStringLiteral("cat_big"));
    cat_big->setAlignment(Qt::AlignCenter);
    cat_big->setAutoFillBackground(true);
    QPalette pal = cat_big->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    cat_big->setPalette(pal);
    cat_big->setFont(common::songTiFont(12));
    cat_big->setFixedSize(int(Selection::LabelWidth), int(Selection::LabelHeight));
    cat_big->move(0, 0);
    cat_big->hide();
    cat_big->installEventFilter(this);
    cat_big->setToolTip(QStringLiteral("单击此处（或按回车）截取框中的区域，Esc 取消"));

    Ti = new QTimer(this);
    Ti->setObjectName(QStringLiteral("Ti"));
    Ti->setInterval(360);
    connect(Ti, &QTimer::timeout, this, &CatForm::Ti_Timer);
}

CatForm::~CatForm()
{
    restoreCursor();
}

void CatForm::Form_Load()
{
    // Every monitor: the frozen picture is the whole virtual desktop. Qt
    // keeps each screen's top-left where the window system has it and
    // scales only what lies within, so a window over several screens is
    // placed from the desktop's device pixels at the primary screen's ratio.
    const QList<QScreen *> screens = QGuiApplication::screens();
    const QScreen *primary = QGuiApplication::primaryScreen();
    const qreal ratio = primary ? primary->devicePixelRatio() : 1.0;
    QRect desktop;
    for (const QScreen *s : screens)
        desktop |= QRect(s->geometry().topLeft(), s->geometry().size() * s->devicePixelRatio());
    QRect geometry = screens.size() > 1
        ? QRect(desktop.topLeft(), QSize(qRound(desktop.width() / ratio), qRound(desktop.height() / ratio)))
        : (primary ? primary->geometry() : QRect());
    if (geometry.isEmpty())
        geometry = QRect(QPoint(0, 0), frozen_.size());
    frozen_.setDevicePixelRatio(coveringRatio(frozen_.size(), geometry.size(), ratio));
    screenHeight_ = geometry.height();
    cat_cho->hide();
    cat_big->hide();
    if (screens.size() > 1) {
        // Full screen means one monitor; a window over all of them is placed
        // by hand, out of the window manager's reach.
        setWindowFlag(Qt::X11BypassWindowManagerHint);
        setGeometry(geometry);
        show();
    } else {
        setGeometry(geometry);
        showFullScreen();
    }
    raise();
    activateWindow();
    setFocus();
    // Esc must arrive even where no window manager hands out the focus.
    grabKeyboard();
}

void CatForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(QPointF(0, 0), frozen_);
}

void CatForm::showSelection()
{
    const FrameRect f = selection_.frame();
    cat_cho->setGeometry(int(std::lround(f.left)), int(std::lround(f.top)), int(std::lround(f.width)),
                         int(std::lround(f.height)));
    const QPointF label = selection_.labelPos();
    cat_big->move(int(std::lround(label.x())), int(std::lround(label.y())));
    cat_big->setText(selection_.caption());
}

void CatForm::mousePressEvent(QMouseEvent *event)
{
    if (capturing_)
        return;
    const QPointF pos = event->position();
    Form_MouseDown(event->buttons(), float(pos.x()), float(pos.y()));
}

void CatForm::mouseMoveEvent(QMouseEvent *event)
{
    if (capturing_)
        return;
    const QPointF pos = event->position();
    Form_MouseMove(event->buttons(), float(pos.x()), float(pos.y()));
}

void CatForm::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    Form_MouseUp(event->button(), float(pos.x()), float(pos.y()));
}

void CatForm::Form_MouseDown(Qt::MouseButtons buttons, float x, float y)
{
    // The left button alone; a press with another button held is no start.
    if (buttons != Qt::LeftButton)
        return;
    selection_.press(x, y);
    cat_cho->show();
    const FrameRect f = selection_.frame();
    cat_cho->setGeometry(int(std::lround(f.left)), int(std::lround(f.top)), 0, 0);
    cat_big->show();
    cat_big->raise();
    if (!crossCursor_) {
        QApplication::setOverrideCursor(Qt::CrossCursor);
        crossCursor_ = true;
    }
    Ti->start();
}

void CatForm::Form_MouseMove(Qt::MouseButtons buttons, float x, float y)
{
    if (buttons != Qt::LeftButton)
        return;
    selection_.drag(x, y, screenHeight_);
    showSelection();
}

void CatForm::Form_MouseUp(Qt::MouseButtons button, float, float)
{
    if (button != Qt::LeftButton)
        return;
    restoreCursor();
    Ti->stop();
    cat_cho->setBorderWidth(1);
}

void CatForm::Ti_Timer()
{
    cat_cho->setBorderWidth(cat_cho->borderWidth() == 1 ? 3 : 1);
}

void CatForm::restoreCursor()
{
    if (crossCursor_) {
        QApplication::restoreOverrideCursor();
        crossCursor_ = false;
    }
}

bool CatForm::eventFilter(QObject *watched, QEvent *event)
{
    // The label's presses must not reach the form, where they would start a
    // new selection.
    if (watched == cat_big) {
        if (event->type() == QEvent::MouseButtonPress) {
            labelPressed_ = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *me = static_cast<QMouseEvent *>(event);
            const bool click = labelPressed_ && me->button() == Qt::LeftButton
                && cat_big->rect().contains(me->position().toPoint());
            labelPressed_ = false;
            if (click)
                cat_big_Click();
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseMove)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CatForm::cat_big_Click()
{
    if (selection_.isEmpty() || capturing_)
        return;
    // A short pause before the capture, as the user lets go of the label.
    capturing_ = true;
    QTimer::singleShot(10, this, [this] {
        const QRect r = selection_.captureRect();
        ScrnCap(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
        cat_cho->hide();
        owner_.changebig(true);
        close();
    });
}

void CatForm::ScrnCap(int left, int top, int right, int bottom)
{
    cat_cho->hide();
    cat_big->hide();
    // The pixels come from the frozen image itself: the same pixels the
    // screen shows under the overlay, without reading the screen again or
    // waiting for the overlay to repaint.
    const QRect logical(left, top, right - left, bottom - top);
    const QRect device =
        logicalToDevice(logical, frozen_.devicePixelRatio()).intersected(QRect(QPoint(0, 0), frozen_.size()));
    common::desktop().setClipboardImage(cropScreen(frozen_, device));
}

void CatForm::keyPressEvent(QKeyEvent *event)
{
    if (capturing_)
        return;
    if (event->key() == Qt::Key_Escape)
        Form_KeyPress(27);
    else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !selection_.isEmpty())
        cat_big_Click(); // the same as a click on the size label
    else
        event->ignore();
}

void CatForm::Form_KeyPress(int keyAscii)
{
    if (keyAscii == 27)
        close();
}

void CatForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void CatForm::Form_Unload()
{
    restoreCursor();
    Ti->stop();
    releaseKeyboard();
    owner_.show();
    owner_.raise();
    owner_.activateWindow();
}

} // namespace areagrab
