#include "Publish.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include <poll.h>

namespace {

constexpr long long kSecond = 1'000'000'000LL;

std::string reasonOf(int result, int error)
{
    if (result == MOSQ_ERR_ERRNO)
        return std::strerror(error);
    if (result == MOSQ_ERR_EAI)
        return "the host name is not known";
    if (result == MOSQ_ERR_CONN_LOST)
        return "the broker closed the connection";
    return mosquitto_strerror(result);
}

} // namespace

Publisher::Publisher(const std::string& address) : target_(lineaddress::parseMqtt(address, false))
{
    address_ = target_.shown;
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    if (!client_) {
        const std::string reason = std::strerror(errno);
        mosquitto_lib_cleanup();
        throw std::runtime_error("cannot publish to " + address_ + ": " + reason);
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(
        client_, [](mosquitto*, void* self, int code) { static_cast<Publisher*>(self)->connack_ = code; });
    const int result = mosquitto_connect_async(client_, target_.host.c_str(), target_.port, 30);
    if (result != MOSQ_ERR_SUCCESS) {
        const std::string reason = reasonOf(result, errno);
        // The destructor does not run for a constructor that throws.
        mosquitto_destroy(client_);
        mosquitto_lib_cleanup();
        throw std::runtime_error("cannot publish to " + address_ + ": " + reason);
    }
}

Publisher::~Publisher()
{
    if (connected_)
        mosquitto_disconnect(client_);
    mosquitto_destroy(client_);
    mosquitto_lib_cleanup();
}

Outcome Publisher::waitForReader()
{
    const auto fail = [&](const std::string& reason) {
        return std::runtime_error("cannot publish to " + address_ + ": " + reason);
    };
    const timespec deadline = addNanoseconds(monotonicNow(), 10 * kSecond);
    while (connack_ < 0) {
        const int socket = mosquitto_socket(client_);
        if (socket < 0)
            throw fail("the broker closed the connection");
        if (nanosecondsUntil(deadline) <= 0)
            throw fail("no answer within 10 s");
        short revents = 0;
        waitFor(socket, short(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0)), kSecond / 10, revents);
        if (stopSignalled())
            return Outcome::Stopped;
        int result = MOSQ_ERR_SUCCESS;
        if (revents & (POLLIN | POLLHUP | POLLERR))
            result = mosquitto_loop_read(client_, 1);
        if (result == MOSQ_ERR_SUCCESS && (revents & POLLOUT))
            result = mosquitto_loop_write(client_, 1);
        if (result != MOSQ_ERR_SUCCESS && connack_ <= 0)
            throw fail(reasonOf(result, errno));
    }
    if (connack_ != 0)
        throw fail(std::string("the broker refused the connection (") + mosquitto_connack_string(connack_) + ")");
    connected_ = true;
    return Outcome::Done;
}

void Publisher::lose(int result)
{
    if (connected_)
        std::cout << "meshsim: lost the broker at " << address_ << " (" << reasonOf(result, errno)
                  << "); publishing again once it is back" << std::endl;
    connected_ = false;
    connack_ = -1;
    nextReconnect_ = addNanoseconds(monotonicNow(), kSecond / 2);
}

Outcome Publisher::serve(long long timeoutNs)
{
    if (stopSignalled())
        return Outcome::Stopped;
    const int socket = mosquitto_socket(client_);
    if (socket < 0) {
        // Try the broker again now and then; meanwhile just wait.
        short revents = 0;
        if (nanosecondsUntil(nextReconnect_) > 0) {
            waitFor(-1, 0, std::min(timeoutNs, nanosecondsUntil(nextReconnect_)), revents);
            return stopSignalled() ? Outcome::Stopped : Outcome::Done;
        }
        if (mosquitto_reconnect_async(client_) != MOSQ_ERR_SUCCESS)
            lose(MOSQ_ERR_NO_CONN);
        return Outcome::Done;
    }
    short revents = 0;
    const short events = short(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0));
    waitFor(socket, events, timeoutNs, revents);
    if (stopSignalled())
        return Outcome::Stopped;
    int result = MOSQ_ERR_SUCCESS;
    if (revents & (POLLIN | POLLHUP | POLLERR))
        result = mosquitto_loop_read(client_, 1);
    if (result == MOSQ_ERR_SUCCESS && (revents & POLLOUT))
        result = mosquitto_loop_write(client_, 1);
    if (result == MOSQ_ERR_SUCCESS)
        result = mosquitto_loop_misc(client_);
    if (result != MOSQ_ERR_SUCCESS || mosquitto_socket(client_) < 0) {
        lose(result);
        return Outcome::Done;
    }
    if (!connected_ && connack_ == 0) {
        connected_ = true;
        std::cout << "meshsim: publishing to " << address_ << " again" << std::endl;
    }
    return Outcome::Done;
}

Outcome Publisher::send(const std::string& frame)
{
    if (!connected_)
        return serve(0);
    const int result
        = mosquitto_publish(client_, nullptr, target_.topic.c_str(), int(frame.size()), frame.data(), 0, false);
    if (result != MOSQ_ERR_SUCCESS) {
        lose(result);
        return Outcome::Done;
    }
    // A broker that takes the messages slower than they come holds meshsim
    // back instead of a queue here growing.
    while (connected_ && mosquitto_want_write(client_)) {
        if (const Outcome outcome = serve(kSecond / 10); outcome != Outcome::Done)
            return outcome;
    }
    return Outcome::Done;
}

Outcome Publisher::waitUntil(const timespec& deadline)
{
    for (;;) {
        const long long remaining = nanosecondsUntil(deadline);
        if (remaining <= 0)
            return stopSignalled() ? Outcome::Stopped : Outcome::Done;
        if (const Outcome outcome = serve(remaining); outcome != Outcome::Done)
            return outcome;
    }
}
