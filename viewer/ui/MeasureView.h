#pragma once

// What the window adds beside the picture to read the measurement: the
// read-out of the cell under the pointer, the line's health, short notes
// (what a save did), and the colour scale at the view's right edge. Each is a
// native box of its own stacked over the viewport, never drawn into it.

#include "ColorScaleStrip.h"
#include "Readout.h"
#include "Units.h"
#include "ViewerState.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <vector>

class VornCtl;

namespace meshscope {

class ViewerSession;

class MeasureView : public QObject {
    Q_OBJECT
public:
    // window: the boxes' parent; the session gives the state the paint
    // draws (the live one, a frozen frame or a difference) and the line's health.
    MeasureView(QWidget* window, VornCtl* viewport, ViewerSession& session);

    // After every paint: the matrices it used, and whatever follows the picture.
    void afterPaint();
    ~MeasureView() override;
    // Places the boxes: the lines below the status line's right end, beside
    // the help box and inside the window; the scale at the view's right edge.
    void place(const QRect& statusBox, const QRect& helpBox, const QSize& window);

    // A note in the box for a few seconds (what Ctrl+S did, say); a standing
    // one stays until the line changes.
    void say(const QString& text, bool standing = false);
    // The line under the read-out that says a difference or a levelling is shown; empty hides it.
    void showDifference(const QString& text);

    // The units the read-out and the scale's ticks are written in.
    void setUnits(const SurfaceUnits& units);

    void setScaleShown(bool shown);
    bool scaleShown() const { return scale_->isVisible(); }

    QLabel* readoutBox() const { return readout_; }
    QLabel* healthBox() const { return health_; }
    QLabel* noteBox() const { return note_; }
    QLabel* differenceBox() const { return difference_; }
    // A line's whole text, also when the line shows it shortened.
    static QString lineText(const QLabel* line);
    ColorScaleStrip* colorScale() const { return scale_; }
    const std::optional<ViewMatrices>& lastView() const { return readoutTracker_->lastView(); }
    // What follows the pointer over the viewport and the cells it pins.
    Readout& readout() const { return *readoutTracker_; }

    static constexpr int noteMs = 5000;

private:
    void lineOpened();
    const ViewerState& shown() const;
    void setLine(QLabel* line, const QString& text);
    // The lines wrapped to the room they have, one under the other, then the scale below them.
    void placeLines();

    QWidget* window_;
    VornCtl* viewport_;
    ViewerSession& session_;
    QLabel* readout_;
    QLabel* health_;
    QLabel* note_;
    QLabel* difference_;
    ColorScaleStrip* scale_;
    Readout* readoutTracker_;
    QTimer noteTimer_;
    bool noteStands_ = false;
    QRect scaleGeometry_;
    QRect statusBox_;
    QRect helpBox_;
    QSize windowSize_;
};

} // namespace meshscope
