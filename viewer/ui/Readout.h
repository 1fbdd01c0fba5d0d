#pragma once

// The read-out of the cell under the pointer: it watches the viewport's mouse
// (hovering reads out, a click without a drag pins the cell, the next click
// lets it go) and the matrices of the last paint, and says the line to show.

#include "Pick.h"
#include "Units.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <optional>
#include <utility>

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

signals:
    // The read-out's line; empty when no cell is under the pointer or pinned.
    void textChanged(const QString& text);

protected:
    // The viewport's own filter: the window's input lets the left button's
    // events through, so this sees them whichever filter came first.
    // Consumes nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewportMouse(QEvent* event);
    void readOut();
    QPointF toGl(const QPointF& at) const;

    VornCtl& viewport_;
    ViewerSession& session_;
    std::optional<ViewMatrices> view_;
    std::optional<QPointF> pointer_; // device pixels in the viewport, GL's y upwards
    std::optional<QPointF> pressedAt_;
    std::optional<std::pair<int, int>> pinned_;
    SurfaceUnits units_;
};

} // namespace meshscope
