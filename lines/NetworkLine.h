#pragma once

#include "LineAddress.h"
#include "LineControl.h"
#include "LineReader.h"
#include "RetryWait.h"

#include <QByteArray>
#include <QIODevice>
#include <QTimer>

#include <memory>

// What the network line controls share: a name that stays while the line is
// open or opening, a connection that must answer within ConnectTimeoutMs,
// tries that wait longer after each refusal, and the reader the polls go
// through, at most ReadAheadLimit characters ahead of them.
class NetworkLine : public LineControl {
    Q_OBJECT
public:
    // noSource: what setPortOpen says before a name was given.
    NetworkLine(const char* noSource, int longestRefusalWaitMs, QObject* parent);

    // Closes; or starts opening, and opened or openFailed follow.
    void setPortOpen(bool open) final;
    // Connecting, or waiting to try again after a refusal.
    bool opening() const final;

    std::int16_t InBufferCount() override;
    std::string Input() override;
    void setPaused(bool paused) override;

    static constexpr int ConnectTimeoutMs = 5000;
    static constexpr int FirstRefusalWaitMs = 500;
    // Characters read ahead of the polls, at most.
    static constexpr qint64 ReadAheadLimit = 64 * 1024;

protected:
    // Throws LineOpenError while the line is open or opening; otherwise
    // returns what parse() reads, its AddressError turned into LineOpenError.
    template <typename Parse>
    auto readAddress(Parse parse) const
    {
        checkNotOpen();
        try {
            return parse();
        } catch (const lineaddress::AddressError& error) {
            throw LineOpenError(error.what());
        }
    }

    virtual bool named() const = 0;
    // An attempt under way (not the wait after a refusal).
    virtual bool connecting() const = 0;
    // setPortOpen(true) on a closed line: the attempt starts.
    virtual void startOpening() = 0;
    // setPortOpen(false).
    virtual void closeLine() = 0;
    virtual void failConnecting(const QString& reason) = 0;

    std::unique_ptr<LineReader> reader_;
    QTimer connectTimer_;
    RetryWait refusalWait_;
    bool paused_ = false;

private:
    void checkNotOpen() const;

    const char* noSource_;
};

// Bytes received, read as one stream: what a network control has taken from
// its socket or client and the reader has not yet read.
class ReceivedBytes : public QIODevice {
public:
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return pending_.size() + QIODevice::bytesAvailable(); }
    void close() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

    QByteArray pending_;
};
