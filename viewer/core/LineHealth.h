// Whether data flows on the line: new frames and bytes per second, the age of
// the last new frame, the frames refused and why, and the "no data" rule.
// Times are seconds on any steady clock the caller chooses.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "SerialInput.h"

namespace meshscope {

// An open, unpaused line that brings no new byte for this long has a standing problem.
constexpr double kQuietLimitSeconds = 5;
// Rates are counted over this much of the recent past.
constexpr double kRateWindowSeconds = 3;

struct LineHealth {
    std::string port;    // "/dev/ttyUSB0", "tcp://host:port"
    int baudRate = 0;    // 0 for a network source
    bool open = false;   // the line stands open; until then the health line says it is opening
    bool paused = false; // by the space key or the menu, never by the start

    double since = 0; // opened, resumed or last byte: the quiet clock starts here
    std::optional<double> lastNewFrame;
    std::int64_t newFrames = 0;
    std::int64_t bytes = 0;
    std::int64_t refused = 0;
    FrameRefusal lastRefusal = FrameRefusal::none;

    // Recent new frames and byte arrivals (time, count), oldest first.
    std::deque<std::pair<double, std::int64_t>> recentFrames;
    std::deque<std::pair<double, std::int64_t>> recentBytes;
    double windowStart = 0; // rates count from here until a whole window has passed
};

// The line opened (or changed): counts start again from now.
void lineOpened(LineHealth& health, const std::string& port, int baudRate, double now);

// The space key's pause and resume; the quiet clock restarts on resume.
void linePaused(LineHealth& health, bool paused, double now);

// Whether the line stands open now (a missing device is retried, a network
// source connects in the background).
void lineStandsOpen(LineHealth& health, bool open);

// Notes what a poll tick read and took. New frames are those the new bytes
// completed; the last frame taken again on a quiet line is none, and a
// refused frame taken again is not refused again.
void notePollTick(LineHealth& health, const PollTick& tick, double now);

double newFramesPerSecond(LineHealth& health, double now);
double bytesPerSecond(LineHealth& health, double now);

// "/dev/ttyUSB0 at 115200" or the network source's name.
std::string sourceText(const LineHealth& health);

// The health line: "/dev/pts/3 at 115200: 20.0 frames/s, 1.1 kB/s, last frame
// 0.0 s ago, 2 refused (last: a value out of range)"; before the line opens
// "/dev/pts/3 at 115200: opening", and before its first frame "..., waiting
// for the first frame, 0 refused".
std::string healthText(LineHealth& health, double now);

// "no data on /dev/pts/3 for 5 s" while the line is open and not paused and
// has brought no new byte for kQuietLimitSeconds; empty otherwise.
std::optional<std::string> quietProblem(const LineHealth& health, bool open, double now);

} // namespace meshscope
