#include "ColorMap.h"

#include "DecimalNumber.h"

namespace meshscope {

namespace {

constexpr Rgb kWhite{1.0, 1.0, 1.0};

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

} // namespace meshscope
