// The control's life in a real window: its three events (initialisation,
// paint, frame presented), errors inside handlers, the grab of a shown frame,
// and calls made outside the events.

#include "FrameGrab.h"
#include "test_vornctl_support.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

TEST(VornCtlEvents, InitialisationComesOnceBeforeThePaintsAndRedrawBringsAPaint)
{
    ViewportHost host;
    std::vector<char> order;
    host.onInit = [&](VornCtl&) { order.push_back('i'); };
    host.onPaint = [&](VornCtl& ctl) {
        order.push_back('p');
        fill(ctl, 0, 0, 0);
        ctl.PresentFrame();
    };
    ASSERT_TRUE(host.show());
    const auto paintsAfterShow = order.size();
    ASSERT_TRUE(host.redraw());
    ASSERT_TRUE(host.redraw());

    ASSERT_GE(order.size(), paintsAfterShow + 2);
    EXPECT_EQ(order.front(), 'i');
    EXPECT_EQ(std::count(order.begin(), order.end(), 'i'), 1);
}

TEST(VornCtlEvents, PresentedFrameShowsAndAFailedPaintKeepsIt)
{
    ViewportHost host;
    bool fail = false;
    int failedPaints = 0;
    host.onPaint = [&](VornCtl& ctl) {
        if (fail) {
            ++failedPaints;
            fill(ctl, 1, 0, 0); // half-drawn red that must not reach the screen
            ctl.glBegin(GL_TRIANGLES);
            ctl.glVertex2d(-1, -1);
            throw std::runtime_error("surface data missing");
        }
        fill(ctl, 0, 1, 0);
        ctl.PresentFrame();
    };
    ASSERT_TRUE(host.show());
    EXPECT_TRUE(near(host.screen().pixel(80, 60), 0, 255, 0));

    fail = true;
    testing::internal::CaptureStderr();
    host.ctl->RequestRedraw();
    ASSERT_TRUE(QTest::qWaitFor([&] { return failedPaints > 0; }, 5000));
    QTest::qWait(100); // let the window compose whatever it would show
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, "vorntest: VornCtl1 paint: surface data missing\n");
    EXPECT_TRUE(near(host.screen().pixel(80, 60), 0, 255, 0));

    // A grab waiting for the next frame gives up when none is shown...
    QImage grabbed;
    int missed = 0;
    const auto grab = [&](int waitMs) {
        vorn::grabWhenShown(
            host.window, host.ctl, &VornCtl::framePresented, [&](const QImage& picture) { grabbed = picture; },
            [&] { ++missed; }, waitMs);
        host.ctl->RequestRedraw();
    };
    grab(200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return missed > 0; }, 10000));
    EXPECT_TRUE(grabbed.isNull());

    // The control keeps working, even after a handler stopped inside glBegin.
    fail = false;
    host.onPaint = [&](VornCtl& ctl) {
        fill(ctl, 0, 0, 1);
        EXPECT_EQ(ctl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        ctl.PresentFrame();
    };
    ASSERT_TRUE(host.redraw());
    EXPECT_TRUE(near(host.screen().pixel(80, 60), 0, 0, 255));

    // ...and takes the window as the screen shows it once one is.
    grab(vorn::kFrameWaitMs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !grabbed.isNull(); }, 10000));
    EXPECT_TRUE(near(grabbed.pixel(80, 60), 0, 0, 255));
    EXPECT_EQ(missed, 1);
}

TEST(VornCtlEvents, ErrorInInitialisationIsReportedAndPaintsStillRun)
{
    ViewportHost host;
    host.onInit = [](VornCtl&) { throw std::runtime_error("no light"); };
    host.onPaint = [](VornCtl& ctl) {
        fill(ctl, 1, 1, 1);
        ctl.PresentFrame();
    };
    testing::internal::CaptureStderr();
    ASSERT_TRUE(host.show());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vorntest: VornCtl1 initialization: no light\n");
    EXPECT_TRUE(near(host.screen().pixel(10, 10), 255, 255, 255));
}

TEST(VornCtlEvents, CallsFromATimerActOnTheirOwnControl)
{
    ViewportHost host(200, 100);
    auto* second = new VornCtl(&host.window);
    second->setGeometry(100, 0, 100, 100);
    host.ctl->resize(100, 100);
    host.onPaint = [](VornCtl& ctl) { ctl.PresentFrame(); };
    QObject::connect(second, &VornCtl::paint, second, [second] { second->PresentFrame(); });
    ASSERT_TRUE(host.show());
    QTest::qWait(100);

    QSignalSpy firstShown(host.ctl, &VornCtl::framePresented);
    QSignalSpy secondShown(second, &VornCtl::framePresented);
    GLint viewport[4] = {};
    QTimer::singleShot(0, [&] {
        fill(*second, 0, 0, 1);   // makes the second control's context current
        fill(*host.ctl, 1, 1, 0); // must switch back to the first
        host.ctl->glGetIntegerv(GL_VIEWPORT, viewport);
        second->PresentFrame();
        host.ctl->PresentFrame();
    });
    ASSERT_TRUE(firstShown.wait(5000));
    if (secondShown.isEmpty()) {
        ASSERT_TRUE(secondShown.wait(5000));
    }

    const QImage shown = host.window.screen()->grabWindow(host.window.winId(), 0, 0, 200, 100).toImage();
    EXPECT_TRUE(near(shown.pixel(50, 50), 255, 255, 0));
    EXPECT_TRUE(near(shown.pixel(150, 50), 0, 0, 255));
    EXPECT_EQ(viewport[2], 100);
}

TEST(VornCtlEvents, ViewportStaysWhereGlLeavesItWhenTheControlResizes)
{
    // A window's context sets its viewport once, when it is first made
    // current; later the program's glViewport alone changes it.
    ViewportHost host(160, 120);
    GLint box[4] = {};
    host.onPaint = [&](VornCtl& ctl) {
        ctl.glGetIntegerv(GL_VIEWPORT, box);
        ctl.PresentFrame();
    };
    ASSERT_TRUE(host.show());
    EXPECT_EQ(box[2], 160);
    EXPECT_EQ(box[3], 120);
    ASSERT_TRUE(host.nextFrame([&] { host.ctl->resize(200, 150); }));
    EXPECT_EQ(box[2], 160);
    EXPECT_EQ(box[3], 120);

    host.ctl->glViewport(10, 20, 50, 60); // outside the events, as a timer would
    ASSERT_TRUE(host.nextFrame([&] { host.ctl->resize(180, 140); }));
    EXPECT_EQ(std::vector<GLint>(box, box + 4), (std::vector<GLint>{10, 20, 50, 60}));
}

TEST(VornCtlEvents, CallsBeforeTheContextExistsAreHarmless)
{
    testApp();
    VornCtl ctl; // never shown: no context
    GLint untouched[4] = {7, 7, 7, 7};
    ctl.glClearColor(1, 0, 0, 1);
    ctl.glClear(GL_COLOR_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
    ctl.glAccum(GL_RETURN, 1);
    ctl.glGetIntegerv(GL_VIEWPORT, untouched);
    ctl.glutSolidSphere(1, 8, 8);
    ctl.DrawTextAt(0, 0, QStringLiteral("early"));
    ctl.PresentFrame();
    ctl.RequestRedraw();
    EXPECT_EQ(ctl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(ctl.glGetString(GL_VENDOR), nullptr);
    EXPECT_EQ(untouched[0], 7);
    EXPECT_EQ(untouched[3], 7);
    // GLU's own objects work without a context.
    GLUtesselator* tess = ctl.gluNewTess();
    EXPECT_NE(tess, nullptr);
    ctl.gluDeleteTess(tess);
}

TEST(VornCtlEvents, PlacementIsInTheFormsScaleUnits)
{
    testApp();
    QWidget form;
    VornCtl ctl(&form);
    ctl.setScaleUnitsPerPixel(15); // twips at 96 DPI
    ctl.setLeft(150);
    ctl.setTop(300);
    ctl.setWidth(5055);
    ctl.setHeight(4935);
    EXPECT_EQ(ctl.geometry(), QRect(10, 20, 337, 329));
    EXPECT_DOUBLE_EQ(ctl.Width(), 5055);
    EXPECT_DOUBLE_EQ(ctl.Left(), 150);
}
