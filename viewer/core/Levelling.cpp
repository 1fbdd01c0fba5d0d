#include "Levelling.h"

#include <algorithm>
#include <numeric>

namespace meshscope {

namespace {

bool covers(const DrawnSurface& s, const GridCell& cell)
{
    return cell.x >= s.firstX && cell.x <= s.lastX && cell.y >= s.firstY && cell.y <= s.lastY;
}

} // namespace

// The cells fill a rectangle, so about its centre the x and y sums cross out
// and each slope is its own one-variable fit.
std::optional<Plane> bestFitPlane(const DrawnSurface& s)
{
    if (s.empty())
        return std::nullopt;
    Plane plane;
    plane.x0 = (s.firstX + s.lastX) / 2.0;
    plane.y0 = (s.firstY + s.lastY) / 2.0;
    double sum = 0, sumXZ = 0, sumYZ = 0, sumXX = 0, sumYY = 0;
    for (int x = s.firstX; x <= s.lastX; ++x) {
        const double dx = x - plane.x0;
        for (int y = s.firstY; y <= s.lastY; ++y) {
            const double dy = y - plane.y0;
            const double z = s.at(x, y);
            sum += z;
            sumXZ += dx * z;
            sumYZ += dy * z;
            sumXX += dx * dx;
            sumYY += dy * dy;
        }
    }
    plane.z0 = sum / static_cast<double>(s.z.size());
    plane.slopeX = sumXX > 0 ? sumXZ / sumXX : 0;
    plane.slopeY = sumYY > 0 ? sumYZ / sumYY : 0;
    return plane;
}

bool cellsMakeAPlane(const std::array<GridCell, 3>& cells)
{
    const GridCell& p = cells[0];
    const GridCell& q = cells[1];
    const GridCell& r = cells[2];
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x) != 0;
}

std::optional<Plane> planeThroughCells(const DrawnSurface& s, const std::array<GridCell, 3>& cells)
{
    for (const GridCell& cell : cells)
        if (!covers(s, cell))
            return std::nullopt;
    const auto point = [&s](const GridCell& c) {
        return std::array<double, 3>{double(c.x), double(c.y), double(s.at(c.x, c.y))};
    };
    const auto p = point(cells[0]), q = point(cells[1]), r = point(cells[2]);
    const double u[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
    const double v[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
    const double nx = u[1] * v[2] - u[2] * v[1];
    const double ny = u[2] * v[0] - u[0] * v[2];
    const double nz = u[0] * v[1] - u[1] * v[0]; // twice the cells' triangle's area
    if (nz == 0)
        return std::nullopt;
    return Plane{p[0], p[1], p[2], -nx / nz, -ny / nz};
}

void subtractPlane(DrawnSurface& s, const Plane& plane)
{
    float* z = s.z.data();
    for (int x = s.firstX; x <= s.lastX; ++x)
        for (int y = s.firstY; y <= s.lastY; ++y, ++z)
            *z = static_cast<float>(*z - plane.at(x, y));
}

bool levelSurface(DrawnSurface& s, const Levelling& levelling)
{
    if (s.empty())
        return true;
    if (levelling.tilt != TiltRemoval::None) {
        const auto plane
            = levelling.tilt == TiltRemoval::BestFitPlane ? bestFitPlane(s) : planeThroughCells(s, levelling.pinned);
        if (!plane)
            return false;
        subtractPlane(s, *plane);
    }
    if (levelling.zero != ZeroAt::None) {
        const double zero = levelling.zero == ZeroAt::Minimum
            ? *std::min_element(s.z.begin(), s.z.end())
            : std::accumulate(s.z.begin(), s.z.end(), 0.0) / static_cast<double>(s.z.size());
        for (float& z : s.z)
            z = static_cast<float>(z - zero);
    }
    return true;
}

} // namespace meshscope
