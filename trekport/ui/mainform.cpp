#include "mainform.h"
#include "trackmap.h"

#include "common/cjkfont.h"
#include "common/clock.h"
#include "common/desktop.h"
#include "common/dialogs.h"
#include "common/folders.h"
#include "common/helpview.h"
#include "common/programfolder.h"
#include "common/safefile.h"
#include "core/gtxtfile.h"
#include "core/gpxexport.h"
#include "core/kmlexport.h"
#include "core/nmeaexport.h"
#include "core/portrules.h"
#include "core/statustext.h"
#include "ui/columnheader.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

namespace trekport {
namespace {
const QString captionOpen = QStringLiteral("打开串口");
const QString captionClose = QStringLiteral("关闭串口");
const QString titleSystem = QStringLiteral("系统");

template <typename W> W *make(QWidget *parent, const char *name, const QRect &geometry)
{
    W *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

// The port box reads the system's ports anew each time its list opens, so
// an adapter plugged in after start is offered.
class PortCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    void refreshItems()
    {
        const QString typed = currentText();
        clear();
        for (const PortItem &item : portComboEntries())
            addItem(item.text, item.port);
        setEditText(typed);
    }
    void showPopup() override
    {
        refreshItems();
        QComboBox::showPopup();
    }
};

// The local files a drag carries.
QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// A bare name typed into a save dialog gets the filter's suffix
// ("trip_track" -> "trip_track.kml"); a file chosen as it is keeps its name.
QString withDefaultSuffix(const QString &path, const QString &filter)
{
    const QFileInfo info(path);
    if (!info.suffix().isEmpty() || info.exists() || info.isSymLink())
        return path;
    const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
    if (star < 0)
        return path;
    const QString suffix = filter.mid(star + 2).section(QLatin1Char(';'), 0, 0);
    return path + QLatin1Char('.') + suffix;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    QPushButton *b = make<QPushButton>(parent, name, geometry);
    b->setText(caption);
    return b;
}
} // namespace

MainForm::MainForm(common::Dialogs &dialogs, const QString &settingsFolder, const QString &userFolder,
                   QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint), dialogs_(dialogs), settings_(settingsFolder, userFolder)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("trekport"));
    setFixedSize(720, 500);
    setFont(common::songTiFont(9, false));
    buildTitleBar();
    buildControls();
    connectHandlers();
    alignLabel3();
    orderTabs();
    Form_Load();
    Timer1->start();
}

void MainForm::buildTitleBar()
{
    movetitle = make<QLabel>(this, "movetitle", QRect(0, 0, 690, 30));
    movetitle->setAutoFillBackground(true);
    movetitle->setStyleSheet(QStringLiteral("background:#2d5f8b;"));
    ImgTitle = make<QLabel>(this, "ImgTitle", QRect(8, 7, 16, 16));
    ImgTitle->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(16, 16));
    ImgTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label1 = make<QLabel>(this, "Label1", QRect(30, 5, 380, 20));
    Label1->setText(QStringLiteral("GPS轨迹记录仪数据下载"));
    Label1->setStyleSheet(QStringLiteral("color:white;"));
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    closeover = make<QToolButton>(this, "closeover", QRect(692, 3, 24, 24));
    closeover->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeover->setAutoRaise(true);
    map_show = make<QToolButton>(this, "map_show", QRect(604, 3, 48, 24));
    map_show->setText(QStringLiteral("地图"));
    map_show->setToolTip(QStringLiteral("在地图上查看轨迹和标记点"));
    map_show->setStyleSheet(QStringLiteral("color:white;"));
    map_show->setAutoRaise(true);
    // Help and About beside the close button, in the title band.
    common::addHelpButton(this,
                          {QStringLiteral("trekport"), QStringLiteral("GPS轨迹记录仪数据下载"),
                           {common::Library::Qt}},
                          QPoint(32, 7))
        ->setStyleSheet(QStringLiteral("QToolButton { color: white; font-weight: bold; }"
                                       "QToolButton::menu-indicator { image: none; width: 0px; }"));

    // Thin bands under the title and along the foot of the window.
    QLinearGradient band(0, 0, 720, 0);
    band.setColorAt(0, QColor(0x2d, 0x5f, 0x8b));
    band.setColorAt(1, QColor(0xd8, 0xe6, 0xf2));
    QPixmap bandPixmap(720, 4);
    QPainter(&bandPixmap).fillRect(bandPixmap.rect(), band);
    Image1 = make<QLabel>(this, "Image1", QRect(0, 30, 720, 4));
    Image1->setPixmap(bandPixmap);
    Image2 = make<QLabel>(this, "Image2", QRect(0, 496, 720, 4));
    Image2->setPixmap(bandPixmap);
}

void MainForm::buildControls()
{
    Label2 = make<QLabel>(this, "Label2", QRect(10, 42, 40, 24));
    Label2->setText(QStringLiteral("COM:"));
    auto *portBox = make<PortCombo>(this, "port_cs", QRect(50, 42, 110, 24));
    port_cs = portBox;
    port_cs->setEditable(true);
    port_cs->setInsertPolicy(QComboBox::NoInsert);
    // The list is wider than the box: device names carry their description.
    port_cs->view()->setMinimumWidth(320);
    portBox->refreshItems();
    port_cs->setCurrentText(QStringLiteral("1"));
    cmd_openp = button(this, "cmd_openp", captionOpen, QRect(170, 40, 80, 28));
    cmd_upload = button(this, "cmd_upload", QStringLiteral("上传数据"), QRect(255, 40, 80, 28));
    inputxt = button(this, "inputxt", QStringLiteral("读取"), QRect(340, 40, 50, 28));
    outputxt = button(this, "outputxt", QStringLiteral("输出"), QRect(395, 40, 50, 28));
    cleardata = button(this, "cleardata", QStringLiteral("清空"), QRect(450, 40, 50, 28));
    name_mk = button(this, "name_mk", QStringLiteral("生成NAME文件"), QRect(505, 40, 100, 28));
    kml_mk = button(this, "kml_mk", QStringLiteral("生成KML文件"), QRect(610, 40, 100, 28));
    // The zone of the logger's clock for the NAME and GPX exports, and the
    // GPX export, in the band between the buttons and the list's header.
    zone_label = make<QLabel>(this, "zone_label", QRect(420, 72, 40, 22));
    zone_label->setText(QStringLiteral("时区:"));
    zone_cs = make<QComboBox>(this, "zone_cs", QRect(460, 71, 140, 22));
    zone_cs->setEditable(true);
    zone_cs->setInsertPolicy(QComboBox::NoInsert);
    zone_cs->addItems(common::TimeZoneSetting::suggestions());
    gpx_mk = button(this, "gpx_mk", QStringLiteral("生成GPX文件"), QRect(610, 70, 100, 24));
    for (QPushButton *b : {cmd_upload, outputxt, cleardata, name_mk, kml_mk, gpx_mk})
        b->setEnabled(false);

    // Narrowed to leave the zone box and the GPX button room beside it.
    Label3 = make<ColumnHeader>(this, "Label3", QRect(10, 76, 400, 20));
    Label3->setText(label3Caption());
    Lis = make<TrackListView>(this, "Lis", QRect(10, 96, 700, 290));
    Lis->setTrackModel(&session_.listModel());
    Lis->setAcceptDrops(true);
    Lis->viewport()->installEventFilter(this);
    txt_sata = make<QPlainTextEdit>(this, "txt_sata", QRect(10, 392, 700, 100));
    txt_sata->setReadOnly(true);
    txt_sata->setPlainText(initialStatusText);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
}

void MainForm::connectHandlers()
{
    connect(cmd_openp, &QPushButton::clicked, this, &MainForm::cmd_openp_Click);
    connect(cmd_upload, &QPushButton::clicked, this, &MainForm::cmd_upload_Click);
    connect(port_cs, &QComboBox::activated, this, &MainForm::onPortActivated);
    connect(port_cs->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString &text) { portTyped_ = text; });
    port_cs->view()->window()->installEventFilter(this);
    connect(closeover, &QToolButton::clicked, this, &MainForm::closeover_Click);
    connect(map_show, &QToolButton::clicked, this, &MainForm::map_show_Click);
    connect(Timer1, &QTimer::timeout, this, &MainForm::Timer1_Timer);
    connect(Lis, &QListView::doubleClicked, this, &MainForm::Lis_DblClick);
    connect(cleardata, &QPushButton::clicked, this, &MainForm::cleardata_Click);
    connect(outputxt, &QPushButton::clicked, this, &MainForm::outputxt_Click);
    connect(inputxt, &QPushButton::clicked, this, &MainForm::inputxt_Click);
    connect(name_mk, &QPushButton::clicked, this, &MainForm::name_mk_Click);
    connect(kml_mk, &QPushButton::clicked, this, &MainForm::kml_mk_Click);
    connect(gpx_mk, &QPushButton::clicked, this, &MainForm::gpx_mk_Click);
    connect(zone_cs, &QComboBox::activated, this, &MainForm::zone_cs_Change);
    connect(zone_cs->lineEdit(), &QLineEdit::editingFinished, this, &MainForm::zone_cs_Change);
    connect(&session_, &TrackSession::pointsAppended, this, &MainForm::onPointsAppended);
    connect(&session_.link(), &LoggerLink::uploadSettled, this, &MainForm::onUploadSettled);
    connect(&session_.link(), &LoggerLink::streamStopped, this,
            [this](const QString &message) { AppendStatus(false, message); });
    connect(&session_.link(), &LoggerLink::deviceLost, this, &MainForm::onDeviceLost);
    movetitle->installEventFilter(this);
}

void MainForm::orderTabs()
{
    // Tab follows the eye: the port row left to right, then the list and
    // the status box.
    setTabOrder(port_cs, cmd_openp);
    setTabOrder(cmd_openp, cmd_upload);
    setTabOrder(cmd_upload, inputxt);
    setTabOrder(inputxt, outputxt);
    setTabOrder(outputxt, cleardata);
    setTabOrder(cleardata, name_mk);
    setTabOrder(name_mk, kml_mk);
    setTabOrder(kml_mk, Lis);
    setTabOrder(Lis, txt_sata);
    setTabOrder(txt_sata, closeover);
}

void MainForm::map_show_Click()
{
    if (!trackMap_)
        trackMap_ = new TrackMap(session_, mapFactory_, this);
    trackMap_->show();
    trackMap_->raise();
}

MainForm::~MainForm()
{
    session_.link().close();
}

QString MainForm::label3Caption()
{
    return QStringLiteral("|数据信息") + QString(5, QLatin1Char(' ')) + QStringLiteral("|日期时间")
        + QString(10, QLatin1Char(' ')) + QStringLiteral("|坐标") + QString(28, QLatin1Char(' '))
        + QStringLiteral("|");
}

QList<int> MainForm::listColumnStops() const
{
    // Where a list line's text starts inside Lis: the frame, then the item
    // view's text margin.
    const int textMargin = Lis->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Lis) + 1;
    const int left = Lis->x() + Lis->frameWidth() + textMargin;
    const QFontMetrics fm(Lis->font());
    // A list line's parts: the record from its start, the time after the
    // second "|", the position after the third, and the line's end.
    const QString sample = QStringLiteral("记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    QList<int> stops;
    for (int index : {0, 9, 26, int(sample.size())})
        stops << left + fm.horizontalAdvance(sample.left(index));
    return stops;
}

void MainForm::alignLabel3()
{
    Label3->setFont(Lis->font());
    QList<int> stops;
    for (int x : listColumnStops())
        stops << x - Label3->x() - Label3->contentsMargins().left();
    static_cast<ColumnHeader *>(Label3)->setStops(stops);
}

QStringList MainForm::statusLines() const
{
    return txt_sata->toPlainText().split(QLatin1Char('\n'));
}

void MainForm::Form_Load()
{
    LoadSettings();
    session_.link().close();
    AppendStatus(true, QStringLiteral("参数") + lineSettingsText + QLatin1Char(';'));
    session_.setDataYear(yearOf(common::clock::now()));
}

void MainForm::LoadSettings()
{
    port_cs->setCurrentText(settings_.load());
    const auto zone = common::TimeZoneSetting::parse(settings_.loadZone());
    session_.setZone(zone.value_or(common::TimeZoneSetting()));
    zone_cs->setCurrentText(session_.zone().text());
}

void MainForm::zone_cs_Change()
{
    const auto zone = common::zoneFromBox(dialogs_, this, zone_cs, session_.zone(), titleSystem);
    if (!zone)
        return;
    if (*zone == session_.zone() && zone_cs->currentText() == zone->text())
        return;
    session_.setZone(*zone);
    zone_cs->setCurrentText(zone->text());
    settings_.saveZone(zone->isDefault() ? QString() : zone->text());
}

void MainForm::SaveSettings()
{
    settings_.save(port_cs->currentText());
}

void MainForm::AppendStatus(bool withPort, const QString &text)
{
    txt_sata->appendPlainText(statusLine(withPort, port_cs->currentText(), session_.link().isOpen(), text));
    txt_sata->moveCursor(QTextCursor::End);
    txt_sata->verticalScrollBar()->setValue(txt_sata->verticalScrollBar()->maximum());
}

void MainForm::setPortOpenState(bool open)
{
    cmd_openp->setText(open ? captionClose : captionOpen);
    cmd_upload->setEnabled(open);
    port_cs->setEnabled(!open);
}

void MainForm::cmd_openp_Click()
{
    session_.link().close();
    if (cmd_openp->text() == captionOpen) {
        const int error = session_.link().open(port_cs->currentText());
        if (error != 0) {
            AppendStatus(true, openFailureText(error, port_cs->currentText()));
            cmd_openp->setText(captionOpen);
            session_.link().close();
            return;
        }
        setPortOpenState(true);
        // A port that opens is worth remembering, typed or chosen.
        SaveSettings();
    } else {
        setPortOpenState(false);
    }
    AppendStatus(true, QString());
}

void MainForm::cmd_upload_Click()
{
    if (!session_.link().isOpen())
        return;
    AppendStatus(false, QStringLiteral("发送上传指令,等待接收数据……"));
    session_.link().requestUpload();
}

void MainForm::onPointsAppended()
{
    Lis->setCurrentRow(Lis->count() - 1);
}

void MainForm::onUploadSettled(int points, int skipped)
{
    AppendStatus(false, receivedPointsText(points));
    if (skipped > 0)
        AppendStatus(false, skippedFramesText(skipped));
}

void MainForm::onDeviceLost()
{
    // The port is closed already, so the line says so.
    AppendStatus(true, errorText(ErrDeviceUnavailable));
    setPortOpenState(false);
}

void MainForm::onPortActivated(int index)
{
    // Enter or leaving the box after typing an item's text also "activates"
    // it; that is a typed number, not a click on an item.
    if (!portTyped_.isEmpty() && port_cs->itemText(index) == portTyped_) {
        portTyped_.clear();
        return;
    }
    // An item with a description stands for its device alone.
    const QString port = port_cs->itemData(index).toString();
    if (!port.isEmpty() && port != port_cs->currentText())
        port_cs->setEditText(port);
    port_cs_Click();
}

void MainForm::port_cs_Click()
{
    SaveSettings();
}

void MainForm::closeover_Click()
{
    AppendStatus(false, QStringLiteral("退出系统!"));
    session_.link().close();
    close();
}

void MainForm::Timer1_Timer()
{
    const bool hasLines = Lis->count() > 0;
    if (hasLines == outputxt->isEnabled())
        return;
    for (QPushButton *b : {outputxt, cleardata, name_mk, kml_mk, gpx_mk})
        b->setEnabled(hasLines);
}

void MainForm::Lis_DblClick()
{
    const int row = Lis->currentRow();
    if (row < 0)
        return;
    common::desktop().setClipboardText(coordinatePart(Lis->line(row)));
}

void MainForm::cleardata_Click()
{
    session_.clear();
}

QString MainForm::askSavePath(TrackFormat format, const QString &title, const QString &filter,
                              const QString &questionTitle)
{
    QString path =
        dialogs_.getSaveFileName(this, title, common::rememberedFolder(common::FolderKind::Tracks), filter);
    if (path.isEmpty())
        return QString();
    common::rememberFolder(common::FolderKind::Tracks, path);
    path = withDefaultSuffix(path, filter);
    // A device or FIFO is never replaced; no question about it either.
    QString reason;
    const common::SaveTarget target = common::checkSaveTarget(path, &reason);
    if (target == common::SaveTarget::Refused) {
        dialogs_.inform(this, writeFailedMessage(path, reason), titleSystem,
                        common::MessageIcon::Information);
        return QString();
    }
    const QString refusal = session_.outputRefusal(format, path);
    if (!refusal.isEmpty()) {
        dialogs_.inform(this, refusal, titleSystem, common::MessageIcon::Warning);
        return QString();
    }
    if (target == common::SaveTarget::Existing
        && !common::confirmOverwrite(dialogs_, this, path, questionTitle))
        return QString();
    return path;
}

void MainForm::askDataYear()
{
    if (dialogs_.askYesNo(this, yearQuestion(session_.dataYear()), titleSystem,
                          common::MessageIcon::Question))
        return;
    // Asked again until the answer is a year; nothing, or one character,
    // keeps the year as it was.
    for (;;) {
        const std::optional<QString> answer = dialogs_.getText(this, yearPrompt, yearPromptTitle);
        if (!answer)
            return;
        if (answer->size() < 2 || isYearText(*answer)) {
            session_.setDataYear(applyYearAnswer(session_.dataYear(), *answer));
            return;
        }
    }
}

void MainForm::exportTrack(TrackFormat format, const QString &title, const QString &filter,
                           const QString &questionTitle)
{
    if (Lis->count() == 0)
        return;
    const QString path = askSavePath(format, title, filter, questionTitle);
    if (path.isEmpty())
        return;
    // The times need the year.
    if (format == TrackFormat::Name || format == TrackFormat::Gpx)
        askDataYear();
    const ExportOutcome outcome = session_.exportTo(format, path);
    // A KML or GPX file is made to be looked at elsewhere: offer its folder.
    if (outcome.written && (format == TrackFormat::Kml || format == TrackFormat::Gpx)) {
        if (dialogs_.informWithAction(this, exportMessage(format, path, outcome), titleSystem,
                                      common::MessageIcon::Information, QStringLiteral("打开")))
            common::openWrittenFile(path);
        return;
    }
    dialogs_.inform(this, exportMessage(format, path, outcome), titleSystem,
                    common::MessageIcon::Information);
}

void MainForm::outputxt_Click()
{
    exportTrack(TrackFormat::Gtxt, QStringLiteral("保存GTXT轨迹数据文件"),
                QStringLiteral("文本文件 (*.gtxt)|*.gtxt"), titleSystem);
}

void MainForm::inputxt_Click()
{
    const QString path =
        dialogs_.getOpenFileName(this, QStringLiteral("打开GTXT轨迹数据文件"),
                                 common::rememberedFolder(common::FolderKind::Tracks),
                                 QStringLiteral("轨迹数据文件(*.gtxt)|*.gtxt;*.txt"));
    common::rememberFolder(common::FolderKind::Tracks, path);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    readTrackFile(path);
}

void MainForm::Lis_DragDrop(const QStringList &paths)
{
    for (const QString &path : paths)
        readTrackFile(path);
}

void MainForm::readTrackFile(const QString &path)
{
    const LoadOutcome loaded = session_.importGtxt(path);
    if (!loaded.read) {
        dialogs_.inform(this, readFailedMessage(path, loaded.error), titleSystem,
                        common::MessageIcon::Information);
        return;
    }
    if (loaded.kept == 0) {
        dialogs_.inform(this, noTrackPointsMessage(path, loaded.ignored), titleSystem,
                        common::MessageIcon::Information);
        return;
    }
    AppendStatus(false, loadedMessage(path, loaded.kept));
    if (loaded.ignored > 0)
        dialogs_.inform(this, ignoredLinesMessage(loaded.ignored), titleSystem,
                        common::MessageIcon::Information);
}

void MainForm::name_mk_Click()
{
    exportTrack(TrackFormat::Name, QStringLiteral("生成NAME文件"), QStringLiteral("文本文件 (*.txt)|*.txt"),
                titleSystem);
}

void MainForm::kml_mk_Click()
{
    exportTrack(TrackFormat::Kml, QStringLiteral("生成KML文件"), QStringLiteral("文本文件 (*.kml)|*.kml"),
                QStringLiteral("询问"));
}

void MainForm::gpx_mk_Click()
{
    exportTrack(TrackFormat::Gpx, QStringLiteral("生成GPX文件"), QStringLiteral("GPX文件 (*.gpx)|*.gpx"),
                titleSystem);
}

void MainForm::movetitle_MouseDown(const QPoint &globalPos)
{
    QWindow *window = windowHandle();
    if (window && window->startSystemMove())
        return;
    // The window system would not move us: follow the mouse ourselves.
    manualDrag_ = true;
    dragOffset_ = globalPos - frameGeometry().topLeft();
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == port_cs->view()->window() && event->type() == QEvent::Hide)
        portTyped_.clear();
    if (watched == Lis->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!localFiles(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = localFiles(drop->mimeData());
            if (paths.isEmpty())
                return false;
            drop->acceptProposedAction();
            Lis_DragDrop(paths);
            return true;
        }
    }
    if (watched == movetitle) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            movetitle_MouseDown(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
            return true;
        case QEvent::MouseMove:
            if (manualDrag_)
                move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - dragOffset_);
            return manualDrag_;
        case QEvent::MouseButtonRelease:
            if (!manualDrag_)
                break;
            manualDrag_ = false;
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace trekport
