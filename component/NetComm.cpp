#include "NetComm.h"

#include "LineAddress.h"

#include <QMetaObject>
#include <QNetworkDatagram>

#include <cstring>

namespace {

// The bytes of every datagram a bound socket holds, read as one stream.
class DatagramDevice : public QIODevice {
public:
    explicit DatagramDevice(QUdpSocket& socket) : socket_(socket)
    {
        connect(&socket_, &QUdpSocket::readyRead, this, &QIODevice::readyRead);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return pending_.size() + (socket_.hasPendingDatagrams() ? socket_.pendingDatagramSize() : 0);
    }
    bool waitForReadyRead(int msecs) override
    {
        return socket_.hasPendingDatagrams() || socket_.waitForReadyRead(msecs);
    }
    void close() override
    {
        QIODevice::close();
        socket_.close();
        pending_.clear();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        // Datagrams are taken whole, so none is cut by a short read.
        while (socket_.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket_.receiveDatagram();
            if (!datagram.isValid())
                break;
            pending_ += datagram.data();
        }
        const qint64 n = qMin(maxSize, qint64(pending_.size()));
        std::memcpy(data, pending_.constData(), static_cast<size_t>(n));
        pending_.remove(0, static_cast<qsizetype>(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QUdpSocket& socket_;
    QByteArray pending_;
};

} // namespace

NetComm::NetComm(QObject* parent) : LineControl(parent)
{
    connectTimer_.setSingleShot(true);
    connectTimer_.setInterval(ConnectTimeoutMs);
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { failConnecting(QStringLiteral("no answer within %1 s").arg(ConnectTimeoutMs / 1000)); });
    connect(&tcpSocket_, &QTcpSocket::connected, this, &NetComm::onConnected);
    connect(&tcpSocket_, &QTcpSocket::errorOccurred, this, &NetComm::onSocketError);
    connect(&tcpSocket_, &QTcpSocket::disconnected, this, &NetComm::onDisconnected);
}

NetComm::~NetComm()
{
    close();
}

bool NetComm::isNetworkPort(const QString& name)
{
    return lineaddress::isSource(name.toStdString());
}

void NetComm::setAddress(const QString& name)
{
    if (PortOpen() || opening())
        throw LineOpenError("cannot change the source while " + name_.toStdString() + " is open (close it first)");
    const std::string text = name.toStdString();
    lineaddress::Address address;
    try {
        address = lineaddress::parseSource(text);
    } catch (const lineaddress::AddressError& error) {
        throw LineOpenError(error.what());
    }
    const bool tcp = lineaddress::isTcpSource(text);
    // A UDP host is a numeric address by then, which QHostAddress reads.
    QHostAddress bindAddress = QHostAddress::Any;
    if (!tcp && !address.host.empty())
        bindAddress.setAddress(QString::fromStdString(address.host));
    name_ = name;
    tcp_ = tcp;
    host_ = QString::fromStdString(address.host);
    bindAddress_ = bindAddress;
    port_ = address.port;
    reader_.reset();
    datagrams_.reset();
    if (tcp_) {
        // Bounded: a sender faster than the polls waits (TCP flow control)
        // rather than filling memory; nothing is lost.
        tcpSocket_.setReadBufferSize(ReadAheadLimit);
        reader_ = std::make_unique<LineReader>(tcpSocket_);
        reader_->setReadAheadLimit(ReadAheadLimit);
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

bool NetComm::opening() const
{
    return connectTimer_.isActive();
}

void NetComm::setPortOpen(bool open)
{
    if (!reader_)
        throw LineOpenError("no network source named");
    if (!open) {
        close();
        return;
    }
    reader_->finishFailure();
    if (PortOpen() || opening())
        return;
    reader_->reset();
    if (tcp_) {
        tcpSocket_.abort();
        connectTimer_.start();
        tcpSocket_.connectToHost(host_, port_, QIODevice::ReadOnly);
        return;
    }
    if (!udpSocket_.bind(bindAddress_, port_)) {
        const std::string reason = udpSocket_.errorString().toStdString();
        udpSocket_.close();
        throw LineOpenError("cannot open " + name_.toStdString() + ": " + reason);
    }
    datagrams_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    connected_ = true;
}

void NetComm::close()
{
    connectTimer_.stop();
    connected_ = false;
    if (reader_)
        reader_->reset();
    tcpSocket_.abort();
    if (datagrams_ && datagrams_->isOpen())
        datagrams_->close();
}

void NetComm::onConnected()
{
    connectTimer_.stop();
    connected_ = true;
    emit opened();
}

void NetComm::failConnecting(const QString& reason)
{
    connectTimer_.stop();
    tcpSocket_.abort();
    emit openFailed(QStringLiteral("cannot connect to %1: %2").arg(name_, reason));
}

void NetComm::onSocketError(QAbstractSocket::SocketError error)
{
    if (opening()) {
        failConnecting(tcpSocket_.errorString());
        return;
    }
    if (connected_ && error != QAbstractSocket::SocketTimeoutError)
        onDisconnected();
}

// A dropped connection is a lost line: reading stops, what came before it is
// still handed out, and the loss is reported once from the event loop.
void NetComm::onDisconnected()
{
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

// While connecting nothing can wait, and the reader's wait for data would
// end the connection attempt.
std::int16_t NetComm::InBufferCount()
{
    return reader_ && !opening() ? reader_->InBufferCount() : 0;
}

std::string NetComm::Input()
{
    return reader_ && !opening() ? reader_->Input() : std::string();
}

void NetComm::setPaused(bool paused)
{
    paused_ = paused;
    if (reader_)
        reader_->setPaused(paused);
}
