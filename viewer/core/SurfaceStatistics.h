// The numbers of a drawn surface: its extremes and where they lie, its range,
// mean and roughness, and the heights of the frame's own points.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "DrawnSurface.h"
#include "ViewerState.h"

namespace meshscope {

// A cell of the height grid: column x, row y.
struct GridCell {
    int x = 0, y = 0;
    bool operator==(const GridCell&) const = default;
};

// Over every cell of the drawn surface, in height units. The extremes' cells
// are the first met, x outer and y inner, as the paint walks the grid.
struct SurfaceStatistics {
    std::size_t cells = 0;
    double minimum = 0, maximum = 0;
    GridCell minimumCell, maximumCell;
    double mean = 0;
    double sq = 0; // root mean square about the mean
    double sa = 0; // mean absolute deviation about the mean

    double range() const { return maximum - minimum; }
};

// All zero, with no cells, for an empty surface.
SurfaceStatistics surfaceStatistics(const DrawnSurface& surface);

// The value as shown beside these statistics: 0 when it is below what single
// precision heights resolve (a millionth of the largest height), so a surface
// zeroed at its mean shows a mean of 0, not a trace of rounding.
double shownValue(double value, const SurfaceStatistics& stats);

// The points of one frame, before interpolation.
struct PointStatistics {
    int count = 0;
    int minimum = 0, maximum = 0;
};

// The heights ptZ[0..lastPoint]; no points for lastPoint below 0.
PointStatistics pointStatistics(int lastPoint, const std::array<std::int16_t, kMaxPoints>& ptZ);

} // namespace meshscope
