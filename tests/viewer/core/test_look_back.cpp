#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "Commands.h"
#include "DataFile.h"
#include "GridText.h"
#include "Interpolation.h"
#include "LookBack.h"
#include "SurfaceStatistics.h"
#include "RecordingHost.h"
#include "SerialInput.h"
#include "SurfaceExport.h"

namespace meshscope {
namespace {

using recording::RecordingHost;
using recording::startedState;

// A frame whose points differ from those of every other n.
std::string distinctFrame(int n)
{
    return "<" + std::to_string(10 + n % 80) + ",20," + std::to_string(n % 50) + "; 70," + std::to_string(30 + n % 60)
        + "," + std::to_string(40 - n % 30) + "; 50,90,7>";
}

class LookBackTest : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> state = startedState();
    RecordingHost host;
    LookBack lookBack;
    std::int64_t clockMs = 0;

    void tick(const std::string& arriving = {})
    {
        host.waiting += arriving;
        serialPollTick(*state, host);
        clockMs += 10;
        lookBack.afterTick(*state, clockMs);
    }
    // Frames as a line delivers them: each arrives while the one before still
    // stands whole in the buffer, and a few quiet polls follow each.
    void stream(int first, int count)
    {
        for (int n = first; n < first + count; ++n) {
            tick(distinctFrame(n));
            tick();
            tick();
        }
    }
};

TEST_F(LookBackTest, HistoryKeepsEachNewFrameOnceAndNotItsRetakes)
{
    stream(0, 5);
    EXPECT_GT(state->interpCount, 5); // the viewer's counters count the re-takes
    EXPECT_EQ(state->newFrameCount, 5u);
    ASSERT_EQ(lookBack.history().size(), 5u);

    // The same text sent again is a new frame, also right after the space key.
    tick(distinctFrame(4));
    tick();
    EXPECT_EQ(lookBack.history().size(), 6u);
    handleKey(*state, host, " ");
    handleKey(*state, host, " ");
    tick(distinctFrame(4));
    EXPECT_EQ(lookBack.history().size(), 7u);

    // Rejected frames and noise add nothing.
    tick("<1,2>garbage<5,5,x; 1,1,1>");
    tick();
    EXPECT_EQ(lookBack.history().size(), 7u);
}

TEST_F(LookBackTest, FrameFromHistoryIsTheGridTheViewerDrewForIt)
{
    std::vector<std::pair<DrawnSurface, DrawnSurface>> drawn; // at smoothing 2 and 9
    for (int n = 0; n < 6; ++n) {
        stream(n, 1);
        const std::int16_t level = state->smoothLevel;
        drawn.emplace_back(drawnSurface(*state), DrawnSurface{});
        handleKey(*state, host, "5");
        drawn.back().second = drawnSurface(*state);
        state->smoothLevel = level;
        UpdateData(*state, host);
    }
    const FrameHistory& history = lookBack.history();
    ASSERT_EQ(history.size(), 6u);
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(frameSurface(history.at(history.oldest() + n), 2), drawn[n].first) << n;
        EXPECT_EQ(frameSurface(history.at(history.oldest() + n), 9), drawn[n].second) << n;
    }

    // Frozen and stepped back k frames, the shown grid is that frame's, while
    // the live grid and counters go on with the line.
    lookBack.freeze(*state);
    EXPECT_EQ(lookBack.shownFrame(), history.newest());
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), drawn[5].first);
    lookBack.step(*state, -3);
    const std::int32_t counted = state->interpCount;
    stream(6, 2);
    EXPECT_GT(state->interpCount, counted);
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), drawn[2].first);
    EXPECT_NE(drawnSurface(*state), drawn[2].first);
    handleKey(*state, host, "5"); // the current smoothing applies to the frame shown
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), drawn[2].second);
    handleKey(*state, host, "1");

    lookBack.step(*state, -100);
    EXPECT_EQ(lookBack.shownFrame(), history.oldest());
    lookBack.step(*state, 100);
    EXPECT_EQ(lookBack.shownFrame(), history.newest());
    lookBack.goLive();
    EXPECT_FALSE(lookBack.frozen());
    EXPECT_EQ(&lookBack.shownState(*state), state.get());
}

TEST_F(LookBackTest, FreezeHoldsAPictureThatIsNoFrame)
{
    stream(0, 3);
    readSamples(*state, host, "5 5 30\n5 40 0\n40 5 10\n40 40 20\n", "samples");
    const DrawnSurface file = drawnSurface(*state);
    lookBack.freeze(*state);
    EXPECT_FALSE(lookBack.shownFrame());
    stream(3, 2);
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), file);
    lookBack.step(*state, -1); // to the newest frame
    EXPECT_EQ(lookBack.shownFrame(), lookBack.history().newest());
}

TEST_F(LookBackTest, HistoryStaysWithinItsBoundAtAHundredFramesASecond)
{
    // Fifteen minutes of arrival times, a frame every 10 ms, fed to the history directly.
    FrameHistory history;
    ViewerState& frame = *state;
    frame.lastPoint = 20;
    std::size_t largest = 0;
    for (std::int64_t ms = 0; ms <= 15 * 60 * 1000; ms += 10) {
        frame.ptZ[ms % 21] = static_cast<std::int16_t>(ms % 1000);
        history.record(frame, ms);
        largest = std::max(largest, history.memoryBytes());
    }
    EXPECT_LE(largest, FrameHistory::kMaxBytes);
    EXPECT_LE(FrameHistory::kMaxBytes, 8u << 20);
    EXPECT_EQ(history.size(), FrameHistory::kMaxFrames);
    EXPECT_EQ(history.at(history.newest()).arrivalMs, 15 * 60 * 1000);
    EXPECT_GE(history.at(history.oldest()).arrivalMs, 5 * 60 * 1000);

    // Frames older than ten minutes before the newest go, however few there are.
    history.record(frame, 40 * 60 * 1000);
    EXPECT_EQ(history.size(), 1u);
}

TEST_F(LookBackTest, DifferenceFromTheBaseline)
{
    stream(0, 1);
    lookBack.setBaseline(*state);
    lookBack.setDifferenceShown(true);
    for (const float z : drawnSurface(lookBack.shownState(*state)).z)
        ASSERT_EQ(z, 0.0f);

    // The same frame with every height 7 higher: the difference is 7 everywhere.
    const std::string raised = "<10,20,7; 70,30,47; 50,90,14>";
    tick("<10,20,0; 70,30,40; 50,90,7>");
    tick();
    lookBack.setBaseline(*state);
    tick(raised);
    tick();
    const DrawnSurface difference = drawnSurface(lookBack.shownState(*state));
    EXPECT_EQ(difference.columns(), 98);
    for (const float z : difference.z)
        ASSERT_EQ(z, 7.0f);
    // Each sample's mark stands as far from the difference as the sample from the drawn surface.
    const DrawnSurface drawn = drawnSurface(*state);
    const ViewerState& shown = lookBack.shownState(*state);
    ASSERT_TRUE(shown.markHeights.has_value());
    EXPECT_FALSE(state->markHeights.has_value());
    for (std::size_t k = 0; k < 3; ++k) {
        const int x = shown.interpolated.ptX[k], y = shown.interpolated.ptY[k];
        EXPECT_FLOAT_EQ((*shown.markHeights)[k] - difference.at(x, y), shown.interpolated.ptZ[k] - drawn.at(x, y));
    }
    lookBack.freeze(*state); // frozen, the difference is the held frame's
    tick(distinctFrame(9));
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), difference);
    lookBack.goLive();

    // Levelled, the difference of 7 everywhere is 0 at its mean; the live
    // surface zeroed at its lowest keeps its range.
    const std::uint64_t before = lookBack.revision();
    lookBack.setLevelling({TiltRemoval::BestFitPlane, {}, ZeroAt::Mean});
    EXPECT_GT(lookBack.revision(), before);
    for (const float z : drawnSurface(lookBack.shownState(*state)).z)
        ASSERT_NEAR(z, 0.0f, 1e-5);
    lookBack.clearBaseline();
    EXPECT_FALSE(lookBack.differenceShown());
    const SurfaceStatistics live = surfaceStatistics(drawnSurface(*state));
    lookBack.setLevelling({TiltRemoval::None, {}, ZeroAt::Minimum});
    const SurfaceStatistics zeroed = surfaceStatistics(drawnSurface(lookBack.shownState(*state)));
    EXPECT_EQ(zeroed.minimum, 0);
    EXPECT_NEAR(zeroed.range(), live.range(), 1e-4);
    EXPECT_TRUE(lookBack.levellingApplied());
    // Pinned cells off the drawn surface make no plane: it is shown as it is,
    // and says so.
    lookBack.setLevelling({TiltRemoval::ThroughThreeCells, {{{-5, -5}, {-5, -1}, {-1, -5}}}, ZeroAt::Minimum});
    EXPECT_EQ(drawnSurface(lookBack.shownState(*state)), drawnSurface(*state));
    EXPECT_FALSE(lookBack.levellingApplied());
    lookBack.setLevelling({});
    EXPECT_EQ(&lookBack.shownState(*state), state.get());
}

// A surface of columns 3..6 and rows 10..12 with heights that vary.
DrawnSurface smallSurface()
{
    DrawnSurface s{3, 6, 10, 12, {}};
    for (int x = 3; x <= 6; ++x)
        for (int y = 10; y <= 12; ++y)
            s.z.push_back(static_cast<float>(x * 2 - y) + 0.25f);
    return s;
}

TEST(SurfaceExport, SolidIsClosedOutwardAndEnclosesTheVolumeUnderTheSurface)
{
    const DrawnSurface surface = smallSurface();
    const SolidMesh mesh = closedSolid(surface);
    EXPECT_EQ(mesh.floorZ, -7.0f); // the lowest height, -5.75, rounded down, less 1

    // Every edge is met once in each direction: closed, one part, consistent turn.
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    double volume = 0;
    for (const auto& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k)
            ++edges[{t[k], t[(k + 1) % 3]}];
        const auto& a = mesh.vertices[t[0]];
        const auto& b = mesh.vertices[t[1]];
        const auto& c = mesh.vertices[t[2]];
        volume
            += (a[0] * (double(b[1]) * c[2] - double(b[2]) * c[1]) - a[1] * (double(b[0]) * c[2] - double(b[2]) * c[0])
                + a[2] * (double(b[0]) * c[1] - double(b[1]) * c[0]))
            / 6;
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1);
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
    // Each cell's two triangles over the floor: their prisms' volumes.
    double expected = 0;
    for (int x = 3; x < 6; ++x) {
        for (int y = 10; y < 12; ++y) {
            const double h00 = surface.at(x, y) - mesh.floorZ, h10 = surface.at(x + 1, y) - mesh.floorZ;
            const double h01 = surface.at(x, y + 1) - mesh.floorZ, h11 = surface.at(x + 1, y + 1) - mesh.floorZ;
            expected += (h00 + h10 + h01) / 6 + (h01 + h10 + h11) / 6;
        }
    }
    EXPECT_NEAR(volume, expected, 1e-9);

    const std::string stl = stlBinary(mesh);
    ASSERT_EQ(stl.size(), 84 + 50 * mesh.triangles.size());
    EXPECT_NE(stl.rfind("solid", 0), 0u); // never mistaken for ASCII STL

    EXPECT_TRUE(closedSolid(DrawnSurface{3, 3, 10, 12, {1, 2, 3}}).triangles.empty());
}

// A folder of its own for a test's files.
struct ExportDir {
    std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("meshscope-export-" + std::to_string(::getpid()));
    ExportDir() { std::filesystem::create_directories(dir); }
    ~ExportDir() { std::filesystem::remove_all(dir); }
    std::string path() const { return dir.string(); }
};

TEST(SurfaceExport, FilesAreWrittenWholeOrNotAtAll)
{
    ExportDir dir;
    const DrawnSurface surface = smallSurface();
    const std::string csv = dir.path() + "/surface.CSV";
    ASSERT_EQ(exportSurface(surface, csv), std::nullopt);
    std::ifstream csvIn(csv);
    std::stringstream csvText;
    csvText << csvIn.rdbuf();
    HeightGrid grid{};
    for (int x = 3; x <= 6; ++x)
        for (int y = 10; y <= 12; ++y)
            grid[x][y] = surface.at(x, y);
    std::string commas = gridText(grid, 3, 6, 10, 12);
    std::replace(commas.begin(), commas.end(), ' ', ',');
    EXPECT_EQ(csvText.str(), "x,y,z\n" + commas);

    EXPECT_EQ(exportSurface(surface, dir.path() + "/surface.obj"),
              "unknown file type (end the name in .stl, .ply, .csv or .gsf)");
    EXPECT_EQ(exportSurface(surface, dir.path() + "/missing/surface.stl"), "No such file or directory");
    EXPECT_EQ(exportSurface(DrawnSurface{}, dir.path() + "/empty.ply"), "the drawn surface has no cell to export");

    // A write that fails part-way (here at a file size limit) leaves the
    // earlier file as it was and no temporary beside it.
    const std::string stl = dir.path() + "/surface.stl";
    ASSERT_EQ(exportSurface(surface, stl), std::nullopt);
    const auto before = std::filesystem::file_size(stl);
    DrawnSurface large{0, 200, 0, 200, std::vector<float>(201 * 201, 1.0f)};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const auto failed = exportSurface(large, stl);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(failed, "File too large");
    EXPECT_EQ(std::filesystem::file_size(stl), before);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2); // surface.CSV and surface.stl
}

} // namespace
} // namespace meshscope
