// Speed of the meshscope core's per-frame work: interpolation, smoothing, and
// the quiet-line re-take of the last frame that runs every 10 ms tick, the
// frame history's cost and memory, and a surface's statistics and levelling.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "FrameHistory.h"
#include "Interpolation.h"
#include "Levelling.h"
#include "SerialInput.h"
#include "SurfaceStatistics.h"
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

// What a shown frame costs when levelled and counted: a 100 x 100 drawn
// surface levelled by the best-fit plane, zeroed at its minimum, and its
// statistics taken. Each frame is timed alone, so the median and the 99th
// percentile of single frames are reported beside the mean: on the wall
// clock, and on the thread's own clock, which leaves out the time other
// programs took the core.
void BM_StatisticsAndLevelling100x100(benchmark::State& bench)
{
    auto state = stateWithFrame(1);
    DrawnSurface surface = smoothedSurface(*state, 1);
    surface.lastX = surface.firstX + 99;
    surface.lastY = surface.firstY + 99;
    surface.z.resize(100 * 100, surface.z.back());
    const Levelling levelling{TiltRemoval::BestFitPlane, {}, ZeroAt::Minimum};
    const auto threadMicroseconds = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
    };
    std::vector<double> wall, own;
    for (auto _ : bench) {
        const auto start = std::chrono::steady_clock::now();
        const double ownStart = threadMicroseconds();
        DrawnSurface shown = surface;
        levelSurface(shown, levelling);
        const SurfaceStatistics stats = surfaceStatistics(shown);
        benchmark::DoNotOptimize(stats.sq);
        own.push_back(threadMicroseconds() - ownStart);
        wall.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    const auto at = [](std::vector<double>& samples, double share) {
        std::sort(samples.begin(), samples.end());
        return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
    };
    bench.counters["median_us"] = at(wall, 0.5);
    bench.counters["p99_us"] = at(wall, 0.99);
    bench.counters["median_cpu_us"] = at(own, 0.5);
    bench.counters["p99_cpu_us"] = at(own, 0.99);
    bench.counters["goal_us"] = 200;
}
BENCHMARK(BM_StatisticsAndLevelling100x100)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
