#pragma once

// The meshscope window: owns the viewport, the input line, the text boxes and
// the poll and animation timers (the input line keeps the reopen timer), and
// routes their events to the viewer core. The problem box, the saving, the
// input (keys, chords, mouse) and the menu are parts of their own that it wires.

#include "FrameTimes.h"
#include "InputLine.h"
#include "Levelling.h"
#include "LookBackBar.h"
#include "ProblemBox.h"
#include "Saving.h"
#include "Units.h"
#include "ViewerHost.h"
#include "ViewerState.h"
#include "WindowInput.h"

#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class VornCtl;

namespace meshscope {

class LevelMenu;
class MeasureView;
class SourceMenu;
class StatisticsPanel;
class TrendChart;
class WindowMenu;

class frmVimo : public QWidget, public ViewerHost {
    Q_OBJECT
public:
    // The port is COMn unless devicePath names another device or a network
    // source; a malformed network name throws LineOpenError.
    explicit frmVimo(int commPort, const QString& devicePath = {}, QWidget* parent = nullptr);
    ~frmVimo() override;

    // Start-up: start values, port, poll timer, first poll, data file.
    // Runs once, before the window is shown.
    void load();

    // Appends every byte read from the port to the file at path from now on;
    // a path that cannot be opened is reported and nothing is recorded.
    void recordTo(const QString& path);

    // Live: each accepted frame that differs from the last one is painted at
    // once by the poll that took it, instead of at the next animation tick.
    // Set before the window is shown, the viewport also swaps without waiting
    // for the display's refresh.
    void setLive(bool live);

    // The folder the saved picture and grid go to; empty: the working directory.
    void setSaveDir(const QString& dir) { saving_->setDir(dir); }

    // Beside the picture: the colour scale, the sample marks (both off at
    // start), and the line chosen in the window: the old one closes, the
    // recording goes on, the picture stays until the new line brings a frame.
    void setScaleShown(bool shown);
    void setSamplesShown(bool shown);
    bool samplesShown() const { return samples_; }
    void switchSource(const QString& name);
    void switchBaudRate(int rate);
    // The statistics panel (off at start) and the units its numbers are in.
    void setStatisticsShown(bool shown);
    void setUnits(const SurfaceUnits& units);
    // The levelling of what is shown, as the Level submenu sets it.
    void setLevelling(const Levelling& levelling);
    // Colours fitted to the shown heights instead of the colour mode (off at start).
    void setColoursFitted(bool fitted);
    bool coloursFitted() const { return coloursFitted_; }
    StatisticsPanel& statisticsPanel() const { return *statistics_; }
    // The trend chart of a statistic over the history (off at start).
    void setTrendShown(bool shown);
    TrendChart& trendChart() const { return *trend_; }

    // ViewerHost
    void sceneSetup() override;
    void RequestRedraw() override;
    int InBufferCount() override;
    std::string Input() override;
    bool pollTimerEnabled() const override;
    void setPollTimerEnabled(bool enabled) override;
    void setStatusText(const std::string& text) override;
    void reportProblem(const std::string& message) override;

    ViewerState& state() { return state_; }
    VornCtl* viewport() const { return VornCtl1; }
    InputLine& inputLine() { return ms_Comm; }
    LookBackBar& lookBackBar() { return *lookBackBar_; }
    QLineEdit* statusBox() const { return txtStatus; }
    QPlainTextEdit* commandsBox() const { return txtCommands; }
    QPlainTextEdit* problemBox() const { return txtOut; }
    QMenu* viewMenu() const;
    MeasureView& measure() const { return *measure_; }
    SourceMenu* sourceMenu() const { return sourceMenu_; }
    const QTimer& pollTimer() const { return tmrCommPort; }
    const QTimer& animationTimer() const { return tmrAnimate; }
    const QTimer& reopenTimer() const { return ms_Comm.retryTimer(); }

    static constexpr int designWidth = 1072;
    static constexpr int designHeight = 709;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void onInitialization();
    void onPaint();
    void onPollTick();
    void paintNewFrame();
    void onAnimationTick();
    void onKey(QChar key);
    void onLineLost();
    void adviseExample();
    void createPanels(const WindowCommands& commands);
    void setPictureChoice(QAction& item, bool& choice, bool on);
    void followStatistics();

    // What the context's projection and lights follow: the set-up's inputs
    // by their change counter, and the viewport's size.
    struct SetupKey {
        std::uint64_t revision = 0;
        double width = 0;
        double height = 0;
        bool operator==(const SetupKey&) const = default;
    };
    // What a presented frame showed: the set-up, the paint's inputs by their
    // change counter, and the pixel ratio the picture was drawn at.
    struct PictureKey {
        SetupKey setup;
        std::uint64_t revision = 0;
        std::uint64_t lookBack = 0; // a frozen frame, a baseline
        double pixelRatio = 1;
        bool operator==(const PictureKey&) const = default;
    };
    SetupKey currentSetup() const;
    PictureKey currentPicture() const;
    void showPendingStatus();
    // The view over the whole window and every box over it, for the window's
    // size and device pixel ratio: at start, on each resize, on a new screen.
    void placeBoxes();
    // The history slider along the view's lower edge, above the problem box.
    void placeHistoryPanel();

    ViewerState state_;
    bool loaded_ = false;
    ProblemBox* txtOut = nullptr;
    QLineEdit* txtStatus = nullptr;
    QPlainTextEdit* txtCommands = nullptr;
    VornCtl* VornCtl1 = nullptr;
    QTimer tmrCommPort;
    QTimer tmrAnimate;
    QString pendingStatus_;
    bool inKey_ = false;       // every key repaints, even when the picture would not change
    bool onlyMention_ = false; // problems go to standard error only, not into the box
    bool live_ = false;
    std::optional<PictureKey> shownPicture_;
    std::optional<SetupKey> appliedSetup_;
    std::unique_ptr<Saving> saving_;
    std::unique_ptr<WindowInput> input_;
    LookBackBar* lookBackBar_ = nullptr;
    InputLine ms_Comm;
    int commPort_ = 0;
    bool samples_ = false;
    MeasureView* measure_ = nullptr;
    SourceMenu* sourceMenu_ = nullptr;
    bool coloursFitted_ = false;
    StatisticsPanel* statistics_ = nullptr;
    WindowMenu* menu_ = nullptr;
    LevelMenu* levelMenu_ = nullptr;
    TrendChart* trend_ = nullptr;
    QString quietProblem_; // the no-data problem while it stands
    FrameTimes frameTimes_;
};

// The fonts of the status and help boxes.
QFont statusFont();
QFont helpFont();

// Enables a timer without restarting a countdown that is already running.
void enableTimer(QTimer& timer, int intervalMs);

} // namespace meshscope
