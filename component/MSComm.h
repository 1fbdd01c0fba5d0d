#pragma once

#include "SerialReader.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised when a port cannot be opened; what() names the device and the reason.
class SerialPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when an opened port refuses the chosen line speed; the port is closed.
class SerialSpeedError : public SerialPortError {
public:
    using SerialPortError::SerialPortError;
};

// The serial communications control: a polled receive-only port with the
// stored line settings (115200 baud, 8N1, no flow control).
class MSComm : public QObject {
    Q_OBJECT
public:
    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    void setCommPort(int n);                 // COMn -> /dev/ttyS(n-1)
    void setDevicePath(const QString& path); // any device instead
    QString devicePath() const;

    // Line speed in bits per second, used from the next open (default BaudRate).
    void setBaudRate(qint32 rate);
    qint32 baudRate() const;

    bool PortOpen() const;
    void setPortOpen(bool open);

    std::int16_t InBufferCount();
    std::string Input();

    // While the reader is paused it throws away whatever waits once it
    // resumes, so only the newest InBufferSize characters are kept meanwhile;
    // older ones go out through discarded.
    void setPaused(bool paused);

    // Stored settings. While polled, the receive buffer grows as needed so no
    // character is lost; while paused it holds at most InBufferSize.
    static constexpr qint32 BaudRate = 115200;
    static constexpr int InBufferSize = SerialReader::PausedLimit;

signals:
    // The open port failed (device unplugged, pseudo-terminal closed).
    // Emitted once; the port is closed by then.
    void portFailed(const QString& message);
    // Characters dropped unread while paused, oldest first.
    void discarded(const QByteArray& characters);

private:
    void open();
    std::string openFailureReason() const;
    void close();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    QSerialPort port_;
    SerialReader reader_{port_};
    QString path_;
    qint32 baudRate_ = BaudRate;
};
