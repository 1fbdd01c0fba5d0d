// Frame times of the viewport control under a real X server:
//   - an eight-pass jittered accumulation frame (ten accumulation operations)
//     in a 337 x 329 viewport;
//   - a clear-and-present frame in a 1072 x 709 viewport;
//   - a text frame.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_vornctl -platform xcb

#include "VornCtl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

// Average milliseconds from RequestRedraw to a presented frame.
double frameMilliseconds(int width, int height, const std::function<void(VornCtl&)>& body, int frames = 40)
{
    QWidget window;
    window.resize(width, height);
    VornCtl ctl(&window);
    ctl.setGeometry(0, 0, width, height);
    QObject::connect(&ctl, &VornCtl::paint, [&] {
        body(ctl);
        ctl.PresentFrame();
    });
    window.show();
    QSignalSpy presented(&ctl, &VornCtl::framePresented);
    if (!QTest::qWaitForWindowExposed(&window) || !(presented.count() > 0 || presented.wait(5000)))
        return -1;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i) {
        presented.clear();
        ctl.RequestRedraw();
        if (!presented.wait(5000))
            return -1;
    }
    return timer.nsecsElapsed() / 1e6 / frames;
}

void accumulationFrame(VornCtl& ctl)
{
    ctl.glClear(GL_ACCUM_BUFFER_BIT);
    for (int pass = 0; pass < 8; ++pass) {
        ctl.glClearColor(0, 0, 0, 0);
        ctl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ctl.glColor3d(1, 1, 0);
        ctl.glutSolidSphere(0.8, 16, 16);
        ctl.glAccum(GL_ACCUM, 0.125f);
    }
    ctl.glAccum(GL_RETURN, 1.0f);
}

void clearFrame(VornCtl& ctl)
{
    ctl.glClearColor(0.2f, 0.2f, 0.2f, 1);
    ctl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void textFrame(VornCtl& ctl)
{
    clearFrame(ctl);
    ctl.SetTextFont(QStringLiteral("Times New Roman"), 36, 0);
    ctl.glColor3f(1, 1, 0);
    ctl.DrawTextAt(-0.4, -0.6, QStringLiteral("Vorn-Control"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::printf("accumulation, 8 passes, 337 x 329:  %.2f ms per frame\n",
                frameMilliseconds(337, 329, accumulationFrame));
    std::printf("clear and present, 1072 x 709:      %.2f ms per frame\n", frameMilliseconds(1072, 709, clearFrame));
    std::printf("text banner, 684 x 69:              %.2f ms per frame\n", frameMilliseconds(684, 69, textFrame));
    return 0;
}
