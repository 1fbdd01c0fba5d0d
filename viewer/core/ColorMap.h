// The colour a height of the surface gets in each colour mode.
#pragma once

#include <array>
#include <cstdint>

namespace meshscope {

using Rgb = std::array<double, 3>;

// Red, green and blue for height z in colorMode, unclamped (OpenGL clamps).
Rgb setColor(float z, std::int16_t colorMode);

// Colours fitted to the shown heights instead of a colour mode: a perceptual
// ramp (viridis) from low to high, or for heights about zero (a difference, a
// levelled surface) a blue-white-red map, white at 0 and symmetric about it.
enum class FittedMap { Perceptual, Diverging };

struct FittedColours {
    FittedMap map = FittedMap::Perceptual;
    double low = 0;
    double high = 0;
    bool operator==(const FittedColours&) const = default;
};

// The map over heights low..high; about zero, over -max|z|..max|z|.
FittedColours fitColours(double low, double high, bool aboutZero);

// The colour of height z on the fitted map, clamped to its ends; a map over
// one height gives its middle.
Rgb fittedColor(double z, const FittedColours& fit);

} // namespace meshscope
