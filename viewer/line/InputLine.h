#pragma once

// The viewer's input line: the one owner of the serial port or network source
// that --port names. It opens it, retries every 300 ms while it is missing,
// busy or lost, says each change in one line, tees what it reads to the
// recording, and gives the window the control's two operations.

#include "LineControl.h"
#include "LineRecord.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

namespace meshscope {

class InputLine : public QObject {
    Q_OBJECT
public:
    // COMn, unless name is a device path or a network source
    // (tcp://HOST:PORT, udp://[ADDRESS]:PORT, mqtt[s]://...). Throws
    // LineOpenError for a malformed network name or an unknown scheme.
    explicit InputLine(int commPort, const QString& name = {}, QObject* parent = nullptr);
    ~InputLine() override;

    // Another line, as the constructor names one, from the next open(); the
    // recording goes on. close() the old line first.
    void setPort(int commPort, const QString& name);

    // Serial ports only: the line speed from the next open.
    void setBaudRate(std::int32_t rate);
    // MQTT over TLS only: the certificate authority to trust instead of the system's.
    void setCaFile(const QString& path);
    // A serial port's line speed; 0 for a network source.
    std::int32_t baudRate() const;
    // Plays the capture at path instead of a port, framesPerSecond pieces
    // (each through its next ">") a second.
    void playCapture(const QString& path, double framesPerSecond);
    QString name() const;
    bool isNetwork() const;
    bool isReplay() const;
    // A played capture has been read to its end; no byte will follow.
    bool ended() const;

    // Appends every byte read from the line to the file at path from now on;
    // a path that cannot be opened is reported and nothing is recorded.
    void recordTo(const QString& path);

    // Opens the line; a failure is said once and the line retried until it opens.
    void open();
    // Takes what waits into the recording and closes the line; no retries follow.
    void close();

    bool PortOpen() const;
    std::int16_t InBufferCount();
    // Every character taken from the line passes here, also what the space
    // key throws away, so the recording holds the whole stream as it arrived.
    std::string Input();
    void setPaused(bool paused);

    const QTimer& retryTimer() const { return retry_; }
    static constexpr int retryIntervalMs = 300;

signals:
    // The line was lost. What it carried before can never join what follows
    // the return; the window throws away a frame left unfinished.
    void lost();
    // A problem just said on standard error: standing ones (the line missing,
    // busy, lost or refusing its speed) last until resolved(), the rest are events.
    void problem(const QString& text, bool standing);
    // The line opened: a standing problem is over.
    void resolved();
    // A played capture came to its end (text says how many frames it held,
    // also on standard error).
    void captureEnded(const QString& text);

private:
    void adopt(std::unique_ptr<LineControl> control);
    void attempt();
    void onOpened();
    void onOpenFailed(const QString& message);
    void onPortFailed(const QString& message);
    void onNotice(const QString& message);
    void record(std::string_view bytes);
    // A problem: one line on standard error, and problem() for the window.
    void say(const QString& text, bool standing = false);
    static void writeLine(const QString& text);
    QString advice(const QString& message) const;

    std::unique_ptr<LineControl> control_;
    QTimer retry_;
    QString openedWord_ = QStringLiteral("opened");
    bool failureSaid_ = false; // the current run of failed opens has been reported
    bool retrying_ = false;
    QString lastNotice_;
    LineRecord record_;
};

} // namespace meshscope
