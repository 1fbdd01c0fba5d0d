#include "Commands.h"

#include <cmath>

#include "DataFile.h"
#include "Interpolation.h"
#include "StatusText.h"

namespace meshscope {

namespace {

// The axis key of a running axis stops it and reverses the next start;
// another axis key switches axes and keeps the direction.
void toggleAxis(ViewerState& state, std::int16_t axis)
{
    if (state.animAxis == axis) {
        state.animAxis = 3;
        state.animStep = static_cast<std::int16_t>(-state.animStep);
    } else {
        state.animAxis = axis;
    }
}

// Zoom stays a positive finite number: a step that would overflow or reach
// zero is ignored, since the projection divides by it.
void setZoom(ViewerState& state, double zoom)
{
    if (std::isfinite(zoom) && zoom > 0)
        state.zoom = zoom;
}

void changeShininess(ViewerState& state, double delta)
{
    state.shininess = static_cast<float>(static_cast<double>(state.shininess) + delta);
    if (state.shininess > 1)
        state.shininess = 1;
    if (state.shininess < 0)
        state.shininess = 0;
}

void toggleSerialInput(ViewerState& state, ViewerHost& host)
{
    host.setPollTimerEnabled(!host.pollTimerEnabled());
    host.Input(); // whatever the port held is thrown away
    state.rxBuffer.clear();
    state.frameAtHead.clear();
}

void runCommand(ViewerState& state, ViewerHost& host, char key)
{
    switch (key) {
    case 'x': toggleAxis(state, 0); return;
    case 'y': toggleAxis(state, 1); return;
    case 'z': toggleAxis(state, 2); return;
    case ' ': toggleSerialInput(state, host); return;
    case '+': zoomStep(state, host, true); return;
    case '-': zoomStep(state, host, false); return;
    case '0': state.zoom = 1.0; break;
    case 's': changeShininess(state, 0.2); break;
    case 'S': changeShininess(state, -0.2); break;
    case 'p': state.orthographic = static_cast<Flag>(~state.orthographic); break;
    case 'b':
        state.borderOn = static_cast<Flag>(~state.borderOn);
        markPictureChanged(state);
        return;
    case 'c':
        state.colorMode = static_cast<std::int16_t>(state.colorMode + 1);
        if (state.colorMode > 5)
            state.colorMode = 0;
        markPictureChanged(state);
        return;
    case 'f': CheckFile(state, host, state.dataFile); return;
    case 'r':
        state.interpCount = 0;
        state.okCount = 0;
        return;
    default:
        if (key >= '1' && key <= '9') {
            state.smoothLevel = smoothLevelForKey(key);
            UpdateData(state, host);
        }
        return;
    }
    // The keys that break out of the switch change what the set-up reads.
    markSetupChanged(state);
    host.sceneSetup();
}

} // namespace

void zoomStep(ViewerState& state, ViewerHost& host, bool in)
{
    setZoom(state, in ? state.zoom * 1.5 : state.zoom / 1.5);
    markSetupChanged(state);
    host.sceneSetup();
}

void turnAngle(float& angle, float degrees)
{
    angle = angle + degrees;
    if (angle > 360)
        angle = angle - 360;
}

std::int16_t smoothLevelForKey(char digit)
{
    return static_cast<std::int16_t>(2 * (digit - '0') - 1);
}

void handleKey(ViewerState& state, ViewerHost& host, std::string_view text)
{
    if (text.size() == 1)
        runCommand(state, host, text.front());
    host.RequestRedraw();
}

void animationTick(ViewerState& state, ViewerHost& host)
{
    const int axis = state.animAxis & 3;
    turnAngle(state.rotation[axis], static_cast<float>(state.animStep));
    if (axis < 3)
        markPictureChanged(state); // slot 3 is never drawn
    host.RequestRedraw();
    updateStatus(state, host);
}

} // namespace meshscope
