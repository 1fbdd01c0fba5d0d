// The height surface: interpolation of a frame's points and box smoothing.
#pragma once

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// The block of both grids that a frame fills: columns and rows 1..100.
constexpr int kBlockFirst = 1;
constexpr int kBlockLast = 100;

// Fills the block by inverse-square-distance weighting of the current points
// (a cell holding a point takes its height), then runs UpdateData.
void DoInterpolation(ViewerState& state, ViewerHost& host);

// DoInterpolation, except for a repeat of the frame that last filled the grids
// while nothing else changed them: that would compute the same grids bit for
// bit, so only the scene set-up runs. True when it interpolated.
bool interpolateUnlessRepeated(ViewerState& state, ViewerHost& host);

// Smooths rawHeights into heights over the data extent with a square window of
// width smoothLevel anchored at its lowest corner, sets the drawn range, and
// runs the scene set-up.
void UpdateData(ViewerState& state, ViewerHost& host);

} // namespace meshscope
