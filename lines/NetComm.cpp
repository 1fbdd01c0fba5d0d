#include "NetComm.h"

#include "LineAddress.h"

#include <QMetaObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>

#include <algorithm>
#include <cstring>

namespace {

// The bytes of every datagram a bound socket holds, read as one stream.
class DatagramDevice : public ReceivedBytes {
public:
    explicit DatagramDevice(QUdpSocket& socket) : socket_(socket)
    {
        connect(&socket_, &QUdpSocket::readyRead, this, &QIODevice::readyRead);
    }
    qint64 bytesAvailable() const override
    {
        return ReceivedBytes::bytesAvailable()
            + (bound() && socket_.hasPendingDatagrams() ? socket_.pendingDatagramSize() : 0);
    }
    // A socket asks the system itself whether a datagram waits; a zero wait
    // never goes through QAbstractSocket::waitForReadyRead, which closes a
    // socket still holding the error of an earlier failed bind.
    bool waitForReadyRead(int msecs) override
    {
        if (!bound())
            return false;
        return socket_.hasPendingDatagrams() || (msecs != 0 && socket_.waitForReadyRead(msecs));
    }
    void close() override
    {
        ReceivedBytes::close();
        socket_.close();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        // Datagrams are taken whole, so none is cut by a short read.
        while (bound() && socket_.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket_.receiveDatagram();
            if (!datagram.isValid())
                break;
            pending_ += datagram.data();
        }
        return ReceivedBytes::readData(data, maxSize);
    }

private:
    bool bound() const { return socket_.state() == QAbstractSocket::BoundState; }

    QUdpSocket& socket_;
};

// The first line of what a refusing server wrote, as text fit for one line.
QString firstLine(const QByteArray& said)
{
    QString text = QString::fromUtf8(said.left(said.indexOf('\n'))).left(120);
    text.removeIf([](QChar c) { return !c.isPrint(); });
    return text.trimmed();
}

} // namespace

NetComm::NetComm(QObject* parent) : NetworkLine("no network source named", LongestRefusalWaitMs, parent)
{
    connect(&tcpSocket_, &QTcpSocket::connected, this, &NetComm::onConnected);
    connect(&tcpSocket_, &QTcpSocket::errorOccurred, this, &NetComm::onSocketError);
    connect(&tcpSocket_, &QTcpSocket::disconnected, this, &NetComm::onDisconnected);
    trialTimer_.setSingleShot(true);
    trialTimer_.setInterval(RefusalWindowMs);
    connect(&trialTimer_, &QTimer::timeout, this, &NetComm::acceptConnection);
    connect(&refusalWait_, &RetryWait::elapsed, this, &NetComm::connectNow);
}

NetComm::~NetComm()
{
    close();
    reader_.reset(); // before the device it reads, which this class holds
}

void NetComm::setAddress(const QString& name)
{
    const std::string text = name.toStdString();
    const lineaddress::Address address = readAddress([&text] { return lineaddress::parseSource(text); });
    const bool tcp = lineaddress::isTcpSource(text);
    // A UDP host is a numeric address by then, which QHostAddress reads.
    QHostAddress bindAddress = QHostAddress::Any;
    if (!tcp && !address.host.empty())
        bindAddress.setAddress(QString::fromStdString(address.host));
    QHostAddress group;
    if (bindAddress.isMulticast()) {
        group = bindAddress;
        bindAddress = group.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4;
    }
    name_ = name;
    tcp_ = tcp;
    host_ = QString::fromStdString(address.host);
    bindAddress_ = bindAddress;
    group_ = group;
    interfaceName_ = QString::fromStdString(address.interfaceName);
    port_ = address.port;
    reader_.reset();
    datagrams_.reset();
    if (tcp_) {
        // Bounded: a sender faster than the polls waits (TCP flow control)
        // rather than filling memory; nothing is lost.
        tcpSocket_.setReadBufferSize(ReadAheadLimit);
        reader_ = std::make_unique<LineReader>(tcpSocket_);
        reader_->setReadAheadLimit(ReadAheadLimit);
        // After the reader has taken what arrived.
        connect(&tcpSocket_, &QIODevice::readyRead, reader_.get(), [this] { checkForFrame(); });
    } else {
        datagrams_ = std::make_unique<DatagramDevice>(udpSocket_);
        reader_ = std::make_unique<LineReader>(*datagrams_);
    }
    reader_->setPaused(paused_);
    connect(reader_.get(), &LineReader::discarded, this, &NetComm::discarded);
    connect(reader_.get(), &LineReader::portFailed, this, &NetComm::portFailed);
}

bool NetComm::PortOpen() const
{
    return reader_ && connected_ && reader_->isReading();
}

bool NetComm::connecting() const
{
    return connectTimer_.isActive() || trialTimer_.isActive();
}

void NetComm::startOpening()
{
    if (tcp_) {
        connectNow();
        return;
    }
    reader_->reset();
    bindDatagrams();
    datagrams_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    connected_ = true;
}

void NetComm::connectNow()
{
    reader_->reset();
    tcpSocket_.abort();
    connectTimer_.start();
    tcpSocket_.connectToHost(host_, port_, QIODevice::ReadOnly);
}

void NetComm::bindDatagrams()
{
    const auto fail = [this](const QString& reason) {
        udpSocket_.close();
        return LineOpenError("cannot open " + name_.toStdString() + ": " + reason.toStdString());
    };
    // Other receivers of a group may share its port.
    const auto mode = group_.isNull() ? QAbstractSocket::DefaultForPlatform
                                      : QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    if (!udpSocket_.bind(bindAddress_, port_, mode))
        throw fail(udpSocket_.errorString());
    if (group_.isNull())
        return;
    if (!interfaceName_.isEmpty()) {
        const QNetworkInterface chosen = QNetworkInterface::interfaceFromName(interfaceName_);
        if (!chosen.isValid())
            throw fail(QStringLiteral("this machine has no network interface %1").arg(interfaceName_));
        if (!udpSocket_.joinMulticastGroup(group_, chosen))
            throw fail(QStringLiteral("cannot join the group on %1: %2").arg(interfaceName_, udpSocket_.errorString()));
        return;
    }
    int joined = 0;
    for (const QNetworkInterface& candidate : QNetworkInterface::allInterfaces())
        if (candidate.flags().testFlag(QNetworkInterface::IsUp) && udpSocket_.joinMulticastGroup(group_, candidate))
            ++joined;
    if (joined == 0)
        throw fail(QStringLiteral("no network interface could join the group (name one with ?iface=NAME)"));
}

void NetComm::close()
{
    connectTimer_.stop();
    trialTimer_.stop();
    refusalWait_.reset();
    connected_ = false;
    if (reader_)
        reader_->reset();
    tcpSocket_.abort();
    if (datagrams_ && datagrams_->isOpen())
        datagrams_->close();
}

// A new connection is on trial until a frame arrives or it stays open for
// the refusal window; only then is the line open.
void NetComm::onConnected()
{
    connectTimer_.stop();
    trialTimer_.start();
    checkForFrame();
}

void NetComm::checkForFrame()
{
    if (!trialTimer_.isActive() || !reader_)
        return;
    const QByteArray& waiting = reader_->waiting();
    const qsizetype start = waiting.indexOf('<');
    if (start >= 0 && waiting.indexOf('>', start) > start)
        acceptConnection();
}

void NetComm::acceptConnection()
{
    trialTimer_.stop();
    refusalWait_.reset();
    connected_ = true;
    emit opened();
}

// What the server wrote goes to the discarded characters (so a recording
// keeps it) instead of the frames, and each refusal in a row waits longer.
void NetComm::refused()
{
    trialTimer_.stop();
    const QByteArray said = reader_->takeWaiting();
    tcpSocket_.abort();
    reader_->reset();
    if (!said.isEmpty())
        emit discarded(said);
    refusalWait_.start();
    const QString text = firstLine(said);
    emit openFailed(text.isEmpty()
                        ? QStringLiteral("cannot connect to %1: the server closed the connection at once").arg(name_)
                        : QStringLiteral("cannot connect to %1: the server closed the connection at once, saying "
                                         "\"%2\"")
                              .arg(name_, text));
}

void NetComm::failConnecting(const QString& reason)
{
    connectTimer_.stop();
    tcpSocket_.abort();
    emit openFailed(QStringLiteral("cannot connect to %1: %2").arg(name_, reason));
}

void NetComm::onSocketError(QAbstractSocket::SocketError error)
{
    if (connectTimer_.isActive()) {
        failConnecting(tcpSocket_.errorString());
        return;
    }
    if (trialTimer_.isActive()) {
        if (error != QAbstractSocket::SocketTimeoutError)
            refused();
        return;
    }
    if (connected_ && error != QAbstractSocket::SocketTimeoutError)
        onDisconnected();
}

// A dropped connection is a lost line: reading stops, what came before it is
// still handed out, and the loss is reported once from the event loop.
void NetComm::onDisconnected()
{
    if (trialTimer_.isActive()) {
        refused();
        return;
    }
    if (!connected_)
        return;
    connected_ = false;
    const QString message = QStringLiteral("lost the line on %1 (the connection was closed or dropped)").arg(name_);
    if (tcpSocket_.isOpen()) {
        reader_->lineLost(message);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message] { emit portFailed(message); }, Qt::QueuedConnection);
}
