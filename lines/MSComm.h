#pragma once

#include "LineControl.h"
#include "LineReader.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// The serial communications control: a polled receive-only port with the
// stored line settings (115200 baud, 8N1, no flow control). The port is held
// exclusively where the system allows it, so a second reader is refused.
class MSComm : public LineControl {
    Q_OBJECT
public:
    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    void setCommPort(int n);                 // COMn -> /dev/ttyS(n-1)
    void setDevicePath(const QString& path); // any device instead
    QString devicePath() const override;

    // Line speed in bits per second, used from the next open (default BaudRate).
    void setBaudRate(qint32 rate);
    qint32 baudRate() const;

    bool PortOpen() const override;
    // Opening reads back the rate the driver took; a different one is said
    // through notice.
    void setPortOpen(bool open) override;

    std::int16_t InBufferCount() override;
    std::string Input() override;

    // While the reader is paused it throws away whatever waits once it
    // resumes, so only the newest InBufferSize characters are kept meanwhile;
    // older ones go out through discarded.
    void setPaused(bool paused) override;

    // The lock file the serial port library takes for a device path.
    static QString lockFilePath(const QString& devicePath);

    // Stored settings. While polled, the receive buffer grows as needed so no
    // character is lost; while paused it holds at most InBufferSize.
    static constexpr qint32 BaudRate = 115200;
    static constexpr int InBufferSize = LineReader::PausedLimit;

protected:
    // The rate the driver runs the open port at, when it can be read back.
    virtual std::optional<qint32> driverRate() const;

private:
    void open();
    void checkLockHolder() const;
    std::string openFailureReason() const;
    void close();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    QSerialPort port_;
    LineReader reader_{port_};
    QString path_;
    qint32 baudRate_ = BaudRate;
};
