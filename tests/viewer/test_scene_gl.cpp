// The scene set-up on a real viewport: the projection GL ends up with, read
// back from the context, for the worked perspective and orthographic cases.

#include "test_window_support.h"

#include "SceneSetup.h"
#include "ViewerState.h"
#include "VornCtl.h"

#include <QSignalSpy>

#include <array>
#include <memory>

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
