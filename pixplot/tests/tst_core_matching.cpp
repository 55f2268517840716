// The nearest-point rule that gives a photo its path position.
#include "core/photomatch.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using pixplot::photomatch::Match;
using pixplot::photomatch::Outcome;

namespace {

// The rule written out plainly, as the list-order scan over the path.
Match referenceScan(const std::vector<qint64> &offsets, qint64 t, qint64 tolerance)
{
    Match m;
    if (offsets.empty() || t < 0 || t > offsets.back())
        return m;
    size_t u = 0;
    for (; u < offsets.size(); ++u) {
        if (offsets[u] >= t)
            break;
    }
    size_t chosen = u;
    if (u != 0 && std::llabs(offsets[u - 1] - t) < std::llabs(offsets[u] - t))
        chosen = u - 1;
    m.gap = std::llabs(offsets[chosen] - t);
    if (m.gap > tolerance) {
        m.outcome = Outcome::BeyondTolerance;
    } else {
        m.outcome = Outcome::Matched;
        m.index = qsizetype(chosen);
    }
    return m;
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestMatching : public QObject {
    Q_OBJECT
private slots:
    void nearestPoint_data();
    void nearestPoint();
    void binarySearchEqualsScan_data();
    void binarySearchEqualsScan();
    void pathStepsBackwards();
};

void TestMatching::nearestPoint_data()
{
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::addColumn<qint64>("t");
    QTest::addColumn<qint64>("tolerance");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<qsizetype>("index");
    QTest::addColumn<qint64>("gap");
    const QList<qint64> tens{0, 10, 20};
    QTest::newRow("tie goes to the later point")
        << tens << qint64(15) << qint64(120) << Outcome::Matched << qsizetype(2) << qint64(5);
    QTest::newRow("earlier point strictly nearer")
        << tens << qint64(14) << qint64(120) << Outcome::Matched << qsizetype(1) << qint64(4);
    QTest::newRow("later point nearer")
        << tens << qint64(16) << qint64(120) << Outcome::Matched << qsizetype(2) << qint64(4);
    QTest::newRow("exact hit") << tens << qint64(10) << qint64(0) << Outcome::Matched << qsizetype(1)
                               << qint64(0);
    QTest::newRow("first point") << tens << qint64(0) << qint64(0) << Outcome::Matched << qsizetype(0)
                                 << qint64(0);
    QTest::newRow("last point") << tens << qint64(20) << qint64(0) << Outcome::Matched << qsizetype(2)
                                << qint64(0);
    const QList<qint64> sparse{0, 1000};
    QTest::newRow("120 s away matches at 120")
        << sparse << qint64(120) << qint64(120) << Outcome::Matched << qsizetype(0) << qint64(120);
    QTest::newRow("121 s away fails at 120")
        << sparse << qint64(121) << qint64(120) << Outcome::BeyondTolerance << qsizetype(-1) << qint64(121);
    QTest::newRow("near the later point")
        << sparse << qint64(880) << qint64(120) << Outcome::Matched << qsizetype(1) << qint64(120);
    QTest::newRow("1 s past the period")
        << tens << qint64(21) << qint64(600) << Outcome::OutsidePeriod << qsizetype(-1) << qint64(0);
    QTest::newRow("photo before the path")
        << tens << qint64(-1) << qint64(600) << Outcome::OutsidePeriod << qsizetype(-1) << qint64(0);
    QTest::newRow("no path") << QList<qint64>{} << qint64(0) << qint64(600) << Outcome::OutsidePeriod
                             << qsizetype(-1) << qint64(0);
    QTest::newRow("one-point path") << QList<qint64>{0} << qint64(0) << qint64(0) << Outcome::Matched
                                    << qsizetype(0) << qint64(0);
    QTest::newRow("repeated times take the first") << QList<qint64>{0, 5, 5, 5, 9} << qint64(5) << qint64(0)
                                                   << Outcome::Matched << qsizetype(1) << qint64(0);
    QTest::newRow("tie after repeated times") << QList<qint64>{0, 5, 5, 9} << qint64(7) << qint64(10)
                                              << Outcome::Matched << qsizetype(3) << qint64(2);
    QTest::newRow("zero tolerance misses")
        << tens << qint64(11) << qint64(0) << Outcome::BeyondTolerance << qsizetype(-1) << qint64(1);
}

void TestMatching::nearestPoint()
{
    QFETCH(QList<qint64>, offsets);
    QFETCH(qint64, t);
    QFETCH(qint64, tolerance);
    QFETCH(Outcome, outcome);
    QFETCH(qsizetype, index);
    QFETCH(qint64, gap);
    const std::span<const qint64> span(offsets.constData(), size_t(offsets.size()));
    for (const Match &m : {pixplot::photomatch::nearestPoint(span, t, tolerance),
                           pixplot::photomatch::nearestPointScan(span, t, tolerance)}) {
        QCOMPARE(m.outcome, outcome);
        QCOMPARE(m.index, index);
        if (outcome != Outcome::OutsidePeriod)
            QCOMPARE(m.gap, gap);
    }
}

void TestMatching::binarySearchEqualsScan_data()
{
    QTest::addColumn<quint32>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("maxStep");
    QTest::newRow("dense, many repeats") << 1u << 50 << 2;
    QTest::newRow("one-second log") << 2u << 2000 << 1;
    QTest::newRow("gappy") << 3u << 300 << 400;
    QTest::newRow("tiny") << 4u << 2 << 30;
}

void TestMatching::binarySearchEqualsScan()
{
    QFETCH(quint32, start);
    QFETCH(int, length);
    QFETCH(int, maxStep);
    QRandomGenerator rng(start);
    std::vector<qint64> offsets{0};
    for (int i = 1; i < length; ++i)
        offsets.push_back(offsets.back() + rng.bounded(maxStep + 1));
    QVERIFY(pixplot::photomatch::isNonDecreasing(offsets));
    const qint64 period = offsets.back();
    int matched = 0;
    for (qint64 t = -3; t <= period + 3; ++t) {
        for (qint64 tolerance : {qint64(0), qint64(1), qint64(120)}) {
            const Match want = referenceScan(offsets, t, tolerance);
            const Match got = pixplot::photomatch::nearestPoint(offsets, t, tolerance);
            QCOMPARE(got.outcome, want.outcome);
            QCOMPARE(got.index, want.index);
            QCOMPARE(got.gap, want.gap);
            matched += got.outcome == Outcome::Matched;
        }
    }
    QVERIFY(matched > 0);
}

void TestMatching::pathStepsBackwards()
{
    // A receiver whose clock jumps back: the scan takes the first point in
    // list order at or after t.
    const std::vector<qint64> offsets{0, 10, 4, 6, 12};
    QVERIFY(!pixplot::photomatch::isNonDecreasing(offsets));
    for (qint64 t = 0; t <= 12; ++t) {
        const Match want = referenceScan(offsets, t, 2);
        const Match got = pixplot::photomatch::nearestPointScan(offsets, t, 2);
        QCOMPARE(got.outcome, want.outcome);
        QCOMPARE(got.index, want.index);
    }
    QCOMPARE(pixplot::photomatch::nearestPointScan(offsets, 5, 10).index, qsizetype(1));
}

QTEST_GUILESS_MAIN(TestMatching)
#include "tst_core_matching.moc"
