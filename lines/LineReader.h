#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

// Number of waiting characters as the 16-bit count the viewer reads:
// counts beyond 32767 saturate instead of wrapping to a negative number.
std::int16_t saturatedCharCount(qint64 count);

// What a line control does with the characters its device delivers: it
// gathers them for the polls, bounds them while paused, and closes and
// reports a device that failed. It reads any QIODevice (serial port, TCP
// socket, datagrams); the control owns the device and tells it when the line
// is lost.
class LineReader : public QObject {
    Q_OBJECT
public:
    // The most characters kept while paused (the stored receive buffer size).
    static constexpr int PausedLimit = 1024;

    explicit LineReader(QIODevice& device, QObject* parent = nullptr);

    // Open and not failed.
    bool isReading() const;

    std::int16_t InBufferCount();
    std::string Input();

    // While paused only the newest PausedLimit characters are kept; older
    // ones go out through discarded.
    void setPaused(bool paused);

    // For a device that keeps unread bytes itself without losing them (a
    // TCP socket, whose sender then waits): between polls, read no further
    // ahead than this many characters. 0, the default, reads everything at
    // once, as a serial line whose own buffer overflows needs.
    void setReadAheadLimit(qint64 characters) { readAheadLimit_ = characters; }

    // Forgets a failure and every waiting character (the port is being
    // opened or closed).
    void reset();

    // The characters gathered for the next poll, left in place.
    const QByteArray& waiting() const { return received_; }
    // Every character that arrived, handed over instead of to the polls.
    QByteArray takeWaiting();

    // The device failed: reading stops at once, and the device is closed
    // and the failure reported from the event loop (never inside the
    // device's own signal).
    void lineLost(const QString& message);

    // Closes a failed device and reports it now, if one is pending.
    void finishFailure();

signals:
    // Emitted once per failure; the device is closed by then.
    void portFailed(const QString& message);
    // Characters dropped unread while paused, oldest first.
    void discarded(const QByteArray& characters);

private:
    void collectArrived();
    void takeFromDevice();
    void onReadyRead();

    QIODevice& device_;
    QByteArray received_;
    QString failureMessage_;
    bool paused_ = false;
    qint64 readAheadLimit_ = 0;
};
