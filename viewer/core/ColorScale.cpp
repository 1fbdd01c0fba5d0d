#include "ColorScale.h"

#include <algorithm>
#include <cmath>

#include "ColorMap.h"

namespace meshscope {

namespace {

std::vector<double> ticksWithStep(double low, double high, double step)
{
    std::vector<double> ticks;
    const double first = std::ceil(low / step - 1e-9);
    const double last = std::floor(high / step + 1e-9);
    for (double k = first; k <= last && ticks.size() <= 10; k += 1)
        ticks.push_back(k * step == 0 ? 0 : k * step); // no "-0"
    return ticks;
}

} // namespace

std::optional<HeightRange> drawnHeightRange(const ViewerState& state)
{
    constexpr int last = kGridSize - 1;
    if (state.drawMaxX <= state.drawMinX || state.drawMaxY <= state.drawMinY || state.drawMinX < 0 || state.drawMinY < 0
        || state.drawMaxX > last || state.drawMaxY > last)
        return std::nullopt;
    HeightRange range{state.heights[static_cast<std::size_t>(state.drawMinX)][static_cast<std::size_t>(state.drawMinY)],
                      0};
    range.high = range.low;
    for (int i = state.drawMinX; i <= state.drawMaxX; ++i)
        for (int j = state.drawMinY; j <= state.drawMaxY; ++j) {
            const float h = state.heights[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            range.low = std::min(range.low, h);
            range.high = std::max(range.high, h);
        }
    return range;
}

std::vector<double> niceTicks(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high))
        return {};
    if (high < low)
        std::swap(low, high);
    // One height alone: ticks over a unit around it.
    if (high - low < 1e-6 * std::max(1.0, std::fabs(low))) {
        low -= 0.5;
        high += 0.5;
    }
    const double span = high - low;
    double decade = std::pow(10.0, std::floor(std::log10(span)) - 2);
    for (;; decade *= 10) {
        for (const double mantissa : {1.0, 2.0, 2.5, 5.0}) {
            auto ticks = ticksWithStep(low, high, mantissa * decade);
            if (ticks.size() <= 10)
                return ticks;
        }
    }
}

HeightRange scaleRange(const HeightRange& drawn)
{
    const auto ticks = niceTicks(drawn.low, drawn.high);
    if (ticks.empty())
        return drawn;
    return {std::min(drawn.low, static_cast<float>(ticks.front())),
            std::max(drawn.high, static_cast<float>(ticks.back()))};
}

std::array<std::uint8_t, 3> scaleColor(double z, std::int16_t colorMode, const std::optional<FittedColours>& fit)
{
    const Rgb c = fit ? fittedColor(static_cast<float>(z), *fit) : setColor(static_cast<float>(z), colorMode);
    std::array<std::uint8_t, 3> bytes{};
    for (std::size_t k = 0; k < 3; ++k)
        bytes[k] = static_cast<std::uint8_t>(std::lround(std::clamp(c[k], 0.0, 1.0) * 255));
    return bytes;
}

std::optional<FittedColours> fittedColoursOf(const ViewerState& state, bool aboutZero)
{
    const auto drawn = drawnHeightRange(state);
    if (!drawn)
        return std::nullopt;
    return fitColours(drawn->low, drawn->high, aboutZero);
}

bool singleColorMode(std::int16_t colorMode)
{
    return colorMode < 0 || colorMode > 3;
}

} // namespace meshscope
