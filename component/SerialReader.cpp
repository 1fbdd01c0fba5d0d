#include "SerialReader.h"

#include <QMetaObject>

#include <limits>
#include <utility>

std::int16_t saturatedCharCount(qint64 count)
{
    if (count <= 0)
        return 0;
    if (count > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(count);
}

SerialReader::SerialReader(QIODevice& device, QObject* parent) : QObject(parent), device_(device)
{
    connect(&device_, &QIODevice::readyRead, this, &SerialReader::onReadyRead);
}

bool SerialReader::isReading() const
{
    return device_.isOpen() && failureMessage_.isEmpty();
}

std::int16_t SerialReader::InBufferCount()
{
    collectArrived();
    return saturatedCharCount(received_.size());
}

std::string SerialReader::Input()
{
    collectArrived();
    std::string text = received_.toStdString();
    received_.clear();
    return text;
}

void SerialReader::setPaused(bool paused)
{
    paused_ = paused;
    takeFromDevice();
}

void SerialReader::reset()
{
    failureMessage_.clear();
    received_.clear();
}

QByteArray SerialReader::takeWaiting()
{
    takeFromDevice();
    return std::exchange(received_, QByteArray());
}

// Reads what has reached the operating system since the event loop last ran,
// so a poll sees characters at once.
void SerialReader::collectArrived()
{
    if (isReading()) {
        // Each wait reads everything the device holds; repeat a few times for
        // bytes that land meanwhile, but never spin on a busy line.
        for (int round = 0; round < 4 && failureMessage_.isEmpty(); ++round) {
            if (!device_.waitForReadyRead(0))
                break;
        }
        takeFromDevice();
    }
    finishFailure();
}

// A fast network sender is held back by its own flow control instead of
// piling up here between two polls; a paused reader keeps only the newest.
void SerialReader::onReadyRead()
{
    if (readAheadLimit_ > 0 && !paused_ && received_.size() >= readAheadLimit_)
        return;
    takeFromDevice();
}

void SerialReader::takeFromDevice()
{
    if (device_.isOpen())
        received_ += device_.readAll();
    if (paused_ && received_.size() > PausedLimit) {
        const QByteArray dropped = received_.left(received_.size() - PausedLimit);
        received_.remove(0, dropped.size());
        emit discarded(dropped);
    }
}

void SerialReader::lineLost(const QString& message)
{
    if (!failureMessage_.isEmpty() || !device_.isOpen())
        return;
    failureMessage_ = message;
    QMetaObject::invokeMethod(this, &SerialReader::finishFailure, Qt::QueuedConnection);
}

// Characters that arrived before the failure stay readable through Input.
void SerialReader::finishFailure()
{
    if (failureMessage_.isEmpty())
        return;
    const QString message = failureMessage_;
    failureMessage_.clear();
    if (device_.isOpen()) {
        takeFromDevice();
        device_.close();
    }
    emit portFailed(message);
}
