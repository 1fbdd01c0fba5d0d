#pragma once

#include "Line.h"
#include "LineAddress.h"

#include <ctime>
#include <string>

struct mosquitto;

// meshsim's frames published to an MQTT broker, one frame per message, for
// any number of subscribers. A broker that goes away is said once and
// reconnected to; the frames meanwhile are dropped, as a device's would be.
class Publisher {
public:
    // "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC" without wildcards. Starts
    // connecting; throws a one-line reason when that fails at once.
    explicit Publisher(const std::string& address);
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;
    ~Publisher();

    const std::string& path() const { return address_; }
    bool lingers() const { return true; }

    // Until the broker has accepted the connection.
    Outcome waitForReader();
    // Publishes one message and waits until it is written.
    Outcome send(const std::string& frame);
    Outcome waitUntil(const timespec& deadline);

private:
    // Runs the client until something happens on its socket or timeoutNs pass.
    Outcome serve(long long timeoutNs);
    void lose(int result);

    std::string address_;
    lineaddress::MqttAddress target_;
    mosquitto* client_ = nullptr;
    int connack_ = -1;
    bool connected_ = false;
    timespec nextReconnect_{};
};
