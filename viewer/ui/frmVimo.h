#pragma once

// The meshscope window: owns the viewport, the input line, the text boxes and
// the poll and animation timers (the input line keeps the reopen timer), and
// routes their events to the viewer core.

#include "InputLine.h"
#include "LookBackBar.h"
#include "MouseView.h"
#include "ViewerHost.h"
#include "ViewerState.h"

#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QImage;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class VornCtl;

namespace meshscope {

class frmVimo : public QWidget, public ViewerHost {
    Q_OBJECT
public:
    // The port is COMn unless devicePath names another device or a network
    // source; a malformed network name throws SerialPortError.
    explicit frmVimo(int commPort, const QString& devicePath = {}, QWidget* parent = nullptr);
    ~frmVimo() override;

    // Start-up: start values, port, poll timer, first poll, data file.
    // Runs once, before the window is shown.
    void load();

    // Appends every byte read from the port to the file at path from now on;
    // a path that cannot be opened is reported and nothing is recorded.
    void recordTo(const QString& path);

    // Live: each accepted frame that differs from the last one asks for a
    // paint, instead of waiting for the next animation tick.
    void setLive(bool live) { live_ = live; }

    // The folder the saved picture and grid go to; empty: the working directory.
    void setSaveDir(const QString& dir) { saveDir_ = dir; }
    // Ctrl+S, Ctrl+Shift+S and Ctrl+C: the picture as the screen shows it to a
    // time-stamped PNG, the drawn grid as meshgrid writes it, the picture to the
    // clipboard. The pictures are taken once the next frame is on the screen.
    void savePicture();
    void saveGrid();
    void copyPicture();

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
    InputLine& serialControl() { return ms_Comm; }
    LookBackBar& lookBackBar() { return *lookBackBar_; }
    QLineEdit* statusBox() const { return txtStatus; }
    QPlainTextEdit* commandsBox() const { return txtCommands; }
    QPlainTextEdit* problemBox() const { return txtOut; }
    QMenu* viewMenu() const { return viewMenu_; }
    const QTimer& pollTimer() const { return tmrCommPort; }
    const QTimer& animationTimer() const { return tmrAnimate; }
    const QTimer& reopenTimer() const { return ms_Comm.retryTimer(); }

    static constexpr int designWidth = 1072;
    static constexpr int designHeight = 709;
    // How long a one-off problem stays in the bottom box.
    static constexpr int problemEventMs = 15000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void onInitialization();
    void onPaint();
    void onPollTick();
    void onAnimationTick();
    void onKey(QChar key);
    // The viewport's mouse: a left-button drag turns the view, the wheel zooms.
    bool onViewportMouse(QEvent* event);
    void onLineLost();
    // The Ctrl chords: save, save the grid, copy; any other does nothing.
    void onChord(const QKeyEvent& key);
    void createViewMenu();
    void whenPictureShown(const std::function<void(const QImage&)>& use);
    QString savePath(const QString& suffix) const;
    // The bottom box shows the problem that stands and the latest one-off
    // problem, which goes after problemEventMs.
    void showProblem(const QString& text, bool standing);
    void showProblemBox();
    void keepProblemBoxAtTheBottom();

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

    ViewerState state_;
    bool loaded_ = false;
    QPlainTextEdit* txtOut = nullptr;
    QLineEdit* txtStatus = nullptr;
    QPlainTextEdit* txtCommands = nullptr;
    VornCtl* VornCtl1 = nullptr;
    QTimer tmrCommPort;
    QTimer tmrAnimate;
    QString pendingStatus_;
    bool inKey_ = false; // every key repaints, even when the picture would not change
    bool live_ = false;
    std::optional<PictureKey> shownPicture_;
    std::optional<SetupKey> appliedSetup_;
    MouseDrag drag_;
    int wheelRest_ = 0; // wheel turn short of a whole notch
    QString saveDir_;
    QMenu* viewMenu_ = nullptr;
    LookBackBar* lookBackBar_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QString standingProblem_;
    QString eventProblem_;
    QTimer problemTimer_;
    InputLine ms_Comm;
};

// The fonts of the status and help boxes.
QFont statusFont();
QFont helpFont();

// Enables a timer without restarting a countdown that is already running.
void enableTimer(QTimer& timer, int intervalMs);

} // namespace meshscope
