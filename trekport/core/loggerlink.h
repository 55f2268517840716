#pragma once
// The serial line to the logger, without any window: opens the port as the
// port box names it, sends the upload request and decodes what arrives into
// PointStore rows. Used by the window and by the command line through the
// track session.
#include "framealigner.h"
#include "framedecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <functional>

namespace trekport {

class LoggerLink : public QObject {
    Q_OBJECT
public:
    // A stream that never ends stops after this many frames (far more than
    // any logger holds) or this long without one frame worth listing.
    static constexpr int maxFrames = 1000000;
    static constexpr int maxInvalidMs = 5000;

    // rowCount gives the list's current line count: the row being assembled.
    LoggerLink(PointStore &store, std::function<int()> rowCount, QObject *parent = nullptr);

    // 0 when the port is open, else the error number (13, 8002, 8005, 8012).
    int open(const QString &portText);
    void close();
    bool isOpen() const { return port_.isOpen(); }

    // Restarts frame counting, sends "#" and waits until it has left the
    // output buffer. False (nothing sent) while the port is closed.
    bool requestUpload();

    // How long the line stays quiet before an upload counts as ended.
    void setSettleInterval(int ms) { settle_.setInterval(ms); }
    // Ends the upload now: what is held back is decided and reported.
    void settle();
    // Other limits for an endless stream than maxFrames and maxInvalidMs.
    void setStreamLimits(qint64 frames, int invalidMs)
    {
        frameLimit_ = frames;
        invalidLimitMs_ = invalidMs;
    }

    QSerialPort &port() { return port_; }
    // Position in the frame being received.
    int frameIndex() const { return aligner_.frameIndex(); }

public Q_SLOTS:
    // Decodes every byte waiting in the receive buffer, in order.
    void MSComm_OnComm();

Q_SIGNALS:
    void bytesReceived(int count);
    void pointCompleted(const QString &line);
    // The line went quiet after an upload: points listed and frames skipped
    // since the request (or the last report).
    void uploadSettled(int points, int skipped);
    // A stream that would not end was cut off; message says why.
    void streamStopped(const QString &message);
    // The device went away while open (unplugged logger); the port is closed.
    void deviceLost();

private:
    void onError(QSerialPort::SerialPortError error);
    void list(const QByteArray &frames);
    void stop(const QString &message);

    PointStore &store_;
    std::function<int()> rowCount_;
    FrameAligner aligner_;
    FrameDecoder decoder_;
    QSerialPort port_;
    QTimer settle_;
    QElapsedTimer sinceValid_; // invalid while the line is quiet
    bool requested_ = false;
    bool stopped_ = false;
    int points_ = 0;
    int skipped_ = 0;
    qint64 frames_ = 0; // since the request
    qint64 frameLimit_ = maxFrames;
    int invalidLimitMs_ = maxInvalidMs;
};

} // namespace trekport
