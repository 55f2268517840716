// The conversion window driven through its real buttons, with scripted
// dialogs and real files in a temporary folder.
#include "core/photosession.h"
#include "ui/nmeaf.h"
#include "core/gpxfile.h"

#include "common/clock.h"
#include "common/scripteddialogs.h"
#include "tst_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using common::DialogCall;
using common::MessageIcon;

namespace {

using fixtures::writeFile;

const QString kOverwrite = QStringLiteral("文件已经存在，是否覆盖文件？");

} // namespace

class TestNmeaf : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void window();
    void layout_data();
    void layout();
    void initialTexts();
    void offsetLabelGapsUnderBoxes_data();
    void offsetLabelGapsUnderBoxes();
    void presets_data();
    void presets();
    void writtenAndReported_data();
    void writtenAndReported();
    void gpxWrittenAndReported();
    void existingFile_data();
    void existingFile();
    void convertingTwiceAsksTheSecondTime();
    void badOffset_data();
    void badOffset();
    void noPathLoaded();
    void unwritableFolderReported();
    void mapPageWrittenAndReported();
    void outputOverAnInputRefused_data();
    void outputOverAnInputRefused();

private:
    // Loads trip.txt, written from lines, as the session's path.
    void loadPath(const QStringList &lines);
    QPushButton *button(const char *name);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<pixplot::PhotoSession> session_;
    std::unique_ptr<common::ScriptedDialogs> dialogs_;
    std::unique_ptr<pixplot::NMEAF> form_;
    QString base_;
};

void TestNmeaf::init()
{
    common::clock::setFixed(QDateTime(QDate(2010, 5, 1), QTime(9, 5, 7)));
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    base_ = dir_->filePath(QStringLiteral("trip"));
    session_ = std::make_unique<pixplot::PhotoSession>();
    // 14:03:22 to 14:05:00 at UTC+08:00.
    loadPath({fixtures::rmc("060322", "010510", "3150.1234", "11846.5678"),
              fixtures::rmc("060400", "010510", "3150.1660", "11846.5900"),
              fixtures::rmc("060500", "010510", "3150.2200", "11846.8000")});
    dialogs_ = std::make_unique<common::ScriptedDialogs>();
    form_ = std::make_unique<pixplot::NMEAF>(*dialogs_, *session_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestNmeaf::cleanup()
{
    if (dialogs_)
        QVERIFY2(dialogs_->unexpected.isEmpty(), qPrintable(dialogs_->unexpected.join('\n')));
    QCOMPARE(dialogs_ ? dialogs_->pendingAnswers() : 0, 0);
    form_.reset();
    session_.reset();
    dialogs_.reset();
    dir_.reset();
    common::clock::clearFixed();
}

void TestNmeaf::loadPath(const QStringList &lines)
{
    const QString file = base_ + QStringLiteral(".txt");
    QVERIFY(fixtures::writeLines(file, lines));
    QVERIFY(session_->loadPath(file));
    QVERIFY(QFile::remove(file)); // the folder then holds only what the window writes
}

QPushButton *TestNmeaf::button(const char *name)
{
    return form_->findChild<QPushButton *>(QString::fromLatin1(name));
}

void TestNmeaf::window()
{
    QCOMPARE(form_->windowTitle(), QStringLiteral("NMEA to HTML/KML"));
    // The two conversion frames, the map page frame, then the GPX frame.
    QCOMPARE(form_->size(), QSize(513, 250));
    QCOMPARE(form_->minimumSize(), QSize(513, 250));
    QCOMPARE(form_->maximumSize(), QSize(513, 250));
    const Qt::WindowFlags f = form_->windowFlags();
    QCOMPARE(f & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(f & Qt::WindowCloseButtonHint);
    QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form_->Frame1->title(), QStringLiteral("Google Earth 视图"));
    QCOMPARE(form_->Frame2->title(), QStringLiteral("网页 视图"));
    QCOMPARE(form_->Frame3->title(), QStringLiteral("地图网页"));
    // Nothing overlaps: the children of each frame and the frames themselves.
    for (QWidget *parent : {static_cast<QWidget *>(form_.get()), static_cast<QWidget *>(form_->Frame3)}) {
        const QList<QWidget *> kids = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < kids.size(); ++i) {
            QVERIFY(parent->rect().contains(kids[i]->geometry()));
            for (qsizetype j = i + 1; j < kids.size(); ++j)
                QVERIFY2(!kids[i]->geometry().intersects(kids[j]->geometry()),
                         qPrintable(kids[i]->objectName() + QLatin1Char('/') + kids[j]->objectName()));
        }
    }
}

void TestNmeaf::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    const QString label = QStringLiteral("纬度修正:                 ; 经度修正:                 ;");
    // Twips / 15.
    QTest::newRow("Frame1") << "Frame1"
                            << "NMEAF" << QRect(8, 8, 497, 41) << QString();
    QTest::newRow("cmd_kml") << "cmd_kml"
                             << "Frame1" << QRect(8, 16, 137, 20) << "NMEA -> KML";
    QTest::newRow("Label1") << "Label1"
                            << "Frame1" << QRect(160, 20, 330, 17) << label;
    QTest::newRow("lxz_0") << "lxz_0"
                           << "Frame1" << QRect(216, 17, 97, 18) << QString();
    QTest::newRow("lxz_1") << "lxz_1"
                           << "Frame1" << QRect(384, 17, 97, 18) << QString();
    QTest::newRow("Frame2") << "Frame2"
                            << "NMEAF" << QRect(8, 64, 497, 81) << QString();
    QTest::newRow("nmea2html") << "nmea2html"
                               << "Frame2" << QRect(8, 16, 137, 20) << "NMEA -> HTML";
    QTest::newRow("Label2") << "Label2"
                            << "Frame2" << QRect(160, 20, 330, 17) << label;
    QTest::newRow("lxz_2") << "lxz_2"
                           << "Frame2" << QRect(216, 17, 97, 18) << QString();
    QTest::newRow("lxz_3") << "lxz_3"
                           << "Frame2" << QRect(384, 17, 97, 18) << QString();
    QTest::newRow("cmd_cnone") << "cmd_cnone"
                               << "Frame2" << QRect(144, 48, 66, 20) << "无修正";
    QTest::newRow("cmd_cdt") << "cmd_cdt"
                             << "Frame2" << QRect(224, 48, 122, 20) << "默认地图视图修正";
    QTest::newRow("cmd_cst") << "cmd_cst"
                             << "Frame2" << QRect(360, 48, 122, 20) << "默认卫星视图修正";
    QTest::newRow("Frame3") << "Frame3"
                            << "NMEAF" << QRect(8, 153, 497, 41) << QString();
    QTest::newRow("nmea2map") << "nmea2map"
                              << "Frame3" << QRect(8, 16, 137, 20) << "NMEA -> 地图网页";
    QTest::newRow("Label3") << "Label3"
                            << "Frame3" << QRect(160, 20, 40, 17) << "瓦片:";
    QTest::newRow("txt_tiles") << "txt_tiles"
                               << "Frame3" << QRect(200, 17, 281, 18) << QString();
    QTest::newRow("Frame4") << "Frame4"
                            << "NMEAF" << QRect(8, 201, 497, 41) << QString();
    QTest::newRow("cmd_gpx") << "cmd_gpx"
                             << "Frame4" << QRect(8, 16, 137, 20) << "NMEA -> GPX";
}

void TestNmeaf::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    auto *w = form_->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), rect);
    QVERIFY(w->isVisible());
    if (auto *b = qobject_cast<QPushButton *>(w))
        QCOMPARE(b->text(), text);
    if (auto *l = qobject_cast<QLabel *>(w))
        QCOMPARE(l->text(), text);
    if (qobject_cast<QLineEdit *>(w)) {
        // The boxes sit on top of the label that runs under them.
        const QPoint centre = w->geometry().center();
        QCOMPARE(w->parentWidget()->childAt(centre), w);
    }
}

void TestNmeaf::initialTexts()
{
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(form_->lxz[size_t(i)]->objectName(), QStringLiteral("lxz_%1").arg(i));
        QCOMPARE(form_->lxz[size_t(i)]->text(), QStringLiteral("0.0000000000000"));
        QCOMPARE(form_->lxz[size_t(i)]->cursorPosition(), 0); // the start shows
        // The whole value shows: moving to its end scrolls nothing, so the
        // cursor travels the full width of the text.
        QLineEdit *box = form_->lxz[size_t(i)];
        const int start = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
        box->end(false);
        const int travel = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() - start;
        box->home(false);
        QVERIFY2(qAbs(travel - box->fontMetrics().horizontalAdvance(box->text())) <= 1,
                 qPrintable(QStringLiteral("%1 / %2").arg(travel).arg(
                     box->fontMetrics().horizontalAdvance(box->text()))));
    }
}

void TestNmeaf::offsetLabelGapsUnderBoxes_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("latitudeBox");
    QTest::addColumn<QString>("longitudeBox");
    QTest::newRow("KML") << "Label1"
                         << "lxz_0"
                         << "lxz_1";
    QTest::newRow("page") << "Label2"
                          << "lxz_2"
                          << "lxz_3";
}

void TestNmeaf::offsetLabelGapsUnderBoxes()
{
    // Each caption ends before its box begins, and the text between the
    // two gaps starts after the first box ends: nothing readable is covered.
    QFETCH(QString, label);
    QFETCH(QString, latitudeBox);
    QFETCH(QString, longitudeBox);
    auto *l = form_->findChild<QLabel *>(label);
    const QRect lat = form_->findChild<QLineEdit *>(latitudeBox)->geometry();
    const QRect lon = form_->findChild<QLineEdit *>(longitudeBox)->geometry();
    const QFontMetricsF fm(l->font());
    const QString text = l->text();
    const qsizetype gap1 = text.indexOf(QLatin1Char(':')) + 1;
    const qsizetype semi1 = text.indexOf(QLatin1Char(';'));
    const qsizetype gap2 = text.lastIndexOf(QLatin1Char(':')) + 1;
    const qsizetype semi2 = text.lastIndexOf(QLatin1Char(';'));
    const auto xAt = [&](qsizetype chars) { return l->x() + fm.horizontalAdvance(text.left(chars)); };
    QVERIFY2(xAt(gap1) <= lat.left(), qPrintable(QString::number(xAt(gap1))));
    QVERIFY2(xAt(semi1) >= lat.right(), qPrintable(QString::number(xAt(semi1))));
    QVERIFY2(xAt(gap2) <= lon.left(), qPrintable(QString::number(xAt(gap2))));
    QVERIFY2(xAt(semi2) >= lon.right(), qPrintable(QString::number(xAt(semi2))));
}

void TestNmeaf::presets_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("longitude");
    QTest::newRow("无修正") << "cmd_cnone"
                            << "0.0"
                            << "0.0";
    QTest::newRow("默认地图视图修正") << "cmd_cdt"
                                      << "0.0015125498454"
                                      << "0.003265375977";
    QTest::newRow("默认卫星视图修正") << "cmd_cst"
                                      << "0.003766666"
                                      << "-0.00145";
}

void TestNmeaf::presets()
{
    QFETCH(QString, button);
    QFETCH(QString, latitude);
    QFETCH(QString, longitude);
    // Hand-edited boxes first: the preset replaces both page offsets and
    // leaves the KML offsets alone.
    for (int i = 0; i < 4; ++i)
        form_->lxz[size_t(i)]->setText(QStringLiteral("7.%1").arg(i));
    QTest::mouseClick(form_->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(form_->lxz[0]->text(), QStringLiteral("7.0"));
    QCOMPARE(form_->lxz[1]->text(), QStringLiteral("7.1"));
    QCOMPARE(form_->lxz[2]->text(), latitude);
    QCOMPARE(form_->lxz[3]->text(), longitude);
    QCOMPARE(form_->lxz[2]->cursorPosition(), 0);
    QVERIFY(dialogs_->calls.isEmpty());
    QVERIFY(QDir(dir_->path()).isEmpty());
}

// Line number -> the line a converted file holds there.
using Lines = QList<std::pair<int, QString>>;

void TestNmeaf::writtenAndReported_data()
{
    QTest::addColumn<QStringList>("path");  // empty: the three points of init()
    QTest::addColumn<QStringList>("boxes"); // the four offset boxes; "" leaves one as it is
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("message"); // %1: the file written
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<Lines>("lines");
    const QString kml = QStringLiteral("KML文件已保存到\r\n%1！\r\n\r\n共 3个轨迹点。");
    const QString html = QStringLiteral("HTML 视图方式文件已保存到\r\n%1！");
    QTest::newRow("kml") << QStringList() << QStringList() << QStringList{"cmd_kml"} << ".kml" << kml << 38
                         << Lines{
                                {3, "<name>Paths 90507</name>"},
                                {4, "<description>2010-05-01 14:03:22 to 2010-05-01 14:05:00</description>"},
                                {9, "            <coordinates>118.77613,31.83539,0</coordinates>"},
                                {16, "            <coordinates>118.78,31.837,0</coordinates>"},
                                {25, "        <name>3 Point's Track</name>"},
                                {30, "            118.77613,31.83539,0"},
                                {31, "            118.7765,31.8361,0"},
                                {32, "            118.78,31.837,0"},
                                {37, "</kml>"}};
    // Latitude from box 0, longitude from box 1; the page boxes play no part.
    QTest::newRow("kml offsets from their boxes")
        << QStringList() << QStringList{"-0.25", "0.5", "9", "9"} << QStringList{"cmd_kml"} << ".kml" << kml
        << 38
        << Lines{{9, "            <coordinates>119.27613,31.58539,0</coordinates>"},
                 {31, "            119.2765,31.5861,0"}};
    QTest::newRow("kml of one point")
        << QStringList{fixtures::rmc("060322", "010510", "3150.1234", "11846.5678")} << QStringList()
        << QStringList{"cmd_kml"} << ".kml" << QStringLiteral("KML文件已保存到\r\n%1！\r\n\r\n共 1个轨迹点。")
        << 36
        << Lines{{9, "            <coordinates>118.77613,31.83539,0</coordinates>"},
                 {16, "            <coordinates>118.77613,31.83539,0</coordinates>"},
                 {30, "            118.77613,31.83539,0"}};
    QTest::newRow("html")
        << QStringList() << QStringList() << QStringList{"nmea2html"} << ".html" << html << 69
        << Lines{{7, "<title>Paths 90507</title>"},
                 {44, "    points.push(new GLatLng(31.83539,118.77613));"},
                 {46, "    points.push(new GLatLng(31.837,118.78));"},
                 {47, "map.addOverlay(new GPolyline(points.slice(0,3),'#00FF00', 5, 0.5));"},
                 {61, "        Log Date And Time: 2010-05-01 14:03:22 to 2010-05-01 14:05:00"}};
    // The preset's latitude offset (box 2) first inside GLatLng, longitude
    // (box 3) second; the KML boxes play no part.
    QTest::newRow("html offsets from their boxes")
        << QStringList() << QStringList{"5", "5", "", ""} << QStringList{"cmd_cst", "nmea2html"} << ".html"
        << html << 69
        << Lines{{44, "    points.push(new GLatLng(31.839156666,118.77468));"},
                 {39,
                  "map.setCenter(new GLatLng(31.839156666,118.77468),map.getBoundsZoomLevel("
                  "new GLatLngBounds(new GLatLng(31.839156666,118.77468),"
                  "new GLatLng(31.839156666,118.77468))));"}};
}

void TestNmeaf::writtenAndReported()
{
    QFETCH(QStringList, path);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, buttons);
    QFETCH(QString, extension);
    QFETCH(QString, message);
    QFETCH(int, lineCount);
    QFETCH(Lines, lines);
    if (!path.isEmpty())
        loadPath(path);
    for (qsizetype i = 0; i < boxes.size(); ++i)
        if (!boxes[i].isEmpty())
            form_->lxz[size_t(i)]->setText(boxes[i]);
    for (const QString &b : buttons)
        QTest::mouseClick(button(qPrintable(b)), Qt::LeftButton);

    const QString written = base_ + extension;
    QCOMPARE(dialogs_->calls.size(), 1);
    const DialogCall &info = dialogs_->calls.first();
    QCOMPARE(info.kind, DialogCall::Info);
    QCOMPARE(info.title, QStringLiteral("系统"));
    QCOMPARE(info.icon, MessageIcon::Information);
    QCOMPARE(info.text, message.arg(written));
    const QStringList got = fixtures::crlfLines(testsupport::readAll(written));
    QCOMPARE(got.size(), lineCount);
    for (const auto &[index, line] : lines)
        QCOMPARE(got.value(index), line);
    // Nothing else is written: one conversion, one file.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{QFileInfo(written).fileName()});
}

void TestNmeaf::gpxWrittenAndReported()
{
    loadPath({fixtures::rmc("060322", "010510", "3150.1234", "11846.5678"),
              QStringLiteral("$GPRMC,060500,A,0100.0000,S,00230.0000,W,0.0,0.0,010510,,,A*00")});
    QTest::mouseClick(button("cmd_gpx"), Qt::LeftButton);
    const QString gpx = base_ + QStringLiteral(".gpx");
    QCOMPARE(dialogs_->calls.size(), 1);
    QCOMPARE(dialogs_->calls.first().text,
             QStringLiteral("GPX文件已保存到\r\n%1！\r\n\r\n共 2个轨迹点。").arg(gpx));
    const QStringList lines = fixtures::crlfLines(testsupport::readAll(gpx));
    QCOMPARE(lines.mid(5, 2),
             (QStringList{
                 "      <trkpt lat=\"31.83539\" lon=\"118.77613\"><time>2010-05-01T06:03:22Z</time></trkpt>",
                 "      <trkpt lat=\"-1\" lon=\"-2.5\"><time>2010-05-01T06:05:00Z</time></trkpt>"}));
    // A second time asks before replacing.
    dialogs_->queueNo();
    QTest::mouseClick(button("cmd_gpx"), Qt::LeftButton);
    QCOMPARE(dialogs_->calls.size(), 2);
    QCOMPARE(dialogs_->calls.last().kind, DialogCall::YesNo);
}

void TestNmeaf::existingFile_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("yes");
    QTest::newRow("kml, no") << "cmd_kml"
                             << ".kml" << false;
    QTest::newRow("kml, yes") << "cmd_kml"
                              << ".kml" << true;
    QTest::newRow("html, no") << "nmea2html"
                              << ".html" << false;
    QTest::newRow("html, yes") << "nmea2html"
                               << ".html" << true;
}

void TestNmeaf::existingFile()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, extension);
    QFETCH(bool, yes);
    const QString file = base_ + extension;
    QVERIFY(writeFile(file, "the user's own file\r\n"));
    if (yes)
        dialogs_->queueYes();
    else
        dialogs_->queueNo();
    QTest::mouseClick(button(qPrintable(buttonName)), Qt::LeftButton);

    const DialogCall &ask = dialogs_->calls.first();
    QCOMPARE(ask.kind, DialogCall::YesNo);
    QCOMPARE(ask.text, kOverwrite);
    QCOMPARE(ask.title, QStringLiteral("询问"));
    QCOMPARE(ask.icon, MessageIcon::Question);
    if (yes) {
        QCOMPARE(dialogs_->calls.size(), 2);
        QCOMPARE(dialogs_->calls[1].kind, DialogCall::Info);
        QVERIFY(testsupport::readAll(file).startsWith("<?xml version=\"1.0\" encoding="));
    } else {
        QCOMPARE(dialogs_->calls.size(), 1);
        QCOMPARE(testsupport::readAll(file), QByteArray("the user's own file\r\n"));
    }
    // Nothing else appears in the folder (no stray temporary file).
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
}

void TestNmeaf::convertingTwiceAsksTheSecondTime()
{
    QTest::mouseClick(button("cmd_kml"), Qt::LeftButton);
    QCOMPARE(dialogs_->callsOf(DialogCall::YesNo).size(), 0);
    dialogs_->queueYes();
    QTest::mouseClick(button("cmd_kml"), Qt::LeftButton);
    QCOMPARE(dialogs_->callsOf(DialogCall::YesNo).size(), 1);
    QCOMPARE(dialogs_->callsOf(DialogCall::Info).size(), 2);
}

void TestNmeaf::badOffset_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QString>("message");
    QTest::newRow("KML latitude, letters")
        << 0 << "abc" << false << "Google Earth 视图的纬度修正“abc”不是有效的十进制数，文件未写入。";
    QTest::newRow("KML longitude, empty")
        << 1 << "" << false << "Google Earth 视图的经度修正“”不是有效的十进制数，文件未写入。";
    QTest::newRow("page latitude, comma")
        << 2 << "0,5" << false << "网页 视图的纬度修正“0,5”不是有效的十进制数，文件未写入。";
    QTest::newRow("page longitude, over a file")
        << 3 << "1.2.3" << true << "网页 视图的经度修正“1.2.3”不是有效的十进制数，文件未写入。";
    QTest::newRow("KML longitude, over a file")
        << 1 << "--1" << true << "Google Earth 视图的经度修正“--1”不是有效的十进制数，文件未写入。";
}

void TestNmeaf::badOffset()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(bool, fileExists);
    QFETCH(QString, message);
    const QString file = base_ + (box < 2 ? QStringLiteral(".kml") : QStringLiteral(".html"));
    if (fileExists) {
        QVERIFY(writeFile(file, "kept\r\n"));
        dialogs_->queueYes();
    }
    form_->lxz[size_t(box)]->setText(text);
    QTest::mouseClick(button(box < 2 ? "cmd_kml" : "nmea2html"), Qt::LeftButton);

    const QList<DialogCall> infos = dialogs_->callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), 1);
    QCOMPARE(infos.first().text, message);
    QCOMPARE(infos.first().title, QStringLiteral("系统"));
    QCOMPARE(infos.first().icon, MessageIcon::Information);
    if (fileExists)
        QCOMPARE(testsupport::readAll(file), QByteArray("kept\r\n"));
    else
        QVERIFY(QDir(dir_->path()).isEmpty());
}

void TestNmeaf::noPathLoaded()
{
    session_->clearPath();
    QTest::mouseClick(button("cmd_kml"), Qt::LeftButton);
    QTest::mouseClick(button("nmea2html"), Qt::LeftButton);
    const QList<DialogCall> infos = dialogs_->callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), 2);
    QCOMPARE(infos[0].text, QStringLiteral("没有已加载的路径轨迹点，文件未写入。"));
    QVERIFY(QDir(dir_->path()).isEmpty());
}

void TestNmeaf::unwritableFolderReported()
{
    // The path's folder went away after loading.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("gone")));
    base_ = dir_->filePath(QStringLiteral("gone/trip"));
    loadPath({fixtures::rmc("060322", "010510")});
    QVERIFY(QDir(dir_->filePath(QStringLiteral("gone"))).removeRecursively());
    QTest::mouseClick(button("cmd_kml"), Qt::LeftButton);
    const QList<DialogCall> infos = dialogs_->callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), 1);
    QVERIFY2(infos[0].text.startsWith(QStringLiteral("文件保存失败：\r\n") + base_ + QStringLiteral(".kml")),
             qPrintable(infos[0].text));
    QCOMPARE(infos[0].icon, MessageIcon::Critical);
    QVERIFY(QDir(dir_->path()).isEmpty());
}

void TestNmeaf::mapPageWrittenAndReported()
{
    // The photos are the session's rows that have a position.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("photos")));
    const QString photos = dir_->filePath(QStringLiteral("photos/"));
    for (const char *name : {"p1.jpg", "p2.jpg"})
        QVERIFY(fixtures::writeFile(photos + QLatin1String(name), fixtures::photoWithTime("2010:05:01 14:03:00")));
    QCOMPARE(session_->addPhotos({photos + QStringLiteral("p1.jpg"), photos + QStringLiteral("p2.jpg")}).loaded,
             2);
    QVERIFY(session_->assignPosition(1, 1));

    form_->txt_tiles->setText(QStringLiteral("no tiles here"));
    QTest::mouseClick(button("nmea2map"), Qt::LeftButton);
    QCOMPARE(dialogs_->calls.size(), 1);
    QVERIFY(dialogs_->calls.first().text.contains(QStringLiteral("瓦片地址")));
    QVERIFY(QDir(dir_->path()).entryList(QDir::Files).isEmpty());

    form_->txt_tiles->setText(QStringLiteral("none"));
    QTest::mouseClick(button("nmea2map"), Qt::LeftButton);
    const QString map = base_ + QStringLiteral("_map.html");
    QCOMPARE(dialogs_->calls.size(), 2);
    QCOMPARE(dialogs_->calls.last().text, QStringLiteral("地图网页文件已保存到\r\n%1！").arg(map));
    const QString html = QString::fromUtf8(testsupport::readAll(map));
    QVERIFY(html.contains(QStringLiteral(
        "var segments = [[[31.835390,118.776130],[31.836100,118.776500],[31.837000,118.780000]]];")));
    QVERIFY(html.contains(QStringLiteral("\"name\":\"p1.jpg\"")) && !html.contains(QStringLiteral("p2.jpg")));
    QVERIFY(html.contains(QStringLiteral("var tiles = {};")));
    QVERIFY(html.contains(QStringLiteral("Log Date And Time: 2010-05-01 14:03:22 to 2010-05-01 14:05:00")));
    QVERIFY(!QFileInfo::exists(base_ + QStringLiteral(".html")));
}

void TestNmeaf::outputOverAnInputRefused_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("input");  // the file the output would replace
    QTest::addColumn<QString>("loaded"); // the path file loaded, a link to input when it differs
    QTest::addColumn<QString>("photo");  // a listed photo, a link to input when given
    QTest::newRow("GPX over the loaded GPX") << "cmd_gpx"
                                             << "trip.gpx"
                                             << "trip.gpx"
                                             << "";
    QTest::newRow("GPX over the loaded GPX, through a link") << "cmd_gpx"
                                                             << "trip.gpx"
                                                             << "link.gpx"
                                                             << "";
    QTest::newRow("map page over a listed photo") << "nmea2map"
                                                  << "trip_map.html"
                                                  << ""
                                                  << "p1.jpg";
}

// Refused before any question, the input left as it was.
void TestNmeaf::outputOverAnInputRefused()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, input);
    QFETCH(QString, loaded);
    QFETCH(QString, photo);
    const QString inputPath = dir_->filePath(input);
    const QByteArray before = photo.isEmpty()
        ? pixplot::gpxfile::pathDocument(session_->pathPoints(), QStringLiteral("trip"))
        : fixtures::photoWithTime("2010:05:01 14:03:00");
    QVERIFY(writeFile(inputPath, before));
    if (!loaded.isEmpty()) {
        if (loaded != input)
            QVERIFY(QFile::link(inputPath, dir_->filePath(loaded)));
        QVERIFY(session_->loadPath(dir_->filePath(loaded)));
    }
    if (!photo.isEmpty()) {
        QVERIFY(QFile::link(inputPath, dir_->filePath(photo)));
        QCOMPARE(session_->addPhotos({dir_->filePath(photo)}).loaded, 1);
    }
    QTest::mouseClick(button(qPrintable(buttonName)), Qt::LeftButton);
    QCOMPARE(dialogs_->calls.size(), 1);
    QCOMPARE(dialogs_->calls.first().kind, DialogCall::Info);
    QVERIFY2(dialogs_->calls.first().text.contains(QStringLiteral("输出文件就是输入文件")),
             qPrintable(dialogs_->calls.first().text));
    QCOMPARE(testsupport::readAll(inputPath), before);
}

QTEST_MAIN(TestNmeaf)
#include "tst_nmeaf.moc"
