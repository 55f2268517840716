#pragma once
// Inputs the pixplot benchmarks generate at run time, and a child-process
// runner that reports wall time and peak memory.
#include <QByteArray>
#include <QDateTime>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <cmath>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace bench {

// An APP1 block carrying only EXIF DateTimeOriginal ("YYYY:MM:DD hh:mm:ss"),
// little-endian: IFD0 with the Exif IFD pointer, the Exif IFD with 0x9003.
inline QByteArray exifApp1(const QByteArray &dateTime)
{
    QByteArray tiff;
    auto u16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        tiff.append(b, 2);
    };
    auto u32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        tiff.append(b, 4);
    };
    tiff.append("II", 2);
    u16(42);
    u32(8); // IFD0 at 8
    u16(1); // one entry
    u16(0x8769);
    u16(4);
    u32(1);
    u32(26); // Exif IFD at 26
    u32(0);  // no next IFD
    u16(1);  // Exif IFD: one entry
    u16(0x9003);
    u16(2);
    u32(20);
    u32(44); // ASCII[20] at 44
    u32(0);
    QByteArray text = dateTime.left(19);
    text.append('\0');
    tiff.append(text);
    QByteArray app1("\xFF\xE1", 2);
    const quint16 len = quint16(2 + 6 + tiff.size());
    app1.append(char(len >> 8)).append(char(len & 0xFF));
    app1.append("Exif\0\0", 6);
    app1.append(tiff);
    return app1;
}

// JPEG bytes of image with the EXIF block placed right after SOI.
inline QByteArray jpegWithExif(const QImage &image, const QByteArray &dateTime, int quality)
{
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "JPG", quality);
    return jpeg.left(2) + exifApp1(dateTime) + jpeg.mid(2);
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ChildRun {
    int exitCode = -1;
    double seconds = 0;
    long peakKiB = 0; // maximum resident set size
};

// Runs program with args and waits. The peak memory comes from
// /usr/bin/time: our own wait4 would report the spawning process's pages,
// since a spawned child shares them until it executes.
inline ChildRun runChild(const QString &program, const QStringList &args)
{
    QTemporaryFile report;
    report.open();
    std::vector<QByteArray> store{QByteArrayLiteral("/usr/bin/time"),
                                  QByteArrayLiteral("-f"),
                                  QByteArrayLiteral("%M"),
                                  QByteArrayLiteral("-o"),
                                  report.fileName().toLocal8Bit(),
                                  program.toLocal8Bit()};
    for (const QString &a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &s : store)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // The last line holds the figure; a line before it tells of a signal.
    const QList<QByteArray> lines = report.readAll().trimmed().split('\n');
    run.peakKiB = lines.last().trimmed().toLong();
    return run;
}


// "$BODY*CS": an NMEA sentence with its checksum, without line end.
inline QString nmeaLine(const QString &body)
{
    quint8 sum = 0;
    for (const QChar c : body)
        sum ^= quint8(c.toLatin1());
    return QStringLiteral("$%1*%2").arg(body).arg(sum, 2, 16, QLatin1Char('0')).toUpper();
}

// An RMC fix at utc, at 31°minutes' N, 118°(minutes - 4)' E.
inline QString rmcNear(const QDateTime &utc, double minutes)
{
    return nmeaLine(QStringLiteral("GPRMC,%1,A,31%2,N,118%3,E,0.5,90.0,%4,,,A")
                        .arg(utc.toString(QStringLiteral("HHmmss")))
                        .arg(minutes, 7, 'f', 4, QLatin1Char('0'))
                        .arg(minutes - 4, 7, 'f', 4, QLatin1Char('0'))
                        .arg(utc.toString(QStringLiteral("ddMMyy"))));
}

// One RMC fix a second from 2024-05-01 00:00:00 UTC of a logger moving about
// 5 m/s along a wandering line with a little receiver jitter; crosses
// midnight into following days. Written in blocks, so any length fits.
inline bool writeWanderingLog(const QString &file, qint64 points)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const auto two = [](qint64 v) { return QByteArray::number(v).rightJustified(2, '0'); };
    const auto angle = [](double deg, int width) {
        const int d = int(deg);
        return QByteArray::number(d).rightJustified(width, '0')
            + QByteArray::number((deg - d) * 60, 'f', 4).rightJustified(7, '0');
    };
    QByteArray block;
    for (qint64 i = 0; i < points; ++i) {
        const double t = double(i);
        const double north = 300 * std::sin(t / 300) + ((i % 2) ? 0.3 : -0.3);
        const double east = 5 * t * std::cos(t / 5000);
        const double lat = 31.8 + north / 111320.0;
        const double lon = 118.7 + east / (111320.0 * std::cos(31.8 * 3.14159265358979 / 180));
        const qint64 day = i / 86400, sec = i % 86400;
        const QByteArray body = "GPRMC," + two(sec / 3600) + two(sec / 60 % 60) + two(sec % 60) + ",A,"
            + angle(lat, 2) + ",N," + angle(lon, 3) + ",E,9.7,90.0," + two(1 + day % 28) + "0524,,,A";
        block += nmeaLine(QString::fromLatin1(body)).toLatin1() + "\r\n";
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
    return f.flush();
}

} // namespace bench
