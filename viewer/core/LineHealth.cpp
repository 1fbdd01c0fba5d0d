#include "LineHealth.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace meshscope {

namespace {

// Fixed-point text that never depends on the user's locale.
std::string fixed(double value, int decimals)
{
    std::array<char, 64> text{};
    const auto result
        = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    return {text.data(), result.ptr};
}

void forget(std::deque<std::pair<double, std::int64_t>>& recent, double now)
{
    while (!recent.empty() && recent.front().first <= now - kRateWindowSeconds)
        recent.pop_front();
}

double rate(std::deque<std::pair<double, std::int64_t>>& recent, double windowStart, double now)
{
    forget(recent, now);
    const double span = std::min(kRateWindowSeconds, now - windowStart);
    if (span <= 0)
        return 0;
    std::int64_t count = 0;
    for (const auto& entry : recent)
        count += entry.second;
    return static_cast<double>(count) / span;
}

} // namespace

void lineOpened(LineHealth& health, const std::string& port, int baudRate, double now)
{
    health = LineHealth{};
    health.port = port;
    health.baudRate = baudRate;
    health.since = now;
    health.windowStart = now;
}

void linePaused(LineHealth& health, bool paused, double now)
{
    if (health.paused == paused)
        return;
    health.paused = paused;
    health.since = now;
    health.recentFrames.clear();
    health.recentBytes.clear();
    health.windowStart = now;
}

void lineStandsOpen(LineHealth& health, bool open)
{
    health.open = open;
}

void notePollTick(LineHealth& health, const PollTick& tick, double now)
{
    if (tick.bytes > 0) {
        const auto bytes = static_cast<std::int64_t>(tick.bytes);
        health.bytes += bytes;
        health.since = now;
        health.recentBytes.emplace_back(now, bytes);
    }
    if (tick.framesEnded > 0) {
        const auto frames = static_cast<std::int64_t>(tick.framesEnded);
        health.newFrames += frames;
        health.lastNewFrame = now;
        health.recentFrames.emplace_back(now, frames);
    }
    if (!tick.take.repeat && tick.take.result == FrameTake::Result::refused) {
        ++health.refused;
        health.lastRefusal = tick.take.refusal;
    }
    forget(health.recentFrames, now);
    forget(health.recentBytes, now);
}

double newFramesPerSecond(LineHealth& health, double now)
{
    return rate(health.recentFrames, health.windowStart, now);
}

double bytesPerSecond(LineHealth& health, double now)
{
    return rate(health.recentBytes, health.windowStart, now);
}

std::string sourceText(const LineHealth& health)
{
    if (health.baudRate > 0)
        return health.port + " at " + std::to_string(health.baudRate);
    return health.port;
}

std::string healthText(LineHealth& health, double now)
{
    std::string text = sourceText(health) + ": ";
    if (!health.open && !health.paused) {
        const bool broughtAny = health.bytes > 0;
        return text + (broughtAny ? "reopening" : "opening");
    }
    if (health.paused) {
        text += "paused (space resumes)";
    } else {
        const double bytes = bytesPerSecond(health, now);
        text += fixed(newFramesPerSecond(health, now), 1) + " frames/s, ";
        text += bytes >= 1000 ? fixed(bytes / 1000, 1) + " kB/s" : fixed(bytes, 0) + " B/s";
        text += health.lastNewFrame ? ", last frame " + fixed(now - *health.lastNewFrame, 1) + " s ago"
                                    : ", waiting for the first frame";
    }
    text += ", " + std::to_string(health.refused) + " refused";
    if (health.refused > 0)
        text += std::string(" (last: ") + refusalText(health.lastRefusal) + ")";
    return text;
}

std::optional<std::string> quietProblem(const LineHealth& health, bool open, double now)
{
    if (!open || health.paused || now - health.since < kQuietLimitSeconds)
        return std::nullopt;
    return "no data on " + health.port + " for " + fixed(kQuietLimitSeconds, 0) + " s";
}

} // namespace meshscope
