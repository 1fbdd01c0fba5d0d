#include "MSComm.h"

#include <QFile>
#include <QMetaObject>

#include <unistd.h>

#include <limits>

std::int16_t saturatedCharCount(qint64 count)
{
    if (count <= 0)
        return 0;
    if (count > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(count);
}

MSComm::MSComm(QObject* parent)
    : QObject(parent)
{
    setCommPort(1);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Unlimited: the stored 1024 is not a cap, so a slow reader loses nothing.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::readyRead, this, &MSComm::takeFromPort);
    connect(&port_, &QSerialPort::errorOccurred, this, &MSComm::onErrorOccurred);
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
    return port_.isOpen() && failureMessage_.isEmpty();
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
    finishFailure();
    if (port_.isOpen())
        return;
    received_.clear();
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
        throw SerialSpeedError("cannot set " + std::to_string(baudRate_) + " baud on " + path_.toStdString() + ": " + reason);
    }
}

// Says why opening failed in words a user can act on.
std::string MSComm::openFailureReason() const
{
    const std::string system = port_.errorString().toStdString();
    switch (port_.error()) {
    case QSerialPort::PermissionError:
        // Readable and writable, yet refused: another program holds the lock.
        if (::access(QFile::encodeName(path_).constData(), R_OK | W_OK) == 0)
            return "device is busy (another program has it open)";
        return system;
    case QSerialPort::ResourceError:
    case QSerialPort::UnsupportedOperationError:
        return "not a serial device (" + system + ")";
    default:
        return system;
    }
}

void MSComm::close()
{
    failureMessage_.clear();
    if (port_.isOpen())
        port_.close();
    received_.clear();
}

std::int16_t MSComm::InBufferCount()
{
    collectArrived();
    return saturatedCharCount(received_.size());
}

std::string MSComm::Input()
{
    collectArrived();
    std::string text = received_.toStdString();
    received_.clear();
    return text;
}

// Reads what has reached the operating system since the event loop last ran,
// so a poll sees characters at once.
void MSComm::collectArrived()
{
    if (PortOpen()) {
        // Each wait reads everything the device holds; repeat a few times for
        // bytes that land meanwhile, but never spin on a busy line.
        for (int round = 0; round < 4 && failureMessage_.isEmpty(); ++round) {
            if (!port_.waitForReadyRead(0))
                break;
        }
        if (port_.error() == QSerialPort::TimeoutError)
            port_.clearError();
        takeFromPort();
    }
    finishFailure();
}

void MSComm::setPaused(bool paused)
{
    paused_ = paused;
    takeFromPort();
}

void MSComm::takeFromPort()
{
    if (port_.isOpen())
        received_ += port_.readAll();
    if (paused_ && received_.size() > InBufferSize) {
        const QByteArray dropped = received_.left(received_.size() - InBufferSize);
        received_.remove(0, dropped.size());
        emit discarded(dropped);
    }
}

void MSComm::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // This control only receives, so any input or output failure means the line is gone.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    if (!failureMessage_.isEmpty() || !port_.isOpen())
        return;
    failureMessage_ = QStringLiteral("lost the line on %1 (device unplugged or closed)").arg(path_);
    // Closing inside the port's own signal is unsafe; finish once it has returned.
    QMetaObject::invokeMethod(this, &MSComm::finishFailure, Qt::QueuedConnection);
}

// Closes a failed port and reports it once. Characters that arrived before
// the failure stay readable through Input.
void MSComm::finishFailure()
{
    if (failureMessage_.isEmpty())
        return;
    const QString message = failureMessage_;
    failureMessage_.clear();
    if (port_.isOpen()) {
        takeFromPort();
        port_.close();
    }
    port_.clearError();
    emit portFailed(message);
}
