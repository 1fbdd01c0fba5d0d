#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "Commands.h"
#include "DataFile.h"
#include "RecordingHost.h"
#include "SerialInput.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

const std::string kReference(kReferenceFrame);
const std::string kReferenceNoBlanks = "<66,66,70;100,100,10;1,66,10;100,33,10;66,100,10>";

class FrameParser : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;

    void tick(const std::string& arriving = {})
    {
        host.waiting += arriving;
        serialPollTick(*state, host);
    }
};

TEST_F(FrameParser, ReferenceFrameIsAcceptedAndCountedAsReference)
{
    tick(kReference);
    EXPECT_EQ(state->lastPoint, 4);
    const std::int16_t xs[] = {66, 100, 1, 100, 66}, ys[] = {66, 100, 66, 33, 100}, zs[] = {70, 10, 10, 10, 10};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(state->ptX[k], xs[k]);
        EXPECT_EQ(state->ptY[k], ys[k]);
        EXPECT_EQ(state->ptZ[k], zs[k]);
    }
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->okCount, 1);
    EXPECT_EQ(state->rawHeights[66][66], 70.0f);
    EXPECT_EQ(host.statusTexts.size(), 1u);
}

TEST_F(FrameParser, SamePointsWithoutBlanksAreNotTheReference)
{
    tick(kReferenceNoBlanks);
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->okCount, 0);
    EXPECT_EQ(state->ptX[4], 66);
}

TEST_F(FrameParser, CompleteLastFrameIsRetakenEveryQuietTick)
{
    tick(kReference);
    tick();
    tick();
    EXPECT_EQ(state->interpCount, 3);
    EXPECT_EQ(state->okCount, 3);
    EXPECT_EQ(host.statusTexts.size(), 3u);
    EXPECT_EQ(host.sceneSetups, 3); // also for the takes that compute nothing new
    EXPECT_EQ(state->rxBuffer, kReference);
}

// A re-take of the last frame over grids nothing else touched skips the
// work; after every kind of change that could make it stale, the grids must
// still be bit for bit those of a viewer that recomputes every take.
TEST_F(FrameParser, RetakesThatSkipTheWorkMatchAFullRecomputation)
{
    auto full = startedState();
    RecordingHost fullHost;
    const auto both = [&](const std::function<void(ViewerState&, RecordingHost&)>& action) {
        action(*state, host);
        ++full->gridRevision; // forget the last interpolation: recompute at every take
        action(*full, fullHost);
    };
    const auto takeBoth = [&](const std::string& arriving = {}) {
        both([&](ViewerState& s, RecordingHost& h) {
            h.waiting += arriving;
            serialPollTick(s, h);
        });
    };
    const auto expectSame = [&](const char* after) {
        SCOPED_TRACE(after);
        EXPECT_TRUE(state->rawHeights == full->rawHeights);
        EXPECT_TRUE(state->heights == full->heights);
        EXPECT_EQ(std::tie(state->minX, state->maxX, state->minY, state->maxY, state->drawMinX, state->drawMaxX,
                           state->drawMinY, state->drawMaxY),
                  std::tie(full->minX, full->maxX, full->minY, full->maxY, full->drawMinX, full->drawMaxX,
                           full->drawMinY, full->drawMaxY));
        EXPECT_EQ(state->interpCount, full->interpCount);
        EXPECT_EQ(state->okCount, full->okCount);
    };
    // A quiet re-take marks no change of the picture: it was skipped.
    const auto quietRetake = [&](const char* after) {
        const auto picture = state->pictureRevision;
        takeBoth();
        EXPECT_EQ(state->pictureRevision, picture) << after;
        expectSame(after);
    };
    const std::string other = "<10,90,40; 90,10,-20; 50,50,5>";

    takeBoth(kReference);
    quietRetake("the first frame");
    both([](ViewerState& s, RecordingHost& h) { readSamples(s, h, "1 1 5\n60 70 30\n120 130 -8\n", "test"); });
    takeBoth();
    expectSame("the data file");
    quietRetake("the re-take after the data file");
    both([](ViewerState& s, RecordingHost& h) { handleKey(s, h, "5"); });
    takeBoth();
    expectSame("a digit key");
    takeBoth(other); // the last frame is taken once more; the new one next
    takeBoth();
    expectSame("a new frame");
    quietRetake("the new frame");
    takeBoth("<1,2,3;4,5,x>"); // the new frame again, then this one is left last
    takeBoth(other);           // rejected after overwriting the first point
    EXPECT_EQ(state->ptX[0], 1);
    quietRetake("a rejected frame, then the last one again");
    takeBoth(kReference);
    takeBoth();
    expectSame("the first frame again");
    EXPECT_EQ(host.sceneSetups, fullHost.sceneSetups);
}

TEST_F(FrameParser, FrameSplitOverTicksIsTakenWhenItsEndArrives)
{
    tick("<66,66,70; 100,1");
    tick("00,10; 1,66,10; 100,");
    EXPECT_EQ(state->interpCount, 0);
    EXPECT_EQ(host.statusTexts.size(), 2u); // quiet or not, every tick refreshes the status
    tick("33,10; 66,100,10>");
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->okCount, 1);
}

// A lost line's last characters still count, but the frame the loss cut is
// gone: the first bytes after the return cannot complete it.
TEST_F(FrameParser, LostLineKeepsItsFramesButNotTheOneItCut)
{
    host.waiting = "<3,3,7;4,4,8><5,5,";
    lineLost(*state, host);
    EXPECT_EQ(state->rxBuffer, "<3,3,7;4,4,8>");
    tick("9;6,6,9>");
    tick();
    EXPECT_EQ(state->interpCount, 2);
    EXPECT_EQ(state->ptX[0], 3);

    state->rxBuffer = "<1,1,5;2";
    lineLost(*state, host);
    EXPECT_TRUE(state->rxBuffer.empty());
}

TEST_F(FrameParser, TwoFramesInOneTickAreTakenOnePerTick)
{
    tick("<1,1,5;2,2,6><3,3,7;4,4,8>");
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->ptX[0], 1);
    EXPECT_EQ(state->rxBuffer, "<3,3,7;4,4,8>");
    tick();
    EXPECT_EQ(state->interpCount, 2);
    EXPECT_EQ(state->ptX[0], 3);
}

TEST_F(FrameParser, MiddleOfThreeFramesIsDiscardedUntaken)
{
    tick("<1,1,5;2,2,6>" + kReference + "<3,3,7;4,4,8>");
    tick();
    EXPECT_EQ(state->interpCount, 2);
    EXPECT_EQ(state->okCount, 0);
    EXPECT_EQ(state->ptX[0], 3);
}

TEST_F(FrameParser, FrameNotAtBufferStartIsCutToTheFirstCloseOffset)
{
    // The text counted from "<" is as long as the distance to ">" from the
    // buffer's start, so leading noise makes it run past the ">".
    tick("ab<1,1,5;2,2,6><3,3,7;4,4,8>");
    EXPECT_EQ(state->interpCount, 0);
    EXPECT_EQ(state->rxBuffer, "<3,3,7;4,4,8>");
    tick();
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->ptX[0], 3);
}

TEST_F(FrameParser, BadFramesChangeNeitherCountersNorGrids)
{
    const char* bad[] = {
        "<5,5,5>",              // a single item
        "<>",                   // no items
        "<1,1,5;2,2>",          // an item with two fields
        "<1,1,5;2,2,x>",        // a field that is not a number
        "<1,1,5;2,2,32768>",    // beyond 16 bits
        "<1,1,5;2,2,-32768.6>", // beyond 16 bits once rounded
        "<1,1,5;2,2,nan>",
        "<1,1,5;2,2,inf>",
        "<1,1,5;2,2,1e999>",                   // overflows a double
        "<1,1,5;2,2,199e9223372036854775807>", // the largest exponent a long holds
        "<1,1,5;2,2,1e99999999999999999999>",  // an exponent beyond a long
        "<1,1,5;2,2,0x10>",                    // only plain decimal counts
        "<1,1,5;2,2,>",
        "<1,1,5;2,2,1e>",
        "<1,1,5;2,2,.>",
    };
    for (const char* frame : bad) {
        SCOPED_TRACE(frame);
        state->rxBuffer.clear();
        tick(frame);
        EXPECT_EQ(state->interpCount, 0);
        EXPECT_EQ(host.sceneSetups, 0);
        EXPECT_EQ(state->rawHeights[1][1], 0.0f);
    }
}

TEST_F(FrameParser, RejectedItemKeepsPointsWrittenBeforeIt)
{
    tick("<7,8,9;1,2,x>");
    EXPECT_EQ(state->lastPoint, 1);
    EXPECT_EQ(state->ptX[0], 7);
    EXPECT_EQ(state->ptZ[0], 9);
    EXPECT_EQ(host.sceneSetups, 0);
}

TEST_F(FrameParser, MoreThanTwentyOneItemsAreRejected)
{
    std::string frame = "<";
    for (int k = 0; k < 22; ++k)
        frame += (k ? ";" : "") + std::to_string(k + 1) + ",1,1";
    tick(frame + ">");
    EXPECT_EQ(state->interpCount, 0);
    EXPECT_EQ(state->lastPoint, 0);

    state->rxBuffer.clear();
    frame = "<";
    for (int k = 0; k < 21; ++k)
        frame += (k ? ";" : "") + std::to_string(k + 1) + ",1,1";
    tick(frame + ">");
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->lastPoint, 20);
}

TEST_F(FrameParser, FieldsReadWithBlanksSignsAndHalfToEven)
{
    tick("< 100, +3 ,12.5; 1e1,-0,13.5 ;2.5,3.5,-2.5>");
    ASSERT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->ptX[0], 100);
    EXPECT_EQ(state->ptY[0], 3);
    EXPECT_EQ(state->ptZ[0], 12);
    EXPECT_EQ(state->ptX[1], 10);
    EXPECT_EQ(state->ptY[1], 0);
    EXPECT_EQ(state->ptZ[1], 14);
    EXPECT_EQ(state->ptX[2], 2);
    EXPECT_EQ(state->ptY[2], 4);
    EXPECT_EQ(state->ptZ[2], -2);

    // A number too small for a double is zero, whatever its exponent.
    state->rxBuffer.clear();
    tick("<1,2,1e-99999999999999999999;3,4,5>");
    ASSERT_EQ(state->interpCount, 2);
    EXPECT_EQ(state->ptZ[0], 0);
}

TEST_F(FrameParser, CloseWithoutOpenLeavesBufferUnchanged)
{
    tick("1,2,3>");
    EXPECT_EQ(state->rxBuffer, "1,2,3>");
    EXPECT_EQ(state->interpCount, 0);
}

TEST_F(FrameParser, CloseFirstInBufferIsRejectedSafely)
{
    tick(">" + kReference);
    EXPECT_EQ(state->interpCount, 0);
    EXPECT_EQ(state->rxBuffer, kReference);
    tick();
    EXPECT_EQ(state->interpCount, 1);
}

TEST_F(FrameParser, BufferStaysBoundedAgainstNoise)
{
    tick(std::string(kRxBufferLimit + 10, 'x'));
    EXPECT_TRUE(state->rxBuffer.empty());

    // Noise before a frame is dropped; the frame survives and is taken.
    tick(std::string(kRxBufferLimit, 'x') + kReference);
    EXPECT_EQ(state->interpCount, 1);

    // An open frame that alone passes the bound is dropped too.
    state->rxBuffer.clear();
    tick("<" + std::string(kRxBufferLimit + 1, '1'));
    EXPECT_TRUE(state->rxBuffer.empty());
}

// A fast line brings more than the bound in one tick: the frame that the
// tick completes is still taken, and the newest frame waits for the next.
TEST_F(FrameParser, FastLineHasAFrameTakenEveryTick)
{
    const std::string other = "<5,5,50;9,9,90>";
    tick("<1,1,10;");
    std::string flood;
    while (flood.size() <= kRxBufferLimit)
        flood += kReference;
    tick("2,2,20>" + flood + other + "<3,3,30;4,4,");
    EXPECT_EQ(state->interpCount, 1);
    EXPECT_EQ(state->ptZ[1], 20);
    EXPECT_EQ(state->rxBuffer, "<3,3,30;4,4,");

    tick("40>" + flood + other);
    EXPECT_EQ(state->interpCount, 2);
    EXPECT_EQ(state->ptZ[1], 40);
    EXPECT_EQ(state->rxBuffer, other);
    tick();
    EXPECT_EQ(state->interpCount, 3);
    EXPECT_EQ(state->ptZ[1], 90);
}

TEST_F(FrameParser, LargestFrameArrivingByteByByteIsNeverCut)
{
    std::string frame = "<";
    for (int k = 0; k < 21; ++k)
        frame += (k ? "; " : "") + std::string("-32768.4,+32767.0,-32768");
    frame += ">";
    state->rxBuffer = std::string(kRxBufferLimit - 10, 'x');
    for (char c : frame)
        tick(std::string(1, c));
    EXPECT_EQ(state->rxBuffer, frame);
    ASSERT_EQ(state->interpCount, 1);

    // Points this far from the block still interpolate without overflow.
    EXPECT_EQ(state->heights[1][1], -32768.0f);
    EXPECT_EQ(state->rawHeights[100][100], -32768.0f);
}

} // namespace
} // namespace meshscope
