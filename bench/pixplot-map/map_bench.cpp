// The "地图" pane's costs: how long the window takes to open with the map
// and without it (each a fresh process, the same run), and how long after
// loading a 1,000,000-point path and 1,000 photos the map shows them.
// usage: bench_pixplot_map [--points N] [--photos N] [--runs N] [--hold S]
#include "../pixplot-window/benchsupport.h"

#include "ui/mainwindow.h"
#include "ui/photomap.h"

#include "common/scripteddialogs.h"
#include "common/webmapview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

using pixplot::PhotoRow;

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

QElapsedTimer sinceStart;

// The child: opens the window (with the map when asked) and writes to
// figures the seconds since it started until the window was on the screen
// and, with the map, until the map had drawn.
int openWindow(bool withMap, const QString &figures)
{
    common::ScriptedDialogs dialogs;
    pixplot::PixplotMain w(dialogs);
    w.show();
    if (withMap)
        w.showMap(true);
    if (!QTest::qWaitForWindowExposed(&w, 30000))
        return 1;
    QByteArray out = QByteArray::number(sinceStart.nsecsElapsed() / 1e9);
    if (withMap) {
        (void)QTest::qWaitFor([&w] { return w.mapPane()->view() != nullptr; }, 30000);
        auto *map = qobject_cast<common::WebMapView *>(w.mapPane()->view());
        if (!map || !QTest::qWaitFor([map] { return map->lastReport().vertices >= 0; }, 60000))
            return 1;
        out += ' ' + QByteArray::number(sinceStart.nsecsElapsed() / 1e9);
    }
    return bench::writeBytes(figures, out) ? 0 : 1;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    sinceStart.start();
    common::prepareMapEngine();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("points"), QStringLiteral("Fixes in the path (1000000)."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("photos"), QStringLiteral("Photos (1000)."), QStringLiteral("N")});
    parser.addOption(
        {QStringLiteral("runs"), QStringLiteral("Starts of each kind (5)."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("child"), QStringLiteral("Internal: open the window once."),
                      QStringLiteral("map|plain")});
    parser.addOption({QStringLiteral("figures"),
                      QStringLiteral("Internal: where the child writes its times."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("hold"), QStringLiteral("Seconds the loaded window stays open (0)."),
                      QStringLiteral("S")});
    parser.addHelpOption();
    parser.process(app);
    if (parser.isSet(QStringLiteral("child")))
        return openWindow(parser.value(QStringLiteral("child")) == QLatin1String("map"),
                          parser.value(QStringLiteral("figures")));
    const qint64 points = parser.value(QStringLiteral("points")).isEmpty()
        ? 1000000
        : parser.value(QStringLiteral("points")).toLongLong();
    const int photos = parser.value(QStringLiteral("photos")).isEmpty()
        ? 1000
        : parser.value(QStringLiteral("photos")).toInt();
    const int runs =
        parser.value(QStringLiteral("runs")).isEmpty() ? 5 : parser.value(QStringLiteral("runs")).toInt();

    // ---- start-up, alternating so both see the same machine; each child
    // counts from its own main(), so loading the program is left out alike
    QTemporaryDir figuresDir;
    const QString figures = figuresDir.filePath(QStringLiteral("figures"));
    QList<double> plain, withMap, mapDrawn;
    for (int r = 0; r < runs; ++r) {
        for (const QString &kind : {QStringLiteral("plain"), QStringLiteral("map")}) {
            const bench::ChildRun c =
                bench::runChild(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--child"), kind, QStringLiteral("--figures"), figures});
            const QList<QByteArray> t = bench::readBytes(figures).split(' ');
            if (c.exitCode != 0 || t.size() != (kind == QLatin1String("map") ? 2 : 1)) {
                say(QStringLiteral("the window did not open (%1, exit %2)").arg(kind).arg(c.exitCode));
                return 1;
            }
            (kind == QLatin1String("map") ? withMap : plain) << t[0].toDouble();
            if (t.size() == 2)
                mapDrawn << t[1].toDouble();
        }
    }
    say(QStringLiteral("window on screen: %1 s without the map, %2 s with it (median of %3); ratio %4 "
                       "(target <= 1.5); the map drawn at %5 s")
            .arg(median(plain), 0, 'f', 3)
            .arg(median(withMap), 0, 'f', 3)
            .arg(runs)
            .arg(median(withMap) / median(plain), 0, 'f', 2)
            .arg(median(mapDrawn), 0, 'f', 3));

    // ---- a long path and many photos
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("long.txt"));
    if (!bench::writeWanderingLog(log, points))
        return 1;
    QStringList files;
    QImage image(64, 48, QImage::Format_RGB32);
    const QDateTime start(QDate(2024, 5, 1), QTime(8, 0), QTimeZone(8 * 3600));
    for (int k = 0; k < photos; ++k) {
        image.fill(QColor::fromHsv(k * 7 % 360, 200, 220));
        const QDateTime t = start.addSecs(qint64(k) * points / photos + 17);
        const QString f = dir.filePath(QStringLiteral("P%1.JPG").arg(k, 5, 10, QLatin1Char('0')));
        if (!bench::writeBytes(
                f,
                bench::jpegWithExif(image, t.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1(), 80)))
            return 1;
        files << f;
    }

    common::ScriptedDialogs dialogs;
    pixplot::PixplotMain w(dialogs);
    w.show();
    w.showMap(true);
    (void)QTest::qWaitFor([&w] { return w.mapPane()->view() != nullptr; }, 30000);
    auto *map = qobject_cast<common::WebMapView *>(w.mapPane()->view());
    if (!map || !QTest::qWaitFor([map] { return map->isLive(); }, 60000)) {
        say(QStringLiteral("the map did not start"));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    dialogs.queueFile(log);
    w.cmd_addname_Click();
    const double pathLoaded = clock.nsecsElapsed() / 1e9;
    dialogs.queueFiles(files);
    w.cmd_add_Click();
    w.cmd_plgoto_Click();
    const double loaded = clock.nsecsElapsed() / 1e9;
    qint64 placed = 0;
    for (const PhotoRow &r : w.photoRows())
        placed += r.position.isEmpty() ? 0 : 1;
    const bool shown = QTest::qWaitFor(
        [&] { return map->lastReport().markers.size() == placed && map->lastReport().vertices > 0; }, 60000);
    const double drawn = clock.nsecsElapsed() / 1e9;
    say(QStringLiteral("%1 fixes read in %2 s; %3 photos listed and matched (%4 placed) by %5 s")
            .arg(points)
            .arg(pathLoaded, 0, 'f', 2)
            .arg(photos)
            .arg(placed)
            .arg(loaded, 0, 'f', 2));
    say(shown ? QStringLiteral("map shows %1 track vertices and %2 markers %3 s after loading (target <= 3)")
                    .arg(map->lastReport().vertices)
                    .arg(placed)
                    .arg(drawn - loaded, 0, 'f', 2)
              : QStringLiteral("the map did not show them within 60 s"));
    // Left on the screen a while when asked, for a look or a screenshot.
    QTest::qWait(parser.value(QStringLiteral("hold")).toInt() * 1000);
    return shown ? 0 : 1;
}
