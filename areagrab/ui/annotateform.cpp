#include "ui/annotateform.h"

#include "ui/annotationcanvas.h"
#include "common/dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace areagrab {

namespace {

struct Tool {
    ShapeKind kind;
    const char *name;
    const char *caption;
};
const Tool Tools[] = {
    {ShapeKind::Rectangle, "toolRect", "矩形"},  {ShapeKind::Ellipse, "toolEllipse", "椭圆"},
    {ShapeKind::Arrow, "toolArrow", "箭头"},     {ShapeKind::Pen, "toolPen", "画笔"},
    {ShapeKind::Text, "toolText", "文字"},       {ShapeKind::Step, "toolStep", "序号"},
    {ShapeKind::Mosaic, "toolMosaic", "马赛克"}, {ShapeKind::MosaicBrush, "toolMosaicBrush", "马赛克笔"},
};

struct Colour {
    const char *caption;
    QRgb rgb;
};
const Colour Colours[] = {{"红", qRgb(230, 0, 0)},  {"黄", qRgb(255, 200, 0)}, {"绿", qRgb(0, 170, 0)},
                          {"蓝", qRgb(0, 90, 230)}, {"黑", qRgb(0, 0, 0)},     {"白", qRgb(255, 255, 255)}};

QIcon swatch(QRgb rgb)
{
    QPixmap pm(14, 14);
    pm.fill(QColor(rgb));
    QPainter p(&pm);
    p.setPen(Qt::gray);
    p.drawRect(0, 0, 13, 13);
    return QIcon(pm);
}

} // namespace

AnnotateForm::AnnotateForm(const QImage &capture, common::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("annotate"));
    setWindowTitle(QStringLiteral("标注"));

    QHBoxLayout *bar = buildToolBar();
    canvas = new AnnotationCanvas(capture, marks_, this);
    canvas->setTextSource([this]() {
        return dialogs_.getText(this, QStringLiteral("要写在图上的文字："), QStringLiteral("文字"));
    });
    scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setWidget(canvas);
    scroll->setAlignment(Qt::AlignCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(scroll, 1);

    connectControls();

    // As large as the capture, within the screen.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 9 / 10 : QSize(1024, 768);
    const QSize want = canvas->sizeHint() + QSize(40, 80);
    resize(std::clamp(want.width(), 760, std::max(760, room.width())),
           std::clamp(want.height(), 300, std::max(300, room.height())));
    refresh();
}

// The row above the capture: the tools, colour and width, and the buttons.
QHBoxLayout *AnnotateForm::buildToolBar()
{
    auto *bar = new QHBoxLayout;
    bar->setSpacing(4);
    toolGroup_ = new QButtonGroup(this);
    for (const Tool &tool : Tools) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(tool.name));
        button->setText(QString::fromUtf8(tool.caption));
        button->setCheckable(true);
        button->setFocusPolicy(Qt::StrongFocus);
        toolGroup_->addButton(button, int(tool.kind));
        tools_.insert(tool.kind, button);
        bar->addWidget(button);
    }
    tools_.value(ShapeKind::Rectangle)->setChecked(true);

    bar->addSpacing(8);
    auto *colourLabel = new QLabel(QStringLiteral("颜色"), this);
    cboColour = new QComboBox(this);
    cboColour->setObjectName(QStringLiteral("cboColour"));
    for (const Colour &c : Colours)
        cboColour->addItem(swatch(c.rgb), QString::fromUtf8(c.caption), QColor(c.rgb));
    colourLabel->setBuddy(cboColour);
    bar->addWidget(colourLabel);
    bar->addWidget(cboColour);

    auto *widthLabel = new QLabel(QStringLiteral("粗细"), this);
    spnWidth = new QSpinBox(this);
    spnWidth->setObjectName(QStringLiteral("spnWidth"));
    spnWidth->setRange(1, 20);
    spnWidth->setValue(3);
    widthLabel->setBuddy(spnWidth);
    bar->addWidget(widthLabel);
    bar->addWidget(spnWidth);

    bar->addSpacing(8);
    cmdUndo = new QPushButton(QStringLiteral("撤销"), this);
    cmdUndo->setObjectName(QStringLiteral("cmdUndo"));
    cmdRedo = new QPushButton(QStringLiteral("重做"), this);
    cmdRedo->setObjectName(QStringLiteral("cmdRedo"));
    cmdCopy = new QPushButton(QStringLiteral("复制"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdDone = new QPushButton(QStringLiteral("完成"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton *b : {cmdUndo, cmdRedo, cmdCopy, cmdDone, cmdCancel}) {
        b->setAutoDefault(false);
        bar->addWidget(b);
    }
    bar->addStretch(1);
    return bar;
}

void AnnotateForm::connectControls()
{
    connect(toolGroup_, &QButtonGroup::idClicked, this, [this](int id) { canvas->setTool(ShapeKind(id)); });
    connect(cboColour, &QComboBox::currentIndexChanged, this,
            [this] { canvas->setColour(cboColour->currentData().value<QColor>()); });
    canvas->setColour(cboColour->currentData().value<QColor>());
    connect(spnWidth, &QSpinBox::valueChanged, canvas, &AnnotationCanvas::setLineWidth);
    canvas->setLineWidth(spnWidth->value());
    connect(cmdUndo, &QPushButton::clicked, this, &AnnotateForm::undo);
    connect(cmdRedo, &QPushButton::clicked, this, &AnnotateForm::redo);
    connect(cmdCopy, &QPushButton::clicked, this, &AnnotateForm::copyToClipboard);
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(canvas, &AnnotationCanvas::marksChanged, this, &AnnotateForm::refresh);
    new QShortcut(QKeySequence::Undo, this, [this] { undo(); });
    // Both spellings of redo that desktops use.
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this, [this] { redo(); });
    new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, [this] { redo(); });
    new QShortcut(QKeySequence::Copy, this, [this] { copyToClipboard(); });
}

QImage AnnotateForm::result() const
{
    return canvas->rendered();
}

void AnnotateForm::refresh()
{
    cmdUndo->setEnabled(marks_.canUndo());
    cmdRedo->setEnabled(marks_.canRedo());
    canvas->update();
}

void AnnotateForm::undo()
{
    marks_.undo();
    refresh();
}

void AnnotateForm::redo()
{
    marks_.redo();
    refresh();
}

void AnnotateForm::copyToClipboard()
{
    QImage image = result();
    image.setDevicePixelRatio(1.0);
    QApplication::clipboard()->setImage(image);
}

} // namespace areagrab
