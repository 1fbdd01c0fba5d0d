#include "TessPolygon.h"

VariantArray cornerData(const std::array<double, 3>& location)
{
    VariantArray data(0, 6);
    for (std::int32_t k = 0; k <= 5; ++k)
        data(k) = location[static_cast<std::size_t>(k % 3)];
    return data;
}
