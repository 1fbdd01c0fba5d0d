// Scene set-up and paint checked on the calls they make, with a recording
// GL target in place of the viewport.

#include "test_scene_recording_gl.h"
#include "ScenePaint.h"
#include "SceneSetup.h"
#include "ViewerState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using meshscope::ViewerState;

namespace {

std::unique_ptr<ViewerState> startState()
{
    auto s = std::make_unique<ViewerState>();
    meshscope::applyStartValues(*s);
    return s;
}

void expectBounds(const GlCall& call, double l, double r, double b, double t, double n, double f)
{
    ASSERT_EQ(call.args.size(), 6u);
    EXPECT_DOUBLE_EQ(call.args[0], l);
    EXPECT_DOUBLE_EQ(call.args[1], r);
    EXPECT_DOUBLE_EQ(call.args[2], b);
    EXPECT_DOUBLE_EQ(call.args[3], t);
    EXPECT_DOUBLE_EQ(call.args[4], n);
    EXPECT_DOUBLE_EQ(call.args[5], f);
}

std::unique_ptr<ViewerState> drawnRange(int minX, int maxX, int minY, int maxY)
{
    auto s = startState();
    s->drawMinX = static_cast<std::int16_t>(minX);
    s->drawMaxX = static_cast<std::int16_t>(maxX);
    s->drawMinY = static_cast<std::int16_t>(minY);
    s->drawMaxY = static_cast<std::int16_t>(maxY);
    return s;
}

long countBegins(const RecordingGl& gl, GLenum mode)
{
    const auto begins = gl.named("glBegin");
    return std::count_if(begins.begin(), begins.end(), [mode](const GlCall& c) { return c.args[0] == mode; });
}

} // namespace

// --- scene set-up ---------------------------------------------------------

class SceneSetup : public ::testing::Test {
protected:
    std::unique_ptr<ViewerState> s = drawnRange(1, 99, 1, 99);
    RecordingGl gl;
};

TEST_F(SceneSetup, WidePerspectiveFramesTheDrawnColumns)
{
    meshscope::setUpScene(gl, *s);

    EXPECT_DOUBLE_EQ(s->viewLeft, -98.0 / 3);
    EXPECT_DOUBLE_EQ(s->viewRight, 98.0 / 3);
    ASSERT_EQ(gl.named("glFrustum").size(), 1u);
    expectBounds(gl.named("glFrustum")[0], -49, 49, -98.0 / 3, 98.0 / 3, 100, 400);
    const auto shifts = gl.named("glTranslatef");
    ASSERT_EQ(shifts.size(), 1u);
    EXPECT_EQ(shifts[0].args, (std::vector<double>{0, 0, -250}));
    EXPECT_TRUE(gl.named("glOrtho").empty());
}

TEST_F(SceneSetup, OrthographicDoublesTheBoundsWithoutTranslation)
{
    s->orthographic = meshscope::kTrue;
    meshscope::setUpScene(gl, *s);

    EXPECT_DOUBLE_EQ(s->viewLeft, -196.0 / 3);
    ASSERT_EQ(gl.named("glOrtho").size(), 1u);
    expectBounds(gl.named("glOrtho")[0], -98, 98, -196.0 / 3, 196.0 / 3, -150, 150);
    EXPECT_TRUE(gl.named("glTranslatef").empty());
    EXPECT_TRUE(gl.named("glFrustum").empty());
}

TEST_F(SceneSetup, TallAndSquareViewportsStretchVertically)
{
    gl.width = 400;
    gl.height = 600;
    meshscope::setUpScene(gl, *s);
    expectBounds(gl.named("glFrustum").at(0), -98.0 / 3, 98.0 / 3, -49, 49, 100, 400);

    RecordingGl square;
    square.width = square.height = 500;
    meshscope::setUpScene(square, *s);
    expectBounds(square.named("glFrustum").at(0), -98.0 / 3, 98.0 / 3, -98.0 / 3, 98.0 / 3, 100, 400);
}

TEST_F(SceneSetup, ZoomKeysScaleTheBounds)
{
    s->zoom = 1.5 * 1.5;
    meshscope::setUpScene(gl, *s);
    EXPECT_DOUBLE_EQ(gl.named("glFrustum").at(0).args[0], -49 / 1.5);
}

TEST_F(SceneSetup, IssuesStateCallsInOrderAndEndsInModelview)
{
    meshscope::setUpScene(gl, *s);
    const std::vector<std::string> expected = {
        "glEnable",     "glEnable",    "glLightfv",    "glLightfv",      "glLightfv", "glMaterialfv", "glMaterialfv",
        "glMaterialfv", "glMaterialf", "glShadeModel", "glEnable",       "glEnable",  "glEnable",     "glClearDepth",
        "glClearColor", "glViewport",  "glMatrixMode", "glLoadIdentity", "glFrustum", "glTranslatef", "glMatrixMode"};
    EXPECT_EQ(gl.names(), expected);
    EXPECT_EQ(gl.calls[1].args[0], GL_NORMALIZE);
    EXPECT_EQ(gl.calls[8].args, (std::vector<double>{GL_FRONT, GL_SHININESS, 0.2f}));
    EXPECT_EQ(gl.calls[15].args, (std::vector<double>{0, 0, 600, 400}));
    EXPECT_EQ(gl.calls[16].args[0], GL_PROJECTION);
    EXPECT_EQ(gl.calls.back().args[0], GL_MODELVIEW);
}

TEST_F(SceneSetup, ZeroSizedViewportKeepsTheLastProjection)
{
    for (auto [w, h] : {std::pair{0.0, 400.0}, std::pair{600.0, 0.0}}) {
        RecordingGl minimised;
        minimised.width = w;
        minimised.height = h;
        meshscope::setUpScene(minimised, *s);
        EXPECT_TRUE(minimised.named("glFrustum").empty());
        EXPECT_TRUE(minimised.named("glLoadIdentity").empty());
        EXPECT_EQ(minimised.calls.back().name, "glMatrixMode");
        EXPECT_EQ(minimised.calls.back().args[0], GL_MODELVIEW);
    }
}

// --- paint ------------------------------------------------------------------

TEST(ScenePaint, FullGridHas40000CellsCentredAndWalledWhenBorderOn)
{
    auto s = drawnRange(0, 200, 0, 200);
    s->borderOn = meshscope::kTrue;
    RecordingGl gl;
    meshscope::paintScene(gl, *s);

    EXPECT_EQ(countBegins(gl, GL_TRIANGLE_STRIP), 40000);
    EXPECT_EQ(countBegins(gl, GL_POLYGON), 4 * 200 + 1);
    EXPECT_EQ(gl.named("glTranslatef").at(0).args, (std::vector<double>{-100, -100, -50}));
    EXPECT_EQ(gl.calls.back().name, "PresentFrame");
}

TEST(ScenePaint, SerialRangeHas9409CellsAndHalfUnitCentring)
{
    auto s = drawnRange(1, 98, 1, 98);
    RecordingGl gl;
    meshscope::paintScene(gl, *s);
    EXPECT_EQ(countBegins(gl, GL_TRIANGLE_STRIP), 97 * 97);
    EXPECT_EQ(gl.named("glTranslatef").at(0).args, (std::vector<double>{-48.5, -48.5, -50}));

    auto odd = drawnRange(0, 5, 0, 4);
    RecordingGl oddGl;
    meshscope::paintScene(oddGl, *odd);
    EXPECT_EQ(oddGl.named("glTranslatef").at(0).args, (std::vector<double>{-2.5, -2, -50}));
}

TEST(ScenePaint, CellTakesLowerNodeColourAndForwardDifferenceNormal)
{
    auto s = drawnRange(10, 11, 20, 21);
    s->heights[10][20] = 25;
    s->heights[11][20] = 22;
    s->heights[10][21] = 30;
    s->heights[11][21] = 27;
    RecordingGl gl;
    meshscope::paintScene(gl, *s);

    const auto colours = gl.named("glColor3d");
    EXPECT_EQ(colours.at(0).args, (std::vector<double>{0.5, 0.5, 0.5})); // mode 1 at height 25
    EXPECT_EQ(gl.named("glNormal3f").at(0).args, (std::vector<double>{3, -5, 1}));
    const auto v = gl.named("glVertex3f");
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].args, (std::vector<double>{10, 20, 25}));
    EXPECT_EQ(v[1].args, (std::vector<double>{11, 20, 22}));
    EXPECT_EQ(v[2].args, (std::vector<double>{10, 21, 30}));
    EXPECT_EQ(v[3].args, (std::vector<double>{11, 21, 27}));
}

TEST(ScenePaint, FlatGridHasUpNormalsAndZeroHeightWalls)
{
    auto s = drawnRange(0, 4, 0, 3);
    s->borderOn = meshscope::kTrue;
    RecordingGl gl;
    meshscope::paintScene(gl, *s);

    bool inStrip = false;
    bool inPolygon = false;
    int wallTops = 0;
    for (const GlCall& c : gl.calls) {
        if (c.name == "glBegin") {
            inStrip = c.args[0] == GL_TRIANGLE_STRIP;
            inPolygon = c.args[0] == GL_POLYGON;
        } else if (c.name == "glNormal3f" && inStrip) {
            EXPECT_EQ(c.args, (std::vector<double>{0, 0, 1}));
        } else if (c.name == "glVertex3f" && inPolygon) {
            EXPECT_EQ(c.args[2], 0);
            ++wallTops;
        }
    }
    EXPECT_EQ(wallTops, 4 * (2 * 4 + 2 * 3 + 1));
}

TEST(ScenePaint, BorderOffDrawsOnlyCellsBarsAndSphere)
{
    auto s = drawnRange(0, 3, 0, 3);
    RecordingGl gl;
    meshscope::paintScene(gl, *s);

    EXPECT_EQ(countBegins(gl, GL_POLYGON), 0);
    EXPECT_EQ(countBegins(gl, GL_TRIANGLE_STRIP), 9);
    EXPECT_EQ(gl.named("glutSolidCube").size(), 3u);
    EXPECT_EQ(gl.named("glutSolidSphere").at(0).args, (std::vector<double>{1, 10, 10}));
    // Bars and sphere stand at the grid corner, not at the centre.
    for (const GlCall& t : gl.named("glScalef"))
        EXPECT_EQ(std::count(t.args.begin(), t.args.end(), 10.0), 1);
}

// With the additions off (no sample marks, no fitted colours) the paint's
// calls and their arguments are the plain frame's; on, each point of the last
// frame is a mark at its column, row and height, after the surface and walls
// and before the bars, drawn through the surface and leaving depth testing on.
TEST(ScenePaint, SampleMarksFollowTheSurfaceOnlyWhenShown)
{
    auto s = drawnRange(1, 98, 1, 98);
    s->borderOn = meshscope::kTrue;
    s->interpolated = {true, 2, {{66, 100, 1}}, {{66, 100, 66}}, {{70, 10, -5}}, 0};
    RecordingGl plain, off, on;
    meshscope::paintScene(plain, *s);
    ASSERT_FALSE(s->fittedColours);
    meshscope::paintScene(off, *s, false);
    meshscope::paintScene(on, *s, true);
    const auto plainNames = plain.names();
    EXPECT_TRUE(off.calls == plain.calls);

    const auto names = on.names();
    const auto first = std::find(names.begin(), names.end(), "glDisable") - names.begin();
    const auto lastBegin = std::find(names.rbegin(), names.rend(), "glBegin").base() - names.begin() - 1;
    const auto bars = std::find(names.begin() + first, names.end(), "glPushMatrix") - names.begin();
    EXPECT_LT(lastBegin, first);
    std::vector<std::vector<double>> marks;
    for (auto k = std::size_t(first); k < on.calls.size() && on.calls[k].name != "glEnable"; ++k)
        if (on.calls[k].name == "glTranslatef")
            marks.push_back(on.calls[k].args);
    EXPECT_EQ(marks, (std::vector<std::vector<double>>{{66, 66, 70}, {100, 100, 10}, {1, 66, -5}}));
    EXPECT_EQ(on.calls.at(std::size_t(first)).args, (std::vector<double>{GL_DEPTH_TEST}));
    EXPECT_LT(bars, static_cast<long>(names.size()));
    const auto enable = std::find(names.begin() + first, names.end(), "glEnable") - names.begin();
    EXPECT_EQ(on.calls.at(std::size_t(enable)).args, (std::vector<double>{GL_DEPTH_TEST}));
    EXPECT_EQ(on.named("glutSolidCube").size(), 3u + 3u);
    // What follows is the plain frame's end: the bars, the sphere, PresentFrame.
    const auto tail = long(names.size()) - enable - 1;
    EXPECT_EQ(std::vector<std::string>(names.begin() + enable + 1, names.end()),
              std::vector<std::string>(plainNames.end() - tail, plainNames.end()));
}

TEST(ScenePaint, EmptyRangesDrawNoCellsButKeepFloorBarsAndSphere)
{
    auto s = drawnRange(5, 5, 2, 6);
    s->borderOn = meshscope::kTrue;
    RecordingGl gl;
    meshscope::paintScene(gl, *s);

    EXPECT_EQ(countBegins(gl, GL_TRIANGLE_STRIP), 0);
    // Only the two x-walls of each of the four rows, both at x = 5, and the floor.
    EXPECT_EQ(countBegins(gl, GL_POLYGON), 2 * 4 + 1);
    for (const GlCall& v : gl.named("glVertex3f"))
        EXPECT_EQ(v.args[0], 5);
    EXPECT_EQ(gl.named("glutSolidCube").size(), 3u);
    EXPECT_EQ(gl.calls.back().name, "PresentFrame");

    auto mirrored = drawnRange(3, 1, 3, 1); // last index below the first
    RecordingGl mirroredGl;
    meshscope::paintScene(mirroredGl, *mirrored);
    EXPECT_EQ(countBegins(mirroredGl, GL_TRIANGLE_STRIP), 0);
}

TEST(ScenePaint, RangeOutsideTheGridEndsTheFrameUnpresented)
{
    auto s = drawnRange(195, 201, 0, 3);
    RecordingGl gl;
    EXPECT_THROW(meshscope::paintScene(gl, *s), std::out_of_range);
    EXPECT_TRUE(gl.named("PresentFrame").empty());
}
