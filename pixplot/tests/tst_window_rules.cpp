// The window's arithmetic without the window: preview placement with its
// rounding, the progress panel, the offset text and the step buttons.
#include "core/photomatch.h"
#include "core/preview.h"
#include "core/progress.h"
#include "core/stepping.h"

#include <QtTest>

class TestWindowRules : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void roundHalfEven_data();
    void roundHalfEven();
    void progressState_data();
    void progressState();
    void clockOffset_data();
    void clockOffset();
    void previewCaption();
};

void TestWindowRules::placement_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("4000x3000") << 4000 << 3000 << QRect(0, 0, 4200, 3150);
    QTest::newRow("3000x4000") << 3000 << 4000 << QRect(916, 0, 2368, 3150);
    QTest::newRow("square") << 500 << 500 << QRect(525, 0, 3150, 3150);
    // r = 0.745 rounds to 0.74 (even), not 0.75: the width is filled.
    QTest::newRow("r 0.745 to even") << 200 << 149 << QRect(0, 21, 4200, 3108);
    // r = 0.755 rounds to 0.76; 3150 / 0.76 = 4144.7 -> 4145; x = 27.5 -> 28.
    QTest::newRow("r 0.755, x half to even") << 200 << 151 << QRect(28, 0, 4145, 3150);
    QTest::newRow("panorama") << 10000 << 10 << QRect(0, 1575, 4200, 0);
    QTest::newRow("no picture") << 0 << 0 << QRect(0, 0, 0, 0);
}

void TestWindowRules::placement()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRect, twips);
    const preview::Placement p = preview::PlacePicture(w, h);
    QCOMPARE(QRect(p.x, p.y, p.width, p.height), twips);
}

void TestWindowRules::roundHalfEven_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<qint64>("q");
    QTest::newRow("2.5") << qint64(5) << qint64(2) << qint64(2);
    QTest::newRow("3.5") << qint64(7) << qint64(2) << qint64(4);
    QTest::newRow("2.4") << qint64(12) << qint64(5) << qint64(2);
    QTest::newRow("2.6") << qint64(13) << qint64(5) << qint64(3);
    QTest::newRow("exact") << qint64(9) << qint64(3) << qint64(3);
    QTest::newRow("zero") << qint64(0) << qint64(7) << qint64(0);
}

void TestWindowRules::roundHalfEven()
{
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(qint64, q);
    QCOMPARE(preview::RoundHalfEvenDiv(a, b), q);
}

void TestWindowRules::progressState_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bar");
    QTest::newRow("1 of 3") << "x" << qint64(1) << qint64(3) << true << "x 33%" << 1980;
    QTest::newRow("batch caption keeps its space") << "批量编辑 " << qint64(1) << qint64(2) << true
                                                   << "批量编辑  50%" << 3000;
    QTest::newRow("total 0 shows only the panel") << "x" << qint64(0) << qint64(0) << true << "" << 0;
    QTest::newRow("empty caption hides") << "" << qint64(1) << qint64(3) << false << "" << 0;
    QTest::newRow("large counts") << "x" << qint64(99999) << qint64(100000) << true << "x 99%" << 5940;
}

void TestWindowRules::progressState()
{
    QFETCH(QString, caption);
    QFETCH(qint64, current);
    QFETCH(qint64, total);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(int, bar);
    const progress::State s = progress::Compute(caption, current, total);
    QCOMPARE(s.visible, visible);
    QCOMPARE(s.text, text);
    QCOMPARE(s.barTwips, bar);
}

void TestWindowRules::clockOffset_data()
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

void TestWindowRules::clockOffset()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, message);
    const auto o = photomatch::ParseClockOffset(text);
    QCOMPARE(o.has_value(), valid);
    if (o)
        QCOMPARE(photomatch::CorrectionMessage(*o), message);
}

void TestWindowRules::previewCaption()
{
    QCOMPARE(preview::CaptionText(4000, 3000, 3 * 1024 * 1024 + 512 * 1024),
             QStringLiteral("照片预览 (尺寸4000×3000 大小3.50MB"));
    QCOMPARE(preview::CaptionText(64, 48, 900), QStringLiteral("照片预览 (尺寸64×48 大小0.00MB"));
}

QTEST_MAIN(TestWindowRules)
#include "tst_window_rules.moc"
