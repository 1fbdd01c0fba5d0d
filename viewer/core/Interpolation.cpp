#include "Interpolation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace meshscope {

namespace {

constexpr int kBlockSize = kBlockLast - kBlockFirst + 1;

// Picks the widest vector unit the processor has; the arithmetic is the same
// IEEE operations in the same order either way. Other processors build one copy.
#if defined(__x86_64__) && defined(__GNUC__)
#define MESHSCOPE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define MESHSCOPE_VECTOR_CLONES
#endif

// 1 / (dx^2 + dy^2) for the offsets a frame near the block produces, computed
// once: the same division, so the same weights, without dividing per cell.
class ReciprocalTable {
public:
    static constexpr int kMaxColumnOffset = 200;
    static constexpr int kRowSpan = 2 * kMaxColumnOffset + 1; // dy from -200 to 200

    ReciprocalTable() : weights_(static_cast<std::size_t>(kMaxColumnOffset + 1) * kRowSpan)
    {
        for (int dx = 0; dx <= kMaxColumnOffset; ++dx) {
            for (int dy = -kMaxColumnOffset; dy <= kMaxColumnOffset; ++dy) {
                const double distance = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
                weights_[index(dx, dy)] = 1.0 / std::max(distance, 1.0);
            }
        }
    }

    // The weights of a point at column offset dx and row pointRow for the
    // block's rows 1..100 in order, or null when the point lies too far out.
    const double* weightsAlongColumn(int dx, int pointRow) const
    {
        dx = dx < 0 ? -dx : dx;
        const int firstDy = kBlockFirst - pointRow;
        const int lastDy = kBlockLast - pointRow;
        if (dx > kMaxColumnOffset || firstDy < -kMaxColumnOffset || lastDy > kMaxColumnOffset)
            return nullptr;
        return &weights_[index(dx, firstDy)];
    }

private:
    static std::size_t index(int dx, int dy)
    {
        return static_cast<std::size_t>(dx) * kRowSpan + static_cast<std::size_t>(dy + kMaxColumnOffset);
    }

    std::vector<double> weights_;
};

const ReciprocalTable& reciprocalTable()
{
    static const ReciprocalTable table;
    return table;
}

// Interpolates one column of the block. The rows are computed side by side so
// the loops vectorise; each cell still adds its points in frame order.
MESHSCOPE_VECTOR_CLONES
void interpolateColumn(ViewerState& state, int column)
{
    alignas(32) double weightedSum[kBlockSize] = {};
    alignas(32) double weightTotal[kBlockSize] = {};
    alignas(32) double rowOffset[kBlockSize];
    for (int j = 0; j < kBlockSize; ++j)
        rowOffset[j] = kBlockFirst + j;

    const ReciprocalTable& reciprocals = reciprocalTable();
    const int points = state.lastPoint + 1;
    for (int k = 0; k < points; ++k) {
        const double height = state.ptZ[k];
        if (const double* weights = reciprocals.weightsAlongColumn(state.ptX[k] - column, state.ptY[k])) {
            for (int j = 0; j < kBlockSize; ++j) {
                weightedSum[j] += height * weights[j];
                weightTotal[j] += weights[j];
            }
            continue;
        }
        // Squares of 16-bit differences add up exactly in double precision,
        // so the distance never overflows.
        const double dx = static_cast<double>(state.ptX[k]) - column;
        const double dxSquared = dx * dx;
        const double pointRow = state.ptY[k];
        for (int j = 0; j < kBlockSize; ++j) {
            const double dy = pointRow - rowOffset[j];
            const double distance = dxSquared + dy * dy;
            // Distances are whole numbers, so only a hit (0) is raised to 1;
            // a hit cell takes its point's height below and its sums are unused.
            const double weight = 1.0 / std::max(distance, 1.0);
            weightedSum[j] += height * weight;
            weightTotal[j] += weight;
        }
    }

    auto& heights = state.heights[column];
    auto& rawHeights = state.rawHeights[column];
    for (int j = 0; j < kBlockSize; ++j) {
        // A whole number, so a mean rounding to zero from below is +0, not -0.
        const float value = static_cast<float>(std::nearbyint(weightedSum[j] / weightTotal[j]) + 0.0);
        heights[kBlockFirst + j] = value;
        rawHeights[kBlockFirst + j] = value;
    }
    // A cell that holds a point takes its height; the last such point wins.
    for (int k = 0; k < points; ++k) {
        const int row = state.ptY[k];
        if (state.ptX[k] == column && row >= kBlockFirst && row <= kBlockLast) {
            heights[row] = state.ptZ[k];
            rawHeights[row] = state.ptZ[k];
        }
    }
}

// Sums the s x s windows of `count` neighbouring rows (count <= Rows), column
// by column and row by row, so each window keeps its own summing order.
template <int Rows>
inline void sumWindows(const HeightGrid& raw, int x, int firstRow, int count, int s, float* sums)
{
    float acc[Rows] = {};
    for (int u = x; u < x + s; ++u) {
        const float* source = raw[u].data() + firstRow;
        for (int v = 0; v < s; ++v) {
            for (int r = 0; r < Rows; ++r)
                acc[r] += source[v + r];
        }
    }
    for (int r = 0; r < count; ++r)
        sums[r] = acc[r];
}

// heights[x][y] for every drawn row y: the mean of the s x s window at (x, y).
// Rows go side by side in blocks small enough to stay in registers.
MESHSCOPE_VECTOR_CLONES
void smoothColumn(ViewerState& state, int x, int firstRow, int rowCount, int s)
{
    alignas(32) float sums[kGridSize] = {};
    // Full blocks, then one last block that overlaps the previous one;
    // overlapping rows are summed again in the same order, to the same value.
    const auto blocks = [&]<int Rows>() {
        for (int done = 0; done < rowCount; done += Rows) {
            const int start = std::min(done, rowCount - Rows);
            sumWindows<Rows>(state.rawHeights, x, firstRow + start, Rows, s, sums + start);
        }
    };
    if (rowCount >= 32)
        blocks.template operator()<32>();
    else if (rowCount >= 8)
        blocks.template operator()<8>();
    else
        blocks.template operator()<1>();

    const float count = static_cast<float>(s * s);
    for (int r = 0; r < rowCount; ++r)
        state.heights[x][firstRow + r] = sums[r] / count;
}

} // namespace

void DoInterpolation(ViewerState& state, ViewerHost& host)
{
    state.minX = state.minY = kBlockFirst;
    state.maxX = state.maxY = kBlockLast;
    state.drawMinX = state.drawMinY = kBlockFirst;
    state.drawMaxX = state.drawMaxY = kBlockLast;
    for (int column = kBlockFirst; column <= kBlockLast; ++column)
        interpolateColumn(state, column);
    UpdateData(state, host);

    InterpolatedFrame& done = state.interpolated;
    done = {true, state.lastPoint, state.ptX, state.ptY, state.ptZ, state.gridRevision};
}

bool interpolateUnlessRepeated(ViewerState& state, ViewerHost& host)
{
    const InterpolatedFrame& done = state.interpolated;
    const auto points = static_cast<std::size_t>(state.lastPoint + 1);
    const auto samePoints
        = [points](const auto& a, const auto& b) { return std::equal(a.begin(), a.begin() + points, b.begin()); };
    if (done.valid && done.gridRevision == state.gridRevision && done.lastPoint == state.lastPoint
        && samePoints(done.ptX, state.ptX) && samePoints(done.ptY, state.ptY) && samePoints(done.ptZ, state.ptZ)) {
        host.sceneSetup(); // its timer and GL effects stay as after any frame
        return false;
    }
    DoInterpolation(state, host);
    return true;
}

void UpdateData(ViewerState& state, ViewerHost& host)
{
    const int s = state.smoothLevel;
    state.drawMaxX = state.maxX;
    state.drawMinY = state.minY;
    state.drawMinX = state.minX;
    state.drawMaxY = state.maxY;

    const int rowCount = state.maxY - s - state.minY + 1;
    if (s >= 1 && rowCount > 0) {
        for (int x = state.minX; x <= state.maxX - s; ++x)
            smoothColumn(state, x, state.minY, rowCount, s);
    }

    state.drawMaxX = static_cast<std::int16_t>(state.drawMaxX - s);
    state.drawMaxY = static_cast<std::int16_t>(state.drawMaxY - s);
    ++state.gridRevision;
    markSetupChanged(state);
    markPictureChanged(state);
    host.sceneSetup();
}

} // namespace meshscope
