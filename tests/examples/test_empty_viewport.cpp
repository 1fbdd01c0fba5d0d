// A viewport left without area must not stop the rest of the window.
#include "StderrCapture.h"
#include "WindowFixture.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(EmptyViewport, ShapesPaintWithAnEmptyGlViewportIsReportedAndDrawsNothing)
{
    const std::unique_ptr<Form1> form = showForm();
    ASSERT_NE(form, nullptr);

    StderrCapture capture;
    form->VornCtl1->glViewport(0, 0, 0, 329);
    QSignalSpy shapes(form->VornCtl1, &VornCtl::framePresented);
    QSignalSpy banner(form->VornCtl4, &VornCtl::framePresented);
    form->VornCtl1->RequestRedraw();
    form->VornCtl4->RequestRedraw();
    EXPECT_TRUE(banner.wait(10000)) << "the banner stopped drawing";
    QTest::qWait(200);
    const std::string errors = capture.text();

    EXPECT_EQ(shapes.count(), 0);
    EXPECT_NE(errors.find("Vorn: VornCtl1 paint: cannot draw the passes of an empty "
                          "viewport (0 x 329 pixels)"),
              std::string::npos)
        << errors;
    // The last presented frame, with its shapes, stays on screen.
    const QImage shown = part(grabScreen(*form), *form->VornCtl1);
    int lit = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            lit += qGray(shown.pixel(x, y)) > 40 ? 1 : 0;
    EXPECT_GT(lit, shown.width() * shown.height() / 10);
}

} // namespace
