// What lies under a point of the view: a ray through the projection,
// modelview and viewport the last paint used, against the drawn surface (and
// the walls and floor when the border is on).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "Units.h"
#include "ViewerState.h"

namespace meshscope {

// The matrices as glGetDoublev returns them (column-major) and the viewport
// as glGetIntegerv(GL_VIEWPORT) does: x, y, width, height in device pixels.
struct ViewMatrices {
    std::array<double, 16> projection{};
    std::array<double, 16> modelview{};
    std::array<int, 4> viewport{};
};

enum class PickedPart { surface, wall, floor };

// A point of the frame that last filled the grids, and how far it lies from
// the picked cell, in cells.
struct FramePoint {
    int column = 0;
    int row = 0;
    int height = 0;
    double distance = 0;
};

struct PickedCell {
    PickedPart part = PickedPart::surface;
    std::array<double, 3> at{}; // the hit, in grid units (column, row, height)
    int column = 0;             // the cell: its node with the smaller column and row
    int row = 0;
    float drawnHeight = 0; // heights(column, row), the smoothed grid the paint draws
    float rawHeight = 0;   // rawHeights(column, row)
    std::optional<FramePoint> nearest;
};

// The nearest drawn geometry under window point (x, y), in GL window
// coordinates (device pixels, origin at the viewport's lower left). Empty over
// the background, for singular matrices and for an empty drawn range. The
// axis bars and the origin sphere are not picked: the read-out looks through
// them to the surface.
std::optional<PickedCell> pickAt(const ViewerState& state, const ViewMatrices& view, double x, double y);

// The values of cell (column, row) as a pick on it would give them; empty
// outside the drawn cells.
std::optional<PickedCell> readCell(const ViewerState& state, int column, int row);

// "cell 66, 66: 52.43 drawn, 70 unsmoothed; nearest point 66, 66 at 70, 0 cells
// away"; heights with at most two decimals, in any locale.
// Heights and the nearest point's distance carry the units when they are set.
std::string readoutText(const PickedCell& cell, const SurfaceUnits& units = {});

} // namespace meshscope
