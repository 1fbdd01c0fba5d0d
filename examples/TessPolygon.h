#pragma once
// The tessellation scene's polygon: four corners, each stored with a colour
// equal to its own coordinates.
#include "VariantArray.h"

#include <array>

// Corners in the order they go to the tessellator (counter-clockwise, z = 0).
inline constexpr std::array<std::array<double, 3>, 4> kPolygonCorners = {{
    {-0.85, -0.85, 0.0},
    {0.75, -0.75, 0.0},
    {0.85, 0.85, 0.0},
    {-0.75, 0.75, 0.0},
}};

// Vertex data of one corner, indices 0 to 6: x, y, z, then x, y, z again as the
// colour, and an Empty seventh element that nothing reads.
VariantArray cornerData(const std::array<double, 3>& location);
