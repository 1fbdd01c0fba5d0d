// The drawn surface written for other programs: a closed solid as binary STL
// or ASCII PLY, the heights as CSV, or a Gwyddion Simple Field.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DrawnSurface.h"
#include "Units.h"

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

// The mesh in millimetres, when the grid step and the height unit are both
// lengths; unchanged otherwise.
void scaleToMillimetres(SolidMesh& mesh, const SurfaceUnits& units);

// The mesh files say in their header which units their coordinates are in.
std::string stlBinary(const SolidMesh& mesh, const SurfaceUnits& units = {});
std::string plyText(const SolidMesh& mesh, const SurfaceUnits& units = {});
// "x,y,z" and then one line per node, x outer and y inner, as meshgrid's text.
// With units, the header names them ("x (mm),y (mm),z (µm)") and x, y and z
// are in them.
std::string csvText(const DrawnSurface& surface, const SurfaceUnits& units = {});
// Gwyddion Simple Field: a text header, NUL padding to a multiple of 4, then
// little-endian 32-bit floats, row by row from the first row, each row from
// the first column. The real extent is the cell count times the grid step,
// and lengths are in metres (other units in their SI base).
std::string gsfFile(const DrawnSurface& surface, const SurfaceUnits& units = {});

// Writes the surface to path as its ending says (.stl, .ply, .csv or .gsf,
// any case), whole or not at all: into a temporary file beside it, synced,
// then renamed over path. Returns the one-line reason when nothing was written.
std::optional<std::string> exportSurface(const DrawnSurface& surface, const std::string& path,
                                         const SurfaceUnits& units = {});

// Writes content to path whole or not at all; returns the system's reason.
std::optional<std::string> writeWhole(const std::string& path, std::string_view content);

} // namespace meshscope
