#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

#include "Interpolation.h"
#include "RecordingHost.h"
#include "SerialInput.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

class Interpolation : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;

    void setPoints(std::initializer_list<std::array<std::int16_t, 3>> points)
    {
        int k = 0;
        for (const auto& p : points) {
            state->ptX[k] = p[0];
            state->ptY[k] = p[1];
            state->ptZ[k] = p[2];
            ++k;
        }
        state->lastPoint = static_cast<std::int16_t>(k - 1);
    }

    void takeReferenceFrame()
    {
        state->rxBuffer = std::string(kReferenceFrame);
        ASSERT_TRUE(takeOneFrame(*state, host));
    }
};

TEST_F(Interpolation, ReferenceFrameGivesExactHitsAndRoundedMeans)
{
    state->smoothLevel = 1;
    takeReferenceFrame();
    EXPECT_EQ(state->rawHeights[66][66], 70.0f);
    EXPECT_EQ(state->rawHeights[1][66], 10.0f);
    EXPECT_EQ(state->rawHeights[50][50], 46.0f);
    EXPECT_EQ(state->rawHeights[1][1], 22.0f);
    EXPECT_EQ(state->rawHeights[100][1], 18.0f);
    EXPECT_EQ(state->rawHeights[66][65], 70.0f);
    EXPECT_EQ(state->heights[50][50], 46.0f);
}

TEST_F(Interpolation, FillsOnlyTheBlockAndKeepsOtherCells)
{
    state->rawHeights[0][5] = 3;
    state->rawHeights[101][5] = 4;
    state->rawHeights[5][150] = 6;
    takeReferenceFrame();
    EXPECT_EQ(state->rawHeights[0][5], 3.0f);
    EXPECT_EQ(state->rawHeights[101][5], 4.0f);
    EXPECT_EQ(state->rawHeights[5][150], 6.0f);
    EXPECT_EQ(state->minX, 1);
    EXPECT_EQ(state->maxY, 100);
}

TEST_F(Interpolation, LaterPointInTheSameCellWins)
{
    setPoints({{10, 10, 5}, {10, 10, 9}});
    DoInterpolation(*state, host);
    EXPECT_EQ(state->rawHeights[10][10], 9.0f);
    EXPECT_EQ(state->rawHeights[20][20], 7.0f); // both weigh equally elsewhere
}

TEST_F(Interpolation, ExactHalvesRoundToEven)
{
    setPoints({{1, 1, 12}, {1, 3, 13}});
    DoInterpolation(*state, host);
    EXPECT_EQ(state->rawHeights[1][2], 12.0f);

    setPoints({{1, 1, 13}, {1, 3, 14}});
    DoInterpolation(*state, host);
    EXPECT_EQ(state->rawHeights[1][2], 14.0f);

    // -0.5 rounds to a plain zero, written "0" rather than "-0".
    setPoints({{1, 1, -1}, {1, 3, 0}});
    DoInterpolation(*state, host);
    EXPECT_EQ(state->rawHeights[1][2], 0.0f);
    EXPECT_FALSE(std::signbit(state->rawHeights[1][2]));
}

TEST_F(Interpolation, WidthOneCopiesTheGridAndDropsOneColumnAndRow)
{
    state->smoothLevel = 1;
    takeReferenceFrame();
    EXPECT_EQ(state->drawMinX, 1);
    EXPECT_EQ(state->drawMaxX, 99);
    EXPECT_EQ(state->drawMinY, 1);
    EXPECT_EQ(state->drawMaxY, 99);
    for (int x = 1; x <= 99; ++x)
        for (int y = 1; y <= 99; ++y)
            ASSERT_EQ(state->heights[x][y], state->rawHeights[x][y]) << x << "," << y;
}

TEST_F(Interpolation, DefaultWidthAveragesTheBlockAboveEachCell)
{
    takeReferenceFrame();
    const auto& raw = state->rawHeights;
    const float expected = (((raw[1][1] + raw[1][2]) + raw[2][1]) + raw[2][2]) / 4.0f;
    EXPECT_EQ(state->heights[1][1], expected);
    EXPECT_EQ(state->drawMaxX, 98);
    EXPECT_EQ(state->drawMaxY, 98);
    EXPECT_EQ(host.sceneSetups, 1);
}

// Sums one window column by column, row by row, in single precision.
float windowMean(const HeightGrid& raw, int x, int y, int s)
{
    float sum = 0;
    for (int u = x; u < x + s; ++u)
        for (int v = y; v < y + s; ++v)
            sum += raw[u][v];
    return sum / static_cast<float>(s * s);
}

TEST_F(Interpolation, WideWindowKeepsEachCellsSummingOrder)
{
    // Heights chosen so that a different summing order changes the float result.
    for (int x = 0; x < kGridSize; ++x)
        for (int y = 0; y < kGridSize; ++y)
            state->rawHeights[x][y] = 1.0f / static_cast<float>(1 + 7 * x + 3 * y) * 1e4f;
    state->minX = state->minY = 1;
    state->maxX = state->maxY = 100;
    state->smoothLevel = 17;
    UpdateData(*state, host);
    EXPECT_EQ(state->drawMaxX, 83);
    EXPECT_EQ(state->drawMaxY, 83);
    for (int x = 1; x <= 83; ++x)
        for (int y = 1; y <= 83; ++y)
            ASSERT_EQ(state->heights[x][y], windowMean(state->rawHeights, x, y, 17)) << x << "," << y;
}

TEST_F(Interpolation, NarrowExtentComputesNothingAndLeavesAnEmptyRange)
{
    state->heights[3][3] = 42;
    state->minX = 3;
    state->maxX = 4;
    state->minY = 3;
    state->maxY = 10;
    state->smoothLevel = 3;
    UpdateData(*state, host);
    EXPECT_EQ(state->heights[3][3], 42.0f);
    EXPECT_LT(state->drawMaxX, state->drawMinX);
    EXPECT_EQ(state->drawMaxY, 7);
}

// One cell as the rule states it: a point in the cell gives its height (the
// last one wins), otherwise the rounded inverse-square-distance mean.
float plainCellValue(const ViewerState& state, int i, int j)
{
    std::optional<float> hit;
    double sum = 0, total = 0;
    for (int k = 0; k <= state.lastPoint; ++k) {
        if (state.ptX[k] == i && state.ptY[k] == j)
            hit = state.ptZ[k];
        const std::int64_t dx = state.ptX[k] - i, dy = state.ptY[k] - j;
        const double weight = 1.0 / static_cast<double>(dx * dx + dy * dy);
        sum = sum + state.ptZ[k] * weight;
        total = total + weight;
    }
    return hit ? *hit : static_cast<float>(static_cast<int>(std::nearbyint(sum / total)));
}

TEST_F(Interpolation, EveryCellMatchesThePlainRuleForNearAndFarPoints)
{
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 12; ++trial) {
        // Near frames stay in the usual 0..128 square; far ones use all 16 bits.
        const bool far = trial % 3 == 2;
        std::uniform_int_distribution<int> coordinate(far ? -32768 : 0, far ? 32767 : 128);
        std::uniform_int_distribution<int> height(-500, 500);
        std::uniform_int_distribution<int> count(2, kMaxPoints);
        state->lastPoint = static_cast<std::int16_t>(count(random) - 1);
        for (int k = 0; k <= state->lastPoint; ++k) {
            state->ptX[k] = static_cast<std::int16_t>(coordinate(random));
            state->ptY[k] = static_cast<std::int16_t>(coordinate(random));
            state->ptZ[k] = static_cast<std::int16_t>(height(random));
        }
        state->ptX[0] = state->ptX[1] = 40; // two points sharing a cell
        state->ptY[0] = state->ptY[1] = 7;
        DoInterpolation(*state, host);
        for (int i = 1; i <= 100; ++i)
            for (int j = 1; j <= 100; ++j)
                ASSERT_EQ(state->rawHeights[i][j], plainCellValue(*state, i, j))
                    << "trial " << trial << " cell " << i << "," << j;
    }
}

} // namespace
} // namespace meshscope
