// The data-file reader over arbitrary text: whatever the lines hold, the
// extent stays on the grid and bad lines are reported in one line at most.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "DataFile.h"
#include "FuzzHost.h"
#include "ViewerState.h"

using namespace meshscope;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto started = [] {
        auto state = std::make_unique<ViewerState>();
        applyStartValues(*state);
        return state;
    }();
    static auto state = std::make_unique<ViewerState>();
    *state = *started;
    fuzz::FuzzHost host;

    readSamples(*state, host, std::string(reinterpret_cast<const char*>(data), size), "datafile.dat");

    const auto onGrid = [](std::int16_t i) { return i >= 0 && i < kGridSize; };
    if (!onGrid(state->minX) || !onGrid(state->maxX) || !onGrid(state->minY) || !onGrid(state->maxY))
        fuzz::fail("data extent off the grid");
    if (state->minX > state->maxX || state->minY > state->maxY)
        fuzz::fail("data extent inverted");
    if (state->drawMinX < 0 || state->drawMaxX >= kGridSize || state->drawMinY < 0 || state->drawMaxY >= kGridSize)
        fuzz::fail("drawn range off the grid");
    if (host.problems > 1)
        fuzz::fail("more than one report for one file");
    return 0;
}
