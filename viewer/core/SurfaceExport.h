// The drawn surface written for other programs: a closed solid as binary STL
// or ASCII PLY, or the heights as CSV.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DrawnSurface.h"

namespace meshscope {

// A closed triangle mesh: the top surface over the drawn cells (split as the
// paint's strips split them), a wall down from each edge of the range and a
// floor one height unit below the lowest height rounded down. Triangles turn
// counter-clockwise seen from outside, so their normals point outward. x and
// y are grid steps (the grid's own indexes), z height units.
struct SolidMesh {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    float floorZ = 0;
};

// The surface needs at least one cell.
SolidMesh closedSolid(const DrawnSurface& surface);

std::string stlBinary(const SolidMesh& mesh);
std::string plyText(const SolidMesh& mesh);
// "x,y,z" and then one line per node, x outer and y inner, as meshgrid's text.
std::string csvText(const DrawnSurface& surface);

// Writes the surface to path as its ending says (.stl, .ply or .csv, any
// case), whole or not at all: into a temporary file beside it, synced, then
// renamed over path. Returns the one-line reason when nothing was written.
std::optional<std::string> exportSurface(const DrawnSurface& surface, const std::string& path);

// Writes content to path whole or not at all; returns the system's reason.
std::optional<std::string> writeWhole(const std::string& path, std::string_view content);

} // namespace meshscope
