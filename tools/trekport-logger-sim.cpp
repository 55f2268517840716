// trekport-logger-sim: plays a GPS track logger on a pseudo-terminal. It
// prints the device to type into trekport's COM box, and answers every
// upload request "#" with its points (one trip by default) as 16-byte
// frames, paced as a 4800 baud line would deliver them.
#include "core/gtxtfile.h"
#include "core/loggerframes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Sends the frames, leaving out the byte at dropIndex (-1: none). Paced: a
// frame is 16 bytes of 10 bits at 4800 baud, a pseudo-terminal would hand
// them over at once.
bool sendFrames(int fd, const QByteArray &frames, qint64 dropIndex, bool fast)
{
    using clock = std::chrono::steady_clock;
    const auto frameTime = std::chrono::microseconds(trekport::frameSize * 10 * 1000000 / 4800);
    const auto start = clock::now();
    for (qsizetype offset = 0, frame = 0; offset < frames.size(); offset += trekport::frameSize, ++frame) {
        QByteArray chunk = frames.mid(offset, trekport::frameSize);
        if (dropIndex >= offset && dropIndex < offset + chunk.size())
            chunk.remove(dropIndex - offset, 1);
        if (!writeAll(fd, chunk.constData(), size_t(chunk.size())))
            return false;
        if (!fast)
            std::this_thread::sleep_until(start + (frame + 1) * frameTime);
    }
    return true;
}

// The frames of a GTXT file's points; nothing (and a message) when one
// cannot be sent.
std::optional<QByteArray> framesOfFile(const QString &path)
{
    QStringList lines;
    if (!trekport::readGtxtFile(path, &lines)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return std::nullopt;
    }
    trekport::PointStore store;
    const int kept = trekport::parseTrackLines(lines, store, 0);
    QByteArray frames;
    for (int i = 0; i < kept; ++i) {
        const std::optional<QByteArray> frame = trekport::encodeFrame(store.at(i));
        if (!frame) {
            std::fprintf(stderr, "point cannot be sent as a frame: %s\n", store.line(i).toUtf8().constData());
            return std::nullopt;
        }
        frames += *frame;
    }
    return frames;
}

// Opens the pseudo-terminal, prints its device and answers every "#"
// with the frames (after one, with once, and the host gone, it returns).
int serve(const QByteArray &frames, qint64 dropIndex, bool fast, bool once)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    // Raw line: no echo, no translation of the binary frames. The slave
    // stays open here too, so the line survives trekport closing its end.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", name);
    std::fflush(stdout);
    std::fprintf(stderr, "logger ready on %s: %lld points\n", name,
                 static_cast<long long>(frames.size() / trekport::frameSize));

    char buffer[256];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '#')
                continue;
            if (!sendFrames(master, frames, dropIndex, fast))
                return 1;
            if (once) {
                // Leave once the host has closed the port: with our own
                // slave end closed, the master then reports a hang-up.
                ::close(slave);
                slave = -1;
                for (;;) {
                    pollfd h{master, POLLIN, 0};
                    if (::poll(&h, 1, -1) < 0 && errno == EINTR)
                        continue;
                    if (::read(master, buffer, sizeof buffer) <= 0 && errno != EINTR && errno != EAGAIN)
                        return 0;
                }
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a GPS track logger on a pseudo-terminal for trekport. Prints the device path; "
                       "type it into trekport's COM box (or pass it to trekport --port)."));
    parser.addHelpOption();
    const QCommandLineOption gtxtOpt(
        QStringLiteral("gtxt"), QStringLiteral("Send the points of this GTXT file."), QStringLiteral("FILE"));
    const QCommandLineOption pointsOpt(
        QStringLiteral("points"),
        QStringLiteral("Number of generated points (default 100). Any number: a trip drives ten hours "
                       "a day within some 20 km; record numbers wrap after 65535 as "
                       "the logger's 16-bit counter does. trekport stops a download "
                       "after 1,000,000 frames."),
        QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption markOpt(
        QStringLiteral("mark-every"),
        QStringLiteral("Every K-th generated point is marked; 0 for none (default 10)."), QStringLiteral("K"),
        QStringLiteral("10"));
    const QCommandLineOption randomOpt(
        QStringLiteral("random"),
        QStringLiteral("Generate points of random dates, times and places instead of one trip."));
    const QCommandLineOption variantOpt(
        QStringLiteral("variant"),
        QStringLiteral(
            "Which trip (or set of random points): the same number gives the same points (default 1)."),
        QStringLiteral("V"), QStringLiteral("1"));
    const QCommandLineOption fastOpt(QStringLiteral("fast"),
                                     QStringLiteral("Send as fast as possible instead of at 4800 baud."));
    const QCommandLineOption dropOpt(
        QStringLiteral("drop-byte"),
        QStringLiteral("Leave out byte I (0-based) of every upload, as a line fault would."),
        QStringLiteral("I"));
    const QCommandLineOption onceOpt(
        QStringLiteral("once"),
        QStringLiteral("Exit after answering one upload request, once the host has closed the port."));
    parser.addOptions({gtxtOpt, pointsOpt, markOpt, randomOpt, variantOpt, fastOpt, dropOpt, onceOpt});
    parser.process(app);

    QByteArray frames;
    if (parser.isSet(gtxtOpt)) {
        const std::optional<QByteArray> read = framesOfFile(parser.value(gtxtOpt));
        if (!read)
            return 1;
        frames = *read;
    } else {
        bool ok1 = false, ok2 = false, ok3 = false;
        const int points = parser.value(pointsOpt).toInt(&ok1);
        const int markEvery = parser.value(markOpt).toInt(&ok2);
        const uint variant = parser.value(variantOpt).toUInt(&ok3);
        if (!ok1 || !ok2 || !ok3 || points < 0 || markEvery < 0) {
            std::fprintf(stderr, "--points, --mark-every and --variant take whole numbers\n");
            return 2;
        }
        frames = parser.isSet(randomOpt) ? trekport::generateFrames(points, markEvery, variant)
                                         : trekport::generateTrip(points, markEvery, variant);
    }
    qint64 dropIndex = -1;
    if (parser.isSet(dropOpt)) {
        bool ok = false;
        dropIndex = parser.value(dropOpt).toLongLong(&ok);
        if (!ok || dropIndex < 0) {
            std::fprintf(stderr, "--drop-byte takes a byte index\n");
            return 2;
        }
    }

    return serve(frames, dropIndex, parser.isSet(fastOpt), parser.isSet(onceOpt));
}
