// Times the viewer's frames for the full 200 x 200 grid and the 98 x 98 serial
// grid at the design size, through the control and, as the anchor, the same
// calls straight into a plain double-buffered freeglut window of that size,
// in interleaved rounds. Then the real window's CPU use over 10 s of a quiet
// line after one frame, over 10 s of spinning ("x"), and the frames per
// second it shows of a 100 frames/s stream, by default and with --live, and
// the frames per second it takes of well-formed frames sent as fast as it reads.
// The time to find the cell under a pixel on the 100 x 100 grid, the frame
// time with the colour scale, sample marks and read-out all on against all
// off, and the delay from a frame's last byte written to the pseudo-terminal
// to the X server's pixels of the view changing (read with xcb GetImage from
// a second connection), by default and with --live, quiet and with two busy
// processes, split by the window's own frame times into its phases.
// --latency prints only the delays, --frame-time only the frame times.
// Run under a real X server, e.g.:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/viewer/meshscope_bench

#include "Pick.h"
#include "ScenePaint.h"
#include "SceneSetup.h"
#include "SerialInput.h"
#include "ViewerState.h"
#include "VornCtl.h"
#include "MeasureView.h"
#include "frmVimo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <QMouseEvent>
#include <xcb/xcb.h>

#include <GL/freeglut.h>
#include <GL/glx.h>
#undef KeyPress // an X11 macro, in the way of QEvent::KeyPress

#include <fcntl.h>
#include <pty.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
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

// The control's GL methods as plain calls on the current context.
struct DirectGl {
#define VORN_GL(ret, name, params, args)                                                                               \
    ret name params                                                                                                    \
    {                                                                                                                  \
        return ::name args;                                                                                            \
    }
#define VORN_GL_OWN(ret, name, params, args) VORN_GL(ret, name, params, args)
#define VORN_GLU(ret, name, params, args) VORN_GL(ret, name, params, args)
#define VORN_GLU_FREE(ret, name, params, args) VORN_GL(ret, name, params, args)
#define VORN_GLU_OWN(ret, name, params, args) VORN_GL(ret, name, params, args)
#define VORN_GLUT(name, params, args)                                                                                  \
    void name params                                                                                                   \
    {                                                                                                                  \
        ::name args;                                                                                                   \
    }
#include "VornCtlMethods.inc"
    void PresentFrame()
    {
    } // the caller swaps
    double Width() const
    {
        return width;
    }
    double Height() const
    {
        return height;
    }
    double width = 0, height = 0;
};

void fillHeights(meshscope::ViewerState& state, int lo, int hi)
{
    meshscope::applyStartValues(state);
    for (int x = 0; x <= 200; ++x)
        for (int y = 0; y <= 200; ++y)
            state.heights[x][y] = float(25 + 20 * std::sin(x / 15.0) * std::cos(y / 20.0));
    state.drawMinX = state.drawMinY = static_cast<std::int16_t>(lo);
    state.drawMaxX = state.drawMaxY = static_cast<std::int16_t>(hi);
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One scene drawn both ways: through the control in its own window, and
// directly into a freeglut window of the same size.
class PaintRace {
public:
    PaintRace(int lo, int hi)
    {
        fillHeights(*state_, lo, hi);
        *directState_ = *state_;
        ctl_.resize(meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight);
        QObject::connect(&ctl_, &VornCtl::initialization, [this] { meshscope::setUpScene(ctl_, *state_); });
        QObject::connect(&ctl_, &VornCtl::paint, [this] {
            const auto start = Clock::now();
            meshscope::paintScene(ctl_, *state_);
            handlerMs_.push_back(msSince(start));
        });
        ctl_.show();
        waitForFrame(ctl_);

        releaseQtContext();
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL); // as the control's window
        glutInitWindowSize(meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight);
        window_ = glutCreateWindow("direct GL");
        glutDisplayFunc([] {});
        glutReshapeFunc([](int, int) {});
        for (int i = 0; i < 20; ++i)
            glutMainLoopEvent();
        glutSetWindow(window_);
        // freeglut skips glutSetWindow for the window it thinks current, even
        // after Qt made its own context current: keep the handles instead.
        display_ = glXGetCurrentDisplay();
        drawable_ = glXGetCurrentDrawable();
        context_ = glXGetCurrentContext();
        direct_.width = meshscope::frmVimo::designWidth;
        direct_.height = meshscope::frmVimo::designHeight;
        meshscope::setUpScene(direct_, *directState_);
    }
    ~PaintRace()
    {
        releaseQtContext();
        glXMakeCurrent(display_, drawable_, context_);
        glutDestroyWindow(window_);
        glutMainLoopEvent();
    }

    // Milliseconds per presented frame over `frames` frames.
    double controlFrames(int frames)
    {
        const auto start = Clock::now();
        for (int i = 0; i < frames; ++i)
            waitForFrame(ctl_);
        return msSince(start) / frames;
    }
    double directFrames(int frames)
    {
        releaseQtContext();
        glXMakeCurrent(display_, drawable_, context_);
        const auto start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            meshscope::paintScene(direct_, *directState_);
            glutSwapBuffers();
            glFinish(); // the frame is on screen, as framePresented says for the control
            glutMainLoopEvent();
        }
        return msSince(start) / frames;
    }
    double handlerMedianMs() const { return median(handlerMs_); }

private:
    // Qt believes its last context current; let it make it current again.
    static void releaseQtContext()
    {
        if (QOpenGLContext* current = QOpenGLContext::currentContext())
            current->doneCurrent();
    }

    std::unique_ptr<meshscope::ViewerState> state_ = std::make_unique<meshscope::ViewerState>();
    std::unique_ptr<meshscope::ViewerState> directState_ = std::make_unique<meshscope::ViewerState>();
    VornCtl ctl_;
    DirectGl direct_;
    int window_ = 0;
    Display* display_ = nullptr;
    GLXDrawable drawable_ = 0;
    GLXContext context_ = nullptr;
    std::vector<double> handlerMs_;
};

// Interleaved rounds of control and direct frames; prints the medians and the
// spread of the per-round ratio, as the machine is shared.
void racePaint(const char* what, int lo, int hi, int rounds, int frames)
{
    PaintRace race(lo, hi);
    race.controlFrames(2);
    race.directFrames(2);
    std::vector<double> control, direct, ratio;
    for (int r = 0; r < rounds; ++r) {
        control.push_back(race.controlFrames(frames));
        direct.push_back(race.directFrames(frames));
        ratio.push_back(control.back() / direct.back());
    }
    std::printf("%s at %d x %d: control %.1f ms per presented frame (%.1f ms in the paint handler), "
                "direct GL %.1f ms, ratio %.2f (rounds %.2f to %.2f over %d x %d frames)\n",
                what, meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight, median(control),
                race.handlerMedianMs(), median(direct), median(ratio), *std::min_element(ratio.begin(), ratio.end()),
                *std::max_element(ratio.begin(), ratio.end()), rounds, frames);
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// The cell under each of 100 x 100 pixels spread over the design-size view of
// the 100 x 100 grid, with the matrices the paint left, at two views.
void pickFigures()
{
    auto state = std::make_unique<meshscope::ViewerState>();
    fillHeights(*state, 0, 100);
    VornCtl ctl;
    ctl.resize(meshscope::frmVimo::designWidth, meshscope::frmVimo::designHeight);
    meshscope::ViewMatrices view;
    QObject::connect(&ctl, &VornCtl::initialization, [&] { meshscope::setUpScene(ctl, *state); });
    QObject::connect(&ctl, &VornCtl::paint, [&] {
        meshscope::paintScene(ctl, *state);
        ctl.glGetDoublev(GL_PROJECTION_MATRIX, view.projection.data());
        ctl.glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview.data());
        ctl.glGetIntegerv(GL_VIEWPORT, view.viewport.data());
    });
    ctl.show();
    waitForFrame(ctl);
    for (const bool border : {false, true}) {
        state->borderOn = border ? meshscope::kTrue : meshscope::kFalse;
        state->rotation = {60, 0, 40, 0};
        waitForFrame(ctl);
        std::vector<double> us;
        int hits = 0;
        for (int j = 0; j < 100; ++j)
            for (int i = 0; i < 100; ++i) {
                const double x = (i + 0.5) * view.viewport[2] / 100, y = (j + 0.5) * view.viewport[3] / 100;
                const auto start = Clock::now();
                const auto cell = meshscope::pickAt(*state, view, x, y);
                us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                hits += cell.has_value();
            }
        std::printf("cell under the pointer, 100 x 100 grid, border %s, %zu pixels (%d over the surface): "
                    "median %.1f us, 99th percentile %.1f us, longest %.1f us\n",
                    border ? "on" : "off", us.size(), hits, median(us), percentile(us, 0.99),
                    *std::max_element(us.begin(), us.end()));
    }
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU used by this process over `ms` milliseconds of running the event loop, in % of one core.
double cpuPercentOver(int ms)
{
    const double before = cpuSeconds();
    const auto start = Clock::now();
    spin(ms);
    return 100 * (cpuSeconds() - before) / (msSince(start) / 1000);
}

std::string waveFrame(int step)
{
    std::string frame = "<";
    for (int i = 0; i < 9; ++i) {
        const int x = 1 + (i % 3) * 49, y = 1 + (i / 3) * 49;
        const int z = 30 + int(25 * std::sin(step * 0.1 + i));
        frame += std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + (i < 8 ? "; " : ">");
    }
    return frame;
}

// The real window on a pseudo-terminal: one reference frame, then silence;
// Well-formed frames written to the line from a second thread as fast as the
// window reads them, for `seconds`; prints the frames per second taken.
void fullSpeedFrames(meshscope::frmVimo& window, int master, int seconds)
{
    std::string block;
    while (block.size() < 4096)
        block += std::string(meshscope::kReferenceFrame) + "<5,5,50; 9,9,90>";
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    std::atomic<bool> stop{false};
    std::size_t sent = 0;
    std::thread writer([&] {
        std::size_t at = 0;
        while (!stop) {
            const ssize_t n = ::write(master, block.data() + at, block.size() - at);
            if (n > 0) {
                sent += std::size_t(n);
                at = (at + std::size_t(n)) % block.size();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    spin(500);
    const std::int32_t takenBefore = window.session().state().interpCount;
    spin(seconds * 1000);
    const std::int32_t taken = window.session().state().interpCount - takenBefore;
    stop = true;
    writer.join();
    ::fcntl(master, F_SETFL, flags);
    spin(500);
    std::printf("well-formed frames as fast as the window reads, %d s: %.1f frames per s taken, %.1f MB sent\n",
                seconds, taken / double(seconds), sent / 1e6);
}

// Milliseconds (wall and CPU) per presented frame, over interleaved rounds
// of forced redraws with the additions off and on.
struct FrameTimeRounds {
    std::vector<double> off, on, ratios, cpuOff, cpuOn;
};

FrameTimeRounds compareFrameTimes(VornCtl& view, int rounds, int frames, const std::function<void(bool)>& setAll)
{
    FrameTimeRounds times;
    for (int r = 0; r < rounds; ++r)
        for (const bool all : {false, true}) {
            setAll(all);
            const auto start = Clock::now();
            const double cpuBefore = cpuSeconds();
            for (int i = 0; i < frames; ++i)
                waitForFrame(view);
            (all ? times.cpuOn : times.cpuOff).push_back(1000 * (cpuSeconds() - cpuBefore) / frames);
            (all ? times.on : times.off).push_back(msSince(start) / frames);
            if (all)
                times.ratios.push_back(times.on.back() / times.off.back());
        }
    return times;
}

// Milliseconds per presented frame of the window's own paint, over rounds
// of forced redraws with everything beside the picture off and on.
void measureFrameTimes(meshscope::frmVimo& window, int rounds, int frames)
{
    VornCtl& view = *window.viewport();
    const auto setAll = [&](bool on) {
        window.setScaleShown(on);
        window.setSamplesShown(on);
        // The read-out follows a pointer over the middle of the view.
        const QPointF at(view.width() / 2.0, view.height() / 2.0);
        QMouseEvent move(on ? QEvent::MouseMove : QEvent::Leave, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &move);
        spin(100);
    };
    const FrameTimeRounds times = compareFrameTimes(view, rounds, frames, setAll);
    const auto& [off, on, ratios, cpuOff, cpuOn] = times;
    // What the read-out and the scale do after each paint, on its own.
    std::vector<double> afterUs;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        window.measure().afterPaint();
        afterUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    setAll(false);
    std::printf("frame time, 98 x 98 grid at %d x %d: all off %.1f ms, colour scale + samples + read-out on "
                "%.1f ms, ratio %.3f (rounds %.3f to %.3f; CPU %.1f against %.1f ms per frame, ratio %.3f; "
                "medians of %d rounds of %d frames); read-out and scale after a paint: median %.0f us, "
                "99th percentile %.0f us\n",
                window.width(), window.height(), median(off), median(on), median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                median(cpuOn), median(cpuOff), median(cpuOn) / median(cpuOff), rounds, frames, median(afterUs),
                percentile(afterUs, 0.99));
}

// The frame time with the measurement numbers on (the statistics panel, the
// trend over a history of `history` frames, fitted colours) against all off.
void measureNumbersFrameTimes(meshscope::frmVimo& window, int master, int history, int rounds, int frames)
{
    for (int step = 0; step < history; ++step) {
        const std::string frame = waveFrame(step);
        if (::write(master, frame.data(), frame.size()) < 0)
            std::printf("numbers frame time: write failed\n");
        spin(20); // two polls, so each frame is taken as new
    }
    spin(500);
    VornCtl& view = *window.viewport();
    const auto setAll = [&](bool on) {
        window.setStatisticsShown(on);
        window.setTrendShown(on);
        window.setColoursFitted(on);
        spin(100);
    };
    const FrameTimeRounds times = compareFrameTimes(view, rounds, frames, setAll);
    setAll(false);
    std::printf("frame time, 98 x 98 grid at %d x %d, history of %zu frames: all off %.2f ms, statistics + trend + "
                "fitted colours on %.2f ms, ratio %.3f (rounds %.3f to %.3f; CPU %.2f against %.2f ms per frame, "
                "ratio %.3f; medians of %d rounds of %d frames)\n",
                window.width(), window.height(), window.lookBackBar().lookBack().history().size(), median(times.off),
                median(times.on), median(times.ratios), *std::min_element(times.ratios.begin(), times.ratios.end()),
                *std::max_element(times.ratios.begin(), times.ratios.end()), median(times.cpuOn), median(times.cpuOff),
                median(times.cpuOn) / median(times.cpuOff), rounds, frames);
    // Each on its own, to say where a difference comes from.
    const std::pair<const char*, std::function<void(bool)>> each[] = {
        {"statistics", [&](bool on) { window.setStatisticsShown(on); }},
        {"trend", [&](bool on) { window.setTrendShown(on); }},
        {"fitted colours", [&](bool on) { window.setColoursFitted(on); }},
    };
    for (const auto& addition : each) {
        const std::function<void(bool)>& set = addition.second;
        const FrameTimeRounds one = compareFrameTimes(view, rounds, frames, [&set](bool on) {
            set(on);
            spin(100);
        });
        set(false);
        std::printf("  %s alone: ratio %.3f (rounds %.3f to %.3f), CPU ratio %.3f\n", addition.first,
                    median(one.ratios), *std::min_element(one.ratios.begin(), one.ratios.end()),
                    *std::max_element(one.ratios.begin(), one.ratios.end()), median(one.cpuOn) / median(one.cpuOff));
    }
}

// A small square of the view in the X server's pixels, as bytes.
std::string serverPixels(xcb_connection_t* x, xcb_window_t window, int left, int top, int size)
{
    auto* reply = xcb_get_image_reply(x,
                                      xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(left),
                                                    std::int16_t(top), std::uint16_t(size), std::uint16_t(size), ~0u),
                                      nullptr);
    if (!reply)
        return {};
    std::string bytes(reinterpret_cast<const char*>(xcb_get_image_data(reply)),
                      std::size_t(xcb_get_image_data_length(reply)));
    free(reply);
    return bytes;
}

std::int64_t nsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The real window on a pseudo-terminal in a scratch folder with a one-cell
// data file, shown, after one reference frame. With a times file, the window
// writes its frame times there.
class PtyWindow {
public:
    PtyWindow(bool live, const QString& timesFile = {})
    {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            std::printf("real window: openpty failed\n");
            return;
        }
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        previous_ = QDir::currentPath();
        QDir::setCurrent(scratch_.path());
        // A one-cell data file, so the window starts without a missing-file line.
        QFile data(QStringLiteral("datafile.dat"));
        if (data.open(QIODevice::WriteOnly))
            data.write("1 1 0\n");
        data.close();
        if (timesFile.isEmpty())
            qunsetenv("MESHSCOPE_FRAME_TIMES");
        else
            qputenv("MESHSCOPE_FRAME_TIMES", timesFile.toLocal8Bit());
        window_ = std::make_unique<meshscope::frmVimo>(2, QString::fromLatin1(name));
        qunsetenv("MESHSCOPE_FRAME_TIMES");
        window_->setLive(live); // as the program sets it, before the window is shown
        window_->load();
        window_->show();
        spin(1000);
        write(meshscope::kReferenceFrame);
        spin(1000);
    }
    ~PtyWindow()
    {
        window_.reset();
        QDir::setCurrent(previous_);
        if (master_ >= 0) {
            ::close(master_);
            ::close(slave_);
        }
    }
    bool ok() const { return master_ >= 0; }
    meshscope::frmVimo& window() { return *window_; }
    int master() const { return master_; }
    void write(std::string_view bytes)
    {
        if (::write(master_, bytes.data(), bytes.size()) < 0)
            std::printf("real window: write failed\n");
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QTemporaryDir scratch_;
    QString previous_;
    std::unique_ptr<meshscope::frmVimo> window_;
};

// The window's own times of one presented frame, in steady-clock nanoseconds.
struct FrameTimesLine {
    std::int64_t pollStart = 0, pollEnd = 0, paintStart = 0, swapped = 0, ended = 0;
};

std::vector<FrameTimesLine> readFrameTimes(const QString& path)
{
    std::vector<FrameTimesLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        FrameTimesLine line;
        long long v[5] = {};
        if (std::sscanf(file.readLine().constData(), "%lld %lld %lld %lld %lld", &v[0], &v[1], &v[2], &v[3], &v[4])
            == 5) {
            line = {v[0], v[1], v[2], v[3], v[4]};
            lines.push_back(line);
        }
    }
    return lines;
}

// Two processes that keep both cores busy while they live.
class BusyProcesses {
public:
    explicit BusyProcesses(int count)
    {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long n = 0;
                for (;;)
                    n = n + 1;
            }
            if (pid > 0)
                pids_.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> pids_;
};

void printPhase(const char* what, const std::vector<double>& ms)
{
    std::printf("  %-34s median %5.1f ms, 99th percentile %5.1f ms, longest %6.1f ms\n", what, median(ms),
                percentile(ms, 0.99), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
}

// Writes the frame at once, or paced as the device's line carries it: four
// bytes at a time, each group when the line would have sent it.
bool writeFrame(int master, const std::string& frame, bool paced)
{
    if (!paced)
        return ::write(master, frame.data(), frame.size()) >= 0;
    constexpr std::int64_t nsPerByte = 10 * 1'000'000'000LL / 115200;
    const std::int64_t start = nsNow();
    for (std::size_t at = 0; at < frame.size(); at += 4) {
        while (nsNow() - start < std::int64_t(at) * nsPerByte)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (::write(master, frame.data() + at, std::min<std::size_t>(4, frame.size() - at)) < 0)
            return false;
    }
    return true;
}

// Two frames that differ under the middle of the view are written in turn;
// a second thread writes each and times it until the server's pixels there
// change, while this thread runs the window. With --live, the window's own
// times split each delay into the wait for the poll, the poll's work, the
// wait for the paint, the paint up to the swap, and the present until the
// server's pixels change. Paced, the frame's bytes come as a device at
// 115200 baud sends them (10 bits a byte), and the delay counts from its last.
void byteToScreen(bool live, int busy, int frames, bool paced = false)
{
    QTemporaryDir timesDir;
    const QString timesFile = timesDir.filePath(QStringLiteral("frame-times"));
    PtyWindow pty(live, timesFile);
    if (!pty.ok())
        return;
    meshscope::frmVimo& window = pty.window();
    const std::string low = "<1,1,10; 98,98,10; 1,98,10; 98,1,10; 50,50,10>";
    const std::string high = "<1,1,10; 98,98,10; 1,98,10; 98,1,10; 50,50,90>";
    const double ratio = window.devicePixelRatioF();
    const int size = 24;
    const int left = int(window.width() * ratio / 2) - size / 2;
    const int top = int(window.height() * ratio * 0.45) - size / 2;
    const xcb_window_t id = xcb_window_t(window.winId());
    std::atomic<bool> done{false};
    struct Seen {
        std::int64_t written = 0, seen = 0;
    };
    std::vector<Seen> seen;
    int missed = 0;
    std::vector<std::int64_t> polls;
    const auto pollCounter
        = QObject::connect(&window.session().pollTimer(), &QTimer::timeout, [&polls] { polls.push_back(nsNow()); });
    const BusyProcesses load(busy);
    std::thread observer([&] {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        for (int i = 0; i <= frames; ++i) {
            const std::string& frame = i % 2 ? high : low;
            const std::string before = serverPixels(x, id, left, top, size);
            if (!writeFrame(pty.master(), frame, paced))
                break;
            const std::int64_t written = nsNow();
            bool changed = false;
            // Polled every half millisecond: a busy loop would take a core
            // from the window and the server it measures.
            while (nsNow() - written < 2'000'000'000 && !changed) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                changed = serverPixels(x, id, left, top, size) != before;
            }
            if (i > 0) { // the first only sets the start
                if (changed)
                    seen.push_back({written, nsNow()});
                else
                    ++missed;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        xcb_disconnect(x);
        done = true;
    });
    while (!done)
        spin(20);
    observer.join();
    QObject::disconnect(pollCounter);
    std::vector<double> pollGaps;
    for (std::size_t i = 1; i < polls.size(); ++i)
        pollGaps.push_back(double(polls[i] - polls[i - 1]) / 1e6);

    const auto ms = [](std::int64_t from, std::int64_t to) { return double(to - from) / 1e6; };
    std::vector<double> delays, pollWait, pollWork, paintWait, paint, present, after;
    const std::vector<FrameTimesLine> times = readFrameTimes(timesFile);
    for (const Seen& frame : seen) {
        delays.push_back(ms(frame.written, frame.seen));
        // The paint of the poll that took the frame: the first taking poll ending after the write.
        const auto line = std::find_if(times.begin(), times.end(), [&](const FrameTimesLine& t) {
            return t.pollStart != 0 && t.swapped != 0 && t.pollEnd > frame.written;
        });
        if (line == times.end() || line->paintStart > frame.seen)
            continue;
        // The server's pixels can change before the swap returns: then the
        // present counts nothing and the paint ends at the change.
        const std::int64_t swapped = std::min(line->swapped, frame.seen);
        pollWait.push_back(ms(frame.written, std::max(line->pollStart, frame.written)));
        pollWork.push_back(ms(std::max(line->pollStart, frame.written), line->pollEnd));
        paintWait.push_back(ms(line->pollEnd, line->paintStart));
        paint.push_back(ms(line->paintStart, swapped));
        present.push_back(ms(swapped, frame.seen));
        after.push_back(ms(line->swapped, line->ended));
    }
    QString loadText = busy ? QStringLiteral(", %1 busy processes").arg(busy) : QString();
    if (paced)
        loadText += QStringLiteral(", paced at 115200 baud");
    std::printf("byte to screen, 98 x 98 grid, %s%s: median %.1f ms, 99th percentile %.1f ms, longest %.1f ms "
                "over %zu frames (%d unseen)\n",
                live ? "--live" : "default", loadText.toLatin1().constData(), median(delays), percentile(delays, 0.99),
                delays.empty() ? 0.0 : *std::max_element(delays.begin(), delays.end()), delays.size(), missed);
    if (!live || pollWait.empty())
        return;
    printPhase("wait for the poll", pollWait);
    printPhase("poll (parse, interpolation, ...)", pollWork);
    printPhase("wait until the paint starts", paintWait);
    printPhase("paint up to the swap", paint);
    printPhase("present until the pixels change", present);
    printPhase("(time between polls)", pollGaps);
    printPhase("(after the swap: read-out, scale)", after);
    std::printf("  (%zu of the frames split by the window's own times)\n", pollWait.size());
}

// The real window on a pseudo-terminal: one reference frame, then silence;
// then spinning about x; then a stream of 100 frames a second; then frames at
// full speed.
void realWindow(int seconds)
{
    PtyWindow pty(false);
    if (!pty.ok())
        return;
    meshscope::frmVimo& window = pty.window();
    const int master = pty.master();
    const std::int32_t takesBefore = window.session().state().interpCount;
    const double quiet = cpuPercentOver(seconds * 1000);
    const std::int32_t takes = window.session().state().interpCount - takesBefore;
    std::printf("quiet line after one frame, %d s: CPU %.1f %% of one core, %.1f takes of the frame per s\n", seconds,
                quiet, takes / double(seconds));

    auto typeX = [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(window.viewport(), &press);
    };
    typeX();
    int spinFrames = 0;
    auto counter = QObject::connect(window.viewport(), &VornCtl::framePresented, [&] { ++spinFrames; });
    const double spinning = cpuPercentOver(seconds * 1000);
    typeX();
    std::printf("spinning about x, %d s: CPU %.1f %% of one core, %.1f frames per s on screen\n", seconds, spinning,
                spinFrames / double(seconds));

    QObject::disconnect(counter);

    // The same stream by default (the picture at the animation ticks) and
    // with --live (each new frame painted as the poll takes it).
    int step = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const std::string next = waveFrame(step++);
        if (::write(master, next.data(), next.size()) < 0)
            feed.stop();
    });
    int shown = 0;
    counter = QObject::connect(window.viewport(), &VornCtl::framePresented, [&] { ++shown; });
    for (const bool live : {false, true}) {
        window.setLive(live);
        feed.start(10);
        spin(500);
        shown = 0;
        const std::int32_t acceptedBefore = window.session().state().interpCount;
        const double streaming = cpuPercentOver(seconds * 1000);
        feed.stop();
        std::printf("stream of 100 frames per s, 98 x 98 grid, %s, %d s: %.1f frames per s accepted, "
                    "%.1f per s on screen, CPU %.1f %% of one core\n",
                    live ? "--live" : "default", seconds,
                    (window.session().state().interpCount - acceptedBefore) / double(seconds), shown / double(seconds),
                    streaming);
        spin(500);
    }
    QObject::disconnect(counter);
    window.setLive(false);
    fullSpeedFrames(window, master, seconds);
    spin(500); // a quiet moment after the flood
    measureFrameTimes(window, 15, 20);
    measureNumbersFrameTimes(window, master, 200, 31, 20);
}

// The delay from byte to screen with --live, quiet (the frame written at
// once and paced as the device sends it) and with two busy
// processes, and by default.
void latencyFigures(int frames)
{
    byteToScreen(true, 0, frames);
    byteToScreen(true, 0, frames, true);
    byteToScreen(true, 2, frames);
    byteToScreen(false, 0, frames);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meshscope_bench"));

    // freeglut for the anchor window (and the control's GLUT shapes).
    if (!glutGet(GLUT_INIT_STATE)) {
        int glutArgc = 1;
        char* glutArgv[] = {argv[0], nullptr};
        glutInit(&glutArgc, glutArgv);
    }
    // --latency: only the byte-to-screen figures; --frame-time: only the
    // frame time with and without the additions.
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--latency"))) {
        latencyFigures(200);
        return 0;
    }
    if (args.contains(QStringLiteral("--frame-time"))) {
        PtyWindow pty(false);
        measureFrameTimes(pty.window(), 15, 20);
        measureNumbersFrameTimes(pty.window(), pty.master(), 200, 31, 20);
        return 0;
    }
    pickFigures();
    racePaint("full 200 x 200 grid (40000 cells)", 0, 200, 5, 10);
    racePaint("serial 98 x 98 grid (9409 cells)", 1, 98, 5, 20);
    realWindow(10);
    latencyFigures(200);
    return 0;
}
