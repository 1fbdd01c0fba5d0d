// The serial poll tick fed arbitrary text in arbitrary chunks, several ticks
// per input, with the properties every tick must keep.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzHost.h"
#include "SerialInput.h"
#include "ViewerState.h"

using namespace meshscope;

namespace {

constexpr int kMaxTicks = 12;

const ViewerState& startedState()
{
    static const auto started = [] {
        auto state = std::make_unique<ViewerState>();
        applyStartValues(*state);
        return state;
    }();
    return *started;
}

void checkTick(const ViewerState& before, const ViewerState& after)
{
    if (after.rxBuffer.size() > kRxBufferLimit)
        fuzz::fail("receive buffer past its limit");
    if (after.lastPoint < -1 || after.lastPoint >= kMaxPoints)
        fuzz::fail("lastPoint outside the point arrays");
    const auto grew = static_cast<std::int64_t>(after.interpCount) - before.interpCount;
    if (grew < 0 || grew > 1)
        fuzz::fail("more than one frame taken in a tick");
    if (after.okCount - before.okCount > grew)
        fuzz::fail("reference count grew without an accepted frame");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto state = std::make_unique<ViewerState>();
    static auto previous = std::make_unique<ViewerState>();
    *state = startedState();
    fuzz::FuzzHost host;
    FuzzedDataProvider input(data, size);

    for (int tick = 0; tick < kMaxTicks && input.remaining_bytes() > 0; ++tick) {
        // Most ticks bring a chunk; some are quiet, so a frame left last in
        // the buffer is taken again.
        const bool quiet = input.ConsumeIntegralInRange<int>(0, 7) == 0;
        if (!quiet)
            host.waiting = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 1024));
        previous->interpCount = state->interpCount;
        previous->okCount = state->okCount;
        serialPollTick(*state, host);
        checkTick(*previous, *state);
        if (host.status.empty())
            fuzz::fail("empty status line");
    }
    return 0;
}
