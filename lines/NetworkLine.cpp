#include "NetworkLine.h"

#include <cstring>

NetworkLine::NetworkLine(const char* noSource, int longestRefusalWaitMs, QObject* parent)
    : LineControl(parent), refusalWait_(FirstRefusalWaitMs, longestRefusalWaitMs), noSource_(noSource)
{
    connectTimer_.setSingleShot(true);
    connectTimer_.setInterval(ConnectTimeoutMs);
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { failConnecting(QStringLiteral("no answer within %1 s").arg(ConnectTimeoutMs / 1000)); });
}

void NetworkLine::checkNotOpen() const
{
    if (PortOpen() || opening())
        throw LineOpenError("cannot change the source while " + devicePath().toStdString()
                            + " is open (close it first)");
}

void NetworkLine::setPortOpen(bool open)
{
    if (!named())
        throw LineOpenError(noSource_);
    if (!open) {
        closeLine();
        return;
    }
    reader_->finishFailure();
    if (PortOpen() || opening())
        return;
    startOpening();
}

bool NetworkLine::opening() const
{
    return connecting() || refusalWait_.isActive();
}

// While connecting nothing can wait, and the reader's wait for data would
// end the connection attempt.
std::int16_t NetworkLine::InBufferCount()
{
    return reader_ && !opening() ? reader_->InBufferCount() : 0;
}

std::string NetworkLine::Input()
{
    return reader_ && !opening() ? reader_->Input() : std::string();
}

void NetworkLine::setPaused(bool paused)
{
    paused_ = paused;
    if (reader_)
        reader_->setPaused(paused);
}

void ReceivedBytes::close()
{
    QIODevice::close();
    pending_.clear();
}

qint64 ReceivedBytes::readData(char* data, qint64 maxSize)
{
    const qint64 n = qMin(maxSize, qint64(pending_.size()));
    std::memcpy(data, pending_.constData(), static_cast<size_t>(n));
    pending_.remove(0, static_cast<qsizetype>(n));
    return n;
}
