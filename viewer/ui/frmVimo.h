#pragma once

// The meshscope window over its session: it lays out the viewport, the text
// boxes and the panels, paints what the session holds and shows what it says.
// The problem box, the saving, the input (keys, chords, mouse) and the menu
// are parts of their own that it wires.

#include "Levelling.h"
#include "LookBackBar.h"
#include "ProblemBox.h"
#include "Saving.h"
#include "Units.h"
#include "ViewerSession.h"
#include "ViewerState.h"
#include "WindowInput.h"
#include "WindowMenu.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class VornCtl;

namespace meshscope {

class LevelMenu;
class PaintGate;
class MeasureView;
class SourceMenu;
class StatisticsPanel;
class TrendChart;

class frmVimo : public QWidget {
    Q_OBJECT
public:
    // The port is COMn unless devicePath names another device or a network
    // source; a malformed network name throws LineOpenError.
    explicit frmVimo(int commPort, const QString& devicePath = {}, QWidget* parent = nullptr);
    ~frmVimo() override;

    // Start-up: the viewport's start values, then the session's.
    // Runs once, before the window is shown.
    void load();

    // Appends every byte read from the port to the file at path from now on;
    // a path that cannot be opened is reported and nothing is recorded.
    void recordTo(const QString& path) { session_.inputLine().recordTo(path); }

    // Live: each accepted frame that differs from the last one is painted at
    // once by the poll that took it, instead of at the next animation tick.
    // Set before the window is shown, the viewport also swaps without waiting
    // for the display's refresh.
    void setLive(bool live);

    // The folder the saved picture and grid go to; empty: the working directory.
    void setSaveDir(const QString& dir) { saving_->setDir(dir); }

    // Beside the picture: the colour scale and the sample marks (both off at start).
    void setScaleShown(bool shown);
    void setSamplesShown(bool shown);
    bool samplesShown() const { return samples_; }
    // The statistics panel (off at start) and the units its numbers are in.
    void setStatisticsShown(bool shown);
    void setUnits(const SurfaceUnits& units);
    // Colours fitted to the shown heights instead of the colour mode (off at start).
    void setColoursFitted(bool fitted);
    bool coloursFitted() const { return coloursFitted_; }
    StatisticsPanel& statisticsPanel() const { return *statistics_; }
    // The trend chart of a statistic over the history (off at start).
    void setTrendShown(bool shown);
    TrendChart& trendChart() const { return *trend_; }
    // The levelling of what is shown, as the Level submenu sets it.
    void setLevelling(const Levelling& levelling);

    ViewerSession& session() { return session_; }
    VornCtl* viewport() const { return VornCtl1; }
    LookBackBar& lookBackBar() { return *lookBackBar_; }
    QMenu* viewMenu() const { return menu_->menu(); }
    MeasureView& measure() const { return *measure_; }
    SourceMenu* sourceMenu() const { return sourceMenu_; }

    static constexpr int designWidth = 1072;
    static constexpr int designHeight = 709;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void showSession();
    void onPaint();
    void createPanels(const WindowCommands& commands);
    void setPictureChoice(QAction& item, bool& choice, bool on);

    // The view over the whole window and every box over it, for the window's
    // size and device pixel ratio: at start, on each resize, on a new screen.
    void placeBoxes();
    // The history slider along the view's lower edge, above the problem box.
    void placeHistoryPanel();

    ViewerSession session_;
    ViewerState& state_;
    ProblemBox* txtOut = nullptr;
    QLineEdit* txtStatus = nullptr;
    QPlainTextEdit* txtCommands = nullptr;
    VornCtl* VornCtl1 = nullptr;
    bool live_ = false;
    std::unique_ptr<PaintGate> paintGate_;
    std::unique_ptr<Saving> saving_;
    std::unique_ptr<WindowInput> input_;
    LookBackBar* lookBackBar_ = nullptr;
    bool samples_ = false;
    MeasureView* measure_ = nullptr;
    SourceMenu* sourceMenu_ = nullptr;
    bool coloursFitted_ = false;
    StatisticsPanel* statistics_ = nullptr;
    LevelMenu* levelMenu_ = nullptr;
    TrendChart* trend_ = nullptr;
    WindowMenu* menu_ = nullptr;
};

} // namespace meshscope
