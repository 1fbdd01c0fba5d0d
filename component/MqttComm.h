#pragma once

#include "LineAddress.h"
#include "LineControl.h"
#include "LineReader.h"
#include "RetryWait.h"

#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <memory>

struct mosquitto;
struct mosquitto_message;

// A subscription on an MQTT broker read like a serial port: the payload of
// every message on the topic joins the stream in arrival order. The client
// (libmosquitto) runs on this thread's event loop, so payloads reach the
// polls in order without a thread of its own.
class MqttComm : public LineControl {
    Q_OBJECT
public:
    explicit MqttComm(QObject* parent = nullptr);
    ~MqttComm() override;

    // True for the names this control takes: "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC"
    // (port 1883) or "mqtts://..." (TLS, port 8883); the topic may hold the
    // wildcards "+" and "#".
    static bool isMqttPort(const QString& name);

    // Throws LineOpenError, saying what is wrong, for a malformed name. A
    // user given without a password takes the one in MESHSCOPE_MQTT_PASSWORD.
    void setAddress(const QString& name);
    // The certificate authority a TLS broker's certificate must come from;
    // empty for the system's.
    void setCaFile(const QString& path);
    // The name without its password: what messages show.
    QString devicePath() const override { return shown_; }

    bool PortOpen() const override;
    // Starts connecting; opened (once subscribed) or openFailed follow.
    void setPortOpen(bool open) override;
    bool opening() const override;

    std::int16_t InBufferCount() override;
    std::string Input() override;
    void setPaused(bool paused) override;

    static constexpr int ConnectTimeoutMs = 5000;
    static constexpr int KeepAliveSeconds = 30;
    // A broker that refused the login, the topic or the TLS handshake is
    // tried again after a wait that doubles from the first to the longest.
    static constexpr int FirstRefusalWaitMs = 500;
    static constexpr int LongestRefusalWaitMs = 60000;
    // Payload characters taken from the broker ahead of the polls, at most;
    // beyond it the client stops reading and the broker's connection waits.
    static constexpr qint64 ReadAheadLimit = 64 * 1024;

    // Called by the client library; public only for its C callbacks.
    void onConnack(int code);
    void onSubscribed(int grantedQos);
    void onMessage(const mosquitto_message& message);
    void onLog(int level, const char* text);

private:
    enum class Phase { Closed, Resolving, Connecting, Subscribing, Open };

    void connectNow();
    void startClient();
    void destroyClient();
    void close();
    // Acts on what the client's last call returned and its callbacks noted;
    // false once the client is gone.
    bool handle(int result);
    void onReadable();
    // A poll's look at the socket, between the event loop's.
    void pump();
    void watchSocket();
    void dropNotifiers();
    bool throttled() const;
    void updateReadNotifier();
    // refused: the broker said no, and the next try waits longer.
    void failConnecting(const QString& reason, bool refused = false);
    void connectionLost();
    QString reasonOf(int result, int error) const;

    class Stream;

    lineaddress::MqttAddress address_;
    QString shown_;
    QString topic_;
    QString caFile_;
    Phase phase_ = Phase::Closed;
    struct mosquitto* client_ = nullptr;
    int socket_ = -1;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QTimer connectTimer_;
    QTimer keepAliveTimer_;
    RetryWait refusalWait_{FirstRefusalWaitMs, LongestRefusalWaitMs};
    quint64 attempt_ = 0;
    bool justOpened_ = false;
    QString refusal_;   // why the broker refused the connection or the topic
    QString lastError_; // the client library's last error remark
    quint64 arrivals_ = 0;
    std::unique_ptr<Stream> stream_;
    std::unique_ptr<LineReader> reader_;
};
