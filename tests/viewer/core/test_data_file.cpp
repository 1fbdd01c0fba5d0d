#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "DataFile.h"
#include "RecordingHost.h"
#include "SerialInput.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

class DataFile : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;
    std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("meshscope-datafile-" + std::to_string(::getpid()));

    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    bool readFile(const std::string& content)
    {
        const auto path = dir / "datafile.dat";
        std::ofstream(path, std::ios::binary) << content;
        return CheckFile(*state, host, path.string());
    }
};

TEST_F(DataFile, SamplesSetCellsExtentAndDrawnRange)
{
    ASSERT_TRUE(readFile("1 1 5\n3 2 7\n2 4 1"));
    EXPECT_EQ(state->rawHeights[1][1], 5.0f);
    EXPECT_EQ(state->rawHeights[3][2], 7.0f);
    EXPECT_EQ(state->rawHeights[2][4], 1.0f);
    EXPECT_EQ(state->minX, 1);
    EXPECT_EQ(state->maxX, 3);
    EXPECT_EQ(state->minY, 1);
    EXPECT_EQ(state->maxY, 4);
    EXPECT_EQ(state->drawMinX, 1);
    EXPECT_EQ(state->drawMaxX, 1);
    EXPECT_EQ(state->drawMinY, 1);
    EXPECT_EQ(state->drawMaxY, 2);
    EXPECT_EQ(host.sceneSetups, 1);
    EXPECT_TRUE(host.problems.empty());
}

TEST_F(DataFile, LayoutVariantsAreReadAlike)
{
    // Empty lines, blanks around the whole text, CR LF ends, extra fields,
    // half-way indexes rounding to even, and a later sample replacing one.
    ASSERT_TRUE(readFile("  2.5 1 4.25\r\n\r\n3.5 1 -2 extra\r\n2 1 6\r\n  "));
    EXPECT_EQ(state->rawHeights[2][1], 6.0f);
    EXPECT_EQ(state->rawHeights[4][1], -2.0f);
    EXPECT_EQ(state->minX, 2);
    EXPECT_EQ(state->maxX, 4);
    EXPECT_TRUE(host.problems.empty());
}

TEST_F(DataFile, BadLinesAreSkippedCountedAndReportedOnce)
{
    ASSERT_TRUE(readFile("1 1 5\n9 9\n201 1 3\n4  4 4\nx 1 1\n2 -0.6 1\n3 3 7"));
    EXPECT_EQ(state->rawHeights[1][1], 5.0f);
    EXPECT_EQ(state->rawHeights[3][3], 7.0f);
    EXPECT_EQ(state->rawHeights[9][9], 0.0f);
    EXPECT_EQ(state->rawHeights[4][4], 0.0f);
    EXPECT_EQ(state->maxX, 3);
    EXPECT_EQ(state->minY, 1);
    ASSERT_EQ(host.problems.size(), 1u);
    EXPECT_NE(host.problems[0].find("skipped 5 lines"), std::string::npos) << host.problems[0];
    EXPECT_NE(host.problems[0].find("line 2"), std::string::npos) << host.problems[0];
}

TEST_F(DataFile, MissingFileIsReportedAndChangesNothing)
{
    state->rawHeights[1][1] = 8;
    state->maxX = 50;
    EXPECT_FALSE(CheckFile(*state, host, (dir / "absent.dat").string()));
    EXPECT_EQ(state->rawHeights[1][1], 8.0f);
    EXPECT_EQ(state->maxX, 50);
    EXPECT_EQ(host.sceneSetups, 0);
    ASSERT_EQ(host.problems.size(), 1u);
    EXPECT_NE(host.problems[0].find("absent.dat"), std::string::npos);
    EXPECT_NE(host.problems[0].find("No such file"), std::string::npos);
}

TEST_F(DataFile, DirectoryIsReportedAsUnreadable)
{
    EXPECT_FALSE(CheckFile(*state, host, dir.string()));
    EXPECT_EQ(host.problems.size(), 1u);
    EXPECT_EQ(host.sceneSetups, 0);
}

TEST_F(DataFile, FileAddsToWhatSerialFramesLeft)
{
    state->rxBuffer = std::string(kReferenceFrame);
    ASSERT_TRUE(takeOneFrame(*state, host));
    const float leftByFrame = state->rawHeights[50][50];
    ASSERT_TRUE(readFile("49 49 1\n51 51 2"));
    EXPECT_EQ(state->rawHeights[50][50], leftByFrame);
    EXPECT_EQ(state->minX, 49);
    EXPECT_EQ(state->maxX, 51);
    // The one window of width 2 at (49, 49) includes the frame's cells.
    const auto& raw = state->rawHeights;
    EXPECT_EQ(state->heights[49][49], (((raw[49][49] + raw[49][50]) + raw[50][49]) + raw[50][50]) / 4.0f);
}

TEST_F(DataFile, FileWithoutSamplesKeepsTheExtent)
{
    state->minX = 5;
    state->maxX = 9;
    ASSERT_TRUE(readFile("   \n"));
    EXPECT_EQ(state->minX, 5);
    EXPECT_EQ(state->maxX, 9);
    EXPECT_EQ(state->drawMaxX, 7);
}

} // namespace
} // namespace meshscope
