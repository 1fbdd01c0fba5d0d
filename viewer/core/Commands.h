// The keyboard commands and the animation tick.
#pragma once

#include <cstdint>
#include <string_view>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// Carries out the command of one typed character (case-sensitive; other text
// does nothing) and then asks for a redraw.
void handleKey(ViewerState& state, ViewerHost& host, std::string_view text);

// The smoothing width a digit key from "1" to "9" selects: 1, 3, 5, ... 17.
std::int16_t smoothLevelForKey(char digit);

// Zooms in or out by 1.5, as "+" and "-" do, and runs the scene set-up.
void zoomStep(ViewerState& state, ViewerHost& host, bool in);

// Turns an angle by degrees; above 360 it wraps once, below 0 it does not.
void turnAngle(float& angle, float degrees);

// One tick of the animation timer: advance the selected axis, redraw, refresh
// the status line.
void animationTick(ViewerState& state, ViewerHost& host);

} // namespace meshscope
