#pragma once

#include "LineAddress.h"
#include "NetworkLine.h"

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
class MqttComm : public NetworkLine {
    Q_OBJECT
public:
    explicit MqttComm(QObject* parent = nullptr);
    ~MqttComm() override;

    // The name without its password: what messages show.
    QString devicePath() const override { return shown_; }
    // "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC" (port 1883) or
    // "mqtts://..." (TLS, port 8883); the topic may hold the wildcards "+"
    // and "#". A user given without a password takes the one in
    // MESHSCOPE_MQTT_PASSWORD. Throws LineOpenError for a malformed name.
    void setAddress(const QString& name);
    // The certificate authority a TLS broker's certificate must come from;
    // empty for the system's.
    void setCaFile(const QString& path);

    // Open once subscribed.
    bool PortOpen() const override;

    static constexpr int KeepAliveSeconds = 30;
    // A broker that refused the login, the topic or the TLS handshake is
    // tried again after a wait that doubles up to this.
    static constexpr int LongestRefusalWaitMs = 60000;

    // Called by the client library; public only for its C callbacks.
    void onConnack(int code);
    void onSubscribed(int grantedQos);
    void onMessage(const mosquitto_message& message);
    void onLog(int level, const char* text);

private:
    enum class Phase { Closed, Resolving, Connecting, Subscribing, Open };

    bool named() const override { return !address_.host.empty(); }
    bool connecting() const override;
    void startOpening() override { connectNow(); }
    void closeLine() override;
    void failConnecting(const QString& reason) override { failAttempt(reason, false); }
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
    // The read-ahead is full: the client stops reading and the broker's connection waits.
    bool throttled() const;
    void updateReadNotifier();
    // refused: the broker said no, and the next try waits longer.
    void failAttempt(const QString& reason, bool refused);
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
    QTimer keepAliveTimer_;
    quint64 attempt_ = 0;
    bool justOpened_ = false;
    QString refusal_;   // why the broker refused the connection or the topic
    QString lastError_; // the client library's last error remark
    quint64 arrivals_ = 0;
    std::unique_ptr<Stream> stream_;
};
