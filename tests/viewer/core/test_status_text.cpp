#include <gtest/gtest.h>

#include <string>

#include "Commands.h"
#include "RecordingHost.h"
#include "StatusText.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

TEST(StatusText, ZoomAfterKeys)
{
    auto state = startedState();
    RecordingHost host;
    const auto zoomText = [&] { return numberText(state->zoom); };
    handleKey(*state, host, "-");
    EXPECT_EQ(zoomText(), " 1");
    handleKey(*state, host, "-");
    EXPECT_EQ(zoomText(), " .666666666666667");

    state = startedState();
    handleKey(*state, host, "+");
    handleKey(*state, host, "+");
    EXPECT_EQ(zoomText(), " 3.375");

    for (int i = 0; i < 100; ++i)
        handleKey(*state, host, "+");
    // 1.5 to the 103rd power, about 1.4e18, no longer fits 15 digits.
    EXPECT_EQ(zoomText(), " 1.37214397418135E+18");
}

TEST(StatusText, NumberConversion)
{
    EXPECT_EQ(numberText(1e15), " 1E+15");
    EXPECT_EQ(numberText(999999999999999.0), " 999999999999999");
    EXPECT_EQ(numberText(0.0001), " .0001");
    EXPECT_EQ(numberText(12345678.0f), " 1.234568E+07");
    EXPECT_EQ(numberText(2.0 / 3.0), " .666666666666667");
    EXPECT_EQ(numberText(-0.5), "-.5");
    EXPECT_EQ(numberText(-0.0), " 0");
    EXPECT_EQ(numberText(-5.0f), "-5");
    EXPECT_EQ(numberText(0.1f), " .1");        // 7 digits hide the float's error
    EXPECT_EQ(numberText(1.5e-5), " .000015"); // a small exponent still fits plainly
    EXPECT_EQ(numberText(1e-300), " 1E-300");
    EXPECT_EQ(numberText(std::int32_t{2147483647}), " 2147483647");
    EXPECT_EQ(numberText(std::int32_t{-12}), "-12");
}

TEST(StatusText, CountersAndAnglesInTheLine)
{
    auto state = startedState();
    state->rotation = {-12.5f, 360.0f, 0.25f, 0};
    state->interpCount = 123456789;
    state->okCount = 3;
    EXPECT_EQ(statusText(*state), "x=-12.5 y= 360 z= .25 zoom= 1.5 [Interp. Count= 123456789; OK= 3]");
}

} // namespace
} // namespace meshscope
