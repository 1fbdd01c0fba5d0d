// The colour a height of the surface gets in each colour mode.
#pragma once

#include <array>
#include <cstdint>

namespace meshscope {

using Rgb = std::array<double, 3>;

// Red, green and blue for height z in colorMode, unclamped (OpenGL clamps).
Rgb setColor(float z, std::int16_t colorMode);

} // namespace meshscope
