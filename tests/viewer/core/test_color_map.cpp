#include <gtest/gtest.h>

#include "ColorMap.h"

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

} // namespace
} // namespace meshscope
