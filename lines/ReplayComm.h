#pragma once

#include "LineControl.h"

#include <QFile>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>

// A capture played back as a line: the file's bytes, one piece (through the
// next ">") every 1/rate s, each piece once the one before has been read, so
// every frame of the capture reaches a poll of its own. At the end the line
// stays open and quiet; pausing it pauses the playback.
class ReplayComm : public LineControl {
    Q_OBJECT
public:
    explicit ReplayComm(QObject* parent = nullptr);
    ~ReplayComm() override;

    void setCapture(const QString& path, double framesPerSecond);
    QString devicePath() const override { return path_; }

    bool PortOpen() const override { return file_.isOpen(); }
    // Throws LineOpenError when the capture cannot be opened.
    void setPortOpen(bool open) override;

    std::int16_t InBufferCount() override;
    std::string Input() override;
    void setPaused(bool paused) override;

    // Every byte of the capture has been delivered.
    bool atEnd() const { return ended_; }
    // ...and read by the poll.
    bool ended() const override { return ended_ && waiting_.empty(); }
    // The pieces delivered so far that hold a whole "<...>".
    qint64 framesPlayed() const { return frames_; }

    // A run this long without a ">" is delivered as a piece of its own.
    static constexpr qint64 LongestPiece = 64 * 1024;

signals:
    // The capture's last piece has been delivered.
    void finished();

private:
    void deliverNext();

    QString path_;
    double rate_ = 20;
    QFile file_;
    QTimer timer_;
    std::string ahead_;   // read from the file, not yet delivered
    std::string waiting_; // delivered, not yet read by the poll
    bool paused_ = false;
    bool ended_ = false;
    qint64 frames_ = 0;
};
