#pragma once

// The read-out of the cell under the pointer: it follows the viewport's mouse
// (hovering reads out, a click without a drag pins the cell, the next click
// lets it go) and the matrices of the last paint, and says the line to show.

#include "Pick.h"
#include "SurfaceStatistics.h"
#include "Units.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QEvent;
class VornCtl;

namespace meshscope {

class ViewerSession;

class Readout : public QObject {
    Q_OBJECT
public:
    Readout(VornCtl& viewport, ViewerSession& session, QObject* parent = nullptr);

    // After every paint: the matrices it used.
    void afterPaint();
    // The units the read-out is written in.
    void setUnits(const SurfaceUnits& units);
    const std::optional<ViewMatrices>& lastView() const { return view_; }
    // Each of the viewport's events, handed on by the window's input before
    // the view acts on it.
    void followPointer(const QEvent& event);

signals:
    // The read-out's line; empty when no cell is under the pointer or pinned.
    void textChanged(const QString& text);
    // A click pinned a cell: the last three cells pinned, oldest first.
    void cellsPinned(const std::vector<meshscope::GridCell>& cells);

private:
    void readOut();
    void rememberPin(const GridCell& cell);
    QPointF toGl(const QPointF& at) const;

    VornCtl& viewport_;
    ViewerSession& session_;
    std::optional<ViewMatrices> view_;
    std::optional<QPointF> pointer_; // device pixels in the viewport, GL's y upwards
    std::optional<QPointF> pressedAt_;
    std::optional<std::pair<int, int>> pinned_;
    std::vector<GridCell> lastPinned_; // distinct cells, the latest last
    SurfaceUnits units_;
};

} // namespace meshscope
