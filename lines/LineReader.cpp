#include "LineReader.h"

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

LineReader::LineReader(QIODevice& device, QObject* parent) : QObject(parent), device_(device)
{
    connect(&device_, &QIODevice::readyRead, this, &LineReader::onReadyRead);
}

bool LineReader::isReading() const
{
    return device_.isOpen() && failureMessage_.isEmpty();
}

std::int16_t LineReader::InBufferCount()
{
    collectArrived();
    return saturatedCharCount(received_.size());
}

std::string LineReader::Input()
{
    collectArrived();
    std::string text = received_.toStdString();
    received_.clear();
    return text;
}

void LineReader::setPaused(bool paused)
{
    paused_ = paused;
    takeFromDevice();
}

void LineReader::reset()
{
    failureMessage_.clear();
    received_.clear();
}

QByteArray LineReader::takeWaiting()
{
    takeFromDevice();
    return std::exchange(received_, QByteArray());
}

// Reads what has reached the operating system since the event loop last ran,
// so a poll sees characters at once.
void LineReader::collectArrived()
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
void LineReader::onReadyRead()
{
    if (readAheadLimit_ > 0 && !paused_ && received_.size() >= readAheadLimit_)
        return;
    takeFromDevice();
}

void LineReader::takeFromDevice()
{
    if (device_.isOpen())
        received_ += device_.readAll();
    if (paused_ && received_.size() > PausedLimit) {
        const QByteArray dropped = received_.left(received_.size() - PausedLimit);
        received_.remove(0, dropped.size());
        emit discarded(dropped);
    }
}

void LineReader::lineLost(const QString& message)
{
    if (!failureMessage_.isEmpty() || !device_.isOpen())
        return;
    failureMessage_ = message;
    QMetaObject::invokeMethod(this, &LineReader::finishFailure, Qt::QueuedConnection);
}

// Characters that arrived before the failure stay readable through Input.
void LineReader::finishFailure()
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
