// The main window and the conversion window as a user's hands reach them:
// files dropped on the lists, the keys, folders remembered between runs,
// lists that fit a small screen, help and About, opening what was written.
#include "tst_photofixtures.h"

#include "ui/nmeaf.h"

#include "common/folders.h"
#include "common/keyvaluefile.h"
#include "common/recordingdesktop.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

using common::DialogCall;
using fixtures::Window;

namespace {

// Drops files on a list the way a file manager does: enter, move, drop.
// True when the list took them.
bool dropFiles(QTreeView *list, const QStringList &files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &f : files)
        urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

QWidget *topLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class TestUsability : public fixtures::FolderTest {
    Q_OBJECT
private slots:
    void dropOnLists_data();
    void dropOnLists();
    void keys_data();
    void keys();
    void foldersRememberedBetweenRuns();
    void listsFitScreen_data();
    void listsFitScreen();
    void helpAndAbout();
    void conversionWindowKeys();
    void openWhatWasWritten_data();
    void openWhatWasWritten();

private:
    testsupport::ScratchConfig config_;
    void writeFixtures();
};

void TestUsability::writeFixtures()
{
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("folder")));
    for (const char *name : {"a.jpg", "b.JPG", "c.jpeg", "folder/d.jpg", "folder/e.jpg"})
        QVERIFY(fixtures::writeJpeg(file(QString::fromLatin1(name)), 40, 30));
    QVERIFY(fixtures::writeFile(file("folder/notes.txt"), "not a photo"));
    QVERIFY(fixtures::writeLines(file("trip.nmea"),
                                 {fixtures::rmc("032958", "070804"), fixtures::rmc("033058", "070804")}));
}

void TestUsability::dropOnLists_data()
{
    QTest::addColumn<bool>("onPhotos");
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("photoRows");
    QTest::addColumn<int>("pathRows");
    QTest::newRow("photos") << true << QStringList{"a.jpg", "b.JPG"} << true << 2 << 0;
    QTest::newRow("folder of photos") << true << QStringList{"folder"} << true << 2 << 0;
    QTest::newRow("photo and folder") << true << QStringList{"c.jpeg", "folder"} << true << 3 << 0;
    QTest::newRow("path file") << false << QStringList{"trip.nmea"} << true << 0 << 2;
    QTest::newRow("two path files") << false << QStringList{"trip.nmea", "trip.nmea"} << false << 0 << 0;
    QTest::newRow("folder on path list") << false << QStringList{"folder"} << false << 0 << 0;
}

void TestUsability::dropOnLists()
{
    QFETCH(bool, onPhotos);
    QFETCH(QStringList, dropped);
    QFETCH(bool, taken);
    QFETCH(int, photoRows);
    QFETCH(int, pathRows);
    writeFixtures();
    Window win;
    QStringList paths;
    for (const QString &name : dropped)
        paths << file(name);
    QCOMPARE(dropFiles(onPhotos ? win.photos() : win.path(), paths), taken);
    QTRY_COMPARE(win.photos()->model()->rowCount(), photoRows);
    QCOMPARE(win.path()->model()->rowCount(), pathRows);
    if (taken) // the same message as after "加入..."
        QVERIFY(!win.dialogs.lastInfo().isEmpty());
    QVERIFY(win.dialogs.unexpected.isEmpty());
}

void TestUsability::keys_data()
{
    QTest::addColumn<QString>("focus"); // the list the keys go to
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("selectRows"); // rows selected first (Ctrl+click), of 3
    QTest::addColumn<QString>("asked");  // the dialog's title or question
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("Ctrl+O on photos")
        << "ListView" << QKeySequence(QKeySequence::Open) << 0 << "选择照片..." << 3;
    QTest::newRow("Ctrl+O on path") << "ListGps" << QKeySequence(QKeySequence::Open) << 0
                                    << "打开轨迹路径文件..." << 3;
    QTest::newRow("Delete one") << "ListView" << QKeySequence(QKeySequence::Delete) << 1 << "确定移除 a.jpg ?"
                                << 2;
    QTest::newRow("Delete two") << "ListView" << QKeySequence(QKeySequence::Delete) << 2
                                << "确定移除所选的2张照片?" << 1;
    QTest::newRow("Ctrl+A, Delete") << "ListView" << QKeySequence(QStringLiteral("Ctrl+A, Del")) << 0
                                    << "确定移除所有(共3张)照片?" << 0;
}

void TestUsability::keys()
{
    QFETCH(QString, focus);
    QFETCH(QKeySequence, keys);
    QFETCH(int, selectRows);
    QFETCH(QString, asked);
    QFETCH(int, rowsLeft);
    writeFixtures();
    Window win;
    win.addPhotos({file("a.jpg"), file("b.JPG"), file("c.jpeg")});
    QTreeView *list = win.get<QTreeView>(focus);
    QApplication::setActiveWindow(win.w.get());
    list->setFocus();
    for (int r = 0; r < selectRows; ++r) {
        const QRect cell = list->visualRect(list->model()->index(r, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, r ? Qt::ControlModifier : Qt::NoModifier,
                          cell.center());
    }
    const qsizetype before = win.dialogs.calls.size();
    win.dialogs.queueYes(); // answers the question; a file dialog takes it as no file
    for (int k = 0; k < keys.count(); ++k)
        QTest::keyClick(list, keys[k].key(), keys[k].keyboardModifiers());
    QCoreApplication::processEvents();
    QCOMPARE(win.dialogs.calls.size(), before + 1);
    const DialogCall call = win.dialogs.calls.at(before);
    QCOMPARE(call.kind == DialogCall::YesNo ? call.text : call.title, asked);
    QCOMPARE(win.photos()->model()->rowCount(), rowsLeft);
}

void TestUsability::foldersRememberedBetweenRuns()
{
    writeFixtures();
    {
        Window first;
        QCOMPARE(first.dialogs.calls.size(), 0);
        first.addPhotos({file("folder/d.jpg")});
        first.loadPath(file("trip.nmea"));
    }
    // Kept in the user's config folder, where the next run reads it.
    QVERIFY(!common::keyValue(common::readKeyValues(common::foldersSettingsFile()), "folders/photos").isEmpty());
    QVERIFY(common::foldersSettingsFile().startsWith(config_.path()));
    Window second;
    second.dialogs.queueCancel();
    second.click(QStringLiteral("cmd_add"));
    second.dialogs.queueCancel();
    second.click(QStringLiteral("cmd_addname"));
    const QList<DialogCall> calls = second.dialogs.calls;
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0).initialDir, file("folder"));
    QCOMPARE(calls.at(1).initialDir, dir->path());
    // The path dialog also offers the other NMEA names, the photo dialog .jpeg.
    QVERIFY(calls.at(0).filter.contains(QStringLiteral("*.jpeg")));
    QVERIFY(calls.at(1).filter.contains(QStringLiteral("*.nmea;*.log")));
}

void TestUsability::listsFitScreen_data()
{
    QTest::addColumn<QSize>("room"); // the window's inside on that screen
    QTest::addColumn<bool>("previewGrows");
    QTest::newRow("1024x768") << QSize(1024 - 16, 768 - 40) << false;
    QTest::newRow("1920x1080 maximised") << QSize(1920 - 16, 1080 - 40) << true;
}

void TestUsability::listsFitScreen()
{
    QFETCH(QSize, room);
    QFETCH(bool, previewGrows);
    const QString longName = QStringLiteral("IMG_20240501_103015_a_long_name_from_a_phone_camera.jpg");
    QVERIFY(fixtures::writeJpeg(file(longName), 40, 30));
    QVERIFY(fixtures::writeLines(file("trip.nmea"), {fixtures::rmc("032958", "070804")}));
    Window win;
    win.addPhotos({file(longName)});
    win.loadPath(file("trip.nmea"));
    win.w->resize(room);
    QCoreApplication::processEvents();
    QCOMPARE(win.w->size(), room);
    for (QTreeView *view : {win.photos(), win.path()}) {
        QHeaderView *header = view->header();
        const QString where = view->objectName();
        // Nothing to scroll sideways: every column is in view.
        QVERIFY2(header->length() <= view->viewport()->width(), qPrintable(where));
        QVERIFY2(!view->horizontalScrollBar()->isVisible(), qPrintable(where));
        const QStringList samples{QString(), QStringLiteral("2004-08-07 11:29:00"),
                                  QStringLiteral("N31°50.1234',E118°46.5678'")};
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            const QString heading = view->model()->headerData(c, Qt::Horizontal).toString();
            const int textWidth = std::max(view->fontMetrics().horizontalAdvance(heading),
                                           view->fontMetrics().horizontalAdvance(samples.value(c)));
            QVERIFY2(header->sectionSize(c) >= textWidth, qPrintable(where + QLatin1Char(' ') + heading));
        }
    }
    // The long name is cut in the middle, whole in its tooltip.
    const QModelIndex name = win.photos()->model()->index(0, 0);
    QCOMPARE(name.data(Qt::ToolTipRole).toString(), longName);
    QCOMPARE(win.photos()->textElideMode(), Qt::ElideMiddle);
    QVERIFY(win.photos()->header()->sectionSize(0)
            >= win.photos()->fontMetrics().horizontalAdvance("IMG_0000.JPG"));
    const QSize preview = win.get<QLabel>(QStringLiteral("Pictemp"))->size();
    QCOMPARE(preview.width() > 280, previewGrows);
    QVERIFY(qAbs(preview.width() * 210 - preview.height() * 280) <= 280); // the same shape
}

void TestUsability::helpAndAbout()
{
    Window win;
    QApplication::setActiveWindow(win.w.get());
    QTest::keyClick(win.w.get(), Qt::Key_F1);
    QWidget *help = topLevel(QStringLiteral("help"));
    QVERIFY(help);
    const QString text = help->findChild<QTextBrowser *>()->toPlainText();
    QVERIFY2(text.startsWith(QStringLiteral("pixplot")), qPrintable(text.left(80)));
    QVERIFY(!text.contains(QStringLiteral("areagrab\n")));
    help->close();

    auto *button = win.get<QToolButton>(QStringLiteral("helpButton"));
    QVERIFY(button->isVisible());
    // In the corner, clear of the frames beside it.
    QCOMPARE(button->geometry().right(), win.w->width() - 2);
    QVERIFY(!button->geometry().intersects(win.get<QWidget>(QStringLiteral("Pictemp"))->geometry()));
    button->menu()->findChild<QAction *>(QStringLiteral("aboutAction"))->trigger();
    QWidget *about = topLevel(QStringLiteral("about"));
    QVERIFY(about);
    const QString aboutText = about->findChild<QLabel *>(QStringLiteral("aboutText"))->text();
    for (const char *part : {"pixplot 1.", "GPL-3.0-or-later", "https://", "Qt", "LGPL-3.0", "libexiv2",
                             "GPL-2.0-or-later", "Leaflet", "BSD-2-Clause", "libjpeg-turbo", "IJG"})
        QVERIFY2(aboutText.contains(QLatin1String(part)), part);
    about->close();
}

void TestUsability::conversionWindowKeys()
{
    writeFixtures();
    Window win;
    win.loadPath(file("trip.nmea"));
    win.click(QStringLiteral("cmd_ct"));
    auto *form = win.w->findChild<pixplot::NMEAF *>(QStringLiteral("NMEAF"));
    QVERIFY(form && form->isVisible());
    // Tab through every control, frame by frame.
    QStringList order;
    QWidget *w = form->cmd_kml;
    do {
        if (w->isVisibleTo(form) && (w->focusPolicy() & Qt::TabFocus) && form->isAncestorOf(w))
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != form->cmd_kml);
    QCOMPARE(order,
             (QStringList{"cmd_kml", "lxz_0", "lxz_1", "nmea2html", "lxz_2", "lxz_3", "cmd_cnone", "cmd_cdt",
                          "cmd_cst", "nmea2map", "txt_tiles", "cmd_gpx"}));
    QApplication::setActiveWindow(form);
    QTest::keyClick(form->cmd_kml, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
}

void TestUsability::openWhatWasWritten_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("opened"); // the page, or "" for the folder
    QTest::newRow("KML, 打开") << "cmd_kml" << true << "";
    QTest::newRow("GPX, 打开") << "cmd_gpx" << true << "";
    QTest::newRow("map page, 打开") << "nmea2map" << true << "page";
    QTest::newRow("KML, OK") << "cmd_kml" << false << QString();
}

void TestUsability::openWhatWasWritten()
{
    QFETCH(QString, button);
    QFETCH(bool, open);
    QFETCH(QString, opened);
    writeFixtures();
    common::RecordingDesktop desktop;
    Window win;
    win.loadPath(file("trip.nmea"));
    win.click(QStringLiteral("cmd_ct"));
    auto *form = win.w->findChild<pixplot::NMEAF *>(QStringLiteral("NMEAF"));
    QVERIFY(form);
    if (open)
        win.dialogs.queueAction();
    form->findChild<QLineEdit *>(QStringLiteral("txt_tiles"))->setText(QStringLiteral("none"));
    QTest::mouseClick(form->findChild<QPushButton *>(button), Qt::LeftButton);
    const DialogCall last = win.dialogs.calls.constLast();
    QCOMPARE(last.kind, DialogCall::Info);
    QCOMPARE(last.action, QStringLiteral("打开"));
    QCOMPARE(win.dialogs.pendingAnswers(), 0);
    if (!open) {
        QVERIFY(desktop.opened.isEmpty());
        return;
    }
    QCOMPARE(desktop.opened.size(), 1);
    const QString shown = desktop.opened.first().toLocalFile();
    if (opened.isEmpty()) {
        QCOMPARE(shown, dir->path());
    } else { // the page itself, just written beside the path file
        QCOMPARE(QFileInfo(shown).absolutePath(), dir->path());
        QVERIFY2(shown.endsWith(QStringLiteral("_map.html")) && QFileInfo(shown).isFile(), qPrintable(shown));
    }
}

QTEST_MAIN(TestUsability)
#include "tst_usability.moc"
