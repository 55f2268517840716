// Loads 5,000 photos and a 100,000-point path into pixplot's main window
// and matches them, printing how long each step takes.
//   bench_pixplot_window [photos] [points]
#include "benchsupport.h"

#include "core/photorow.h"
#include "ui/mainwindow.h"

#include "common/scripteddialogs.h"

#include <QApplication>
#include <QDateTime>
#include <cmath>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>

namespace {

double clickTimed(pixplot::PixplotMain &w, const char *button)
{
    QElapsedTimer t;
    t.start();
    w.findChild<QPushButton *>(QString::fromLatin1(button))->click();
    return t.nsecsElapsed() / 1e9;
}

QString rmcLine(const QDateTime &utc, int i)
{
    // A slow walk east so every point has its own position.
    const double lonMinutes = 46.0 + (i % 600000) * 0.0001;
    const int lonDeg = 118 + int(lonMinutes / 60);
    const QString lon = QStringLiteral("%1%2")
                            .arg(lonDeg, 3, 10, QLatin1Char('0'))
                            .arg(std::fmod(lonMinutes, 60.0), 7, 'f', 4, QLatin1Char('0'));
    return QStringLiteral("$GPRMC,%1,A,3150.1234,N,%2,E,0.0,0.0,%3,,,A*00")
        .arg(utc.toString(QStringLiteral("hhmmss")), lon, utc.toString(QStringLiteral("ddMMyy")));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int photoCount = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    const int pointCount = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100000;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QElapsedTimer gen;
    gen.start();
    QImage picture(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    QByteArray plain;
    {
        QBuffer buf(&plain);
        buf.open(QIODevice::WriteOnly);
        picture.save(&buf, "JPG", 85);
    }
    const QDateTime localStart(QDate(2010, 5, 1), QTime(8, 0, 0), Qt::UTC);
    QStringList files;
    for (int i = 0; i < photoCount; ++i) {
        const QString name = dir.filePath(QStringLiteral("IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0')));
        const QByteArray time =
            localStart.addSecs(qint64(i) * 19).toString(QStringLiteral("yyyy:MM:dd hh:mm:ss")).toLatin1();
        if (!bench::writeBytes(name, plain.left(2) + bench::exifApp1(time) + plain.mid(2)))
            return 1;
        files << name;
    }
    QByteArray nmea;
    const QDateTime utcStart(QDate(2010, 5, 1), QTime(0, 0, 0), Qt::UTC);
    for (int i = 0; i < pointCount; ++i)
        nmea += rmcLine(utcStart.addSecs(i), i).toLatin1() + "\r\n";
    const QString pathFile = dir.filePath(QStringLiteral("path.txt"));
    if (!bench::writeBytes(pathFile, nmea))
        return 1;
    std::printf("inputs: %d photos, %d path points generated in %.2f s\n", photoCount, pointCount,
                gen.nsecsElapsed() / 1e9);

    common::ScriptedDialogs dialogs;
    pixplot::PixplotMain w(dialogs);
    w.show();
    QCoreApplication::processEvents();

    dialogs.queueFiles(files);
    const double addFirst = clickTimed(w, "cmd_add");
    const QString loaded = dialogs.lastInfo();
    dialogs.queueYes();
    clickTimed(w, "cmd_clear");
    dialogs.queueFiles(files);
    const double addWarm = clickTimed(w, "cmd_add");

    dialogs.queueFile(pathFile);
    const double path = clickTimed(w, "cmd_addname");
    const QString pathMessage = dialogs.lastInfo();
    const double match = clickTimed(w, "cmd_plgoto");
    const QString matchMessage = dialogs.lastInfo();

    QElapsedTimer scroll;
    scroll.start();
    auto *gps = w.findChild<QTreeView *>(QStringLiteral("ListGps"));
    gps->scrollToBottom();
    gps->repaint();
    gps->scrollToTop();
    gps->repaint();
    const double scrollSeconds = scroll.nsecsElapsed() / 1e9;

    std::printf("add %d photos:        %.3f s (first), %.3f s (warm)   [%s]\n", photoCount, addFirst, addWarm,
                qUtf8Printable(loaded.section(QStringLiteral("\r\n"), 0, 0)));
    std::printf("load %d-point path: %.3f s   [%s]\n", pointCount, path, qUtf8Printable(pathMessage));
    std::printf("match:                 %.3f s   [%s]\n", match,
                qUtf8Printable(QString(matchMessage).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
    std::printf("scroll path list:      %.3f s\n", scrollSeconds);
    std::printf("rows: %lld photos, %lld path points\n", qlonglong(w.photoRows().size()),
                qlonglong(w.pathPoints().size()));
    return dialogs.unexpected.isEmpty() ? 0 : 1;
}
