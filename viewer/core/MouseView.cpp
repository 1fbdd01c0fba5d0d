#include "MouseView.h"

#include "Commands.h"

namespace meshscope {

namespace {

// Whole degrees in the pixels moved plus the rest kept from before; the new
// rest keeps the sign, so moving back and forth never drifts.
int wholeDegrees(int& rest, int pixels)
{
    rest += pixels;
    const int degrees = rest / kDragPixelsPerDegree;
    rest -= degrees * kDragPixelsPerDegree;
    return degrees;
}

} // namespace

void startDrag(MouseDrag& drag, int x, int y)
{
    drag = MouseDrag{true, x, y, 0, 0};
}

void dragTo(ViewerState& state, ViewerHost& host, MouseDrag& drag, int x, int y)
{
    if (!drag.active)
        return;
    const int aboutZ = wholeDegrees(drag.restX, x - drag.lastX);
    const int aboutX = wholeDegrees(drag.restY, y - drag.lastY);
    drag.lastX = x;
    drag.lastY = y;
    if (aboutZ == 0 && aboutX == 0)
        return;
    turnAngle(state.rotation[2], static_cast<float>(aboutZ));
    turnAngle(state.rotation[0], static_cast<float>(aboutX));
    markPictureChanged(state);
    host.RequestRedraw();
}

void endDrag(MouseDrag& drag)
{
    drag.active = false;
}

void turnWheel(ViewerState& state, ViewerHost& host, int& wheelRest, int angleDelta)
{
    wheelRest += angleDelta;
    const int notches = wheelRest / kWheelNotch;
    wheelRest -= notches * kWheelNotch;
    for (int n = 0; n < notches; ++n)
        zoomStep(state, host, true);
    for (int n = 0; n > notches; --n)
        zoomStep(state, host, false);
    if (notches != 0)
        host.RequestRedraw();
}

} // namespace meshscope
