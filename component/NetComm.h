#pragma once

#include "LineControl.h"
#include "LineReader.h"
#include "RetryWait.h"

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
    // A server that closes a new connection within this time, before any
    // "<...>" frame came, refused it (ser2net: "Port already in use"); its
    // text is kept out of the frames and the next try waits longer.
    static constexpr int RefusalWindowMs = 1000;
    static constexpr int FirstRefusalWaitMs = 500;
    static constexpr int LongestRefusalWaitMs = 5000;
    // Characters read from a TCP source ahead of the polls, at most.
    static constexpr qint64 ReadAheadLimit = 64 * 1024;

private:
    void close();
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void failConnecting(const QString& reason);
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
    std::unique_ptr<LineReader> reader_;
    QTimer connectTimer_;
    QTimer trialTimer_;                                               // a new connection not yet known to carry frames
    RetryWait refusalWait_{FirstRefusalWaitMs, LongestRefusalWaitMs}; // before connecting again after a refusal
    bool paused_ = false;
};
