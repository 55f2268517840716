#include "ui/mainwindow.h"

#include "core/cameraclock.h"
#include "core/mediaformat.h"
#include "core/photomatch.h"
#include "core/photobatch.h"
#include "core/progress.h"
#include "core/settingsfile.h"
#include "core/stepping.h"
#include "core/datetimetext.h"
#include "ui/nmeaf.h"
#include "ui/pathlistmodel.h"
#include "ui/photolistmodel.h"
#include "ui/photomap.h"

#include "common/desktop.h"
#include "common/dialogs.h"
#include "common/folders.h"
#include "common/helpview.h"
#include "common/rounding.h"
#include "common/safefile.h"

#include <QButtonGroup>
#include <QEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace pixplot {

namespace {

const QString kTitle = QStringLiteral("系统");

QPushButton *makeButton(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

constexpr int kListMinWidth = 220;
// A list frame never narrower than this, whatever its caption.
constexpr int kFrameMinWidth = 240;

QTreeView *makeList(const QString &name, QAbstractItemModel *model, QWidget *parent)
{
    auto *v = new QTreeView(parent);
    v->setObjectName(name);
    v->setModel(model);
    v->setRootIsDecorated(false);
    v->setItemsExpandable(false);
    v->setUniformRowHeights(true); // keeps 100,000 rows quick to lay out
    v->setAllColumnsShowFocus(true);
    // Ctrl+A and Shift/Ctrl clicks select several rows for Delete.
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The lists take whatever room the window has; a header section can
    // still be dragged wider than the window leaves it.
    v->setMinimumSize(kListMinWidth, 140);
    v->header()->setStretchLastSection(false);
    // A long name keeps its start and its number: the middle gives way
    // (the cell's tooltip has it whole).
    v->setTextElideMode(Qt::ElideMiddle);
    return v;
}

// Width of a column that shows text: the text, the cell's margins and, in
// the first column, the row icon.
int columnWidthFor(const QTreeView *view, const QString &text, bool withIcon)
{
    const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    const int icon = withIcon ? view->iconSize().width() > 0
            ? view->iconSize().width() + 4
            : view->style()->pixelMetric(QStyle::PM_SmallIconSize) + 4
                              : 0;
    return view->fontMetrics().horizontalAdvance(text) + margin + icon + 8;
}

// The longest texts the time and position columns show.
const QString kSampleTime = QStringLiteral("2004-08-07 11:29:00");
const QString kSamplePosition = QStringLiteral("N31°50.1234',E118°46.5678'");

// The widest text a column shows: its header, the rows in view and, for
// the time and position columns, the longest text they can hold.
int neededColumnWidth(const QTreeView *view, int column, const QString &sample)
{
    // (QTreeView hides the public QAbstractItemView::sizeHintForColumn.)
    const QAbstractItemView *items = view;
    int width = std::max(view->header()->sectionSizeHint(column), items->sizeHintForColumn(column));
    if (!sample.isEmpty())
        width = std::max(width, columnWidthFor(view, sample, false));
    return width;
}

// Room a list takes beyond its columns: its frame and a vertical scroll bar.
int listChrome(const QTreeView *view)
{
    return 2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view) + 2;
}

// A frame's caption is elided to the frame's width, so a long one (the
// path's span) never widens the window; the whole caption is its tooltip.
void setBoxCaption(QGroupBox *box, const QString &caption)
{
    box->setProperty("caption", caption);
    box->setToolTip(caption);
    const int room = std::max(40, box->width() - 24);
    box->setTitle(box->fontMetrics().elidedText(caption, Qt::ElideRight, room));
}

// A list frame's layout: the list, and its buttons in a row below it.
QVBoxLayout *listOverButtons(QGroupBox *box, QTreeView *list, std::initializer_list<QPushButton *> buttons)
{
    auto *l = new QVBoxLayout(box);
    l->addWidget(list);
    auto *row = new QHBoxLayout;
    for (QPushButton *button : buttons)
        row->addWidget(button);
    l->addLayout(row);
    return l;
}

} // namespace

PixplotMain::PixplotMain(common::Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), dialogs_(dialogs), photoModel_(new PhotoListModel(session_.rows(), this)),
      pathModel_(new PathListModel(session_.pathPoints(), this))
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("坐标 --> 照片"));
    buildForm();
    showSession();
    Form_Load();
}

void PixplotMain::keepSettingsIn(const QString &file)
{
    settingsFile_ = file;
    const settingsfile::Settings s = settingsfile::read(file);
    if (const auto zone = common::TimeZoneSetting::parse(s.zone)) {
        session_.setZone(*zone);
        zone_cs->setCurrentText(zone->text());
    }
    if (s.tolerance >= 0 && s.tolerance <= photomatch::kMaxTolerance) {
        session_.setTolerance(s.tolerance);
        wct->setText(QString::number(s.tolerance));
    }
    const qint64 maxGap = s.maxGap >= 0 ? s.maxGap : photomatch::kDefaultMaxGap;
    session_.setInterpolation(s.interpolate, maxGap);
    ck_interp->setChecked(s.interpolate);
    max_gap->setText(QString::number(maxGap));
    // The one for all cameras first: setting it forgets the single ones.
    session_.setCorrection(cameraclock::allCameras(), s.corrections.value(cameraclock::allCameras()));
    for (auto it = s.corrections.cbegin(); it != s.corrections.cend(); ++it)
        if (it.key() != cameraclock::allCameras())
            session_.setCorrection(it.key(), it.value());
    showCorrection(session_.clockOf(chosenCamera()).baseCorrection());
}

void PixplotMain::writeSettings()
{
    if (settingsFile_.isEmpty())
        return;
    settingsfile::Settings s;
    s.zone = session_.zone().text();
    s.tolerance = qBound(0, wct->text().toInt(), photomatch::kMaxTolerance);
    s.interpolate = ck_interp->isChecked();
    s.maxGap = max_gap->text().isEmpty() ? photomatch::kDefaultMaxGap : max_gap->text().toLongLong();
    s.corrections = session_.cameraCorrections();
    // Nothing to tell anyone when the window is going; the next run starts
    // from the defaults.
    settingsfile::write(settingsFile_, s);
}

void PixplotMain::buildClockRow(QBoxLayout *column)
{
    clock_text = new QLabel(this);
    clock_text->setObjectName(QStringLiteral("clock_text"));
    clock_text->setWordWrap(true);
    column->addWidget(clock_text);
    camera_cs = new QComboBox(this);
    camera_cs->setObjectName(QStringLiteral("camera_cs"));
    camera_cs->setToolTip(QStringLiteral("修正时间作用于哪一台相机的照片"));
    camera_cs->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    camera_cs->setMinimumContentsLength(10);
    camera_cs->addItem(cameraclock::allCameras());
    cmd_sync = makeButton(QStringLiteral("cmd_sync"), QStringLiteral("以照片对时"), this);
    cmd_sync->setToolTip(QStringLiteral("选中一张拍下GPS或手机时钟的照片，输入照片里时钟显示的时间"));
    cmd_tedit = makeButton(QStringLiteral("cmd_tedit"), QStringLiteral("修正时间"), this);
    auto *l = new QHBoxLayout;
    l->addWidget(camera_cs, 1);
    l->addWidget(cmd_tedit);
    l->addWidget(cmd_sync);
    column->addLayout(l);
    updateClockText();
}

QString PixplotMain::chosenCamera() const
{
    // Item data holds the camera's key ("" unknown); the first item is all.
    return camera_cs->currentIndex() <= 0 ? cameraclock::allCameras() : camera_cs->currentData().toString();
}

qint64 PixplotMain::shownCorrection() const
{
    int part[3];
    for (int k = 0; k < 3; ++k)
        part[k] = qBound(0, tzt[k]->text().toInt(), stepping::offsetFieldMax(k));
    const qint64 seconds = part[0] * 3600 + part[1] * 60 + part[2];
    return tz_f->isChecked() ? -seconds : seconds;
}

void PixplotMain::showCorrection(qint64 seconds)
{
    const qint64 a = std::abs(seconds);
    // Beyond what the fields hold (a day or more) the fields show the largest.
    const int parts[3] = {int(std::min<qint64>(a / 3600, stepping::offsetFieldMax(0))), int(a / 60 % 60),
                          int(a % 60)};
    for (int k = 0; k < 3; ++k)
        tzt[k]->setText(stepping::twoDigits(parts[k]));
    tz_f->setChecked(seconds < 0);
    updateClockText();
}

void PixplotMain::updateClockText()
{
    if (!clock_text)
        return;
    QString text = cameraclock::correctionSentence(shownCorrection());
    const cameraclock::Clock clock = session_.clockOf(chosenCamera());
    if (const std::optional<double> drift = clock.driftPerDay())
        text += QStringLiteral("；") + cameraclock::driftText(*drift);
    clock_text->setText(text);
}

void PixplotMain::refreshCameras()
{
    const QString chosen = chosenCamera();
    const QSignalBlocker block(camera_cs);
    camera_cs->clear();
    camera_cs->addItem(cameraclock::allCameras());
    for (const QString &camera : session_.cameras())
        camera_cs->addItem(cameraclock::displayName(camera), camera);
    const int at = chosen == cameraclock::allCameras() ? 0 : camera_cs->findData(chosen);
    camera_cs->setCurrentIndex(std::max(0, at));
}

void PixplotMain::offerSuggestion()
{
    if (session_.rowCount() == 0 || pathPoints().isEmpty())
        return;
    const photomatch::OffsetSuggestion s = session_.suggestOffset();
    const QString question = photomatch::suggestionQuestion(s);
    if (question.isEmpty() || !dialogs_.askYesNo(this, question, kTitle, common::MessageIcon::Question))
        return;
    session_.applyShift(s.helpful()->shift);
    showCorrection(session_.clockOf(chosenCamera()).baseCorrection());
    dialogs_.inform(this, photomatch::matchMessage(session_.match()), kTitle, common::MessageIcon::Information);
}

void PixplotMain::showSession()
{
    // The lists follow the session whatever changed it.
    connect(&session_, &PhotoSession::rowsAppended, photoModel_, &PhotoListModel::rowsAppended);
    connect(&session_, &PhotoSession::rowRemoved, photoModel_,
            [this](qsizetype row) { photoModel_->rowRemoved(row - 1); });
    connect(&session_, &PhotoSession::rowsReset, photoModel_, &PhotoListModel::reset);
    connect(&session_, &PhotoSession::rowsChanged, photoModel_, &PhotoListModel::rowsEdited);
    connect(&session_, &PhotoSession::rowChanged, photoModel_,
            [this](qsizetype row) { photoModel_->rowEdited(row - 1); });
    connect(&session_, &PhotoSession::pathChanged, this, &PixplotMain::pathShown);
    for (auto signal : {&PhotoSession::rowsAppended, &PhotoSession::rowsReset})
        connect(&session_, signal, this, &PixplotMain::refreshCameras);
    connect(&session_, &PhotoSession::rowRemoved, this, &PixplotMain::refreshCameras);
    // With photos of several cameras, the controls follow the selected photo's.
    connect(ListView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() < session_.rowCount() && camera_cs->count() > 2)
                    camera_cs->setCurrentIndex(
                        std::max(1, camera_cs->findData(session_.rows().at(current.row()).record.camera)));
            });
}

void PixplotMain::pathShown()
{
    // The selected point stays selected; a loaded list has one from the
    // start, so "手动添加坐标" takes the first point until another is chosen.
    const int current = ListGps->currentIndex().row();
    pathModel_->reset();
    const int rows = pathModel_->rowCount();
    if (rows > 0)
        ListGps->setCurrentIndex(pathModel_->index(current >= 0 && current < rows ? current : 0, 0));
    setPathCaption(photomatch::pathBoxCaption(pathPoints()));
}

PixplotMain::~PixplotMain()
{
    writeSettings();
    // The lists show the session's rows: they let go of them before the
    // session goes, while the views still take events.
    saveMapPlace();
    delete map_;
    delete photoModel_;
    delete pathModel_;
}

QLineEdit *PixplotMain::makeOffsetField(int k)
{
    auto *e = new QLineEdit(QStringLiteral("00"), tzbox);
    e->setObjectName(QStringLiteral("tzt_%1").arg(k));
    e->setMaxLength(2);
    e->setFixedWidth(32);
    e->setAlignment(Qt::AlignCenter);
    // Only two digits within the field's range can be typed.
    const QString pattern = k == 0 ? QStringLiteral("[01]?\\d|2[0-3]") : QStringLiteral("[0-5]?\\d");
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
    connect(e, &QLineEdit::editingFinished, e, [e] {
        if (e->text().size() < 2)
            e->setText(stepping::twoDigits(e->text().toInt()));
    });
    return e;
}

void PixplotMain::buildForm()
{
    auto *top = new QHBoxLayout(this);
    // Tight enough that the whole form fits a 1024 × 768 screen.
    top->setContentsMargins(6, 6, 6, 6);
    lists_ = new QBoxLayout(QBoxLayout::LeftToRight);
    top->addLayout(lists_, 1);
    buildPhotoBox();
    buildPathBox();
    for (QGroupBox *box : {pic_box, Gps_box}) {
        // The caption is elided, never what sets the frame's width.
        box->setMinimumWidth(kFrameMinWidth);
        box->setProperty("caption", box->title());
        box->installEventFilter(this);
    }

    auto *right = new QVBoxLayout;
    right->setSpacing(3);
    top->addLayout(right);
    right_ = right;
    buildPreviewBox(right);
    buildOffsetRow(right);
    buildClockRow(right);
    buildMatchingRows(right);
    buildEditBox(right);
    right->addStretch();
    Ck_reanme_Click();
    Ck_frame_Click();
    buildProgressPanel();
    connectControls();
    addDropsAndKeys();
    common::addHelpButton(this, {QStringLiteral("pixplot"), QStringLiteral("照片定位：给照片加上 GPS 路径的位置"),
                                 {common::Library::Qt, common::Library::Exiv2, common::Library::Leaflet,
                                  common::Library::LibJpegTurbo, common::Library::LibHeif}});
    setTabChain();
    clearPreview();
}

// The photo list and its buttons.
void PixplotMain::buildPhotoBox()
{
    pic_box = new QGroupBox(QStringLiteral("照片列表"), this);
    pic_box->setObjectName(QStringLiteral("pic_box"));
    ListView = makeList(QStringLiteral("ListView"), photoModel_, pic_box);
    ListView->header()->resizeSection(0, columnWidthFor(ListView, QStringLiteral("IMG_0000.JPG"), true));
    ListView->header()->resizeSection(1, columnWidthFor(ListView, kSampleTime, false));
    ListView->header()->resizeSection(2, columnWidthFor(ListView, kSamplePosition, false));
    ListView->header()->resizeSection(3, columnWidthFor(ListView, QStringLiteral("Canon EOS 5D Mark IV"), false));
    cmd_add = makeButton(QStringLiteral("cmd_add"), QStringLiteral("加入..."), pic_box);
    cmd_del = makeButton(QStringLiteral("cmd_del"), QStringLiteral("移除..."), pic_box);
    cmd_clear = makeButton(QStringLiteral("cmd_clear"), QStringLiteral("清空..."), pic_box);
    listOverButtons(pic_box, ListView, {cmd_add, cmd_del, cmd_clear});
    lists_->addWidget(pic_box, 1);
}

// The path list, its buttons and the zone its times are shown in.
void PixplotMain::buildPathBox()
{
    Gps_box = new QGroupBox(QStringLiteral("GPS路径"), this);
    Gps_box->setObjectName(QStringLiteral("Gps_box"));
    ListGps = makeList(QStringLiteral("ListGps"), pathModel_, Gps_box);
    ListGps->header()->resizeSection(0, columnWidthFor(ListGps, PathListModel::recordText(9999), false));
    ListGps->header()->resizeSection(1, columnWidthFor(ListGps, kSampleTime, false));
    ListGps->header()->resizeSection(2, columnWidthFor(ListGps, kSamplePosition, false));
    cmd_addname = makeButton(QStringLiteral("cmd_addname"), QStringLiteral("加入..."), Gps_box);
    cmd_clearname = makeButton(QStringLiteral("cmd_clearname"), QStringLiteral("移除..."), Gps_box);
    cmd_ct = makeButton(QStringLiteral("cmd_ct"), QStringLiteral("NEMA转换"), Gps_box);
    QVBoxLayout *l = listOverButtons(Gps_box, ListGps, {cmd_addname, cmd_clearname, cmd_ct});
    // The zone the path's UTC times are shown in and photos are matched in.
    zone_label = new QLabel(QStringLiteral("时区:"), Gps_box);
    zone_label->setObjectName(QStringLiteral("zone_label"));
    zone_cs = new QComboBox(Gps_box);
    zone_cs->setObjectName(QStringLiteral("zone_cs"));
    zone_cs->setEditable(true);
    zone_cs->setInsertPolicy(QComboBox::NoInsert);
    zone_cs->addItems(common::TimeZoneSetting::suggestions());
    zone_cs->setCurrentText(session_.zone().text());
    auto *z = new QHBoxLayout;
    z->addWidget(zone_label);
    z->addWidget(zone_cs, 1);
    l->addLayout(z);
    lists_->addWidget(Gps_box, 1);
}

void PixplotMain::buildPreviewBox(QBoxLayout *column)
{
    picture_review = new QGroupBox(QStringLiteral("照片预览"), this);
    picture_review->setObjectName(QStringLiteral("picture_review"));
    Pictemp = new QLabel(picture_review);
    Pictemp->setObjectName(QStringLiteral("Pictemp"));
    Pictemp->setFixedSize(common::twipsToPixels(preview::kBoxWidthTwips),
                          common::twipsToPixels(preview::kBoxHeightTwips));
    {
        auto *l = new QVBoxLayout(picture_review);
        l->addWidget(Pictemp);
    }
    column->addWidget(picture_review);
}

// The camera clock correction: sign, hours, minutes and seconds.
void PixplotMain::buildOffsetRow(QBoxLayout *column)
{
    tzbox = new QWidget(this);
    tzbox->setObjectName(QStringLiteral("tzbox"));
    tz_f = new QCheckBox(QStringLiteral("+"), tzbox);
    tz_f->setObjectName(QStringLiteral("tz_f"));
    tz_f->setToolTip(QStringLiteral("不勾选（+）：相机比GPS慢，照片时间加上右边的时长；\n"
                                    "勾选（-）：相机比GPS快，照片时间减去右边的时长。"));
    {
        auto *l = new QHBoxLayout(tzbox);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(tz_f);
        for (int k = 0; k < 3; ++k) {
            tzt[k] = makeOffsetField(k);
            tzc[k] = makeButton(QStringLiteral("tzc_%1").arg(k), QStringLiteral("+"), tzbox);
            tzc[k + 3] = makeButton(QStringLiteral("tzc_%1").arg(k + 3), QStringLiteral("-"), tzbox);
            static const char *const units[3] = {"时", "分", "秒"};
            tzc[k]->setToolTip(QStringLiteral("+1") + QString::fromUtf8(units[k]));
            tzc[k + 3]->setToolTip(QStringLiteral("-1") + QString::fromUtf8(units[k]));
            for (QPushButton *b : {tzc[k], tzc[k + 3]})
                b->setFixedWidth(24);
            if (k > 0)
                l->addWidget(new QLabel(QStringLiteral(":"), tzbox));
            l->addWidget(tzc[k + 3]);
            l->addWidget(tzt[k]);
            l->addWidget(tzc[k]);
        }
        // A wider column (a grown preview) leaves the room at the end.
        l->addStretch();
    }
    column->addWidget(tzbox);
}

// The tolerance, interpolation and the matching buttons.
void PixplotMain::buildMatchingRows(QBoxLayout *column)
{
    wct = new QLineEdit(QString::number(session_.matchOptions().tolerance), this);
    wct->setObjectName(QStringLiteral("wct"));
    wct->setFixedWidth(48);
    wct->setAlignment(Qt::AlignCenter);
    wct->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("600|[1-5]?\\d?\\d")), wct));
    static const char *const wccCaptions[4] = {"+", "-", "+", "-"};
    static const char *const wccTips[4] = {"+10", "-10", "+1", "-1"};
    for (int i = 0; i < 4; ++i) {
        wcc[i] = makeButton(QStringLiteral("wcc_%1").arg(i), QString::fromLatin1(wccCaptions[i]), this);
        wcc[i]->setToolTip(QString::fromLatin1(wccTips[i]) + QStringLiteral("秒"));
        wcc[i]->setFixedWidth(24);
    }
    {
        auto *l = new QHBoxLayout;
        wctLabel = new QLabel(QStringLiteral("容差(秒)"), this);
        wctLabel->setObjectName(QStringLiteral("wctLabel"));
        wctLabel->setBuddy(wct);
        l->addWidget(wctLabel);
        l->addWidget(wcc[1]);
        l->addWidget(wcc[3]);
        l->addWidget(wct);
        l->addWidget(wcc[2]);
        l->addWidget(wcc[0]);
        ck_interp = new QCheckBox(QStringLiteral("插值"), this);
        ck_interp->setObjectName(QStringLiteral("ck_interp"));
        ck_interp->setToolTip(QStringLiteral("在同一段内相邻两点之间按时间插值"));
        max_gap = new QLineEdit(QString::number(session_.matchOptions().maxGap), this);
        max_gap->setObjectName(QStringLiteral("max_gap"));
        max_gap->setToolTip(QStringLiteral("插值两点的最大间隔(秒)"));
        max_gap->setFixedWidth(56);
        max_gap->setAlignment(Qt::AlignCenter);
        max_gap->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{1,9}")), max_gap));
        l->addWidget(ck_interp);
        l->addWidget(max_gap);
        l->addStretch();
        column->addLayout(l);
    }
    cmd_plgoto = makeButton(QStringLiteral("cmd_plgoto"), QStringLiteral("自动匹配坐标"), this);
    cmd_plclr = makeButton(QStringLiteral("cmd_plclr"), QStringLiteral("清空坐标..."), this);
    cmd_clrnowpl = makeButton(QStringLiteral("cmd_clrnowpl"), QStringLiteral("移除当前坐标"), this);
    cmd_hdaddpl = makeButton(QStringLiteral("cmd_hdaddpl"), QStringLiteral("手动添加坐标"), this);
    {
        auto *g = new QGridLayout;
        g->addWidget(cmd_plgoto, 0, 0);
        g->addWidget(cmd_plclr, 0, 1);
        g->addWidget(cmd_clrnowpl, 1, 0);
        g->addWidget(cmd_hdaddpl, 1, 1);
        cmd_map = makeButton(QStringLiteral("cmd_map"), QStringLiteral("地图"), this);
        cmd_map->setCheckable(true);
        cmd_map->setToolTip(QStringLiteral("在地图上显示路径和照片；拖动照片或把照片行拖到地图上可手动放置"));
        // Beside the four, not under them: the column stays as short as it
        // was, so the window still fits a 1024 x 768 screen.
        cmd_map->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        cmd_map->setFixedWidth(44);
        g->addWidget(cmd_map, 0, 2, 2, 1);
        column->addLayout(g);
    }
}

// The output options and the buttons that run them.
void PixplotMain::buildEditBox(QBoxLayout *column)
{
    editBox = new QGroupBox(QStringLiteral("编辑"), this);
    editBox->setObjectName(QStringLiteral("editBox"));
    Ck_backup = new QCheckBox(QStringLiteral("备份源文件  ...\\backup\\"), editBox);
    Ck_backup->setObjectName(QStringLiteral("Ck_backup"));
    Ck_backup->setChecked(true);
    Ck_reanme = new QCheckBox(QStringLiteral("文件名更改"), editBox);
    Ck_reanme->setObjectName(QStringLiteral("Ck_reanme"));
    Op_time = new QRadioButton(QStringLiteral("日期时间    格式:  YYYYMMDD_HHMMSS"), editBox);
    Op_time->setObjectName(QStringLiteral("Op_time"));
    Op_time->setChecked(true);
    Op_incre = new QRadioButton(QStringLiteral("列表序号    前缀:"), editBox);
    Op_incre->setObjectName(QStringLiteral("Op_incre"));
    auto *renameGroup = new QButtonGroup(editBox);
    renameGroup->addButton(Op_time);
    renameGroup->addButton(Op_incre);
    incre_txt = new QLineEdit(editBox);
    incre_txt->setObjectName(QStringLiteral("incre_txt"));
    Ck_frame = new QCheckBox(QStringLiteral("加边框并压缩"), editBox);
    Ck_frame->setObjectName(QStringLiteral("Ck_frame"));
    Label2 = new QLabel(QStringLiteral("前注释:"), editBox);
    Label2->setObjectName(QStringLiteral("Label2"));
    frame_txt = new QLineEdit(editBox);
    frame_txt->setObjectName(QStringLiteral("frame_txt"));
    Ck_time = new QCheckBox(QStringLiteral("日期时间  格式:YYYY-MM-DD HH:MM:SS"), editBox);
    Ck_time->setObjectName(QStringLiteral("Ck_time"));
    Ck_time->setChecked(true);
    Ck_gps = new QCheckBox(QStringLiteral("地理信息(经纬度)"), editBox);
    Ck_gps->setObjectName(QStringLiteral("Ck_gps"));
    Ck_exifgps = new QCheckBox(QStringLiteral("写入GPS信息(EXIF)"), editBox);
    Ck_exifgps->setObjectName(QStringLiteral("Ck_exifgps"));
    // Where the position goes: JPEGs in the file and the other formats in
    // sidecars, or sidecars for every photo.
    Label_gpsplace = new QLabel(QStringLiteral("写入位置："), editBox);
    Label_gpsplace->setObjectName(QStringLiteral("Label_gpsplace"));
    Cmb_gpsplace = new QComboBox(editBox);
    Cmb_gpsplace->setObjectName(QStringLiteral("Cmb_gpsplace"));
    Cmb_gpsplace->addItems({QStringLiteral("照片内(仅JPEG)"), QStringLiteral("XMP附属文件")});
    cmd_make = makeButton(QStringLiteral("cmd_make"), QStringLiteral("执行"), editBox);
    cmd_allmake = makeButton(QStringLiteral("cmd_allmake"), QStringLiteral("批量执行"), editBox);
    {
        auto *l = new QVBoxLayout(editBox);
        l->setSpacing(2);
        l->setContentsMargins(6, 4, 6, 4);
        l->addWidget(Ck_backup);
        l->addWidget(Ck_reanme);
        l->addWidget(Op_time);
        auto *incre = new QHBoxLayout;
        incre->addWidget(Op_incre);
        incre->addWidget(incre_txt);
        l->addLayout(incre);
        l->addWidget(Ck_frame);
        auto *note = new QHBoxLayout;
        note->addWidget(Label2);
        note->addWidget(frame_txt);
        l->addLayout(note);
        l->addWidget(Ck_time);
        l->addWidget(Ck_gps);
        // On the check box's line: the column must fit a 1024 × 768 screen.
        auto *place = new QHBoxLayout;
        place->addWidget(Ck_exifgps);
        place->addWidget(Label_gpsplace);
        place->addWidget(Cmb_gpsplace, 1);
        l->addLayout(place);
        auto *b = new QHBoxLayout;
        b->addWidget(cmd_make);
        b->addWidget(cmd_allmake);
        l->addLayout(b);
    }
    column->addWidget(editBox);
}

// Progress panel: floats over the form while a long loop runs.
void PixplotMain::buildProgressPanel()
{
    pic_info = new QFrame(this);
    pic_info->setObjectName(QStringLiteral("pic_info"));
    pic_info->setFrameShape(QFrame::Box);
    pic_info->setAutoFillBackground(true);
    pic_info->setFixedSize(common::twipsToPixels(6000) + 20, 90);
    txt_info = new QLabel(pic_info);
    txt_info->setObjectName(QStringLiteral("txt_info"));
    txt_info->setGeometry(10, 6, 400, 20);
    sp_info = new QFrame(pic_info);
    sp_info->setObjectName(QStringLiteral("sp_info"));
    sp_info->setAutoFillBackground(true);
    QPalette barPalette = sp_info->palette();
    barPalette.setColor(QPalette::Window, QColor(0, 0, 160));
    sp_info->setPalette(barPalette);
    sp_info->setGeometry(10, 32, 0, 18);
    // Stops a batch after the photos it is working on.
    cmd_cancel = new QPushButton(QStringLiteral("取消"), pic_info);
    cmd_cancel->setObjectName(QStringLiteral("cmd_cancel"));
    cmd_cancel->setGeometry(pic_info->width() - 80, 56, 70, 26);
    cmd_cancel->hide();
    pic_info->hide();
}

void PixplotMain::connectControls()
{
    connect(cmd_add, &QPushButton::clicked, this, &PixplotMain::cmd_add_Click);
    connect(cmd_del, &QPushButton::clicked, this, &PixplotMain::cmd_del_Click);
    connect(cmd_clear, &QPushButton::clicked, this, &PixplotMain::cmd_clear_Click);
    connect(ListView, &QTreeView::doubleClicked, this, &PixplotMain::ListView_DblClick);
    // A click shows its row (also when it is already selected); moving the
    // selection with the keyboard does too.
    connect(ListView, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { ListView_ItemClick(index.row() + 1); });
    connect(ListView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!previewBlocked_ && !mouseHeldOnList_ && current.isValid())
                    ListView_ItemClick(current.row() + 1);
            });
    ListView->viewport()->installEventFilter(this);
    connect(cmd_addname, &QPushButton::clicked, this, &PixplotMain::cmd_addname_Click);
    connect(cmd_clearname, &QPushButton::clicked, this, &PixplotMain::cmd_clearname_Click);
    connect(cmd_ct, &QPushButton::clicked, this, &PixplotMain::cmd_ct_Click);
    connect(tz_f, &QCheckBox::toggled, this, &PixplotMain::tz_f_Click);
    for (int i = 0; i < 6; ++i)
        connect(tzc[i], &QPushButton::clicked, this, [this, i] { tzc_Click(i); });
    connect(cmd_tedit, &QPushButton::clicked, this, &PixplotMain::cmd_tedit_Click);
    connect(cmd_sync, &QPushButton::clicked, this, &PixplotMain::cmd_sync_Click);
    connect(tz_f, &QCheckBox::toggled, this, &PixplotMain::updateClockText);
    for (QLineEdit *field : tzt)
        connect(field, &QLineEdit::textChanged, this, &PixplotMain::updateClockText);
    // Choosing a camera shows its correction.
    connect(camera_cs, &QComboBox::currentIndexChanged, this,
            [this] { showCorrection(session_.clockOf(chosenCamera()).baseCorrection()); });
    for (int i = 0; i < 4; ++i)
        connect(wcc[i], &QPushButton::clicked, this, [this, i] { wcc_Click(i); });
    connect(zone_cs, &QComboBox::activated, this, &PixplotMain::zone_cs_Change);
    connect(zone_cs->lineEdit(), &QLineEdit::editingFinished, this, &PixplotMain::zone_cs_Change);
    connect(cmd_plgoto, &QPushButton::clicked, this, &PixplotMain::cmd_plgoto_Click);
    connect(cmd_plclr, &QPushButton::clicked, this, &PixplotMain::cmd_plclr_Click);
    connect(cmd_clrnowpl, &QPushButton::clicked, this, &PixplotMain::cmd_clrnowpl_Click);
    connect(cmd_hdaddpl, &QPushButton::clicked, this, &PixplotMain::cmd_hdaddpl_Click);
    connect(cmd_map, &QPushButton::clicked, this, &PixplotMain::cmd_map_Click);
    // A photo row dragged onto the map is placed where it is dropped.
    ListView->setDragEnabled(true);
    ListView->setDragDropMode(QAbstractItemView::DragOnly);
    connect(Ck_reanme, &QCheckBox::toggled, this, &PixplotMain::Ck_reanme_Click);
    connect(Ck_frame, &QCheckBox::toggled, this, &PixplotMain::Ck_frame_Click);
    connect(cmd_make, &QPushButton::clicked, this, &PixplotMain::cmd_make_Click);
    connect(cmd_allmake, &QPushButton::clicked, this, &PixplotMain::cmd_allmake_Click);
    connect(cmd_cancel, &QPushButton::clicked, &session_, &PhotoSession::cancelBatch);
    connect(&session_, &PhotoSession::batchProgress, this, [this](qint64 finished, qint64) {
        ShowProgress(QStringLiteral("批量编辑 "), finished, session_.rowCount());
    });
    connect(&session_, &PhotoSession::batchFinished, this, &PixplotMain::batchDone);
}

void PixplotMain::addDropsAndKeys()
{
    // Files dropped on a list: photos and folders of photos on the photo
    // list, a path file on the path list.
    for (QTreeView *list : {ListView, ListGps}) {
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(this);
    }
    // The keys do what the buttons do, and only while the buttons can
    // (a running batch holds them).
    const auto press = [](QPushButton *button) {
        if (button->isEnabled())
            button->click();
    };
    auto *open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, [this, press] {
        const QWidget *focus = focusWidget();
        press(focus && Gps_box->isAncestorOf(focus) ? cmd_addname : cmd_add);
    });
    auto *removePhotos = new QShortcut(QKeySequence::Delete, ListView);
    removePhotos->setContext(Qt::WidgetShortcut);
    connect(removePhotos, &QShortcut::activated, this, [this] {
        if (cmd_del->isEnabled())
            removeSelectedPhotos();
    });
    // The path goes as a whole ("移除..."), so Delete takes it only when
    // every point is selected.
    auto *removePath = new QShortcut(QKeySequence::Delete, ListGps);
    removePath->setContext(Qt::WidgetShortcut);
    connect(removePath, &QShortcut::activated, this, [this, press] {
        if (pathModel_->rowCount() > 0 && ListGps->selectionModel()->selectedRows().size() == pathModel_->rowCount())
            press(cmd_clearname);
    });
}

// Tab follows the eye: each list and its buttons, then the right
// column from top to bottom, each row left to right.
void PixplotMain::setTabChain()
{
    QList<QWidget *> chain{ListView,    cmd_add,       cmd_del, cmd_clear, ListGps,
                           cmd_addname, cmd_clearname, cmd_ct,  tz_f};
    for (int k = 0; k < 3; ++k)
        chain << tzc[k + 3] << tzt[k] << tzc[k];
    chain << camera_cs << cmd_tedit << cmd_sync << wcc[1] << wcc[3] << wct << wcc[2] << wcc[0] << cmd_plgoto << cmd_plclr
          << cmd_clrnowpl << cmd_hdaddpl << Ck_backup << Ck_reanme << Op_time << Op_incre << incre_txt
          << Ck_frame << frame_txt << Ck_time << Ck_gps << cmd_make << cmd_allmake;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void PixplotMain::clearPreview()
{
    QPixmap blank(Pictemp->size());
    blank.fill(palette().color(QPalette::Window));
    Pictemp->setPixmap(blank);
    Pictemp->setToolTip(QString());
    picture_review->setTitle(QStringLiteral("照片预览"));
    placement_ = {};
}

void PixplotMain::showSelectedPreview()
{
    const qsizetype row = selectedPhotoRow();
    if (row > 0)
        ListView_ItemClick(row);
    else
        clearPreview();
}

void PixplotMain::setPathCaption(const QString &caption)
{
    setBoxCaption(Gps_box, caption);
}
void PixplotMain::setPhotoCaption(const QString &caption)
{
    setBoxCaption(pic_box, caption);
}

QString PixplotMain::boxCaption(const QGroupBox *box)
{
    const QVariant caption = box->property("caption");
    return caption.isValid() ? caption.toString() : box->title();
}

bool PixplotMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && (watched == pic_box || watched == Gps_box)) {
        auto *box = static_cast<QGroupBox *>(watched);
        setBoxCaption(box, boxCaption(box));
    }
    if (watched == ListGps->viewport() && dropOn(ListGps, event))
        return true;
    if (map_ && watched == map_) {
        // The place is kept when the map closes (and when the window goes),
        // not at every step of a drag: each keeping is a file written.
        if (event->type() == QEvent::Close)
            showMap(false); // closed by its title bar: closed at the next start too
    }
    if (watched == ListView->viewport()) {
        if (dropOn(ListView, event))
            return true;
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            mouseHeldOnList_ = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            mouseHeldOnList_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

bool PixplotMain::dropOn(QTreeView *list, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    QStringList files;
    if (drop->mimeData())
        for (const QUrl &url : drop->mimeData()->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    const bool photos = list == ListView;
    QPushButton *add = photos ? cmd_add : cmd_addname;
    // The path list takes one file; nothing is taken while a batch runs.
    if (files.isEmpty() || !add->isEnabled() || (!photos && (files.size() != 1 || QFileInfo(files.first()).isDir()))) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type != QEvent::Drop)
        return true;
    // After the drop has returned: the questions and messages are modal,
    // and the dragging program waits for the drop to finish.
    QMetaObject::invokeMethod(
        this,
        [this, photos, files] {
            if (photos) {
                common::rememberFolder(common::FolderKind::Photos, files.first());
                addPhotoFiles(files);
            } else if (mayReplacePath()) {
                common::rememberFolder(common::FolderKind::Paths, files.first());
                loadPathFile(files.first());
            }
        },
        Qt::QueuedConnection);
    return true;
}

void PixplotMain::Form_Load()
{
    adjustSize();
    if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        // Centred within the screen's free area, never beyond its edges;
        // on a small screen the lists give up their room first.
        const QRect g = s->availableGeometry();
        const int frameW = 16, frameH = 40; // the window manager's frame, roughly
        // Room for both lists' columns where the screen has it.
        resize(std::max(width(), 1240), std::max(height(), 760));
        resize(std::min(width(), std::max(minimumSizeHint().width(), g.width() - frameW)),
               std::min(height(), std::max(minimumSizeHint().height(), g.height() - frameH)));
        move(g.x() + std::max(0, (g.width() - width() - frameW) / 2),
             g.y() + std::max(0, (g.height() - height() - frameH) / 2));
    }
}

const QList<PhotoRow> &PixplotMain::photoRows() const
{
    return session_.rows();
}
const QList<PathPoint> &PixplotMain::pathPoints() const
{
    return session_.pathPoints();
}

qsizetype PixplotMain::selectedPhotoRow() const
{
    const QModelIndex i = ListView->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

qsizetype PixplotMain::selectedPathRow() const
{
    const QModelIndex i = ListGps->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void PixplotMain::setCurrentPhotoRow(qsizetype row, bool showPreview)
{
    const bool blocked = previewBlocked_;
    previewBlocked_ = !showPreview;
    ListView->setCurrentIndex(photoModel_->index(int(row - 1), 0));
    previewBlocked_ = blocked;
}

// ---------------------------------------------------------------- photo list

void PixplotMain::cmd_add_Click()
{
    const QStringList files = dialogs_.getOpenFileNames(this, QStringLiteral("选择照片..."),
                                                        common::rememberedFolder(common::FolderKind::Photos),
                                                        mediaformat::openFilter());
    if (files.isEmpty())
        return;
    common::rememberFolder(common::FolderKind::Photos, files.first());
    addPhotoFiles(files);
}

void PixplotMain::addPhotoFiles(const QStringList &chosen)
{
    QStringList files;
    for (const QString &path : chosen) {
        if (QFileInfo(path).isDir()) {
            // What in it is no photo the session passes over and names, as
            // it does with "所有文件(*)".
            const QDir folder(path);
            for (const QString &name : folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
                files << folder.filePath(name);
        } else {
            files << path;
        }
    }
    const qint64 n = files.size();
    if (n == 0)
        return;

    const QString caption = QStringLiteral("加载照片文件");
    ShowProgress(caption, 0, n);
    const PhotoLoad load = session_.addPhotos(
        files, [this, &caption](qint64 k, qint64 total) { ShowProgress(caption, k, total); });
    ShowProgress(QString(), 0, 0);
    fitNameColumn(load.names);
    if (selectedPhotoRow() == 0 && session_.rowCount() > 0)
        setCurrentPhotoRow(1, false);

    const qint64 total = session_.rowCount();
    setPhotoCaption(photomatch::photoBoxCaption(total));
    // Every file passed over is named with why, as the user may wonder
    // where it went.
    QStringList refused;
    for (const PhotoReject &r : load.rejects)
        refused << r.file + QStringLiteral("（") + r.why() + QStringLiteral("）");
    if (!refused.isEmpty())
        dialogs_.inform(this, QStringLiteral("以下文件未加入：\r\n") + refused.join(QStringLiteral("\r\n")),
                        kTitle, common::MessageIcon::Information);
    // Photos and videos listed without a time, with why (a JPEG without
    // EXIF is counted in the summary as before).
    QStringList untimed;
    for (const PhotoLoad::Untimed &u : load.untimed)
        untimed << QFileInfo(u.file).fileName() + QStringLiteral("（") + u.reason + QStringLiteral("）");
    if (!untimed.isEmpty())
        dialogs_.inform(this, QStringLiteral("以下文件读不出拍摄时间：\r\n") + untimed.join(QStringLiteral("\r\n")),
                        kTitle, common::MessageIcon::Information);
    dialogs_.inform(this, photomatch::loadMessage(load.loaded, load.withExif, total), kTitle,
                    common::MessageIcon::Information);
    offerSuggestion();
}

void PixplotMain::cmd_del_Click()
{
    const qsizetype row = selectedPhotoRow();
    if (session_.rowCount() == 0 || row == 0)
        return;
    const QString name = photoRows().at(row - 1).record.fileName;
    if (!dialogs_.askYesNo(this, QStringLiteral("确定移除 ") + name + QStringLiteral(" ?"), kTitle,
                           common::MessageIcon::Information))
        return;
    session_.removeRow(row);
    // The row that moved up into its place is the selected one.
    if (session_.rowCount() > 0)
        setCurrentPhotoRow(std::min<qsizetype>(row, session_.rowCount()), false);
    setPhotoCaption(photomatch::photoBoxCaption(session_.rowCount()));
    showSelectedPreview();
}

void PixplotMain::removeSelectedPhotos()
{
    QList<int> rows;
    for (const QModelIndex &index : ListView->selectionModel()->selectedRows())
        rows << index.row() + 1;
    if (rows.size() <= 1) {
        cmd_del_Click();
        return;
    }
    if (rows.size() == session_.rowCount()) {
        cmd_clear_Click();
        return;
    }
    if (!dialogs_.askYesNo(this, QStringLiteral("确定移除所选的%1张照片?").arg(rows.size()), kTitle,
                           common::MessageIcon::Question))
        return;
    // From the bottom up, so the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows)
        session_.removeRow(row);
    setCurrentPhotoRow(std::min<qsizetype>(rows.constLast(), session_.rowCount()), false);
    setPhotoCaption(photomatch::photoBoxCaption(session_.rowCount()));
    showSelectedPreview();
}

void PixplotMain::cmd_clear_Click()
{
    const qsizetype c = session_.rowCount();
    if (c == 0)
        return;
    if (!dialogs_.askYesNo(this, QStringLiteral("确定移除所有(共%1张)照片?").arg(c), kTitle,
                           common::MessageIcon::Question))
        return;
    session_.clearRows();
    setPhotoCaption(QStringLiteral("照片列表"));
    clearPreview();
}

void PixplotMain::fitNameColumn(const QStringList &names)
{
    // Room for the longest name added where the window has it; never asks
    // for less than before.
    for (const QString &name : names)
        nameWanted_ = std::max(nameWanted_, columnWidthFor(ListView, name, true));
    fitPanes();
}

void PixplotMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitPanes();
}

void PixplotMain::fitPanes()
{
    if (fitting_ || !lists_)
        return;
    fitting_ = true;
    // Every column but the photo name at the width its texts need; the name
    // takes what is left and elides in the middle.
    const QString samples[3] = {QString(), kSampleTime, kSamplePosition};
    int photoColumns = 0;
    QHeaderView *photoHeader = ListView->header();
    photoHeader->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < photoModel_->columnCount(); ++c) {
        const int w = neededColumnWidth(ListView, c, c < 3 ? samples[c] : QString());
        photoHeader->resizeSection(c, w);
        photoColumns += w;
    }
    const int nameMin = columnWidthFor(ListView, QStringLiteral("IMG_0000.JPG"), true);
    const int photoNeed = photoColumns + nameMin + listChrome(ListView);
    const int photoComfort = photoColumns + std::clamp(nameWanted_, nameMin, 3 * nameMin) + listChrome(ListView);
    const QString pathSamples[3] = {PathListModel::recordText(9999), kSampleTime, kSamplePosition};
    int pathNeed = listChrome(ListGps);
    ListGps->header()->setStretchLastSection(true);
    for (int c = 0; c < pathModel_->columnCount(); ++c) {
        const int w = neededColumnWidth(ListGps, c, c < 3 ? pathSamples[c] : QString());
        ListGps->header()->resizeSection(c, w);
        pathNeed += w;
    }

    // The right column as narrow and low as it goes with the preview at its
    // own size.
    const QSize base(common::twipsToPixels(preview::kBoxWidthTwips), common::twipsToPixels(preview::kBoxHeightTwips));
    // The controls below the preview hold their own width: a preview grown
    // past them does not make the column narrower than they are.
    int controlsWidth = 0;
    for (int i = 0; i < right_->count(); ++i) {
        QLayoutItem *item = right_->itemAt(i);
        if (!(item->widget() && item->widget()->isAncestorOf(Pictemp)))
            controlsWidth = std::max(controlsWidth, item->minimumSize().width());
    }
    QSize rightMin = right_->minimumSize() - Pictemp->size() + base;
    rightMin.setWidth(std::max(rightMin.width(), controlsWidth + right_->contentsMargins().left()
                                                     + right_->contentsMargins().right()));
    const int boxExtra = std::max(16, pic_box->width() - ListView->width());
    const QMargins m = layout()->contentsMargins();
    const int spacing = layout()->spacing();
    // A map docked beside the columns keeps at least its own least width.
    const int mapWidth = map_ && mapDocked_ && cmd_map->isChecked() ? map_->minimumSizeHint().width() : 0;
    const int room = width() - m.left() - m.right() - 2 * spacing - rightMin.width() - mapWidth;
    const bool sideBySide = room >= photoNeed + pathNeed + 2 * boxExtra + lists_->spacing();
    lists_->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    // Side by side each list's share follows what its columns ask for;
    // one above the other they are equally high.
    lists_->setStretchFactor(pic_box, sideBySide ? photoComfort : 1);
    lists_->setStretchFactor(Gps_box, sideBySide ? pathNeed : 1);
    // Shares are rounded and the frames not shared: what the columns need
    // is the least each list gets where the window has it.
    const int alone = std::max(kListMinWidth, room - boxExtra);
    ListView->setMinimumWidth(sideBySide ? photoNeed : std::min(photoNeed, alone));
    ListGps->setMinimumWidth(sideBySide ? pathNeed : std::min(pathNeed, alone));
    // A frame's own least width (set so its caption never widens it) must
    // not let the window's layout squeeze it below its list's: a docked
    // map would take that width and cut the list off.
    pic_box->setMinimumWidth(std::max(kFrameMinWidth, ListView->minimumWidth() + boxExtra));
    Gps_box->setMinimumWidth(std::max(kFrameMinWidth, ListGps->minimumWidth() + boxExtra));

    // What the lists leave, the preview grows into, keeping its shape.
    const int listsWant = sideBySide ? photoComfort + pathNeed + 2 * boxExtra + lists_->spacing()
                                     : std::max(photoComfort, pathNeed) + boxExtra;
    const int spareWidth = room - listsWant;
    const int spareHeight = height() - m.top() - m.bottom() - rightMin.height();
    double scale = 1.0;
    if (spareWidth > 0 && spareHeight > 0)
        scale = std::min(double(base.width() + spareWidth) / base.width(),
                         double(base.height() + spareHeight) / base.height());
    const QSize shown(qRound(base.width() * scale), qRound(base.height() * scale));
    if (Pictemp->size() != shown) {
        Pictemp->setFixedSize(shown);
        showSelectedPreview();
    }
    fitting_ = false;
}

void PixplotMain::ListView_DblClick()
{
    const qsizetype row = selectedPhotoRow();
    if (row == 0)
        return;
    const PhotoRecord &rec = photoRows().at(row - 1).record;
    // The desktop's default program for the file; its outcome is not ours.
    common::desktop().openUrl(QUrl::fromLocalFile(rec.folder + rec.fileName));
}

void PixplotMain::ListView_ItemClick(qsizetype row)
{
    if (row < 1 || row > photoRows().size())
        return;
    const PhotoRecord &rec = photoRows().at(row - 1).record;
    const QString path = rec.folder + rec.fileName;
    if (map_)
        map_->selectPhoto(row);

    QPixmap canvas(Pictemp->size());
    canvas.fill(palette().color(QPalette::Window));
    placement_ = {};
    Pictemp->setToolTip(path);

    const QFileInfo info(path);
    if (!info.isFile()) {
        picture_review->setTitle(preview::missingCaption(rec.fileName));
        Pictemp->setPixmap(canvas);
        return;
    }
    QSize full;
    // JPEGs decode straight at the shown size; the other formats through
    // the registry (embedded previews, libheif, a film frame for videos).
    const qreal ratio = devicePixelRatioF();
    const QSize box(int(preview::kBoxWidthTwips / common::TwipsPerPixel * ratio),
                    int(preview::kBoxHeightTwips / common::TwipsPerPixel * ratio));
    const QImage picture = mediaformat::isJpeg(rec.fileName)
        ? preview::readPreviewImage(path, &full, ratio)
        : mediaformat::previewImage(path, box, &full, photoRows().at(row - 1).timeText);
    if (picture.isNull()) {
        picture_review->setTitle(preview::unreadableCaption(rec.fileName));
        Pictemp->setPixmap(canvas);
        return;
    }
    picture_review->setTitle(preview::captionText(full.width(), full.height(), info.size()));
    placement_ = preview::placePicture(full.width(), full.height());
    // The placement is in the box's own twips; a grown box shows it larger.
    const double px = double(Pictemp->width()) / common::twipsToPixels(preview::kBoxWidthTwips)
        / common::TwipsPerPixel;
    const QRectF target(placement_.x * px, placement_.y * px, placement_.width * px, placement_.height * px);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
    painter.end();
    Pictemp->setPixmap(canvas);
}

void PixplotMain::ShowProgress(const QString &caption, qint64 current, qint64 total)
{
    const progress::State s = progress::compute(caption, current, total);
    if (!s.visible) {
        pic_info->hide();
        return;
    }
    bool changed = false;
    if (!pic_info->isVisible()) {
        pic_info->move((width() - pic_info->width()) / 2, (height() - pic_info->height()) / 2);
        pic_info->show();
        pic_info->raise();
        changed = true;
    }
    if (s.hasBar) {
        const int barWidth = common::twipsToPixels(s.barTwips);
        if (txt_info->text() != s.text || sp_info->width() != barWidth) {
            txt_info->setText(s.text);
            sp_info->resize(barWidth, sp_info->height());
            changed = true;
        }
    }
    // Paint now: the loop that called us does not return to the event loop
    // until it is done, and it must not let other clicks run in between.
    if (changed && isVisible())
        pic_info->repaint();
}

// ------------------------------------------------------------------ GPS path

bool PixplotMain::mayReplacePath()
{
    // The loaded path stays until another file is chosen and read: loading
    // replaces it, a cancelled dialog or an unreadable file does not.
    return pathPoints().isEmpty()
        || dialogs_.askYesNo(this, QStringLiteral("路径文件不为空,是否重新加载路径文件?"), kTitle,
                             common::MessageIcon::Information);
}

void PixplotMain::cmd_addname_Click()
{
    if (!mayReplacePath())
        return;
    const QString path = dialogs_.getOpenFileName(
        this, QStringLiteral("打开轨迹路径文件..."), common::rememberedFolder(common::FolderKind::Paths),
        QStringLiteral("NMEA文件(*.txt)|*.txt;*.name;*.nmea;*.log|GPX文件(*.gpx)|*.gpx|所有文件(*)|*"));
    common::rememberFolder(common::FolderKind::Paths, path);
    loadPathFile(path);
}

void PixplotMain::loadPathFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    // Checked before opening: a FIFO would block the window for good.
    QString reason;
    if (!common::checkInputFile(path, &reason)) {
        dialogs_.inform(
            this, QStringLiteral("路径文件无法读取：\r\n") + path + QStringLiteral("\r\n原因：") + reason,
            kTitle, common::MessageIcon::Information);
        return;
    }
    // A file that breaks off keeps what was read; the message says how much
    // and why the rest was not. A new path starts at its first point.
    ListGps->setCurrentIndex({});
    const PathLoad load = session_.loadPath(path);
    dialogs_.inform(this, load.message(path), kTitle,
                    load.ok() ? common::MessageIcon::Information : common::MessageIcon::Warning);
    offerSuggestion();
}

void PixplotMain::cmd_clearname_Click()
{
    if (pathPoints().isEmpty())
        return;
    if (!dialogs_.askYesNo(this, QStringLiteral("确定移除路径文件?"), kTitle,
                           common::MessageIcon::Information))
        return;
    session_.clearPath();
}

void PixplotMain::cmd_ct_Click()
{
    if (pathPoints().isEmpty())
        return;
    if (!nmeaf_)
        nmeaf_ = new NMEAF(dialogs_, session_, this);
    nmeaf_->show();
    nmeaf_->raise();
    nmeaf_->activateWindow();
}

// ------------------------------------------------------ clock and matching

void PixplotMain::tz_f_Click()
{
    tz_f->setText(tz_f->isChecked() ? QStringLiteral("-") : QStringLiteral("+"));
}

void PixplotMain::tzc_Click(int index)
{
    if (index < 0 || index > 5)
        return;
    QLineEdit *field = tzt[index % 3];
    field->setText(stepping::stepOffsetField(index, field->text()));
}

void PixplotMain::cmd_tedit_Click()
{
    if (session_.rowCount() == 0)
        return;
    tzbox->setEnabled(false);
    photomatch::ClockOffset offset;
    int *parts[3] = {&offset.hours, &offset.minutes, &offset.seconds};
    for (int k = 0; k < 3; ++k) {
        // A field left with one digit reads as its two-digit form.
        *parts[k] = qBound(0, tzt[k]->text().toInt(), stepping::offsetFieldMax(k));
        tzt[k]->setText(stepping::twoDigits(*parts[k]));
    }
    offset.negative = tz_f->isChecked();
    if (chosenCamera() == cameraclock::allCameras())
        session_.correctClock(offset);
    else
        session_.setCorrection(chosenCamera(), shownCorrection());
    updateClockText();
    if (!offset.isZero())
        dialogs_.inform(this, photomatch::correctionMessage(offset), kTitle,
                        common::MessageIcon::Information);
    tzbox->setEnabled(true);
}

void PixplotMain::wcc_Click(int index)
{
    if (index < 0 || index > 3)
        return;
    wct->setText(stepping::stepTolerance(index, wct->text()));
}

void PixplotMain::cmd_plgoto_Click()
{
    if (session_.rowCount() == 0 || pathPoints().isEmpty())
        return;
    session_.setTolerance(qBound(0, wct->text().toInt(), photomatch::kMaxTolerance));
    // An emptied gap box means the usual gap.
    session_.setInterpolation(ck_interp->isChecked(), max_gap->text().isEmpty()
                                                          ? photomatch::kDefaultMaxGap
                                                          : max_gap->text().toLongLong());
    const photomatch::MatchSummary summary = session_.match();
    dialogs_.inform(this, photomatch::matchMessage(summary), kTitle, common::MessageIcon::Information);
    offerSuggestion();
}

void PixplotMain::zone_cs_Change()
{
    const auto zone = common::zoneFromBox(dialogs_, this, zone_cs, session_.zone(), kTitle);
    if (!zone)
        return;
    zone_cs->setCurrentText(zone->text());
    if (*zone == session_.zone())
        return;
    session_.setZone(*zone);
}

void PixplotMain::cmd_sync_Click()
{
    const qsizetype row = selectedPhotoRow();
    if (row == 0)
        return;
    const PhotoRecord &rec = photoRows().at(row - 1).record;
    const std::optional<QString> shown = dialogs_.getText(
        this,
        QStringLiteral("照片 %1 中的时钟显示的时间（如 2026-05-12T09:03:27+02:00；不写时区则按时区框）：")
            .arg(rec.fileName),
        QStringLiteral("以照片对时"), rec.shotTime);
    if (!shown)
        return;
    QString error;
    if (!session_.syncFromPhoto(row, *shown, &error)) {
        dialogs_.inform(this, error, kTitle, common::MessageIcon::Warning);
        return;
    }
    const QString camera = rec.camera;
    if (camera_cs->findData(camera) > 0)
        camera_cs->setCurrentIndex(camera_cs->findData(camera));
    const cameraclock::Clock clock = session_.clockOf(camera);
    const qint64 at = clock.correctionAt(systemfinction::calendarSecondsOf(rec.shotTime).value_or(0));
    showCorrection(at);
    QString text = QStringLiteral("%1 的时间修正为 %2").arg(cameraclock::displayName(camera), cameraclock::signedText(at));
    if (const std::optional<double> drift = clock.driftPerDay())
        text += QStringLiteral("，") + cameraclock::driftText(*drift);
    dialogs_.inform(this, text, kTitle, common::MessageIcon::Information);
}

void PixplotMain::cmd_plclr_Click()
{
    session_.clearPositions();
}

void PixplotMain::cmd_clrnowpl_Click()
{
    const qsizetype row = selectedPhotoRow();
    if (row == 0)
        return;
    session_.clearPosition(row);
}

void PixplotMain::cmd_hdaddpl_Click()
{
    const qsizetype photo = selectedPhotoRow();
    const qsizetype point = selectedPathRow();
    if (photo == 0 || point == 0)
        return;
    session_.assignPosition(photo, point);
}

// -------------------------------------------------------------------- output

void PixplotMain::Ck_reanme_Click()
{
    const bool on = Ck_reanme->isChecked();
    Op_time->setEnabled(on);
    Op_incre->setEnabled(on);
    incre_txt->setEnabled(on);
}

void PixplotMain::Ck_frame_Click()
{
    const bool on = Ck_frame->isChecked();
    Label2->setEnabled(on);
    frame_txt->setEnabled(on);
    Ck_time->setEnabled(on);
    Ck_gps->setEnabled(on);
}

photooutput::Options PixplotMain::outputOptions() const
{
    photooutput::Options o;
    o.backup = Ck_backup->isChecked();
    if (Ck_reanme->isChecked())
        o.rename =
            Op_incre->isChecked() ? photooutput::RenameMode::ByPrefix : photooutput::RenameMode::ByTime;
    o.prefix = incre_txt->text();
    o.frame = Ck_frame->isChecked();
    o.note = frame_txt->text();
    o.withTime = Ck_time->isChecked();
    o.withGps = Ck_gps->isChecked();
    o.background = palette().color(QPalette::Window);
    o.writeGps = Ck_exifgps->isChecked();
    o.sidecar = Cmb_gpsplace->currentIndex() == 1 ? photooutput::SidecarMode::Always
                                                  : photooutput::SidecarMode::Auto;
    return o;
}

bool PixplotMain::prefixRefused()
{
    const photooutput::Options o = outputOptions();
    if (o.rename != photooutput::RenameMode::ByPrefix || photooutput::isUsablePrefix(o.prefix))
        return false;
    dialogs_.inform(this, photooutput::badPrefixMessage(o.prefix), kTitle, common::MessageIcon::Information);
    return true;
}

photooutput::Outcome PixplotMain::ProcessPhoto(qsizetype row, bool reframe)
{
    photooutput::Options options = outputOptions();
    options.reframe = reframe;
    return session_.processPhoto(row, options);
}

void PixplotMain::cmd_make_Click()
{
    const qsizetype row = selectedPhotoRow();
    if (session_.rowCount() == 0 || row == 0 || prefixRefused())
        return;
    const QString name = photoRows().at(row - 1).record.fileName;
    const bool again = Ck_frame->isChecked() && session_.framedBefore(row);
    if (again
        && !dialogs_.askYesNo(this, photooutput::framedAgainQuestion(name), kTitle,
                              common::MessageIcon::Question))
        return;
    const photooutput::Outcome out = ProcessPhoto(row, again);
    ListView_ItemClick(row);
    if (!out.ok())
        dialogs_.inform(this,
                        QStringLiteral("照片 %1 处理失败: %2")
                            .arg(photoRows().at(row - 1).record.fileName, photooutput::failureText(out)),
                        kTitle, common::MessageIcon::Information);
    else
        dialogs_.inform(this,
                        out.alreadyFramed ? photooutput::alreadyFramedText(out.fileName)
                                          : photooutput::singleDoneMessage(out.fileName),
                        kTitle, common::MessageIcon::Information);
}

void PixplotMain::cmd_allmake_Click()
{
    const qint64 n = session_.rowCount();
    if (n == 0 || batchRunning() || prefixRefused())
        return;
    // Photos framed earlier in this session would get a second frame.
    bool skipFramed = false;
    if (Ck_frame->isChecked()) {
        if (const qint64 again = session_.framedBeforeCount(); again > 0)
            skipFramed = !dialogs_.askYesNo(this, photooutput::framedAgainBatchQuestion(again), kTitle,
                                            common::MessageIcon::Question);
    }
    ShowProgress(QStringLiteral("批量编辑 "), 0, n);
    // The window stays free while the batch works: nothing may change the
    // rows or the files under it, the rest answers as usual.
    for (QPushButton *b : findChildren<QPushButton *>()) {
        if (b != cmd_cancel && b->isEnabled()) {
            b->setEnabled(false);
            heldButtons_ << b;
        }
    }
    cmd_cancel->setEnabled(true);
    cmd_cancel->show();
    photooutput::Options options = outputOptions();
    options.reframe = !skipFramed;
    session_.startBatch(options, batchJobs_ > 0 ? batchJobs_ : photobatch::defaultJobs(), skipFramed);
}

void PixplotMain::batchDone(const BatchResult &result)
{
    cmd_cancel->hide();
    for (QPushButton *b : std::exchange(heldButtons_, {}))
        b->setEnabled(true);
    ShowProgress(QString(), 0, 0);
    showSelectedPreview();
    const QString unplaced = result.unplacedMessage();
    dialogs_.inform(this,
                    unplaced.isEmpty() ? result.messageWithFailures()
                                       : result.messageWithFailures() + QStringLiteral("\r\n\r\n") + unplaced,
                    kTitle, common::MessageIcon::Information);
}

} // namespace pixplot
