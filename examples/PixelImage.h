#pragma once
// The generated 200 x 200 RGBA image: bytes of a sine wave wrapped to 0..255.
#include "VariantArray.h"

#include <cstdint>

inline constexpr std::int32_t kImageSide = 200;
inline constexpr std::int32_t kImageValueCount = kImageSide * kImageSide * 4;

// Element j holds N mod 256, N the nearest integer (halves to even) to
// (sin(0.1 n) + 1) * 256 with n = j + floor(j / 4) + 1.
// Elements 0..159999 hold the image as Longs, bottom row first; element 160000 stays Empty.
VariantArray makePixelImage();
