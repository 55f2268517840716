// Where the web engine cannot run, the "地图" pane says why and the window
// works on: its helper process missing, or the page's process dying.
#include "tst_photofixtures.h"

#include "ui/photomap.h"

#include "common/testsupport.h"
#include "common/webmapview.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTreeView>
#include <QWebEngineView>

class TstMapFail : public fixtures::FolderTest {
    Q_OBJECT

    // The pane shows why; adding, loading and matching work as before.
    void windowWorks(fixtures::Window &win)
    {
        QTRY_VERIFY_WITH_TIMEOUT(win.w->mapPane()->view(), 10000);
        QLabel *text = win.w->mapPane()->findChild<QLabel *>(QStringLiteral("map_text"));
        QVERIFY(text);
        QTRY_VERIFY_WITH_TIMEOUT(
            text->isVisible() && text->text().startsWith(QStringLiteral("地图暂不可用：")), 30000);
        QVERIFY(!win.w->mapPane()->view()->isUsable());
        const QString path = file(QStringLiteral("p.txt"));
        QVERIFY(fixtures::writeLines(path,
                                     {fixtures::rmc(QStringLiteral("020000"), QStringLiteral("070804")),
                                      fixtures::rmc(QStringLiteral("020100"), QStringLiteral("070804"))}));
        win.addPhotos({fixtures::writeBytes(*dir, QStringLiteral("A.JPG"),
                                            fixtures::photoWithTime("2004:08:07 10:00:30"))});
        win.loadPath(path);
        win.click(QStringLiteral("cmd_plgoto"));
        QCOMPARE(win.photoCell(1, 2), QStringLiteral("N31°50.1234',E118°46.5678'"));
    }

private slots:
    // Beside the lists where the screen is wide enough (1600 or more), in
    // a window of its own elsewhere; the lists keep every column either way.
    void listsWholeBesideTheMap()
    {
        qputenv("QTWEBENGINEPROCESS_PATH",
                QFile::encodeName(file(QStringLiteral("none/QtWebEngineProcess"))));
        const testsupport::ScratchConfig config;
        fixtures::Window win;
        const QRect screen = win.w->screen()->availableGeometry();
        win.w->showMap(true);
        QVERIFY(win.w->mapPane());
        QTRY_VERIFY(win.w->mapPane()->isVisible());
        QCOMPARE(!win.w->mapPane()->isWindow(), screen.width() >= 1600);
        for (QTreeView *view : {win.photos(), win.path()}) {
            QVERIFY2(view->parentWidget()->contentsRect().contains(view->geometry()), qPrintable(view->objectName()));
            QVERIFY2(view->header()->length() <= view->viewport()->width(), qPrintable(view->objectName()));
        }
    }
    // Whether the map was open and where its window stood come back at the next start.
    void mapPlaceKeptBetweenRuns()
    {
        qputenv("QTWEBENGINEPROCESS_PATH",
                QFile::encodeName(file(QStringLiteral("none/QtWebEngineProcess"))));
        const testsupport::ScratchConfig config;
        QRect place;
        {
            fixtures::Window first;
            first.w->restoreMap();
            QVERIFY(!first.w->mapPane() || !first.w->mapPane()->isVisible()); // a screen too small to dock
            first.w->showMap(true);
            QWidget *map = first.w->mapPane();
            QVERIFY(map && map->isWindow() && map->isVisible());
            map->setGeometry(120, 140, 500, 400);
            QTRY_COMPARE(map->geometry().topLeft(), QPoint(120, 140));
            place = map->geometry();
        }
        fixtures::Window second;
        second.w->restoreMap();
        QWidget *map = second.w->mapPane();
        QVERIFY(map && map->isVisible());
        QTRY_COMPARE(map->geometry(), place);
        map->close();
        fixtures::Window third;
        third.w->restoreMap();
        QVERIFY(!third.w->mapPane() || !third.w->mapPane()->isVisible());
    }
    // Looked for before the engine starts: no engine runs in this process yet.
    void helperMissing()
    {
        qputenv("QTWEBENGINEPROCESS_PATH",
                QFile::encodeName(file(QStringLiteral("none/QtWebEngineProcess"))));
        fixtures::Window win;
        win.w->showMap(true);
        windowWorks(win);
    }
    // The page's process dies under a running map, as on a crash.
    void pageProcessDies()
    {
        qunsetenv("QTWEBENGINEPROCESS_PATH");
        fixtures::Window win;
        win.w->showMap(true);
        QTRY_VERIFY_WITH_TIMEOUT(win.w->mapPane()->view(), 10000);
        auto *map = qobject_cast<common::WebMapView *>(win.w->mapPane()->view());
        QVERIFY(map);
        QTRY_VERIFY_WITH_TIMEOUT(map->isLive(), 30000);
        map->webView()->setUrl(QUrl(QStringLiteral("chrome://crash")));
        windowWorks(win);
    }
};

int main(int argc, char *argv[])
{
    testsupport::prepareWebEngineTest();
    QApplication app(argc, argv);
    TstMapFail test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mapfail.moc"
