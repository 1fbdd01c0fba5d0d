#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "Commands.h"
#include "MouseView.h"
#include "RecordingHost.h"
#include "StatusText.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

class Commands : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;

    void keys(const std::string& typed)
    {
        for (char c : typed)
            handleKey(*state, host, std::string(1, c));
    }
};

TEST_F(Commands, ShininessStepsUpToOneAndDownToZero)
{
    keys("ssss");
    EXPECT_EQ(state->shininess, 1.0f);
    keys("s");
    EXPECT_EQ(state->shininess, 1.0f);

    state = startedState();
    keys("S");
    // The single-precision 0.2 minus the double 0.2 is a tiny positive rest.
    EXPECT_EQ(state->shininess, static_cast<float>(static_cast<double>(0.2f) - 0.2));
    EXPECT_GT(state->shininess, 0.0f);
    EXPECT_LT(state->shininess, 1e-8f);
    keys("S");
    EXPECT_EQ(state->shininess, 0.0f);
}

TEST_F(Commands, ColourModeCyclesThroughSix)
{
    std::string seen;
    for (int i = 0; i < 7; ++i) {
        keys("c");
        seen += std::to_string(state->colorMode);
    }
    EXPECT_EQ(seen, "2345012");
}

TEST_F(Commands, AxisKeysStartStopAndReverse)
{
    keys("x");
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 36.0f);
    keys("x"); // stops x
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 36.0f);
    EXPECT_EQ(state->rotation[3], -1.0f); // the idle slot moves, nothing drawn does
    keys("x");                            // starts x backwards
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 35.0f);
}

TEST_F(Commands, SwitchingAxesKeepsTheDirection)
{
    keys("xy");
    animationTick(*state, host);
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 35.0f);
    EXPECT_EQ(state->rotation[1], 2.0f);
}

TEST_F(Commands, AnglesWrapOnlyAboveThreeSixty)
{
    keys("x");
    state->rotation[0] = 359;
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 360.0f);
    animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], 1.0f);

    keys("xx"); // backwards, no lower wrap
    state->rotation[0] = 0;
    for (int i = 0; i < 5; ++i)
        animationTick(*state, host);
    EXPECT_EQ(state->rotation[0], -5.0f);
    EXPECT_TRUE(host.statusTexts.back().starts_with("x=-5 y= 0 ")) << host.statusTexts.back();
    EXPECT_EQ(host.redraws, 3 + 7); // three keys and seven ticks
}

TEST_F(Commands, DigitSetsSmoothingWidthAndResmooths)
{
    state->minX = state->minY = 1;
    state->maxX = state->maxY = 100;
    keys("5");
    EXPECT_EQ(state->smoothLevel, 9);
    EXPECT_EQ(state->drawMaxX, 91);
    EXPECT_EQ(host.sceneSetups, 1);
    keys("9");
    EXPECT_EQ(state->smoothLevel, 17);
    keys("0"); // zoom, not a width
    EXPECT_EQ(state->smoothLevel, 17);
    EXPECT_EQ(state->zoom, 1.0);
}

TEST_F(Commands, ZoomKeysScaleAndRerunSceneSetup)
{
    keys("+");
    EXPECT_EQ(state->zoom, 2.25);
    keys("--");
    EXPECT_EQ(state->zoom, 1.0);
    keys("0");
    EXPECT_EQ(state->zoom, 1.0);
    EXPECT_EQ(host.sceneSetups, 4);
}

TEST_F(Commands, ZoomStaysPositiveAndFinite)
{
    keys(std::string(3000, '+'));
    EXPECT_TRUE(std::isfinite(state->zoom));
    keys(std::string(6000, '-'));
    EXPECT_GT(state->zoom, 0.0);
}

TEST_F(Commands, FlagsToggleBetweenZeroAndMinusOne)
{
    keys("pb");
    EXPECT_EQ(state->orthographic, kTrue);
    EXPECT_EQ(state->borderOn, kTrue);
    EXPECT_EQ(host.sceneSetups, 1); // "p" re-projects, "b" does not
    keys("pb");
    EXPECT_EQ(state->orthographic, kFalse);
    EXPECT_EQ(state->borderOn, kFalse);
}

TEST_F(Commands, SpaceTogglesPollingAndDropsEverythingReceived)
{
    host.waiting = "<1,1,1;";
    state->rxBuffer = "<2,2,2;";
    keys(" ");
    EXPECT_FALSE(host.pollEnabled);
    EXPECT_TRUE(host.waiting.empty());
    EXPECT_TRUE(state->rxBuffer.empty());
    keys(" ");
    EXPECT_TRUE(host.pollEnabled);
    EXPECT_EQ(host.inputReads, 2);
}

TEST_F(Commands, ResetZeroesBothCounters)
{
    state->interpCount = 12;
    state->okCount = 7;
    keys("r");
    EXPECT_EQ(state->interpCount, 0);
    EXPECT_EQ(state->okCount, 0);
    EXPECT_TRUE(host.statusTexts.empty()); // the next tick shows it
}

TEST_F(Commands, DragTurnsByWholeDegreesWithoutDriftAndKeepsTheSpin)
{
    keys("x");
    MouseDrag drag;
    startDrag(drag, 100, 100);
    dragTo(*state, host, drag, 103, 100); // under a degree: nothing yet
    EXPECT_EQ(state->rotation[2], 25.0f);
    dragTo(*state, host, drag, 106, 109); // 6 px right, 9 px down
    EXPECT_EQ(state->rotation[2], 26.0f);
    EXPECT_EQ(state->rotation[0], 37.0f);
    dragTo(*state, host, drag, 100, 100); // back to the start turns back exactly
    EXPECT_EQ(state->rotation[2], 25.0f);
    EXPECT_EQ(state->rotation[0], 35.0f);
    EXPECT_EQ(state->animAxis, 0); // x still spins
    EXPECT_EQ(host.redraws, 1 + 2);

    dragTo(*state, host, drag, 100 + 4 * 340, 100); // past 360 wraps as the spin does
    EXPECT_EQ(state->rotation[2], 5.0f);
    endDrag(drag);
    dragTo(*state, host, drag, 0, 0);
    EXPECT_EQ(state->rotation[2], 5.0f);
    EXPECT_EQ(host.sceneSetups, 0);
}

TEST_F(Commands, WheelZoomsByTheKeysStepsOnWholeNotches)
{
    int rest = 0;
    turnWheel(*state, host, rest, kWheelNotch);
    EXPECT_EQ(state->zoom, 2.25);
    turnWheel(*state, host, rest, -2 * kWheelNotch);
    EXPECT_EQ(state->zoom, 1.0); // the same divisions as "-" twice
    EXPECT_EQ(host.sceneSetups, 3);
    for (int i = 0; i < 3; ++i)
        turnWheel(*state, host, rest, kWheelNotch / 4); // a touchpad's small steps
    EXPECT_EQ(state->zoom, 1.0);
    turnWheel(*state, host, rest, kWheelNotch / 4);
    EXPECT_EQ(state->zoom, 1.5);
    EXPECT_EQ(host.sceneSetups, 4);
    EXPECT_EQ(host.redraws, 3);
}

// The window repaints only when a change counter moved, so every key, tick,
// drag or wheel turn that changes the picture must move one, the others none.
TEST_F(Commands, KeysAndTicksMarkExactlyWhatChangesThePicture)
{
    for (const char* key : {"+", "-", "0", "s", "S", "p"}) {
        const auto before = state->setupRevision;
        keys(key);
        EXPECT_GT(state->setupRevision, before) << key;
    }
    for (const char* key : {"b", "c", "5"}) {
        const auto before = state->pictureRevision;
        keys(key);
        EXPECT_GT(state->pictureRevision, before) << key;
    }
    const auto unchanged = std::pair{state->setupRevision, state->pictureRevision};
    keys(" r q x x");            // serial switch, counters, no command, a spin started and stopped
    animationTick(*state, host); // no axis spins: only the idle slot turns
    EXPECT_EQ(std::pair(state->setupRevision, state->pictureRevision), unchanged);
    MouseDrag drag;
    startDrag(drag, 0, 0);
    dragTo(*state, host, drag, kDragPixelsPerDegree - 1, 0); // short of a degree
    EXPECT_EQ(std::pair(state->setupRevision, state->pictureRevision), unchanged);

    dragTo(*state, host, drag, kDragPixelsPerDegree, 0);
    EXPECT_GT(state->pictureRevision, unchanged.second);
    int rest = 0;
    turnWheel(*state, host, rest, kWheelNotch);
    EXPECT_GT(state->setupRevision, unchanged.first);
    const auto spinning = state->pictureRevision;
    keys("y");
    animationTick(*state, host);
    EXPECT_GT(state->pictureRevision, spinning);
}

TEST_F(Commands, OtherTextOnlyRedraws)
{
    const auto before = statusText(*state);
    for (const char* text : {"q", "X", "Z", "P", "", "xy", "\xc3\xa9"})
        handleKey(*state, host, text);
    EXPECT_EQ(statusText(*state), before);
    EXPECT_EQ(state->animAxis, 3);
    EXPECT_EQ(host.redraws, 7);
    EXPECT_EQ(host.sceneSetups, 0);
}

} // namespace
} // namespace meshscope
