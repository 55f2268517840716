// trekport's "地图" with the real web engine: the listed track is drawn,
// marked points carry markers where their rows say, and the map follows
// the list.
#include "formfixture.h"
#include "ui/trackmap.h"

#include "common/testsupport.h"
#include "common/textfile.h"
#include "common/webmapview.h"

#include <QApplication>
#include <QPushButton>
#include <QToolButton>

using namespace trekport;

class TestTrackMap : public QObject, public FormFixture {
    Q_OBJECT
private slots:
    void init() { startFixture(QDateTime(QDate(2013, 6, 1), QTime(12, 0))); }
    void cleanup() { finishFixture(); }

    void followsTheList()
    {
        const QString in = path(QStringLiteral("trip.gtxt"));
        QVERIFY(common::writeTextLines(
            in,
            {QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"),
             QStringLiteral("记录002| 标记| 05月12日 10:24:45| N31°12.4345',E121°23.5000'"),
             QStringLiteral("记录003| 自动| 05月12日 10:25:45| N91°00.0000',E121°23.6000'"), // no such place
             QStringLiteral("记录004| 自动| 05月12日 10:26:45| N31°12.6000',E121°23.7000'")},
            common::TextEncoding::Gbk));
        auto f = newForm();
        f->show();
        dialogs_->queueFile(in);
        QTest::mouseClick(f->inputxt, Qt::LeftButton);
        f->Timer1_Timer();
        QCOMPARE(f->Lis->count(), 4);

        QTest::mouseClick(f->map_show, Qt::LeftButton);
        QVERIFY(f->trackMap() && f->trackMap()->isVisible());
        auto *map = qobject_cast<common::WebMapView *>(f->trackMap()->view());
        QVERIFY2(map, "no web map");
        QTRY_VERIFY_WITH_TIMEOUT(map->lastReport().vertices == 3, 30000);
        const common::MapReport drawn = map->lastReport();
        QCOMPARE(drawn.markers.keys(), QStringList{QStringLiteral("2")});
        const common::MapCoordinate marked{31 + 12.4345 / 60, 121 + 23.5 / 60};
        QVERIFY(common::mapDistance(drawn.markers.value(QStringLiteral("2")), marked) < 0.3);

        // Cleared, the map is empty too.
        QTest::mouseClick(f->cleardata, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(map->lastReport().vertices == 0 && map->lastReport().markers.isEmpty(),
                                 10000);
    }
};

int main(int argc, char *argv[])
{
    testsupport::prepareWebEngineTest();
    QApplication app(argc, argv);
    TestTrackMap test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_map.moc"
