#pragma once

// meshscope without its widgets: the viewer state, the input line, the 10 ms
// poll and the animation timer, the look-back over the history, the line's
// health on one steady clock, the problem the window shows and the source
// switching. It is the core's ViewerHost; what needs GL or widgets it asks of
// the window through its signals, and it says what changed.

#include "FrameTimes.h"
#include "InputLine.h"
#include "LineHealth.h"
#include "LookBack.h"
#include "ViewerHost.h"
#include "ViewerState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

namespace meshscope {

class ViewerSession : public QObject, public ViewerHost {
    Q_OBJECT
public:
    // The port is COMn unless devicePath names another device or a network
    // source; a malformed network name throws LineOpenError.
    explicit ViewerSession(int commPort, const QString& devicePath = {}, QObject* parent = nullptr);
    ~ViewerSession() override;

    // Start-up: start values, port, poll timer, first poll, data file, and
    // the example's advice when there is nothing to show. Runs once.
    void load();
    bool loaded() const { return loaded_; }
    // Closes the line; no retries follow.
    void close();

    // The line chosen in the window: the old one closes, the recording goes
    // on, the picture stays until the new line brings a frame.
    void switchSource(const QString& name);
    void switchBaudRate(int rate);

    // A typed key; it repaints even when the picture would not change.
    void key(QChar key);

    ViewerState& state() { return state_; }
    const ViewerState& state() const { return state_; }
    InputLine& inputLine() { return ms_Comm; }
    LookBack& lookBack() { return lookBack_; }
    const LookBack& lookBack() const { return lookBack_; }
    // What the paint draws: the live state, a frozen frame or a difference.
    ViewerState& shownState() { return lookBack_.shownState(state_); }
    const LineHealth& health() const { return health_; }
    FrameTimes& frameTimes() { return frameTimes_; }
    const QTimer& pollTimer() const { return tmrCommPort; }

    // The session's steady clock, from its start.
    double now() const;
    std::int64_t nowMs() const { return clock_.elapsed(); }

    // ViewerHost
    void sceneSetup() override;
    void RequestRedraw() override;
    int InBufferCount() override;
    std::string Input() override;
    bool pollTimerEnabled() const override;
    void setPollTimerEnabled(bool enabled) override;
    void setStatusText(const std::string& text) override;
    void reportProblem(const std::string& message) override;

    static constexpr int healthRefreshMs = 250;

signals:
    // The projection and lights are to be set again (GL calls of the window's).
    void sceneSetupWanted();
    // The picture may have changed; always: paint even when it would look the same.
    void redrawWanted(bool always);
    // A poll took a frame that changed the grid.
    void frameTaken();
    // The status line's text to show now.
    void statusChanged(const QString& text);
    // A problem to show: a standing one lasts until problemCleared().
    void problemShown(const QString& text, bool standing);
    void problemCleared();
    // Under the problems: what to open when there is nothing to show.
    void adviceShown(const QString& text);
    // The health line's text changed.
    void healthChanged(const QString& text);
    // Another line opened (at start or by a switch): its counts start again.
    void lineOpened();
    // A short note beside the picture (a replay's end is a standing one).
    void noteShown(const QString& text, bool standing);
    // The history took a frame while the view is frozen on an older one.
    void historyGrew();
    // After each animation tick, when the status has been brought up to date.
    void animationTicked();

private:
    void onPollTick();
    void onAnimationTick();
    void onLineLost();
    void onLineProblem(const QString& text, bool standing);
    void afterPoll(const PollTick& tick);
    void refreshHealth();
    void noteLineOpened();
    void showPendingStatus();
    void adviseExample();

    ViewerState state_;
    InputLine ms_Comm;
    int commPort_ = 0;
    QTimer tmrCommPort;
    QTimer tmrAnimate;
    QTimer healthRefresh_;
    QElapsedTimer clock_;
    LookBack lookBack_;
    LineHealth health_;
    FrameTimes frameTimes_;
    QString healthShown_;
    QString quietProblem_; // the no-data problem while it stands
    QString quietSaid_;
    QString pendingStatus_;
    QString shownStatus_;
    bool loaded_ = false;
    bool inKey_ = false;
    bool onlyMention_ = false; // problems go to standard error only, not to the window
};

// Enables a timer without restarting a countdown that is already running.
void enableTimer(QTimer& timer, int intervalMs);

} // namespace meshscope
