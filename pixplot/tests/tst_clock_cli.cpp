// The camera clock on the command line: the suggested shift, corrections per
// camera, a photo of a clock, drift, and GPS tags that could not be written,
// on generated photos against a real corpus log and a trekport simulator trip.
#include "core/datetimetext.h"
#include "tst_files.h"

#include <QCryptographicHash>
#include <QProcess>

namespace systemfinction = pixplot::systemfinction;

using fixtures::pixplotProgram;
using fixtures::Run;
using fixtures::runPixplot;

namespace {

// 154 fixes, one a second, 2004-08-07 03:29:08 to 03:31:41 UTC.
QString corpusLog()
{
    return testsupport::corpusDir() + QStringLiteral("/nmea/gpsbabel_track.nmea");
}

} // namespace

class TestClockCli : public fixtures::FolderTest {
    Q_OBJECT
private:
    QHash<QString, QString> positionAt_; // UTC time text -> position, from --read-path

    // "name|YYYY:MM:DD hh:mm:ss|-Tag=value;-Tag=value" as a photo; its path.
    QString makePhoto(const QString &recipe)
    {
        const QStringList f = recipe.split(QLatin1Char('|'));
        const QStringList tags =
            f.value(2).isEmpty() ? QStringList() : f.value(2).split(QLatin1Char(';'));
        const QString path = file(f.at(0));
        if (!fixtures::writeTaggedPhoto(path, f.at(1), tags))
            return {};
        return path;
    }
    QStringList makePhotos(const QStringList &recipes)
    {
        QStringList paths;
        for (const QString &recipe : recipes)
            paths << makePhoto(recipe);
        return paths;
    }
    // "@" in an argument stands for the test folder.
    QStringList inFolder(QStringList args) const
    {
        for (QString &a : args)
            a.replace(QLatin1Char('@'), dir->path() + QLatin1Char('/'));
        return args;
    }

private slots:
    void initTestCase()
    {
        if (const QByteArray why = testsupport::missingPrograms({"pixplot", "exiftool"}); !why.isEmpty())
            QSKIP(why.constData());
        const Run r = runPixplot({"--read-path", corpusLog(), "--zone", "UTC"});
        QCOMPARE(r.code, 0);
        for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            positionAt_.insert(line.section(QLatin1Char('\t'), 1, 1), line.section(QLatin1Char('\t'), 2, 2));
        QCOMPARE(positionAt_.size(), 154);
    }

    void corrections_data();
    void corrections();
    void suggestion_data();
    void suggestion();
    void simulatorTripShiftFound();
    void writeGpsWithoutAnyPosition_data();
    void writeGpsWithoutAnyPosition();
};

void TestClockCli::corrections_data()
{
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QStringList>("args");
    // "name|time the list shows|UTC time it is placed at ('' none)".
    QTest::addColumn<QStringList>("expected");

    // The clock in clock.jpg read 03:29:10 when the camera said 03:31:23.
    QTest::newRow("photo of a clock, 2 min 13 s fast")
        << QStringList{"clock.jpg|2004:08:07 03:31:23|", "a.jpg|2004:08:07 03:32:00|"}
        << QStringList{"--sync", "@clock.jpg=2004-08-07T05:29:10+02:00"}
        << QStringList{"clock.jpg|2004-08-07 03:29:10|2004-08-07 03:29:10",
                       "a.jpg|2004-08-07 03:29:47|2004-08-07 03:29:47"};
    // Two cameras off by their own amounts; the phone's time carries its zone.
    QTest::newRow("two cameras and a phone")
        << QStringList{"canon.jpg|2004:08:07 03:28:00|-Make=Canon;-Model=Canon EOS 40D",
                       "nikon.jpg|2004:08:07 03:35:30|-Make=NIKON CORPORATION;-Model=NIKON D70",
                       "phone.jpg|2004:08:07 05:31:00|-Make=Apple;-Model=iPhone 12;-OffsetTimeOriginal=+02:00"}
        << QStringList{"--offset", "Canon EOS 40D=+00:02:00", "--offset", "NIKON D70=-00:05:00"}
        << QStringList{"canon.jpg|2004-08-07 03:30:00|2004-08-07 03:30:00",
                       "nikon.jpg|2004-08-07 03:30:30|2004-08-07 03:30:30",
                       "phone.jpg|2004-08-07 05:31:00|2004-08-07 03:31:00"};
    // One minute slow on the 5th, two on the 7th: 30 s a day.
    QTest::newRow("drift between two clock photos")
        << QStringList{"s1.jpg|2004:08:05 03:00:00|", "mid.jpg|2004:08:06 03:00:00|",
                       "s2.jpg|2004:08:07 03:00:00|", "late.jpg|2004:08:07 03:29:00|"}
        << QStringList{"--sync", "@s1.jpg=2004-08-05T03:01:00+00:00", "--sync",
                       "@s2.jpg=2004-08-07T03:02:00+00:00"}
        << QStringList{"s1.jpg|2004-08-05 03:01:00|", "mid.jpg|2004-08-06 03:01:30|",
                       "s2.jpg|2004-08-07 03:02:00|", "late.jpg|2004-08-07 03:31:00|2004-08-07 03:31:00"};
}

void TestClockCli::corrections()
{
    QFETCH(QStringList, photos);
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    const QStringList paths = makePhotos(photos);
    QVERIFY(!paths.contains(QString()));
    const Run r = runPixplot(QStringList{"--match", "--path", corpusLog(), "--zone", "UTC"} + inFolder(args) + paths);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QHash<QString, QStringList> rows;
    for (const QString &line : r.out.split(QLatin1Char('\n')))
        rows.insert(line.section(QLatin1Char('\t'), 0, 0), line.split(QLatin1Char('\t')));
    for (const QString &want : expected) {
        const QStringList w = want.split(QLatin1Char('|'));
        const QStringList row = rows.value(w.at(0));
        QVERIFY2(row.size() == 3, qPrintable(want));
        const std::optional<qint64> off = systemfinction::secondsBetween(w.at(1), row.at(1));
        QVERIFY2(off && std::abs(*off) <= 1, qPrintable(row.join(QLatin1Char('\t')) + " / " + want));
        QCOMPARE(row.at(2), w.at(2).isEmpty() ? QString() : positionAt_.value(w.at(2)));
    }
}

void TestClockCli::suggestion_data()
{
    QTest::addColumn<QStringList>("times"); // EXIF times of the photos
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // the start of the output, or what the errors say when it failed

    // The camera kept the time of a zone six hours east of the path's.
    const QStringList ahead{"2004:08:07 09:29:30", "2004:08:07 09:30:00", "2004:08:07 09:31:00"};
    QTest::newRow("6 h ahead, suggested") << ahead << QStringList{"--suggest-offset"} << 0
                                          << QStringLiteral("-06:00:00\t3/3\n");
    QTest::newRow("6 h ahead, applied") << ahead << QStringList{"--match", "--offset", "auto"} << 0
                                        << QStringLiteral("a0.jpg\t2004-08-07 03:29:30\tN42°");
    QTest::newRow("years away, nothing helps")
        << QStringList{"2010:01:01 10:00:00", "2010:01:01 10:05:00"} << QStringList{"--match", "--offset", "auto"}
        << 1 << QStringLiteral("--offset auto：没有能让更多照片落在路径时间范围内的修正（现有 0/2 张）。\n+00:00:00\t0/2");
}

void TestClockCli::suggestion()
{
    QFETCH(QStringList, times);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, says);
    QStringList photos;
    for (qsizetype i = 0; i < times.size(); ++i)
        photos << QStringLiteral("a%1.jpg|%2|").arg(i).arg(times.at(i));
    const QStringList paths = makePhotos(photos);
    const Run r = runPixplot(args + QStringList{"--path", corpusLog(), "--zone", "UTC"} + paths);
    QCOMPARE(r.code, code);
    QVERIFY2(code == 0 ? r.out.startsWith(says) : r.err.contains(says), qPrintable(r.out + r.err));
}

void TestClockCli::simulatorTripShiftFound()
{
    if (const QByteArray why = testsupport::missingPrograms({"trekport", "trekport-logger-sim"});
        !why.isEmpty())
        QSKIP(why.constData());
    // A trip logged in Berlin, downloaded by trekport from the simulator.
    QProcess sim;
    sim.start(testsupport::builtProgram(QStringLiteral("trekport-logger-sim")),
              {"--points", "30", "--fast", "--once"});
    QVERIFY(sim.waitForStarted() && sim.waitForReadyRead(10000));
    const QString device = QString::fromUtf8(sim.readLine()).trimmed();
    const QString trip = file("trip.name");
    const Run t = fixtures::run(testsupport::builtProgram(QStringLiteral("trekport")),
                                {"--port", device, "--download", "--quiet-ms", "2000", "--zone",
                                 "Europe/Berlin", "--export-name", trip});
    QVERIFY2(t.code == 0, qPrintable(t.err));
    QVERIFY(sim.waitForFinished(5000));

    // Photos at the first and every fifth fix, by a camera still on a zone
    // six hours east (China time in the summer).
    const Run path = runPixplot({"--read-path", trip, "--zone", "Europe/Berlin"});
    const QStringList fixes = path.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(fixes.size(), 30);
    QStringList photos;
    for (qsizetype i = 0; i < fixes.size(); i += 5) {
        const qint64 local = *systemfinction::calendarSecondsOf(fixes.at(i).section(QLatin1Char('\t'), 1, 1));
        photos << QStringLiteral("p%1.jpg|%2|").arg(i).arg(
            systemfinction::formatCalendarSeconds(local + 6 * 3600).replace(QLatin1Char('-'), QLatin1Char(':')));
    }
    const Run r = runPixplot(QStringList{"--suggest-offset", "--path", trip, "--zone", "Europe/Berlin"}
                             + makePhotos(photos));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), QStringLiteral("-06:00:00\t6/6"));
}

void TestClockCli::writeGpsWithoutAnyPosition_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("hint"); // the suggestion the errors end with, or ""
    QTest::newRow("years away") << QStringLiteral("2010:01:01 10:00:00") << QString();
    QTest::newRow("6 h ahead")
        << QStringLiteral("2004:08:07 09:30:00")
        << QStringLiteral("有 1 张照片不在路径的时间范围内。相机时间若差 -06:00:00，可以匹配 1 张（--offset "
                          "-06:00:00 或 --offset auto）。");
}

void TestClockCli::writeGpsWithoutAnyPosition()
{
    QFETCH(QString, time);
    QFETCH(QString, hint);
    const QString photo = makePhoto(QStringLiteral("a.jpg|%1|").arg(time));
    const QByteArray before = testsupport::readAll(photo);
    const Run r =
        runPixplot({"--process", "--write-gps", "--no-backup", "--path", corpusLog(), "--zone", "UTC", photo});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("没有照片得到坐标，不会写入任何GPS信息；照片未处理。\n") + photo
                              + QStringLiteral(": 不在路径的时间范围内")),
             qPrintable(r.err));
    QVERIFY2(r.err.trimmed().endsWith(hint.isEmpty() ? QStringLiteral("不在路径的时间范围内") : hint),
             qPrintable(r.err));
    QCOMPARE(testsupport::readAll(photo), before); // nothing was touched
}

QTEST_GUILESS_MAIN(TestClockCli)
#include "tst_clock_cli.moc"
