// The frames of the last ten minutes: each new accepted frame's points and
// arrival time, to be drawn again as the viewer drew them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DrawnSurface.h"
#include "ViewerState.h"

namespace meshscope {

// One accepted frame: its points and when it arrived (milliseconds on the
// caller's steady clock).
struct HistoryFrame {
    std::int64_t arrivalMs = 0;
    std::int16_t lastPoint = 0;
    std::array<std::int16_t, kMaxPoints> ptX{};
    std::array<std::int16_t, kMaxPoints> ptY{};
    std::array<std::int16_t, kMaxPoints> ptZ{};
};

// A ring of frames numbered from 1 in arrival order. It keeps those that
// arrived within kSpanMs of the newest, and never more than kMaxFrames: the
// poll takes at most one frame per 10 ms, so ten minutes of a line at full
// speed fit, and faster sources (a replay) keep their newest kMaxFrames.
class FrameHistory {
public:
    static constexpr std::int64_t kSpanMs = 10 * 60 * 1000;
    static constexpr std::size_t kMaxFrames = 60'000;
    // The most the frames ever take: 60,000 x 136 bytes, about 7.8 MiB.
    static constexpr std::size_t kMaxBytes = kMaxFrames * sizeof(HistoryFrame);

    // Adds the state's current points as the newest frame.
    void record(const ViewerState& state, std::int64_t arrivalMs);
    void clear();

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Numbers of the oldest and newest frame held (oldest > newest when empty).
    std::uint64_t oldest() const { return next_ - count_; }
    std::uint64_t newest() const { return next_ - 1; }
    bool holds(std::uint64_t number) const { return count_ > 0 && number >= oldest() && number <= newest(); }
    // The frame with that number; it must be held.
    const HistoryFrame& at(std::uint64_t number) const;
    // Arrival of the first frame recorded since the start or the last clear,
    // kept when the ring drops it: the capture's time zero.
    std::int64_t startMs() const { return startMs_; }

    // Bytes the frames take now (the ring's capacity), at most kMaxBytes.
    std::size_t memoryBytes() const { return ring_.capacity() * sizeof(HistoryFrame); }

private:
    void dropOlderThan(std::int64_t arrivalMs);

    std::vector<HistoryFrame> ring_;
    std::size_t first_ = 0; // ring index of the oldest frame
    std::size_t count_ = 0;
    std::uint64_t next_ = 1; // number the next frame gets
    std::int64_t startMs_ = 0;
    bool started_ = false;
};

// What the viewer holds beside a frame's drawn surface: the frame's points and
// the unsmoothed grid they were interpolated into.
struct FrameReadings {
    InterpolatedFrame points;
    HeightGrid rawHeights{};
};

// The grid the viewer draws for a frame at a smoothing width: its points
// interpolated and smoothed by the viewer's own rules; readings, when given,
// gets the frame's points and unsmoothed grid.
DrawnSurface frameSurface(const HistoryFrame& frame, std::int16_t smoothLevel, FrameReadings* readings = nullptr);

// The grid the viewer draws for a raw grid and data extent at a smoothing width.
DrawnSurface smoothedSurface(const ViewerState& source, std::int16_t smoothLevel);

} // namespace meshscope
