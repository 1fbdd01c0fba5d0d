// A surface as the paint draws it: the heights at the nodes of the drawn range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ViewerState.h"

namespace meshscope {

// Heights at the nodes firstX..lastX x firstY..lastY (both ends included),
// the cells of the paint lying between them.
struct DrawnSurface {
    int firstX = 1, lastX = 0, firstY = 1, lastY = 0;
    std::vector<float> z; // x outer, y inner

    int columns() const { return lastX >= firstX ? lastX - firstX + 1 : 0; }
    int rows() const { return lastY >= firstY ? lastY - firstY + 1 : 0; }
    bool empty() const { return columns() == 0 || rows() == 0; }
    // At least one cell, so there is an area to draw or to export.
    bool hasCells() const { return columns() >= 2 && rows() >= 2; }
    float at(int x, int y) const { return z[index(x, y)]; }
    float& at(int x, int y) { return z[index(x, y)]; }
    bool operator==(const DrawnSurface&) const = default;

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(x - firstX) * static_cast<std::size_t>(rows())
            + static_cast<std::size_t>(y - firstY);
    }
};

// The heights the paint reads: the drawn range's nodes, held within the grid.
DrawnSurface drawnSurface(const ViewerState& state);

// Writes the surface into the state's heights and makes its range the drawn one.
void showSurface(ViewerState& state, const DrawnSurface& surface);

// current minus baseline over the nodes both cover.
DrawnSurface surfaceDifference(const DrawnSurface& current, const DrawnSurface& baseline);

} // namespace meshscope
