#pragma once

#include "LineAddress.h"

#include <ctime>
#include <optional>
#include <string>

// How a wait or a write on the line ended.
enum class Outcome {
    Done,    // finished as asked
    Stopped, // SIGINT or SIGTERM arrived
    HungUp,  // the reader closed its end
};

// Blocks SIGINT, SIGTERM and SIGHUP except while the line waits, so a stop
// request always wakes the wait instead of slipping in between checks.
void installStopSignals();
// A stop signal has arrived.
bool stopSignalled();
// Waits for `events` on fd (or just sleeps when fd < 0) with stop signals
// let through; ppoll's result, and what fd reported in revents.
int waitFor(int fd, short events, long long timeoutNs, short& revents);

// The end meshsim writes frames to: the master of a new pseudo-terminal, a
// terminal device named on the command line (both set raw, 115200 baud), a
// TCP client's connection, or a UDP socket that sends each frame as one
// datagram.
class Line {
public:
    static Line openPseudoTerminal();
    static Line openDevice(const std::string& path);
    // "udp://HOST:PORT" (kSendRules); throws a one-line reason for a bad or
    // unknown address.
    static Line openDatagrams(const std::string& address);
    Line(Line&& other) noexcept;
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    ~Line();

    // The path a reader opens (the slave of a pseudo-terminal) or the device.
    const std::string& path() const { return path_; }
    bool isPseudoTerminal() const { return pseudoTerminal_; }
    // Closing it at once could cut off what the reader has not taken yet.
    bool lingers() const { return kind_ == Kind::PseudoTerminal || kind_ == Kind::Stream; }

    // Until a reader has the pseudo-terminal open; at once for a device.
    Outcome waitForReader();
    // Writes every byte, waiting for room as long as the reader is there.
    Outcome send(const std::string& bytes);
    // Idles until `deadline` (CLOCK_MONOTONIC), discarding anything the
    // reader sends back.
    Outcome waitUntil(const timespec& deadline);

private:
    friend class Listener;
    enum class Kind { PseudoTerminal, Device, Stream, Datagrams };
    Line(int fd, std::string path, Kind kind);
    bool readerGone() const;

    int fd_ = -1;
    std::string path_;
    Kind kind_ = Kind::Device;
    bool pseudoTerminal_ = false;
};

// A TCP port that serves one client at a time; clients that come meanwhile
// wait in the queue until the one before them leaves.
class Listener {
public:
    // "tcp://[ADDRESS]:PORT" (kListenRules); port 0 picks a free one. Throws a
    // one-line reason.
    explicit Listener(const std::string& address);
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener();
    // "tcp://ADDRESS:PORT" with the port bound.
    const std::string& address() const { return address_; }
    // The next client, or empty when a stop signal came first.
    std::optional<Line> accept();

private:
    int fd_ = -1;
    std::string address_;
};

// What --listen and --send take: the address to serve on (by name or number,
// any of this machine's when left out) and the receiver to send to.
constexpr lineaddress::Rules kListenRules{.hostRequired = false, .anyPort = true};
constexpr lineaddress::Rules kSendRules{};

timespec monotonicNow();
timespec addNanoseconds(timespec t, long long ns);
long long nanosecondsUntil(const timespec& deadline);
