#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised when a line cannot be opened; what() names the device and the reason.
class LineOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when an opened port refuses the chosen line speed; the port is closed.
class LineSpeedError : public LineOpenError {
public:
    using LineOpenError::LineOpenError;
};

// What the viewer reads its characters through: a serial port or a network
// source, polled with the serial control's two operations.
class LineControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString devicePath() const = 0;

    // Open and delivering.
    virtual bool PortOpen() const = 0;
    // Opening throws LineOpenError when it fails at once; an open that
    // takes time (a network connection) ends in opened or openFailed.
    virtual void setPortOpen(bool open) = 0;
    // An open under way that will end in opened or openFailed.
    virtual bool opening() const { return false; }

    virtual std::int16_t InBufferCount() = 0;
    virtual std::string Input() = 0;

    // While paused only the newest characters are kept; the older ones go
    // out through discarded.
    virtual void setPaused(bool paused) = 0;

    // Everything the line will ever bring has been read (a played capture
    // at its end); a live line never ends.
    virtual bool ended() const { return false; }

signals:
    // An open that was under way has finished.
    void opened();
    // An open that was under way failed; the line stays closed.
    void openFailed(const QString& message);
    // The open line failed (device unplugged, connection dropped). Emitted
    // once; the line is closed by then.
    void portFailed(const QString& message);
    // Characters dropped unread while paused, oldest first, or the text of
    // a server that refused the connection: never frames, yet received.
    void discarded(const QByteArray& characters);
    // A remark on an open line that is no failure (a rate the driver changed).
    void notice(const QString& message);
};
