// The zone of the logger's clock in the NAME and GPX exports, the GPX file
// as gpsbabel and xmllint read it, and the zone kept in SYS.ini.
#include "common/scripteddialogs.h"
#include "common/testsupport.h"
#include "core/portsettings.h"
#include "ui/mainform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace trekport;

namespace {

// Either side of both changes of Europe/Berlin in 2026, logger time; one
// marked point.
const QByteArray kTrack = QStringLiteral("记录001| 自动| 03月29日 01:30:00| N52°30.0000',E013°24.0000'\r\n"
                                         "记录002| 标记| 03月29日 03:30:00| N52°31.0000',E013°25.0000'\r\n"
                                         "记录003| 自动| 10月25日 02:30:00| N52°32.0000',E013°26.0000'\r\n"
                                         "记录004| 自动| 10月25日 03:30:00| N52°33.5000',E013°27.1234'\r\n")
                              .toUtf8();

int runTrekport(const QStringList &args, QByteArray *out = nullptr)
{
    QByteArray err;
    return testsupport::runProgram(testsupport::builtProgram(QStringLiteral("trekport")), args, out, &err);
}

// The time fields (RMC time, RMC date) of a NAME file's RMC lines.
QStringList rmcTimes(const QString &file)
{
    QStringList times;
    for (const QByteArray &line : testsupport::readAll(file).split('\n')) {
        const QList<QByteArray> f = line.split(',');
        if (line.startsWith("$GPRMC") && f.size() > 9)
            times << QString::fromLatin1(f[9] + ' ' + f[1]);
    }
    return times;
}

} // namespace

class TestZones : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void nameExport_data();
    void nameExport();
    void gpxReadByPeers();
    void zoneInSysIni();
    void windowZoneAndGpxButton();

private:
    QTemporaryDir dir_;
    QString track_;
};

void TestZones::initTestCase()
{
    QVERIFY(QFileInfo(testsupport::builtProgram(QStringLiteral("trekport"))).isExecutable());
    QVERIFY(testsupport::hasProgram(QStringLiteral("gpsbabel"))
            && testsupport::hasProgram(QStringLiteral("xmllint")));
    track_ = dir_.filePath(QStringLiteral("t.gtxt"));
    QFile f(track_);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kTrack) == kTrack.size());
}

void TestZones::nameExport_data()
{
    QTest::addColumn<QStringList>("zone");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("times");
    const QStringList eight{"280326 173000.000", "280326 193000.000", "241026 183000.000",
                            "241026 193000.000"};
    QTest::newRow("default") << QStringList() << 0 << eight;
    QTest::newRow("+08:00") << QStringList{"--zone", "+08:00"} << 0 << eight;
    // 02:30 on 25 October is the first (summer) 02:30; the NAME file keeps
    // the hour that follows 01:30 in March as 03:30 summer time.
    QTest::newRow("Europe/Berlin") << QStringList{"--zone", "Europe/Berlin"} << 0
                                   << QStringList{"290326 003000.000", "290326 013000.000",
                                                  "251026 003000.000", "251026 023000.000"};
    QTest::newRow("-05:30") << QStringList{"--zone", "-05:30"} << 0
                            << QStringList{"290326 070000.000", "290326 090000.000", "251026 080000.000",
                                           "251026 090000.000"};
    QTest::newRow("bad") << QStringList{"--zone", "Atlantis"} << 2 << QStringList();
}

void TestZones::nameExport()
{
    QFETCH(QStringList, zone);
    QFETCH(int, code);
    QFETCH(QStringList, times);
    const QString out = dir_.filePath(QStringLiteral("n.txt"));
    QCOMPARE(
        runTrekport(QStringList{"--import", track_, "--year", "2026", "--export-name", out, "--overwrite"}
                    + zone),
        code);
    if (code != 0) {
        QCOMPARE(runTrekport(QStringList{"--import", track_, "--export-gpx", dir_.filePath("x.gpx")} + zone),
                 2);
        return;
    }
    QCOMPARE(rmcTimes(out), times);
    if (times.first() == QLatin1String("280326 173000.000")) {
        const QByteArray withZone = testsupport::readAll(out);
        QCOMPARE(runTrekport({"--import", track_, "--year", "2026", "--export-name", out, "--overwrite"}), 0);
        QCOMPARE(testsupport::readAll(out), withZone);
    }
}

void TestZones::gpxReadByPeers()
{
    const QString gpx = dir_.filePath(QStringLiteral("t.gpx"));
    QCOMPARE(runTrekport({"--import", track_, "--year", "26", "--zone", "Europe/Berlin", "--export-gpx", gpx,
                          "--overwrite"}),
             0);
    QCOMPARE(testsupport::runProgram(QStringLiteral("xmllint"), {"--noout", gpx}), 0);
    // Back through gpsbabel: the waypoint by record number, then the track
    // of every fix in time order, the marked one included.
    QByteArray csv;
    QCOMPARE(testsupport::runProgram(QStringLiteral("gpsbabel"),
                                     {"-w", "-t", "-i", "gpx", "-f", gpx, "-o", "gpx", "-F", "-"}, &csv),
             0);
    QStringList seen;
    QXmlStreamReader x(csv);
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        if (x.name() == QLatin1String("wpt") || x.name() == QLatin1String("trkpt"))
            seen << x.name().toString() + QLatin1Char(' ') + x.attributes().value("lat").toString()
                    + QLatin1Char(',') + x.attributes().value("lon").toString();
        else if (!seen.isEmpty() && (x.name() == QLatin1String("time") || x.name() == QLatin1String("name")))
            seen << x.readElementText();
    }
    seen.removeAll(QStringLiteral("Auto Track"));
    QCOMPARE(seen,
             (QStringList{"wpt 52.516666667,13.416666667", "2026-03-29T01:30:00Z", "NO.002",
                          "trkpt 52.500000000,13.400000000", "2026-03-29T00:30:00Z",
                          "trkpt 52.516666667,13.416666667", "2026-03-29T01:30:00Z",
                          "trkpt 52.533333333,13.433333333", "2026-10-25T00:30:00Z",
                          "trkpt 52.558333333,13.452056667", "2026-10-25T02:30:00Z"}));
}

void TestZones::zoneInSysIni()
{
    // A one-line SYS.ini keeps its first line; the zone goes on the second
    // and leaves again when the default comes back.
    QTemporaryDir dir;
    const QString ini = QDir(dir.path()).filePath(QStringLiteral("SYS.ini"));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("3\r\n") == 3);
    f.close();
    PortSettings settings(dir.path(), dir.filePath(QStringLiteral("user")));
    QCOMPARE(settings.loadZone(), QString());
    QVERIFY(settings.saveZone(QStringLiteral("Europe/Berlin")));
    QCOMPARE(testsupport::readAll(ini), QByteArray("3\r\nEurope/Berlin\r\n"));
    QVERIFY(settings.save(QStringLiteral("/dev/ttyUSB0")));
    QCOMPARE(settings.load(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(settings.loadZone(), QStringLiteral("Europe/Berlin"));
    QVERIFY(settings.saveZone(QString()));
    QCOMPARE(testsupport::readAll(ini), QByteArray("/dev/ttyUSB0\r\n"));
}

void TestZones::windowZoneAndGpxButton()
{
    QTemporaryDir dir;
    QFile f(QDir(dir.path()).filePath(QStringLiteral("SYS.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("2\r\n-05:30\r\n") > 0);
    f.close();
    common::ScriptedDialogs dialogs;
    MainForm form(dialogs, dir.path(), dir.filePath(QStringLiteral("user")));
    form.show();
    QCOMPARE(form.zone_cs->currentText(), QStringLiteral("UTC-05:30"));
    QCOMPARE(form.port_cs->currentText(), QStringLiteral("2"));
    // Nothing overlaps the new controls.
    const QList<QWidget *> added{form.zone_label, form.zone_cs, form.gpx_mk};
    for (QWidget *w : form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        for (QWidget *a : added)
            QVERIFY2(w == a || !w->isVisible() || w->objectName().startsWith("Image")
                         || w->objectName() == QLatin1String("movetitle")
                         || !w->geometry().intersects(a->geometry()),
                     qPrintable(w->objectName() + " / " + a->objectName()));
    }
    form.zone_cs->setEditText(QStringLiteral("Elsewhere"));
    emit form.zone_cs->lineEdit()->editingFinished();
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(form.zone_cs->currentText(), QStringLiteral("UTC-05:30"));
    form.zone_cs->setEditText(QStringLiteral("Asia/Tokyo"));
    emit form.zone_cs->lineEdit()->editingFinished();
    QCOMPARE(testsupport::readAll(f.fileName()), QByteArray("2\r\nAsia/Tokyo\r\n"));
}

QTEST_MAIN(TestZones)
#include "tst_zones.moc"
