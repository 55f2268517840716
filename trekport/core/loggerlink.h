#pragma once
// The serial line to the logger, without any window: opens the port as the
// port box names it, sends the upload request and decodes what arrives into
// PointStore rows. Used by the window and by the command line.
#include "framedecoder.h"

#include <QObject>
#include <QSerialPort>
#include <functional>

namespace trekport {

class LoggerLink : public QObject {
    Q_OBJECT
public:
    // rowCount gives the list's current line count: the row being assembled.
    LoggerLink(PointStore &store, std::function<int()> rowCount, QObject *parent = nullptr);

    // 0 when the port is open, else the error number (13, 8002, 8005, 8012).
    int open(const QString &portText);
    void close();
    bool isOpen() const { return port_.isOpen(); }

    // Restarts frame counting, sends "#" and waits until it has left the
    // output buffer. False (nothing sent) while the port is closed.
    bool requestUpload();

    QSerialPort &port() { return port_; }
    const FrameDecoder &decoder() const { return decoder_; }

public Q_SLOTS:
    // Decodes every byte waiting in the receive buffer, in order.
    void MSComm_OnComm();

Q_SIGNALS:
    void bytesReceived(int count);
    void pointCompleted(const QString &line);
    // The device went away while open (unplugged logger); the port is closed.
    void deviceLost();

private:
    void onError(QSerialPort::SerialPortError error);

    PointStore &store_;
    std::function<int()> rowCount_;
    FrameDecoder decoder_;
    QSerialPort port_;
};

} // namespace trekport
