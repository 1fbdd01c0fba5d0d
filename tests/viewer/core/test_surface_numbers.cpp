// Statistics, levelling and units of a drawn surface, against values worked
// out by hand on small grids.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Levelling.h"
#include "SurfaceStatistics.h"
#include "Trend.h"
#include "Units.h"

namespace meshscope {
namespace {

// A surface over columns firstX..lastX and rows firstY..lastY with heights
// from height(x, y).
template <typename Height>
DrawnSurface surfaceOf(int firstX, int lastX, int firstY, int lastY, Height height)
{
    DrawnSurface s;
    s.firstX = firstX;
    s.lastX = lastX;
    s.firstY = firstY;
    s.lastY = lastY;
    for (int x = firstX; x <= lastX; ++x)
        for (int y = firstY; y <= lastY; ++y)
            s.z.push_back(static_cast<float>(height(x, y)));
    return s;
}

TEST(SurfaceStatistics, SmallGridsByHand)
{
    // Columns 3..4, rows 7..9: heights 1 2 3 / 4 5 -1, the lowest last.
    const float heights[2][3] = {{1, 2, 3}, {4, 5, -1}};
    const auto grid = surfaceOf(3, 4, 7, 9, [&](int x, int y) { return heights[x - 3][y - 7]; });
    const SurfaceStatistics stats = surfaceStatistics(grid);
    EXPECT_EQ(stats.cells, 6u);
    EXPECT_EQ(stats.minimum, -1);
    EXPECT_EQ(stats.minimumCell, (GridCell{4, 9}));
    EXPECT_EQ(stats.maximum, 5);
    EXPECT_EQ(stats.maximumCell, (GridCell{4, 8}));
    EXPECT_EQ(stats.range(), 6);
    EXPECT_DOUBLE_EQ(stats.mean, 14.0 / 6);
    // Deviations from 7/3: -4/3 -1/3 2/3 5/3 8/3 -10/3; squares sum 210/9.
    EXPECT_DOUBLE_EQ(stats.sq, std::sqrt(210.0 / 9 / 6));
    EXPECT_DOUBLE_EQ(stats.sa, 30.0 / 3 / 6);

    // A flat surface far above zero keeps its roughness at zero; ties take
    // the first cell met, column by column.
    const SurfaceStatistics flat = surfaceStatistics(surfaceOf(1, 4, 1, 4, [](int, int) { return 30000.5; }));
    EXPECT_EQ(flat.sq, 0);
    EXPECT_EQ(flat.sa, 0);
    EXPECT_EQ(flat.minimumCell, (GridCell{1, 1}));
    EXPECT_EQ(flat.maximumCell, (GridCell{1, 1}));

    EXPECT_EQ(surfaceStatistics(DrawnSurface{}).cells, 0u);

    // The frame's own points: the first lastPoint + 1 heights only.
    std::array<std::int16_t, kMaxPoints> z{};
    z[0] = 70;
    z[1] = 10;
    z[2] = -5;
    z[3] = 900; // beyond the frame's last point
    const PointStatistics points = pointStatistics(2, z);
    EXPECT_EQ(points.count, 3);
    EXPECT_EQ(points.minimum, -5);
    EXPECT_EQ(points.maximum, 70);
    EXPECT_EQ(pointStatistics(-1, z).count, 0);
    EXPECT_EQ(pointStatistics(40, z).count, kMaxPoints);
}

void expectFlatAt(const DrawnSurface& s, double height, double tolerance)
{
    for (const float z : s.z)
        ASSERT_NEAR(z, height, tolerance);
}

TEST(SurfaceStatistics, TrendOfTheHistoryFramesByNumber)
{
    // Frames of four equal corner points draw flat surfaces at that height.
    auto state = std::make_unique<ViewerState>();
    state->lastPoint = 3;
    const std::int16_t corners[4][2] = {{10, 10}, {90, 10}, {10, 90}, {90, 90}};
    FrameHistory history;
    for (int k = 0; k < 3; ++k) {
        for (int p = 0; p < 4; ++p) {
            state->ptX[p] = corners[p][0];
            state->ptY[p] = corners[p][1];
            state->ptZ[p] = static_cast<std::int16_t>(10 * (k + 1));
        }
        history.record(*state, 1000 + 500 * k);
    }
    TrendSeries series;
    series.setSurfaceRules(2, Levelling{});
    for (std::uint64_t frame = 1; frame <= 3; ++frame) {
        const SurfaceStatistics& stats = series.statisticsOf(history, frame);
        EXPECT_NEAR(trendValue(stats, TrendStatistic::Mean), 10.0 * double(frame), 1e-4) << frame;
        EXPECT_NEAR(trendValue(stats, TrendStatistic::Maximum), 10.0 * double(frame), 1e-4) << frame;
        EXPECT_NEAR(trendValue(stats, TrendStatistic::Range), 0, 1e-4) << frame;
        EXPECT_NEAR(trendValue(stats, TrendStatistic::Sq), 0, 1e-4) << frame;
    }
    EXPECT_EQ(series.cached(), 3u);
    EXPECT_EQ(trendName(TrendStatistic::Range), "range");

    // A new levelling is worked out afresh: zeroed at the minimum, every mean is 0.
    Levelling zeroed;
    zeroed.zero = ZeroAt::Minimum;
    series.setSurfaceRules(2, zeroed);
    EXPECT_EQ(series.cached(), 0u);
    EXPECT_NEAR(series.statisticsOf(history, 3).mean, 0, 1e-4);

    // Frames the history dropped are forgotten; the capture's time zero stays its first frame's.
    history.record(*state, 1000 + FrameHistory::kSpanMs + 1100);
    EXPECT_EQ(history.oldest(), 4u);
    EXPECT_NEAR(series.statisticsOf(history, 4).mean, 0, 1e-4);
    EXPECT_EQ(series.cached(), 1u);
    EXPECT_EQ(history.startMs(), 1000);
}

TEST(Levelling, TiltedPlaneLevelsToZeroEverywhere)
{
    const auto tilted = surfaceOf(1, 10, 5, 12, [](int x, int y) { return 300 + 0.5 * x - 2.0 * y; });

    const auto fit = bestFitPlane(tilted);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->slopeX, 0.5, 1e-9);
    EXPECT_NEAR(fit->slopeY, -2, 1e-9);
    DrawnSurface levelled = tilted;
    ASSERT_TRUE(levelSurface(levelled, {TiltRemoval::BestFitPlane, {}, ZeroAt::None}));
    expectFlatAt(levelled, 0, 1e-4);

    levelled = tilted;
    const std::array<GridCell, 3> corners{{{1, 5}, {10, 6}, {3, 12}}};
    ASSERT_TRUE(levelSurface(levelled, {TiltRemoval::ThroughThreeCells, corners, ZeroAt::None}));
    expectFlatAt(levelled, 0, 1e-4);

    // The zero alone moves the surface, keeping its shape.
    levelled = tilted;
    ASSERT_TRUE(levelSurface(levelled, {TiltRemoval::None, {}, ZeroAt::Minimum}));
    EXPECT_EQ(levelled.at(1, 12), 0); // 300 + 0.5 - 24, the lowest
    EXPECT_EQ(levelled.at(10, 5), 295 - 276.5);
    levelled = tilted;
    ASSERT_TRUE(levelSurface(levelled, {TiltRemoval::None, {}, ZeroAt::Mean}));
    EXPECT_NEAR(surfaceStatistics(levelled).mean, 0, 1e-5);

    // Three cells in a line, or one beyond the surface, make no plane: the
    // surface stays as it was.
    levelled = tilted;
    EXPECT_FALSE(levelSurface(levelled, {TiltRemoval::ThroughThreeCells, {{{1, 5}, {2, 6}, {4, 8}}}, ZeroAt::Mean}));
    EXPECT_FALSE(levelSurface(levelled, {TiltRemoval::ThroughThreeCells, {{{1, 5}, {2, 6}, {11, 8}}}, ZeroAt::None}));
    EXPECT_EQ(levelled, tilted);

    // One column has no tilt along x to fit; one cell is its own plane.
    DrawnSurface column = surfaceOf(4, 4, 1, 5, [](int, int y) { return 3.0 * y; });
    ASSERT_TRUE(levelSurface(column, {TiltRemoval::BestFitPlane, {}, ZeroAt::None}));
    expectFlatAt(column, 0, 1e-5);
    DrawnSurface cell = surfaceOf(4, 4, 1, 1, [](int, int) { return 9; });
    ASSERT_TRUE(levelSurface(cell, {TiltRemoval::BestFitPlane, {}, ZeroAt::Minimum}));
    expectFlatAt(cell, 0, 0);
}

TEST(Levelling, BumpOnATiltKeepsItsHeight)
{
    // A bump of 12 at the centre cell of a tilted 9 x 9 grid: the centre adds
    // nothing to either slope, so the fit finds the tilt alone, and zeroed at
    // the lowest, the surface is 0 with the bump standing 12 high.
    const auto bumped
        = surfaceOf(1, 9, 11, 19, [](int x, int y) { return 40 - 1.5 * x + 0.25 * y + (x == 5 && y == 15 ? 12 : 0); });
    // The bump's top 48.25 over the tilt's lowest corner, 29.25 at (9, 11).
    EXPECT_EQ(surfaceStatistics(bumped).range(), 19);
    DrawnSurface levelled = bumped;
    ASSERT_TRUE(levelSurface(levelled, {TiltRemoval::BestFitPlane, {}, ZeroAt::Minimum}));
    const SurfaceStatistics stats = surfaceStatistics(levelled);
    EXPECT_NEAR(stats.range(), 12, 1e-4);
    EXPECT_NEAR(stats.minimum, 0, 1e-4);
    EXPECT_EQ(stats.maximumCell, (GridCell{5, 15}));
    // 80 cells at -12/81 and one at 12 * 80/81 about the mean.
    EXPECT_NEAR(stats.mean, 12.0 / 81, 1e-4);
    EXPECT_NEAR(stats.sq, std::sqrt((80 * std::pow(12.0 / 81, 2) + std::pow(12.0 * 80 / 81, 2)) / 81), 1e-4);
    EXPECT_NEAR(stats.sa, 2 * 12.0 * 80 / 81 / 81, 1e-4);
}

TEST(Units, ReadsLengthsAndOtherQuantities)
{
    const struct {
        const char* text;
        double amount;
        const char* symbol;
        double inBase;
        bool length;
    } cases[] = {
        {"0.5mm", 0.5, "mm", 0.5e-3, true},
        {"2.5 mm", 2.5, "mm", 2.5e-3, true},
        {" 20um ", 20, "\xC2\xB5m", 20e-6, true},
        {"20\xC2\xB5m", 20, "\xC2\xB5m", 20e-6, true},
        {"20\xCE\xBCm", 20, "\xC2\xB5m", 20e-6, true}, // Greek mu
        {"1.5cm", 1.5, "cm", 1.5e-2, true},
        {"3nm", 3, "nm", 3e-9, true},
        {"2km", 2, "km", 2e3, true},
        {"1m", 1, "m", 1, true},
        {"1e-2mm", 0.01, "mm", 1e-5, true},
        {"0.1kPa", 0.1, "kPa", 100, false},
        {"0.5\xC2\xB0"
         "C",
         0.5,
         "\xC2\xB0"
         "C",
         0.5, false},
        {"2 degC", 2,
         "\xC2\xB0"
         "C",
         2, false},
        {"5 counts", 5, "counts", 5, false},
        {".5ms", 0.5, "ms", 0.5e-3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto quantity = parseQuantity(c.text);
        ASSERT_TRUE(quantity);
        EXPECT_EQ(quantity->amount, c.amount);
        EXPECT_EQ(quantity->symbol(), c.symbol);
        EXPECT_NEAR(quantity->inBase(), c.inBase, c.inBase * 1e-12);
        EXPECT_EQ(quantity->isLength(), c.length);
    }
    for (const char* bad : {"", "mm", "0mm", "-1mm", "1", "1 m m", "1,5mm", "1.5.2mm", "nanmm", "1e999m", "2 m2"})
        EXPECT_FALSE(parseQuantity(bad)) << bad;
}

TEST(Units, WritesValuesTheWayPeopleReadThem)
{
    const Quantity micrometre = *parseQuantity("10um");
    EXPECT_EQ(formatQuantity(7.95e-5, micrometre), "79.5 \xC2\xB5m");
    EXPECT_EQ(formatQuantity(-7.95e-5, micrometre), "-79.5 \xC2\xB5m");
    EXPECT_EQ(formatQuantity(0.0123, micrometre), "12.3 mm");
    EXPECT_EQ(formatQuantity(0.9999999e-3, micrometre), "1 mm"); // not "1000 µm"
    EXPECT_EQ(formatQuantity(1.5, micrometre), "1.5 m");
    EXPECT_EQ(formatQuantity(4.2e-10, micrometre), "0.42 nm");
    EXPECT_EQ(formatQuantity(12345678, micrometre), "12346 km");
    EXPECT_EQ(formatQuantity(0, micrometre), "0 \xC2\xB5m");
    EXPECT_EQ(formatQuantity(1.23456e-5, micrometre, 6), "12.3456 \xC2\xB5m");
    EXPECT_EQ(formatQuantity(250, *parseQuantity("0.1kPa")), "250 Pa");
    EXPECT_EQ(formatQuantity(12.5,
                             *parseQuantity("0.5\xC2\xB0"
                                            "C")),
              "12.5 \xC2\xB0"
              "C");
    EXPECT_EQ(formatQuantity(1500, *parseQuantity("5 counts")), "1500 counts");

    EXPECT_EQ(formatNumber(2.5), "2.5");
    EXPECT_EQ(formatNumber(1.0 / 3), "0.3333");
    EXPECT_EQ(formatNumber(-0.00001), "-0.00001");
    EXPECT_EQ(formatNumber(-1e-9, 2), "-0.000000001");
    EXPECT_EQ(formatNumber(123456), "123456");

    // Heights and distances carry their units when set, and stay plain numbers when not.
    SurfaceUnits units;
    EXPECT_EQ(units.height(7.95), "7.95");
    EXPECT_EQ(units.distance(12), "12");
    EXPECT_FALSE(units.lengths());
    units.gridStep = parseQuantity("0.5mm");
    units.heightUnit = parseQuantity("10um");
    EXPECT_EQ(units.height(7.95), "79.5 \xC2\xB5m");
    EXPECT_EQ(units.distance(12), "6 mm");
    EXPECT_TRUE(units.lengths());
    units.heightUnit = parseQuantity("0.1kPa");
    EXPECT_EQ(units.height(-3), "-300 Pa");
    EXPECT_FALSE(units.lengths());
}

} // namespace
} // namespace meshscope
