// The tessellator callbacks on the window's real VornCtl3, observed through GL
// feedback: which vertices they emit, where, and in which colour.
#include "TessCallbacks.h"
#include "WindowFixture.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct FedBackPoint {
    double x, y; // window coordinates
    double r, g, b;
};

class TessCallbacks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { form = showForm().release(); }
    static void TearDownTestSuite()
    {
        delete form;
        form = nullptr;
    }
    void SetUp() override { ASSERT_NE(form, nullptr) << "the window never showed four frames"; }

    // Runs the callbacks as the tessellator would for a list of points, with
    // VornCtl3 in feedback mode, and returns the points GL received.
    static std::vector<FedBackPoint> feedBack(const std::function<void()>& emitPoints)
    {
        VornCtl& ctl = *form->VornCtl3;
        std::array<GLfloat, 256> buffer{};
        ctl.glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        ctl.glRenderMode(GL_FEEDBACK);
        ctl.glColor3d(0.1, 0.2, 0.3);
        onTessBegin(GL_POINTS);
        emitPoints();
        onTessEnd();
        const GLint used = ctl.glRenderMode(GL_RENDER);
        std::vector<FedBackPoint> points;
        for (GLint i = 0; i + 7 < used;) {
            if (buffer[i] != GL_POINT_TOKEN) {
                ADD_FAILURE() << "unexpected feedback token " << buffer[i];
                break;
            }
            points.push_back({buffer[i + 1], buffer[i + 2], buffer[i + 4], buffer[i + 5], buffer[i + 6]});
            i += 8; // token, x, y, z, r, g, b, a
        }
        return points;
    }

    static FedBackPoint windowPoint(double x, double y)
    {
        GLint box[4] = {};
        form->VornCtl3->glGetIntegerv(GL_VIEWPORT, box);
        return {box[0] + (x + 1) * box[2] / 2, box[1] + (y + 1) * box[3] / 2, 0, 0, 0};
    }

    static Form1* form;
};

Form1* TessCallbacks::form = nullptr;

TEST_F(TessCallbacks, EachVertexIsPlacedBeforeItsColourIsSet)
{
    const DataBufferRef a
        = form->VornCtl3->CreateDataBuffer(GL_DOUBLE, std::vector<double>{0.5, 0.25, 0, 0.9, 0.8, 0.7, 0});
    const DataBufferRef b
        = form->VornCtl3->CreateDataBuffer(GL_DOUBLE, std::vector<double>{-0.5, -0.25, 0, 0.4, 0.5, 0.6, 0});
    const auto points = feedBack([&] {
        onTessVertex(a->data());
        onTessVertex(b->data());
    });
    ASSERT_EQ(points.size(), 2u);
    const FedBackPoint wantA = windowPoint(0.5, 0.25), wantB = windowPoint(-0.5, -0.25);
    EXPECT_NEAR(points[0].x, wantA.x, 0.01);
    EXPECT_NEAR(points[0].y, wantA.y, 0.01);
    EXPECT_NEAR(points[1].x, wantB.x, 0.01);
    EXPECT_NEAR(points[1].y, wantB.y, 0.01);
    // The first point keeps the colour current before it; the second takes the first's.
    EXPECT_NEAR(points[0].r, 0.1, 1e-3);
    EXPECT_NEAR(points[0].g, 0.2, 1e-3);
    EXPECT_NEAR(points[0].b, 0.3, 1e-3);
    EXPECT_NEAR(points[1].r, 0.9, 1e-3);
    EXPECT_NEAR(points[1].g, 0.8, 1e-3);
    EXPECT_NEAR(points[1].b, 0.7, 1e-3);
}

TEST_F(TessCallbacks, UnreadableVertexDataGivesABlackVertexAtTheOrigin)
{
    double notABuffer[7] = {0.5, 0.5, 0, 1, 1, 1, 0};
    const DataBufferRef b = form->VornCtl3->CreateDataBuffer(GL_DOUBLE, std::vector<double>{0.5, 0.5, 0, 1, 1, 1, 0});
    const auto points = feedBack([&] {
        onTessVertex(notABuffer);
        onTessVertex(b->data());
    });
    ASSERT_EQ(points.size(), 2u);
    const FedBackPoint origin = windowPoint(0, 0);
    EXPECT_NEAR(points[0].x, origin.x, 0.01);
    EXPECT_NEAR(points[0].y, origin.y, 0.01);
    // The refused read left the colour (0, 0, 0), which the next vertex shows.
    EXPECT_NEAR(points[1].r + points[1].g + points[1].b, 0.0, 1e-3);
}

TEST_F(TessCallbacks, WithoutAWindowTheCallbacksDoNothing)
{
    Form1* shown = form;
    form = nullptr;
    delete shown;
    ASSERT_EQ(Form1::defaultInstance(), nullptr);
    // Another context current in feedback mode sees any vertex that leaks out.
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    context.setFormat(format);
    ASSERT_TRUE(context.create());
    ASSERT_TRUE(context.makeCurrent(&surface));
    std::array<GLfloat, 64> buffer{};
    ::glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    ::glRenderMode(GL_FEEDBACK);
    const double data[7] = {0.5, 0.5, 0, 1, 1, 1, 0};
    onTessBegin(GL_POINTS);
    onTessVertex(const_cast<double*>(data));
    onTessEnd();
    EXPECT_EQ(::glRenderMode(GL_RENDER), 0) << "a callback drew without the window";
    EXPECT_EQ(::glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    context.doneCurrent();
}

} // namespace
