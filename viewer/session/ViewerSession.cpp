#include "ViewerSession.h"

#include "Commands.h"
#include "DataFile.h"
#include "ExampleCapture.h"
#include "HandlerReport.h"
#include "SerialInput.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

#include <unistd.h>

#include <optional>

namespace meshscope {

void enableTimer(QTimer& timer, int intervalMs)
{
    // QTimer::setInterval and QTimer::start both restart a running countdown.
    if (timer.interval() != intervalMs)
        timer.setInterval(intervalMs);
    if (!timer.isActive())
        timer.start();
}

ViewerSession::ViewerSession(int commPort, const QString& devicePath, QObject* parent)
    : QObject(parent), ms_Comm(commPort, devicePath), commPort_(commPort)
{
    clock_.start();
    tmrCommPort.setInterval(10);
    tmrAnimate.setInterval(1);
    connect(&tmrCommPort, &QTimer::timeout, this, &ViewerSession::onPollTick);
    connect(&tmrAnimate, &QTimer::timeout, this, &ViewerSession::onAnimationTick);
    healthRefresh_.setInterval(healthRefreshMs);
    connect(&healthRefresh_, &QTimer::timeout, this, &ViewerSession::refreshHealth);
    healthRefresh_.start();

    connect(&ms_Comm, &InputLine::lost, this, &ViewerSession::onLineLost);
    connect(&ms_Comm, &InputLine::problem, this, &ViewerSession::onLineProblem);
    connect(&ms_Comm, &InputLine::resolved, this, &ViewerSession::problemCleared);
    connect(&ms_Comm, &InputLine::captureEnded, this, [this](const QString& text) { emit noteShown(text, true); });
}

ViewerSession::~ViewerSession() = default;

double ViewerSession::now() const
{
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void ViewerSession::load()
{
    loaded_ = true;
    applyStartValues(state_);
    tmrAnimate.setInterval(250);
    ms_Comm.open();
    // The poll runs before the health line first looks: a line not yet polled is not paused.
    enableTimer(tmrCommPort, 10);
    noteLineOpened();
    vorn::runHandler(QStringLiteral("serial poll"), [this] { serialPollTick(state_, *this); });
    state_.interpCount = 0;
    state_.okCount = 0;
    bool dataRead = false;
    // A capture or a network source brings the frames: a data file that is
    // not there is mentioned once, not kept over the surface.
    const QScopedValueRollback<bool> mention(
        onlyMention_, (ms_Comm.isNetwork() || ms_Comm.isReplay()) && ::access(state_.dataFile.c_str(), F_OK) != 0);
    vorn::runHandler(QStringLiteral("data file"),
                     [this, &dataRead] { dataRead = CheckFile(state_, *this, state_.dataFile); });
    if (!dataRead && !ms_Comm.PortOpen())
        adviseExample();
}

// Nothing to draw at start: the window names the example capture that shows
// what the program does, and the command that opens it.
void ViewerSession::adviseExample()
{
    const QString capture = exampleCapture(QCoreApplication::applicationDirPath());
    if (capture.isEmpty())
        return;
    const QString advice = QStringLiteral("Nothing to show yet? Open the example capture: %1 --replay %2")
                               .arg(QCoreApplication::applicationName(), capture);
    emit adviceShown(advice);
    vorn::reportNotice(advice);
}

void ViewerSession::close()
{
    ms_Comm.close();
}

// What the old line brought up to its last ">" is still taken; a frame it
// left unfinished could only be completed by the new line's bytes.
void ViewerSession::switchSource(const QString& name)
{
    const std::int32_t rate = ms_Comm.baudRate();
    vorn::runHandler(QStringLiteral("source"), [this] { lineLost(state_, *this); });
    ms_Comm.close();
    quietProblem_.clear();
    emit problemCleared();
    vorn::runHandler(QStringLiteral("source"), [this, &name, rate] {
        ms_Comm.setPort(commPort_, name); // the dialog has checked a network name
        if (rate > 0)
            ms_Comm.setBaudRate(rate);
        ms_Comm.open();
        ms_Comm.setPaused(!pollTimerEnabled());
    });
    noteLineOpened();
}

void ViewerSession::switchBaudRate(int rate)
{
    if (ms_Comm.isNetwork())
        return;
    ms_Comm.setBaudRate(rate);
    switchSource(ms_Comm.name());
}

void ViewerSession::key(QChar key)
{
    const std::string text = QString(key).toStdString();
    const QScopedValueRollback<bool> keyRedraw(inKey_, true);
    vorn::runHandler(QStringLiteral("key press"), [this, &text] { handleKey(state_, *this, text); });
}

void ViewerSession::sceneSetup()
{
    emit sceneSetupWanted();
    enableTimer(tmrAnimate, 250);
}

void ViewerSession::RequestRedraw()
{
    emit redrawWanted(inKey_);
}

int ViewerSession::InBufferCount()
{
    return ms_Comm.InBufferCount();
}

std::string ViewerSession::Input()
{
    return ms_Comm.Input();
}

bool ViewerSession::pollTimerEnabled() const
{
    return tmrCommPort.isActive();
}

void ViewerSession::setPollTimerEnabled(bool enabled)
{
    ms_Comm.setPaused(!enabled);
    if (enabled)
        enableTimer(tmrCommPort, tmrCommPort.interval());
    else
        tmrCommPort.stop();
}

// The status is refreshed on every 10 ms poll; once the animation runs, the
// latest text is shown at each animation tick, together with the picture,
// so the status line repaints at most four times a second.
void ViewerSession::setStatusText(const std::string& text)
{
    pendingStatus_ = QString::fromStdString(text);
    if (!tmrAnimate.isActive())
        showPendingStatus();
}

void ViewerSession::showPendingStatus()
{
    if (shownStatus_ == pendingStatus_)
        return;
    shownStatus_ = pendingStatus_;
    emit statusChanged(shownStatus_);
}

void ViewerSession::reportProblem(const std::string& message)
{
    const QString text = QString::fromStdString(message);
    vorn::reportError(text);
    if (!onlyMention_)
        emit problemShown(text, false);
}

// The no-data problem stands while no problem of the line does; a standing
// problem the line says takes its place.
void ViewerSession::onLineProblem(const QString& text, bool standing)
{
    if (standing)
        quietProblem_.clear();
    emit problemShown(text, standing);
}

void ViewerSession::onLineLost()
{
    vorn::runHandler(QStringLiteral("serial poll"), [this] { lineLost(state_, *this); });
}

// A re-take of the last frame leaves the grid as it was and asks for nothing.
// A frame that changed the grid is said before the health line and the
// history take their share of the poll, which can wait.
void ViewerSession::onPollTick()
{
    const std::uint64_t grid = state_.gridRevision;
    frameTimes_.pollStarted();
    std::optional<PollTick> tick;
    vorn::runHandler(QStringLiteral("serial poll"), [this, &tick] {
        tick = serialPollTick(state_, *this);
        if (ms_Comm.ended()) // a played capture's last frame is taken once, not again at every poll
            clearReceived(state_);
    });
    if (state_.gridRevision != grid) {
        frameTimes_.frameTaken();
        emit frameTaken();
    }
    if (tick)
        vorn::runHandler(QStringLiteral("serial poll"), [this, &tick] { afterPoll(*tick); });
}

void ViewerSession::afterPoll(const PollTick& tick)
{
    notePollTick(health_, tick, now());
    const std::size_t held = lookBack_.history().size();
    const std::uint64_t newest = lookBack_.history().newest();
    lookBack_.afterTick(state_, nowMs());
    if (lookBack_.frozen() && (lookBack_.history().size() != held || lookBack_.history().newest() != newest))
        emit historyGrew();
}

void ViewerSession::onAnimationTick()
{
    vorn::runHandler(QStringLiteral("animation"), [this] { animationTick(state_, *this); });
    showPendingStatus();
    emit animationTicked();
}

void ViewerSession::noteLineOpened()
{
    meshscope::lineOpened(health_, ms_Comm.name().toStdString(), ms_Comm.baudRate(), now());
    emit lineOpened();
    refreshHealth();
}

// Four times a second: the health line and the no-data rule.
void ViewerSession::refreshHealth()
{
    const double t = now();
    const bool open = ms_Comm.PortOpen() && !ms_Comm.ended();
    linePaused(health_, !pollTimerEnabled(), t);
    lineStandsOpen(health_, open);
    const QString text = QString::fromStdString(healthText(health_, t));
    if (text != healthShown_) {
        healthShown_ = text;
        emit healthChanged(text);
    }
    const auto quiet = quietProblem(health_, open, t);
    const QString said = quiet ? QString::fromStdString(*quiet) : QString();
    if (said == quietSaid_)
        return;
    quietSaid_ = said;
    if (!said.isEmpty()) {
        vorn::reportError(said);
        quietProblem_ = said;
        emit problemShown(said, true);
    } else if (!quietProblem_.isEmpty()) {
        quietProblem_.clear();
        emit problemCleared();
    }
}

} // namespace meshscope
