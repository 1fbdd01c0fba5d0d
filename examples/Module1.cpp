#include "Module1.h"

VariantArray jitterTable;

void makeColor(std::vector<float>& color, float r, float g, float b, float a)
{
    color.assign({r, g, b, a});
}

void makeVertex(std::array<double, 3>& v, double x, double y, double z)
{
    v = {x, y, z};
}

void copyArray(VariantArray& dst, const VariantArray& src)
{
    const std::int32_t lo = src.lowerBound();
    const std::int32_t hi = src.upperBound();
    VariantArray copy(lo, hi);
    for (std::int32_t i = lo; i <= hi; ++i)
        copy(i) = src(i);
    dst = std::move(copy);
}
