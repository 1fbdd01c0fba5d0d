#pragma once

// The numbers of the shown surface beside the view: a small panel of its
// statistics that follows each paint (a new frame, a frozen frame, a
// difference, a levelling), and the Level submenu that sets the levelling.

#include "Levelling.h"
#include "LookBack.h"
#include "SurfaceStatistics.h"
#include "Units.h"
#include "ViewerState.h"

#include <QLabel>
#include <QMenu>

#include <array>
#include <optional>
#include <vector>

class QAction;

namespace meshscope {

class StatisticsPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatisticsPanel(QWidget* window);

    void setUnits(const SurfaceUnits& units) { units_ = units; }
    const SurfaceUnits& units() const { return units_; }
    // Shows the numbers of what the paint drew and of the shown frame's points.
    void follow(const ViewerState& shown, const PointStatistics& points, const Levelling& levelling);
    // The same for what the look-back shows over live: the frozen history
    // frame's own points, or the last frame's.
    void follow(LookBack& lookBack, ViewerState& live);
    // Its place: under the help box at the window's top left.
    void place(const QRect& helpBox);

private:
    SurfaceUnits units_;
};

// The lines the panel shows: name, value and unit, the extremes with their cells.
// What a levelling takes away and where it puts zero, e.g. "best-fit plane taken away, zero at the minimum".
QString levellingText(const Levelling& levelling);

QString statisticsLines(const SurfaceStatistics& stats, const PointStatistics& points, const SurfaceUnits& units,
                        const Levelling& levelling);

class LevelMenu : public QMenu {
    Q_OBJECT
public:
    explicit LevelMenu(QWidget* parent);

    // Checks the items of a levelling set elsewhere.
    void showLevelling(const Levelling& levelling);
    // The cells pinned last, oldest first: the plane through the last three
    // can be taken away once they do not lie on one line.
    void setPinnedCells(const std::vector<GridCell>& cells);
    QAction* threeCellsAction() const { return threeCells_; }

signals:
    void levellingChosen(const meshscope::Levelling& levelling);

private:
    // The levelling the items say, after a click on triggered.
    Levelling chosen(const QAction* triggered) const;

    QAction* none_ = nullptr;
    QAction* plane_ = nullptr;
    QAction* threeCells_ = nullptr;
    std::optional<std::array<GridCell, 3>> pinned_;
    Levelling shown_;
    QAction* zeroNone_ = nullptr;
    QAction* zeroMin_ = nullptr;
    QAction* zeroMean_ = nullptr;
};

} // namespace meshscope
