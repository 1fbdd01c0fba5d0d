#include "ColorMap.h"

#include "DecimalNumber.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace meshscope {

namespace {

constexpr Rgb kWhite{1.0, 1.0, 1.0};

constexpr Rgb byte(int r, int g, int b)
{
    return {r / 255.0, g / 255.0, b / 255.0};
}

// Viridis at nine evenly spaced points, dark purple to yellow.
constexpr std::array<Rgb, 9> kViridis{byte(68, 1, 84),    byte(72, 40, 120),  byte(62, 73, 137),
                                      byte(49, 104, 142), byte(38, 130, 142), byte(31, 158, 137),
                                      byte(53, 183, 121), byte(110, 206, 88), byte(253, 231, 37)};

// Blue through white to red at five evenly spaced points.
constexpr std::array<Rgb, 5> kBlueWhiteRed{byte(33, 102, 172), byte(146, 197, 222), kWhite, byte(244, 165, 130),
                                           byte(178, 24, 43)};

// The colour at share t (0..1) along evenly spaced points, linearly between them.
Rgb alongPoints(std::span<const Rgb> points, double t)
{
    const double at = std::clamp(t, 0.0, 1.0) * static_cast<double>(points.size() - 1);
    const auto below = std::min(static_cast<std::size_t>(at), points.size() - 2);
    const double f = at - static_cast<double>(below);
    Rgb c{};
    for (std::size_t k = 0; k < 3; ++k)
        c[k] = points[below][k] + f * (points[below + 1][k] - points[below][k]);
    return c;
}

} // namespace

Rgb setColor(float z, std::int16_t colorMode)
{
    const double height = z;
    switch (colorMode) {
    case 0: return {static_cast<float>(height / 100), 1 - height / 100, 1};
    case 1: return {static_cast<float>(height / 50), 0.5, static_cast<float>(1 - height / 50)};
    case 2:
    case 3: {
        // Heights beyond 32-bit range have no band; they are drawn white.
        const auto n = roundToInt32(height);
        if (!n)
            return kWhite;
        if (colorMode == 2) {
            const double r = *n % 10;
            return {r / 10, 1, 1 - r / 10};
        }
        const double r = *n % 20;
        return {r / 20, 0, 1 - r / 20};
    }
    default: return kWhite;
    }
}

FittedColours fitColours(double low, double high, bool aboutZero)
{
    if (!aboutZero)
        return {FittedMap::Perceptual, std::min(low, high), std::max(low, high)};
    const double reach = std::max(std::fabs(low), std::fabs(high));
    return {FittedMap::Diverging, -reach, reach};
}

Rgb fittedColor(double z, const FittedColours& fit)
{
    const double span = fit.high - fit.low;
    const double t = span > 0 && !std::isnan(z) ? (z - fit.low) / span : 0.5;
    return fit.map == FittedMap::Perceptual ? alongPoints(kViridis, t) : alongPoints(kBlueWhiteRed, t);
}

} // namespace meshscope
