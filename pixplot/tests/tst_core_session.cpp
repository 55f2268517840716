// The session the window and the command line share: listing photos, the
// path's conversion input however it was loaded, and the road of a photo
// from clock correction through matching to the batch on real files.
#include "core/photosession.h"
#include "tst_files.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using fixtures::photoWithTime;
using fixtures::writeFile;
using pixplot::PhotoRow;

// 07:00:00 and 07:01:00 UTC on 2010-05-01: 15:00:00 and 15:01:00 at UTC+08:00.
const QByteArray kPath = "$GPRMC,070000,A,3150.0000,N,11846.0000,E,0.0,0.0,010510,,,A*00\r\n"
                         "$GPGGA,070030,3150.0000,N,11846.0000,E,1,08,1.0,10.0,M,0.0,M,,*00\r\n"
                         "$GPRMC,070100,A,3150.6000,N,11846.6000,E,0.0,0.0,010510,,,A*00\r\n";

} // namespace

class TestCoreSession : public QObject {
    Q_OBJECT
private slots:
    void conversionInputWhateverWasKept();
    void photoFromListToRenamedFile();
    void handPlacementsOutliveMatching_data();
    void handPlacementsOutliveMatching();
};

void TestCoreSession::conversionInputWhateverWasKept()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trip.name"));
    QVERIFY(writeFile(file, kPath));
    pixplot::PhotoSession points, positions;
    QVERIFY(points.loadPath(file));
    QVERIFY(positions.loadPath(file, pixplot::PhotoSession::PathKeep::PositionsOnly));
    QCOMPARE(points.pathPointCount(), 2);
    QCOMPARE(positions.pathPointCount(), 2);
    QVERIFY(positions.pathPoints().isEmpty()); // a long log is never held as points
    const pixplot::ConversionInput a = points.conversionInput();
    const pixplot::ConversionInput b = positions.conversionInput();
    QCOMPARE(a.path.count, 2);
    QCOMPARE(a.path.timeSpan, QStringLiteral("2010-05-01 15:00:00 to 2010-05-01 15:01:00"));
    // The last four characters go, whatever the extension's length.
    QCOMPARE(a.fileBase, dir.filePath(QStringLiteral("trip.")));
    QCOMPARE(b.path.timeSpan, a.path.timeSpan);
    QCOMPARE(b.fileBase, a.fileBase);
    QCOMPARE(b.path.count, a.path.count);
    for (qsizetype i = 0; i < a.path.count; ++i) {
        QCOMPARE(b.path.points.at(i).latitude, a.path.points.at(i).latitude);
        QCOMPARE(b.path.points.at(i).longitude, a.path.points.at(i).longitude);
    }
    QCOMPARE(a.path.points.at(1).latitude, 31 + 50.6 / 60);

    // Another zone re-times the loaded points; their instants stay.
    points.setZone(*common::TimeZoneSetting::parse(QStringLiteral("UTC")));
    QCOMPARE(points.conversionInput().path.timeSpan,
             QStringLiteral("2010-05-01 07:00:00 to 2010-05-01 07:01:00"));
    QCOMPARE(points.pathPoints().at(1).offsetSeconds, 60);
}

void TestCoreSession::photoFromListToRenamedFile()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("path.txt")), kPath));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("a.jpg")), photoWithTime("2010:05:01 14:00:50")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.txt")), "text"));
    pixplot::PhotoSession s;
    const pixplot::PhotoLoad load =
        s.addPhotos({dir.filePath(QStringLiteral("a.jpg")), dir.filePath(QStringLiteral("gone.jpg")),
                     dir.filePath(QStringLiteral("notes.txt")), dir.path()});
    QCOMPARE(load.loaded, 1);
    QCOMPARE(load.withExif, 1);
    QCOMPARE(load.rejects.size(), 3);
    QCOMPARE(load.rejects.at(0).kind, pixplot::PhotoReject::Kind::Missing);
    QCOMPARE(load.rejects.at(1).kind, pixplot::PhotoReject::Kind::NotJpeg);
    QCOMPARE(load.rejects.at(2).kind, pixplot::PhotoReject::Kind::NotRegular);
    QVERIFY(!load.rejects.at(2).reason.isEmpty());

    // One hour behind, then 10 s from the first fix.
    s.correctClock(*pixplot::photomatch::parseClockOffset(QStringLiteral("+01:00:00")));
    QCOMPARE(s.rows().at(0).timeText, QStringLiteral("2010-05-01 15:00:50"));
    QVERIFY(s.loadPath(dir.filePath(QStringLiteral("path.txt"))));
    s.setTolerance(10);
    QCOMPARE(s.match().matched, 1);
    QCOMPARE(s.rowTexts(),
             QStringList{QStringLiteral("a.jpg\t2010-05-01 15:00:50\tN31°50.6000',E118°46.6000'")});

    pixplot::photooutput::Options output;
    output.backup = false;
    output.rename = pixplot::photooutput::RenameMode::ByTime;
    QList<qsizetype> done;
    connect(&s, &pixplot::PhotoSession::batchPhotoDone, this,
            [&done](qsizetype row, const pixplot::photooutput::Outcome &out) {
                done << (out.ok() ? row : -row);
            });
    const pixplot::BatchResult result = s.runBatch(output, 2);
    QCOMPARE(done, QList<qsizetype>{1});
    QCOMPARE(result.failed, 0);
    QCOMPARE(result.message(), QStringLiteral("批处理完成!\r\n共处理 1 个照片。"));
    QCOMPARE(s.rows().at(0).record.fileName, QStringLiteral("20100501_150050.jpg"));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("20100501_150050.jpg"))));
    QVERIFY(!s.batchRunning());
}

QTEST_GUILESS_MAIN(TestCoreSession)
#include "tst_core_session.moc"

void TestCoreSession::handPlacementsOutliveMatching_data()
{
    // Steps on one photo shot at 15:00:00 (the path's first fix): "match",
    // "correct S" (seconds), "place LAT LNG", "undo", "clear".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("position"); // expected afterwards
    QTest::addColumn<bool>("byHand");
    QTest::addColumn<int>("notices"); // rows changed, after the photo was added
    // The degrees written ("lat lon"; "" where the text says all), and
    // whether the speed of the matched fix goes with them.
    QTest::addColumn<QString>("degrees");
    QTest::addColumn<bool>("motion");
    const QString first = QStringLiteral("N31°50.0000',E118°46.0000'");
    const QString last = QStringLiteral("N31°50.6000',E118°46.6000'");
    const QString placed = QStringLiteral("N31°51.0000',E118°47.0000'");
    QTest::newRow("matched") << QStringList{"match"} << first << false << 1 << "" << true;
    QTest::newRow("a correction matches again")
        << QStringList{"match", "correct 60"} << last << false << 2 << "" << true;
    QTest::newRow("placed, kept by matching")
        << QStringList{"match", "place 31.85 118.7833333", "match", "correct 60"} << placed << true << 4
        << "31.85 118.7833333" << false;
    QTest::newRow("undo puts back the match")
        << QStringList{"match", "place 31.85 118.7833333", "undo"} << first << false << 3 << "" << true;
    QTest::newRow("undo twice") << QStringList{"place 1 2", "place 31.85 118.7833333", "undo", "undo"}
                                << QString() << false << 4 << "" << false;
    QTest::newRow("undo once") << QStringList{"place 1.123456789 2", "place 31.85 118.7833333", "undo"}
                               << QStringLiteral("N01°07.4074',E002°00.0000'") << true << 3 << "1.123456789 2"
                               << false;
    QTest::newRow("nothing to undo") << QStringList{"match", "undo"} << first << false << 1 << "" << true;
    QTest::newRow("no such place") << QStringList{"match", "place 91 0", "place 0 181"} << first << false << 1
                                   << "" << true;
    QTest::newRow("cleared") << QStringList{"place 31.85 118.7833333", "clear", "undo"} << QString() << false
                             << 2 << "" << false;
}

void TestCoreSession::handPlacementsOutliveMatching()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, position);
    QFETCH(bool, byHand);
    QFETCH(int, notices);
    QFETCH(QString, degrees);
    QFETCH(bool, motion);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trip.txt"));
    const QString photo = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(writeFile(path, kPath));
    QVERIFY(writeFile(photo, photoWithTime("2010:05:01 15:00:00")));
    pixplot::PhotoSession session;
    QVERIFY(session.loadPath(path));
    QCOMPARE(session.addPhotos({photo}).loaded, 1);
    int changes = 0;
    connect(&session, &pixplot::PhotoSession::rowsChanged, this, [&changes] { ++changes; });
    connect(&session, &pixplot::PhotoSession::rowChanged, this, [&changes] { ++changes; });
    for (const QString &step : steps) {
        const QStringList w = step.split(QLatin1Char(' '));
        if (w[0] == QLatin1String("match"))
            session.match();
        else if (w[0] == QLatin1String("correct"))
            session.correctClock({0, 0, w[1].toInt(), false});
        else if (w[0] == QLatin1String("place"))
            session.placeByHand(1, {w[2].toDouble(), w[1].toDouble()});
        else if (w[0] == QLatin1String("undo"))
            session.undoPlacement();
        else
            session.clearPositions();
    }
    const PhotoRow &row = session.rows().at(0);
    QCOMPARE(row.position, position);
    QCOMPARE(row.byHand, byHand);
    QCOMPARE(changes, notices);
    QCOMPARE(row.degrees ? QString::number(row.degrees->latitude, 'g', 15) + QLatin1Char(' ')
                     + QString::number(row.degrees->longitude, 'g', 15)
                         : QString(),
             degrees);
    QCOMPARE(!std::isnan(row.motion.speedKmh), motion);
}
