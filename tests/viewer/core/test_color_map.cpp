#include <gtest/gtest.h>

#include "ColorMap.h"

#include <cmath>

namespace meshscope {
namespace {

void expectColor(float z, std::int16_t mode, Rgb expected)
{
    const Rgb got = setColor(z, mode);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-12) << "mode " << mode << " z " << z << " component " << i;
}

TEST(ColorMap, RampModes)
{
    expectColor(0, 0, {0, 1, 1});
    expectColor(100, 0, {1, 0, 1});
    expectColor(50, 0, {0.5, 0.5, 1});
    expectColor(25, 1, {0.5, 0.5, 0.5});
    expectColor(50, 1, {1, 0.5, 0});
    expectColor(75, 1, {1.5, 0.5, -0.5}); // unclamped
}

TEST(ColorMap, RampRedIsSinglePrecision)
{
    // z / 100 for z = 1 is 0.01: red goes through a float, green does not.
    const Rgb got = setColor(1, 0);
    EXPECT_EQ(got[0], static_cast<double>(0.01f));
    EXPECT_EQ(got[1], 1 - 0.01);
    const Rgb ramp = setColor(1, 1);
    EXPECT_EQ(ramp[2], static_cast<double>(static_cast<float>(1 - 0.02)));
}

TEST(ColorMap, BandModesRoundHalfToEvenAndKeepTheSign)
{
    expectColor(14.5f, 2, {0.4, 1, 0.6});
    expectColor(15.5f, 2, {0.6, 1, 0.4});
    expectColor(20, 2, {0, 1, 1});
    expectColor(-3, 2, {-0.3, 1, 1.3});
    expectColor(39.6f, 3, {0, 0, 1});
    expectColor(19, 3, {0.95, 0, 0.05});
}

TEST(ColorMap, OtherModesAndHugeBandHeightsAreWhite)
{
    for (std::int16_t mode : {4, 5, -1, 300})
        expectColor(10, mode, {1, 1, 1});
    expectColor(3e9f, 2, {1, 1, 1});
    expectColor(-3e9f, 3, {1, 1, 1});
    expectColor(2147483520.0f, 2, {0, 1, 1}); // the largest float below 2^31 still has a band
}

TEST(ColorMap, FittedMapsSpanTheRangeAndDivergeWhiteAtZero)
{
    const auto expectFitted = [](double z, const FittedColours& fit, Rgb expected) {
        const Rgb got = fittedColor(z, fit);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], expected[i], 1e-9) << "z " << z << " component " << i;
    };
    const Rgb purple{68 / 255.0, 1 / 255.0, 84 / 255.0};
    const Rgb yellow{253 / 255.0, 231 / 255.0, 37 / 255.0};
    // Viridis over the range, its ends held beyond it; a reversed range is the same range.
    const FittedColours ramp = fitColours(70, 10, false);
    EXPECT_EQ(ramp, (FittedColours{FittedMap::Perceptual, 10, 70}));
    expectFitted(10, ramp, purple);
    expectFitted(70, ramp, yellow);
    expectFitted(-1e9, ramp, purple);
    expectFitted(1e9, ramp, yellow);
    expectFitted(40, ramp, {38 / 255.0, 130 / 255.0, 142 / 255.0});
    // Darkest at the low end, brightest at the high end, in between rising.
    double last = -1;
    for (double z = 10; z <= 70; z += 2.5) {
        const Rgb c = fittedColor(z, ramp);
        const double luma = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
        EXPECT_GT(luma, last) << z;
        last = luma;
    }

    // About zero: symmetric over the larger reach, white at 0, blue below and red above.
    const FittedColours diverging = fitColours(-2, 8, true);
    EXPECT_EQ(diverging, (FittedColours{FittedMap::Diverging, -8, 8}));
    expectFitted(0, diverging, {1, 1, 1});
    const Rgb below = fittedColor(-8, diverging);
    const Rgb above = fittedColor(8, diverging);
    EXPECT_GT(below[2], below[0] + 0.4);
    EXPECT_GT(above[0], above[2] + 0.4);
    // One height, or one that is no number, takes the middle of the map.
    expectFitted(5, fitColours(0, 0, true), {1, 1, 1});
    expectFitted(5, fitColours(5, 5, false), fittedColor(40, ramp));
    expectFitted(std::nan(""), diverging, {1, 1, 1});
}

} // namespace
} // namespace meshscope
