#include "Interpolation.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace meshscope {

namespace {

constexpr int kBlockSize = kBlockLast - kBlockFirst + 1;

// Interpolates one column of the block. The rows are computed side by side so
// the loops vectorise; each cell still adds its points in frame order.
void interpolateColumn(ViewerState& state, int column)
{
    std::array<double, kBlockSize> weightedSum{};
    std::array<double, kBlockSize> weightTotal{};
    std::array<std::int16_t, kBlockSize> exactHeight{};
    std::array<std::int16_t, kBlockSize> exactHit{};

    const int points = state.lastPoint + 1;
    for (int k = 0; k < points; ++k) {
        // Wide enough that no point of a 16-bit frame overflows the distance.
        const std::int64_t dx = std::int64_t{state.ptX[k]} - column;
        const std::int64_t dxSquared = dx * dx;
        const std::int64_t pointRow = state.ptY[k];
        const double height = state.ptZ[k];
        for (int j = 0; j < kBlockSize; ++j) {
            const std::int64_t dy = pointRow - (kBlockFirst + j);
            const std::int64_t distance = dxSquared + dy * dy;
            const bool hit = distance == 0;
            // A hit cell's sums are never used; 1 keeps them finite.
            const double weight = 1.0 / static_cast<double>(hit ? 1 : distance);
            weightedSum[j] += height * weight;
            weightTotal[j] += weight;
            exactHeight[j] = hit ? state.ptZ[k] : exactHeight[j];
            exactHit[j] |= static_cast<std::int16_t>(hit);
        }
    }

    for (int j = 0; j < kBlockSize; ++j) {
        const float value = exactHit[j]
                                ? static_cast<float>(exactHeight[j])
                                : static_cast<float>(std::nearbyint(weightedSum[j] / weightTotal[j]));
        state.heights[column][kBlockFirst + j] = value;
        state.rawHeights[column][kBlockFirst + j] = value;
    }
}

// heights[x][y] for every y of the drawn rows: the s x s window's mean. The
// rows go side by side; each window adds column by column, row by row.
void smoothColumn(ViewerState& state, int x, int firstRow, int rowCount, int s)
{
    std::array<float, kGridSize> sum{};
    for (int u = x; u < x + s; ++u) {
        const float* source = state.rawHeights[u].data() + firstRow;
        for (int v = 0; v < s; ++v) {
            for (int r = 0; r < rowCount; ++r) sum[r] += source[v + r];
        }
    }
    const float count = static_cast<float>(s * s);
    for (int r = 0; r < rowCount; ++r) state.heights[x][firstRow + r] = sum[r] / count;
}

}  // namespace

void DoInterpolation(ViewerState& state, ViewerHost& host)
{
    state.minX = state.minY = kBlockFirst;
    state.maxX = state.maxY = kBlockLast;
    state.drawMinX = state.drawMinY = kBlockFirst;
    state.drawMaxX = state.drawMaxY = kBlockLast;
    for (int column = kBlockFirst; column <= kBlockLast; ++column) interpolateColumn(state, column);
    UpdateData(state, host);
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
        for (int x = state.minX; x <= state.maxX - s; ++x) smoothColumn(state, x, state.minY, rowCount, s);
    }

    state.drawMaxX = static_cast<std::int16_t>(state.drawMaxX - s);
    state.drawMaxY = static_cast<std::int16_t>(state.drawMaxY - s);
    host.sceneSetup();
}

}  // namespace meshscope
