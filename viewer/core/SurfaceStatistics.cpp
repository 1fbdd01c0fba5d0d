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
    // The heights lie x outer, y inner: the first extreme in that order is
    // the first the paint meets.
    std::size_t lowest = 0, highest = 0;
    double sum = 0;
    for (std::size_t i = 0; i < s.z.size(); ++i) {
        const float z = s.z[i];
        sum += z;
        lowest = z < s.z[lowest] ? i : lowest;
        highest = z > s.z[highest] ? i : highest;
    }
    const auto cellAt = [&s](std::size_t index) {
        const auto rows = static_cast<std::size_t>(s.rows());
        return GridCell{s.firstX + static_cast<int>(index / rows), s.firstY + static_cast<int>(index % rows)};
    };
    stats.minimum = s.z[lowest];
    stats.maximum = s.z[highest];
    stats.minimumCell = cellAt(lowest);
    stats.maximumCell = cellAt(highest);
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
