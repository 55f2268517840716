#include "loggerlink.h"

#include "portrules.h"

namespace trekport {

LoggerLink::LoggerLink(PointStore &store, std::function<int()> rowCount, QObject *parent)
    : QObject(parent), store_(store), rowCount_(std::move(rowCount))
{
    applyLineSettings(port_);
    settle_.setSingleShot(true);
    settle_.setInterval(2000);
    connect(&settle_, &QTimer::timeout, this, &LoggerLink::settle);
    connect(&port_, &QSerialPort::readyRead, this, &LoggerLink::MSComm_OnComm);
    connect(&port_, &QSerialPort::errorOccurred, this, &LoggerLink::onError);
}

int LoggerLink::open(const QString &portText)
{
    close();
    const PortChoice choice = resolvePort(portText);
    if (choice.errorNumber != 0)
        return choice.errorNumber;
    port_.setPortName(choice.deviceName);
    applyLineSettings(port_);
    if (!port_.open(QIODevice::ReadWrite)) {
        const int number = openErrorNumber(port_.error(), choice.deviceName);
        port_.clearError();
        return number;
    }
    port_.clear();
    return 0;
}

void LoggerLink::close()
{
    if (port_.isOpen())
        port_.close();
    port_.clearError();
}

bool LoggerLink::requestUpload()
{
    if (!port_.isOpen())
        return false;
    aligner_.restart();
    aligner_.takeSkipped();
    decoder_.restart();
    requested_ = true;
    stopped_ = false;
    points_ = skipped_ = 0;
    frames_ = 0;
    sinceValid_.invalidate();
    port_.write("#", 1);
    // No time limit: the request leaves as soon as the line takes it; only a
    // failing port ends the wait early.
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(1000) && port_.error() != QSerialPort::TimeoutError
            && port_.error() != QSerialPort::NoError)
            break;
    }
    settle_.start();
    return true;
}

void LoggerLink::list(const QByteArray &frames)
{
    const int skipped = aligner_.takeSkipped();
    skipped_ += skipped;
    frames_ += skipped + frames.size() / 16;
    if (!frames.isEmpty())
        sinceValid_.start();
    for (char c : frames) {
        if (std::optional<QString> line = decoder_.DecodeFrameByte(quint8(c), store_, rowCount_())) {
            ++points_;
            emit pointCompleted(*line);
        }
    }
}

void LoggerLink::MSComm_OnComm()
{
    const QByteArray bytes = port_.readAll();
    if (bytes.isEmpty())
        return;
    emit bytesReceived(int(bytes.size()));
    if (stopped_)
        return; // cut off: nothing more until the next request
    settle_.start();
    if (!sinceValid_.isValid())
        sinceValid_.start();
    list(aligner_.push(bytes));
    if (frames_ >= frameLimit_)
        stop(QStringLiteral("数据没有结束：已收到 %1 个数据帧，停止接收。").arg(frames_));
    else if (sinceValid_.elapsed() > invalidLimitMs_)
        stop(QStringLiteral("%1 毫秒内没有收到一个有效的数据帧，停止接收。").arg(invalidLimitMs_));
}

void LoggerLink::stop(const QString &message)
{
    settle();
    stopped_ = true;
    emit streamStopped(message);
}

void LoggerLink::settle()
{
    settle_.stop();
    list(aligner_.finish());
    sinceValid_.invalidate();
    if (!requested_ && points_ == 0 && skipped_ == 0)
        return;
    const int points = points_, skipped = skipped_;
    requested_ = false;
    points_ = skipped_ = 0;
    emit uploadSettled(points, skipped);
}

void LoggerLink::onError(QSerialPort::SerialPortError error)
{
    if (!port_.isOpen())
        return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
        // Closing stops the read notifier, which would otherwise fire again
        // and again on a vanished device.
        port_.close();
        port_.clearError();
        emit deviceLost();
    }
}

} // namespace trekport
