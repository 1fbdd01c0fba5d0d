// The keyboard commands and the animation tick.
#pragma once

#include <string_view>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// Carries out the command of one typed character (case-sensitive; other text
// does nothing) and then asks for a redraw.
void handleKey(ViewerState& state, ViewerHost& host, std::string_view text);

// One tick of the animation timer: advance the selected axis, redraw, refresh
// the status line.
void animationTick(ViewerState& state, ViewerHost& host);

}  // namespace meshscope
