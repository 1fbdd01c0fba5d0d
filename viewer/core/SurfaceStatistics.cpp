#include "SurfaceStatistics.h"

#include <algorithm>
#include <cmath>

namespace meshscope {

SurfaceStatistics surfaceStatistics(const DrawnSurface& s)
{
    SurfaceStatistics stats;
    if (s.empty())
        return stats;
    stats.cells = s.z.size();
    stats.minimum = stats.maximum = s.z.front();
    stats.minimumCell = stats.maximumCell = {s.firstX, s.firstY};
    double sum = 0;
    for (int x = s.firstX; x <= s.lastX; ++x) {
        for (int y = s.firstY; y <= s.lastY; ++y) {
            const double z = s.at(x, y);
            sum += z;
            if (z < stats.minimum) {
                stats.minimum = z;
                stats.minimumCell = {x, y};
            }
            if (z > stats.maximum) {
                stats.maximum = z;
                stats.maximumCell = {x, y};
            }
        }
    }
    const auto n = static_cast<double>(stats.cells);
    stats.mean = sum / n;
    // A second pass about the mean keeps the deviations exact for surfaces
    // far above zero, where sum-of-squares formulas cancel.
    double squares = 0, absolutes = 0;
    for (const float z : s.z) {
        const double deviation = z - stats.mean;
        squares += deviation * deviation;
        absolutes += std::fabs(deviation);
    }
    stats.sq = std::sqrt(squares / n);
    stats.sa = absolutes / n;
    return stats;
}

double shownValue(double value, const SurfaceStatistics& stats)
{
    const double largest = std::max(std::fabs(stats.minimum), std::fabs(stats.maximum));
    return std::fabs(value) < largest * 1e-6 ? 0 : value;
}

PointStatistics pointStatistics(int lastPoint, const std::array<std::int16_t, kMaxPoints>& ptZ)
{
    PointStatistics stats;
    stats.count = std::clamp(lastPoint + 1, 0, kMaxPoints);
    if (stats.count == 0)
        return stats;
    const auto last = ptZ.begin() + stats.count;
    stats.minimum = *std::min_element(ptZ.begin(), last);
    stats.maximum = *std::max_element(ptZ.begin(), last);
    return stats;
}

} // namespace meshscope
