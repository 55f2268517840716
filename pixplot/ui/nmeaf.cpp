#include "ui/nmeaf.h"

#include "core/mappage.h"
#include "core/gpxfile.h"
#include "core/nmeaconvert.h"
#include "core/photosession.h"

#include "common/cjkfont.h"
#include "common/desktop.h"
#include "common/dialogs.h"
#include "common/rounding.h"
#include "common/safefile.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace pixplot {

namespace {

// Layout values are in twips.
void place(QWidget *w, int left, int top, int width, int height)
{
    using common::twipsToPixels;
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

const QString kOffsetLabel = QStringLiteral("纬度修正:                 ; 经度修正:                 ;");
const QString kZeroOffset = QStringLiteral("0.0000000000000");
const QString kAsk = QStringLiteral("询问");
const QString kSystem = QStringLiteral("系统");

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

NMEAF::NMEAF(common::Dialogs &dialogs, const PhotoSession &session, QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), session_(session)
{
    setObjectName(QStringLiteral("NMEAF"));
    setWindowTitle(QStringLiteral("NMEA to HTML/KML"));
    setFont(common::songTiFont(9));
    // Taller than the two conversion frames by the map page frame and the
    // GPX frame below them.
    setFixedSize(common::twipsToPixels(7695), common::twipsToPixels(3750));
    // A frame's caption sits on its top border, and the border starts half a
    // caption line down, so the controls' twip positions land inside it.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                       " left: 6px; top: 0px; padding: 0px 1px; }"));
    buildFrames();
    fitFonts();
    setTabChain();
    // A tool window without a menu: Esc closes it, as it does a dialog.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    connectButtons();
}

void NMEAF::makeFrame(QGroupBox *&frame, const char *name, const QString &title, int top, int height,
                      QPushButton *&button, const char *buttonName, const QString &text)
{
    frame = new QGroupBox(title, this);
    frame->setObjectName(QString::fromLatin1(name));
    place(frame, 120, top, 7455, height);
    button = makeButton(frame, buttonName, text);
    place(button, 120, 240, 2055, 300);
}

void NMEAF::makeOffsetRow(QGroupBox *frame, QLabel *&label, const char *name, int firstBox)
{
    label = new QLabel(kOffsetLabel, frame);
    label->setObjectName(QString::fromLatin1(name));
    // The runs of spaces in the label leave the gaps the boxes sit in.
    QFont f = font();
    f.setFamilies(common::songTiFamilies(common::SpaceWidth::HalfWidth));
    label->setFont(f);
    place(label, 2400, 300, 4950, 255);
    // The label runs under the two boxes; they are made after it so they sit on top.
    for (int index : {firstBox, firstBox + 1}) {
        auto *e = new QLineEdit(kZeroOffset, frame);
        e->setObjectName(QStringLiteral("lxz_%1").arg(index));
        e->setCursorPosition(0); // show the start of the long zero text
        lxz[size_t(index)] = e;
        place(e, index == firstBox ? 3240 : 5760, 255, 1455, 270);
    }
}

void NMEAF::buildFrames()
{
    makeFrame(Frame1, "Frame1", QStringLiteral("Google Earth 视图"), 120, 615, cmd_kml, "cmd_kml",
              QStringLiteral("NMEA -> KML"));
    makeOffsetRow(Frame1, Label1, "Label1", 0);

    makeFrame(Frame2, "Frame2", QStringLiteral("网页 视图"), 960, 1215, nmea2html, "nmea2html",
              QStringLiteral("NMEA -> HTML"));
    makeOffsetRow(Frame2, Label2, "Label2", 2);
    cmd_cnone = makeButton(Frame2, "cmd_cnone", QStringLiteral("无修正"));
    place(cmd_cnone, 2160, 720, 990, 300);
    cmd_cdt = makeButton(Frame2, "cmd_cdt", QStringLiteral("默认地图视图修正"));
    place(cmd_cdt, 3360, 720, 1830, 300);
    cmd_cst = makeButton(Frame2, "cmd_cst", QStringLiteral("默认卫星视图修正"));
    place(cmd_cst, 5400, 720, 1830, 300);

    makeFrame(Frame3, "Frame3", QStringLiteral("地图网页"), 2295, 615, nmea2map, "nmea2map",
              QStringLiteral("NMEA -> 地图网页"));
    Label3 = new QLabel(QStringLiteral("瓦片:"), Frame3);
    Label3->setObjectName(QStringLiteral("Label3"));
    place(Label3, 2400, 300, 600, 255);
    txt_tiles = new QLineEdit(mappage::defaultTiles().urlTemplate, Frame3);
    txt_tiles->setObjectName(QStringLiteral("txt_tiles"));
    txt_tiles->setToolTip(QStringLiteral("{z}/{x}/{y} 瓦片地址模板；none 为不用瓦片"));
    txt_tiles->setCursorPosition(0);
    place(txt_tiles, 3000, 255, 4215, 270);
    makeFrame(Frame4, "Frame4", QStringLiteral("GPX 文件"), 3015, 615, cmd_gpx, "cmd_gpx",
              QStringLiteral("NMEA -> GPX"));
}

void NMEAF::fitFonts()
{
    // A style sheet drops inherited font family lists, so every control
    // gets its font explicitly (the labels already have theirs).
    for (QWidget *w : findChildren<QWidget *>())
        if (!qobject_cast<QLabel *>(w))
            w->setFont(font());
    // The offset boxes show their whole value ("0.0000000000000"): a
    // smaller size of the same face where the frame leaves them no more room.
    for (QLineEdit *box : lxz) {
        box->setTextMargins(0, 0, 0, 0);
        QFont f = box->font();
        const int room = box->width() - 8; // the box's frame and text margins
        while (f.pointSizeF() > 5 && QFontMetrics(f).horizontalAdvance(kZeroOffset) > room)
            f.setPointSizeF(f.pointSizeF() - 0.5);
        box->setFont(f);
    }
}

// Tab goes frame by frame, each row left to right.
void NMEAF::setTabChain()
{
    const QList<QWidget *> chain{cmd_kml, lxz[0],    lxz[1],   nmea2html, lxz[2],    lxz[3],
                                 cmd_cnone, cmd_cdt, cmd_cst, nmea2map, txt_tiles, cmd_gpx};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void NMEAF::connectButtons()
{
    connect(cmd_kml, &QPushButton::clicked, this, &NMEAF::cmd_kml_Click);
    connect(nmea2html, &QPushButton::clicked, this, &NMEAF::nmea2html_Click);
    connect(cmd_cnone, &QPushButton::clicked, this, &NMEAF::cmd_cnone_Click);
    connect(cmd_cdt, &QPushButton::clicked, this, &NMEAF::cmd_cdt_Click);
    connect(cmd_cst, &QPushButton::clicked, this, &NMEAF::cmd_cst_Click);
    connect(nmea2map, &QPushButton::clicked, this, &NMEAF::nmea2map_Click);
    connect(cmd_gpx, &QPushButton::clicked, this, &NMEAF::cmd_gpx_Click);
}

bool NMEAF::havePath()
{
    if (session_.pathPointCount() > 0 && !session_.pathFileBase().isEmpty())
        return true;
    dialogs_.inform(this, nmeaconvert::noPointsMessage(), kSystem, common::MessageIcon::Information);
    return false;
}

bool NMEAF::mayWrite(const QString &fileName, const QStringList &inputs)
{
    // An output over one of its inputs would destroy what it is made from.
    const QString input = common::inputReplacedBy(fileName, QStringList{session_.pathFile()} + inputs);
    if (!input.isEmpty()) {
        dialogs_.inform(this, common::outputIsInputText(fileName, input), kSystem,
                        common::MessageIcon::Critical);
        return false;
    }
    // A device or FIFO is never replaced; no question about it either.
    QString reason;
    const common::SaveTarget target = common::checkSaveTarget(fileName, &reason);
    if (target == common::SaveTarget::Refused) {
        dialogs_.inform(this, nmeaconvert::writeFailedMessage(fileName, reason), kSystem,
                        common::MessageIcon::Critical);
        return false;
    }
    return target == common::SaveTarget::New || common::confirmOverwrite(dialogs_, this, fileName, kAsk);
}

std::optional<double> NMEAF::offsetFromBox(int index)
{
    const QString text = lxz[size_t(index)]->text();
    const std::optional<double> value = nmeaconvert::parseOffsetText(text);
    if (!value)
        dialogs_.inform(this, nmeaconvert::badOffsetMessage(index, text), kSystem,
                        common::MessageIcon::Information);
    return value;
}

std::optional<nmeaconvert::Offsets> NMEAF::offsetsFromBoxes(int index)
{
    const std::optional<double> latitude = offsetFromBox(index);
    if (!latitude)
        return std::nullopt;
    const std::optional<double> longitude = offsetFromBox(index + 1);
    if (!longitude)
        return std::nullopt;
    return nmeaconvert::Offsets{*longitude, *latitude};
}

void NMEAF::reportWrite(const QString &fileName, bool written, const QString &error,
                        const QString &savedMessage)
{
    if (!written)
        dialogs_.inform(this, nmeaconvert::writeFailedMessage(fileName, error), kSystem,
                        common::MessageIcon::Critical);
    // What was written is made to be looked at: the page in the browser,
    // the folder of a KML or GPX file.
    else if (dialogs_.informWithAction(this, savedMessage, kSystem, common::MessageIcon::Information,
                                       QStringLiteral("打开")))
        common::openWrittenFile(fileName);
}

void NMEAF::convertPath(
    QString (*fileNameOf)(const QString &), int firstBox, Document document,
    const std::function<QString(const QString &, const nmeaconvert::PathInput &)> &savedMessage)
{
    if (!havePath())
        return;
    const QString fileName = fileNameOf(session_.pathFileBase());
    if (!mayWrite(fileName))
        return;
    const std::optional<nmeaconvert::Offsets> offsets = offsetsFromBoxes(firstBox);
    if (!offsets)
        return;
    const nmeaconvert::PathInput path = session_.conversionInput().path;
    QString error;
    const bool written = nmeaconvert::writeDocument(fileName, document(path, *offsets), &error);
    reportWrite(fileName, written, error, savedMessage(fileName, path));
}

void NMEAF::cmd_kml_Click()
{
    convertPath(nmeaconvert::kmlFileName, 0, nmeaconvert::kmlDocument,
                [](const QString &fileName, const nmeaconvert::PathInput &path) {
                    return nmeaconvert::kmlSavedMessage(fileName, path.count);
                });
}

void NMEAF::nmea2html_Click()
{
    convertPath(nmeaconvert::htmlFileName, 2, nmeaconvert::htmlPage,
                [](const QString &fileName, const nmeaconvert::PathInput &) {
                    return nmeaconvert::htmlSavedMessage(fileName);
                });
}

void NMEAF::nmea2map_Click()
{
    if (!havePath())
        return;
    bool ok = false;
    mappage::Page page;
    page.tiles = mappage::tilesFromText(txt_tiles->text(), &ok);
    if (!ok) {
        dialogs_.inform(this, mappage::badTilesMessage(txt_tiles->text()), kSystem,
                        common::MessageIcon::Information);
        return;
    }
    const QString fileName = mappage::mapFileName(session_.pathFileBase());
    QStringList photoFiles;
    for (const PhotoRow &row : session_.rows())
        photoFiles << row.record.folder + row.record.fileName;
    if (!mayWrite(fileName, photoFiles))
        return;
    const nmeaconvert::PathInput path = session_.conversionInput().path;
    page.segments = mappage::segmentsOfPath(path);
    page.timeSpan = path.timeSpan;
    page.photos = mappage::photosOfRows(session_.rows());
    QString error;
    const bool written = mappage::writePage(fileName, page, &error);
    reportWrite(fileName, written, error, mappage::mapSavedMessage(fileName));
}

namespace {

void applyPreset(const std::array<QLineEdit *, 4> &boxes, nmeaconvert::Preset preset)
{
    const nmeaconvert::PresetTexts texts = nmeaconvert::presetOffsetTexts(preset);
    boxes[2]->setText(texts.latitude);
    boxes[3]->setText(texts.longitude);
    boxes[2]->setCursorPosition(0);
    boxes[3]->setCursorPosition(0);
}

} // namespace

void NMEAF::cmd_gpx_Click()
{
    if (!havePath() || session_.pathPoints().isEmpty())
        return;
    const QString fileName = gpxfile::gpxFileName(session_.pathFileBase());
    if (!mayWrite(fileName))
        return;
    QString error;
    const QList<PathPoint> &points = session_.pathPoints();
    const QByteArray bytes = gpxfile::pathDocument(points, QFileInfo(session_.pathFileBase()).fileName());
    const bool written = common::writeFileAtomically(fileName, bytes, &error);
    reportWrite(fileName, written, error, gpxfile::gpxSavedMessage(fileName, points.size()));
}

void NMEAF::cmd_cnone_Click()
{
    applyPreset(lxz, nmeaconvert::Preset::None);
}
void NMEAF::cmd_cdt_Click()
{
    applyPreset(lxz, nmeaconvert::Preset::MapView);
}
void NMEAF::cmd_cst_Click()
{
    applyPreset(lxz, nmeaconvert::Preset::SatelliteView);
}

} // namespace pixplot
