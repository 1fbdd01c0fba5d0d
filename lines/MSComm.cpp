#include "MSComm.h"

#include "LineRate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool processRunning(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The lock file's holder, when the file exists and names one.
struct LockHolder {
    qint64 pid = 0;
    QString program;
};

std::optional<LockHolder> lockHolder(const QString& lockPath)
{
    LockHolder holder;
    QString host;
    if (!QFile::exists(lockPath) || !QLockFile(lockPath).getLockInfo(&holder.pid, &host, &holder.program))
        return std::nullopt;
    return holder;
}

} // namespace

MSComm::MSComm(QObject* parent) : LineControl(parent)
{
    setCommPort(1);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Unlimited: the stored 1024 is not a cap, so a slow reader loses nothing.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::errorOccurred, this, &MSComm::onErrorOccurred);
    connect(&reader_, &LineReader::discarded, this, &MSComm::discarded);
    connect(&reader_, &LineReader::portFailed, this, [this](const QString& message) {
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
        throw LineOpenError("invalid port number COM" + std::to_string(n) + " (ports count from COM1)");
    setDevicePath(QStringLiteral("/dev/ttyS%1").arg(n - 1));
}

void MSComm::setDevicePath(const QString& path)
{
    if (PortOpen())
        throw LineOpenError("cannot change the port while " + path_.toStdString() + " is open (close it first)");
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
        throw LineOpenError("cannot change the speed while " + path_.toStdString() + " is open (close it first)");
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
    checkLockHolder();
    // Opened at the stored speed, then switched, so a refused speed is told
    // apart from a device that cannot be opened at all.
    port_.setBaudRate(BaudRate);
    if (!port_.open(QIODevice::ReadWrite)) {
        const std::string reason = openFailureReason();
        port_.clearError();
        throw LineOpenError("cannot open " + path_.toStdString() + ": " + reason);
    }
    // Later openers are refused (EBUSY) instead of splitting the stream with
    // this one; the superuser is exempt, as the system decides.
    ::ioctl(static_cast<int>(port_.handle()), TIOCEXCL);
    if (baudRate_ != BaudRate && !port_.setBaudRate(baudRate_)) {
        const std::string reason = port_.errorString().toStdString();
        port_.close();
        port_.clearError();
        throw LineSpeedError("cannot set " + std::to_string(baudRate_) + " baud on " + path_.toStdString() + ": "
                             + reason);
    }
    // A driver may quietly take a rate it cannot run near one it can.
    if (const auto took = driverRate(); took && *took != baudRate_) {
        emit notice(QStringLiteral("%1 runs at %2 baud, not the %3 asked").arg(path_).arg(*took).arg(baudRate_));
    }
}

std::optional<qint32> MSComm::driverRate() const
{
    return terminalRate(static_cast<int>(port_.handle()));
}

// The serial port library's own lock check counts a lock older than 30 s as
// stale even while its holder runs; a live holder means the device is busy.
void MSComm::checkLockHolder() const
{
    const auto holder = lockHolder(lockFilePath(path_));
    if (!holder || !processRunning(holder->pid) || holder->pid == ::getpid())
        return;
    const QString who = holder->program.isEmpty()
        ? QStringLiteral("process %1").arg(holder->pid)
        : QStringLiteral("%1, process %2").arg(holder->program).arg(holder->pid);
    throw LineOpenError("cannot open " + path_.toStdString() + ": device is busy (" + who.toStdString()
                        + " has it open)");
}

QString MSComm::lockFilePath(const QString& devicePath)
{
    // The directories and the name the serial port library uses, first usable one.
    const QStringList directories = {QStringLiteral("/var/lock"),
                                     QStringLiteral("/etc/locks"),
                                     QStringLiteral("/var/spool/locks"),
                                     QStringLiteral("/var/spool/uucp"),
                                     QStringLiteral("/tmp"),
                                     QStringLiteral("/var/tmp"),
                                     QStringLiteral("/var/lock/lockdev"),
                                     QStringLiteral("/run/lock"),
                                     QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    for (const QString& directory : directories) {
        const QFileInfo info(directory);
        if (info.isReadable() && (QFile::exists(directory + name) || info.isWritable()))
            return directory + name;
    }
    return {};
}

// Says why opening failed in words a user can act on.
std::string MSComm::openFailureReason() const
{
    std::string system = port_.errorString().toStdString();
    const QByteArray device = QFile::encodeName(path_);
    switch (port_.error()) {
    case QSerialPort::PermissionError: {
        // The lock is taken before the device is opened, so its failure can
        // hide the device's own refusal: ask the device first.
        if (::access(device.constData(), R_OK | W_OK) != 0) {
            const int error = errno;
            if (error == EACCES || error == EPERM)
                return std::string(std::strerror(error))
                    + " (reading a serial port needs membership of the dialout group: sudo adduser $USER dialout, "
                      "then log in again)";
            return std::strerror(error);
        }
        const QString lock = lockFilePath(path_);
        if (const auto holder = lockHolder(lock); holder && !processRunning(holder->pid))
            return "a lock file left by an ended program is in the way and cannot be removed by this user "
                   "(remove it: sudo rm "
                + lock.toStdString() + ")";
        return "device is busy (another program has it open)";
    }
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
