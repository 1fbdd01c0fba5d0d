// Times the viewer's paint for the full 200 x 200 grid and the 98 x 98 serial
// grid at the design size, and measures the window's CPU use over 10 s of a
// quiet line after one frame (the last frame is taken again every tick).
// Run under a real X server, e.g.:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/viewer/meshscope_bench

#include "ScenePaint.h"
#include "SceneSetup.h"
#include "ViewerState.h"
#include "VornCtl.h"
#include "frmVimo.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitForFrame(VornCtl& ctl)
{
    QEventLoop loop;
    bool presented = false;
    auto c = QObject::connect(&ctl, &VornCtl::framePresented, &loop, [&] {
        presented = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    ctl.RequestRedraw();
    loop.exec();
    QObject::disconnect(c);
    return presented;
}

struct PaintFigures {
    double medianMs;
    double meanMs;
    double frameMs;
};

// Paints `frames` frames of the drawn range [lo, hi] in both directions and
// returns the time spent inside the paint handler and per presented frame.
PaintFigures timePaint(int lo, int hi, int frames)
{
    auto state = std::make_unique<meshscope::ViewerState>();
    meshscope::applyStartValues(*state);
    for (int x = 0; x <= 200; ++x)
        for (int y = 0; y <= 200; ++y)
            state->heights[x][y] = float(25 + 20 * std::sin(x / 15.0) * std::cos(y / 20.0));
    state->drawMinX = state->drawMinY = static_cast<std::int16_t>(lo);
    state->drawMaxX = state->drawMaxY = static_cast<std::int16_t>(hi);

    VornCtl ctl;
    ctl.resize(meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight);
    std::vector<double> paintMs;
    QObject::connect(&ctl, &VornCtl::initialization, [&] { meshscope::setUpScene(ctl, *state); });
    QObject::connect(&ctl, &VornCtl::paint, [&] {
        const auto start = Clock::now();
        meshscope::paintScene(ctl, *state);
        paintMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    });
    ctl.show();
    waitForFrame(ctl);
    waitForFrame(ctl);
    paintMs.clear();

    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < frames; ++i)
        waitForFrame(ctl);
    const double frameMs = double(wall.elapsed()) / frames;

    std::sort(paintMs.begin(), paintMs.end());
    double sum = 0;
    for (double ms : paintMs)
        sum += ms;
    return {paintMs[paintMs.size() / 2], sum / double(paintMs.size()), frameMs};
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The real window on a pseudo-terminal: one reference frame, then silence.
void quietLine(int seconds)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::printf("quiet line: openpty failed\n");
        return;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);

    QTemporaryDir scratch;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    {
        meshscope::frmVimo window(2, QString::fromLatin1(name));
        window.load();
        window.show();
        spin(1000);
        const char frame[] = "<66,66,70; 100,100,10; 1,66,10; 100,33,10; 66,100,10>";
        if (::write(master, frame, sizeof frame - 1) < 0)
            std::printf("quiet line: write failed\n");
        spin(1000);

        const std::int32_t takesBefore = window.state().interpCount;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        spin(seconds * 1000);
        const double cpu = cpuSeconds() - cpuBefore;
        const double wallSeconds = double(wall.elapsed()) / 1000;
        const std::int32_t takes = window.state().interpCount - takesBefore;
        std::printf("quiet line after one frame, %.1f s: CPU %.1f %% of one core, %d takes of the frame (%.1f per s)\n",
                    wallSeconds, 100 * cpu / wallSeconds, takes, takes / wallSeconds);
    }
    QDir::setCurrent(previous);
    ::close(master);
    ::close(slave);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meshscope_bench"));

    const int frames = 20;
    const PaintFigures full = timePaint(0, 200, frames);
    std::printf("paint, full 200 x 200 grid (40000 cells) at %d x %d: median %.1f ms, mean %.1f ms in the handler; %.1f ms per presented frame\n",
                meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight, full.medianMs, full.meanMs, full.frameMs);
    const PaintFigures serial = timePaint(1, 98, frames);
    std::printf("paint, serial 98 x 98 grid (9409 cells): median %.1f ms, mean %.1f ms in the handler; %.1f ms per presented frame\n",
                serial.medianMs, serial.meanMs, serial.frameMs);
    quietLine(10);
    return 0;
}
