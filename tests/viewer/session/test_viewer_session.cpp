// The viewer session without a window: real pseudo-terminals and replays
// through the session's own timers, read back through its state and what it says.

#include "FrameNoise.h"
#include "PtyDevice.h"
#include "ScratchDir.h"
#include "StderrCapture.h"
#include "TestCoreApplication.h"
#include "ViewerSession.h"

#include "SerialInput.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

using meshscope::ViewerSession;
using meshscope::ViewerState;

namespace {

const std::string referenceFrame(meshscope::kReferenceFrame);

bool waitFor(const std::function<bool()>& condition, int ms = 5000)
{
    return QTest::qWaitFor(condition, ms);
}

class ViewerSessionTest : public ::testing::Test {
protected:
    void SetUp() override { testApplicationOf("meshscope"); }

    // A session on port, loaded as the window loads it; the scratch folder holds no data file.
    std::unique_ptr<ViewerSession> started(const std::string& port)
    {
        auto session = std::make_unique<ViewerSession>(2, QString::fromStdString(port));
        session->load();
        return session;
    }
    std::string healthOf(const ViewerSession& session) const
    {
        meshscope::LineHealth health = session.health();
        return meshscope::healthText(health, session.now());
    }

    ScratchDir scratch;
};

} // namespace

// A line that is not there says it is opening; an open one waits for its
// first frame, then counts frames; it is paused only after the space key.
TEST_F(ViewerSessionTest, PollTakesFramesAndTheHealthLineSaysHowTheLineStands)
{
    StderrCapture errors;
    auto missing = started(scratch.path().toStdString() + "/ttyGone");
    EXPECT_NE(healthOf(*missing).find(": opening"), std::string::npos) << healthOf(*missing);
    missing.reset();

    PtyDevice device;
    auto session = started(device.path());
    QSignalSpy health(session.get(), &ViewerSession::healthChanged);
    ASSERT_TRUE(waitFor([&] { return healthOf(*session).find("waiting for the first frame") != std::string::npos; }))
        << healthOf(*session);
    EXPECT_EQ(healthOf(*session).find("paused"), std::string::npos);

    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return session->state().okCount >= 1; }));
    EXPECT_EQ(session->state().ptZ[0], 70);
    ASSERT_TRUE(waitFor([&] { return health.count() > 0 && health.last()[0].toString().contains("frames/s"); }));
    EXPECT_EQ(healthOf(*session).find("paused"), std::string::npos);

    // A frame split over two writes is assembled.
    const auto before = session->state().okCount;
    device.send(referenceFrame.substr(0, 20));
    ASSERT_TRUE(
        waitFor([&] { return session->state().rxBuffer.rfind(referenceFrame.substr(0, 20)) != std::string::npos; }));
    device.send(referenceFrame.substr(20));
    ASSERT_TRUE(waitFor([&] { return session->state().okCount > before; }));
    EXPECT_EQ(session->state().lastPoint, 4);
    EXPECT_EQ(session->state().ptX[2], 1);

    // Space stops the line and throws away what waits; r resets the counters,
    // and nothing is counted while stopped.
    QSignalSpy status(session.get(), &ViewerSession::statusChanged);
    session->key(QLatin1Char(' '));
    EXPECT_FALSE(session->pollTimerEnabled());
    EXPECT_TRUE(session->state().rxBuffer.empty());
    ASSERT_TRUE(waitFor([&] { return health.last()[0].toString().contains("paused"); })) << healthOf(*session);
    session->key(QLatin1Char('r'));
    ASSERT_TRUE(waitFor([&] {
        return status.count() > 0 && status.last()[0].toString().endsWith(QStringLiteral("[Interp. Count= 0; OK= 0]"));
    }));
    device.send(referenceFrame);
    QTest::qWait(100);
    EXPECT_EQ(session->state().interpCount, 0);
    session->key(QLatin1Char(' '));
    EXPECT_TRUE(session->pollTimerEnabled());
    EXPECT_TRUE(session->state().rxBuffer.empty()); // what arrived while stopped was thrown away
    ASSERT_TRUE(waitFor([&] { return !health.last()[0].toString().contains("paused"); })) << healthOf(*session);
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return session->state().okCount >= 1; }));
}

// Before the scene is set up the status follows every poll; once the
// animation runs, it is shown at the animation's ticks. Frames every 10 ms
// run the set-up each time and must not hold the animation off.
TEST_F(ViewerSessionTest, StatusFollowsThePollUntilTheAnimationRunsWhichFramesNeverHoldOff)
{
    StderrCapture errors;
    PtyDevice device;
    auto session = started(device.path());
    QSignalSpy status(session.get(), &ViewerSession::statusChanged);
    QSignalSpy ticks(session.get(), &ViewerSession::animationTicked);
    session->state().zoom = 2;
    ASSERT_TRUE(waitFor([&] { return status.count() > 0; }));
    EXPECT_TRUE(status.last()[0].toString().contains("zoom= 2")) << status.last()[0].toString().toStdString();
    EXPECT_EQ(ticks.count(), 0);

    device.send(referenceFrame);
    session->key(QLatin1Char('x'));
    ASSERT_TRUE(waitFor([&] { return session->state().rotation[0] >= 38; }));
    EXPECT_GT(session->state().interpCount, 3);

    // The counters change at every poll; the status line only at the ticks.
    ticks.clear();
    status.clear();
    ASSERT_TRUE(waitFor([&] { return ticks.count() >= 3; }));
    EXPECT_LE(status.count(), ticks.count() + 1);
    EXPECT_GE(status.count(), ticks.count() - 1);
}

// The no-data problem stands until a problem of the line takes its place;
// a switch to another line ends both and keeps the baseline.
TEST_F(ViewerSessionTest, NoDataStandsUntilTheLineSaysMoreAndASwitchKeepsTheBaseline)
{
    StderrCapture errors;
    auto device = std::make_unique<PtyDevice>();
    // Through a link of the test's own, so no later terminal of that number
    // (another test's) can bring the lost line back.
    const QString link = scratch.path() + QStringLiteral("/ttyTest");
    ASSERT_TRUE(QFile::link(QString::fromStdString(device->path()), link));
    auto session = started(link.toStdString());
    QSignalSpy shown(session.get(), &ViewerSession::problemShown);
    QSignalSpy cleared(session.get(), &ViewerSession::problemCleared);
    device->send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return session->state().okCount >= 1; }));
    session->lookBack().setBaseline(session->state());

    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }, 15000));
    EXPECT_TRUE(shown.last()[0].toString().startsWith(QStringLiteral("no data on "))) << errors.text();
    EXPECT_TRUE(shown.last()[1].toBool());

    QFile::remove(link);
    device->hangUp();
    ASSERT_TRUE(waitFor([&] { return shown.count() > 1; })) << errors.text();
    EXPECT_TRUE(shown.last()[1].toBool());
    const QString lineProblem = shown.last()[0].toString();
    EXPECT_FALSE(lineProblem.startsWith(QStringLiteral("no data"))) << lineProblem.toStdString();
    // The no-data rule ends with the line gone; the line's problem stays.
    QTest::qWait(3 * ViewerSession::healthRefreshMs);
    EXPECT_EQ(cleared.count(), 0) << errors.text();
    EXPECT_EQ(shown.count(), 2) << errors.text();

    PtyDevice other;
    session->switchSource(QString::fromStdString(other.path()));
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(session->health().port, other.path());
    EXPECT_TRUE(session->lookBack().hasBaseline());
    other.send("<1,1,5; 99,99,25; 50,50,80>");
    ASSERT_TRUE(waitFor([&] { return session->state().ptZ[2] == 80; }));
    EXPECT_TRUE(session->lookBack().hasBaseline());
}

// A replay that ends says so once, as one that holds no frame does; its last
// frame is not taken again, and no quiet line is said after the end. Frames
// come from the capture: a missing data file is said, never shown.
TEST_F(ViewerSessionTest, ReplayThatEndsIsSaidOnceAndItsLastFrameTakenOnce)
{
    const auto writeCapture = [&](const QString& name, const std::string& text) {
        QFile file(scratch.path() + QLatin1Char('/') + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.c_str());
        return file.fileName();
    };
    const QString capture
        = writeCapture(QStringLiteral("capture.txt"), referenceFrame + "\r\n<1,1,5; 99,99,25; 50,50,80>\r\n");
    const QString empty = writeCapture(QStringLiteral("empty.txt"), "no frame here\r\n");
    StderrCapture errors;
    auto session = std::make_unique<ViewerSession>(2, QString());
    session->inputLine().playCapture(capture, 50);
    QSignalSpy notes(session.get(), &ViewerSession::noteShown);
    QSignalSpy problems(session.get(), &ViewerSession::problemShown);
    session->load();
    ASSERT_TRUE(waitFor([&] { return session->inputLine().ended() && session->state().interpCount >= 2; }));
    QTest::qWait(100);
    const auto taken = session->state().interpCount;
    QTest::qWait(int(meshscope::kQuietLimitSeconds * 1000) + 1000);
    EXPECT_EQ(session->state().interpCount, taken);
    EXPECT_EQ(session->state().ptZ[2], 80);
    const QString ended = QStringLiteral("the capture ended after 2 frames (0:00)");
    ASSERT_EQ(notes.count(), 1) << errors.text();
    EXPECT_EQ(notes.last()[0].toString(), ended);
    EXPECT_TRUE(notes.last()[1].toBool());
    EXPECT_EQ(problems.count(), 0) << problems.last()[0].toString().toStdString();

    session = std::make_unique<ViewerSession>(2, QString());
    session->inputLine().playCapture(empty, 50);
    QSignalSpy emptyNotes(session.get(), &ViewerSession::noteShown);
    session->load();
    const QString none = QStringLiteral("the capture %1 holds no frame (nothing from \"<\" to \">\")").arg(empty);
    ASSERT_TRUE(waitFor([&] { return emptyNotes.count() > 0; })) << errors.text();
    EXPECT_EQ(emptyNotes.last()[0].toString(), none);
    session.reset();
    const std::string said = errors.text();
    errors.restore();
    const auto linesWith = [&](const std::string& part) {
        int lines = 0;
        for (std::size_t at = said.find(part); at != std::string::npos; at = said.find(part, at + 1))
            ++lines;
        return lines;
    };
    EXPECT_EQ(linesWith(ended.toStdString()), 1) << said;
    EXPECT_EQ(linesWith(none.toStdString()), 1) << said;
    EXPECT_EQ(said.find("no data"), std::string::npos) << said;
    EXPECT_EQ(linesWith("datafile.dat"), 2) << said;
}

namespace {

// Records what the serial control hands the poll tick, tick by tick, so the
// core alone can be run on exactly the same chunks afterwards.
class RecordingSession : public ViewerSession {
public:
    using ViewerSession::ViewerSession;
    struct Tick {
        int count = 0;
        std::string text;
    };
    bool recording = false;
    std::vector<Tick> ticks;

    int InBufferCount() override
    {
        const int count = ViewerSession::InBufferCount();
        if (recording)
            ticks.push_back({count, {}});
        return count;
    }
    std::string Input() override
    {
        std::string text = ViewerSession::Input();
        if (recording && !ticks.empty())
            ticks.back().text += text;
        return text;
    }
};

// Plays recorded ticks back to the core.
class ReplayHost : public meshscope::NullHost {
public:
    explicit ReplayHost(const std::vector<RecordingSession::Tick>& ticks) : ticks_(ticks) {}
    bool next() { return ++at_ < ticks_.size(); }
    int InBufferCount() override { return ticks_[at_].count; }
    std::string Input() override { return ticks_[at_].text; }

private:
    const std::vector<RecordingSession::Tick>& ticks_;
    std::size_t at_ = static_cast<std::size_t>(-1);
};

struct Frame {
    std::string text;
    std::vector<std::array<int, 3>> points;
};

Frame randomFrame(std::mt19937& random)
{
    if (random() % 4 == 0)
        return {referenceFrame, {{66, 66, 70}, {100, 100, 10}, {1, 66, 10}, {100, 33, 10}, {66, 100, 10}}};
    Frame frame{"<", {}};
    const int points = 2 + static_cast<int>(random() % 20);
    for (int k = 0; k < points; ++k) {
        const std::array<int, 3> point{1 + int(random() % 100), 1 + int(random() % 100), int(random() % 200) - 100};
        frame.points.push_back(point);
        if (k > 0)
            frame.text += random() % 2 ? "; " : ";";
        frame.text += std::to_string(point[0]) + "," + std::to_string(point[1]) + "," + std::to_string(point[2]);
    }
    frame.text += ">";
    return frame;
}

// True when state holds exactly the points of frame, as its last accepted one.
bool holdsFrame(const ViewerState& state, const Frame& frame)
{
    if (state.lastPoint + 1 != static_cast<int>(frame.points.size()))
        return false;
    for (std::size_t k = 0; k < frame.points.size(); ++k) {
        if (state.ptX[k] != frame.points[k][0] || state.ptY[k] != frame.points[k][1]
            || state.ptZ[k] != frame.points[k][2])
            return false;
    }
    return true;
}

} // namespace

// Whether the session's serial path takes every frame the buffer rules allow
// depends on how reads split the stream, which no test controls. So the
// session's own reads are recorded, and the core alone is run over the same
// chunks in the same ticks: the counters, points and grids must agree, and
// the chunks must add up to exactly the bytes sent. Each good frame is also
// followed by a pause, which the rules guarantee is enough for it to be taken.
TEST_F(ViewerSessionTest, FramesAmongNoiseAreTakenAsTheCoreTakesThem)
{
    StderrCapture errors;
    PtyDevice device;
    auto session = std::make_unique<RecordingSession>(2, QString::fromStdString(device.path()));
    session->load();
    auto expected = std::make_unique<ViewerState>(session->state());
    session->recording = true;

    std::mt19937 random(11);
    std::string sent;
    int framesSeenTaken = 0;
    std::string previous;
    constexpr int rounds = 120;
    for (int round = 0; round < rounds; ++round) {
        const std::string junk = frameNoise(random, random() % 400);
        Frame frame = randomFrame(random);
        while (frame.text == previous) // so the last frame's re-takes cannot pass for this one
            frame = randomFrame(random);
        previous = frame.text;
        const auto countBefore = session->state().interpCount;
        device.send(junk);
        device.send(frame.text);
        sent += junk + frame.text;
        const auto taken = [&] {
            const ViewerState& state = session->state();
            return state.interpCount > countBefore && holdsFrame(state, frame)
                && state.rxBuffer.rfind(frame.text, 0) == 0;
        };
        if (waitFor(taken))
            ++framesSeenTaken;
        // A frame left last is taken again at each tick; let a few pass.
        QTest::qWait(static_cast<int>(random() % 40));
    }
    session->recording = false;

    std::string received;
    for (const auto& tick : session->ticks)
        received += tick.text;
    EXPECT_EQ(received, sent) << "the serial path lost, doubled or reordered bytes";
    EXPECT_EQ(framesSeenTaken, rounds);

    ReplayHost replay(session->ticks);
    while (replay.next())
        meshscope::serialPollTick(*expected, replay);
    const ViewerState& actual = session->state();
    std::printf("frames among noise: %d frames, %zu ticks, %d taken in all (%d reference)\n", rounds,
                session->ticks.size(), actual.interpCount, actual.okCount);
    EXPECT_EQ(actual.interpCount, expected->interpCount);
    EXPECT_EQ(actual.okCount, expected->okCount);
    EXPECT_EQ(actual.lastPoint, expected->lastPoint);
    EXPECT_EQ(actual.ptX, expected->ptX);
    EXPECT_EQ(actual.ptZ, expected->ptZ);
    EXPECT_EQ(actual.rxBuffer, expected->rxBuffer);
    EXPECT_TRUE(actual.rawHeights == expected->rawHeights);
    EXPECT_GE(actual.interpCount, rounds);
}
