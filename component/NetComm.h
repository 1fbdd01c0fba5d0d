#pragma once

#include "LineControl.h"
#include "LineReader.h"

#include <QHostAddress>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

// A network source read like a serial port: "tcp://HOST:PORT" is a client of
// a serial-to-network bridge (ser2net, a device server), "udp://[ADDRESS]:PORT"
// binds and takes each datagram's bytes in arrival order.
class NetComm : public LineControl {
    Q_OBJECT
public:
    explicit NetComm(QObject* parent = nullptr);
    ~NetComm() override;

    // True for the names this control takes rather than a device path.
    static bool isNetworkPort(const QString& name);

    // Throws LineOpenError, saying what is wrong, for a malformed name.
    void setAddress(const QString& name);
    QString devicePath() const override { return name_; }
    bool isTcp() const { return tcp_; }

    bool PortOpen() const override;
    // TCP: starts connecting; opened or openFailed follow. UDP: binds at once.
    void setPortOpen(bool open) override;
    bool opening() const override;

    std::int16_t InBufferCount() override;
    std::string Input() override;
    void setPaused(bool paused) override;

    static constexpr int ConnectTimeoutMs = 5000;
    // Characters read from a TCP source ahead of the polls, at most.
    static constexpr qint64 ReadAheadLimit = 64 * 1024;

private:
    void close();
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void failConnecting(const QString& reason);

    QString name_;
    bool tcp_ = true;
    QString host_;
    QHostAddress bindAddress_;
    quint16 port_ = 0;
    bool connected_ = false;
    QTcpSocket tcpSocket_;
    QUdpSocket udpSocket_;
    std::unique_ptr<QIODevice> datagrams_;
    std::unique_ptr<LineReader> reader_;
    QTimer connectTimer_;
    bool paused_ = false;
};
