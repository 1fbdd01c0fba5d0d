// Turning and zooming the view with the mouse: a left-button drag turns it,
// the wheel zooms by the same steps as the "+" and "-" keys.
#pragma once

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

constexpr int kDragPixelsPerDegree = 4;
constexpr int kWheelNotch = 120; // angle delta of one wheel notch (1/8 degree units)

// Where a drag stands, with the pixels not yet worth a whole degree.
struct MouseDrag {
    bool active = false;
    int lastX = 0, lastY = 0;
    int restX = 0, restY = 0;
};

void startDrag(MouseDrag& drag, int x, int y);

// Turns about z for horizontal and about x for vertical movement, one degree
// per kDragPixelsPerDegree pixels; a spinning axis keeps spinning.
void dragTo(ViewerState& state, ViewerHost& host, MouseDrag& drag, int x, int y);

void endDrag(MouseDrag& drag);

// Zooms in (away from the user) or out by 1.5 per whole notch, running the
// scene set-up per notch as the keys do; part notches add up.
void turnWheel(ViewerState& state, ViewerHost& host, int& wheelRest, int angleDelta);

} // namespace meshscope
