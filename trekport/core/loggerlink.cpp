#include "loggerlink.h"

#include "portrules.h"

namespace trekport {

LoggerLink::LoggerLink(PointStore &store, std::function<int()> rowCount, QObject *parent)
    : QObject(parent), store_(store), rowCount_(std::move(rowCount))
{
    applyLineSettings(port_);
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
    decoder_.restart();
    port_.write("#", 1);
    // No time limit: the request leaves as soon as the line takes it; only a
    // failing port ends the wait early.
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(1000) && port_.error() != QSerialPort::TimeoutError
            && port_.error() != QSerialPort::NoError)
            break;
    }
    return true;
}

void LoggerLink::MSComm_OnComm()
{
    const QByteArray bytes = port_.readAll();
    if (bytes.isEmpty())
        return;
    emit bytesReceived(int(bytes.size()));
    for (char c : bytes) {
        if (std::optional<QString> line = decoder_.DecodeFrameByte(quint8(c), store_, rowCount_()))
            emit pointCompleted(*line);
    }
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
