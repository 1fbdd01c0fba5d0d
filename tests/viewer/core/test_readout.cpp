#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "ColorScale.h"
#include "LineHealth.h"
#include "Pick.h"
#include "RecordingHost.h"
#include "SerialInput.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;
using Mat4 = std::array<double, 16>;

// Column-major matrices as GL builds them.
Mat4 identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4 times(const Mat4& a, const Mat4& b)
{
    Mat4 p{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                p[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return p;
}

Mat4 ortho(double l, double r, double b, double t, double n, double f)
{
    Mat4 m = identity();
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    return m;
}

Mat4 frustum(double l, double r, double b, double t, double n, double f)
{
    Mat4 m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    return m;
}

Mat4 translate(double x, double y, double z)
{
    Mat4 m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat4 rotateX(double degrees)
{
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    Mat4 m = identity();
    m[5] = c;
    m[6] = s;
    m[9] = -s;
    m[10] = c;
    return m;
}

Mat4 rotateZ(double degrees)
{
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    Mat4 m = identity();
    m[0] = c;
    m[1] = s;
    m[4] = -s;
    m[5] = c;
    return m;
}

// Where a grid point lands in the window, in GL window coordinates and depth.
std::array<double, 3> project(const ViewMatrices& v, double x, double y, double z)
{
    const Mat4 m = times(v.projection, v.modelview);
    double clip[4] = {};
    for (int r = 0; r < 4; ++r)
        clip[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    return {v.viewport[0] + (clip[0] / clip[3] + 1) / 2 * v.viewport[2],
            v.viewport[1] + (clip[1] / clip[3] + 1) / 2 * v.viewport[3], (clip[2] / clip[3] + 1) / 2};
}

class Pick : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;

    void SetUp() override
    {
        host.waiting = std::string(kReferenceFrame);
        serialPollTick(*state, host);
    }
};

// Straight down onto the grid, one pixel per cell: the pixel names the cell.
TEST_F(Pick, TopViewNamesTheCellUnderThePixel)
{
    const ViewMatrices top{ortho(0, 200, 0, 200, -1000, 1000), identity(), {0, 0, 200, 200}};
    const auto cell = pickAt(*state, top, 66.5, 66.5);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->part, PickedPart::surface);
    EXPECT_EQ(cell->column, 66);
    EXPECT_EQ(cell->row, 66);
    EXPECT_EQ(cell->rawHeight, 70);
    EXPECT_EQ(cell->drawnHeight, state->heights[66][66]);
    ASSERT_TRUE(cell->nearest);
    EXPECT_EQ(cell->nearest->column, 66);
    EXPECT_EQ(cell->nearest->height, 70);
    EXPECT_EQ(cell->nearest->distance, 0);
    EXPECT_NE(readoutText(*cell).find(" drawn, 70 unsmoothed; nearest point 66, 66 at 70, 0 cells away"),
              std::string::npos)
        << readoutText(*cell);

    const auto corner = pickAt(*state, top, 97.5, 30.5);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->nearest->column, 100);
    EXPECT_EQ(corner->nearest->row, 33);
    EXPECT_NEAR(corner->nearest->distance, std::hypot(3, 3), 1e-12);

    // Outside the drawn cells (1 to 98 after smoothing) is the background.
    EXPECT_FALSE(pickAt(*state, top, 0.5, 50.5));
    EXPECT_FALSE(pickAt(*state, top, 150.5, 50.5));
    // A viewport offset in the window moves the pick with it.
    const ViewMatrices shifted{top.projection, top.modelview, {40, 10, 200, 200}};
    EXPECT_EQ(pickAt(*state, shifted, 66.5 + 40, 66.5 + 10)->column, 66);
}

// The paint's own kind of view: tilted, spun, centred, in perspective and
// orthographic, at two aspect ratios. A point on a cell, projected into the
// window, is picked back as that cell, or as a nearer one that hides it (the
// peak hides the rows behind it at this tilt): the hit lies on the same pixel
// and no deeper.
TEST_F(Pick, PaintViewsPickBackTheProjectedCell)
{
    const Mat4 model = times(times(times(rotateX(-90), rotateX(35)), rotateZ(25)), translate(-48.5, -48.5, -50));
    const ViewMatrices views[] = {
        {times(frustum(-48.5, 48.5, -97 / 3.0, 97 / 3.0, 100, 400), translate(0, 0, -250)), model, {0, 0, 600, 400}},
        {ortho(-65, 65, -97.5, 97.5, -150, 150), model, {0, 0, 400, 600}},
    };
    for (const ViewMatrices& view : views) {
        int picked = 0, exact = 0;
        for (int i = 5; i < 98; i += 7)
            for (int j = 5; j < 98; j += 7) {
                SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
                const double x = i + 0.25, y = j + 0.25;
                const double z
                    = state->heights[i][j] * 0.5 + (state->heights[i + 1][j] + state->heights[i][j + 1]) * 0.25;
                const auto at = project(view, x, y, z);
                const auto cell = pickAt(*state, view, at[0], at[1]);
                ASSERT_TRUE(cell);
                ++picked;
                const auto hit = project(view, cell->at[0], cell->at[1], cell->at[2]);
                EXPECT_NEAR(hit[0], at[0], 1e-6);
                EXPECT_NEAR(hit[1], at[1], 1e-6);
                EXPECT_LE(hit[2], at[2] + 1e-9);
                exact += cell->column == i && cell->row == j;
            }
        EXPECT_GE(exact, picked / 2);
    }
}

// With the border on, a view from below meets the floor; from the side, a wall.
TEST_F(Pick, BorderWallsAndFloorArePicked)
{
    // Turned over about x, the window's y runs against the grid's rows.
    const ViewMatrices below{ortho(0, 200, -200, 0, -1000, 1000), rotateX(180), {0, 0, 200, 200}};
    EXPECT_EQ(pickAt(*state, below, 50.5, 200 - 50.5)->part, PickedPart::surface); // its underside
    state->borderOn = kTrue;
    const auto floor = pickAt(*state, below, 50.5, 200 - 50.5);
    ASSERT_TRUE(floor);
    EXPECT_EQ(floor->part, PickedPart::floor);
    EXPECT_EQ(floor->column, 50);
    EXPECT_EQ(floor->row, 50);

    // Looking along +y from in front of the first row, the drawMinY wall comes first.
    const ViewMatrices side{ortho(0, 200, -100, 100, -1000, 1000), rotateX(-90), {0, 0, 200, 200}};
    const auto wall = pickAt(*state, side, 60.5, 100 + 0.5); // height 0.5, column 60
    ASSERT_TRUE(wall);
    EXPECT_EQ(wall->part, PickedPart::wall);
    EXPECT_EQ(wall->column, 60);
    EXPECT_EQ(wall->row, state->drawMinY);
}

TEST(ColorScale, TicksAreRoundAndFewAndInside)
{
    const std::pair<double, double> ranges[]
        = {{0, 70}, {10, 70}, {-3.2, 4.1}, {0.01, 0.013}, {-32768, 32767}, {5, 5}, {0, 0}, {69.5, 70.5}};
    for (const auto& [low, high] : ranges) {
        SCOPED_TRACE(std::to_string(low) + ".." + std::to_string(high));
        const auto ticks = niceTicks(low, high);
        ASSERT_GE(ticks.size(), 5u);
        ASSERT_LE(ticks.size(), 10u);
        const double step = ticks[1] - ticks[0];
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 2.5) < 1e-9
                    || std::fabs(mantissa - 5) < 1e-9)
            << step;
        const HeightRange shown = scaleRange({static_cast<float>(low), static_cast<float>(high)});
        EXPECT_GE(ticks.front(), shown.low - 1e-6);
        EXPECT_LE(ticks.back(), shown.high + 1e-6);
    }
    EXPECT_EQ(niceTicks(0, 70), (std::vector<double>{0, 10, 20, 30, 40, 50, 60, 70}));
}

TEST(ColorScale, RangeAndColoursFollowTheDrawnGridAndMode)
{
    auto state = startedState();
    EXPECT_FALSE(drawnHeightRange(*state)); // nothing drawn yet
    RecordingHost host;
    host.waiting = std::string(kReferenceFrame);
    serialPollTick(*state, host);
    const auto range = drawnHeightRange(*state);
    ASSERT_TRUE(range);
    EXPECT_GT(range->high, 10);
    EXPECT_LE(range->high, 70);
    EXPECT_GE(range->low, 10);

    EXPECT_EQ(scaleColor(25, 1), (std::array<std::uint8_t, 3>{128, 128, 128}));
    EXPECT_EQ(scaleColor(75, 1), (std::array<std::uint8_t, 3>{255, 128, 0})); // clamped as GL does
    EXPECT_EQ(scaleColor(0, 0), (std::array<std::uint8_t, 3>{0, 255, 255}));
    EXPECT_EQ(scaleColor(123, 4), scaleColor(-9, 5));
    EXPECT_TRUE(singleColorMode(4) && singleColorMode(5) && !singleColorMode(0) && !singleColorMode(3));

    // Fitted colours span exactly the drawn heights, whatever the mode.
    const auto fit = fittedColoursOf(*state, false);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->low, range->low);
    EXPECT_EQ(fit->high, range->high);
    EXPECT_EQ(scaleColor(range->low, 4, fit), (std::array<std::uint8_t, 3>{68, 1, 84}));
    EXPECT_EQ(scaleColor(range->high, 1, fit), (std::array<std::uint8_t, 3>{253, 231, 37}));
    const auto aboutZero = fittedColoursOf(*state, true);
    ASSERT_TRUE(aboutZero);
    EXPECT_EQ(aboutZero->low, -range->high);
    EXPECT_EQ(scaleColor(0, 1, aboutZero), (std::array<std::uint8_t, 3>{255, 255, 255}));
    EXPECT_FALSE(fittedColoursOf(*startedState(), false)); // nothing drawn
}

// A stream of distinct frames at a known rate, ticked every 10 ms as the
// window does: the rates match, re-takes are not frames, refusals are counted.
TEST(LineHealth, RatesAgeRefusalsAndTheQuietRule)
{
    auto state = startedState();
    RecordingHost host;
    LineHealth health;
    lineOpened(health, "/dev/pts/3", 115200, 100.0);
    EXPECT_EQ(healthText(health, 100.0), "/dev/pts/3 at 115200: opening");
    lineStandsOpen(health, true);
    double now = 100.0;
    std::size_t sent = 0;
    for (int tick = 0; tick < 400; ++tick) { // 4 s, a frame every 50 ms
        now = 100.0 + tick * 0.01;
        if (tick % 5 == 0) {
            const std::string frame = "<1,1," + std::to_string(tick % 97) + ";9,9,1>";
            host.waiting += frame;
            sent += frame.size();
        }
        notePollTick(health, serialPollTick(*state, host), now);
    }
    EXPECT_NEAR(newFramesPerSecond(health, now), 20, 2);
    EXPECT_NEAR(bytesPerSecond(health, now), static_cast<double>(sent) / 4, static_cast<double>(sent) / 40);
    EXPECT_EQ(health.newFrames, 80);
    EXPECT_LT(health.newFrames, state->interpCount); // the rest were re-takes
    EXPECT_EQ(health.refused, 0);

    host.waiting = "<1,1,5;2,2,40000>";
    notePollTick(health, serialPollTick(*state, host), now += 0.01);
    notePollTick(health, serialPollTick(*state, host), now += 0.01);
    EXPECT_EQ(health.refused, 1);
    EXPECT_EQ(health.newFrames, 81); // a refused frame is a frame the line brought
    const std::string text = healthText(health, now);
    EXPECT_NE(text.find("/dev/pts/3 at 115200: "), std::string::npos) << text;
    EXPECT_NE(text.find("1 refused (last: a value out of range)"), std::string::npos) << text;
    EXPECT_NE(text.find("last frame 0.0 s ago"), std::string::npos) << text;

    // Quiet: nothing for 5 s is a problem, until a byte comes.
    EXPECT_FALSE(quietProblem(health, true, now + 4.9));
    now += 5.1;
    notePollTick(health, serialPollTick(*state, host), now);
    EXPECT_EQ(quietProblem(health, true, now).value_or(""), "no data on /dev/pts/3 for 5 s");
    EXPECT_EQ(newFramesPerSecond(health, now), 0);
    EXPECT_NE(healthText(health, now).find("last frame 5.1 s ago"), std::string::npos);
    EXPECT_FALSE(quietProblem(health, false, now)); // a closed line has its own problem
    host.waiting = "x";
    notePollTick(health, serialPollTick(*state, host), now);
    EXPECT_FALSE(quietProblem(health, true, now));

    // A pause is said as a pause, never as a silent device.
    linePaused(health, true, now);
    EXPECT_FALSE(quietProblem(health, true, now + 60));
    EXPECT_NE(healthText(health, now).find("paused"), std::string::npos);
    linePaused(health, false, now + 60);
    EXPECT_FALSE(quietProblem(health, true, now + 64));
    EXPECT_TRUE(quietProblem(health, true, now + 65.1));
}

} // namespace
} // namespace meshscope
