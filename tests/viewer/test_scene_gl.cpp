// The scene set-up on a real viewport: the projection GL ends up with, read
// back from the context, for the worked perspective and orthographic cases;
// and the pick under a pixel against the depth GL drew there.

#include "test_window_support.h"

#include "Pick.h"
#include "ScenePaint.h"
#include "SceneSetup.h"
#include "SerialInput.h"
#include "ViewerState.h"
#include "VornCtl.h"

#include <GL/glu.h>

#include <QSignalSpy>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

class SceneOnViewport : public ::testing::Test {
protected:
    void SetUp() override
    {
        windowtest::app();
        viewport = std::make_unique<VornCtl>();
        meshscope::applyStartValues(*state);
        state->drawMinX = 1;
        state->drawMaxX = 99;
        ctl().resize(600, 400);
        QObject::connect(&ctl(), &VornCtl::initialization, [this] { meshscope::setUpScene(ctl(), *state); });
        QObject::connect(&ctl(), &VornCtl::paint, [this] { ctl().PresentFrame(); });
        QSignalSpy presented(&ctl(), &VornCtl::framePresented);
        ctl().show();
        ASSERT_TRUE(presented.wait(5000));
    }
    std::array<double, 16> matrix(GLenum which)
    {
        std::array<double, 16> m{};
        ctl().glGetDoublev(which, m.data());
        return m;
    }

    std::unique_ptr<meshscope::ViewerState> state = std::make_unique<meshscope::ViewerState>();
    std::unique_ptr<VornCtl> viewport;
    VornCtl& ctl() { return *viewport; }
};

} // namespace

TEST_F(SceneOnViewport, PerspectiveFrustumSitsBehindTheTranslation)
{
    const auto p = matrix(GL_PROJECTION_MATRIX);
    // glFrustum(-49, 49, -98/3, 98/3, 100, 400), then a shift of -250 along z.
    EXPECT_NEAR(p[0], 200.0 / 98, 1e-6);
    EXPECT_NEAR(p[5], 200.0 / (196.0 / 3), 1e-6);
    EXPECT_NEAR(p[10], -500.0 / 300, 1e-6);
    EXPECT_NEAR(p[11], -1, 1e-9);
    EXPECT_NEAR(p[14], 150, 1e-4); // -250 * -5/3 - 800/3
    EXPECT_NEAR(p[15], 250, 1e-4);

    GLint box[4] = {};
    ctl().glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[2], 600);
    EXPECT_EQ(box[3], 400);
    GLint mode = 0;
    ctl().glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(ctl().glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(ctl().glIsEnabled(GL_COLOR_MATERIAL));
}

TEST_F(SceneOnViewport, OrthographicBoxAndTallViewport)
{
    state->orthographic = meshscope::kTrue;
    meshscope::setUpScene(ctl(), *state);
    auto p = matrix(GL_PROJECTION_MATRIX);
    // glOrtho(-98, 98, -196/3, 196/3, -150, 150): no shift, no perspective.
    EXPECT_NEAR(p[0], 2.0 / 196, 1e-9);
    EXPECT_NEAR(p[5], 2.0 / (392.0 / 3), 1e-9);
    EXPECT_NEAR(p[10], -2.0 / 300, 1e-9);
    EXPECT_NEAR(p[14], 0, 1e-9);
    EXPECT_NEAR(p[15], 1, 1e-9);

    state->orthographic = meshscope::kFalse;
    ctl().resize(400, 600);
    meshscope::setUpScene(ctl(), *state);
    p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], 200.0 / (196.0 / 3), 1e-6); // left/right -98/3..98/3
    EXPECT_NEAR(p[5], 200.0 / 98, 1e-6);          // bottom/top -49..49
}

namespace {

// The paint's calls passed to the control, with the depth buffer and the
// matrices read just before the frame is presented.
struct DepthBeforePresent {
    VornCtl& ctl;
    std::vector<float> depth;
    meshscope::ViewMatrices view;

    void glClear(GLbitfield mask) { ctl.glClear(mask); }
    void glLoadIdentity() { ctl.glLoadIdentity(); }
    void glRotated(GLdouble a, GLdouble x, GLdouble y, GLdouble z) { ctl.glRotated(a, x, y, z); }
    void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { ctl.glRotatef(a, x, y, z); }
    void glLightfv(GLenum light, GLenum name, const GLfloat* p) { ctl.glLightfv(light, name, p); }
    void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { ctl.glTranslatef(x, y, z); }
    void glScalef(GLfloat x, GLfloat y, GLfloat z) { ctl.glScalef(x, y, z); }
    void glColor3d(GLdouble r, GLdouble g, GLdouble b) { ctl.glColor3d(r, g, b); }
    void glBegin(GLenum mode) { ctl.glBegin(mode); }
    void glEnd() { ctl.glEnd(); }
    void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { ctl.glNormal3f(x, y, z); }
    void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { ctl.glVertex3f(x, y, z); }
    void glPushMatrix() { ctl.glPushMatrix(); }
    void glPopMatrix() { ctl.glPopMatrix(); }
    void glEnable(GLenum cap) { ctl.glEnable(cap); }
    void glDisable(GLenum cap) { ctl.glDisable(cap); }
    void glutSolidCube(GLdouble size) { ctl.glutSolidCube(size); }
    void glutSolidSphere(GLdouble r, GLint slices, GLint stacks) { ctl.glutSolidSphere(r, slices, stacks); }
    void PresentFrame()
    {
        ctl.glGetDoublev(GL_PROJECTION_MATRIX, view.projection.data());
        ctl.glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview.data());
        ctl.glGetIntegerv(GL_VIEWPORT, view.viewport.data());
        depth.assign(std::size_t(view.viewport[2]) * std::size_t(view.viewport[3]), 1.0f);
        ctl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        ctl.glReadPixels(0, 0, view.viewport[2], view.viewport[3], GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        ctl.PresentFrame();
    }
};

} // namespace

// For pixels over the reference frame's surface in several views, the pick
// names the cell gluUnProject gives for the depth GL drew there (within one
// cell where the surface is steep); where GL drew nothing, nothing is picked.
TEST(PickOnViewport, CellUnderAPixelIsTheOneGlDrewThere)
{
    windowtest::app();
    auto state = std::make_unique<meshscope::ViewerState>();
    meshscope::applyStartValues(*state);
    meshscope::NullHost host;
    state->rxBuffer = std::string(meshscope::kReferenceFrame);
    ASSERT_TRUE(meshscope::takeOneFrame(*state, host));

    VornCtl ctl;
    DepthBeforePresent gl{ctl, {}, {}};
    ctl.resize(480, 360);
    QObject::connect(&ctl, &VornCtl::initialization, [&] { meshscope::setUpScene(ctl, *state); });
    QObject::connect(&ctl, &VornCtl::paint, [&] { meshscope::paintScene(gl, *state); });
    QSignalSpy presented(&ctl, &VornCtl::framePresented);
    ctl.show();
    ASSERT_TRUE(presented.wait(5000));

    struct View {
        const char* name;
        float x, y, z;
        double zoom;
        bool orthographic, border;
    };
    const View views[] = {
        {"start", 35, 0, 25, 1.5, false, false},    {"spun", 70, 20, 140, 1.5, false, false},
        {"zoomed", 35, 0, 25, 3.375, false, false}, {"orthographic", 50, 0, 300, 1.5, true, false},
        {"border", 20, 0, 60, 1.5, false, true},    {"underneath", 200, 0, 30, 1.5, true, true},
    };
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        state->rotation = {v.x, v.y, v.z, 0};
        state->zoom = v.zoom;
        state->orthographic = v.orthographic ? meshscope::kTrue : meshscope::kFalse;
        state->borderOn = v.border ? meshscope::kTrue : meshscope::kFalse;
        meshscope::setUpScene(ctl, *state);
        presented.clear();
        ctl.RequestRedraw();
        ASSERT_TRUE(presented.wait(5000));

        const auto& view = gl.view;
        const int w = view.viewport[2], h = view.viewport[3];
        const auto depthAt
            = [&](int px, int py) { return gl.depth[std::size_t(py) * std::size_t(w) + std::size_t(px)]; };
        int surface = 0, exact = 0, background = 0;
        for (int py = 6; py < h - 6; py += 9)
            for (int px = 6; px < w - 6; px += 9) {
                const auto cell = meshscope::pickAt(*state, view, px + 0.5, py + 0.5);
                const float d = depthAt(px, py);
                if (d >= 1.0f) {
                    // Off a silhouette, where GL's sampling and the ray may differ by a hair.
                    if (depthAt(px - 2, py) >= 1 && depthAt(px + 2, py) >= 1 && depthAt(px, py - 2) >= 1
                        && depthAt(px, py + 2) >= 1) {
                        ++background;
                        EXPECT_FALSE(cell) << px << "," << py;
                    }
                    continue;
                }
                double x = 0, y = 0, z = 0;
                ASSERT_TRUE(gluUnProject(px + 0.5, py + 0.5, d, view.modelview.data(), view.projection.data(),
                                         view.viewport.data(), &x, &y, &z));
                // The axis bars and the sphere at the grid's corner are not picked.
                if (std::hypot(x - state->drawMinX, y - state->drawMinY, z) < 12)
                    continue;
                ASSERT_TRUE(cell) << px << "," << py << " over " << x << "," << y << "," << z;
                ++surface;
                const int column = std::clamp(int(std::floor(x)), int(state->drawMinX), state->drawMaxX - 1);
                const int row = std::clamp(int(std::floor(y)), int(state->drawMinY), state->drawMaxY - 1);
                EXPECT_LE(std::abs(cell->column - column), 1) << px << "," << py;
                EXPECT_LE(std::abs(cell->row - row), 1) << px << "," << py;
                exact += cell->column == column && cell->row == row;
            }
        EXPECT_GT(surface, 100);
        EXPECT_GT(background, 50);
        EXPECT_GE(exact, surface * 9 / 10);
    }
}
