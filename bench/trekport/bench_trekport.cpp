// Times the window with a long track: loading a 100,000-line GTXT file into
// the list, then writing the NAME and the KML file from it, through the same
// handlers the buttons call. Target: each under one second.
#include "common/scripteddialogs.h"
#include "common/textfile.h"
#include "core/loggerframes.h"
#include "core/framedecoder.h"
#include "ui/mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int points = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;

    // A track as the logger would give it: decoded frames, saved as GTXT.
    trekport::FrameDecoder decoder;
    trekport::PointStore scratch;
    QStringList lines;
    lines.reserve(points);
    const QByteArray frames = trekport::generateFrames(points, 25, 1);
    for (char c : frames)
        if (auto line = decoder.DecodeFrameByte(quint8(c), scratch, int(lines.size())))
            lines << *line;
    const QString gtxt = dir.filePath(QStringLiteral("track.gtxt"));
    if (!common::writeTextLines(gtxt, lines, common::TextEncoding::Gbk)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(gtxt));
        return 1;
    }

    common::ScriptedDialogs dialogs;
    trekport::MainForm form(dialogs, dir.path(), dir.filePath(QStringLiteral("user")));
    form.show();
    QElapsedTimer t;

    dialogs.queueFile(gtxt);
    t.start();
    form.inputxt_Click();
    QApplication::processEvents();
    const qint64 loadMs = t.elapsed();
    form.Timer1_Timer();

    const QString name = dir.filePath(QStringLiteral("track.txt"));
    dialogs.queueFile(name);
    dialogs.queueYes();
    t.restart();
    form.name_mk_Click();
    const qint64 nameMs = t.elapsed();

    const QString kml = dir.filePath(QStringLiteral("track.kml"));
    dialogs.queueFile(kml);
    t.restart();
    form.kml_mk_Click();
    const qint64 kmlMs = t.elapsed();

    std::printf("points listed         %d of %d\n", form.Lis->count(), points);
    std::printf("load GTXT into list   %6lld ms  (%lld bytes)\n", static_cast<long long>(loadMs),
                static_cast<long long>(QFileInfo(gtxt).size()));
    std::printf("write NAME file       %6lld ms  (%lld bytes)\n", static_cast<long long>(nameMs),
                static_cast<long long>(QFileInfo(name).size()));
    std::printf("write KML file        %6lld ms  (%lld bytes)\n", static_cast<long long>(kmlMs),
                static_cast<long long>(QFileInfo(kml).size()));
    const bool ok = form.Lis->count() == points && QFileInfo(name).size() > 0 && QFileInfo(kml).size() > 0
        && dialogs.unexpected.isEmpty();
    std::printf("target under 1000 ms each: %s\n",
                ok && loadMs < 1000 && nameMs < 1000 && kmlMs < 1000 ? "met" : "NOT met");
    return ok ? 0 : 1;
}
