// Preview placement with its rounding and the preview caption, the clock
// offset text, and matching against a path whose clock steps back.
#include "core/pathfile.h"
#include "core/photomatch.h"
#include "core/preview.h"
#include "core/datetimetext.h"

#include <QtTest>

using pixplot::PathPoint;
using pixplot::PhotoRecord;
using pixplot::PhotoRow;
namespace systemfinction = pixplot::systemfinction;

class TestPreviewMatch : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void clockOffset_data();
    void clockOffset();
    void previewCaption();
    void matchingPathThatStepsBack();
};

void TestPreviewMatch::placement_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("square") << 500 << 500 << QRect(525, 0, 3150, 3150);
    // r = 0.745 rounds to 0.74 (even), not 0.75: the width is filled.
    QTest::newRow("r 0.745 to even") << 200 << 149 << QRect(0, 21, 4200, 3108);
    // r = 0.755 rounds to 0.76; 3150 / 0.76 = 4144.7 -> 4145; x = 27.5 -> 28.
    QTest::newRow("r 0.755, x half to even") << 200 << 151 << QRect(28, 0, 4145, 3150);
    QTest::newRow("panorama") << 10000 << 10 << QRect(0, 1575, 4200, 0);
    QTest::newRow("no picture") << 0 << 0 << QRect(0, 0, 0, 0);
}

void TestPreviewMatch::placement()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRect, twips);
    const pixplot::preview::Placement p = pixplot::preview::placePicture(w, h);
    QCOMPARE(QRect(p.x, p.y, p.width, p.height), twips);
}

void TestPreviewMatch::clockOffset_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message");
    QTest::newRow("plus") << "+01:00:00" << true << "修正相机时间: +01:00:00";
    QTest::newRow("no sign") << "1:2:3" << true << "修正相机时间: +01:02:03";
    QTest::newRow("minus") << "-23:59:59" << true << "修正相机时间: -23:59:59";
    QTest::newRow("hour 24") << "24:00:00" << false << "";
    QTest::newRow("minute 60") << "00:60:00" << false << "";
    QTest::newRow("two parts") << "01:00" << false << "";
    QTest::newRow("words") << "+ab:cd:ef" << false << "";
}

void TestPreviewMatch::clockOffset()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, message);
    const auto o = pixplot::photomatch::parseClockOffset(text);
    QCOMPARE(o.has_value(), valid);
    if (o)
        QCOMPARE(pixplot::photomatch::correctionMessage(*o), message);
}

void TestPreviewMatch::previewCaption()
{
    QCOMPARE(pixplot::preview::captionText(4000, 3000, 3 * 1024 * 1024 + 512 * 1024),
             QStringLiteral("照片预览 (尺寸4000×3000 大小3.50MB)"));
    QCOMPARE(pixplot::preview::captionText(64, 48, 900), QStringLiteral("照片预览 (尺寸64×48 大小0.00MB)"));
}

// A path whose clock steps back is matched as the list is read: the first
// point at or after the photo's second, not whatever binary search lands on.
void TestPreviewMatch::matchingPathThatStepsBack()
{
    const QStringList times{"2010-05-01 10:00:00", "2010-05-01 10:00:30", "2010-05-01 10:00:10",
                            "2010-05-01 10:00:20", "2010-05-01 10:00:40"};
    QList<PathPoint> path;
    for (int i = 0; i < times.size(); ++i)
        path.append({*systemfinction::calendarSecondsOf(times.at(i)), 0,
                     QStringLiteral("N31°50.%1',E118°46.0000'").arg(i, 4, 10, QChar(u'0')).toLatin1()});
    pixplot::pathfile::computeOffsets(path);

    PhotoRecord rec{true, "a.jpg", "/tmp/", "2010-05-01 10:00:19", std::nullopt, QString()};
    QList<PhotoRow> rows{{rec, rec.shotTime, QString()}};
    const auto summary = pixplot::photomatch::matchRows(rows, path, 15);
    QCOMPARE(summary.matched, qint64(1));
    // Reading in order, 10:00:30 is the first point at or after 19 s; the
    // point before it (19 s away) is not nearer, so 10:00:30 (11 s) is taken.
    // A binary search over these offsets would land on 10:00:20 instead.
    QCOMPARE(rows.first().position, path.at(1).positionText());
}

QTEST_MAIN(TestPreviewMatch)
#include "tst_core_preview_match.moc"
