#include "DrawnSurface.h"

#include <algorithm>

namespace meshscope {

DrawnSurface drawnSurface(const ViewerState& state)
{
    constexpr int last = kGridSize - 1;
    DrawnSurface surface;
    surface.firstX = std::max<int>(state.drawMinX, 0);
    surface.lastX = std::min<int>(state.drawMaxX, last);
    surface.firstY = std::max<int>(state.drawMinY, 0);
    surface.lastY = std::min<int>(state.drawMaxY, last);
    surface.z.reserve(static_cast<std::size_t>(surface.columns()) * static_cast<std::size_t>(surface.rows()));
    for (int x = surface.firstX; x <= surface.lastX; ++x)
        for (int y = surface.firstY; y <= surface.lastY; ++y)
            surface.z.push_back(state.heights[x][y]);
    return surface;
}

void showSurface(ViewerState& state, const DrawnSurface& surface)
{
    for (int x = surface.firstX; x <= surface.lastX; ++x)
        for (int y = surface.firstY; y <= surface.lastY; ++y)
            state.heights[x][y] = surface.at(x, y);
    state.drawMinX = static_cast<std::int16_t>(surface.firstX);
    state.drawMaxX = static_cast<std::int16_t>(surface.lastX);
    state.drawMinY = static_cast<std::int16_t>(surface.firstY);
    state.drawMaxY = static_cast<std::int16_t>(surface.lastY);
}

DrawnSurface surfaceDifference(const DrawnSurface& current, const DrawnSurface& baseline)
{
    DrawnSurface difference;
    difference.firstX = std::max(current.firstX, baseline.firstX);
    difference.lastX = std::min(current.lastX, baseline.lastX);
    difference.firstY = std::max(current.firstY, baseline.firstY);
    difference.lastY = std::min(current.lastY, baseline.lastY);
    difference.z.reserve(static_cast<std::size_t>(difference.columns()) * static_cast<std::size_t>(difference.rows()));
    for (int x = difference.firstX; x <= difference.lastX; ++x)
        for (int y = difference.firstY; y <= difference.lastY; ++y)
            difference.z.push_back(current.at(x, y) - baseline.at(x, y));
    return difference;
}

} // namespace meshscope
