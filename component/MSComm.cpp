#include "MSComm.h"

#include <QFile>

#include <unistd.h>

MSComm::MSComm(QObject* parent) : QObject(parent)
{
    setCommPort(1);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Unlimited: the stored 1024 is not a cap, so a slow reader loses nothing.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::errorOccurred, this, &MSComm::onErrorOccurred);
    connect(&reader_, &SerialReader::discarded, this, &MSComm::discarded);
    connect(&reader_, &SerialReader::portFailed, this, [this](const QString& message) {
        port_.clearError();
        emit portFailed(message);
    });
}

MSComm::~MSComm()
{
    close();
}

void MSComm::setCommPort(int n)
{
    if (n < 1)
        throw SerialPortError("invalid port number COM" + std::to_string(n) + " (ports count from COM1)");
    setDevicePath(QStringLiteral("/dev/ttyS%1").arg(n - 1));
}

void MSComm::setDevicePath(const QString& path)
{
    if (PortOpen())
        throw SerialPortError("cannot change the port while " + path_.toStdString() + " is open (close it first)");
    path_ = path;
    port_.setPortName(path);
}

QString MSComm::devicePath() const
{
    return path_;
}

void MSComm::setBaudRate(qint32 rate)
{
    if (PortOpen())
        throw SerialPortError("cannot change the speed while " + path_.toStdString() + " is open (close it first)");
    baudRate_ = rate;
}

qint32 MSComm::baudRate() const
{
    return baudRate_;
}

bool MSComm::PortOpen() const
{
    return reader_.isReading();
}

void MSComm::setPortOpen(bool open)
{
    if (open)
        this->open();
    else
        close();
}

void MSComm::open()
{
    reader_.finishFailure();
    if (port_.isOpen())
        return;
    reader_.reset();
    // Opened at the stored speed, then switched, so a refused speed is told
    // apart from a device that cannot be opened at all.
    port_.setBaudRate(BaudRate);
    if (!port_.open(QIODevice::ReadWrite)) {
        const std::string reason = openFailureReason();
        port_.clearError();
        throw SerialPortError("cannot open " + path_.toStdString() + ": " + reason);
    }
    if (baudRate_ != BaudRate && !port_.setBaudRate(baudRate_)) {
        const std::string reason = port_.errorString().toStdString();
        port_.close();
        port_.clearError();
        throw SerialSpeedError("cannot set " + std::to_string(baudRate_) + " baud on " + path_.toStdString() + ": "
                               + reason);
    }
}

// Says why opening failed in words a user can act on.
std::string MSComm::openFailureReason() const
{
    std::string system = port_.errorString().toStdString();
    switch (port_.error()) {
    case QSerialPort::PermissionError:
        // Readable and writable, yet refused: another program holds the lock.
        if (::access(QFile::encodeName(path_).constData(), R_OK | W_OK) == 0)
            return "device is busy (another program has it open)";
        return system;
    case QSerialPort::ResourceError:
    case QSerialPort::UnsupportedOperationError: return "not a serial device (" + system + ")";
    default: return system;
    }
}

void MSComm::close()
{
    reader_.reset();
    if (port_.isOpen())
        port_.close();
}

std::int16_t MSComm::InBufferCount()
{
    return reader_.InBufferCount();
}

std::string MSComm::Input()
{
    return reader_.Input();
}

void MSComm::setPaused(bool paused)
{
    reader_.setPaused(paused);
}

void MSComm::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // A poll that finds nothing waiting is no fault; forget it at once.
    if (error == QSerialPort::TimeoutError) {
        port_.clearError();
        return;
    }
    // This control only receives, so any input or output failure means the line is gone.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError)
        reader_.lineLost(QStringLiteral("lost the line on %1 (device unplugged or closed)").arg(path_));
}
