// Levelling a drawn surface: taking away its tilt (a plane fitted to it, or
// the plane through three chosen cells) and moving its zero to the lowest
// height or to the mean.
#pragma once

#include <array>
#include <optional>

#include "DrawnSurface.h"
#include "SurfaceStatistics.h"

namespace meshscope {

enum class TiltRemoval { None, BestFitPlane, ThroughThreeCells };
enum class ZeroAt { None, Minimum, Mean };

struct Levelling {
    TiltRemoval tilt = TiltRemoval::None;
    std::array<GridCell, 3> pinned{}; // the cells ThroughThreeCells goes through
    ZeroAt zero = ZeroAt::None;

    bool active() const { return tilt != TiltRemoval::None || zero != ZeroAt::None; }
    bool operator==(const Levelling&) const = default;
};

// The plane through (x0, y0, z0) rising slopeX per column and slopeY per row.
struct Plane {
    double x0 = 0, y0 = 0, z0 = 0;
    double slopeX = 0, slopeY = 0;

    double at(int x, int y) const { return z0 + slopeX * (x - x0) + slopeY * (y - y0); }
};

// The plane of least squares over every cell; empty for an empty surface.
std::optional<Plane> bestFitPlane(const DrawnSurface& surface);

// Three cells not on one line, so one plane goes through them.
bool cellsMakeAPlane(const std::array<GridCell, 3>& cells);

// The plane through three cells of the surface; empty when one lies off it
// or the three lie on one line.
std::optional<Plane> planeThroughCells(const DrawnSurface& surface, const std::array<GridCell, 3>& cells);

// Takes the plane away from every height.
void subtractPlane(DrawnSurface& surface, const Plane& plane);

// Levels the surface: the tilt first, then the zero. False, and the surface
// unchanged, when the pinned cells make no plane on it.
bool levelSurface(DrawnSurface& surface, const Levelling& levelling);

} // namespace meshscope
