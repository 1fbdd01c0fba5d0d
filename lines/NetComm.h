#pragma once

#include "NetworkLine.h"

#include <QHostAddress>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

// A network source read like a serial port: "tcp://HOST:PORT" is a client of
// a serial-to-network bridge (ser2net, a device server), "udp://[ADDRESS]:PORT"
// binds and takes each datagram's bytes in arrival order; a multicast ADDRESS
// joins that group on every interface, or on the one "?iface=NAME" names.
class NetComm : public NetworkLine {
    Q_OBJECT
public:
    explicit NetComm(QObject* parent = nullptr);
    ~NetComm() override;

    // "tcp://HOST:PORT" or "udp://[ADDRESS]:PORT[?iface=NAME]"; throws
    // LineOpenError, saying what is wrong, for a malformed name.
    void setAddress(const QString& name);
    bool isTcp() const { return tcp_; }
    QString devicePath() const override { return name_; }

    bool PortOpen() const override;

    // A server that closes a new connection within this time, before any
    // "<...>" frame came, refused it (ser2net: "Port already in use"); its
    // text is kept out of the frames and the next try waits longer.
    static constexpr int RefusalWindowMs = 1000;
    static constexpr int LongestRefusalWaitMs = 5000;

private:
    bool named() const override { return reader_ != nullptr; }
    bool connecting() const override;
    // TCP: starts connecting; opened or openFailed follow. UDP: binds at once.
    void startOpening() override;
    void closeLine() override { close(); }
    void failConnecting(const QString& reason) override;
    void close();
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void connectNow();
    void bindDatagrams();
    void checkForFrame();
    void acceptConnection();
    void refused();

    QString name_;
    bool tcp_ = true;
    QString host_;
    QHostAddress bindAddress_;
    QHostAddress group_; // a multicast group to join, else null
    QString interfaceName_;
    quint16 port_ = 0;
    bool connected_ = false;
    QTcpSocket tcpSocket_;
    QUdpSocket udpSocket_;
    std::unique_ptr<QIODevice> datagrams_;
    QTimer trialTimer_; // a new connection not yet known to carry frames
};
