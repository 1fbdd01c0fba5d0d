// Speed of the meshscope core's per-frame work: interpolation, smoothing, and
// the quiet-line re-take of the last frame that runs every 10 ms tick, and
// the frame history's cost and memory.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "FrameHistory.h"
#include "Interpolation.h"
#include "SerialInput.h"
#include "ViewerState.h"

namespace {

using namespace meshscope;

// A frame of 21 points spread over the block.
std::string fullFrame()
{
    std::string frame = "<";
    for (int k = 0; k < kMaxPoints; ++k) {
        if (k)
            frame += "; ";
        frame += std::to_string(1 + (k * 37) % 100) + "," + std::to_string(1 + (k * 53) % 100) + ","
            + std::to_string((k * 29) % 90);
    }
    return frame + ">";
}

std::unique_ptr<ViewerState> stateWithFrame(int smoothLevel)
{
    auto state = std::make_unique<ViewerState>();
    applyStartValues(*state);
    state->smoothLevel = static_cast<std::int16_t>(smoothLevel);
    state->rxBuffer = fullFrame();
    NullHost host;
    takeOneFrame(*state, host);
    return state;
}

void BM_DoInterpolation21Points(benchmark::State& bench)
{
    auto state = stateWithFrame(1);
    NullHost host;
    for (auto _ : bench) {
        DoInterpolation(*state, host); // includes the width-1 smoothing
        benchmark::DoNotOptimize(state->heights[50][50]);
    }
}
BENCHMARK(BM_DoInterpolation21Points)->Unit(benchmark::kMicrosecond);

void BM_UpdateData(benchmark::State& bench)
{
    auto state = stateWithFrame(static_cast<int>(bench.range(0)));
    NullHost host;
    for (auto _ : bench) {
        UpdateData(*state, host);
        benchmark::DoNotOptimize(state->heights[50][50]);
    }
}
BENCHMARK(BM_UpdateData)->Arg(2)->Arg(17)->Unit(benchmark::kMicrosecond);

// The whole step a quiet 10 ms tick runs: cut the last frame again and parse
// it; the grids are known to come out the same, so nothing is recomputed.
void BM_RetakeFrameWidth17(benchmark::State& bench)
{
    auto state = stateWithFrame(17);
    NullHost host;
    for (auto _ : bench) {
        takeOneFrame(*state, host);
        benchmark::DoNotOptimize(state->heights[50][50]);
    }
}
BENCHMARK(BM_RetakeFrameWidth17)->Unit(benchmark::kMicrosecond);

// The same take when something else changed the grids in between: cut,
// parse, interpolate and smooth at width 17.
void BM_RetakeFrameWidth17AfterAChange(benchmark::State& bench)
{
    auto state = stateWithFrame(17);
    NullHost host;
    for (auto _ : bench) {
        ++state->gridRevision;
        takeOneFrame(*state, host);
        benchmark::DoNotOptimize(state->heights[50][50]);
    }
}
BENCHMARK(BM_RetakeFrameWidth17AfterAChange)->Unit(benchmark::kMicrosecond);

// Recording a frame into the history, and the memory it takes once it holds
// ten minutes and more of a line at its fastest (a frame per 10 ms poll).
void BM_HistoryRecordAndMemory(benchmark::State& bench)
{
    auto state = stateWithFrame(2);
    FrameHistory history;
    std::int64_t ms = 0;
    for (auto _ : bench) {
        history.record(*state, ms += 10);
        benchmark::DoNotOptimize(history.size());
    }
    for (; ms <= 15 * 60 * 1000; ms += 10)
        history.record(*state, ms);
    bench.counters["frames"] = static_cast<double>(history.size());
    bench.counters["MiB"] = static_cast<double>(history.memoryBytes()) / (1 << 20);
    bench.counters["bound_MiB"] = static_cast<double>(FrameHistory::kMaxBytes) / (1 << 20);
}
BENCHMARK(BM_HistoryRecordAndMemory)->Unit(benchmark::kNanosecond);

// Rebuilding the grid of a frame from the history, as stepping back does.
void BM_HistoryFrameSurface(benchmark::State& bench)
{
    auto state = stateWithFrame(2);
    HistoryFrame frame;
    frame.lastPoint = state->lastPoint;
    frame.ptX = state->ptX;
    frame.ptY = state->ptY;
    frame.ptZ = state->ptZ;
    for (auto _ : bench)
        benchmark::DoNotOptimize(frameSurface(frame, 2).z.data());
}
BENCHMARK(BM_HistoryFrameSurface)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
