#pragma once
// Numbers of the antialiased shapes scene: the jitter offsets, the viewport
// size in pixels and the orthographic projection that fits it.
#include "VariantArray.h"

#include <array>
#include <cstdint>

inline constexpr int kPassCount = 8;

// The eight (x, y) sub-pixel offsets, x of pass k at 2k and y at 2k + 1.
inline constexpr std::array<double, 16> kJitterOffsets = {
    -0.334818, 0.435331, 0.286438,  -0.393495, 0.459462, 0.141540, -0.414498, -0.192829,
    -0.183790, 0.082102, -0.079263, -0.317383, 0.102254, 0.299133, 0.164216,  -0.054399,
};

// The offsets as a 0..15 table of Doubles, ready for copyArray into jitterTable.
VariantArray jitterValues();

// A length in twips as whole pixels, halves to even.
std::int32_t pixelsFromTwips(double twips, double twipsPerPixel);

struct OrthoBounds {
    double left, right, bottom, top, zNear, zFar;
};

// Projection showing -2.25..2.25 along the shorter side of a w x h viewport.
// Throws std::domain_error when w or h is not positive.
OrthoBounds shapesProjection(std::int32_t w, std::int32_t h);

struct Translation {
    double x, y;
};

// Shift of one pass: the jitter offset scaled from pixels to scene units
// (4.5 units over the viewport's width and height). Throws std::domain_error
// when the viewport is empty.
Translation jitterTranslation(double jx, double jy, std::int32_t viewportWidth, std::int32_t viewportHeight);

// Throws std::domain_error unless the viewport has an area to draw on.
void requireViewportArea(std::int32_t w, std::int32_t h, const char* what);
