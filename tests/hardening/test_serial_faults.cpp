// The meshscope window on a misbehaving serial line, through real
// pseudo-terminals: floods of noise, frames mixed with noise, a device that
// hangs up and returns, and a port that another viewer holds.

#include "FrameNoise.h"
#include "HardeningSupport.h"

#include "SerialInput.h"

#include <QProcess>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

using namespace hardening;
using meshscope::frmVimo;

namespace {

const std::string referenceFrame(meshscope::kReferenceFrame);

// Well-formed frames, the reference and one other in turn, about 4 KiB.
std::string frames(std::mt19937&, std::size_t length)
{
    std::string text;
    while (text.size() < length)
        text += referenceFrame + "<5,5,50; 9,9,90>";
    return text;
}

// Feeds blocks to a device from a second thread as fast as the reader takes them.
class Flood {
public:
    using Blocks = std::string (*)(std::mt19937&, std::size_t);
    Flood(const Device& device, Blocks blocks)
        : thread_([this, &device, blocks] {
              std::mt19937 random(7);
              while (!stop_) {
                  const std::string block = blocks(random, 4096);
                  device.send(block, &stop_);
                  sent_ += block.size();
              }
          })
    {
    }
    ~Flood() { stop(); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::size_t sent() const { return sent_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

class SerialFaults : public ::testing::Test {
protected:
    void SetUp() override { app(); }
    ScratchDir scratch{smallHillFile()};
};

// 10 s of noise and then 10 s of well-formed frames, each as fast as the
// window reads: the status line keeps moving, memory stays flat, and frames
// are still taken however much each tick brings (the benchmark prints the rate).
TEST_F(SerialFaults, FullSpeedFloodsLeaveTheWindowTakingFramesWithMemoryBounded)
{
    Device device;
    auto window = openWindow<frmVimo>(device.path());
    QTest::keyClick(window->viewport(), 'z'); // spin, so the status line moves

    auto flood = std::make_unique<Flood>(device, frameNoise);
    QTest::qWait(1000);
    const long startKb = residentKb(::getpid());
    long peakKb = startKb;
    std::size_t sent = 0;

    // 20 s in four quarters: the status line must change within each, and
    // frames must be taken within each quarter of frames.
    int quartersWithChange = 0;
    int quartersTakingFrames = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        if (quarter == 2) {
            flood->stop();
            sent += flood->sent();
            flood = std::make_unique<Flood>(device, frames);
        }
        const std::int32_t framesBefore = window->session().state().interpCount;
        const std::string before = statusOf(*window);
        bool changed = false;
        for (int second = 0; second < 5; ++second) {
            QTest::qWait(1000);
            changed = changed || statusOf(*window) != before;
            peakKb = std::max(peakKb, residentKb(::getpid()));
        }
        quartersWithChange += changed ? 1 : 0;
        quartersTakingFrames += quarter >= 2 && window->session().state().interpCount > framesBefore ? 1 : 0;
    }
    flood->stop();
    sent += flood->sent();

    std::printf("full-speed floods (in-process): %zu bytes, resident %ld kB at start, %ld kB at peak\n", sent, startKb,
                peakKb);
    EXPECT_EQ(quartersWithChange, 4);
    EXPECT_GT(sent, 2u << 20) << "the viewer stopped reading";
    // Without the bound taken care of, the flood starved the parser of frames.
    EXPECT_EQ(quartersTakingFrames, 2);
    EXPECT_LE(window->session().state().rxBuffer.size(), meshscope::kRxBufferLimit);
    if (!kAddressSanitizer) {
        EXPECT_LT(peakKb - startKb, 20 * 1024);
    }

    window->close();
    EXPECT_FALSE(window->session().inputLine().PortOpen());
}

// Space stops reading the line; what arrives meanwhile is thrown away at the
// next space, so a flood while paused must not pile up in memory.
TEST_F(SerialFaults, FloodWhilePausedKeepsMemoryFlatAndFramesFollowTheResume)
{
    Device device;
    auto window = openWindow<frmVimo>(device.path());
    QTest::keyClick(window->viewport(), ' ');
    ASSERT_FALSE(window->session().pollTimer().isActive());

    Flood flood(device, frames);
    QTest::qWait(1000);
    const long startKb = residentKb(::getpid());
    long peakKb = startKb;
    const auto countedBefore = window->session().state().interpCount;
    for (int second = 0; second < 30; ++second) {
        QTest::qWait(1000);
        peakKb = std::max(peakKb, residentKb(::getpid()));
    }
    EXPECT_EQ(window->session().state().interpCount, countedBefore) << "frames were taken while paused";

    QTest::keyClick(window->viewport(), ' ');
    EXPECT_TRUE(waitFor([&] { return window->session().state().interpCount > countedBefore + 10; }));
    flood.stop();
    std::printf("flood while paused: %zu bytes in 31 s, resident %ld kB at start, %ld kB at peak\n", flood.sent(),
                startKb, peakKb);
    EXPECT_GT(flood.sent(), 1u << 20) << "the viewer stopped draining the line";
    if (!kAddressSanitizer) {
        EXPECT_LT(peakKb - startKb, 20 * 1024);
    }

    device.send("<7,7,70;8,8,80;9,9,99>");
    EXPECT_TRUE(
        waitFor([&] { return window->session().state().lastPoint == 2 && window->session().state().ptZ[2] == 99; }));
}

// The real program under the same flood, for its memory and a clean exit.
TEST_F(SerialFaults, NoiseFloodedProgramKeepsItsMemoryAndExitsCleanly)
{
    Device device;
    QProcess viewer;
    viewer.setWorkingDirectory(scratch.path());
    const QString shot = scratch.path() + QStringLiteral("/flood.png");
    viewer.start(QStringLiteral(MESHSCOPE_PATH),
                 {QStringLiteral("--port"), QString::fromStdString(device.path()), QStringLiteral("--screenshot"), shot,
                  QStringLiteral("--screenshot-delay"), QStringLiteral("20000")});
    ASSERT_TRUE(viewer.waitForStarted(10000));
    const pid_t pid = static_cast<pid_t>(viewer.processId());

    // A frame after each block of noise: the screenshot's delay counts from
    // the line's first frame.
    Flood flood(device,
                [](std::mt19937& random, std::size_t length) { return frameNoise(random, length) + referenceFrame; });
    QThread::sleep(2);
    const long startKb = residentKb(pid);
    long peakKb = startKb;
    long lastKb = startKb;
    // It exits by itself once its 20 s screenshot delay has passed.
    for (int second = 0; second < 120 && !viewer.waitForFinished(1000); ++second) {
        if (const long kb = residentKb(pid); kb > 0) {
            lastKb = kb;
            peakKb = std::max(peakKb, kb);
        }
    }
    flood.stop();
    if (viewer.state() != QProcess::NotRunning) {
        viewer.kill();
        viewer.waitForFinished(5000);
        FAIL() << "meshscope did not finish under the flood";
    }
    const std::string errors = viewer.readAllStandardError().toStdString();

    std::printf("noise flood (meshscope): %zu bytes, resident %ld kB after 2 s, %ld kB at peak, %ld kB at the end\n",
                flood.sent(), startKb, peakKb, lastKb);
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit) << errors;
    EXPECT_EQ(viewer.exitCode(), 0) << errors;
    EXPECT_TRUE(QFile::exists(shot)) << errors;
    EXPECT_EQ(linesWith(errors, "meshscope:"), 0) << errors;
    if (!kAddressSanitizer) {
        EXPECT_LT(peakKb - startKb, 20 * 1024);
    }
}

TEST_F(SerialFaults, DeviceThatHangsUpMidFrameIsReportedOnceReopenedAndItsHalfFrameDropped)
{
    StableLink link;
    auto first = std::make_unique<Device>();
    link.pointAt(first->path());
    StderrCapture errors;
    auto window = openWindow<frmVimo>(link.path());
    ASSERT_TRUE(window->session().inputLine().PortOpen()) << errors.text();
    QTest::keyClick(window->viewport(), 'z');

    first->send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return window->session().state().okCount > 0; }));
    first->send("<10,10,90; 90,90,90; 50,5"); // the device dies in the middle of a frame
    ASSERT_TRUE(waitFor([&] { return window->session().state().rxBuffer == "<10,10,90; 90,90,90; 50,5"; }));
    const auto surface = std::make_unique<meshscope::HeightGrid>(window->session().state().heights);
    const auto counted = window->session().state().interpCount;
    first->hangUp();
    link.remove();

    ASSERT_TRUE(waitFor([&] { return linesWith(errors.text(), "lost the line") > 0; }));
    // Gone for a while: retries stay quiet and the viewer runs on what it had.
    const std::string statusWhileGone = statusOf(*window);
    QTest::qWait(1500);
    EXPECT_NE(statusOf(*window), statusWhileGone) << "the window stopped while the device was gone";
    EXPECT_TRUE(window->session().state().heights == *surface);
    EXPECT_EQ(window->session().state().interpCount, counted);
    EXPECT_FALSE(window->session().inputLine().PortOpen());

    // The device returns at the same path.
    Device second;
    link.pointAt(second.path());
    ASSERT_TRUE(waitFor([&] { return linesWith(errors.text(), "reopened " + link.path()) > 0; }, 10000))
        << errors.text();

    // The rest of a frame from before the loss must not complete the half
    // that the loss cut: "<10,10,90; 90,90,90; 50,50,40>" was never sent.
    second.send("0,40>");
    ASSERT_TRUE(waitFor([&] { return window->session().state().rxBuffer == "0,40>"; }))
        << window->session().state().rxBuffer;
    EXPECT_EQ(window->session().state().interpCount, counted);
    second.send("<5,5,50;9,9,90>");
    EXPECT_TRUE(waitFor(
        [&] { return window->session().state().interpCount > counted && window->session().state().ptZ[1] == 90; }));
    EXPECT_TRUE(window->session().inputLine().PortOpen());
    EXPECT_FALSE(window->session().inputLine().retryTimer().isActive());

    const std::string said = errors.text();
    errors.restore();
    EXPECT_EQ(linesWith(said, "meshscope: lost the line on " + link.path()), 1) << said;
    EXPECT_EQ(linesWith(said, "meshscope: reopened " + link.path()), 1) << said;
    EXPECT_EQ(linesWith(said, "meshscope:"), 2) << said;
}

TEST_F(SerialFaults, SecondViewerOnAPortInUseSaysSoAndRunsWithoutIt)
{
    Device device;
    auto window = openWindow<frmVimo>(device.path());
    ASSERT_TRUE(window->session().inputLine().PortOpen());

    QProcess second;
    second.setWorkingDirectory(scratch.path());
    const QString shot = scratch.path() + QStringLiteral("/second.png");
    second.start(QStringLiteral(MESHSCOPE_PATH),
                 {QStringLiteral("--port"), QString::fromStdString(device.path()), QStringLiteral("--screenshot"), shot,
                  QStringLiteral("--screenshot-delay"), QStringLiteral("300")});
    // The first window keeps polling while the second runs.
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }, 60000));
    const std::string errors = second.readAllStandardError().toStdString();

    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit) << errors;
    EXPECT_EQ(second.exitCode(), 0) << errors;
    EXPECT_TRUE(QFile::exists(shot)) << "the second viewer did not run on: " << errors;
    EXPECT_EQ(linesWith(errors, "meshscope: cannot open " + device.path() + ": device is busy"), 1) << errors;
    EXPECT_EQ(linesWith(errors, "meshscope:"), 1) << errors;

    // The first viewer still owns the line.
    device.send(referenceFrame);
    EXPECT_TRUE(waitFor([&] { return window->session().state().okCount > 0; }));

    // A second viewer left waiting takes the port once the first lets it go.
    QProcess waiting;
    waiting.setWorkingDirectory(scratch.path());
    waiting.start(QStringLiteral(MESHSCOPE_PATH), {QStringLiteral("--port"), QString::fromStdString(device.path())});
    std::string said;
    const auto saidWith = [&](const std::string& text) {
        return waitFor(
            [&] {
                said += waiting.readAllStandardError().toStdString();
                return said.find(text) != std::string::npos;
            },
            20000);
    };
    ASSERT_TRUE(saidWith("device is busy")) << said;
    window->close();
    EXPECT_TRUE(saidWith("meshscope: opened " + device.path() + "\n")) << said;
    waiting.kill();
    waiting.waitForFinished(5000);
}

} // namespace
