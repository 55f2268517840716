// The "地图" pane with the real web engine: what the page draws is what the
// session holds, a drag or a dropped row places a photo by hand, a clock
// correction slides the photos along the track.
#include "tst_photofixtures.h"

#include "core/mappage.h"
#include "core/nmeasentence.h"
#include "ui/photolistmodel.h"
#include "ui/photomap.h"

#include "common/testsupport.h"
#include "common/webmapview.h"

#include <QApplication>
#include <QComboBox>
#include <QWebEngineView>

using pixplot::GeoPoint;
namespace systemfinction = pixplot::systemfinction;

using common::MapCoordinate;

namespace {

// A zigzag east along 31°50', one fix every 10 s from 10:00:00 (UTC+08:00),
// each 0.0100' of longitude east of the last and every other one 0.0100'
// north, so thinning keeps every fix.
constexpr int kFixes = 61;
constexpr double kStepMinutes = 0.01;

MapCoordinate fixAt(int i)
{
    return {31 + (50.0 + (i % 2) * kStepMinutes) / 60, 118 + (46.0 + i * kStepMinutes) / 60};
}

QStringList zigzagPath()
{
    QStringList lines;
    for (int i = 0; i < kFixes; ++i) {
        const int s = i * 10;
        const QString hhmmss = QStringLiteral("02%1%2")
                                   .arg(s / 60, 2, 10, QLatin1Char('0'))
                                   .arg(s % 60, 2, 10, QLatin1Char('0'));
        lines << fixtures::rmc(hhmmss, QStringLiteral("070804"),
                               QStringLiteral("%1").arg(3150.0 + (i % 2) * kStepMinutes, 0, 'f', 4),
                               QStringLiteral("%1").arg(11846.0 + i * kStepMinutes, 0, 'f', 4));
    }
    return lines;
}

MapCoordinate coordinateOf(const QString &positionText)
{
    const GeoPoint p = systemfinction::ParsePositionText(positionText);
    return {p.latitude, p.longitude};
}

// The position texts keep 0.0001' (under 0.2 m).
bool near(const MapCoordinate &a, const MapCoordinate &b, double metres = 0.3)
{
    return common::mapDistance(a, b) <= metres;
}

} // namespace

class TstMap : public fixtures::FolderTest {
    Q_OBJECT

    struct Shown {
        fixtures::Window win;
        common::WebMapView *map = nullptr;
    };

    // The window with its map, a zigzag path and photos at 10:01, 10:03
    // and 10:05 matched to it.
    void open(Shown &s)
    {
        const QString path = file(QStringLiteral("zigzag.txt"));
        QVERIFY(fixtures::writeLines(path, zigzagPath()));
        QStringList photos;
        for (const char *t : {"2004:08:07 10:01:00", "2004:08:07 10:03:00", "2004:08:07 10:05:00"})
            photos << fixtures::writeBytes(*dir, QStringLiteral("P%1.JPG").arg(photos.size() + 1),
                                           fixtures::photoWithTime(t));
        s.win.w->showMap(true);
        QVERIFY(s.win.w->mapPane());
        QTRY_VERIFY_WITH_TIMEOUT(s.win.w->mapPane()->view(), 10000);
        s.map = qobject_cast<common::WebMapView *>(s.win.w->mapPane()->view());
        QVERIFY2(s.map, "no web map");
        s.win.addPhotos(photos);
        s.win.loadPath(path);
        s.win.click(QStringLiteral("cmd_plgoto"));
        QCOMPARE(s.win.photoCell(1, 2),
                 systemfinction::positionTextFromDegrees(fixAt(6).latitude, fixAt(6).longitude));
        QTRY_VERIFY_WITH_TIMEOUT(s.map->lastReport().markers.size() == 3, 30000);
    }

    // Every photo row with a position has its marker where the row says.
    static bool markersMatchRows(const Shown &s)
    {
        const common::MapReport r = s.map->lastReport();
        qsizetype placed = 0;
        for (qsizetype row = 1; row <= s.win.w->photoRows().size(); ++row) {
            const QString pos = s.win.w->photoRows().at(row - 1).position;
            if (pos.isEmpty())
                continue;
            ++placed;
            const auto m = r.markers.constFind(QString::number(row));
            if (m == r.markers.constEnd() || !near(*m, coordinateOf(pos)))
                return false;
        }
        return placed == r.markers.size();
    }

private slots:
    void drawsWhatTheSessionHolds()
    {
        Shown s;
        open(s);
        if (QTest::currentTestFailed())
            return;
        qint64 vertices = 0;
        for (const auto &seg : pixplot::mappage::drawnSegments(s.win.w->pathPoints()))
            vertices += seg.size();
        QCOMPARE(vertices, qint64(kFixes)); // the zigzag keeps every fix
        QTRY_COMPARE_WITH_TIMEOUT(s.map->lastReport().vertices, vertices, 20000);
        QVERIFY(markersMatchRows(s));

        // The track's colour, blended over the plain background.
        const auto trackDrawn = [&] {
            const QImage shot = s.map->webView()->grab().toImage();
            int blue = 0;
            for (int y = 0; y < shot.height(); y += 2)
                for (int x = 0; x < shot.width(); x += 2) {
                    const QColor c = shot.pixelColor(x, y);
                    blue += c.blue() > 200 && c.red() < 90 && c.green() < 120 ? 1 : 0;
                }
            return blue > 20;
        };
        QTRY_VERIFY_WITH_TIMEOUT(trackDrawn(), 20000);

        // Selecting a row selects its marker; clicking a marker, its row.
        s.win.selectPhoto(2);
        QTRY_COMPARE_WITH_TIMEOUT(s.map->lastReport().selected, QStringLiteral("2"), 10000);
        s.map->runScript(QStringLiteral("mapPage.markers['3'].fire('click');"));
        QTRY_COMPARE_WITH_TIMEOUT(s.win.w->selectedPhotoRow(), qsizetype(3), 10000);
    }

    void placesByHand_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("marker dragged") << QStringLiteral("drag");
        QTest::newRow("row dropped") << QStringLiteral("drop");
    }
    void placesByHand()
    {
        QFETCH(QString, how);
        Shown s;
        open(s);
        if (QTest::currentTestFailed())
            return;
        const QString before = s.win.photoCell(2, 2);
        MapCoordinate target{31.84, 118.78};
        if (how == QLatin1String("drag")) {
            s.map->runScript(
                QStringLiteral("var m = mapPage.markers['2']; m.setLatLng([%1, %2]); m.fire('dragend');")
                    .arg(target.latitude, 0, 'f', 7)
                    .arg(target.longitude, 0, 'f', 7));
        } else {
            // A drop where the page's own pointer would put it: the point
            // under (120, 90) of the map.
            QVariant under;
            s.map->runScript(
                QStringLiteral("var p = mapPage.map.containerPointToLatLng([120, 90]); [p.lat, p.lng];"),
                [&under](const QVariant &v) { under = v; });
            QTRY_VERIFY_WITH_TIMEOUT(under.isValid(), 10000);
            target = {under.toList().value(0).toDouble(), under.toList().value(1).toDouble()};
            s.map->runScript(
                QStringLiteral("var box = mapPage.map.getContainer(), r = box.getBoundingClientRect();"
                               "var dt = new DataTransfer(); dt.setData('text/plain', '%1');"
                               "box.dispatchEvent(new DragEvent('drop', {dataTransfer: dt, bubbles: true, "
                               "cancelable: true,"
                               " clientX: r.left + 120, clientY: r.top + 90}));")
                    .arg(pixplot::PhotoListModel::rowDragText(2)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(s.win.w->photoRows().at(1).byHand, 10000);
        QVERIFY(near(coordinateOf(s.win.photoCell(2, 2)), target));
        QVERIFY(s.win.photos()->model()->index(1, 2).data(Qt::DecorationRole).isValid());
        QTRY_VERIFY_WITH_TIMEOUT(markersMatchRows(s), 10000);

        // A new match keeps it; "撤销" puts back the matched position.
        s.win.click(QStringLiteral("cmd_plgoto"));
        QVERIFY(near(coordinateOf(s.win.photoCell(2, 2)), target));
        s.win.click(QStringLiteral("cmd_undo"));
        QCOMPARE(s.win.photoCell(2, 2), before);
        QVERIFY(!s.win.w->photoRows().at(1).byHand);
        QTRY_VERIFY_WITH_TIMEOUT(markersMatchRows(s), 10000);
    }

    // A GCJ-02 tile source shifts what is drawn by hundreds of metres here;
    // what the page reports back, like what the session keeps, stays WGS-84.
    void gcjTilesShiftOnlyTheDrawing()
    {
        Shown s;
        open(s);
        if (QTest::currentTestFailed())
            return;
        auto *tiles = s.win.w->mapPane()->findChild<QComboBox *>(QStringLiteral("map_tiles"));
        QVERIFY(tiles);
        const QString gcj = pixplot::mappage::tilePresets().at(1).text;
        QVERIFY(gcj.startsWith(QLatin1String("gcj02:")));
        tiles->setCurrentText(gcj);
        s.win.w->mapPane()->map_tiles_Change();
        QTRY_VERIFY_WITH_TIMEOUT(s.map->lastReport().gcj02, 10000);
        QVERIFY(markersMatchRows(s));
        QVariant drawn;
        s.map->runScript(QStringLiteral("var p = mapPage.markers['1'].getLatLng(); [p.lat, p.lng];"),
                         [&drawn](const QVariant &v) { drawn = v; });
        QTRY_VERIFY_WITH_TIMEOUT(drawn.isValid(), 10000);
        const MapCoordinate at{drawn.toList().value(0).toDouble(), drawn.toList().value(1).toDouble()};
        QVERIFY2(common::mapDistance(at, coordinateOf(s.win.photoCell(1, 2))) > 100, "not shifted");
    }

    void correctionSlidesPhotos_data()
    {
        QTest::addColumn<bool>("negative");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("fixes"); // fixes the photos move east
        QTest::newRow("+00:01:00") << false << 1 << 0 << 6;
        QTest::newRow("-00:00:40") << true << 0 << 40 << -4;
    }
    void correctionSlidesPhotos()
    {
        QFETCH(bool, negative);
        QFETCH(int, minutes);
        QFETCH(int, seconds);
        QFETCH(int, fixes);
        Shown s;
        open(s);
        if (QTest::currentTestFailed())
            return;
        const MapCoordinate before = s.map->lastReport().markers.value(QStringLiteral("2"));
        if (negative)
            s.win.clickCheck(QStringLiteral("tz_f"));
        s.win.get<QLineEdit>(QStringLiteral("tzt_1"))->setText(QString::number(minutes));
        s.win.get<QLineEdit>(QStringLiteral("tzt_2"))->setText(QString::number(seconds));
        s.win.click(QStringLiteral("cmd_tedit"));
        // Photo 2 (10:03:00) sat on fix 18.
        const double expected = common::mapDistance(fixAt(18), fixAt(18 + fixes));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::abs(common::mapDistance(before, s.map->lastReport().markers.value(QStringLiteral("2")))
                     - expected)
                < 0.3,
            10000);
        QVERIFY(near(s.map->lastReport().markers.value(QStringLiteral("2")), fixAt(18 + fixes)));
        QVERIFY(markersMatchRows(s));
    }
};

int main(int argc, char *argv[])
{
    testsupport::prepareWebEngineTest();
    QApplication app(argc, argv);
    TstMap test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_map.moc"
