#include "PixelImage.h"

#include <cmath>

namespace {
std::int32_t wrappedSine(std::int32_t n)
{
    const auto big = static_cast<std::int32_t>(std::nearbyint((std::sin(0.1 * n) + 1.0) * 256.0));
    return big % 256;
}
} // namespace

VariantArray makePixelImage()
{
    VariantArray values(0, kImageValueCount);
    std::int32_t j = 0;
    for (std::int32_t i = 1; i <= kImageSide * kImageSide; ++i) {
        for (std::int32_t k = 1; k <= 4; ++k) {
            values(j) = wrappedSine(i + j);
            ++j;
        }
    }
    return values;
}
