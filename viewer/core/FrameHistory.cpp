#include "FrameHistory.h"

#include <algorithm>
#include <memory>

#include "Interpolation.h"

namespace meshscope {

static_assert(sizeof(HistoryFrame) == 136, "kMaxBytes' stated figure assumes 136-byte frames");

void FrameHistory::record(const ViewerState& state, std::int64_t arrivalMs)
{
    if (!started_)
        startMs_ = arrivalMs;
    started_ = true;
    dropOlderThan(arrivalMs - kSpanMs);
    if (count_ == kMaxFrames) {
        first_ = (first_ + 1) % ring_.size();
        --count_;
    }
    if (count_ == ring_.size()) {
        // Grow by doubling up to the cap, unrolling the ring in order.
        std::vector<HistoryFrame> grown;
        grown.reserve(std::min(kMaxFrames, std::max<std::size_t>(64, ring_.size() * 2)));
        for (std::size_t k = 0; k < count_; ++k)
            grown.push_back(ring_[(first_ + k) % ring_.size()]);
        grown.resize(grown.capacity());
        ring_ = std::move(grown);
        first_ = 0;
    }
    HistoryFrame& frame = ring_[(first_ + count_) % ring_.size()];
    frame.arrivalMs = arrivalMs;
    frame.lastPoint = state.lastPoint;
    frame.ptX = state.ptX;
    frame.ptY = state.ptY;
    frame.ptZ = state.ptZ;
    ++count_;
    ++next_;
}

void FrameHistory::dropOlderThan(std::int64_t arrivalMs)
{
    while (count_ > 0 && ring_[first_].arrivalMs < arrivalMs) {
        first_ = (first_ + 1) % ring_.size();
        --count_;
    }
}

void FrameHistory::clear()
{
    // Numbers keep growing, so a number never names a different frame.
    first_ = 0;
    count_ = 0;
    started_ = false;
}

const HistoryFrame& FrameHistory::at(std::uint64_t number) const
{
    const auto offset = static_cast<std::size_t>(number - oldest());
    return ring_[(first_ + offset) % ring_.size()];
}

namespace {

// A state to run the viewer's routines on without touching the live one.
ViewerState& scratchState()
{
    static const std::unique_ptr<ViewerState> scratch = std::make_unique<ViewerState>();
    return *scratch;
}

} // namespace

DrawnSurface frameSurface(const HistoryFrame& frame, std::int16_t smoothLevel, FrameReadings* readings)
{
    ViewerState& scratch = scratchState();
    NullHost host;
    scratch.smoothLevel = smoothLevel;
    scratch.lastPoint = frame.lastPoint;
    scratch.ptX = frame.ptX;
    scratch.ptY = frame.ptY;
    scratch.ptZ = frame.ptZ;
    DoInterpolation(scratch, host);
    if (readings) {
        readings->points = scratch.interpolated;
        readings->rawHeights = scratch.rawHeights;
    }
    return drawnSurface(scratch);
}

DrawnSurface smoothedSurface(const ViewerState& source, std::int16_t smoothLevel)
{
    ViewerState& scratch = scratchState();
    NullHost host;
    scratch.smoothLevel = smoothLevel;
    scratch.rawHeights = source.rawHeights;
    scratch.minX = source.minX;
    scratch.maxX = source.maxX;
    scratch.minY = source.minY;
    scratch.maxY = source.maxY;
    UpdateData(scratch, host);
    return drawnSurface(scratch);
}

} // namespace meshscope
