#pragma once

#include <ctime>
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

// The end meshsim writes frames to: the master of a new pseudo-terminal, or a
// terminal device named on the command line. Both are set raw, 115200 baud.
class Line {
public:
    static Line openPseudoTerminal();
    static Line openDevice(const std::string& path);
    Line(Line&& other) noexcept;
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    ~Line();

    // The path a reader opens (the slave of a pseudo-terminal) or the device.
    const std::string& path() const { return path_; }
    bool isPseudoTerminal() const { return pseudoTerminal_; }

    // Until a reader has the pseudo-terminal open; at once for a device.
    Outcome waitForReader();
    // Writes every byte, waiting for room as long as the reader is there.
    Outcome send(const std::string& bytes);
    // Idles until `deadline` (CLOCK_MONOTONIC), discarding anything the
    // reader sends back.
    Outcome waitUntil(const timespec& deadline);

private:
    Line(int fd, std::string path, bool pseudoTerminal);
    bool readerGone() const;

    int fd_ = -1;
    std::string path_;
    bool pseudoTerminal_ = false;
};

timespec monotonicNow();
timespec addNanoseconds(timespec t, long long ns);
